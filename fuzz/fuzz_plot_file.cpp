// Feeds arbitrary bytes to the plot-file reader as the file of a graph on a
// page, and draws the page: ranges, scales, curves, texts and styles.
#include <cstdint>
#include <string>

#include "fuzz_page.h"

namespace {

std::string page;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartDisplay("panterm-fuzz-plot");
    page = teqc::buildTeq(
        "teq f\npage-size 320,240\nbackground 255,255,255\nfill off\nborder off\n"
        "line-colour 0,0,0\nfont \"Dialog\" 0 12\n" +
        fuzzPainter("IGraphicP", 10, 10, 201, 151,
                    "    repaint 5 FILE \"plot.txt\"\n    repaint 25 STRING \"\"\n    repaint 26 STRING \"\"\n"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzPutRamFile("plot.txt", fuzzBytes(data, size));
    fuzzLoadPage(page);
    teqc::drawAllObjects();
    return 0;
}
