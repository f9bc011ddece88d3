// Feeds arbitrary bytes to the drop-down list's item reader as the item file
// of a list on a page: drawn closed with the item its value names, then open.
#include <cstdint>
#include <string>

#include "data/containers.h"
#include "fuzz_page.h"
#include "objects/drop_down_list.h"

namespace {

std::string page;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartDisplay("panterm-fuzz-ddl-items");
    page = teqc::buildTeq("teq f\npage-size 320,240\nbackground 255,255,255\nfont \"Dialog\" 0 12\nfill on\n"
                          "border on\nfill-colour 255,255,255\nline-colour 0,0,0\n" +
                          fuzzPainter("DropDownListP", 20, 20, 120, 22,
                                      "    repaint 5 CO \"mode\"\n    repaint 1 FILE \"items.txt\"\n"
                                      "    repaint 1 STRING \"Last\"\n"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzPutRamFile("items.txt", fuzzBytes(data, size));
    fuzzLoadPage(page);
    static const char *const kValues[] = {"1", "Last", "-1", "40000"};
    for (const char *value : kValues) {
        HT_writeContainer("mode", value);
        teqc::drawAllObjects();
    }
    auto *list = reinterpret_cast<DDL_List *>(OB_Get_Pointer(0));
    if (!list) __builtin_trap();
    list->open = 1;
    teqc::drawAllObjects();
    DDL_close(list);
    return 0;
}
