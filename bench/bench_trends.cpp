// Trends: drawing a trend graph whose curve has 10 000 points, and one
// on-line sampling cycle of an emitter with 50 sources, on the headless
// display with values from the panel's own value store.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "alarms_trends/trend_store.h"
#include "app/startup.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "data/value_store.h"
#include "draw/graphics.h"
#include "objects/graph.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace {

constexpr uint32_t kStart = 1700000000;
uint32_t clockNow = kStart;
uint32_t benchClock() { return clockNow; }

// The panel with a page holding one trend graph of 400 x 200 pixels, bound
// to its emitter with the given active list.
GR_Graph *trendPage(const std::string &activeList, const char *displayedTime)
{
    static teqc::HeadlessDisplay *display = nullptr;
    if (!display) {
        initSettings();
        attachLayers();
        pterm.log_file[0] = '\0';
        display = new teqc::HeadlessDisplay(480, 272);
        MU_init2();
        HT_resetContainers();
        DS_Initialize();
        EM_setClock(benchClock);
    }
    HK_hooks()->clearTrends();
    OB_DeleteAllObjetcs();
    PPO_destroyList();
    MU_freeAll();
    HT_writeContainer("@MACRODisplayedTime.1", displayedTime);
    HT_writeContainer("@MACROMaxStoreTime.1", "600");
    HT_writeContainer("@MACROActiveTrends.1", activeList.c_str());
    std::string bytes =
        teqc::buildTeq("teq f\nfill on\nborder on\npainter \"IGraphicP\" at 20,20 size 400,200 plc 0 {\n"
                       "  block \"IGraphicP\" id 1 {\n    repaint 5 CO \"@MACROTrend.1\"\n  }\n}\n");
    int out = RA_fileOpen("bench.teq", "w");
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
    int file = Tarsel_fileOpen("bench.teq", "r");
    if (teqFileReader(file) != 0 || OB_HowManyObjetcs() != 1) std::abort();
    Tarsel_fileClose(file);
    auto *g = reinterpret_cast<GR_Graph *>(OB_Get_Pointer(0));
    teqc::drawAllObjects();
    if (!g->emitter) std::abort();
    return g;
}

void setPoint(const std::string &name, const std::string &value)
{
    char text[DS_VALUE_SIZE];
    DS_readVal(name.c_str(), text, nullptr);
    safe_strncpy(text, value.c_str(), sizeof text);
    DS_writeVal(name.c_str(), text, nullptr);
}

// One full draw of the graph with a curve of 10 000 points (one a second, a
// sine), all of them on the time axis.
void BM_DrawTrend10000(benchmark::State &state)
{
    clockNow = kStart;
    GR_Graph *g = trendPage("curve\tC\t-1\t1\t255,0,0\n", "10000");
    EM_Source *s = EM_findSource(EM_findEmitter("1"), "curve");
    for (int i = 0; i < 10000; i++) EM_putNewPoint(s, kStart + static_cast<uint32_t>(i), std::sin(i / 50.0));
    for (auto _ : state) {
        G_DrawViewBegin();
        GR_drawObj(g, 1);
        G_DrawViewEnd();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

// One sampling cycle of 50 on-line sources; the clock moves on one second
// per cycle, so that after the first 600 cycles every cycle also drops the
// oldest point of each source.
void BM_SampleCycle50Sources(benchmark::State &state)
{
    clockNow = kStart;
    std::string list;
    for (int i = 0; i < 50; i++) {
        std::string name = "p" + std::to_string(i);
        list += name + "\t" + name + "\t0\t100\n";
        setPoint(name, std::to_string(i));
    }
    trendPage(list, "120");
    for (auto _ : state) {
        clockNow++;
        HK_hooks()->sampleTrends();
    }
    state.SetItemsProcessed(state.iterations() * 50);
}

} // namespace

BENCHMARK(BM_DrawTrend10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SampleCycle50Sources)->Unit(benchmark::kMicrosecond);
