// The driver table behind the native driver, and the reset of the target
// link's modules.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <pwd.h>
#include <unistd.h>

#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm_fixtures.h"
#include "process_runner.h"
#include "data/process_points.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "transport/mqtt_link.h"
#include "comm/driver_table.h"
#include "view/view_manager.h"

namespace {

class DriverTableTest : public CommTest {};

int openDescriptors()
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
    return count;
}

// Each driver's own tests reach it through the table; a service number
// without a driver does nothing and succeeds.
TEST_F(DriverTableTest, AServiceWithoutADriverDoesNothingAndSucceeds)
{
    RawServer target(answer(httpReply("Done."), RawServer::After::KeepReading));
    usePage(target.host(), "Saia.class");
    addPoints({"MD0"});
    size_t before = target.requests().size();
    remoteServiceId = 42;
    EXPECT_EQ(Tarsel_refresh(1), 1);
    EXPECT_EQ(SRVR_WriteVal(target.host().c_str(), "Temp1", "1", 256), 1);
    EXPECT_EQ(target.requests().size(), before);
}

// After the resets every module of the target link is as before start-up:
// connections closed, slots free, no target, the native service.
TEST_F(DriverTableTest, ResetsBringTheTargetLinkBackToItsStart)
{
    writeFile(root() + "/a.txt", "abc");
    setPageParameters("cgiOrderListMaxSize;60\n");
    Tarsel_setServiceId("Simatic.class");
    Tarsel_loadHtmlParameters("");
    TargetSim sim;
    ASSERT_TRUE(sim.start(root(), path("sim.log")));
    SetRemoteHost(sim.host().c_str());
    SetRemoteStatus(1);
    SRVR_setKeepAlive(1);
    SRVR_setTimeout(2000);
    log_append(1, "connecting\n", nullptr);
    int descriptors = openDescriptors();
    char reply[64];
    ASSERT_EQ(RelayURL(nullptr, RLY_READ_VALUE, "Temp1", reply, sizeof reply), 1);
    int file = Tarsel_fileOpen("a.txt", "rt");
    ASSERT_GT(file, TARSEL_REMOTE_HANDLE_BASE);
    int ramHandle = Tarsel_getFileHandle(file);
    ASSERT_GE(ramHandle, 0);
    int slots[SRVR_SOCKET_SLOTS - 1];
    for (int &slot : slots) ASSERT_GT(slot = SRVR_OpenSocket(sim.host().c_str()), 0);

    resetTargetLink();
    EXPECT_EQ(openDescriptors(), descriptors) << "every connection is closed";
    EXPECT_EQ(SRVR_getConnectCount(), 0u);
    EXPECT_EQ(SRVR_isKeepAliveEnabled(), 0);
    EXPECT_EQ(SRVR_getPointerToLastData(), nullptr);
    EXPECT_STREQ(GetRemoteIpAddress(), "");
    EXPECT_EQ(getHostName(), nullptr);
    EXPECT_EQ(GetRemoteStatus(), 0);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 0);
    EXPECT_STREQ(Tarsel_getLastTempFile(), "");
    EXPECT_EQ(Tarsel_getFileHandle(file), -1);
    EXPECT_EQ(RA_fileGetc(ramHandle), -1) << "the downloaded copy is closed";
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE);
    EXPECT_EQ(Tarsel_getOrderLimit(), TARSEL_ORDER_LIMIT);
    EXPECT_EQ(SRVR_WriteBuffer(slots[0], "x", 1), 0);
    // Every slot is free again, and the held connections are gone.
    for (int &slot : slots) EXPECT_GT(slot = SRVR_OpenSocket(sim.host().c_str()), 0);
    for (int slot : slots) SRVR_CloseSocket(slot);
}

} // namespace

TEST_F(DriverTableTest, BrokerAddressesAreReadAsHostAndPort)
{
    struct Case {
        const char *text;
        int tls;
        int ok;
        const char *host;
        int port;
    } cases[] = {
        {"127.0.0.1:1884", 0, 1, "127.0.0.1", 1884},
        {"broker.plant", 0, 1, "broker.plant", 1883},
        {"broker.plant", 1, 1, "broker.plant", 8883},
        {"[::1]:1885", 0, 1, "[::1]", 1885},
        {"", 0, 0, "", 0},
        {":1883", 0, 0, "", 0},
        {"host:", 0, 0, "", 0},
        {"host:70000", 0, 0, "", 0},
        {"host:12ab", 0, 0, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        char host[MQL_HOST_SIZE] = "";
        int port = 0;
        ASSERT_EQ(MQL_parseBroker(c.text, c.tls, host, sizeof host, &port), c.ok);
        if (!c.ok) continue;
        EXPECT_STREQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
}

// A page with MQTTSOURCE reads through the broker and never the target; with
// no broker there its values are not available (not stale), and a malformed
// source is reported.
TEST_F(DriverTableTest, AnMqttSourceReplacesTheTargetsPolling)
{
    RawServer target(answer(httpReply("Done."), RawServer::After::KeepReading));
    int nobody = freeLoopbackPort();
    usePage(target.host(), "Saia.class", "MQTTSOURCE;127.0.0.1:" + std::to_string(nobody) + "/panterm/gw\n");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_MQTT);
    addPoints({"MD0"});
    setPointValue("MD0", "17");
    size_t before = target.requests().size();
    EXPECT_EQ(Tarsel_refresh(1), 0);
    EXPECT_EQ(pointValue("MD0"), "Not available");
    EXPECT_EQ(target.requests().size(), before);

    usePage(target.host(), "Saia.class", "MQTTSOURCE;no-prefix\n");
    EXPECT_NE(log().find("MQTTSOURCE not usable (host:port/prefix):\n no-prefix"), std::string::npos) << log();
    usePage(target.host(), "Saia.class");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE);
    EXPECT_EQ(MQL_isRunning(MQL_SOURCE), 0);
}

namespace {

bool waitFor(const std::function<bool()> &done, int ms)
{
    for (int waited = 0; waited < ms; waited += 10) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// A mosquitto broker (Debian mosquitto) on a free loopback port, for anyone.
// It queues every message for a subscriber that falls behind (by default it
// drops those beyond 1000, the last value among them on a loaded machine).
std::unique_ptr<ChildProcess> startBroker(const std::string &dir, int port)
{
    std::filesystem::create_directories(dir);
    writeFile(dir + "/broker.conf", "listener " + std::to_string(port) +
                                        " 127.0.0.1\nallow_anonymous true\npersistence false\n"
                                        "max_queued_messages 0\nuser " +
                                        getpwuid(getuid())->pw_name + "\n");
    return std::make_unique<ChildProcess>("/usr/sbin/mosquitto", std::vector<std::string>{"-c", dir + "/broker.conf"},
                                          dir);
}

} // namespace

// Both links at work on a real broker that starts after them, their network
// threads against the main thread: a publisher's values reach a page reading
// through the source link, and every message's acknowledgement is counted
// off, however soon it comes back.
TEST_F(DriverTableTest, APublishersValuesReachASourceThroughARealBroker)
{
    ASSERT_EQ(access("/usr/sbin/mosquitto", X_OK), 0) << "install the Debian package mosquitto";
    int port = freeLoopbackPort();
    RawServer target(answer(httpReply("Done."), RawServer::After::KeepReading));
    usePage(target.host(), "Saia.class", "MQTTSOURCE;127.0.0.1:" + std::to_string(port) + "/panterm/gw\n");
    MQL_Config c = {};
    std::snprintf(c.host, sizeof c.host, "127.0.0.1");
    c.port = port;
    ASSERT_EQ(MQL_start(MQL_PUBLISHER, &c), 1);
    // The broker comes up after the panel: both links connect all the same.
    auto broker = startBroker(path("broker"), port);
    ASSERT_TRUE(waitFor([] { return MQL_isConnected(MQL_PUBLISHER) && MQL_isConnected(MQL_SOURCE); }, 10000))
        << broker->output() << log();
    addPoints({"MD0"});
    EXPECT_EQ(MQL_publish(MQL_PUBLISHER, "panterm/gw/status", "online", 1), 1);
    const int kMessages = 3000;
    for (int i = 1; i <= kMessages; i++) {
        std::string value = std::to_string(i);
        while (MQL_pending(MQL_PUBLISHER) >= MQL_MAX_PENDING / 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(MQL_publish(MQL_PUBLISHER, "panterm/gw/value/MD0", value.c_str(), 1), 1) << i;
        if (i % 100 == 0) Tarsel_refresh(1);
    }
    EXPECT_TRUE(waitFor(
        [&] {
            Tarsel_refresh(1);
            return pointValue("MD0") == std::to_string(kMessages);
        },
        10000))
        << pointValue("MD0");
    EXPECT_TRUE(waitFor([] { return MQL_pending(MQL_PUBLISHER) == 0; }, 5000)) << MQL_pending(MQL_PUBLISHER);
    EXPECT_EQ(MQL_dropped(MQL_PUBLISHER), 0);
    MQL_reset();
}
