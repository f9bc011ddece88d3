// Pointer presses and releases, key delivery through the objects' key names,
// the binding table and the built-in key functions, operator activity and
// the scroll bar.
#include "input_fixture.h"

#include "draw/graphics.h"
#include "input/input_events.h"
#include "input/key_bindings.h"
#include "input/scroller.h"
#include "runtime/settings.h"
#include "view/view_manager.h"

using std::string;

namespace {

class Pointer : public InputTest {};
class Keys : public InputTest {
protected:
    void press(const char *name) { SetKeyEvent(KEY_STATE_PRESSED, name); }
    void tap(const char *name)
    {
        SetKeyEvent(KEY_STATE_PRESSED, name);
        SetKeyEvent(KEY_STATE_RELEASED, name);
    }
};

// Two buttons, B partly over A, and a free area at the right.
const string kTwo = InputTest::button("A", 10, 10, 60, 40) + InputTest::button("B", 50, 30, 60, 40);

} // namespace

TEST_F(Pointer, PressOwnerTakesTheReleaseWhereverItHappens)
{
    page(kTwo);
    EXPECT_EQ(MH_mouseDown(60, 35), 1) << "the top-most object under the point takes the press";
    EXPECT_EQ(OB_getActualFocus(), 1);
    EXPECT_EQ(MH_mouseUp(300, 230), 1) << "released outside every object";
    EXPECT_EQ(events(), "B+B-") << "the release goes to the owner with the press point";

    HT_writeContainer("log", "");
    MH_mouseDown(20, 20);
    EXPECT_EQ(MH_mouseUp(100, 60), 1);
    EXPECT_EQ(events(), "A+A-") << "released on B: only A's actions run";
    EXPECT_EQ(OB_getActualFocus(), 0);

    HT_writeContainer("log", "");
    EXPECT_EQ(MH_mouseDown(200, 200), 0) << "a press outside every object";
    EXPECT_EQ(OB_getActualFocus(), 0) << "leaves the focus where it was";
    EXPECT_EQ(MH_mouseUp(20, 20), 0) << "its release finds no object that was pressed there";
    EXPECT_EQ(MH_mouseUp(20, 20), 0) << "nor does a second release without a press";
    EXPECT_EQ(events(), "");
}

TEST_F(Pointer, PressesDuringAPageChangeAndAcrossAClearedViewAreSwallowed)
{
    page(kTwo);
    VM_requestPicture("other.teq");
    EXPECT_EQ(MH_mouseDown(40, 20), 0);
    VM_refresh();
    EXPECT_EQ(MH_mouseUp(40, 20), 0) << "the release of a swallowed press is swallowed too";
    EXPECT_EQ(events(), "");
    EXPECT_EQ(MH_mouseDown(40, 20), 1) << "the next press counts again";
    MH_mouseUp(40, 20);
    EXPECT_EQ(events(), "A+A-") << "(the warning button's rectangle, 1,1 20 x 20, is not touched)";

    MH_mouseDown(40, 20);
    VM_ClearView();
    page(kTwo);
    EXPECT_EQ(MH_mouseUp(40, 20), 0) << "a press on the old page does not release on the new one";
    EXPECT_EQ(events(), "");
}

TEST_F(Pointer, ModalObjectAndForegroundLayerKeepPressesToThemselves)
{
    page(kTwo + button("C", 200, 10, 40, 40));
    OB_setActualModal(0);
    EXPECT_EQ(MH_mouseDown(220, 20), 1) << "taken while a modal object is active";
    MH_mouseUp(220, 20);
    EXPECT_EQ(events(), "") << "C under the point got neither the press nor its release, A missed it";
    OB_resetModal();

    OB_setLayerCounts(0, 1);
    OB_setModalForegroundTeq(1);
    EXPECT_EQ(MH_mouseDown(20, 20), 0) << "A lies below the modal foreground layer";
    MH_mouseUp(20, 20);
    MH_mouseDown(220, 20);
    MH_mouseUp(220, 20);
    EXPECT_EQ(events(), "C+C-");
}

TEST_F(Pointer, SimulatedClickKeepsThePressInProgressAndSelectionByPoint)
{
    page(kTwo + button("C", 200, 10, 40, 40));
    MH_mouseDown(20, 20);
    MH_pointObjectWithCoord(210, 20);
    MH_mouseUp(20, 20);
    EXPECT_EQ(events(), "A+C+C-A-");

    MH_selectObjectWithCoord(240, 50);
    EXPECT_EQ(OB_getActualFocus(), 2) << "edges count for selection by point";
    MH_selectObjectWithCoord(300, 200);
    EXPECT_EQ(OB_getActualFocus(), 2) << "nothing there: the focus stays";
    MH_selectObject(-1, 0);
    EXPECT_EQ(OB_getActualFocus(), -1);
}

TEST_F(Pointer, EveryEventIsOperatorActivity)
{
    pterm.inactivity_to_sec = 5;
    pterm.inactivity_pts_ms = 3000;
    HT_writeContainer("PT_PollTimeSubstitute", "3000");
    HT_writeContainer("PT_Backlight", "0");
    page(kTwo);
    MH_mouseDown(300, 200);
    EXPECT_EQ(co("PT_PollTimeSubstitute"), "0");
    char level[256];
    HT_readContainer("PT_Backlight", level);
    EXPECT_STREQ(level, "1") << "a touch wakes a darkened screen";
}

TEST_F(Keys, BoundKeyPressesAndReleasesItsButton)
{
    page(kTwo + button("F", 200, 10, 40, 40, "    fkey \"FKEY_1\"\n"));
    tap("FKEY_1");
    EXPECT_EQ(MH_entry(), 1);
    EXPECT_EQ(events(), "F+F-");
    EXPECT_EQ(co("@PT_FKEY_EVENT"), "FKEY_1");

    HT_writeContainer("log", "");
    SetKeyEvent(KEY_STATE_RELEASED, "FKEY_1");
    SetKeyEvent(KEY_STATE_RELEASED, "FKEY_2");
    tap("NO_SUCH_KEY");
    MH_entry();
    EXPECT_EQ(events(), "") << "releases without their press and unknown names do nothing";
    EXPECT_EQ(co("@PT_FKEY_EVENT"), "NO_SUCH_KEY");
    EXPECT_EQ(MH_entry(), 0) << "nothing queued";
}

TEST_F(Keys, CharactersGoToTheFocusThenThroughTheBindings)
{
    page(kTwo + button("S", 200, 10, 40, 40, "    fkey \"s\"\n"));
    SetPressedKey(KEY_STATE_PRESSED, 'a');
    SetPressedKey(KEY_STATE_PRESSED, 8);
    MH_entry();
    EXPECT_EQ(co("@PT_FKEY_EVENT"), "a") << "backspace leaves the container alone";
    SetPressedKey(KEY_STATE_PRESSED, 's');
    SetPressedKey(KEY_STATE_RELEASED, 's');
    MH_entry();
    EXPECT_EQ(events(), "S+S-") << "a character bound as a key name";

    HT_writeContainer("log", "");
    MH_selectObject(0, 1);
    SetPressedKey(KEY_STATE_PRESSED, ' ');
    SetPressedKey(KEY_STATE_PRESSED, 'x');
    MH_entry();
    EXPECT_EQ(events(), "A+A-") << "space enters the focused button";
    EXPECT_EQ(co("@PT_FKEY_EVENT"), "x") << "a character the focused button refuses";
}

TEST_F(Keys, EnterTabAndRebindingsWithTheirFallbacks)
{
    page(kTwo + rectangle(150, 150, 20, 20) + button("C", 200, 10, 40, 40));
    MH_selectObject(0, 0);
    tap("ENTER");
    MH_entry();
    EXPECT_EQ(events(), "A+A-") << "enter presses and releases the focused button";

    key("TAB");
    EXPECT_EQ(OB_getActualFocus(), 1);
    press("TAB");
    key("TAB");
    EXPECT_EQ(OB_getActualFocus(), 0) << "the rectangle is not in the focus order; the order wraps";
    key("SHIFT-TAB");
    EXPECT_EQ(OB_getActualFocus(), 3);

    int oldMessage = 0, oldObject = 0;
    ASSERT_EQ(MH_setCallBackOnMessage("UP", OB_MSG_ENTER, 1, &oldMessage, &oldObject), 1);
    EXPECT_EQ(oldMessage, OB_MSG_FOCUS_NEXT);
    EXPECT_EQ(oldObject, -1);
    HT_writeContainer("log", "");
    key("UP");
    EXPECT_EQ(events(), "B+B-") << "UP now goes to B as Enter";
    EXPECT_EQ(OB_getActualFocus(), 3) << "and navigation did not run";
    EXPECT_EQ(MH_setCallBackOnMessage("up", 1, 1, nullptr, nullptr), 0) << "names compare exactly";

    MH_setCallBackOnMessage("UP", OB_MSG_KEY, 2, nullptr, nullptr);
    MH_selectObject(1, 0);
    key("UP");
    EXPECT_EQ(OB_getActualFocus(), 0) << "the rectangle refuses: navigation moves up-left to A";

    MH_setCallBackOnMessage("DOWN", OB_MSG_ENTER, 0, nullptr, nullptr);
    VM_ClearView();
    page(kTwo);
    key("DOWN");
    EXPECT_EQ(events(), "") << "bindings of a page are gone with it";
}

TEST(ScrollBar, HalvesButtonsAndSteps)
{
    SCROLLER_Bar bar = {0, 0, 20, 100, 0xFFFFFFFF, 0xFF000000, 0};
    int step = 0;
    EXPECT_TRUE(SCROLLER_IsButtonUpPressed(&bar, 10, 10, &step));
    EXPECT_EQ(step, -1);
    EXPECT_TRUE(SCROLLER_IsButtonUpPressed(&bar, 10, 30, &step));
    EXPECT_EQ(step, -4);
    EXPECT_TRUE(SCROLLER_IsButtonDownPressed(&bar, 10, 60, &step));
    EXPECT_EQ(step, 4);
    EXPECT_TRUE(SCROLLER_IsButtonDownPressed(&bar, 10, 80, &step)) << "y + height - width is still track";
    EXPECT_EQ(step, 4);
    EXPECT_TRUE(SCROLLER_IsButtonDownPressed(&bar, 10, 90, &step));
    EXPECT_EQ(step, 1);
    EXPECT_EQ(bar.flags, SCROLLER_UP_PRESSED | SCROLLER_DOWN_PRESSED);
    EXPECT_FALSE(SCROLLER_inBound(&bar, 10, 50)) << "the middle line is in neither half";
    EXPECT_FALSE(SCROLLER_IsPressed(&bar, 0, 10)) << "edges are outside";
    EXPECT_TRUE(SCROLLER_IsPressed(&bar, 1, 10));
    bar.flags |= SCROLLER_UP_GREY;
    SCROLLER_resetPressedState(&bar);
    EXPECT_EQ(bar.flags, SCROLLER_UP_GREY) << "a greyed button stays grey";
    SCROLLER_SetEnabled(&bar, 0);
    EXPECT_FALSE(SCROLLER_IsPressed(&bar, 1, 10));
}

TEST_F(Pointer, FocusAndClickActionsReachTheObjectAtTheCorner)
{
    const string event =
        "painter \"EventP\" at 12,12 size 1,1 plc 0 {\n  block \"EventP\" id 3 {\n"
        "    action 4 2 {\n      dest CO \"@FOCUS\"\n      source STRING \"\"\n    }\n"
        "    action 4 2 {\n      dest CO \"@POINTS_OBJECT\"\n      source STRING \"\"\n    }\n  }\n}\n";
    page(kTwo + event);
    PPO_setReady(1);
    OB_doGainFocusEventAction();
    EXPECT_EQ(OB_getActualFocus(), 0) << "A lies under the event object's corner";
    EXPECT_EQ(events(), "A+A-") << "and was clicked there";
}

TEST_F(Pointer, AModalObjectThatRefusesAPressLetsThePageGo)
{
    page(kTwo + button("C", 200, 10, 40, 40));
    OB_setActualModal(0);
    click(220, 20);
    EXPECT_EQ(events(), "") << "the press beside it and its release are swallowed";
    EXPECT_EQ(OB_getActualModal(), -1) << "but an object that refuses presses holds the page no longer";
    click(220, 20);
    EXPECT_EQ(events(), "C+C-");
}
