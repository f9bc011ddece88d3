// The MQTT publisher's alarm poller against targets that answer badly: it
// asks at most once per turn, holds a bounded number of alarms, and clears
// only after a pass that read the whole list.
#include <algorithm>
#include <functional>
#include <string>

#include "app/mqtt_alarms.h"
#include "comm/native_driver.h"
#include "comm_fixtures.h"
#include "data/containers.h"

namespace {

class MqttAlarmsTest : public CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        MQA_reset();
    }
    // A page from the target whose picture names the current-alarm list "1"
    // (the page's heap holds the containers).
    void useTarget(const RawServer &server)
    {
        usePage(server.host(), "Panel.class");
        HT_resetContainers();
        HT_writeContainer("@MACROALRDEFONAlarmsListNr.1", "1");
    }
    void TearDown() override
    {
        MQA_reset();
        CommTest::TearDown();
    }
    // Turns a refresh period apart; answers the most requests one turn made.
    static size_t turns(RawServer &target, int count)
    {
        size_t most = 0, before = target.requests().size();
        for (int i = 0; i < count; i++) {
            now_ += 60000;
            MQA_turn("panterm/t", now_);
            size_t after = target.requests().size();
            most = std::max(most, after - before);
            before = after;
        }
        return most;
    }
    static int64_t now_;
};

int64_t MqttAlarmsTest::now_ = 0;

std::string lines(int first, int count)
{
    std::string text;
    for (int i = first; i < first + count; i++) text += std::to_string(i) + ";1;5f5e1000;0;0\n";
    return text;
}

// Answers the configuration (total alarms, largest block) and the blocks.
RawServer::Script target(const std::string &config, const std::function<std::string(int start)> &block)
{
    return [config, block](int fd, const std::string &request) {
        std::string line = requestLine(request), body = "";
        size_t start = line.find("startLine=");
        if (line.find("action=config") != std::string::npos) body = config;
        else if (start != std::string::npos) body = block(std::stoi(line.substr(start + 10)));
        RawServer::sendText(fd, httpReply(body));
        return RawServer::After::Close;
    };
}

TEST_F(MqttAlarmsTest, BadAnswersNeitherCrashNorGrowWithoutBound)
{
    struct Case {
        const char *what;
        std::string config;
        std::function<std::string(int)> block;
        int held;
    };
    const Case cases[] = {
        {"more lines than asked, no marker", "1.0;5000;0;0;100", [](int) { return lines(1, 5000); }, 32},
        {"\"Done\" for ever with the same lines", "1.0;5;0;0;100", [](int) { return lines(1, 5) + "Done\n"; }, 5},
        {"more alarms than held", "1.0;400;0;0;100",
         [](int start) { return lines(start + 1, 32) + (start < 368 ? "Done\n" : "End\n"); }, MQA_MAX_ALARMS},
        {"no lines but garbage", "1.0;3;0;0;100", [](int) { return std::string("<html>\x01;;;\xff\n\n;;\n"); }, 0},
        {"a negative count", "1.0;3;0;0;100", [](int) { return std::string("-1\n"); }, 0},
        {"a configuration of another version", "7.3;3;0;0;100", [](int) { return lines(1, 3); }, 0},
        {"blocks of one line", "1.0;3;0;0;1",
         [](int start) { return lines(start + 1, 1) + (start < 2 ? "Done\n" : "End\n"); }, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MQA_reset();
        RawServer server(target(c.config, c.block));
        useTarget(server);
        EXPECT_LE(turns(server, 320), 1u) << "one request per turn";
        EXPECT_EQ(MQA_alarmCount(), c.held);
    }
}

// A pass that breaks off (an answer cut short) tells nothing of the alarms it
// did not see; a whole pass without an alarm tells that it went.
TEST_F(MqttAlarmsTest, OnlyAWholePassTellsThatAnAlarmWent)
{
    int shown = 2;
    bool cut = false;
    RawServer server(
        target("1.0;2;0;0;100", [&](int) { return cut ? lines(1, shown) + "2;1;5f5e" : lines(1, shown) + "End\n"; }));
    useTarget(server);
    turns(server, 6);
    ASSERT_EQ(MQA_alarmCount(), 2);
    shown = 1;
    cut = true;
    turns(server, 6);
    EXPECT_EQ(MQA_alarmCount(), 2);
    cut = false;
    turns(server, 3);
    EXPECT_EQ(MQA_alarmCount(), 1);
}

} // namespace
