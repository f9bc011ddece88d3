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
};

int openDescriptors()
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) count += entry.exists() ? 1 : 0;
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
        RawServer::sendText(fd,
                            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return After::KeepReading;
    };
}

// Every service number reaches its own driver through the table; a number
// without a driver does nothing and succeeds.
TEST_F(DriverTableTest, EachServiceReachesItsDriver)
{
    RawServer target(done());
    struct Case {
        const char *target, *parameters, *request;
    } cases[] = {
        {"Beckhoff.class", "XMLOPCWebserviceAdress;svc\n", "POST /svc HTTP/1.1"},
        {"Wago.class", "Dummy;1\n", "GET /cgi-bin/ReadFile.exe?"},
        {"Simatic.class", "ONBLOCKREAD_PARTBLOCKSIZE;4\nONBLOCKREADS7REPFACTOR0;4\nPPOINONBLOCKREADPARTBLOCK_0;YES\n",
         "POST /__S7Sys/get/bin/rs/0/0/sps7 HTTP/1.1"},
        {"TBox.class", "TBOXPPOFileName;v.htm\n", "GET /v.htm HTTP/1.1"},
        {"Saia.class", "Dummy;1\n", "GET /cgi-bin/ReadFile.exe?"},
    };
    for (const Case &c : cases) {
        SetRemoteStatus(0);
        setPageParameters(c.parameters);
        std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", target.host().c_str());
        SetRemoteHost(target.host().c_str());
        SetRemoteStatus(1);
        Tarsel_clearView();
        ASSERT_EQ(Tarsel_addPPO("MD0", 0), 1);
        Tarsel_setServiceId(c.target);
        Tarsel_loadHtmlParameters("");
        Tarsel_refresh(1);
        std::vector<std::string> requests = driverRequests(target);
        ASSERT_FALSE(requests.empty()) << c.target;
        EXPECT_EQ(requests.back().rfind(c.request, 0), 0u) << c.target << "\n" << requests.back();
    }
    EXPECT_EQ(log().find("Unavailable service"), std::string::npos) << log();

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
