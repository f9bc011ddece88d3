// Input on a page of 1000 image buttons: the hit test of a press and its
// release, and the drain of a full key queue whose keys every object is asked
// about, at the end of a refresh cycle.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "input/input_events.h"
#include "input/key_queue.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace {

constexpr int kColumns = 40;

// count buttons of 20 x 19 pixels in rows of 40 on an 800 x 480 screen; each
// writes a container when released.
std::string buttonPage(int count)
{
    std::string text = "teq f\npage-size 800,480\n";
    for (int i = 0; i < count; i++) {
        int x = (i % kColumns) * 20, y = (i / kColumns) * 19;
        text += "painter \"IButtonP\" at " + std::to_string(x) + "," + std::to_string(y) +
                " size 20,19 plc 0 {\n  block \"IButtonP\" id 1 {\n    action 1 2 {\n      dest CO \"pressed\"\n"
                "      source STRING \"" +
                std::to_string(i) + "\"\n    }\n    repaint 1 STRING \"B\"\n  }\n}\n";
    }
    return text;
}

// The panel's state with a page of count buttons on screen.
void loadPage(int count)
{
    static teqc::HeadlessDisplay *display = nullptr;
    if (!display) {
        initSettings();
        attachLayers();
        pterm.log_file[0] = '\0';
        pterm.mem_ramdisk_kb = 4096;
        pterm.mem_heap1_kb = 8192;
        display = new teqc::HeadlessDisplay(800, 480);
        MU_init2();
        HT_resetContainers();
    }
    OB_DeleteAllObjetcs();
    MU_freeAll();
    std::string bytes = teqc::buildTeq(buttonPage(count));
    int out = RA_fileOpen("bench.teq", "w");
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
    int file = Tarsel_fileOpen("bench.teq", "r");
    if (teqFileReader(file) != 0 || OB_HowManyObjetcs() != count) std::abort();
    Tarsel_fileClose(file);
}

// A press on the lowest button (every object above it is asked first) and
// its release, which goes to the press owner.
void BM_HitTestLowestOf1000(benchmark::State &state)
{
    loadPage(1000);
    for (auto _ : state) {
        MH_mouseDown(5, 5);
        MH_mouseUp(5, 5);
    }
}
BENCHMARK(BM_HitTestLowestOf1000)->Unit(benchmark::kMicrosecond);

// A press beside every object: all 1000 are asked about the press and, as
// there is no press owner, about the release too.
void BM_HitTestMissOf1000(benchmark::State &state)
{
    loadPage(1000);
    for (auto _ : state) {
        MH_mouseDown(810, 470);
        MH_mouseUp(810, 470);
    }
}
BENCHMARK(BM_HitTestMissOf1000)->Unit(benchmark::kMicrosecond);

// 32 queued function keys that no object names: each key asks every object
// whether it is selectable and bound to the key, then runs the binding table.
void BM_DrainFullKeyQueue(benchmark::State &state)
{
    loadPage(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < KEY_QUEUE_SIZE; i++) SetKeyEvent(KEY_STATE_PRESSED, "FKEY_5");
        MH_entry();
    }
}
BENCHMARK(BM_DrainFullKeyQueue)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
