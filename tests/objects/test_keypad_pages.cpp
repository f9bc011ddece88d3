// The panel's own keypad and message-box pages in the refresh cycle, in one
// process: a field of a local page opens the keypad, its keys (touched or
// typed) edit the value, OK writes it converted, a refused entry opens the
// message box, and missing or damaged dialog pages leave the page usable.
#include "input_fixture.h"

#include "data/value_format.h"
#include "objects/text_field.h"
#include "runtime/settings.h"
#include "view/view_manager.h"

using std::string;

namespace {

struct Point {
    int x, y;
};

// Key centres of "keypad.teq" and "alphapad.teq", and the message box's OK.
Point digit(char c)
{
    static const char *const rows[] = {"789", "456", "123"};
    for (int r = 0; r < 3; r++)
        for (int col = 0; col < 3; col++)
            if (rows[r][col] == c) return {4 + 58 * col + 28, 66 + 34 * r + 16};
    return c == '0' ? Point{61, 184} : Point{148, 184}; // "0" and "."
}
const Point kOk = {177, 218}, kExit = {61, 218}, kAbc = {206, 184};
const Point kAlphaOk = {267, 221}, kCaps = {34, 190}, kLetterT = {143, 97};
const Point kMessageBoxOk = {264, 197};
const Point kField = {150, 70};

class KeypadPages : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        VM_init();
        HT_resetContainers();
        VM_loadApplicationPages();
        writeFile(path("page.tcr"), "SP;T1.SP;0;1000;dec.1;%;\n");
        writeFile(path("P.teq"), teqc::buildTeq("teq g\npage-size 320,240\nbackground 255,255,255\n"
                                                "painter \"TextFieldP\" at 100,60 size 120,24 plc 0 {\n"
                                                "  block \"TextFieldP\" id 1 {\n"
                                                "    action 0 3 {\n      dest PPO \"SP\"\n"
                                                "      source PPO \"SP\"\n    }\n"
                                                "    repaint 5 PPO \"SP\"\n  }\n}\n"));
        writeFile(path("start.html"), "<applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n" +
                                          param("ProjectName", "P") + param("InitPPOASCIIName", "page.tcr") +
                                          param("MessageBox", "MsgBox") + "</applet>\n");
        VM_requestLoadHtmlFile("start.html");
        VM_entry();
        setPoint("T1.SP", "500"); // the page load started a new value store
        redraw();
    }
    static string param(const string &name, const string &value)
    {
        return "<param name=\"" + name + "\" value=\"" + value + "\">\n";
    }
    static string stored() { return point("T1.SP"); }
    static void click(Point p)
    {
        MH_mouseDown(p.x, p.y);
        VM_entry();
        MH_mouseUp(p.x, p.y);
        VM_entry();
    }
    static void keys(const string &digits)
    {
        for (char c : digits) click(digit(c));
    }
    static string dialog() { return VM_getDialogBoxName(); }
    static string fieldText()
    {
        auto *f = reinterpret_cast<TF_Field *>(OB_Get_Pointer(0));
        return f && f->object.Notify == TF_notify ? f->text : "<no field>";
    }
    static string messages()
    {
        const char *box = CO_readValPtr("MessageBoxCO");
        return box ? box : "";
    }
    void redraw()
    {
        scheduleFullRedraw();
        VM_entry();
    }
};

} // namespace

TEST_F(KeypadPages, KeysAndOkWriteTheConvertedValue)
{
    ASSERT_EQ(fieldText(), "50.0 %") << log();
    click(kField);
    ASSERT_EQ(dialog(), "keypad.teq");
    EXPECT_STREQ(CO_readValPtr("_KEYPADORG"), "50.0");
    keys("42.5");
    EXPECT_STREQ(CO_readValPtr("_KEYPAD"), "42.5");
    click(kOk);
    EXPECT_EQ(dialog(), "");
    EXPECT_EQ(stored(), "425");
    redraw();
    EXPECT_EQ(fieldText(), "42.5 %");
    EXPECT_STREQ(CO_readValPtr("@CURRENT_PAGE"), "P.teq") << "the keypad never becomes the current page";

    click(kField);
    keys("7");
    click(kExit);
    EXPECT_EQ(dialog(), "");
    EXPECT_EQ(stored(), "425") << "EXIT writes nothing";
}

TEST_F(KeypadPages, TypedKeysPressTheKeypadsKeysAndTheLetterPadTypes)
{
    click(kField);
    for (const char *key : {"1", "2", "BACKSPACE", "7"}) {
        SetKeyEvent(KEY_STATE_PRESSED, key);
        SetKeyEvent(KEY_STATE_RELEASED, key);
    }
    MH_entry();
    EXPECT_STREQ(CO_readValPtr("_KEYPAD"), "17");
    click(kAbc);
    ASSERT_EQ(dialog(), "alphapad.teq");
    EXPECT_STREQ(CO_readValPtr("_KEYPAD"), "17") << "the text goes along";
    click(kLetterT);
    click(kCaps);
    click(kLetterT);
    EXPECT_STREQ(CO_readValPtr("_KEYPAD"), "17Tt");
    click(kAlphaOk);
    EXPECT_EQ(stored(), "500") << "not a number: refused";
    ASSERT_EQ(dialog(), "MsgBox.teq") << "the refusal opens the message box";
    EXPECT_NE(messages().find("Invalid entry !\n"), string::npos) << messages();
    click(kMessageBoxOk);
    EXPECT_EQ(dialog(), "");
    EXPECT_EQ(messages(), "") << "OK empties the messages";
    EXPECT_EQ(fieldText(), "50.0 %");
}

TEST_F(KeypadPages, MissingOrDamagedDialogPagesLeaveThePageUsable)
{
    RA_fileDelete("keypad.teq");
    click(kField);
    EXPECT_EQ(dialog(), "") << "no keypad page: no dialog";
    EXPECT_EQ(fieldText(), "50.0 %") << "the page stays";
    EXPECT_NE(messages().find("File not found !\n keypad.teq\n"), string::npos) << messages();

    writeFile(path("broken.teq"), teqc::buildTeq("teq g\npainter \"XRectangleP\" at 0,0 size 9,9 plc 0 {\n"
                                                 "  block \"XRectangleP\" id 1\n}\n")
                                      .substr(0, 20));
    HT_writeContainer("_KEYPADNAME", "broken.teq");
    click(kField);
    EXPECT_EQ(dialog(), "");
    EXPECT_EQ(fieldText(), "50.0 %") << "the page the damaged keypad cleared is loaded again";
    HT_writeContainer("_KEYPADNAME", "");
    click(kField);
    EXPECT_EQ(dialog(), "") << "still no keypad page";
}
