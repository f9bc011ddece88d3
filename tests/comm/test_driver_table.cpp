// The driver table behind the native driver, and the reset of the target
// link's modules.
#include <filesystem>
#include <string>

#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm_fixtures.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "view/view_manager.h"

namespace {

using After = RawServer::After;

class DriverTableTest : public CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        MU_init();
        MU_init2();
    }
    std::string value(const char *name)
    {
        char out[256] = "";
        Tarsel_readVal(name, out, sizeof out);
        return out;
    }
};

int openDescriptors()
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
    return count;
}

size_t occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

// The requests of the drivers, without the ILR probe of every page load.
std::vector<std::string> driverRequests(RawServer &target)
{
    std::vector<std::string> found;
    for (const std::string &r : target.requests())
        if (r.find("GetSrvInfo.exe") == std::string::npos) found.push_back(r);
    return found;
}

RawServer::Script done()
{
    return [](int fd, const std::string &request) {
        std::string body = request.find("OrderValues.exe") != std::string::npos ? "Done." : "";
        RawServer::sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return After::KeepReading;
    };
}

// The drivers not built yet tell each page once that the service is
// unavailable, read nothing and write nothing, and never reach the target.
TEST_F(DriverTableTest, UnbuiltDriversAnswerUnavailableThroughTheTable)
{
    RawServer target(done());
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", target.host().c_str());
    SetRemoteHost(target.host().c_str());
    SetRemoteStatus(1);
    struct Case {
        const char *target, *service;
    } cases[] = {{"Wago.class", "WAGO"}, {"TBox.class", "TBox"}};
    for (const Case &c : cases) {
        Tarsel_clearView();
        ASSERT_EQ(Tarsel_addPPO("Temp1", 0), 1);
        Tarsel_setServiceId(c.target);
        std::string unavailable = std::string("Error 604: Unavailable service for\n ") + c.service + "\n";
        size_t before = occurrences(log(), unavailable);
        Tarsel_loadHtmlParameters("");
        EXPECT_EQ(occurrences(log(), unavailable) - before, 1u) << c.target;
        EXPECT_EQ(Tarsel_refresh(0), 0) << c.target;
        EXPECT_EQ(value("Temp1"), "Not available") << c.target;
        EXPECT_EQ(Tarsel_writeVal("Temp1", "1", 256), 0) << c.target;
        EXPECT_EQ(occurrences(log(), unavailable) - before, 1u) << c.target;
    }
    EXPECT_TRUE(driverRequests(target).empty());

    // A service number without a driver does nothing and succeeds.
    remoteServiceId = 42;
    EXPECT_EQ(Tarsel_refresh(1), 1);
    EXPECT_EQ(SRVR_WriteVal(target.host().c_str(), "Temp1", "1", 256), 1);
    EXPECT_TRUE(driverRequests(target).empty());

    // The native driver orders and reads through the same table.
    Tarsel_setServiceId("Saia.class");
    Tarsel_loadHtmlParameters("");
    EXPECT_EQ(Tarsel_refresh(1), 1);
    EXPECT_EQ(driverRequests(target).size(), 2u);
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
