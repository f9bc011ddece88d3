// Feeds arbitrary bytes to the file viewer's text reader: as the file a
// viewer on a page shows (drawn, scrolled, its cells read back) and as the
// text of a container source, parsed and read cell by cell.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_page.h"
#include "objects/file_viewer.h"
#include "objects/file_viewer_text.h"

namespace {

std::string page;

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

void readCells(FV_Viewer *v)
{
    char out[FV_LINE_SIZE];
    for (int row = 0; row < 4; row++)
        for (int column = 0; column < 4; column++)
            if (FV_getItemAt(v, row, column, out, sizeof out)) check(std::strlen(out) < sizeof out);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartDisplay("panterm-fuzz-file-viewer");
    page = teqc::buildTeq("teq f\npage-size 320,240\nbackground 255,255,255\nfont \"Monospaced\" 0 12\nfill on\n"
                          "border off\nfill-colour 255,255,255\nline-colour 0,0,0\n" +
                          fuzzPainter("FileViewerP", 10, 10, 200, 100,
                                      "    repaint 5 FILE \"text.txt\"\n    repaint 12 STRING \"\"\n"
                                      "    repaint 10 STRING \"\"\n"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes = fuzzBytes(data, size);
    fuzzPutRamFile("text.txt", bytes);
    fuzzLoadPage(page);
    teqc::drawAllObjects();
    FV_Viewer *v = FV_viewerOf(0);
    check(v != nullptr);
    readCells(v);
    FV_IncrementValue(v, 0, 3);
    teqc::drawAllObjects();
    readCells(v);

    FV_Source source = {bytes.c_str(), nullptr};
    FV_Table table;
    if (FV_parseTable(&source, &table)) {
        check(table.columns >= 0 && table.columns <= FV_MAX_COLUMNS);
        char cell[64];
        for (int32_t row = 0; row < table.rows && row < 8; row++)
            for (int column = 0; column < table.columns; column++)
                if (FV_readCell(&source, row, column, cell, sizeof cell)) check(std::strlen(cell) < sizeof cell);
    }
    return 0;
}
