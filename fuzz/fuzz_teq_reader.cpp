// Feeds arbitrary bytes to the TEQ reader as a picture file from the RAM disk,
// draws whatever objects it made on a headless display, and checks that the
// text form gives back every file the reader accepts byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "fuzz_support.h"
#include "app/startup.h"
#include "runtime/settings.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "draw/fonts.h"
#include "runtime/ramdisk.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace {

teqc::HeadlessDisplay *display;

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzEnterTempDir("panterm-fuzz-teq");
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    display = new teqc::HeadlessDisplay(320, 240);
    // fontconfig keeps what its first use allocates until the display closes.
    FO_findCorrespondingFont("Dialog", 0, 12);
    std::atexit([] { delete display; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    OB_DeleteAllObjetcs();
    PPO_destroyList();
    int out = RA_fileOpen("fuzz.teq", "w");
    check(RA_fileWrite(bytes.data(), 1, static_cast<int>(size), out) == static_cast<int>(size));
    RA_fileClose(out);
    int file = Tarsel_fileOpen("fuzz.teq", "r");
    int result = teqFileReader(file);
    Tarsel_fileClose(file);
    check(result == 0 || result == -1);
    check(OB_HowManyObjetcs() <= OB_MAX_OBJECTS);
    teqc::drawAllObjects();
    if (result == 0) check(teqc::buildTeq(teqc::dumpTeq(bytes)) == bytes);
    return 0;
}
