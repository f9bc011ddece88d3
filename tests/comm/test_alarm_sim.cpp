// The simulator's alarm CGI through the panel's own requests: rules on a
// value raise and clear an alarm, acknowledge and delete act on it, the
// history grows with every coming, texts are read as process points, and
// every alarm query is in the request log.
#include <chrono>
#include <string>
#include <thread>

#include "comm/native_driver.h"
#include "comm_fixtures.h"
#include "transport/http_client.h"
#include "transport/target_address.h"

using std::string;

namespace {

class AlarmSim : public CommTest {
protected:
    void start(const std::vector<string> &extra)
    {
        writeFile(path("rules.txt"), "# the pump's alarms\nalarm 2 while Pump.Fault == 1 : Pump P1 fault\n"
                                     "alarm 7 while sim.counter < 0\nnot a rule\n");
        std::vector<string> args = {"--alarms", path("rules.txt")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim.start(root(), path("sim.log"), args));
        SetRemoteHost(sim.host().c_str());
        SetRemoteStatus(1);
    }
    string alarm(const string &query)
    {
        char reply[2048] = "";
        Tarsel_readAlarm(query.c_str(), reply, sizeof reply);
        return reply;
    }
    void write(const char *name, const char *value)
    {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, "%s", value);
        RelayURL(nullptr, RLY_WRITE_VALUE, name, buffer, sizeof buffer);
    }
    // Polls the current list until it holds part, or (absent) no longer
    // holds it (rules are checked every 100 ms).
    bool currentHolds(const string &part, bool absent = false)
    {
        for (int i = 0; i < 50; i++) {
            string overview = alarm("list=1&action=loadDefOverview&startLine=0&endLine=9&sort=0&filter=0");
            if ((overview.find(part) != string::npos) != absent) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return false;
    }
    TargetSim sim;
};

} // namespace

TEST_F(AlarmSim, RulesRaiseAndClearAlarmsThatAreAcknowledgedAndDeleted)
{
    start({"--alarm-block", "50"});
    EXPECT_EQ(alarm("list=1&action=config"), "1.1;0;0;0;50;0\n");
    write("Pump.Fault", "1");
    ASSERT_TRUE(currentHolds("2;1;"));
    string overview = alarm("list=1&action=loadDefOverview&startLine=0&endLine=9&sort=0&filter=0");
    EXPECT_NE(overview.find(";0;0\nEnd\n"), string::npos) << "on, not acknowledged: " << overview;
    EXPECT_EQ(alarm("list=1&action=config"), "1.1;1;0;1;50;0\n");

    EXPECT_EQ(alarm("list=1&action=acknowledge&item=2"), "1\n");
    EXPECT_EQ(alarm("list=1&action=delete&completList=1"), "0\n") << "an alarm still on is kept";
    write("Pump.Fault", "0");
    ASSERT_TRUE(currentHolds(";0;1\nEnd", true)) << "gone: an off time";
    EXPECT_EQ(alarm("list=1&action=delete&type=2"), "1\n") << "acknowledged and gone: deleted";
    EXPECT_EQ(alarm("list=1&action=loadDefOverview&startLine=0&endLine=9&sort=0&filter=0"), "End\n");

    write("Pump.Fault", "1");
    ASSERT_TRUE(currentHolds("2;1;"));
    string history = alarm("list=1&action=loadHistory&startLine=0&endLine=0");
    EXPECT_EQ(history.substr(0, 4), "2;2;") << "the newest entry first, numbered in order: " << history;
    EXPECT_NE(history.find("\nDone\n"), string::npos) << "more entries follow";

    char text[256] = "";
    Tarsel_forceReadVal("PDP,,TEXT1,s", text, sizeof text);
    EXPECT_STREQ(text, "Pump P1 fault");
    Tarsel_forceReadVal("PDP,,TEXT6,s", text, sizeof text);
    EXPECT_STREQ(text, "Alarm 7") << "a rule without a text";
    EXPECT_EQ(alarm("list=1&action=clearLogFiles"), "Done\n");
    EXPECT_EQ(alarm("list=1&action=config"), "1.1;1;0;0;50;0\n");
    EXPECT_EQ(alarm("list=1&action=dance"), "-1\n");

    int logged = 0;
    for (const string &line : sim.logLines()) logged += line.find("/cgi-bin/alarm.exe?list=1&action=") != string::npos;
    EXPECT_GE(logged, 12) << "every alarm query is logged";
}

TEST_F(AlarmSim, PrefilledHistoryAndBadSwitches)
{
    start({"--alarm-history", "25"});
    EXPECT_EQ(alarm("list=1&action=config"), "1.1;0;0;25;100;0\n");
    string block = alarm("list=1&action=loadHistory&startLine=20&endLine=30");
    EXPECT_EQ(block.substr(0, 4), "5;2;") << block;
    EXPECT_NE(block.find("1;2;"), string::npos);
    EXPECT_NE(block.find("\nEnd\n"), string::npos);
    sim.stop();
    EXPECT_FALSE(sim.start(root(), path("sim2.log"), {"--alarm-history", "20000"})) << "beyond the history's bound";
    EXPECT_FALSE(sim.start(root(), path("sim3.log"), {"--alarms", path("missing.txt")}));
}
