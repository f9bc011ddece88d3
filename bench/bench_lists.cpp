// Lists: a file viewer of a 10 000-line file (copied into the RAM disk,
// parsed and its first or last page drawn on every drawing), and the sort of
// a 10 000-entry off-line alarm history by each column.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alarms_trends/alarm_history.h"
#include "app/startup.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "objects/file_viewer.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "teq_text.h"
#include "view/object_table.h"
#include "view/teq_reader.h"

namespace {

constexpr int kLines = 10000;

void setUp()
{
    static teqc::HeadlessDisplay *display = nullptr;
    if (display) return;
    initSettings();
    attachLayers();
    pterm.log_file[0] = '\0';
    pterm.mem_ramdisk_kb = 4096;
    display = new teqc::HeadlessDisplay(800, 480);
    MU_init();
    MU_init2();
    HT_resetContainers();
}

// A viewer of 780 x 440 pixels with a scroll bar and a row-number action on
// a file of 10 000 rows of three columns.
FV_Viewer *viewerOfBigFile()
{
    setUp();
    if (OB_HowManyObjetcs() == 1) return FV_viewerOf(0);
    FILE *f = std::fopen("bench-list.txt", "w");
    std::fprintf(f, "#sp;0,20,70\n");
    for (int i = 0; i < kLines; i++) std::fprintf(f, "%d\tMeasurement point %d\t%d.%d bar\n", i, i, i % 97, i % 10);
    std::fclose(f);
    std::string bytes =
        teqc::buildTeq("teq f\npage-size 800,480\nfont \"Monospaced\" 0 12\nfill on\nborder on\n"
                       "painter \"FileViewerP\" at 10,10 size 780,440 plc 0 {\n  block \"FileViewerP\" id 1 {\n"
                       "    action 1 6 {\n      dest CO \"row\"\n      source STRING \"\"\n    }\n"
                       "    repaint 5 FILE \"bench-list.txt\"\n    repaint 12 STRING \"\"\n  }\n}\n");
    int out = RA_fileOpen("bench.teq", "w");
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
    int file = Tarsel_fileOpen("bench.teq", "r");
    if (teqFileReader(file) != 0 || OB_HowManyObjetcs() != 1) std::abort();
    Tarsel_fileClose(file);
    return FV_viewerOf(0);
}

// One drawing: the file copied into the viewer's RAM-disk file, parsed, and
// the rows from the first row on drawn.
void BM_FileViewerDraw10000(benchmark::State &state)
{
    FV_Viewer *v = viewerOfBigFile();
    v->firstRow = state.range(0) == 0 ? 0 : kLines - 20;
    for (auto _ : state) teqc::drawAllObjects();
    if (v->rowCount != kLines) std::abort();
}
BENCHMARK(BM_FileViewerDraw10000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::vector<AL_Line> historyLines()
{
    static const char *const texts[] = {"Tank T1 level high", "Pump P1 fault", "Valve V3 open", "Door open"};
    std::vector<AL_Line> lines;
    uint32_t seed = 12345;
    for (int i = 0; i < AL_HISTORY_MAX; i++) {
        seed = seed * 1664525u + 1013904223u;
        AL_Line l = {};
        l.historyNumber = i;
        l.alarmNumber = static_cast<int32_t>(seed >> 20) % 40;
        l.text = texts[l.alarmNumber % 4];
        l.onTime = 1600000000u + (seed >> 8) % 100000u;
        l.offTime = (seed >> 4) % 3 == 0 ? 0 : l.onTime + 60;
        l.acknowledged = static_cast<int32_t>(seed >> 12) % 2;
        lines.push_back(l);
    }
    return lines;
}

// The sort of 10 000 lines in the order they were loaded, by column |c|,
// larger values first for positive columns.
void BM_SortHistory10000(benchmark::State &state)
{
    setUp();
    static std::vector<AL_Line> lines = historyLines();
    static AL_History history = {};
    int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        AL_historyClear(&history);
        for (const AL_Line &l : lines) AL_historyAdd(&history, &l);
        state.ResumeTiming();
        if (AL_historySort(&history, column) < 0) std::abort();
    }
}
BENCHMARK(BM_SortHistory10000)->DenseRange(1, AL_SORT_COLUMNS)->Arg(-4)->Unit(benchmark::kMillisecond);

} // namespace
