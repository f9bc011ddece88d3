// Shared by the targets whose parser runs while a page is drawn: a headless
// display and a page given in the TEQ text form, loaded the way the panel
// loads a picture.
#pragma once
#include <cstdlib>
#include <string>

#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "draw/fonts.h"
#include "fuzz_support.h"
#include "runtime/heap.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

// fontconfig fills caches of its own while the first texts are drawn and
// frees them when the display closes; the leak check after each input would
// take them for leaks.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// The panel with a headless display of 320 x 240 and its heaps, in a
// directory of its own.
inline void fuzzStartDisplay(const char *prefix)
{
    fuzzStartPanel(prefix);
    static teqc::HeadlessDisplay *display = new teqc::HeadlessDisplay(320, 240);
    if (!display->ok()) std::abort();
    // fontconfig keeps what its first use allocates until the display closes.
    FO_findCorrespondingFont("Dialog", 0, 12);
    FO_findCorrespondingFont("Monospaced", 0, 12);
    std::atexit([] { delete display; });
    MU_init();
}

// Empties the object table, the read list and the containers, then loads the
// page (compiled from its text form once by the caller); aborts when the
// panel refuses it.
inline void fuzzLoadPage(const std::string &teq)
{
    OB_DeleteAllObjetcs();
    PPO_destroyList();
    MU_init2();
    HT_resetContainers();
    fuzzPutRamFile("page.teq", teq);
    int file = Tarsel_fileOpen("page.teq", "r");
    int result = teqFileReader(file);
    Tarsel_fileClose(file);
    if (result != 0) std::abort();
}

// A painter of class cls at (x, y) of w x h whose block holds block.
inline std::string fuzzPainter(const std::string &cls, int x, int y, int w, int h, const std::string &block)
{
    return "painter \"" + cls + "\" at " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(w) +
           "," + std::to_string(h) + " plc 0 {\n  block \"" + cls + "\" id 1 {\n" + block + "  }\n}\n";
}
