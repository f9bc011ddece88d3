// The native driver's refresh of a page's points against the target
// simulator and against scripted targets: orders in blocks, reads, writes,
// forced orders, a target that goes away, and broken value files.
#include <algorithm>
#include <unistd.h>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/ppo_update.h"
#include "comm_fixtures.h"
#include "transport/http_client.h"
#include "runtime/hooks.h"
#include "data/process_points.h"
#include "data/value_store.h"
#include "data/containers.h"
#include "view/view_manager.h"

namespace {

using After = RawServer::After;

class RefreshTest : public CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        Tarsel_setServiceId("Saia.class");
    }
    void connect(const std::string &host)
    {
        std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", host.c_str());
        SetRemoteHost(host.c_str());
        SetRemoteStatus(1);
    }
    void startSim(const std::vector<std::string> &extra = {}, int port = 0)
    {
        std::vector<std::string> args = {"--values", path("values.txt")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim.start(root(), path("sim.log"), args, port));
        connect(sim.host());
    }
    using CommTest::addPoints;
    void addPoints(int count)
    {
        for (int i = 0; i < count; i++) ASSERT_EQ(Tarsel_addPPO(pointName(i).c_str(), 0), 1);
    }
    static std::string pointName(int i)
    {
        char name[16];
        std::snprintf(name, sizeof name, "Point_%02d", i);
        return name;
    }
    std::string value(const std::string &name)
    {
        char out[256] = "";
        Tarsel_readVal(name.c_str(), out, sizeof out);
        return out;
    }
    std::vector<std::string> linesWith(const std::string &part) { return ::linesWith(sim.logLines(), part); }
    std::string order() const { return VM_GetOrderFileName(); }

    TargetSim sim;
};

TEST_F(RefreshTest, PointsAreOrderedInBlocksAndReadEachCycleOverKeptConnections)
{
    std::string values;
    for (int i = 0; i < 10; i++) values += pointName(i) + "=" + std::to_string(i * 10) + "\n";
    writeFile(path("values.txt"), values);
    setPageParameters("cgiOrderListMaxSize;60\n");
    Tarsel_loadHtmlParameters("");
    startSim();
    addPoints(10);
    unsigned connects = SRVR_getConnectCount();
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Point_03"), "30");
    EXPECT_EQ(value("Point_09"), "90");

    std::vector<std::string> orders = linesWith("OrderValues.exe");
    ASSERT_GE(orders.size(), 2u);
    EXPECT_EQ(static_cast<int>(orders.size()), Tarsel_getBlockCount());
    std::string names;
    for (size_t b = 0; b < orders.size(); b++) {
        std::string query = orders[b].substr(orders[b].find('?') + 1);
        query = query.substr(0, query.find(' '));
        EXPECT_LE(query.size(), 60u) << query;
        std::string head = order() + "_" + std::to_string(b) + "+dummy+1000";
        ASSERT_EQ(query.substr(0, head.size()), head);
        names += query.substr(head.size());
    }
    std::string all;
    for (int i = 0; i < 10; i++) all += "+" + pointName(i);
    EXPECT_EQ(names, all);
    EXPECT_EQ(orders[0],
              "GET /cgi-bin/OrderValues.exe?" + order() + "_0+dummy+1000+Point_00+Point_01+Point_02 HTTP/1.1");

    // The next cycles only read, one value file per block, side by side on
    // connections that are kept from cycle to cycle.
    for (int cycle = 0; cycle < 3; cycle++) ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(linesWith("OrderValues.exe").size(), orders.size());
    std::vector<std::string> reads = linesWith("ReadFile.exe");
    ASSERT_EQ(reads.size(), 4 * orders.size());
    std::multiset<std::string> lastCycle(reads.end() - static_cast<long>(orders.size()), reads.end());
    for (size_t b = 0; b < orders.size(); b++)
        EXPECT_EQ(lastCycle.count("GET /cgi-bin/ReadFile.exe?" + order() + "_" + std::to_string(b) + " HTTP/1.1"), 1u);
    EXPECT_EQ(SRVR_getConnectCount() - connects, std::min<size_t>(orders.size(), SRVR_RELAY_WINDOW));

    // A write reaches the target and is read back by the next cycle.
    EXPECT_EQ(Tarsel_writeVal("Point_05", "77 kg", 256), 1);
    EXPECT_EQ(sim.logLines().back(), "GET /cgi-bin/writeVal.exe?Point_05+77+kg HTTP/1.1");
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Point_05"), "77 kg");
}

TEST_F(RefreshTest, OrdersAreRepeatedForNewPointsAndEveryTwentyFirstCycle)
{
    writeFile(path("values.txt"), "");
    startSim();
    addPoints(2);
    for (int cycle = 0; cycle < 20; cycle++) ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(linesWith("OrderValues.exe").size(), 1u);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(linesWith("OrderValues.exe").size(), 2u);
    EXPECT_EQ(Tarsel_addPPO("Point_00", 0), 0);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(linesWith("OrderValues.exe").size(), 2u);
    EXPECT_EQ(Tarsel_addPPO("sim.counter", 0), 1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(linesWith("OrderValues.exe").size(), 3u);
    EXPECT_EQ(linesWith("OrderValues.exe").back(),
              "GET /cgi-bin/OrderValues.exe?" + order() + "_0+dummy+1000+Point_00+Point_01+sim.counter HTTP/1.1");
}

// A point named through a container is found by the name the page gives it,
// and ordered as the container reads at each cycle: when the container
// changes, the next cycle orders and shows the other point.
TEST_F(RefreshTest, APointNamedThroughAContainerFollowsIt)
{
    writeFile(path("values.txt"), "Motor2=20\nMotor3=30\n");
    startSim();
    HT_resetContainers();
    HT_writeContainer("i", "2");
    ASSERT_EQ(Tarsel_addPPO("Motor#CO_i#", 0), 1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Motor#CO_i#"), "20");
    HT_writeContainer("i", "3");
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Motor#CO_i#"), "30");
    EXPECT_EQ(linesWith("OrderValues.exe").back(),
              "GET /cgi-bin/OrderValues.exe?" + order() + "_0+dummy+1000+Motor3 HTTP/1.1");
    EXPECT_EQ(PPO_getList()->count, 1);
}

TEST_F(RefreshTest, ValuesGoNotAvailableWhileTheTargetIsAwayAndComeBack)
{
    writeFile(path("values.txt"), "Point_00=5\n");
    startSim();
    addPoints(1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Point_00"), "5");
    int port = sim.port();
    sim.stop();
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(value("Point_00"), "Not available");
    ASSERT_NO_FATAL_FAILURE(startSim({}, port));
    int cycles = 0;
    while (Tarsel_refresh(0) == 0 && cycles < 25) cycles++;
    EXPECT_EQ(cycles, 0) << "the restarted target lost the order; it is ordered again at once";
    EXPECT_EQ(value("Point_00"), "5");
}

// A value file that stalls from second 1 to second 6 (the exchange's
// time-out is longer): while the panel waits, once the update has waited
// PPO_STALE_MIN_MS, the values turn "Not available" (the panel redraws then);
// the late reply brings them back.
std::string staleSeen;
TEST_F(RefreshTest, ValuesAreNotLiveWhileAnUpdateWaitsLong)
{
    writeFile(path("values.txt"), "Point_00=5\n");
    startSim(
        {"--stall-after", "2", "--fault-path", "/cgi-bin/ReadFile.exe", "--fault-start", "1", "--fault-seconds", "5"});
    SRVR_setTimeout(8000);
    addPoints(1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(value("Point_00"), "5");
    EXPECT_EQ(PPO_markStaleWhileWaiting(), 0) << "no update in flight";
    usleep(1200 * 1000);
    staleSeen.clear();
    HK_hooks()->pumpEvents = [] {
        if (!PPO_markStaleWhileWaiting()) return;
        char out[256] = "";
        PPO_getValue("Point_00", out);
        staleSeen += std::string(out) + ";";
    };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Tarsel_refresh(0), 1) << "the stalled reply comes in the end";
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, PPO_STALE_MIN_MS / 1000.0);
    EXPECT_EQ(staleSeen, "Not available;") << "marked once, while waiting";
    EXPECT_EQ(value("Point_00"), "5");
}

TEST_F(RefreshTest, AnErrorAnswerRestartsTheOrderABoundedNumberOfTimes)
{
    writeFile(path("values.txt"), "Point_01=1\n");
    startSim({"--error-orders", "1"});
    addPoints(2);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    std::vector<std::string> orders = linesWith("OrderValues.exe");
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0], orders[1]);
    EXPECT_EQ(value("Point_01"), "1");

    sim.stop();
    startSim({"--error-orders", "1000"});
    size_t before = linesWith("OrderValues.exe").size();
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(linesWith("OrderValues.exe").size() - before, 3u * (TARSEL_ORDER_RESTARTS + 1));
    EXPECT_NE(log().find("orderValues() failed!\nError."), std::string::npos);
    EXPECT_EQ(value("Point_01"), "Not available");
    for (int cycle = 0; cycle < 3; cycle++) {
        before = linesWith("OrderValues.exe").size();
        EXPECT_EQ(Tarsel_refresh(0), 0);
        EXPECT_EQ(linesWith("OrderValues.exe").size() - before, 1u) << "while it keeps failing, one order per cycle";
    }
}

// A target whose value file is given by the test.
RawServer::Script scriptedTarget(const std::string *valueFile)
{
    return [valueFile](int fd, const std::string &request) {
        RawServer::sendText(fd, httpReply(request.find("OrderValues.exe") != std::string::npos ? "Done." : *valueFile));
        return After::KeepReading;
    };
}

TEST_F(RefreshTest, BrokenValueFilesLeaveTheirPointsUnchanged)
{
    std::string valueFile;
    RawServer target(scriptedTarget(&valueFile));
    connect(target.host());
    addPoints(3);
    struct Case {
        std::string file, a, b, c;
    } cases[] = {
        {"A=1\nB=2\nC=3\n", "1", "2", "3"},
        {"A=4\nB=5\n", "4", "5", "3"},
        {"A=6\nB=7\nC=8\nD=9\nE=10\n", "6", "7", "8"},
        {"A=11\nno equals sign\nC=12\n", "11", "7", "12"},
        {"A=" + std::string(300, 'x') + "\nB=13\nC=14\n", "11", "13", "14"},
        {"A=" + std::string(255, 'y') + "\nB=15\nC=16", std::string(255, 'y'), "15", "14"},
        {"A=\nB=x=y\r\nC=17\n", "", "x=y\r", "17"},
        {"Error.", "", "x=y\r", "17"},
        {"", "", "x=y\r", "17"},
    };
    for (const Case &c : cases) {
        valueFile = c.file;
        ASSERT_EQ(Tarsel_refresh(0), 1);
        EXPECT_EQ(value("Point_00"), c.a) << c.file;
        EXPECT_EQ(value("Point_01"), c.b) << c.file;
        EXPECT_EQ(value("Point_02"), c.c) << c.file;
    }
}

TEST_F(RefreshTest, EachBlocksReplyIsMatchedToItsOwnPoints)
{
    RawServer target([](int fd, const std::string &request) {
        std::string body = "Done.";
        if (request.find("ReadFile.exe?" + std::string(VM_GetOrderFileName()) + "_0 ") != std::string::npos)
            body = "first=1\n";
        else if (request.find("ReadFile.exe") != std::string::npos) body = "third=3\nfourth=4\n";
        RawServer::sendText(fd, httpReply(body));
        return After::KeepReading;
    });
    setPageParameters("cgiOrderListMaxSize;60\n");
    Tarsel_loadHtmlParameters("");
    connect(target.host());
    addPoints({"LLLLLLLLL1", "LLLLLLLLL2", "LLLLLLLLL3", "LLLLLLLLL4"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    ASSERT_EQ(Tarsel_getBlockCount(), 2);
    EXPECT_EQ(value("LLLLLLLLL1"), "1");
    EXPECT_EQ(value("LLLLLLLLL2"), "");
    EXPECT_EQ(value("LLLLLLLLL3"), "3");
    EXPECT_EQ(value("LLLLLLLLL4"), "4");
}

TEST_F(RefreshTest, WithoutARemoteServerTheLocalDataServerAnswers)
{
    DS_Initialize();
    SetRemoteStatus(0);
    EXPECT_EQ(Tarsel_writeVal("Level", "3", 256), 0);
    char out[256];
    EXPECT_EQ(Tarsel_readVal("Level", out, sizeof out), 1);
    EXPECT_STREQ(out, "0");
    EXPECT_EQ(Tarsel_writeVal("Level", "3", 256), 1);
    EXPECT_EQ(Tarsel_readVal("Level", out, sizeof out), 1);
    EXPECT_STREQ(out, "3");
    EXPECT_EQ(Tarsel_readValPtr("Level"), nullptr);
    EXPECT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(Tarsel_readVal("PDP,,MW10,d", out, sizeof out), 1);
    EXPECT_STREQ(out, "2");
}

TEST_F(RefreshTest, BlocksStayWithinTheLimitOnceEncoded)
{
    const std::string noValues;
    RawServer target(scriptedTarget(&noValues));
    setPageParameters("cgiOrderListMaxSize;60\nencodeSpecialChar;on\n");
    Tarsel_loadHtmlParameters("");
    connect(target.host());
    addPoints({"a/b/c/d/e", "f/g/h/i/j", "k/l/m/n/o", "p/q/r/s/t"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    int orders = 0;
    for (const std::string &request : target.requests()) {
        if (request.find("OrderValues.exe") == std::string::npos) continue;
        orders++;
        size_t start = request.find('?') + 1;
        EXPECT_LE(request.find(' ', start) - start, 60u) << request;
    }
    EXPECT_EQ(orders, 4);
    EXPECT_EQ(orders, Tarsel_getBlockCount());
}

// Reports in a part of the log whose text begins with start: each report
// begins with its time line.
int reportsIn(const std::string &text, const std::string &start = "")
{
    int count = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        int h, m, s;
        char tail;
        bool timeLine = end - at == 8 && std::sscanf(text.c_str() + at, "%2d:%2d:%2d%c", &h, &m, &s, &tail) == 4;
        if (timeLine && text.compare(end + 1, start.size(), start) == 0) count++;
        at = end + 1;
    }
    return count;
}

// Against a dead target the first failing refresh cycle makes its three
// attempts with one request each, and reports one failure per attempt, the
// lasting failure and the start of the back-off; the cycles after it make one attempt each, until the
// target answers again.
TEST_F(RefreshTest, ADeadTargetCostsOneRequestPerAttempt)
{
    RawServer closing([](int, const std::string &) { return After::Close; });
    connect(closing.host());
    addPoints(2);
    for (int cycle = 0; cycle < 4; cycle++) {
        size_t requests = closing.requests().size();
        size_t logged = log().size();
        EXPECT_EQ(Tarsel_refresh(0), 0);
        EXPECT_EQ(closing.requests().size() - requests, cycle == 0 ? 3u : 1u) << "cycle " << cycle;
        EXPECT_LE(reportsIn(log().substr(logged)), cycle == 0 ? 6 : 1) << log().substr(logged);
    }
    EXPECT_EQ(value("Point_00"), "Not available");
    PPO_resetUpdate();

    int port = closing.port();
    { // a port with nothing listening
        RawServer probe([](int, const std::string &) { return After::Close; });
        port = probe.port();
    }
    connect("127.0.0.1:" + std::to_string(port));
    for (int cycle = 0; cycle < 2; cycle++) {
        size_t logged = log().size();
        EXPECT_EQ(Tarsel_refresh(0), 0);
        std::string part = log().substr(logged);
        EXPECT_EQ(reportsIn(part, "Connection to host \"127.0.0.1\" failed !"), cycle == 0 ? 3 : 1) << part;
        EXPECT_LE(reportsIn(part), cycle == 0 ? 6 : 1) << part;
    }
}

// Data mode 2: the local data server takes a write to a name it holds (also
// when the name is built from references); a name it does not hold goes on to
// the target, whose answer is the result.
TEST_F(RefreshTest, InDataModeTwoTheLocalServerTakesItsNamesAndTheTargetTheRest)
{
    RawServer target([](int fd, const std::string &request) {
        bool refused = request.find("Refused") != std::string::npos;
        RawServer::sendText(fd, refused ? httpReply("no", "403 Forbidden") : httpReply("ok"));
        return After::Close;
    });
    HT_resetContainers();
    HT_writeContainer("i", "2");
    DS_Initialize();
    connect(target.host());
    SetRemoteStatus(2);
    ASSERT_EQ(GetRemoteStatus(), 2);
    char out[256];
    ASSERT_EQ(Tarsel_readVal("Motor#CO_i#", out, sizeof out), 1);
    ASSERT_EQ(Tarsel_readVal("Level", out, sizeof out), 1);

    EXPECT_EQ(Tarsel_writeVal("Level", "3", 256), 1);
    EXPECT_EQ(Tarsel_writeVal("Motor#CO_i#", "4", 256), 1);
    EXPECT_EQ(Tarsel_writeVal("PDP,,MW10,d", "9", 256), 1);
    EXPECT_TRUE(target.requests().empty()) << target.requests()[0];
    Tarsel_readVal("Level", out, sizeof out);
    EXPECT_STREQ(out, "3");
    Tarsel_readVal("Motor2", out, sizeof out);
    EXPECT_STREQ(out, "4");

    EXPECT_EQ(Tarsel_writeVal("Remote", "5", 256), 1);
    EXPECT_EQ(Tarsel_writeVal("Refused", "6", 256), 0);
    std::vector<std::string> requests = target.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requestLine(requests[0]), "GET /cgi-bin/writeVal.exe?Remote+5 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[1]), "GET /cgi-bin/writeVal.exe?Refused+6 HTTP/1.1");
}

} // namespace
