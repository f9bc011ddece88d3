// Pages from the target simulator on loopback, through the view manager as
// the panel runs it: a page switch (HTML page and a 300-painter picture
// fetched, read and drawn to the first complete frame) and the refresh cycle
// of the demo plant (values ordered and read, the page redrawn).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "runtime/settings.h"
#include "bench_simulator.h"
#include "bench_temp_dir.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "teq_render.h"
#include "teq_sample.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/view_manager.h"

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path &file, const std::string &text) { std::ofstream(file, std::ios::binary) << text; }

// The simulator serving a copy of the demo project plus a page of a
// 300-painter picture; started once, ended at exit.
std::string benchRoot()
{
    fs::path root = benchTempDir("view");
    fs::copy(PANTERM_DEMO_ROOT, root, fs::copy_options::recursive);
    writeText(root / "Big.teq", teqc::buildTeq(teqc::samplePicture(300)));
    writeText(root / "big.html", "<html><applet code=\"IViewer.class\" width=\"800\" height=\"480\">\n"
                                 "<param name=\"ProjectName\" value=\"Big\">\n"
                                 "<param name=\"Period\" value=\"500\">\n</applet></html>\n");
    return root.string();
}

BenchSimulator &simulator()
{
    static BenchSimulator sim(benchRoot(), {"--values", PANTERM_DEMO_ROOT "/values.txt"});
    return sim;
}

// The panel's state at start, on an 800 x 480 headless display.
void startPanel(int fullRedraw)
{
    static bool started = false;
    if (!started) {
        initSettings();
        attachLayers();
        pterm.debug_level = 0;
        pterm.log_file[0] = '\0';
        static teqc::HeadlessDisplay display(800, 480); // closed at exit
        VM_init();
        started = true;
    }
    pterm.full_redraw = fullRedraw;
}

std::string url(const char *page) { return "http://" + simulator().host() + "/" + page; }

// One cycle performs the request: the page, its picture and the first full
// frame (the values are read by the next cycle).
bool switchTo(const std::string &address, int objects)
{
    VM_requestLoadHtmlFile(address.c_str());
    VM_refresh();
    return !VM_isPageRequestPending() && OB_HowManyObjetcs() >= objects;
}

void BM_PageSwitch300Painters(benchmark::State &state)
{
    startPanel(1);
    const std::string big = url("big.html"), demo = url("start.html");
    for (auto _ : state) {
        if (!switchTo(big, 300)) state.SkipWithError("the 300-painter page did not load");
        state.PauseTiming();
        switchTo(demo, 10);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PageSwitch300Painters)->Unit(benchmark::kMillisecond)->UseRealTime();

// The demo plant's refresh cycle after its page is shown: one value file read
// (the order is repeated every 21st cycle) and the redraw, full or of the
// objects whose look changed.
void BM_DemoRefreshCycle(benchmark::State &state)
{
    startPanel(static_cast<int>(state.range(0)));
    if (!switchTo(url("start.html"), 10)) state.SkipWithError("the demo did not load");
    VM_entry();
    for (auto _ : state) {
        VM_refresh();
        if (!PPO_isReady()) state.SkipWithError("values not read");
    }
    state.counters["objects"] = OB_HowManyObjetcs();
}
BENCHMARK(BM_DemoRefreshCycle)->ArgName("full_redraw")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
