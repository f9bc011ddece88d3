// Event objects and the actions they run: loading, triggers, conditions,
// writes to every kind of destination, arithmetic, toggles and texts.
#include "input_fixture.h"

#include <string>

#include "data/persistent_containers.h"
#include "input/actions.h"
#include "input/event_object.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "view/view_manager.h"

using std::string;

namespace {

string action(int trigger, int code, const string &dest, const string &source, const string &more = "")
{
    return "action " + std::to_string(trigger) + " " + std::to_string(code) + " {\n  dest " + dest + "\n  source " +
           source + "\n" + more + "}\n";
}

string eventPicture(const string &actions)
{
    return "teq f\npainter \"EventP\" at 5,6 size 10,10 plc 0 {\n  block \"EventP\" id 1 {\n" + actions + "  }\n}\n";
}

// Event objects read from pictures in the text form, with a fresh container
// store and the panel's own data server for process points.
class Actions : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        DS_Initialize();
    }
    // Loads a picture whose only object is an event object with these actions.
    void loadEvent(const string &actions)
    {
        reset();
        ASSERT_EQ(loadText(eventPicture(actions)), 0) << log();
        PPO_setReady(1);
    }
    int send(int message) { return OB_SendMessage(0, message, 0, nullptr); }
    // Runs one action of code on entering the page; answers the destination CO "d".
    string enter(const string &actions)
    {
        loadEvent(actions);
        send(OB_MSG_PAGE_ENTERED);
        return co("d");
    }
    string compute(const string &op, const string &a, const string &b)
    {
        set("d", "unchanged");
        return enter(action(AC_TRIGGER_PAGE_ENTERED, AC_COMPUTE, "CO \"d\"", "STRING \"" + op + "\"",
                            "  extra STRING \"" + a + "\"\n  extra STRING \"" + b + "\"\n"));
    }
    string add(const string &source, const string &dest)
    {
        set("d", dest);
        return enter(action(AC_TRIGGER_PAGE_ENTERED, AC_ADD, "CO \"d\"", "STRING \"" + source + "\""));
    }
    AC_EventObject *event() { return object<AC_EventObject>(0); }
};

} // namespace

TEST_F(Actions, EventObjectsLoadInStepWithOtherPainters)
{
    string picture = "teq f\npainter \"XRectangleP\" at 0,0 size 5,5 plc 0 {\n  block \"XRectangleP\" id 1\n}\n"
                     "painter \"EventP\" at 5,6 size 7,8 plc 3 {\n  block \"EventP\" id 2 {\n" +
                     action(AC_TRIGGER_DRAW, AC_WRITE_SOURCE, "CO \"@FOCUS\"", "STRING \"1\"") +
                     action(AC_TRIGGER_DRAW, AC_WRITE_SOURCE, "CO \"@POINTS_OBJECT\"", "STRING \"\"") +
                     "    fkey \"FKEY_2\"\n  }\n}\n"
                     "painter \"XRectangleP\" at 20,0 size 5,5 plc 0 {\n  block \"XRectangleP\" id 3\n}\n";
    ASSERT_EQ(loadText(picture), 0) << log();
    ASSERT_EQ(OB_HowManyObjetcs(), 3);
    auto *e = object<AC_EventObject>(1);
    EXPECT_EQ(e->object.width, 7);
    EXPECT_EQ(e->object.plcId, 3);
    EXPECT_EQ(e->block.painterId, 2);
    ASSERT_EQ(e->block.actionCount, 2);
    EXPECT_EQ(e->block.actions[0].code, AC_FOCUS) << "loading rewrites the focus and click destinations";
    EXPECT_EQ(e->block.actions[1].code, AC_CLICK);
    EXPECT_EQ(e->block.fkeyCount, 1);
    EXPECT_EQ(OB_SendMessage(1, OB_MSG_SELECTABLE, 1, nullptr), 0) << "an event object takes no focus";
    EXPECT_EQ(OB_SendMessage(1, OB_MSG_POINTER_DOWN, 0, nullptr), -1);
    EXPECT_EQ(OB_SendMessage(1, OB_MSG_FOCUS_ORDER, 0, nullptr), -1);
    PPO_setReady(1);
    EXPECT_EQ(OB_SendMessage(1, OB_MSG_DRAW, 0, nullptr), 1)
        << "the focus and click actions find no object at the corner";

    string bytes =
        teqc::buildTeq(eventPicture(action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"d\"", "STRING \"x\"")));
    for (size_t cut = 40; cut < bytes.size(); cut += 5) {
        reset();
        EXPECT_EQ(load(bytes.substr(0, cut)), -1) << cut;
        EXPECT_EQ(OB_HowManyObjetcs(), 0) << "a cut painter block leaves no half-built object, cut at " << cut;
    }
}

TEST_F(Actions, TriggersConditionsAndDisabling)
{
    string trace;
    for (int trigger = 0; trigger <= 5; trigger++)
        trace += action(trigger, AC_APPEND_TEXT, "CO \"trace\"", "STRING \"" + std::to_string(trigger) + "\"");
    trace += action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"trace\"", "STRING \"g\"",
                    "  when compare eq CO \"gate\" STRING \"open\"\n");
    loadEvent(trace);
    set("trace", "");
    PPO_setReady(0);
    EXPECT_EQ(send(OB_MSG_PAGE_ENTERED), 0);
    EXPECT_EQ(co("trace"), "") << "nothing runs before the process values are read";
    PPO_setReady(1);
    send(OB_MSG_PAGE_ENTERED);
    send(OB_MSG_DRAW);
    send(OB_MSG_REFRESH);
    send(OB_MSG_PAGE_LEFT);
    set("gate", "open");
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("trace"), "42254g") << "triggers 0, 1 and 3 never run on an event object";

    string guarded = action(AC_TRIGGER_PAGE_ENTERED, AC_DISABLE, "UNDEFINED \"\"", "STRING \"\"",
                            "  when compare eq CO \"lock\" STRING \"1\"\n") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"trace\"", "STRING \"+\"");
    loadEvent(guarded);
    set("trace", "");
    set("lock", "1");
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("trace"), "");
    EXPECT_TRUE(AC_isDisabled(nullptr, event()->block.actions, event()->block.actionCount));
    set("lock", "0");
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("trace"), "+");
    int counter = 7;
    EXPECT_EQ(AC_executeActionEventP(&event()->object, &event()->block.actions[0], &counter), 7);
    EXPECT_NE(log().find("Unknown action type: 15!\n"), string::npos) << "a disabling action is not run";

    ASSERT_EQ(loadText("teq f\npainter \"XRectangleP\" at 0,0 size 5,5 plc 0 {\n  block \"XRectangleP\" id 1\n}\n"), 0);
    OB_setLayerCounts(0, 1);
    OB_setModalForegroundTeq(1);
    EXPECT_TRUE(AC_isDisabled(&event()->object, nullptr, 0)) << "below the modal foreground layer";
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("trace"), "+");
    OB_setModalForegroundTeq(0);
    EXPECT_FALSE(AC_isDisabled(&event()->object, nullptr, 0));
}

TEST_F(Actions, WriteSourceToDestinations)
{
    pterm.debug_level = 2;
    writeFile(path("in.txt"), "from disk");
    string actions = action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"a\"", "STRING \"hello\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"b\"", "CO \"a\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "FILE \"out.txt\"", "CO \"a\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"c\"", "CO \"missing\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"e\"", "FILE \"in.txt\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "PPO \"Motor.Speed\"", "STRING \"42\"") +
                     action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "CO \"f\"", "PPO \"Motor.Speed\"");
    setPoint("Motor.Speed", "0");
    loadEvent(actions);
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("a"), "hello");
    EXPECT_EQ(co("b"), "hello");
    EXPECT_EQ(co("c"), "<none>") << "a source without a value writes nothing";
    EXPECT_EQ(co("e"), "<none>") << "a file source has no stored text";
    EXPECT_EQ(point("Motor.Speed"), "42");
    EXPECT_EQ(co("f"), "42") << "process points of the panel's own data server are read";
    int file = RA_fileOpen("out.txt", "r");
    ASSERT_GE(file, 16) << "the file is a RAM-disk file";
    char text[64] = {};
    RA_fileRead(text, 1, sizeof text - 1, file);
    RA_fileClose(file);
    EXPECT_STREQ(text, "hello");
    EXPECT_NE(log().find("WS2D: (EventP) from STRING(\"hello\"), to: CO(\"a\") \n value: hello\n"), string::npos);
    EXPECT_NE(log().find("WS2D: (EventP) from CO(\"missing\"), to: CO(\"c\") \nWS2D: "), string::npos);

    int counter = 0;
    AC_executeActionBtnP(nullptr, &event()->block.actions[0], &counter);
    EXPECT_EQ(counter, 1);
    EXPECT_NE(log().find("WS2D: from STRING(\"hello\")"), string::npos) << "buttons log without the prefix";

    EXPECT_FALSE(VM_isPageRequestPending());
    loadEvent(action(AC_TRIGGER_PAGE_LEFT, AC_WRITE_SOURCE, "TEQINDEX \"\"", "STRING \"next\""));
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_FALSE(VM_isPageRequestPending());
    send(OB_MSG_PAGE_LEFT);
    EXPECT_TRUE(VM_isPageRequestPending()) << "a picture request on leaving the page";

    loadEvent(action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "URL \"_self\"", "STRING \"other.html\"") +
              action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "URL \"_self\"", "STRING \"mailto:x@y\""));
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_NE(log().find("\nStart: other.html\n"), string::npos);
    EXPECT_EQ(log().find("Start: mailto"), string::npos);
}

TEST_F(Actions, MessageBoxCloseInTheMessageBoxPage)
{
    string bytes = teqc::buildTeq(
        eventPicture(action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "TEQINDEX \"\"", "CO \"@LAST_PAGE\"")));
    ASSERT_EQ(load(bytes), 0);
    EXPECT_EQ(event()->block.actions[0].code, AC_WRITE_SOURCE) << "only in the message-box page";
    reset();
    int out = RA_fileOpen("MsgBox.teq", "w");
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), out);
    RA_fileClose(out);
    ASSERT_EQ(VM_loadTeqFile("MsgBox.teq", 0), 0);
    ASSERT_EQ(event()->block.actions[0].code, AC_CLOSE_MSGBOX);
    pterm.warn_btn.enabled = 1;
    err_append(0, "something\n", nullptr);
    ASSERT_EQ(getNumberOfMessagePending(), 1);
    PPO_setReady(1);
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(getNumberOfMessagePending(), 0);
    EXPECT_TRUE(VM_isPageRequestPending()) << "the current picture is requested again";
}

// Sums (no operator) and computations, each row "a op b = result"; a row
// naming a log line expects it, any other row must not log a division by 0.
TEST_F(Actions, SumsAndComputationsKeepEveryDigit)
{
    struct Case {
        const char *op, *a, *b, *result, *logged;
    };
    const Case cases[] = {
        {nullptr, "2", "3", "5", nullptr},
        {nullptr, "0.5", "1", "1.5", nullptr},
        {nullptr, "abc", "x", "0", nullptr},
        {nullptr, "-4", "1.25", "-2.75", nullptr},
        {nullptr, "1e308", "1e308", "INF", nullptr},
        {nullptr, "3000000000", "1", "3000000001", nullptr},
        {nullptr, "2147483647", "1", "2147483648", nullptr},
        {nullptr, "-2147483648", "-1", "-2147483649", nullptr},
        {nullptr, "1234567.5", "1", "1234568.5", nullptr},
        {nullptr, "0.1", "0.2", "0.3", nullptr},
        {"/", "1", "4", "0.250000", nullptr},
        {"+", "2", "3", "5", nullptr},
        {"-", "1", "0.5", "0.5", nullptr},
        {"*x", "1.5", "abc", "0", nullptr},
        {"DIV", "7", "2", "3", nullptr},
        {"DIV", "-7", "2", "-3", nullptr},
        {"SUB", "3x", "10", "-7", nullptr},
        {"ADD", "x", "5", "5", nullptr},
        {"%", "7", "3", "1", nullptr},
        {"XOR", "1", "2", "", nullptr},
        {"", "1", "2", "", nullptr},
        {"DIV", "7", "0", "", "division by 0!\n"},
        {"/", "1", "abc", "", "division by 0!\n"},
        {"%", "7", "0", "", "division by 0!\n"},
        {"MULT", "3000000000", "3", "9000000000", nullptr},
        {"MULT", "9000000000000000000", "2", "", "Overflow in compute action!\n"},
        {"DIV", "-9223372036854775808", "-1", "", "Overflow in compute action!\n"},
        {"/", "1e300", "1e-300", "inf", nullptr},
        {"+", "1234567", "1", "1234568", nullptr},
        {"*", "1234567", "1000", "1234567000", nullptr},
        {"-", "0.5", "1234567.25", "-1234566.75", nullptr},
        {"*", "1e20", "10", "1E+21", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(string(c.a) + " " + (c.op ? c.op : "add") + " " + c.b);
        size_t before = log().size();
        EXPECT_EQ(c.op ? compute(c.op, c.a, c.b) : add(c.a, c.b), c.result);
        if (c.logged) EXPECT_NE(log().find(c.logged, before), string::npos);
        else EXPECT_EQ(log().find("division by 0", before), string::npos);
    }
    set("d", "3");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_ADD, "CO \"d\"", "CO \"never\"")), "3");
    set("d", "same");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_COMPUTE, "CO \"d\"", "STRING \"+\"", "  extra STRING \"1\"\n")),
              "same")
        << "fewer than two operands";
}

TEST_F(Actions, TogglesAndTexts)
{
    setPoint("Valve", "5");
    string toggleValve = action(AC_TRIGGER_PAGE_ENTERED, AC_TOGGLE, "CO \"d\"", "PPO \"Valve\"");
    enter(toggleValve);
    EXPECT_EQ(point("Valve"), "0");
    enter(toggleValve);
    EXPECT_EQ(point("Valve"), "1");
    setPoint("Valve", "abc");
    enter(toggleValve);
    EXPECT_EQ(point("Valve"), "1");
    string onOff = action(AC_TRIGGER_PAGE_ENTERED, AC_TOGGLE, "CO \"d\"", "CO \"switch\"",
                          "  extra STRING \"ON\"\n  extra STRING \"OFF\"\n");
    set("switch", "ON");
    enter(onOff);
    EXPECT_EQ(co("switch"), "OFF");
    enter(onOff);
    EXPECT_EQ(co("switch"), "ON");
    set("switch", "maybe");
    enter(onOff);
    EXPECT_EQ(co("switch"), "ON");
    enter(action(AC_TRIGGER_PAGE_ENTERED, AC_TOGGLE, "CO \"d\"", "CO \"nowhere\""));
    EXPECT_NE(log().find("Toggle action failed!\n Src: \"nowhere\"\n"), string::npos);

    set("d", "aabb");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_REMOVE_TEXT, "CO \"d\"", "STRING \"ab\"")), "")
        << "a removal that forms a new match";
    set("d", "a-b--c");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_REMOVE_TEXT, "CO \"d\"", "STRING \"-\"")), "abc");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_REMOVE_TEXT, "CO \"d\"", "STRING \"\"")), "abc");

    set("d", "abc");
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"d\"", "STRING \"def\"")), "abcdef");
    set("d", string(250, 'x'));
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"d\"", "STRING \"123456\"")), string(250, 'x'))
        << "the combined length reaches the destination's size";
    EXPECT_EQ(enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"d\"", "STRING \"12345\"")),
              string(250, 'x') + "12345");
    setPoint("Name", "ab");
    enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "PPO \"Name\"", "STRING \"c\""));
    EXPECT_EQ(point("Name"), "abc");
    enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"PT_SCREEN_WIDTH\"",
                 "STRING \"" + string(200, 'w') + "\""));
    EXPECT_EQ(co("PT_SCREEN_WIDTH"), "320") << "a system container's read stays what the panel says";
    ASSERT_EQ(PCO_isModified(), 0);
    set("PT_PERCO_3", "a");
    PCO_entry();
    enter(action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"PT_PERCO_3\"", "STRING \"b\""));
    EXPECT_EQ(co("PT_PERCO_3"), "ab");
    EXPECT_EQ(PCO_isModified(), 1) << "an appended persistent container is saved";
}

TEST_F(Actions, UnusualActionsAndTheLongestBlock)
{
    string many;
    for (int i = 0; i < 255; i++)
        many += action(AC_TRIGGER_PAGE_ENTERED, AC_APPEND_TEXT, "CO \"many\"", "STRING \"x\"");
    loadEvent(many);
    ASSERT_EQ(event()->block.actionCount, 255);
    set("many", "");
    send(OB_MSG_PAGE_ENTERED);
    EXPECT_EQ(co("many"), string(255, 'x'));

    loadEvent(action(AC_TRIGGER_PAGE_ENTERED, AC_DOWNLOAD_SOURCE, "CO \"d\"", "STRING \"x\"") +
              action(AC_TRIGGER_PAGE_ENTERED, 99, "CO \"d\"", "STRING \"x\"") +
              action(AC_TRIGGER_PAGE_ENTERED, AC_REMOVE_ITEM, "CO \"viewer\"", "STRING \"two\"") +
              action(AC_TRIGGER_PAGE_ENTERED, AC_REMOVE_ITEM, "CO \"viewer\"", "STRING \"2\"") +
              action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "UNDEFINED \"\"", "UNDEFINED \"\"") +
              action(AC_TRIGGER_PAGE_ENTERED, AC_WRITE_SOURCE, "COLOR 1,2,3", "FONT \"f\" 0 0"));
    const MP_Action *a = event()->block.actions;
    int counter = 0;
    for (int i = 0; i < 6; i++) AC_executeActionEventP(&event()->object, &a[i], &counter);
    EXPECT_EQ(counter, 5) << "every code but the unknown one counts";
    EXPECT_NE(log().find("Action DOWNLOADSOURCE (5) is not implemented!\n"), string::npos);
    EXPECT_NE(log().find("Unknown action type: 99!\n"), string::npos);
    EXPECT_EQ(AC_executeAction_Impl(nullptr, nullptr, 4, nullptr, 0), 4);
}
