// Off-line trends against the target simulator's trend logs (the whole log
// and the log commands), and against a scripted target for the answers that
// go wrong: cut, repeated or backward timestamps, NaN and huge numbers, more
// points than asked, empty and failed answers; load types and the time range
// after a load.
#include "trend_fixture.h"

#include <cstdio>
#include <functional>

#include "comm_fixtures.h"
#include "runtime/settings.h"

using std::string;

namespace {

std::string queryOf(const std::string &request)
{
    size_t start = request.find("trend.exe?"), end = request.find(' ', start);
    return start == string::npos ? "" : request.substr(start + 10, end - start - 10);
}

const string kConfig = "1.0;Log;1;100";
const string kInfo = "1.0;sine;1;0;0;0.0;3;10;40";

class OfflineTrend : public TrendTest {
protected:
    void SetUp() override
    {
        TrendTest::SetUp();
        resetTargetLink();
        SRVR_setTimeout(2000);
        Tarsel_setTarget("Phoenix.class");
        set("@MACROOFTActiveTrends.2", "2\tsine\t0\t100\t0,0,255\n");
        set("@MACROOFTLoadType.2", "0");
    }
    void TearDown() override
    {
        SRVR_destroy();
        TrendTest::TearDown();
    }
    void connect(const string &host)
    {
        pterm.remote_mode = 1; // pages stay local, values and trends come from the target
        SetRemoteHost(host.c_str());
        SetRemoteStatus(1);
    }
    // A target that answers every trend query with answer(query).
    std::unique_ptr<RawServer> scripted(std::function<string(const string &)> answer)
    {
        return std::make_unique<RawServer>([answer](int fd, const string &request) {
            string body = answer(queryOf(request));
            RawServer::sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                        body);
            return RawServer::After::KeepReading;
        });
    }
    // A target with the configuration and information above whose trend
    // blocks (and commands) answer blocks(query); the page shows its trend.
    std::unique_ptr<RawServer> trendTarget(std::function<string(const string &)> blocks)
    {
        auto target = scripted([blocks](const string &q) -> string {
            if (q == "trendsList=0&action=config") return kConfig;
            if (q.find("configNSta") != string::npos) return kInfo;
            return blocks(q);
        });
        connect(target->host());
        show("@MACROOFTTrend.2");
        draw();
        return target;
    }
    // Draws until the loading ends (at most 40 draws); the draws it took.
    int load(const char *command = "LOADINFONSTARTDATA")
    {
        set("@MACROOFTActiveTrendsLoadInfos.2", command);
        int draws = 0;
        do draw();
        while (++draws < 40 && !stringcmp(CO_readValPtr("@MACROOFTActiveTrendsLoadDatas.2"), "0"));
        return draws;
    }
    EM_Source *sine() { return source("2", "2"); }
    string points()
    {
        string text;
        EM_Source *s = sine();
        for (int i = 0; s && i < s->count; i++) {
            char item[48];
            std::snprintf(item, sizeof item, "%x=%g ", EM_pointAt(s, i)->time, EM_pointAt(s, i)->value);
            text += item;
        }
        return text;
    }
};

} // namespace

TEST_F(OfflineTrend, LoadsTheSimulatorsLogAndSendsItsCommands)
{
    TargetSim target;
    ASSERT_TRUE(target.start(path("www"), path("target.log")));
    connect(target.host());
    set("@MACROOFTXAutoAdjustDelta.2", "60000");
    show("@MACROOFTTrend.2");
    draw();
    EM_Emitter *e = emitter("2");
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->config, nullptr);
    EXPECT_EQ(e->config->version, 100);
    EXPECT_EQ(e->config->trends, 4);
    EXPECT_EQ(e->config->largestBlock, 256);

    EXPECT_LE(load(), 10);
    EM_Source *s = sine();
    ASSERT_NE(s, nullptr);
    const EM_OfflineInfo *o = s->offline;
    EXPECT_GE(o->samples, 600);
    EXPECT_EQ(s->count, o->samples) << "every point of the log";
    EXPECT_STREQ(CO_readValPtr("@MACROOFTLoadDatasBargraphValue.2"), "97");
    EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrends[1][11].2"), std::to_string(o->samples).c_str());
    EXPECT_DOUBLE_EQ(graph()->xmax, o->end) << "the last 60 seconds before the newest point";
    EXPECT_DOUBLE_EQ(graph()->xmin, o->end - 60.0);

    // The exact queries of a load are checked end to end against the same simulator.
    set("@MACROOFTAvailableTrendsAction.2", "CLEARTRGLOGFILES");
    draw();
    set("@MACROOFTAvailableTrendsAction.2", "RESTARTTRGTRENDING");
    draw();
    std::vector<string> lines = target.logLines();
    EXPECT_NE(lines[lines.size() - 2].find("trend.exe?trendsList=0&action=clearTrdLogFiles "), string::npos);
    EXPECT_NE(lines.back().find("trend.exe?trendsList=0&action=reinitTrending "), string::npos);
    EXPECT_EQ(log().find("Failed to"), string::npos) << log();
}

TEST_F(OfflineTrend, RepeatedAndOlderTimestampsAreMergedInOrder)
{
    int pass = 0;
    auto target = trendTarget([&](const string &) -> string {
        pass++;
        if (pass == 1) return "20;1\n30;2\n0;9\nDone\n";
        if (pass == 2) return "30;3\n10;4\n25;5\n40;6\nEnd\n";
        return "";
    });
    load();
    EXPECT_EQ(points(), "10=4 20=1 25=5 30=3 40=6 ") << "the null timestamp is skipped, 30 takes the later value";
    EXPECT_EQ(pass, 2);
    EXPECT_DOUBLE_EQ(graph()->xmin, 16.0) << "without a delta: the loaded points' range";
    EXPECT_DOUBLE_EQ(graph()->xmax, 64.0);
}

TEST_F(OfflineTrend, BadAnswersStopTheLoadAndKeepWhatCame)
{
    struct Case {
        string answer, points;
    };
    const Case cases[] = {
        {"20;1\n21;2\n2", "20=1 21=2 "},     // cut
        {"20;1\n21;nan\n", "20=1 "},         // NaN
        {"20;1\n21;1e999\n22;3\n", "20=1 "}, // beyond a double
        {"20;1e300\n21;-1e300\nEnd\n", "20=1e+300 21=-1e+300 "},
        {"", ""}, // empty
        {"\r\n", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        HK_hooks()->clearTrends();
        auto target = trendTarget([&](const string &) { return c.answer; });
        EXPECT_LE(load(), 6);
        EXPECT_EQ(points(), c.points);
        EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrendsLoadDatas.2"), "0");
        SRVR_destroy();
    }

    HK_hooks()->clearTrends();
    set("@MACROOFTLoadType.2", "2");
    int asked = 0;
    auto many = trendTarget([&](const string &) -> string {
        asked++;
        string body;
        for (int i = 1; i <= 10; i++) body += std::to_string(i * 16) + ";" + std::to_string(i) + "\n";
        return body + "Done\n";
    });
    load();
    EXPECT_EQ(asked, 1) << "more points than the 3 asked: the load is over";
    EXPECT_EQ(sine()->count, 10);
    EXPECT_NE(many->requests()[2].find("loadType=2&nbrOfPoints=3&startTimestamp=10&lastLoadedTimestamp=0"),
              string::npos)
        << many->requests()[2];
}

TEST_F(OfflineTrend, TargetRepeatingItselfEndsTheLoad)
{
    int asked = 0;
    auto target = trendTarget([&](const string &) -> string {
        asked++;
        return "20;1\nDone\n";
    });
    EXPECT_LE(load(), 8);
    EXPECT_EQ(asked, 2) << "the second answer brought nothing new";
}

TEST_F(OfflineTrend, LoadTypesConfigurationAndCommandFailures)
{
    auto target = trendTarget(
        [](const string &q) -> string { return q.find("clearTrdLogFiles") != string::npos ? "Error 7" : "End\n"; });
    set("@MACROOFTLoadType.2", "5");
    load();
    EXPECT_NE(log().find("load type (5) not supported!"), string::npos);
    EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrendsLoadDatas.2"), "0");
    EXPECT_STREQ(CO_readValPtr("@MACROOFTLoadType.2"), "0");

    set("@MACROOFTActiveTrendsLoadInfos.2", "LOADINFOS");
    draw();
    EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrends[1][7].2"), "01.01.1970");
    EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrends[1][10].2"), "00:01:04") << "0x40 seconds";
    EXPECT_STREQ(CO_readValPtr("@MACROOFTActiveTrendsTotalSamples.2"), "3");
    EXPECT_NE(
        string(CO_readValPtr("@MACROOFTActiveTrends.2")).find("\t01.01.1970\t00:00:16\t01.01.1970\t00:01:04\t3\n"),
        string::npos)
        << "the active list is rebuilt after the information";

    set("@MACROOFTActiveTrends[1][8].2", "00:00:30");
    set("@MACROOFTActiveTrends[][]Update.2", "UPDATE");
    draw();
    draw();
    set("@MACROOFTLoadType.2", "1");
    load("0");
    set("@MACROOFTActiveTrendsLoadDatas.2", "STARTLOADDATAS");
    load("0");
    EXPECT_NE(target->requests().back().find("loadType=1&startTimestamp=1e&endTimestamp=40&lastLoadedTimestamp=0"),
              string::npos)
        << "load type 1 takes the edited start time";

    set("@MACROOFTAvailableTrendsAction.2", "CLEARTRGLOGFILES");
    draw();
    EXPECT_NE(log().find("Failed to clear log files on the target!\n Error 7\n"), string::npos);

    auto refusing = scripted([](const string &) -> string { return "0.0;x;0;0"; });
    HK_hooks()->clearTrends();
    connect(refusing->host());
    show("@MACROOFTTrend.2");
    draw();
    EXPECT_NE(log().find("Failed to load trend configurations!"), string::npos);

    HK_hooks()->clearTrends();
    Tarsel_setTarget("Simatic.class");
    show("@MACROOFTTrend.2");
    draw();
    EXPECT_EQ(emitter("2")->config, nullptr) << "this target keeps no trend logs";
}
