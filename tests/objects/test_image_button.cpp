// Image buttons drawn on the headless display and pressed through their
// messages: fill, 3-D frame, texts and pictures, press and release actions,
// keys, focus bindings, and the warning button made at run time.
#include "input_fixture.h"

#include "data/value_format.h"
#include "data/value_store.h"
#include "draw/button_face.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/image_button.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "teq_render.h"
#include "view/page_params.h"
#include "view/view_manager.h"

using std::string;

namespace {

class ImageButton : public InputTest {
protected:
    void draw(const string &painters)
    {
        page("background 255,255,255\n" + painters);
        teqc::drawAllObjects();
    }
    // A button with its block's contents, defaults set before it.
    static string plain(const string &defaults, const string &block, int x = 10, int y = 10, int w = 40, int h = 30)
    {
        return defaults + painter("IButtonP", x, y, w, h, block);
    }
    int send(int message, int a = 0, void *b = nullptr) { return OB_SendMessage(0, message, a, b); }
};

} // namespace

TEST_F(ImageButton, FillBorderAndFrame)
{
    draw(plain("fill on\nborder off\nline-width 2\nfill-colour 255,0,0\n", logAction(0, "x")) +
         plain("fill on\nborder on\nline-width 2\nline-colour 0,0,0\n", logAction(0, "y"), 100, 10) +
         plain("fill on\n",
               logAction(0, "z") + "    repaint 41 STRING \"\" {\n      when compare eq CO \"f\" STRING "
                                   "\"1\"\n    }\n",
               200, 10));
    EXPECT_EQ(px(11, 20), kWhite);
    EXPECT_EQ(px(12, 20), kRed) << "inset by the line width on the left";
    EXPECT_EQ(px(46, 20), kRed);
    EXPECT_EQ(px(47, 20), kWhite) << "and by one more on the right, for the 3-D frame";
    EXPECT_EQ(px(20, 12), kRed);
    EXPECT_EQ(px(20, 37), kWhite);

    EXPECT_EQ(px(100, 20), kBlack) << "the border";
    EXPECT_EQ(px(101, 20), kBlack) << "two pixels wide";
    EXPECT_EQ(px(102, 20), kWhite) << "the frame's light side";
    EXPECT_EQ(px(137, 20), DM_GREY) << "the frame's shadow";

    EXPECT_EQ(count(201, 11, 38, 28, kRed), 0) << "fill off while its repaint does not hold";
    HT_writeContainer("f", "1");
    teqc::drawAllObjects();
    EXPECT_GT(count(201, 11, 38, 28, kRed), 500);
}

TEST_F(ImageButton, TextsAndPictures)
{
    writeFile(path("dot.xbm"),
              "#define dot_width 8\n#define dot_height 2\nstatic char dot_bits[] = {\n 0x01, 0x80 };\n");
    writeFile(path("bad.gif"), "GIF89a not really");
    draw(plain("fill off\nborder off\nline-colour 0,0,0\n",
               logAction(0, "t") +
                   "    repaint 1 STRING \"Start\"\n    repaint 7 STRING \"\"\n    repaint 6 STRING \"\"\n",
               10, 10, 120, 30) +
         plain("fill off\nborder off\n", logAction(0, "p") + "    repaint 1 FILE \"dot.xbm\"\n", 100, 100) +
         plain("fill off\nborder off\n", logAction(0, "m") + "    repaint 1 FILE \"missing.gif\"\n", 150, 100) +
         plain("fill off\nborder off\n", logAction(0, "b") + "    repaint 1 FILE \"bad.gif\"\n", 200, 100));
    EXPECT_GT(count(12, 12, 116, 26, kBlack), 20) << "the text";
    EXPECT_EQ(count(12, 12, 20, 26, kBlack), 0) << "centred: nothing at the left";
    EXPECT_EQ(count(12, 12, 116, 6, kBlack), 0) << "centred: nothing at the top";
    EXPECT_EQ(px(100, 100), kBlack) << "the X bitmap";
    EXPECT_EQ(px(107, 101), kBlack);
    EXPECT_EQ(px(101, 100), kWhite);
    string messages = log();
    EXPECT_NE(messages.find("missing.gif"), string::npos) << messages;
    EXPECT_NE(messages.find("bad.gif"), string::npos) << "a corrupt picture is reported like a missing one";
    EXPECT_LT(count(150, 100, 40, 30, kWhite), 1200) << "the placeholder's cross";
}

TEST_F(ImageButton, ProcessValuesShowWithTheirUnit)
{
    DS_Initialize();
    writeFile(path("page.tcr"), "Temp;R100;0;1000;dec.1;K;\n");
    ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    setPoint("R100", "425");
    draw(plain("", logAction(0, "t") + "    repaint 1 PPO \"Temp\"\n") +
         plain("", logAction(0, "u") + "    repaint 1 PPO \"Other\"\n", 100, 10));
    EXPECT_STREQ(object<IB_Button>(0)->text, "42.5 K");
    EXPECT_STREQ(object<IB_Button>(1)->text, "0") << "a point without a format has no unit";
}

TEST_F(ImageButton, PressReleaseAndKeys)
{
    draw(button("B", 10, 10, 40, 30));
    OB_Point inside = {20, 20}, outside = {100, 100};
    OB_setDownCoord(inside);
    EXPECT_EQ(send(OB_MSG_POINTER_DOWN, 0, &inside), 0);
    EXPECT_EQ(object<IB_Button>(0)->pressed, 1);
    EXPECT_EQ(send(OB_MSG_POINTER_UP, 0, &outside), -1) << "released outside";
    EXPECT_EQ(object<IB_Button>(0)->pressed, 0);
    EXPECT_EQ(events(), "B+");
    EXPECT_EQ(send(OB_MSG_POINTER_DOWN, 0, &outside), -1);

    EXPECT_EQ(send(OB_MSG_KEY, ' '), 0);
    EXPECT_EQ(send(OB_MSG_KEY, 'x'), -1);
    EXPECT_EQ(send(OB_MSG_ENTER), 0);
    EXPECT_EQ(events(), "B+B+B-B+B-");

    HT_writeContainer("off", "1");
    draw(button("D", 10, 10, 40, 30,
                "    action 0 15 {\n      dest CO \"x\"\n      source CO \"x\"\n"
                "      when compare eq CO \"off\" STRING \"1\"\n    }\n"));
    EXPECT_EQ(send(OB_MSG_SELECTABLE), 0);
    EXPECT_EQ(send(OB_MSG_POINTER_DOWN, 0, &inside), -1) << "disabled";
    EXPECT_EQ(send(OB_MSG_KEY, ' '), 0);
    EXPECT_EQ(events(), "") << "a disabled button runs nothing";
}

TEST_F(ImageButton, FocusBindsTheFirstThreeKeyNames)
{
    draw(button("B", 10, 10, 40, 30, "    fkey \"RIGHT\"\n    fkey \"LEFT\"\n    fkey \"ESC\"\n") +
         button("T", 100, 10, 40, 30, "    fkey \"FKEY_2\"\n    fkey \"ESC\"\n"));
    MH_selectObject(1, 0);
    key("ESC");
    EXPECT_EQ(events(), "") << "two key names bind nothing";
    MH_selectObject(0, 0);
    key("ESC");
    EXPECT_EQ(events(), "B+B-") << "the third name enters the focused button";
    MH_selectObject(1, 0);
    key("ESC");
    EXPECT_EQ(events(), "B+B-") << "given back when the focus left";
}

TEST_F(ImageButton, WarningButtonAnnouncesErrorsAndOpensTheMessageBox)
{
    ASSERT_EQ(parseExtObjectString(&pterm.warn_btn, "1,0;Alarm;10,200,80,30;255,0,0;255,255,255"), 1);
    ExtObjectSpec partial = {};
    EXPECT_EQ(parseExtObjectString(&partial, "1,0;Alarm;10,200,80,30;255,0,0"), 0);

    page("background 255,255,255\n" + rectangle(0, 0, 5, 5));
    writeFile(path("p.html"), "<applet code=\"IViewer.class\"><param name=\"X\" value=\"1\"></applet>\n");
    HT_loadHtmlParameters("p.html");
    IB_loadWarningButton();
    ASSERT_EQ(OB_HowManyObjetcs(), 2);
    EXPECT_EQ(object<IB_Button>(1)->object.plcId, IB_RUNTIME_PLC_ID);
    teqc::drawAllObjects();
    EXPECT_EQ(count(10, 200, 80, 30, kRed), 0) << "hidden without messages";
    EXPECT_EQ(OB_SendMessage(1, OB_MSG_SELECTABLE, 0, nullptr), 0);

    HT_writeContainer("MessageBoxCO", "");
    err_append(0, "Something failed\n", nullptr);
    ASSERT_EQ(getNumberOfMessagePending(), 1);
    teqc::drawAllObjects();
    EXPECT_GT(count(10, 200, 80, 30, kRed), 1000) << "shown while messages wait";
    EXPECT_GT(count(12, 202, 76, 26, kWhite), 10) << "the label";

    EXPECT_EQ(MH_mouseDown(20, 210), 1);
    EXPECT_EQ(getNumberOfMessagePending(), 0);
    EXPECT_TRUE(VM_isRefreshRequired()) << "the message box page is to be opened";
    EXPECT_EQ(MH_mouseUp(20, 210), 0) << "its release is swallowed";

    err_append(0, "Again\n", nullptr);
    enableMsgBox(0);
    EXPECT_EQ(MH_mouseDown(20, 210), 0) << "no message-box page: the messages are cleared, nothing is requested";
    MH_mouseUp(20, 210);
    EXPECT_FALSE(VM_isPageRequestPending());
    EXPECT_EQ(getNumberOfMessagePending(), 0);
}

TEST_F(ImageButton, CutButtonsAreRefusedWithoutDamage)
{
    string bytes = teqc::buildTeq("teq f\n" + button("B", 10, 10, 40, 30, "    fkey \"FKEY_1\"\n"));
    for (size_t cut = 20; cut < bytes.size(); cut += 3) {
        reset();
        int result = load(bytes.substr(0, cut));
        if (result == 0) {
            ASSERT_EQ(OB_HowManyObjetcs(), 1) << "cut in the key names, which end early: " << cut;
            EXPECT_EQ(object<IB_Button>(0)->block.fkeyCount, 0);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(OB_HowManyObjetcs(), 0) << cut;
        }
    }
}
