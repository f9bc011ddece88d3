// The pump that takes display events while the main thread waits: input is
// kept for the main loop in its order, and only the main thread pumps.
#include "test_support.h"

#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "app/event_pump.h"
#include "nanox/nx_core.h"
#include "runtime/hooks.h"
#include "runtime/pump.h"

namespace {

class EventPump : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        useHeadlessScreen(nullptr);
        ASSERT_GE(GrOpen(), 0);
        GR_WINDOW_ID w = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "t", GR_ROOT_WINDOW_ID, 0, 0, 640, 480, WHITE);
        GrSelectEvents(w, GR_EVENT_MASK_BUTTON_DOWN | GR_EVENT_MASK_BUTTON_UP | GR_EVENT_MASK_KEY_DOWN |
                              GR_EVENT_MASK_EXPOSURE);
        GrMapWindow(w);
        GrSetFocus(w);
        EP_reset();
    }
    void TearDown() override
    {
        GrClose();
        EP_reset();
        TempDirTest::TearDown();
    }
};

TEST_F(EventPump, InputIsKeptInItsOrderAndBounded)
{
    NX_inputButton(10, 20, true);
    NX_inputKey('a', 0, true);
    NX_inputButton(10, 20, false);
    HK_hooks()->pumpEvents();
    GR_EVENT e;
    ASSERT_EQ(EP_takeKeptEvent(&e), 1);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_BUTTON_DOWN);
    EXPECT_EQ(e.button.x, 10);
    ASSERT_EQ(EP_takeKeptEvent(&e), 1);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_KEY_DOWN);
    EXPECT_EQ(e.keystroke.ch, 'a');
    ASSERT_EQ(EP_takeKeptEvent(&e), 1);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_BUTTON_UP);
    EXPECT_EQ(EP_takeKeptEvent(&e), 0);

    // Each kept event carries the time it was taken from the display: the
    // age of an operator's command counts from then.
    int64_t before = PUMP_nowMs();
    NX_inputButton(5, 5, true);
    EP_pumpEvents();
    usleep(300 * 1000);
    int64_t made = 0;
    ASSERT_EQ(EP_takeKeptEvent(&e, &made), 1);
    EXPECT_GE(made, before);
    EXPECT_LE(made, before + 200) << "not the time it was handed on";

    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < EP_KEPT_EVENTS / 2; i++) NX_inputButton(i, round, true);
        EP_pumpEvents();
    }
    int taken = 0;
    while (EP_takeKeptEvent(&e)) EXPECT_EQ(e.button.x, taken++ % (EP_KEPT_EVENTS / 2));
    EXPECT_EQ(taken, EP_KEPT_EVENTS) << "the oldest are kept, later ones dropped";
    EXPECT_NE(readFile(path("pterm.log")).find("dropped while the panel waits for the target"), std::string::npos);
}

TEST_F(EventPump, OnlyTheMainThreadTakesEvents)
{
    NX_inputButton(1, 1, true);
    std::thread([] { EP_pumpEvents(); }).join();
    GR_EVENT e;
    EXPECT_EQ(EP_takeKeptEvent(&e), 0);
    do GrCheckNextEvent(&e);
    while (e.type == GR_EVENT_TYPE_EXPOSURE || e.type == GR_EVENT_TYPE_UPDATE);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_BUTTON_DOWN) << "the event is still in the display queue";
}

} // namespace
