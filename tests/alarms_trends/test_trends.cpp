// On-line trends: binding, trend lists and their cells, sampling across page
// switches, the store time, bounded memory, the log commands, the axis
// containers, scrolling, zooming, the cursor and the drawn curves.
#include "trend_fixture.h"

#include "alarms_trends/trend_lists.h"
#include "alarms_trends/trend_paint.h"
#include "alarms_trends/trend_time.h"
#include "alarms_trends/trends.h"
#include "runtime/settings.h"

using std::string;

namespace {

class OnlineTrend : public TrendTest {
protected:
    void SetUp() override
    {
        TrendTest::SetUp();
        set("@MACRODisplayedTime.4", "100");
        set("@MACROMaxStoreTime.4", "600");
        set("@MACROXAutoUpdate.4", "1");
        set("@MACROActiveTrends.4", "tank.level\tLevel\t0\t100\t255,0,0\n");
        setPoint("tank.level", "0");
    }
};

} // namespace

TEST_F(OnlineTrend, BindsOnTheFirstDrawAndKeepsSamplingWhileAway)
{
    show();
    draw();
    EM_Emitter *e = emitter();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->graph, graph());
    EXPECT_EQ(e->kind, EM_KIND_ONLINE);
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart) << "a new emitter: [now, now + displayed time]";
    EXPECT_DOUBLE_EQ(graph()->xmax, kStart + 100.0);
    EXPECT_EQ(e->maxPoints, 601);
    EXPECT_STREQ(CO_readValPtr("_TREND_BUSY"), "0");
    ASSERT_NE(source("tank.level"), nullptr);
    EXPECT_NE(PPO_lookup("tank.level"), nullptr) << "put on the read list";

    for (int i = 1; i <= 5; i++) {
        setPoint("tank.level", std::to_string(i * 10));
        sample();
    }
    show("@MACROOther.9");
    draw();
    EXPECT_EQ(emitter()->graph, nullptr) << "unbound by the page switch";
    setPoint("tank.level", "Not available");
    sample();
    EXPECT_EQ(source("tank.level")->count, 5) << "a value that is no number adds nothing";
    for (int i = 6; i <= 8; i++) {
        setPoint("tank.level", std::to_string(i * 10));
        sample();
    }
    show();
    draw();
    EXPECT_EQ(emitter()->graph, graph());
    EXPECT_EQ(source("tank.level")->count, 8) << "the curve goes on with what was sampled meanwhile";
    EXPECT_DOUBLE_EQ(EM_pointAt(source("tank.level"), 7)->value, 80.0);
    EXPECT_EQ(EM_pointAt(source("tank.level"), 7)->time, kStart + 9);
}

TEST_F(OnlineTrend, StoreTimeMaximumPointsAndBoundedMemory)
{
    VM_RefreshPeriod = 1500;
    show();
    draw();
    EXPECT_EQ(emitter()->maxPoints, 301) << "ceil(1.5 s) = 2 s per sample, 600 / 2 + 1";
    EM_Source *s = source("tank.level");
    for (int i = 0; i < 700; i++) sample(2);
    EXPECT_EQ(s->count, 301);
    EXPECT_GE(EM_pointAt(s, 0)->time, clockNow - 600) << "nothing older than the store time";

    set("@MACROMaxStoreTime.4", "2000000000");
    EXPECT_EQ(emitter()->maxPoints, EM_MAX_SOURCE_POINTS) << "written through the axis container";
    show("@MACROOther.9");
    draw();
    for (int i = 0; i < EM_MAX_SOURCE_POINTS + 500; i++) sample(1);
    EXPECT_EQ(s->count, EM_MAX_SOURCE_POINTS) << "a buffer that fills while the page is away stays bounded";
    EXPECT_EQ(countOf(log(), "a source holds at most 65536 points"), 1) << "the cap cuts: logged once";
    EXPECT_EQ(EM_pointAt(s, s->count - 1)->time, clockNow) << "the oldest points are reused";

    setPoint("tank.level", "12");
    clockNow += 1;
    HK_hooks()->sampleTrends();
    HK_hooks()->sampleTrends();
    EXPECT_DOUBLE_EQ(EM_pointAt(s, s->count - 1)->value, 12.0) << "a second sample in the same second replaces it";
    EXPECT_EQ(EM_pointAt(s, s->count - 2)->time, clockNow - 1);
}

TEST_F(OnlineTrend, AutoUpdateFollowsTheNewestSample)
{
    show();
    draw();
    sample(150);
    EXPECT_DOUBLE_EQ(graph()->xmax, kStart + 150.0) << "shifted by now minus its end";
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart + 50.0);
    set("@MACROXAutoUpdate.4", "MANUAL");
    sample(50);
    EXPECT_DOUBLE_EQ(graph()->xmax, kStart + 150.0);
    set("@MACROXAutoUpdate.4", "SETAUTO");
    draw();
    EXPECT_STREQ(CO_readValPtr("@MACROXAutoUpdate.4"), "1") << "SETAUTO becomes 1 on the next repaint";
    sample(1);
    EXPECT_DOUBLE_EQ(graph()->xmax, kStart + 201.0);
}

TEST_F(OnlineTrend, LogCommands)
{
    show();
    draw();
    sample();
    sample();
    set("@MACROAvailableTrendsAction.4", "CLEARNSTOPLOGS");
    draw();
    EXPECT_STREQ(CO_readValPtr("@MACROAvailableTrendsAction.4"), "LOGSWAITING");
    EXPECT_EQ(source("tank.level")->count, 0);
    sample();
    draw();
    EXPECT_EQ(source("tank.level")->count, 0) << "stopped";
    EXPECT_STREQ(CO_readValPtr("@MACROAvailableTrendsAction.4"), "LOGSWAITING");
    set("@MACROAvailableTrendsAction.4", "STARTLOGGING");
    draw();
    EXPECT_STREQ(CO_readValPtr("@MACROAvailableTrendsAction.4"), "0");
    sample();
    EXPECT_EQ(source("tank.level")->count, 1) << "the curve starts afresh";

    set("@MACROAvailableTrendsAction.4", "SAVELOGSTOFILE");
    draw();
    string saved = readFile(path("trendlog4.csv"));
    EXPECT_EQ(saved, "Trend;Date;Time;Value\ntank.level;14.11.2023;22:13:24;0\n");
    set("@MACROAvailableTrendsAction.4", "CLEARLOGS");
    draw();
    sample();
    EXPECT_EQ(source("tank.level")->count, 1) << "cleared, still logging";
}

TEST_F(OnlineTrend, TrendListsAndTheirCells)
{
    set("@MACROAvailableTrends.4", "#sp;header\tignored\na\tA\t0\t10\nb\tB\t-5\t5\t0,0,255\nc\tC\t1\t2\nd\tD\t0\t1\n");
    set("@MACROActiveTrends.4", string("#sfc;1,2,3#\ta\t0\t50\t9,8,7\t\t\t\t\t\t\t\n") + "c\xA7" + "C\xA7" + "1\xA7" +
                                    "3\xA2" + "b\\tB\\t-1\\t1\\n");
    EM_resetLists();
    show();
    draw();
    EM_Emitter *e = emitter();
    ASSERT_EQ(EM_countSources(e), 3);
    EXPECT_EQ(source("a")->row, 1);
    EXPECT_EQ(source("c")->row, 2);
    EXPECT_EQ(source("b")->row, 3);
    EXPECT_DOUBLE_EQ(source("a")->max, 50.0);
    EXPECT_EQ(source("a")->colour, 0xFF070809u) << "the colour cell replaces the default colour";
    EXPECT_DOUBLE_EQ(source("b")->min, -1.0);
    EXPECT_STREQ(CO_readValPtr("@MACROActiveTrends[1][1].4"), "a");
    EXPECT_STREQ(CO_readValPtr("@MACROActiveTrends[1][4].4"), "9,8,7");
    EXPECT_STREQ(CO_readValPtr("@MACROActiveTrends[2][1].4"), "c") << "without a prefix the name goes to column 1";
    EXPECT_STREQ(CO_readValPtr("@MACROActiveTrends[2][3].4"), "3");

    set("@MACROActiveTrends[2][4].4", "0,255,0");
    set("@MACROActiveTrends[][]Update.4", "UPDATE");
    draw();
    EXPECT_STREQ(CO_readValPtr("@MACROActiveTrends[][]Update.4"), "0");
    string rebuilt = CO_readValPtr("@MACROActiveTrends.4");
    EXPECT_EQ(rebuilt.substr(0, rebuilt.find('\n') + 1), "#sfc;9,8,7#\ta\t0\t50\t9,8,7\t-1\t-1\t-1\t-1\t-1\t-1\t-1\n")
        << "empty cells are filled";
    EXPECT_NE(rebuilt.find("#sfc;0,255,0#\tc\t1\t3\t0,255,0\t-1\t-1\t-1\t-1\t-1\t-1\t-1\n"), string::npos) << rebuilt;
    draw();
    EXPECT_EQ(source("c")->colour, kGreen) << "the edited cell took effect at the next parse";

    sample();
    ASSERT_NE(source("d"), nullptr);
    EXPECT_EQ(source("d")->count, 1) << "sources of the available list are sampled too";
    EXPECT_EQ(source("c")->count, 1);
    set("@MACROAvailableTrends.4", "a\tA\t0\t10\nb\tB\t-5\t5\n");
    show();
    draw();
    EXPECT_EQ(source("d"), nullptr) << "a row missing from the new available list loses its source";
    ASSERT_NE(source("c"), nullptr) << "the active list declares it again";
    EXPECT_EQ(source("c")->count, 0) << "without its points";
    EXPECT_EQ(EM_countSources(emitter()), 3);
}

TEST_F(OnlineTrend, AxisContainersScrollAndZoom)
{
    show();
    draw();
    auto read = [](const char *name) {
        char text[CO_VALUE_SIZE];
        HT_readContainer(name, text);
        return string(text);
    };
    EXPECT_EQ(read("@MACROXMin.4"), "1700000000");
    EXPECT_EQ(read("@MACROONTXMax.4"), "1700000100");
    EXPECT_EQ(read("@MACROXMinDate.4"), "14.11.2023");
    EXPECT_EQ(read("@MACROXTime[5].4"), "22:14:10");
    EXPECT_STREQ(CO_readValPtr("@MACROXMaxTime.4"), "22:15:00") << "pointer reads see the axis too";
    pterm.pm_tm = 1;
    EXPECT_EQ(read("@MACROXMaxTime.4"), "10:15:00 PM");
    EXPECT_EQ(read("@MACROXMaxDate.4"), "2023.11.14");
    pterm.pm_tm = 0;

    set("@MACROScroll.4", "50");
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart + 50.0);
    EXPECT_EQ(CO_getHtmlCacheObjPtr("@MACROScroll.4"), nullptr) << "not stored";
    set("@MACROScroll.4", "-100");
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart - 50.0);
    EXPECT_EQ(emitter()->autoUpdate, 1) << "the axis still reaches the present";
    clockNow += 1000;
    set("@MACROScroll.4", "-1");
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart - 51.0) << "at least one second";
    EXPECT_EQ(emitter()->autoUpdate, 0) << "moved into the past";
    set("@MACROScroll.4", "1");
    set("@MACROScroll.4", "101");
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart - 50.0) << "out of limits";
    set("@MACROZoom.4", "50");
    EXPECT_DOUBLE_EQ(graph()->xmin, kStart - 25.0) << "100 * 50 / 200 from both ends";
    EXPECT_DOUBLE_EQ(graph()->xmax, kStart + 25.0);
    set("@MACROZoom.4", "100");
    EXPECT_DOUBLE_EQ(graph()->xmax - graph()->xmin, 10.0) << "at least 10 seconds";
    set("@MACROZoom.4", "-100");
    EXPECT_DOUBLE_EQ(graph()->xmax - graph()->xmin, 20.0);

    set("@MACROXMinTime.4", "23:00:00");
    EXPECT_DOUBLE_EQ(graph()->xmin, 1700002800.0) << "the axis starts there, width unchanged";
    EXPECT_DOUBLE_EQ(graph()->xmax, 1700002820.0);
    set("@MACROXMaxDate.4", "2023.11.15");
    EXPECT_DOUBLE_EQ(graph()->xmax, 1700002820.0 + 86400);
    set("@MACROXMinDate.4", "31.02.x");
    set("@MACROXDate[3].4", "01.01.2020");
    EXPECT_DOUBLE_EQ(graph()->xmax, 1700002820.0 + 86400) << "bad and tick-label writes leave the axis";
    set("@MACROShowGrid.4", "1");
    EXPECT_EQ(graph()->xGrid + graph()->yGrid + graph()->xScaleOn + graph()->yScaleOn, 4);
    EXPECT_STREQ(CO_readValPtr("@MACROShowGrid.4"), "1") << "stored as well";

    uint32_t t = 0;
    EXPECT_TRUE(EM_readDateTime("14.11.2023", "10:13:20 PM", &t));
    EXPECT_EQ(t, kStart);
    EXPECT_TRUE(EM_applyTime("12:00:00 AM", &t));
    EXPECT_EQ(t, 1699920000u);
}

TEST_F(OnlineTrend, CurvesCursorAndValueScalesAreDrawn)
{
    set("@MACROActiveTrends.4", "tank.level\tLevel\t0\t100\t255,0,0\nflat\tF\t0\t100\t0,0,255\n");
    setPoint("flat", "25");
    show();
    draw();
    for (int i = 0; i < 20; i++) {
        setPoint("tank.level", std::to_string(i * 5));
        sample();
    }
    draw();
    // x: 2 pixels per second from (10, ...); y: one pixel per unit, 100 at y = 10.
    EXPECT_EQ(px(10 + 2 * 1, 110 - 0), kRed);
    EXPECT_EQ(px(10 + 2 * 10, 110 - 45), kRed);
    EXPECT_EQ(px(10 + 2 * 20, 110 - 95), kRed);
    EXPECT_EQ(count(12, 85, 39, 1, 0xFFFF0000u), 39) << "a run of equal values is one horizontal line";

    OB_Point at = {50, 60};
    OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &at);
    EXPECT_EQ(emitter()->cursor, kStart + 20) << "x 50 is 20 seconds after the start";
    EXPECT_EQ(string(CO_readValPtr("@MACROActiveTrendsMouseDownVal.4")),
              "#sfc;0,255,0\t14.11.2023 22:13:40\tUSER !\n#sfc;255,0,0\t14.11.2023 22:13:40\t95\n"
              "#sfc;0,0,255\t14.11.2023 22:13:40\t25\n");
    draw();
    EXPECT_EQ(px(50, 30), kGreen) << "the cursor line";
    set("@MACROActiveTrendsMouseDownAction.4", "DISABLE");
    draw();
    EXPECT_NE(px(50, 30), kGreen);
    EM_putNewPoint(source("flat"), EM_STATUS_BIT | (kStart + 5), 7);
    draw();
    EXPECT_EQ(px(20, 105), 0xFFFF0000u) << "a status point: a flag on the bottom at its time";
    EXPECT_EQ(px(23, 100), 0xFFFF0000u);
    EXPECT_EQ(count(12, 85, 39, 1, 0xFFFF0000u), 39) << "the run of equal values goes on past it";

    set("@MACROAutoYAxeDescr.4", "1");
    draw();
    int w = 201, h = 101, x = 10, y = 10;
    EM_getWidth(graph(), &w);
    EM_getHeight(graph(), &h);
    EXPECT_EQ(w, 201 - 2 * 30 - 10);
    EXPECT_EQ(h, 101 - 26);
    GR_plotArea(graph(), &x, &y, &w, &h);
    EXPECT_EQ(x, 45);
    EXPECT_EQ(y, 23);
    EXPECT_EQ(px(43, 50), kRed) << "the first value scale left of the plot";
    EXPECT_EQ(px(10 + 35 + 131 + 5 + 1, 50), 0xFFFF0000u) << "the second one right of it";
    EXPECT_EQ(px(10 + 2 * 1, 110), kWhite) << "the curves moved into the smaller plot";
}

TEST_F(OnlineTrend, SavedKindAndNamesWithoutSuffix)
{
    set("@MACROOFSTAvailableTrendsAction.3", "CLEARLOGS");
    show("@MACROOFSTTrend.3");
    draw();
    EXPECT_NE(log().find("Macro offline saved trend not supported!"), string::npos);
    EXPECT_STREQ(CO_readValPtr("@MACROOFSTAvailableTrendsAction.3"), "0") << "reset without effect";

    auto emitters = [this] {
        show("@MACROTrend");
        draw();
        int n = 0;
        for (EM_Emitter *e = EM_firstEmitter(); e; e = e->next) n++;
        return n;
    };
    int before = emitters();
    EXPECT_EQ(emitters(), before) << "an emitter without a suffix goes with its page";
    HK_hooks()->clearTrends();
    EXPECT_EQ(EM_firstEmitter(), nullptr);
    EXPECT_EQ(graph()->emitter, nullptr) << "the graph no longer points at it";
    EXPECT_EQ(EM_pointsInUse(), 0);
}

// The store's caps cut data: each cap that cuts is logged with one line per
// emitter, however many sources or points it cuts; a source's own maximum of
// points is no cap.
TEST_F(OnlineTrend, CapsThatCutAreLoggedOncePerEmitter)
{
    auto lines = [this](const string &text) { return countOf(log(), text); };
    EM_Emitter *online = EM_createEmitter("@MACROCapped.7");
    ASSERT_NE(online, nullptr);
    for (int i = 0; i < EM_MAX_SOURCES + 3; i++) EM_createSource(online, ("s" + std::to_string(i)).c_str());
    EXPECT_EQ(EM_countSources(online), EM_MAX_SOURCES);
    EXPECT_EQ(lines("Trend @MACROCapped.7: more than 64 sources, the others are left out\n"), 1);

    EM_Source *bounded = EM_findSource(online, "s1");
    for (uint32_t t = 1; t <= 200; t++) EM_appendPoint(bounded, t, 1.0, 100);
    EXPECT_EQ(bounded->count, 100);
    EM_Source *full = EM_findSource(online, "s0");
    for (uint32_t t = 1; t <= EM_MAX_SOURCE_POINTS + 5; t++) EM_appendPoint(full, t, 1.0, 0);
    EXPECT_EQ(full->count, EM_MAX_SOURCE_POINTS);
    EXPECT_EQ(countOf(log(), "Trend @MACROCapped.7: "), 2) << log();
    EXPECT_EQ(lines("Trend @MACROCapped.7: a source holds at most 65536 points, the rest is cut\n"), 1);

    EM_Emitter *offline = EM_createEmitter("@MACROOFTCapped.8");
    ASSERT_NE(offline, nullptr);
    int refused = 0;
    for (int i = 0; i < 4; i++) {
        EM_Source *s = EM_createSource(offline, ("t" + std::to_string(i)).c_str());
        ASSERT_NE(s, nullptr);
        for (uint32_t t = 1; t <= 50000; t++) refused += !EM_putNewPoint(s, t, 2.0);
    }
    EXPECT_EQ(EM_pointsInUse(), EM_POINT_BUDGET);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(lines("Trend @MACROOFTCapped.8: all trends hold at most 262144 points, the rest is cut\n"), 1);
    EXPECT_EQ(countOf(log(), "Trend @MACROOFTCapped.8: "), 1);
    EXPECT_EQ(countOf(log(), "Trend @MACROCapped.7: "), 2);
}
