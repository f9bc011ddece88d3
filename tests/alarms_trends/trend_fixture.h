// A page with one trend graph, drawn on the headless display, with the trend
// engine's clock in the test's hand and process values from the panel's own
// value store.
#pragma once
#include "input/input_fixture.h"

#include <cstdint>
#include <string>

#include "alarms_trends/trend_store.h"
#include "data/value_store.h"
#include "draw/graphics.h"
#include "objects/graph.h"
#include "runtime/hooks.h"
#include "view/view_manager.h"

class TrendTest : public InputTest {
protected:
    static constexpr uint32_t kStart = 1700000000; // 14.11.2023 22:13:20 UTC
    static inline uint32_t clockNow = kStart;
    static uint32_t testClock() { return clockNow; }

    void SetUp() override
    {
        InputTest::SetUp();
        clockNow = kStart;
        EM_setClock(testClock);
        DS_Initialize();
    }
    // The page: a graph at (10, 10) of 201 x 101 pixels showing source, and
    // more painters after it.
    void show(const std::string &source = "@MACROTrend.4", const std::string &more = "")
    {
        HK_hooks()->clearTrendView();
        page("background 255,255,255\nfill off\nborder off\nline-colour 0,0,0\n" +
             painter("IGraphicP", 10, 10, 201, 101, "    repaint 5 CO \"" + source + "\"\n") + more);
    }
    void draw() { teqc::drawAllObjects(); }
    // seconds later, one refresh cycle's sampling.
    static void sample(uint32_t seconds = 1)
    {
        clockNow += seconds;
        HK_hooks()->sampleTrends();
    }
    GR_Graph *graph() { return object<GR_Graph>(0); }
    static EM_Emitter *emitter(const char *suffix = "4") { return EM_findEmitter(suffix); }
    static EM_Source *source(const char *name, const char *suffix = "4")
    {
        EM_Emitter *e = emitter(suffix);
        return e ? EM_findSource(e, name) : nullptr;
    }
};
