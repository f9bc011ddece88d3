// The keypad behind the "_KEY" containers: the keys of the keypad pages edit
// the buffer, closing writes or drops it and asks for the page again, and
// what is no keypad name stays an ordinary container.
#include "input_fixture.h"

#include "data/process_points.h"
#include "objects/keypad.h"
#include "view/view_manager.h"

using std::string;

namespace {

class Keypad : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        HT_writeContainer("@CURRENT_PAGE", "page.teq");
    }
    static string value(const char *name)
    {
        char text[256] = "?";
        HT_readContainer(name, text);
        return text;
    }
    static void keys(std::initializer_list<const char *> values)
    {
        for (const char *v : values) HT_writeContainer("_KEYEVENT", v);
    }
};

} // namespace

TEST_F(Keypad, KeyEventsEditTheBuffer)
{
    keys({"1", "2", ".", "5"});
    EXPECT_EQ(value("_KEYPAD"), "12.5");
    EXPECT_EQ(value("_KEYPOS"), "0") << "appending leaves the cursor";
    keys({"plusminus"});
    EXPECT_EQ(value("_KEYPAD"), "-12.5");
    EXPECT_EQ(value("_KEYPOS"), "1");
    keys({"plusminus", "plusminus", "plusminus"});
    EXPECT_EQ(value("_KEYPAD"), "12.5");
    EXPECT_EQ(value("_KEYPOS"), "0") << "never below the start";
    keys({"bkspace"});
    EXPECT_EQ(value("_KEYPAD"), "12.");

    HT_writeContainer("_KEYPOS", "2");
    keys({"BS"});
    EXPECT_EQ(value("_KEYPAD"), "1.") << "the character before the cursor";
    EXPECT_EQ(value("_KEYPOS"), "1");
    HT_writeContainer("_KEYPOS", "200");
    keys({"BS"});
    EXPECT_EQ(value("_KEYPAD"), "1") << "a cursor beyond the text counts as at its end";
    HT_writeContainer("_KEYPOS", "0");
    keys({"BS", "CE"});
    EXPECT_EQ(value("_KEYPAD"), "");
    keys({"bkspace", "BS", ""});
    EXPECT_EQ(value("_KEYPAD"), "") << "nothing to remove, no key";

    keys({"a", "Z"});
    HT_writeContainer("_KEYPAD_SHIFT", "1");
    keys({"b", "Q", "\xC3\xA9"});
    EXPECT_EQ(value("_KEYPAD"), "AZbq\xC3") << "upper case unless shift is active; one byte of a UTF-8 letter";
    EXPECT_EQ(value("_KEYPAD_SHIFT"), "1");

    keys({"CE"});
    for (int i = 0; i < 10000; i++) HT_writeContainer("_KEYEVENT", "7");
    EXPECT_EQ(value("_KEYPAD").size(), 254u);
    HT_writeContainer("_KEYPAD", string(600, 'x').c_str());
    EXPECT_EQ(value("_KEYPAD").size(), 255u) << "a whole value is cut to the buffer";
}

TEST_F(Keypad, DestinationAndOrdinaryNames)
{
    TF_setKeypadDestination("Motor.Speed", SourceType_PPO);
    EXPECT_EQ(value("_KEYPAD_DEST_NAME"), "Motor.Speed");
    EXPECT_EQ(value("_KEYPAD_DEST_TYPE"), "1");
    HT_writeContainer("_KEYPAD_DEST_TYPE", "10");
    EXPECT_EQ(TF_getKeypadDestinationType(), 10);
    HT_writeContainer("_KEYPAD_DEST_TYPE", "ten");
    EXPECT_EQ(value("_KEYPAD_DEST_TYPE"), "0") << "not a number";

    HT_writeContainer("_KEYPADORG", "old");
    HT_writeContainer("_KEYBOARD", "mine");
    EXPECT_EQ(value("_KEYPADORG"), "old") << "ordinary containers";
    EXPECT_EQ(value("_KEYBOARD"), "mine");
    EXPECT_EQ(value("_keypad"), "") << "keypad names are exact";

    CO_setITQloading(1);
    HT_writeContainer("_KEYEVENT", "1");
    HT_writeContainer("_KEYPAD_OPEN", "");
    CO_setITQloading(0);
    EXPECT_EQ(value("_KEYPAD"), "") << "the container-initialisation page does not type";
    EXPECT_STREQ(VM_getDialogBoxName(), "");
}

TEST_F(Keypad, ClosingAcceptsCancelsOrSwitchesPages)
{
    HT_writeContainer("_KEYPAD_OPEN", "");
    EXPECT_STREQ(VM_getDialogBoxName(), "keypad.teq") << "an empty name opens the numeric keypad";
    TF_setKeypadDestination("target", SourceType_CO);
    keys({"4", "2"});
    HT_writeContainer("_KEYPADCLOSE", "alphapad.teq");
    EXPECT_STREQ(VM_getDialogBoxName(), "alphapad.teq");
    EXPECT_EQ(value("_KEYPAD"), "42") << "the buffer goes along";
    EXPECT_FALSE(VM_isPageRequestPending());

    HT_writeContainer("_KEYPADCLOSE", "-1");
    EXPECT_EQ(value("target"), "42");
    EXPECT_EQ(keypadFocus, TF_KEYPAD_ACCEPTED);
    EXPECT_EQ(value("_KEYPAD"), "");
    EXPECT_TRUE(VM_isPageRequestPending()) << "the page comes back";
    EXPECT_TRUE(VM_isKeypadClosed());

    keys({"9"});
    HT_writeContainer("_KEYPADCLOSE", "0");
    EXPECT_EQ(value("target"), "42") << "cancel writes nothing";
    EXPECT_EQ(keypadFocus, TF_KEYPAD_CANCELLED);
    EXPECT_EQ(value("_KEYPAD"), "");

    keypadFocus = TF_KEYPAD_NOT_CLOSED;
    keys({"9"});
    HT_writeContainer("_KEYPADCLOSE", "");
    EXPECT_EQ(value("target"), "42");
    EXPECT_EQ(keypadFocus, TF_KEYPAD_NOT_CLOSED) << "an empty value only closes";
    EXPECT_EQ(value("_KEYPAD"), "");
}

TEST_F(Keypad, EnterMessageIsSentAfterAcceptAndDroppedAfterCancel)
{
    TF_setEnterMessage("FKEY_5");
    keypadFocus = TF_KEYPAD_ACCEPTED;
    CO_setFocusOnEditFieldAfterKeypadClosed();
    signed char character;
    const char *name;
    uint32_t state;
    ASSERT_EQ(GetPressedKey(&character, &name, &state), 1);
    EXPECT_STREQ(name, "FKEY_5");
    EXPECT_EQ(state, KEY_STATE_PRESSED);
    ASSERT_EQ(GetPressedKey(&character, &name, &state), 1);
    EXPECT_EQ(state, KEY_STATE_RELEASED);
    EXPECT_EQ(keypadFocus, TF_KEYPAD_NOT_CLOSED);
    EXPECT_STREQ(TF_getEnterMessage(), "");

    TF_setEnterMessage("FKEY_5");
    keypadFocus = TF_KEYPAD_CANCELLED;
    CO_setFocusOnEditFieldAfterKeypadClosed();
    EXPECT_EQ(GetPressedKey(&character, &name, &state), 0);
    EXPECT_STREQ(TF_getEnterMessage(), "");

    TF_setEnterMessage("FKEY_5");
    CO_setFocusOnEditFieldAfterKeypadClosed();
    EXPECT_STREQ(TF_getEnterMessage(), "FKEY_5") << "no keypad was closed";
    HT_resetContainers();
    EXPECT_STREQ(TF_getEnterMessage(), "") << "a new project starts without one";
}
