// Entering a value on the demo plant's setpoints picture, read from local
// files as the panel reads a page from disk: one touch on the setpoint field
// to the keypad's first complete frame (the keypad page opened from the RAM
// disk, read, its objects drawn), and one redraw of the setpoints picture
// with its formatted fields.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/startup.h"
#include "bench_temp_dir.h"
#include "data/containers.h"
#include "input/input_events.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "view/object_table.h"
#include "view/view_manager.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFieldX = 240, kFieldY = 95; // the level setpoint

// The panel at start on a 480 x 272 headless display, showing the demo's
// setpoints picture from a copy of the demo project on disk.
void showSetpoints()
{
    static bool started = false;
    if (started) return;
    std::string dir = benchTempDir("objects");
    fs::copy(PANTERM_DEMO_ROOT, dir, fs::copy_options::recursive);
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    pterm.log_file[0] = '\0';
    static teqc::HeadlessDisplay display(480, 272); // closed at exit
    VM_init();
    VM_loadApplicationPages();
    VM_requestLoadHtmlFile((dir + "/start.html").c_str());
    VM_entry();
    VM_requestPicture("Plant3.teq");
    VM_entry();
    if (OB_HowManyObjetcs() < 3) std::abort();
    started = true;
}

void closeKeypad()
{
    HT_writeContainer("_KEYPADCLOSE", "0");
    VM_entry();
}

void BM_KeypadOpenToFirstFrame(benchmark::State &state)
{
    showSetpoints();
    for (auto _ : state) {
        MH_mouseDown(kFieldX, kFieldY);
        MH_mouseUp(kFieldX, kFieldY);
        VM_entry();
        state.PauseTiming();
        if (std::string(VM_getDialogBoxName()) != "keypad.teq") state.SkipWithError("no keypad");
        closeKeypad();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeypadOpenToFirstFrame)->Unit(benchmark::kMicrosecond);

void BM_RedrawSetpointsPicture(benchmark::State &state)
{
    showSetpoints();
    for (auto _ : state) {
        scheduleFullRedraw();
        VM_entry();
    }
}
BENCHMARK(BM_RedrawSetpointsPicture)->Unit(benchmark::kMicrosecond);

} // namespace
