// Text fields on the headless display: the value with its unit, masked,
// aligned and on several lines; editing on the keypad page and inline with
// the cursor keys, Enter, Escape and the loss of the focus; fields that are
// not edited; entries the value formats refuse; and damaged pictures.
#include "input_fixture.h"

#include <cstring>

#include "data/process_points.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "draw/button_face.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/keypad.h"
#include "objects/text_field.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "teq_render.h"
#include "view/view_manager.h"

using std::string;

namespace {

// The edit action: code 3 on press.
const string kEdit = "    action 0 3 {\n      dest CO \"x\"\n      source CO \"x\"\n    }\n";

class TextField : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        DS_Initialize();
        HT_writeContainer("@CURRENT_PAGE", "page.teq");
    }
    static string field(const string &block, int x = 10, int y = 10, int w = 120, int h = 24, int plc = 0)
    {
        return painter("TextFieldP", x, y, w, h, block, plc);
    }
    static string value(const string &type, const string &name)
    {
        return "    repaint 5 " + type + " \"" + name + "\"\n";
    }
    void draw(const string &painters)
    {
        page("background 255,255,255\nfill off\nborder off\nline-colour 0,0,0\n" + painters);
        teqc::drawAllObjects();
    }
    void tcr(const string &lines)
    {
        writeFile(path("page.tcr"), lines);
        ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    }
    TF_Field *tf(int id = 0) { return object<TF_Field>(id); }
    static void type(const string &text)
    {
        for (char c : text) SetPressedKey(KEY_STATE_PRESSED, c);
        MH_entry();
    }
};

} // namespace

TEST_F(TextField, ValuesShowWithUnitsMaskedAlignedAndOnLines)
{
    tcr("Temp;R100;0;1000;dec.1;K;\nPin;P1; ; ; ;bar;\n");
    setPoint("R100", "425");
    HT_writeContainer("secret", "abc");
    HT_writeContainer("msg", "one\ntwo\n");
    draw(field(value("PPO", "Temp")) + field(value("PASSWORDPPO", "Pin"), 10, 40) +
         field(value("PASSWORDCONTAINER", "secret"), 10, 70) + field(value("CO", "msg"), 10, 100, 200, 60) +
         field(value("CO", "msg") + "    repaint 2 STRING \"\"\n", 10, 170) +
         field(value("STRING", "7") + "    repaint 8 STRING \"\"\n", 200, 10, 100, 24));
    EXPECT_STREQ(tf(0)->text, "42.5 K");
    EXPECT_STREQ(tf(1)->text, "**** bar") << "a password point is not read";
    EXPECT_STREQ(tf(2)->text, "***");
    int line = FO_GetCharHeight(nullptr);
    EXPECT_GT(count(11, 11, 118, line, kBlack), 0);
    EXPECT_GT(count(11, 101, 198, line, kBlack), 0) << "the first line";
    EXPECT_GT(count(11, 101 + line, 198, line, kBlack), 0) << "the second line under it";
    EXPECT_EQ(count(10, 170, 120, 24, kBlack), 0) << "hidden";
    EXPECT_EQ(count(200, 10, 70, 24, kBlack), 0) << "right-aligned";
    EXPECT_GT(count(270, 10, 30, 24, kBlack), 0);

    setPoint("R100", "-5");
    teqc::drawAllObjects();
    EXPECT_STREQ(tf(0)->text, "-0.5 K");
    setPoint("R100", "Not available");
    teqc::drawAllObjects();
    EXPECT_STREQ(tf(0)->text, "Not available K");
}

TEST_F(TextField, BorderFillAndEditFrame)
{
    draw("fill on\nborder on\nfill-colour 255,0,0\n" + field(value("STRING", ""), 10, 10, 60, 20) + "border off\n" +
         field(value("STRING", "") + "    repaint 43 STRING \"\"\n", 100, 10, 60, 20));
    EXPECT_EQ(px(10, 10), kBlack) << "the border";
    EXPECT_EQ(px(11, 11), kRed) << "the fill inside it";
    EXPECT_EQ(px(100, 10), DM_GREY) << "the sunken edit frame";
    EXPECT_EQ(px(101, 11), kBlack);
    EXPECT_EQ(px(102, 12), kRed) << "filled inside the frame";
    page("background 255,255,255\nfill on\nborder on\nfill-colour 255,0,0\n" + field(value("STRING", "")));
    tf()->version = 'c';
    teqc::drawAllObjects();
    EXPECT_EQ(px(10, 10), DM_GREY) << "before version d the border is the sunken frame";
}

TEST_F(TextField, KeypadEditWritesTheConfirmedValueAndTheFocusComesBack)
{
    pterm.sip = 1;
    pterm.show_selection = 1;
    HT_writeContainer("sp", "7");
    HT_writeContainer("pw", "secret");
    draw(field(kEdit + value("CO", "sp") + "    fkey \"ENTER=FKEY_5\"\n") +
         field(kEdit + value("PASSWORDCONTAINER", "pw"), 10, 40));
    HT_writeContainer("_KEYPADNAME", "alphapad.teq");
    click(20, 20);
    EXPECT_STREQ(VM_getDialogBoxName(), "alphapad.teq") << "the page names its keypad";
    HT_writeContainer("_KEYPADNAME", "");
    click(20, 50);
    EXPECT_EQ(co("_KEYPADORG"), "") << "a password is not shown on the keypad";
    EXPECT_EQ(co("_KEYPAD_DEST_TYPE"), "10");

    HT_writeContainer("_KEYEVENT", "9");
    click(20, 20);
    EXPECT_STREQ(VM_getDialogBoxName(), "keypad.teq");
    EXPECT_EQ(co("_KEYPADORG"), "7");
    EXPECT_EQ(co("_KEYPAD"), "") << "the keypad starts empty";
    EXPECT_EQ(co("_KEYPAD_TF_FOCUS"), "0");
    EXPECT_EQ(tf()->editing, 0) << "not inline";

    MH_selectObject(1, 0);
    HT_writeContainer("_KEYEVENT", "1");
    HT_writeContainer("_KEYEVENT", "2");
    HT_writeContainer("_KEYPADCLOSE", "-1");
    EXPECT_EQ(co("sp"), "12");
    EXPECT_EQ(co("pw"), "secret");
    CO_setFocusOnEditFieldAfterKeypadClosed();
    EXPECT_EQ(OB_getActualFocus(), 0) << "back on the field";
    EXPECT_EQ(tf()->object.focus, 1);
    signed char c;
    const char *name;
    uint32_t state;
    ASSERT_EQ(GetPressedKey(&c, &name, &state), 1);
    EXPECT_STREQ(name, "FKEY_5") << "the field's Enter message";

    HT_writeContainer("sp", "13");
    TF_edit(tf(), "sp", SourceType_CO);
    EXPECT_EQ(co("_KEYPADORG"), "7") << "no new edit right after the keypad closed";
}

TEST_F(TextField, InlineEditingWithTheCursorKeysEnterEscapeAndFocusLoss)
{
    pterm.sip = 0;
    HT_writeContainer("sp", "15");
    draw(field(kEdit + value("CO", "sp")));
    click(20, 20);
    TF_Field *f = tf();
    EXPECT_EQ(f->editing, 1);
    EXPECT_EQ(f->selectAll, 1);
    EXPECT_EQ(f->cursor, 2);
    EXPECT_EQ(OB_getActualFocus(), 0);
    type("78");
    EXPECT_STREQ(f->text, "78") << "the first key replaced the whole text";
    key("LEFT");
    type("5");
    EXPECT_STREQ(f->text, "758");
    EXPECT_EQ(f->cursor, 2);
    key("RIGHT");
    key("RIGHT");
    EXPECT_EQ(f->cursor, 3) << "not beyond the end";
    type("\b");
    key("+/-");
    EXPECT_STREQ(f->text, "-75");
    teqc::drawAllObjects();
    EXPECT_EQ(co("sp"), "15") << "nothing written while typing";
    key("ENTER");
    EXPECT_EQ(co("sp"), "-75");
    EXPECT_EQ(f->editing, 0);
    EXPECT_EQ(f->cursor, -1);

    click(20, 20);
    type("9");
    key("ESC");
    EXPECT_EQ(co("sp"), "-75") << "Escape throws the typed text away";
    teqc::drawAllObjects();
    EXPECT_STREQ(f->text, "-75");

    click(20, 20);
    key("HOME");
    type("3");
    MH_selectObject(-1, 0);
    EXPECT_EQ(co("sp"), "3") << "losing the focus writes";

    MH_selectObject(0, 0);
    for (int i = 0; i < 10000; i++) OB_SendMessage(0, OB_MSG_KEY, '1', nullptr);
    EXPECT_EQ(std::strlen(f->text), 255u);
    OB_SendMessage(0, OB_MSG_KEY, '\xC3', nullptr);
    OB_SendMessage(0, OB_MSG_KEY, 27, nullptr);
    key("ENTER");
    EXPECT_EQ(co("sp"), string(255, '1'));

    click(20, 20);
    type("\xC3\xA9");
    key("LEFT");
    key("LEFT");
    type("\b");
    EXPECT_STREQ(f->text, "\xC3\xA9") << "backspace at the start removes nothing";
    key("ENTER");
    EXPECT_EQ(co("sp"), "\xC3\xA9");
}

TEST_F(TextField, ATypedDigitEditsInlineEvenWithTheKeypadOn)
{
    pterm.sip = 1;
    HT_writeContainer("sp", "15");
    draw(field(kEdit + value("CO", "sp")));
    MH_selectObject(0, 0);
    type("7");
    EXPECT_EQ(tf()->editing, 1);
    EXPECT_STREQ(tf()->text, "7");
    EXPECT_STREQ(VM_getDialogBoxName(), "") << "no keypad";
    key("ENTER");
    EXPECT_EQ(co("sp"), "7");
    key("ENTER");
    EXPECT_STREQ(VM_getDialogBoxName(), "keypad.teq") << "Enter on the field opens the keypad";
}

TEST_F(TextField, FieldsThatAreNotEdited)
{
    pterm.sip = 0;
    HT_writeContainer("sp", "15");
    HT_writeContainer("off", "1");
    // A static text: its repaint holds unconditionally (logic "always").
    string label = "    repaint 5 STRING \"Label\" {\n      when always {\n        empty\n        empty\n"
                   "      }\n    }\n";
    string writeOnly = "    action 0 2 {\n      dest CO \"sp\"\n      source STRING \"x\"\n    }\n";
    draw(button("A", 200, 10, 40, 20) + field(kEdit + label) + field(writeOnly + value("CO", "sp"), 10, 40) +
         field(kEdit + value("CO", "sp") +
                   "    action 0 15 {\n      dest CO \"x\"\n      source CO \"x\"\n"
                   "      when compare eq CO \"off\" STRING \"1\"\n    }\n",
               10, 70));
    MH_selectObject(0, 0);
    OB_setNextObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 2) << "the static text is not in the focus order";

    type("5");
    EXPECT_EQ(co("@PT_FKEY_EVENT"), "5") << "a field without an edit action does not take keys";
    MH_selectObject(-1, 0);
    EXPECT_EQ(co("sp"), "15") << "and writes nothing";

    click(20, 80);
    EXPECT_EQ(tf(3)->editing, 0) << "disabled";
    EXPECT_EQ(OB_SendMessage(3, OB_MSG_SELECTABLE, 0, nullptr), 0);
}

TEST_F(TextField, RefusedEntriesWriteNothing)
{
    pterm.sip = 0;
    tcr("SP;T1.SP;0;1000;dec.1;%;\n");
    setPoint("T1.SP", "500");
    // Below the warning button, which the first refused entry shows.
    draw(field(kEdit + value("PPO", "SP"), 10, 60));
    EXPECT_STREQ(tf()->text, "50.0 %");
    for (const char *entry : {"150", "4.2.5", "--5", "1e9", "."}) {
        SCOPED_TRACE(entry);
        click(20, 70);
        type(entry);
        key("ENTER");
        EXPECT_EQ(point("T1.SP"), "500");
        EXPECT_EQ(TCR_isInvalidEntry(), 1);
    }
    EXPECT_NE(co("MessageBoxCO").find("value out of range !\n"), string::npos);
    EXPECT_NE(co("MessageBoxCO").find("Invalid entry !\n"), string::npos);
    click(20, 70);
    type("42.5");
    key("ENTER");
    EXPECT_EQ(point("T1.SP"), "425") << "converted to the raw value";
    teqc::drawAllObjects();
    EXPECT_STREQ(tf()->text, "42.5 %");
}

TEST_F(TextField, HiddenFieldsOfOldEditorsAndCutPictures)
{
    string hidden = field(kEdit + value("CO", "sp"), 10, 10, 120, 24, TF_HIDDEN_PLC_ID);
    draw(hidden);
    EXPECT_EQ(OB_HowManyObjetcs(), 0) << "dropped while no process point was entered";
    draw(field(value("PPO", "Motor")) + hidden);
    EXPECT_EQ(OB_HowManyObjetcs(), 2);
    draw(field(kEdit + value("PPO", "Motor"), 10, 10, 120, 24, TF_HIDDEN_PLC_ID));
    EXPECT_EQ(OB_HowManyObjetcs(), 1) << "its own point counts";

    string bytes = teqc::buildTeq("teq f\n" + field(kEdit + value("CO", "sp") + "    fkey \"F\"\n"));
    for (size_t cut = 20; cut < bytes.size(); cut += 3) {
        reset();
        int result = load(bytes.substr(0, cut));
        if (result == 0) {
            ASSERT_EQ(OB_HowManyObjetcs(), 1) << cut;
            teqc::drawAllObjects();
        } else {
            EXPECT_EQ(OB_HowManyObjetcs(), 0) << cut;
        }
    }
}
