// Bar graphs and circular gauges on the headless display: the bar's box in
// both orientations, ranges, the origin, clearing when the bar shrinks, the
// scale and limit marks, frames, the needle's direction, and bad parameters.
#include "input_fixture.h"

#include <cmath>
#include <string>

#include "data/containers.h"
#include "draw/graphics.h"
#include "objects/bar_graph.h"
#include "runtime/settings.h"
#include "view/view_manager.h"

using std::string;

namespace {

class BarGraph : public InputTest {
protected:
    // A red bar (black lines) with the given repaints; the value comes from
    // the container "v".
    void load(const string &repaints, int x = 10, int y = 10, int w = 20, int h = 100, const string &cls = "IBarGraphP")
    {
        ASSERT_EQ(
            loadText("teq f\nbackground 255,255,255\nfill on\nborder off\nfill-colour 255,0,0\nline-colour 0,0,0\n" +
                     painter(cls, x, y, w, h, "    repaint 5 CO \"v\"\n" + repaints)),
            0)
            << log();
    }
    void draw(const string &value)
    {
        HT_writeContainer("v", value.c_str());
        teqc::drawAllObjects();
    }
    void refresh(const string &value)
    {
        HT_writeContainer("v", value.c_str());
        G_DrawViewBegin();
        OB_SendMessage(0, OB_MSG_REFRESH, 0, nullptr);
        G_DrawViewEnd();
    }
    // The red pixels of a column (or of a row), as "first..last" (or "none").
    static string redRun(bool column, int at, int from, int to)
    {
        int first = -1, last = -1;
        for (int i = from; i <= to; i++)
            if ((column ? px(at, i) : px(i, at)) == kRed) {
                if (first < 0) first = i;
                last = i;
            }
        return first < 0 ? "none" : std::to_string(first) + ".." + std::to_string(last);
    }
    static string redRows(int x, int from, int to) { return redRun(true, x, from, to); }
    static string redColumns(int y, int from, int to) { return redRun(false, y, from, to); }
    static string co(int code, const string &value)
    {
        return "    repaint " + std::to_string(code) + " STRING \"" + value + "\"\n";
    }
};

} // namespace

TEST_F(BarGraph, VerticalBarStandsOnTheOriginAndIsClampedIntoTheRange)
{
    load("");
    draw("50");
    EXPECT_EQ(redRows(20, 0, 239), "60..109") << "the box (12, 60, 16, 50)";
    EXPECT_EQ(redColumns(80, 0, 319), "12..27");
    draw("150");
    EXPECT_EQ(redRows(20, 0, 239), "10..109") << "above the maximum: drawn as the maximum";
    draw("abc");
    EXPECT_EQ(redRows(20, 0, 239), "none") << "unreadable: the origin, an empty bar";
    draw("nan");
    EXPECT_EQ(redRows(20, 0, 239), "none");

    reset();
    load(co(13, "20") + co(14, "100"));
    draw("60");
    EXPECT_EQ(redRows(20, 0, 239), "60..109") << "from the 20 line (the origin) up to the 60 line";
    draw("-5");
    EXPECT_EQ(redRows(20, 0, 239), "none") << "below the minimum: the origin";

    reset();
    load(co(13, "-50") + co(14, "50"));
    draw("-25");
    EXPECT_EQ(redRows(20, 0, 239), "60..84") << "a negative value hangs below the zero line";
}

TEST_F(BarGraph, HorizontalAndInvertedBars)
{
    load(co(22, ""), 10, 10, 100, 20);
    draw("25");
    EXPECT_EQ(redColumns(20, 0, 319), "10..34");
    EXPECT_EQ(redRows(15, 0, 239), "12..27");

    reset();
    load(co(31, ""));
    draw("30");
    EXPECT_EQ(redRows(20, 0, 239), "10..39") << "inverted: the bar hangs from the top";

    reset();
    load(co(22, "") + co(31, ""), 10, 10, 100, 20);
    draw("25");
    EXPECT_EQ(redColumns(20, 0, 319), "85..109") << "inverted horizontal: the bar grows from the right";
}

TEST_F(BarGraph, ShrinkingBarClearsItsBoxWithoutFullRedraws)
{
    pterm.full_redraw = 0;
    load("");
    draw("80");
    EXPECT_EQ(redRows(20, 0, 239), "30..109");
    refresh("30");
    EXPECT_EQ(redRows(20, 0, 239), "80..109") << "the box was cleared first";
    EXPECT_EQ(count(12, 10, 16, 70, kWhite), 16 * 70);
    refresh("30");
    EXPECT_EQ(redRows(20, 0, 239), "80..109") << "unchanged: nothing drawn";

    reset();
    load(co(13, "-50") + co(14, "50"));
    draw("-40");
    refresh("-10");
    EXPECT_EQ(redRows(20, 0, 239), "60..69") << "a bar below zero that shrinks is cleared as well";
}

TEST_F(BarGraph, ScaleLimitMarksAndFrames)
{
    load(co(26, "") + co(24, "10") + co(17, "") + co(18, "") + co(19, "25") + co(20, "75") + co(40, ""));
    draw("0");
    // The scale's axis is the 2-pixel column at x + w - 10 = 20.
    EXPECT_EQ(count(20, 10, 2, 100, kBlack), 200);
    int ticks = 0, longTicks = 0;
    for (int y = 5; y < 115; y++) {
        if (px(22, y) == kBlack && px(22, y - 1) != kBlack) ticks++;
        if (px(29, y) == kBlack && px(29, y - 1) != kBlack) longTicks++;
    }
    EXPECT_EQ(ticks, 11) << "step 10 on 0..100";
    EXPECT_EQ(longTicks, 3) << "8 pixels long at 0, 50 and 100";
    EXPECT_EQ(px(22, 59), kBlack) << "the tick at 50: y + 50 - 1";
    EXPECT_EQ(px(26, 59), kBlack);
    EXPECT_EQ(px(26, 69), kWhite) << "the tick at 40 is 4 long";
    EXPECT_EQ(px(17, 109), kBlack) << "the zero mark left of the axis";
    EXPECT_EQ(px(12, 84), kBlack) << "the low mark at 25, w - 10 wide";
    EXPECT_EQ(px(19, 34), kBlack) << "the high mark at 75";
    EXPECT_EQ(px(10, 50), kBlack) << "the border leaves out the scale band";
    EXPECT_EQ(px(19, 50), kBlack);

    reset();
    load(co(44, ""));
    draw("0");
    EXPECT_EQ(px(10, 10), 0xFFBEBEBEu) << "the sunken edit frame";
    EXPECT_EQ(px(11, 11), kBlack);
    EXPECT_EQ(px(29, 109), kWhite);
    EXPECT_EQ(px(28, 108), 0xFFD3D3D3u);
}

// A value the target could not give is not drawn as 0: no bar or needle, and
// the words across the box; the bar comes back with the value.
TEST_F(BarGraph, NotAvailableShowsTheWordsInsteadOfABarOrNeedle)
{
    pterm.full_redraw = 0;
    load("", 10, 10, 100, 100);
    draw("50");
    EXPECT_EQ(redRows(50, 0, 239), "60..109");
    refresh("Not available");
    EXPECT_EQ(redRows(50, 0, 239), "none") << "the bar is gone";
    EXPECT_GT(count(12, 50, 96, 20, kBlack), 20) << "the words in the middle of the box";
    refresh("80");
    EXPECT_EQ(redRows(50, 0, 239), "30..109");
    EXPECT_EQ(count(12, 10, 96, 20, kBlack), 0) << "the words are cleared away";
    EXPECT_EQ(count(12, 10, 96, 100, kBlack), 0);

    reset();
    load(co(33, "") + co(35, "180"), 10, 10, 100, 100);
    draw("Not available");
    EXPECT_EQ(count(59, 15, 3, 35, kBlack), 0) << "no needle up (at 50)";
    EXPECT_LT(count(62, 60, 48, 1, kBlack), 30) << "nor a needle to the right (at 0), only the words";
    EXPECT_GT(count(12, 50, 96, 20, kBlack), 20) << "the words";
}

TEST_F(BarGraph, GaugeNeedlePointsAlongItsAngle)
{
    // A line of 50 pixels from the centre (60, 60) at the given angle.
    auto needleAt = [&](double degrees) {
        int hits = 0;
        for (int q = 5; q < 45; q++) {
            double a = degrees * M_PI / 180.0;
            int x = static_cast<int>(60 + q * std::cos(a)), y = static_cast<int>(60 - q * std::sin(a));
            hits += count(x - 1, y - 1, 3, 3, kBlack) > 0;
        }
        return hits == 40;
    };
    load(co(33, "") + co(35, "180"), 10, 10, 100, 100);
    draw("50");
    EXPECT_TRUE(needleAt(90)) << "0 to 180 counter-clockwise: the middle points straight up";
    EXPECT_FALSE(needleAt(270));
    draw("0");
    EXPECT_TRUE(needleAt(0));
    draw("100");
    EXPECT_TRUE(needleAt(180));
    draw("25");
    EXPECT_TRUE(needleAt(45));

    reset();
    load(co(33, "") + co(34, "180") + co(35, "0") + co(31, ""), 10, 10, 100, 100);
    draw("50");
    EXPECT_TRUE(needleAt(90)) << "180 to 0 clockwise sweeps over the top";
    reset();
    load(co(33, "") + co(34, "180") + co(35, "0"), 10, 10, 100, 100);
    draw("50");
    EXPECT_TRUE(needleAt(270)) << "counter-clockwise it sweeps over the bottom";

    reset();
    load(co(33, "") + co(34, "-270") + co(35, "450"), 10, 10, 100, 100, "CircularGaugeP");
    draw("0");
    EXPECT_TRUE(needleAt(90)) << "-270 is 90; the gauge class loads the same";

    reset();
    load(co(33, "") + co(35, "180") + co(26, "") + co(24, "50") + co(40, ""), 10, 10, 100, 100);
    draw("0");
    EXPECT_EQ(px(109, 60), kBlack) << "tick at 0 degrees on the rim";
    EXPECT_EQ(px(100, 60), kBlack);
    EXPECT_EQ(px(60, 11), kBlack) << "tick at 90 degrees";
    EXPECT_EQ(px(60, 25), kWhite) << "ticks are 10 long";
    EXPECT_EQ(px(10, 60), kBlack) << "the border's ellipse";
}

TEST_F(BarGraph, BadRangesStepsAndAnglesGiveDefinedPictures)
{
    load(co(13, "50") + co(14, "50") + co(26, "") + co(17, ""));
    draw("50");
    EXPECT_EQ(redRows(20, 0, 239), "none") << "min equal to max: no bar, no division by zero";
    reset();
    load(co(13, "100") + co(14, "0"));
    draw("50");
    EXPECT_EQ(redRows(20, 0, 239), "none") << "a reversed range draws no bar";
    reset();
    load(co(26, "") + co(24, "0.0000001") + co(13, "inf"));
    draw("50");
    EXPECT_EQ(redRows(14, 0, 239), "60..109")
        << "an infinite minimum is ignored; ticks closer than a pixel are left out";
    EXPECT_EQ(count(22, 10, 8, 100, kBlack), 0);

    reset();
    load(co(33, "") + co(34, "-2147483648") + co(35, "99999999999") + co(26, "") + co(24, "1e-300"), 10, 10, 100, 100);
    draw("1e308");
    EXPECT_GT(count(10, 10, 100, 100, kBlack), 40) << "a needle is drawn";
    reset();
    load(co(33, "") + co(13, "5") + co(14, "5"), 10, 10, 100, 100);
    draw("5");
    EXPECT_EQ(px(100, 60), kBlack) << "an empty range leaves the needle at its start";

    EXPECT_EQ(BG_getAngleRange(0, 180, 0), 180);
    EXPECT_EQ(BG_getAngleRange(180, 0, 0), 180);
    EXPECT_EQ(BG_getAngleRange(180, 0, 1), -180);
    EXPECT_EQ(BG_getAngleRange(0, 360, 1), 0);
    EXPECT_EQ(BG_getAngleRange(0, 720, 0), 720);
    EXPECT_EQ(BG_positiveAngle(-360), 0);
    EXPECT_EQ(BG_positiveAngle(-1), 359);
    EXPECT_EQ(BG_positiveAngle(720), 720);
}

TEST_F(BarGraph, MessagesAndStaticValue)
{
    load(co(39, "0,0,255"));
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_SELECTABLE, 0, nullptr), 0) << "never selectable";
    OB_Point p = {15, 50};
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, &p), -1);
    draw("10");
    EXPECT_EQ(px(20, 105), kBlue) << "the fill colour from repaint 39";

    reset();
    ASSERT_EQ(loadText("teq f\nborder off\nfill-colour 255,0,0\npainter \"IBarGraphP\" at 10,10 size 20,100 plc 0 {\n"
                       "  block \"IBarGraphP\" id 1 {\n    repaint 5 STRING \"40\"\n  }\n}\n"),
              0);
    teqc::drawAllObjects();
    EXPECT_EQ(redRows(20, 0, 239), "70..109") << "a constant value";
}

TEST_F(BarGraph, AShrinkingBarLeavesItsBackdropToTheFullRedraw)
{
    pterm.full_redraw = 0;
    ASSERT_EQ(loadText("teq f\nbackground 255,255,255\nfill on\nfill-colour 0,0,255\n" + rectangle(0, 0, 200, 200) +
                       "border off\nfill-colour 255,0,0\nline-colour 0,0,0\n" +
                       painter("IBarGraphP", 10, 10, 20, 100, "    repaint 5 CO \"v\"\n")),
              0)
        << log();
    draw("80");
    ASSERT_EQ(redRows(20, 0, 239), "30..109");
    VM_refresh();
    draw("30");
    EXPECT_EQ(redRows(20, 0, 239), "80..109");
    EXPECT_EQ(count(12, 10, 16, 70, kBlue), 16 * 70) << "a full redraw drew the backdrop just before";
    EXPECT_FALSE(VM_isRefreshRequired()) << "nor does it ask for one more";
}

TEST_F(BarGraph, OnlyAMovedNeedleHasThePageDrawnAnew)
{
    pterm.full_redraw = 0;
    ASSERT_EQ(loadText("teq f\nbackground 255,255,255\nborder off\nline-colour 0,0,0\n" +
                       painter("CircularGaugeP", 10, 10, 100, 100,
                               co(33, "") + co(35, "180") + co(26, "") + co(24, "10") +
                                   "    repaint 5 STRING \"50\" {\n      when always {\n        empty\n"
                                   "        empty\n      }\n    }\n")),
              0)
        << log();
    ASSERT_EQ(OB_GetStatusBit(OB_Get_Pointer(0), OB_STATUS_STATIC_TEXT), 1);
    for (int i = 0; i < 3; i++) VM_refresh();
    EXPECT_FALSE(VM_isRefreshRequired()) << "a needle on a constant value stands still";

    reset();
    load(co(33, "") + co(35, "180"), 10, 10, 100, 100);
    HT_writeContainer("v", "50");
    for (int i = 0; i < 3; i++) VM_refresh();
    EXPECT_FALSE(VM_isRefreshRequired());
    HT_writeContainer("v", "50.1");
    VM_refresh();
    EXPECT_FALSE(VM_isRefreshRequired()) << "a value that moves the needle by less than a degree";
    HT_writeContainer("v", "80");
    VM_refresh();
    EXPECT_TRUE(VM_isRefreshRequired()) << "the old needle goes with a full redraw";
}
