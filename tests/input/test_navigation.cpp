// Focus navigation: the geometric search on a grid of buttons, its scores, and
// the navigation links drawn as marked lines.
#include "input_fixture.h"

#include <cmath>
#include <cstring>

#include "input/input_events.h"
#include "input/navigation.h"
#include "runtime/settings.h"

using std::string;

namespace {

class Navigation : public InputTest {
protected:
    static string link(int x1, int y1, int x2, int y2, const string &repaints)
    {
        int x = x1 < x2 ? x1 : x2, y = y1 < y2 ? y1 : y2;
        return "painter \"XLineP\" at " + std::to_string(x) + "," + std::to_string(y) + " size " +
               std::to_string(std::abs(x2 - x1)) + "," + std::to_string(std::abs(y2 - y1)) +
               " plc 0 {\n  block \"XLineP\" id 5 {\n" + repaints + "  }\n  start " + std::to_string(x1) + " " +
               std::to_string(y1) + "\n}\n";
    }
    static string mark(const string &text) { return "    repaint 47 STRING \"" + text + "\"\n"; }
};

// Nine buttons, three rows of three; index = row * 3 + column.
string grid()
{
    string painters;
    for (int row = 0; row < 3; row++)
        for (int column = 0; column < 3; column++)
            painters += InputTest::button(std::to_string(row * 3 + column), 20 + 110 * column, 20 + 80 * row, 60, 40);
    return painters;
}

} // namespace

TEST_F(Navigation, ArrowsMoveThroughAGridOfButtons)
{
    page(grid());
    EXPECT_EQ(pterm.show_selection, 0);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 1) << "without a focus the search starts from object 0";
    EXPECT_EQ(pterm.show_selection, 1) << "from the first arrow key on the focus is shown";
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 4);
    const struct {
        const char *key;
        int from, to;
    } moves[] = {{"UP", 4, 1},   {"DOWN", 4, 7}, {"LEFT", 4, 3},  {"RIGHT", 4, 5}, {"UP", 0, 0},
                 {"LEFT", 3, 3}, {"DOWN", 6, 6}, {"RIGHT", 2, 2}, {"DOWN", 2, 5},  {"LEFT", 8, 7}};
    for (const auto &m : moves) {
        MH_selectObject(m.from, 0);
        key(m.key);
        EXPECT_EQ(OB_getActualFocus(), m.to) << m.key << " from " << m.from;
    }
    EXPECT_EQ(events(), "") << "navigation presses nothing";
}

TEST_F(Navigation, ScoresPreferNearObjectsInThePressedDirection)
{
    EXPECT_EQ(Interpolate_And_Fuzzify(Mem_dist, 32), 153) << "between two points of the curve";
    EXPECT_EQ(Interpolate_And_Fuzzify(Mem_angle, 20), 0) << "left of the curve";
    EXPECT_EQ(Interpolate_And_Fuzzify(Mem_angle, 200), 0) << "right of it";

    int distance = 0;
    EXPECT_EQ(calculateDistMatch(100, 100, 100, 100, &distance), 255);
    EXPECT_EQ(calculateDistMatch(0, 0, 0, 100, &distance), 54) << "100 of a 400-pixel diagonal: index 63";
    EXPECT_EQ(distance, 100);
    EXPECT_EQ(calculateAngleMatch(100, 100, 100, 0, 100, NAV_ANGLE_UP), 255);
    EXPECT_EQ(calculateAngleMatch(100, 100, 100, 200, 100, NAV_ANGLE_DOWN), 255);
    EXPECT_EQ(calculateAngleMatch(100, 100, 200, 100, 100, NAV_ANGLE_RIGHT), 255);
    int offAxis = calculateAngleMatch(100, 100, 150, 13, 100, NAV_ANGLE_UP);
    EXPECT_GT(offAxis, 0) << "30 degrees off still scores";
    EXPECT_LT(offAxis, 255);
    EXPECT_EQ(calculateAngleMatch(100, 100, 200, 100, 100, NAV_ANGLE_UP), 0) << "90 degrees off";
    EXPECT_EQ(calculateAngleMatch(100, 100, 100, 200, 100, NAV_ANGLE_UP), 0) << "behind";
    EXPECT_EQ(calculateAngleMatch(1, 1, 1, 1, 0, NAV_ANGLE_UP), 1);

    // Focus at the top; one button straight below, one far to the lower right,
    // two the same distance to the left and right of the one below.
    page(button("F", 130, 10, 40, 20) + button("Far", 270, 200, 40, 20) + button("Below", 130, 120, 40, 20));
    MH_selectObject(0, 0);
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 2) << "straight below wins over far to the lower right";
    page(button("F", 130, 100, 40, 20) + button("L", 30, 100, 40, 20) + button("R", 230, 100, 40, 20));
    MH_selectObject(0, 0);
    key("UP");
    EXPECT_EQ(OB_getActualFocus(), 0) << "only objects at 90 degrees: the focus stays";
    MH_selectObject(0, 0);
    page(button("F", 130, 10, 40, 20) + button("L", 80, 100, 40, 20) + button("R", 180, 100, 40, 20));
    MH_selectObject(0, 0);
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 1) << "equal scores: the earlier object wins";
}

TEST_F(Navigation, LinksDrawnAsMarkedLinesComeFirst)
{
    // F at the top left, T far to the right, B below F.
    const string buttons = button("F", 20, 20, 40, 40) + button("T", 240, 20, 40, 40) + button("B", 20, 150, 40, 40);
    page(buttons + link(40, 40, 260, 40, mark("0,down")));
    EXPECT_EQ(OB_HowManyObjetcs(), 3) << "the marked line left the page";
    ASSERT_NE(NAV_firstLink(), nullptr);
    MH_selectObject(0, 0);
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 1) << "the link leads to T, far and not below";
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 2) << "no link from T: the search finds B, 60 degrees off";

    page(buttons + link(40, 40, 260, 40, mark("1,UP")));
    MH_selectObject(1, 0);
    key("UP");
    EXPECT_EQ(OB_getActualFocus(), 0) << "reversed: from T back to F";

    page(buttons + link(40, 40, 260, 40, mark("0,up") + mark("0,down")));
    MH_selectObject(0, 0);
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 2) << "a link for two directions matches neither";

    page(buttons + link(40, 40, 200, 120, mark("0,down")) + link(40, 40, 45, 45, mark("0,down")) +
         link(40, 40, 260, 40,
              mark("0,right") + "    repaint 47 STRING \"0,down\" {\n      when compare eq CO "
                                "\"never\" STRING \"1\"\n    }\n"));
    EXPECT_EQ(OB_HowManyObjetcs(), 3);
    MH_selectObject(0, 0);
    key("DOWN");
    EXPECT_EQ(OB_getActualFocus(), 2) << "links to nothing, to itself and a mark whose condition fails: the search";
    MH_selectObject(0, 0);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 1);

    page(buttons + link(40, 40, 260, 40, mark("10,up")) + link(40, 40, 40, 170, mark("3,left")));
    EXPECT_EQ(OB_HowManyObjetcs(), 4) << "10,up is no mark; 3,left is one, with 3 not a reversal";
    const NAV_Link *only = NAV_firstLink();
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(only->next, nullptr);
    EXPECT_EQ(only->directions, static_cast<uint32_t>(NAV_LEFT));
    EXPECT_EQ(only->fromY, 40) << "a vertical line starts at its first point";
    EXPECT_EQ(only->toY, 170);
}

TEST_F(Navigation, LinksThatFormALoopMoveOneStepPerKey)
{
    page(button("A", 20, 20, 40, 40) + button("B", 240, 20, 40, 40) + link(40, 40, 260, 40, mark("0,right")) +
         link(40, 40, 260, 40, mark("1,right")));
    MH_selectObject(0, 0);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 1);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 0);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 1);
}

TEST_F(Navigation, MarkedLineWhosePointsAreReadKeepsTheReadListWhole)
{
    page(button("A", 20, 20, 40, 40) + button("B", 240, 20, 40, 40) +
         link(40, 40, 260, 40,
              "    repaint 47 STRING \"0,right\" {\n      when compare ne PPO \"Sel\" STRING \"x\"\n"
              "    }\n"));
    ASSERT_NE(NAV_firstLink(), nullptr);
    EXPECT_EQ(OB_HowManyObjetcs(), 2);
    std::memset(MU_alloc(4096), 'x', 4096);
    PpoRecord *sel = PPO_lookup("Sel");
    ASSERT_NE(sel, nullptr) << "the line's memory was not given back under the point's record";
    EXPECT_STREQ(sel->name, "Sel");
    MH_selectObject(0, 0);
    key("RIGHT");
    EXPECT_EQ(OB_getActualFocus(), 1);
}
