// TEQ pictures: loading a page of 1000 painters from the RAM disk (reader,
// object table, painter blocks, conditions, read list) and one full redraw of
// it on the headless display at 800 x 480.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "runtime/settings.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"
#include "teq_render.h"
#include "teq_sample.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace {

teqc::HeadlessDisplay *display;
size_t fileBytes;

void prepare()
{
    if (display) return;
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    display = new teqc::HeadlessDisplay(800, 480);
    std::string bytes = teqc::buildTeq(teqc::samplePicture(1000));
    fileBytes = bytes.size();
    int out = RA_fileOpen("page.teq", "w");
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
}

int loadPage()
{
    OB_DeleteAllObjetcs();
    PPO_destroyList();
    int file = Tarsel_fileOpen("page.teq", "r");
    int result = teqFileReader(file);
    Tarsel_fileClose(file);
    return result;
}

void BM_LoadThousandPainters(benchmark::State &state)
{
    prepare();
    for (auto _ : state)
        if (loadPage() != 0 || OB_HowManyObjetcs() != 1000) state.SkipWithError("the page did not load");
    state.counters["heap1_KB"] = MU_getMyHeapSize() * MU_WORD_SIZE / 1024.0;
    state.counters["file_KB"] = fileBytes / 1024.0;
}
BENCHMARK(BM_LoadThousandPainters)->Unit(benchmark::kMillisecond);

void BM_FullRedrawThousandPainters(benchmark::State &state)
{
    prepare();
    if (loadPage() != 0) state.SkipWithError("the page did not load");
    for (auto _ : state) teqc::drawAllObjects();
}
BENCHMARK(BM_FullRedrawThousandPainters)->Unit(benchmark::kMillisecond);

} // namespace
