// Damage tracking: a redraw that draws only what changed must leave exactly
// the pixels on the window that a complete redraw of the same values gives,
// cycle after cycle, on the generated 1000-painter picture, the demo pages and
// a picture whose objects move, hide and take their colours through resolved
// names. A cycle without changes draws and copies nothing; one change copies
// little.
#include "test_support.h"

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/containers.h"
#include "data/process_points.h"
#include "draw/graphics.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "teq_runtime.h"
#include "teq_sample.h"
#include "teq_text.h"
#include "transport/target_address.h"
#include "view/damage.h"
#include "view/object_table.h"
#include "view/view_manager.h"

using std::string;

namespace {

string sourceOf(const string &relative) { return readFile(string(PANTERM_SOURCE_DIR) + "/" + relative); }

// Rectangles that move by containers, hide by a point, take their fill
// through a name that a container selects; an oval, a thick line with an
// arrow at its end and a text overlapping them.
string movingPicture()
{
    std::ostringstream text;
    text << "teq g\npage-size 320,240\nbackground 240,240,240\nfill on\nborder on\nline-colour 0,0,0\n";
    for (int i = 0; i < 6; i++) {
        text << "painter \"XRectangleP\" at " << 20 + 45 * i << ",40 size 40,30 plc 0 {\n"
             << "  block \"XRectangleP\" id " << i << " {\n"
             << "    repaint 52 CO \"dx" << i << "\"\n"
             << "    repaint 53 CO \"dy" << i << "\"\n"
             << "    repaint 54 CO \"grow\"\n"
             << "    repaint 39 CO \"#CO_sel" << i << "#\"\n"
             << "    repaint 2 STRING \"\" {\n      when compare eq PPO \"Hide" << i << "\" STRING \"1\"\n    }\n"
             << "  }\n}\n";
    }
    text << "painter \"XOvalP\" at 100,100 size 60,50 plc 0 {\n  block \"XOvalP\" id 10 {\n"
         << "    repaint 41 STRING \"\" {\n      when compare gt PPO \"Level\" STRING \"50\"\n    }\n"
         << "    repaint 52 PPO \"Level\"\n  }\n}\n"
         << "line-width 3\n"
         << "painter \"XLineP\" at 30,150 size 200,40 plc 0 {\n  block \"XLineP\" id 11 {\n"
         << "    repaint 38 CO \"lineColour\"\n    repaint 53 CO \"dy0\"\n    repaint 47 STRING \"2\"\n"
         << "  }\n  start 30 150\n}\n"
         << "line-width 1\n"
         << "painter \"DefaultTextP\" at 60,60 size 120,20 plc 0 {\n  text \"Overlapping text\" 0 0\n}\n";
    return text.str();
}

const char *const kColours[] = {"255,0,0", "0,128,0", "0,0,255", "200,200,0", "junk"};

class Damage : public TempDirTest {
protected:
    void open(const string &teqText, int width, int height)
    {
        display_ = std::make_unique<teqc::HeadlessDisplay>(width, height);
        ASSERT_TRUE(display_->ok());
        width_ = width;
        height_ = height;
        teqc::ReaderResult read = teqc::runReader(teqc::buildTeq(teqText));
        ASSERT_TRUE(read.accepted) << read.messages;
        MU_init2();
        HT_resetContainers();
        pterm.remote_mode = 1;
        SetRemoteStatus(1);
        pterm.full_redraw = 1;
        scheduleFullRedraw();
    }
    void TearDown() override
    {
        display_.reset();
        TempDirTest::TearDown();
    }
    void setPoint(const string &name, const string &value)
    {
        PPO_addToList(name.c_str(), nullptr);
        PPO_updateValue(PPO_lookup(name.c_str()), value.c_str());
    }
    void setContainer(const string &name, const string &value) { HT_writeContainer(name.c_str(), value.c_str()); }

    std::vector<GR_PIXELVAL> window()
    {
        std::vector<GR_PIXELVAL> pixels(static_cast<size_t>(width_) * height_);
        GrReadArea(g_screen, 0, 0, width_, height_, pixels.data());
        return pixels;
    }
    // A complete redraw of the same values into a frame of its own, shown on
    // the window; the tracked frame is left as it was.
    std::vector<GR_PIXELVAL> completeRedraw()
    {
        if (!reference_) reference_ = GrNewPixmap(width_, height_, nullptr);
        GR_WINDOW_ID tracked = g_offscreen;
        g_offscreen = reference_;
        teqc::drawAllObjects();
        g_offscreen = tracked;
        return window();
    }
    // One redraw cycle, then the window against a complete redraw.
    void cycleIsExact(const string &what)
    {
        VM_redraw_sync();
        partial_ += !DM_lastPass().complete;
        std::vector<GR_PIXELVAL> drawn = window(), complete = completeRedraw();
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < drawn.size(); i++)
            if (drawn[i] != complete[i] && differing++ == 0) first = i;
        ASSERT_EQ(differing, 0u) << what << ": first differing pixel at " << first % width_ << "," << first / width_;
    }

    std::mt19937 random_{28};
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
    std::unique_ptr<teqc::HeadlessDisplay> display_;
    GR_WINDOW_ID reference_ = 0;
    int width_ = 0, height_ = 0;
    int partial_ = 0; // cycles drawn only in part
};

TEST_F(Damage, ThousandPainterPictureStaysExactAsItsValuesChange)
{
    open(teqc::samplePicture(1000), 800, 480);
    setContainer("level", "500");
    for (int i = 0; i < 20; i++) setPoint("Motor" + std::to_string(i), i % 3 ? "1" : "0");
    cycleIsExact("first");
    for (int cycle = 0; cycle < 60; cycle++) {
        int changes = pick(4); // some cycles change nothing
        for (int c = 0; c < changes; c++) {
            switch (pick(3)) {
            case 0: setContainer("level", std::to_string(pick(1100))); break;
            case 1: setContainer("fill" + std::to_string(pick(10)), kColours[pick(5)]); break;
            default: setPoint("Motor" + std::to_string(pick(20)), pick(2) ? "1" : "0"); break;
            }
        }
        cycleIsExact("cycle " + std::to_string(cycle));
    }
    EXPECT_GT(partial_, 40);
}

TEST_F(Damage, MovingHiddenAndResolvedObjectsStayExact)
{
    open(movingPicture(), 320, 240);
    for (int i = 0; i < 6; i++) {
        setContainer("sel" + std::to_string(i), "colA");
        setPoint("Hide" + std::to_string(i), "0");
    }
    setContainer("colA", "255,0,0");
    setContainer("colB", "0,0,255");
    setPoint("Level", "10");
    cycleIsExact("first");
    for (int cycle = 0; cycle < 120; cycle++) {
        string n = std::to_string(pick(6));
        switch (pick(8)) {
        case 0: setContainer("dx" + n, std::to_string(pick(60) - 30)); break;
        case 1: setContainer("dy" + n, std::to_string(pick(200) - 20)); break; // also off the page
        case 2: setContainer("sel" + n, pick(2) ? "colA" : "colB"); break;     // the reference changes
        case 3: setContainer(pick(2) ? "colA" : "colB", kColours[pick(5)]); break;
        case 4: setPoint("Hide" + n, pick(2) ? "1" : "0"); break;
        case 5: setPoint("Level", std::to_string(pick(120))); break;
        case 6: setContainer("grow", std::to_string(pick(40))); break;
        default: setContainer("lineColour", kColours[pick(5)]); break;
        }
        cycleIsExact("cycle " + std::to_string(cycle));
    }
    EXPECT_GT(partial_, 60);
}

TEST_F(Damage, DemoPagesStayExactAsTheirValuesChange)
{
    const char *const texts[] = {"Tank T1", "A much longer name of the tank", "", "Not available"};
    for (const char *name : {"frame", "Plant1", "Plant2", "Plant3", "Plant5", "widgets"}) {
        SCOPED_TRACE(name);
        bool widgets = string(name) == "widgets"; // the page of every object kind
        open(sourceOf(widgets ? "bench/pictures/widgets.teqt" : string("demo/pictures/") + name + ".teqt"), 640, 480);
        setContainer("Notes", "Pump P1\tstarted\t07:02\nTank T1\thigh\t07:15\n");
        pterm.show_selection = 1; // the focus frame is drawn into every copy
        OB_setFirstObjectInFocus(1);
        for (int cycle = 0; cycle < 25; cycle++) {
            setPoint("sim.ramp", std::to_string(pick(1000)));
            if (pick(2)) setPoint("sim.sine", std::to_string(pick(100) - 50));
            if (pick(3) == 0) setPoint("Pump.Run", pick(2) ? "1" : "0");
            if (pick(3) == 0) setPoint("Pump.Fault", pick(2) ? "1" : "0");
            if (pick(3) == 0) setPoint("Pump.Mode", std::to_string(pick(3)));
            if (pick(3) == 0) setPoint("T1.SP", std::to_string(pick(900)));
            if (pick(3) == 0) setPoint("T1.Name", texts[pick(4)]);
            if (pick(3) == 0) setPoint("Tank.Setpoint", std::to_string(pick(100)));
            if (pick(3) == 0) setPoint("Tank.Name", texts[pick(4)]);
            if (pick(3) == 0) setContainer("Lamp", kColours[pick(5)]);
            cycleIsExact(string(name) + " cycle " + std::to_string(cycle));
        }
        display_.reset();
        reference_ = 0;
    }
    EXPECT_GT(partial_, 60);
}

TEST_F(Damage, UnchangedCycleDrawsAndCopiesNothingAndOneChangeCopiesItsObject)
{
    open(movingPicture(), 320, 240);
    setContainer("colA", "255,0,0");
    for (int i = 0; i < 6; i++) setContainer("sel" + std::to_string(i), "colA");
    VM_redraw_sync();
    EXPECT_EQ(DM_lastPass().complete, 1);
    VM_redraw_sync(); // reads that created containers count as changes once
    VM_redraw_sync();
    DM_PassInfo quiet = DM_lastPass();
    EXPECT_EQ(quiet.complete, 0);
    EXPECT_EQ(quiet.drawn, 0);
    EXPECT_EQ(quiet.copied.width, 0);

    setContainer("sel5", "colB"); // the last rectangle, overlapped by nothing
    VM_redraw_sync();
    DM_PassInfo one = DM_lastPass();
    EXPECT_EQ(one.complete, 0);
    EXPECT_EQ(one.drawn, 1);
    EXPECT_EQ(one.copied.x, 245);
    EXPECT_EQ(one.copied.y, 40);
    EXPECT_EQ(one.copied.width, 40);
    EXPECT_EQ(one.copied.height, 30);

    setContainer("colA", "255,0,0"); // the same text again is no change
    VM_redraw_sync();
    EXPECT_EQ(DM_lastPass().drawn, 0);

    pterm.full_redraw = 0; // refreshes skip what did not change and copy what they drew
    VM_redraw_sync();
    VM_redraw_sync();
    EXPECT_EQ(DM_lastPass().drawn, 0);
    EXPECT_EQ(DM_lastPass().copied.width, 0);
    setContainer("sel4", "colB");
    VM_redraw_sync();
    EXPECT_EQ(DM_lastPass().drawn, 1);
    EXPECT_EQ(DM_lastPass().copied.x, 200);
}

// A rectangle that blinks (hidden on every other cycle by the blink counter,
// which is computed when read) is drawn on every cycle, only where it is.
TEST_F(Damage, BlinkingObjectIsDrawnInPlaceOnEveryCycle)
{
    open("teq g\npage-size 320,240\nbackground 255,255,255\nfill on\n"
         "painter \"XRectangleP\" at 100,100 size 40,30 plc 0 {\n  block \"XRectangleP\" id 1 {\n"
         "    repaint 2 STRING \"\" {\n      when compare eq CO \"BLINKCO\" STRING \"1\"\n    }\n  }\n}\n" +
             movingPicture().substr(movingPicture().find("painter")),
         320, 240);
    setContainer("colA", "255,0,0");
    for (int i = 0; i < 6; i++) setContainer("sel" + std::to_string(i), "colA");
    cycleIsExact("first");
    for (int cycle = 0; cycle < 10; cycle++) {
        CO_counterRefresh();
        cycleIsExact("cycle " + std::to_string(cycle));
        EXPECT_LE(DM_lastPass().copied.width, 40);
    }
    EXPECT_EQ(partial_, 10);
}

// An event object copies a point into a container while it is drawn, and a
// rectangle before it and one after it show the container: the cycles show
// what complete redraws show, cycle by cycle (the rectangle before the event
// one cycle behind).
TEST_F(Damage, AValueWrittenWhileDrawingReachesItsReadersAsInACompleteRedraw)
{
    string text = "teq g\npage-size 320,240\nbackground 255,255,255\nfill on\n";
    auto rect = [](int x, const char *colour) {
        return "painter \"XRectangleP\" at " + std::to_string(x) +
               ",10 size 40,30 plc 0 {\n  block \"XRectangleP\" id " + std::to_string(x) + " {\n    repaint 39 CO \"" +
               colour + "\"\n  }\n}\n";
    };
    text += rect(10, "mirror") + rect(110, "other") +
            "painter \"EventP\" at 0,0 size 1,1 plc 0 {\n  block \"EventP\" id 2 {\n"
            "    action 2 2 {\n      dest CO \"mirror\"\n      source PPO \"Src\"\n    }\n  }\n}\n" +
            rect(210, "mirror");
    std::vector<std::vector<GR_PIXELVAL>> shown[2];
    for (int complete = 0; complete < 2; complete++) {
        open(text, 320, 240);
        PPO_setReady(1);
        setPoint("Src", "255,0,0");
        setContainer("mirror", "255,0,0"); // the first drawing writes nothing new
        random_.seed(28);
        for (int cycle = 0; cycle < 30; cycle++) {
            switch (pick(3)) { // some cycles change nothing
            case 0: setPoint("Src", kColours[pick(5)]); break;
            case 1: setContainer("other", kColours[pick(5)]); break;
            default: break;
            }
            if (complete) scheduleFullRedraw();
            VM_redraw_sync();
            partial_ += !DM_lastPass().complete;
            shown[complete].push_back(window());
        }
        display_.reset();
    }
    for (size_t cycle = 0; cycle < shown[0].size(); cycle++)
        EXPECT_TRUE(shown[0][cycle] == shown[1][cycle]) << "cycle " << cycle;
}

std::vector<int> messages;

int32_t askForFullRedrawOnRefresh(int id, int message, int, void *)
{
    messages.push_back(message);
    if (message == OB_MSG_REFRESH) scheduleFullRedraw();
    return id;
}

TEST_F(Damage, AFullRedrawAskedForDuringARefreshIsKept)
{
    open(movingPicture(), 320, 240);
    pterm.full_redraw = 0;
    OB_Get_Pointer(0)->Notify = askForFullRedrawOnRefresh;
    VM_redraw_sync();
    messages.clear();
    VM_redraw_sync();
    VM_redraw_sync();
    EXPECT_EQ(messages, (std::vector<int>{OB_MSG_REFRESH, OB_MSG_DRAW}));
}

} // namespace
