// Graph objects on the headless display: plot files (range, curve, clipping,
// colour, steps, captions and texts) checked pixel by pixel, bad plot files,
// running lines, presses, and the trend engine's entry points.
#include "input/input_fixture.h"

#include <chrono>
#include <fstream>
#include <string>

#include "draw/graphics.h"
#include "objects/graph.h"
#include "objects/plot_file.h"
#include "data/value_store.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

using std::string;

namespace {

class Graph : public InputTest {
protected:
    // A graph at (10, 10) of 101 x 101 pixels, black lines, no fill or border;
    // its source is given by a repaint line, more goes into its block.
    void graph(const string &source, const string &more = "", int w = 101, int h = 101)
    {
        page("background 255,255,255\nfill off\nborder off\nline-colour 0,0,0\nfont \"Dialog\" 0 12\n" +
             painter("IGraphicP", 10, 10, w, h, "    repaint 5 " + source + "\n" + more));
    }
    void plot(const string &text, const string &more = "")
    {
        writeFile(path("plot.txt"), text);
        graph("FILE \"plot.txt\"", more);
        teqc::drawAllObjects();
    }
    GR_Graph *g() { return object<GR_Graph>(0); }
    // Whether the pixels (x0 + k, y0 - k) for k = 0 .. n - 1 have the colour.
    bool diagonal(int x0, int y0, int n, uint32_t c)
    {
        for (int k = 0; k < n; k++)
            if (px(x0 + k * 100 / (n - 1), y0 - k * 100 / (n - 1)) != c) return false;
        return true;
    }
};

} // namespace

TEST_F(Graph, PlotFileCurveSpansTheBoxFromCornerToCorner)
{
    plot("#r 0 10 0 100\n#c 2 0 0 10 100\n");
    EXPECT_EQ(px(10, 110), kBlack) << "(0, 0): the bottom-left corner of the box";
    EXPECT_EQ(px(110, 10), kBlack) << "(10, 100): the top-right corner";
    EXPECT_TRUE(diagonal(10, 110, 101, kBlack));
    EXPECT_EQ(count(0, 0, 320, 240, kBlack), 101) << "one pixel per column, nothing else";
    EXPECT_DOUBLE_EQ(g()->xscale, 10.0);
    EXPECT_DOUBLE_EQ(g()->yscale, 1.0);
}

TEST_F(Graph, SegmentsOutsideTheRangeAreLeftOutAndCrossingOnesClamped)
{
    plot("#r 0 10 0 100\n#c 2 0 150 10 200\n#c 2 -5 10 -1 90\n");
    EXPECT_EQ(count(0, 0, 320, 240, kBlack), 0) << "above ymax, left of xmin";
    plot("#r 0 10 0 100\n#c 2 0 50 10 150\n");
    EXPECT_EQ(px(10, 60), kBlack) << "(0, 50)";
    EXPECT_EQ(px(110, 10), kBlack) << "(10, 150) clamped to (10, 100)";
    EXPECT_EQ(px(60, 35), kBlack) << "(5, 75)";
    EXPECT_EQ(count(0, 0, 320, 9, kBlack), 0) << "nothing above the box";
}

TEST_F(Graph, ColourStepsCaptionsAndTexts)
{
    plot("#! a red curve\n#S C style;f=255,0,0;\n#r 0 10 0 100\n#c 3 0 0 5 50 10 100\n"
         "#s y 10\n#t a 0 0 Tank;\n",
         "    repaint 26 STRING \"\"\n");
    EXPECT_EQ(px(60, 60), kRed) << "the style command makes the curve red";
    EXPECT_EQ(px(35, 85), kRed);
    EXPECT_EQ(px(110, 10), kRed);
    // y scale: ticks at y = 0, 10, ... 100 from x = xmin, 4 long at 0, 50, 100.
    EXPECT_EQ(px(10, 110), kBlack) << "the ticks come after the curve";
    EXPECT_EQ(px(13, 110), kBlack);
    EXPECT_EQ(px(14, 110), kWhite);
    EXPECT_EQ(px(13, 60), kBlack) << "50: 4 long";
    EXPECT_EQ(px(11, 100), kBlack) << "10: 2 long";
    EXPECT_EQ(px(12, 100), kWhite);
    EXPECT_EQ(px(13, 10), kBlack) << "100, and the bar at ymax";
    EXPECT_GT(inked(14, 11, 60, 24) - count(14, 11, 60, 24, kRed), 10) << "the text at the box's corner";
    EXPECT_EQ(count(10, 40, 60, 10, kBlack), 2) << "25 pixels high: nothing below but the tick at 70";

    plot("#r 0 10 0 100\n#s x 1\n#u x;Seconds;0;10\n#t r 5 50 Mid;\n", "    repaint 25 STRING \"\"\n");
    EXPECT_STREQ(g()->xlabel, "Seconds");
    EXPECT_DOUBLE_EQ(g()->xunit[1], 10.0);
    EXPECT_EQ(px(10, 110), kBlack) << "x tick at 0, upwards 4";
    EXPECT_EQ(px(10, 107), kBlack);
    EXPECT_EQ(px(10, 106), kWhite);
    EXPECT_EQ(px(20, 109), kBlack) << "x tick at 1, 2 long";
    EXPECT_EQ(px(20, 108), kWhite);
    EXPECT_GT(inked(60, 96, 51, 11), 60) << "the caption at the bottom right";
    EXPECT_EQ(inked(10, 12, 101, 40), 0) << "nothing at the top: the caption is not there";
    EXPECT_GT(inked(60, 60, 40, 16), 10) << "the text at (5, 50)";
}

TEST_F(Graph, MissingPlotFileShowsItsName)
{
    graph("FILE \"missing.txt\"");
    teqc::drawAllObjects();
    EXPECT_GT(inked(10, 50, 101, 20), 40) << "the name in the middle of the box";
    EXPECT_EQ(inked(10, 10, 101, 30), 0);
    EXPECT_NE(log().find("missing.txt"), string::npos);
}

TEST_F(Graph, BadPlotFilesGiveDefinedPictures)
{
    plot("#z 1 2 3\n#r 1 2\n##c 2 0 0 10 100\n#q?#! #c 2 0 0 100 100\n");
    EXPECT_EQ(px(10, 110), kBlack) << "unknown commands, a cut range and ## are skipped; the default range 0..100";
    EXPECT_EQ(px(110, 10), kBlack);
    EXPECT_EQ(count(0, 0, 320, 240, kBlack), 101);

    plot("#r 0 10 0 100\n#c 5 0 0 10 100\n#t a 50 50 x;");
    EXPECT_TRUE(diagonal(10, 110, 101, kBlack)) << "a count larger than the points: the curve ends, the text "
                                                   "after it is still drawn";
    EXPECT_GT(inked(62, 60, 30, 25), 0);
    EXPECT_NE(log().find("Plot file: curve cut after 2 points"), string::npos);

    plot("#r 10 0 100 0\n#c 99999999999999999999 0 0 10 100\n#c -3 1 1\n");
    EXPECT_TRUE(diagonal(10, 110, 101, kBlack)) << "a reversed range is swapped; a huge count ends with the file";

    plot("#t a 0 0 " + string(300, 'W') + ";\n#u y;" + string(100, 'Y') + ";0;1;\n#S C x;f=" + string(50, '9') +
         ";\n#r 0 1e999 0 100\n#c 2 0 0 100 100\n");
    EXPECT_EQ(string(g()->ylabel), string(40, 'Y')) << "texts are cut to their fields";
    EXPECT_DOUBLE_EQ(g()->xmax, 100.0) << "an infinite range is refused";

    std::ofstream big(path("plot.txt"));
    big << "#r 0 1000000 0 100\n#c 1000000\n";
    for (int i = 0; i < 1000000; i++) big << i << ' ' << (i % 100) << '\n';
    big.close();
    graph("FILE \"plot.txt\"");
    auto start = std::chrono::steady_clock::now();
    teqc::drawAllObjects();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(count(10, 10, 101, 101, kBlack), 300) << "the points of the first megabyte";
    EXPECT_LT(seconds, 2.0) << "a file may not hold the panel: it took " << seconds << " s";
    EXPECT_NE(log().find("Plot file: drawn up to byte "), string::npos);
    EXPECT_NE(log().find(", the rest is left out (1 MB or half a second at most)\n plot.txt\n"), string::npos);
}

// Plot files a hostile target could serve: each draws and returns (an endless
// scale loop or an overflowing offset was the fault).
TEST_F(Graph, HostilePlotFilesDrawAndReturn)
{
    const string bothScales = "    repaint 25 STRING \"\"\n    repaint 26 STRING \"\"\n";
    const struct {
        const char *text;
        const char *what;
    } cases[] = {
        {"#r 0 10 1e30 1e30\n", "an empty range far beyond one unit's precision"},
        {"#r 1e300 1e300 -1e300 -1e300\n", "empty ranges at both ends of the doubles"},
        {"#r 1e30 1.0000000000000002e30 0 100\n#s x 1e-300\n", "a step far below the span's precision"},
        {"#r 0 1e-300 0 1e-300\n#s x 1e-310\n#s y 1e-310\n", "denormal steps"},
        {"#t a 2147483647 2147483647 x;\n#t r 2147483647 99999999999999 y;\n", "text offsets at INT_MAX"},
    };
    for (const auto &c : cases) {
        auto start = std::chrono::steady_clock::now();
        plot(c.text, bothScales);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0) << c.what;
        EXPECT_GT(g()->xmax, g()->xmin) << c.what;
        EXPECT_GT(g()->ymax, g()->ymin) << c.what;
    }
}

TEST_F(Graph, RunningLineFromAContainerPagesThroughItsRange)
{
    auto feed = [](const string &xy) {
        HT_writeContainer("xy", xy.c_str());
        teqc::drawAllObjects();
    };
    graph("CO \"xy\"");
    feed("0,0");
    feed("50,50");
    EXPECT_EQ(px(10, 110), kBlack);
    EXPECT_EQ(px(60, 60), kBlack);
    EXPECT_EQ(g()->runCount, 2);
    feed("50,80");
    EXPECT_EQ(g()->runCount, 2) << "the same x adds nothing";
    feed("120,100");
    EXPECT_DOUBLE_EQ(g()->xmin, 120.0) << "x left the range: it starts at x";
    EXPECT_DOUBLE_EQ(g()->xmax, 220.0);
    feed("not a pair");
    EXPECT_EQ(g()->runCount, 3);
    feed("5,5");
    EXPECT_EQ(g()->runCount, 1) << "going back in x starts afresh";
    for (int i = 0; i < 80; i++) feed(std::to_string(10 + i) + ",1");
    EXPECT_EQ(g()->runCount, GR_RUN_POINTS);
    EXPECT_DOUBLE_EQ(g()->runX[0], 10 + 80 - GR_RUN_POINTS);
}

TEST_F(Graph, RunningLineFromAProcessPointScrollsAndFollowsRefreshes)
{
    pterm.full_redraw = 0;
    DS_Initialize();
    graph("PPO \"trend.xy\"");
    setPoint("trend.xy", "90,10");
    teqc::drawAllObjects();
    setPoint("trend.xy", "150,90");
    G_DrawViewBegin();
    OB_SendMessage(0, OB_MSG_REFRESH, 0, nullptr);
    G_DrawViewEnd();
    EXPECT_DOUBLE_EQ(g()->xmin, 50.0) << "the range ends at the new x";
    EXPECT_DOUBLE_EQ(g()->xmax, 150.0);
    EXPECT_EQ(px(110, 20), kBlack) << "the new point at the right edge";
    EXPECT_EQ(px(50, 100), kBlack) << "(90, 10), moved left with the range";
}

TEST_F(Graph, PressRunsActionsInsideTheBox)
{
    graph("STRING \"chart\"", logAction(0, "g+") + logAction(1, "g-"));
    teqc::drawAllObjects();
    EXPECT_GT(inked(10, 50, 101, 20), 20) << "any other source type shows its name";
    OB_Point inside = {50, 50}, outside = {150, 50};
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &inside), 0);
    EXPECT_EQ(events(), "g+") << "only the press trigger";
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &outside), -1);

    graph("STRING \"chart\"", "    repaint 2 STRING \"\"\n");
    teqc::drawAllObjects();
    EXPECT_EQ(count(0, 0, 320, 240, kBlack), 0) << "hidden";
}

namespace {

int parsed, painted, touched, touchX;
void fakeParse(GR_Graph *g, const char *)
{
    parsed++;
    g->emitter = g;
    g->autoXStep = 1;
    GR_setXRange(g, 1000, 1100);
}
void fakePaint(GR_Graph *g)
{
    painted++;
    GR_setGrColor(0xFF0000FF);
    GR_drawLineF(g, 1000, 0, 1100, 100);
}
void fakeMouse(GR_Graph *, int x, int) { touched++, touchX = x; }
void fakeWidth(const GR_Graph *, int *w) { *w -= 41; }
void fakeHeight(const GR_Graph *, int *h) { *h -= 26; }
void fakeAdjust(const GR_Graph *, int *x, int *y) { *x += 35, *y += 13; }
int noNews(const GR_Graph *) { return 0; }
const GR_TrendEngine kFake = {fakeParse, fakePaint, fakeMouse, fakeWidth, fakeHeight, fakeAdjust, noNews};

} // namespace

TEST_F(Graph, TrendSourcesGoToTheRegisteredEngine)
{
    parsed = painted = touched = 0;
    graph("CO \"@MACROTrend.1\"");
    teqc::drawAllObjects();
    EXPECT_EQ(count(0, 0, 320, 240, kBlack), 0) << "no engine: the box and nothing else";
    GR_setTrendEngine(&kFake);
    teqc::drawAllObjects();
    EXPECT_EQ(parsed, 1);
    EXPECT_EQ(painted, 1);
    // The plot area is (45, 23, 60, 75): the curve's ends are its corners.
    EXPECT_EQ(px(45, 97), kRed);
    EXPECT_EQ(px(104, 23), kRed);
    EXPECT_DOUBLE_EQ(g()->xstep, 10.0) << "the auto x step follows the span";
    EXPECT_DOUBLE_EQ(GR_xValueAt(g(), 45), 1000.0);
    EXPECT_DOUBLE_EQ(GR_xValueAt(g(), 104), 1100.0);
    OB_Point inside = {60, 50};
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &inside), -1) << "no action ran";
    EXPECT_EQ(touched, 1);
    EXPECT_EQ(touchX, 60);
    G_DrawViewBegin();
    OB_SendMessage(0, OB_MSG_REFRESH, 0, nullptr);
    G_DrawViewEnd();
    EXPECT_EQ(painted, 1) << "a refresh without new data draws nothing";
}

namespace {

int news;
int someNews(const GR_Graph *) { return news; }
const GR_TrendEngine kFakeWithNews = {fakeParse, fakePaint, fakeMouse, fakeWidth, fakeHeight, fakeAdjust, someNews};

} // namespace

TEST_F(Graph, ARefreshLeavesTheBackdropOfAnUnfilledGraph)
{
    pterm.full_redraw = 0;
    const string backdrop = "background 255,255,255\nfill on\nfill-colour 0,0,255\n" + rectangle(0, 0, 200, 200) +
                            "fill off\nborder off\nline-colour 0,0,0\nfont \"Dialog\" 0 12\n";
    auto refresh = []() {
        G_DrawViewBegin();
        for (int id = 0; id < OB_HowManyObjetcs(); id++) OB_SendMessage(id, OB_MSG_REFRESH, 0, nullptr);
        G_DrawViewEnd();
    };
    // A running line: each refresh after a new value draws it again.
    page(backdrop + painter("IGraphicP", 10, 10, 101, 101, "    repaint 5 CO \"xy\"\n"));
    HT_writeContainer("xy", "0,0");
    teqc::drawAllObjects();
    int blue = count(10, 10, 101, 101, kBlue);
    ASSERT_GT(blue, 101 * 100) << "the backdrop under the graph";
    HT_writeContainer("xy", "50,0");
    refresh();
    EXPECT_EQ(px(60, 110), kBlack) << "the line was drawn anew";
    EXPECT_GT(count(10, 10, 101, 101, kBlue), blue - 60) << "on the backdrop";
    EXPECT_EQ(count(10, 10, 101, 101, kWhite), 0);

    // A trend whose engine has new data.
    GR_setTrendEngine(&kFakeWithNews);
    page(backdrop + painter("IGraphicP", 10, 10, 101, 101, "    repaint 5 CO \"@MACROTrend.1\"\n"));
    teqc::drawAllObjects();
    int drawn = count(10, 10, 101, 101, kBlue);
    news = 1;
    refresh();
    refresh();
    news = 0;
    EXPECT_EQ(count(10, 10, 101, 101, kBlue), drawn) << "as the full drawing left it";
    EXPECT_EQ(count(10, 10, 101, 101, kWhite), 0);
    GR_setTrendEngine(nullptr);
}
