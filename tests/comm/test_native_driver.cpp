// The native driver: target selection, CGI calls, alarm and trend relays, and
// the file layer over local files.
#include <string>

#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm_fixtures.h"
#include "runtime/command_age.h"
#include "runtime/pump.h"
#include "runtime/ramdisk.h"

namespace {

class NativeDriverTest : public CommTest {};

TEST_F(NativeDriverTest, TargetNamesChooseTypeServiceAndKeepAlive)
{
    struct Case {
        const char *name;
        int type, service;
    } cases[] = {
        {"Saia.class", TARSEL_TARGET_SAIA, TARSEL_SERVICE_NATIVE},
        {"XX7_PCD.class", TARSEL_TARGET_XX7, TARSEL_SERVICE_NATIVE},
        {"Beckhoff.class", TARSEL_TARGET_BECKHOFF, TARSEL_SERVICE_OPC},
        {"Wago.class", TARSEL_TARGET_WAGO, TARSEL_SERVICE_WAGO},
        {"Simatic.class", TARSEL_TARGET_SIMATIC, TARSEL_SERVICE_S7},
        {"TBox.class", TARSEL_TARGET_TBOX, TARSEL_SERVICE_TBOX},
        {"Phoenix.class", TARSEL_TARGET_PHOENIX, TARSEL_SERVICE_NATIVE},
        {"Samson.class", TARSEL_TARGET_SAMSON, TARSEL_SERVICE_NATIVE},
        {"saia.class", TARSEL_TARGET_OTHER, TARSEL_SERVICE_NATIVE},
        {".class", TARSEL_TARGET_OTHER, TARSEL_SERVICE_NATIVE},
    };
    pterm.keep_alive = 0;
    for (const Case &c : cases) {
        Tarsel_setServiceId(c.name);
        EXPECT_EQ(pterm.target_type, c.type) << c.name;
        EXPECT_EQ(Tarsel_getServiceId(), c.service) << c.name;
        EXPECT_EQ(SRVR_isKeepAliveEnabled(), c.type == TARSEL_TARGET_SAIA) << c.name;
    }
    Tarsel_setServiceId("WebFactory.class");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE);
    EXPECT_NE(log().find("Error 604: Unavailable service for\n WebFactory.class"), std::string::npos);
    pterm.keep_alive = 1;
    Tarsel_setServiceId("Other.class");
    EXPECT_EQ(SRVR_isKeepAliveEnabled(), 1);
}

// Writes and CGI calls given for an operator's input go out only while the
// input is younger than cmd_timeout_ms; an older one is dropped with one
// message per input and never sent. The panel's own writes have no limit.
TEST_F(NativeDriverTest, CommandsOfAnOldInputAreDroppedWithOneMessage)
{
    RawServer server(answer(httpReply("")));
    SetRemoteHost(server.host().c_str());
    SetRemoteStatus(1);
    pterm.cmd_timeout_ms = 2000;
    int64_t outer = CMD_begin(PUMP_nowMs() - 1500);
    EXPECT_EQ(outer, 0);
    EXPECT_EQ(Tarsel_writeVal("Pump.Run", "1", 256), 1) << "1.5 s old: sent";
    int64_t inner = CMD_begin(PUMP_nowMs() - 2500);
    EXPECT_EQ(Tarsel_writeVal("Pump.Run", "0", 256), 0) << "2.5 s old: dropped";
    EXPECT_EQ(Tarsel_cgiCall("cgi-bin/pump.exe?on=1", 256), 0);
    CMD_end(inner);
    EXPECT_EQ(Tarsel_writeVal("Pump.Speed", "5", 256), 1) << "back to the outer input";
    CMD_end(outer);
    EXPECT_EQ(Tarsel_writeVal("Pump.Speed", "6", 256), 1) << "no input: the panel's own write";
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requestLine(requests[0]), "GET /cgi-bin/writeVal.exe?Pump.Run+1 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[1]), "GET /cgi-bin/writeVal.exe?Pump.Speed+5 HTTP/1.1");
    std::string text = log();
    EXPECT_NE(text.find("Not sent: given 2.5 s ago, the target could not be reached in time !\n Pump.Run\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Not sent: given"), text.rfind("Not sent: given")) << "one message for the input";
    pterm.cmd_timeout_ms = 0;
    EXPECT_EQ(CMD_timeoutMs(), CMD_TIMEOUT_DEFAULT_MS);
}

TEST_F(NativeDriverTest, OrderLimitComesFromThePage)
{
    Tarsel_loadHtmlParameters("");
    EXPECT_EQ(Tarsel_getOrderLimit(), TARSEL_ORDER_LIMIT);
    setPageParameters("cgiOrderListMaxSize;60\n");
    Tarsel_loadHtmlParameters("");
    EXPECT_EQ(Tarsel_getOrderLimit(), 60);
    EXPECT_EQ(Tarsel_getBlockCount(), 0);
    setPageParameters("cgiOrderListMaxSize;abc\n");
    Tarsel_loadHtmlParameters("");
    EXPECT_EQ(Tarsel_getOrderLimit(), TARSEL_ORDER_LIMIT);
    EXPECT_NE(log().find("cgiOrderListMaxSize: not a positive number !"), std::string::npos);
}

TEST_F(NativeDriverTest, CgiCallsAlarmsAndTrendsGoToTheTarget)
{
    RawServer server(answer(httpReply("alarm data")));
    SetRemoteHost(server.host().c_str());

    // Data mode 0: nothing is sent.
    char reply[64] = "";
    EXPECT_EQ(Tarsel_cgiCall("cgi-bin/pump.exe?on=1", 256), 0);
    EXPECT_EQ(Tarsel_forceReadVal("Temp1", reply, sizeof reply), 0);
    EXPECT_EQ(server.requests().size(), 0u);

    SetRemoteStatus(1);
    EXPECT_EQ(Tarsel_cgiCall("cgi-bin/pump.exe?on=1", 256), 0);
    EXPECT_EQ(Tarsel_forceReadVal("Temp1", reply, sizeof reply), 1);
    EXPECT_EQ(Tarsel_readAlarm("q=1", reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "alarm data");
    Tarsel_setTarget("Beckhoff.class");
    EXPECT_EQ(Tarsel_readAlarm("q=2", reply, sizeof reply), 1);
    EXPECT_EQ(Tarsel_readTrend("t=3", reply, sizeof reply), 1);
    Tarsel_setTarget("Saia.class");
    EXPECT_EQ(Tarsel_readTrend("t=4", reply, sizeof reply), 1);

    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requestLine(requests[0]), "GET /cgi-bin/pump.exe?on=1 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[1]), "GET /cgi-bin/readVal.exe?Temp1 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[2]), "GET /cgi-bin/alarm.exe?q=1 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[3]), "GET /trendingAlarming.dll?cgi-bin/alarm.exe?q=2 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[4]), "GET /trendingAlarming.dll?cgi-bin/trend.exe?t=3 HTTP/1.1");
    EXPECT_EQ(requestLine(requests[5]), "GET /cgi-bin/trend.exe?t=4 HTTP/1.1");

    RawServer refusing(answer("HTTP/1.1 500 Internal Server Error\r\n\r\n"));
    SetRemoteHost(refusing.host().c_str());
    EXPECT_EQ(Tarsel_readAlarm("q=9", reply, sizeof reply), 0);
    EXPECT_NE(log().find("cgi-bin/alarm.exe?q=9 failed !"), std::string::npos);
    EXPECT_EQ(Tarsel_cgiCall("cgi-bin/x.exe", 256), 0);
    EXPECT_NE(log().find("Failed to send CGI call !\n \"cgi-bin/x.exe\""), std::string::npos);
}

void writeRamFile(const char *name, const std::string &bytes)
{
    int handle = RA_fileOpen(name, "w");
    ASSERT_GE(handle, 0);
    RA_fileWrite(bytes.data(), 1, static_cast<int>(bytes.size()), handle);
    RA_fileClose(handle);
}

TEST_F(NativeDriverTest, LocalFilesReadAsBytesOrUtf16Lines)
{
    writeRamFile("lines.txt", "first\r\nsecond line is long\nlast");
    int handle = Tarsel_fileOpen("lines.txt", "rt");
    ASSERT_GE(handle, 0);
    char line[8];
    int end = 0;
    EXPECT_EQ(Tarsel_fileReadln(line, sizeof line, handle, &end), 5);
    EXPECT_STREQ(line, "first");
    EXPECT_EQ(Tarsel_fileReadln(line, sizeof line, handle, &end), 7);
    EXPECT_STREQ(line, "second ");
    EXPECT_NE(log().find("buffer OVF in readln()!"), std::string::npos);
    EXPECT_EQ(end, 0);
    EXPECT_EQ(Tarsel_fileReadln(line, sizeof line, handle, &end), 4);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(end, 1);
    Tarsel_fileClose(handle);

    writeRamFile("wide.txt", std::string("\xFF\xFE"
                                         "a\0\x10\x04"
                                         "b\0\n\0z\0",
                                         12));
    handle = Tarsel_fileOpen("wide.txt", "rt");
    char wide[16];
    end = 0;
    EXPECT_EQ(Tarsel_fileReadln(wide, sizeof wide, handle, &end), 6);
    EXPECT_EQ(std::string(wide, 6), std::string("a\\u\x04\x10"
                                                "b",
                                                6));
    EXPECT_EQ(Tarsel_fileReadln(wide, sizeof wide, handle, &end), 1);
    EXPECT_STREQ(wide, "z");
    Tarsel_fileClose(handle);
    // The encoding belongs to the file: a byte file opened meanwhile stays bytes.
    handle = Tarsel_fileOpen("wide.txt", "rt");
    int bytes = Tarsel_fileOpen("wide.txt", "r");
    EXPECT_EQ(Tarsel_fileGetc(bytes), 0xFF);
    EXPECT_EQ(Tarsel_fileGetc(handle), 'a');
    Tarsel_fileClose(bytes);
    Tarsel_fileClose(handle);

    int writer = Tarsel_fileOpen("out.txt", "w");
    ASSERT_GE(writer, 0);
    EXPECT_EQ(Tarsel_filePutc('Q', writer), 'Q');
    Tarsel_fileClose(writer);
    EXPECT_EQ(ramFile("out.txt"), "Q");

    EXPECT_EQ(Tarsel_fileOpen("", "r"), -1);
    EXPECT_EQ(Tarsel_fileOpen(nullptr, "r"), -1);
    EXPECT_EQ(Tarsel_fileOpen("absent.txt", "r"), -1);
    EXPECT_EQ(Tarsel_fileGetc(-1), -1);
    EXPECT_EQ(Tarsel_fileRead(line, 1, 4, 40), -1);
    EXPECT_EQ(Tarsel_loadFileTo("x", "y"), 0);
    EXPECT_EQ(Tarsel_loadMsgBox("MsgBox.teq"), 1);
}

TEST_F(NativeDriverTest, MessageBoxPageIsFetchedUnderItsOwnName)
{
    TargetSim sim;
    writeFile(root() + "/Box.teq", "box");
    ASSERT_TRUE(sim.start(root(), path("sim.log")));
    SetRemoteHost(sim.host().c_str());
    SetRemoteStatus(1);
    EXPECT_EQ(Tarsel_loadMsgBox("Box.teq"), 1);
    EXPECT_EQ(ramFile("Box.teq"), "box");
    EXPECT_EQ(Tarsel_loadMsgBox("Nothing.teq"), 0);
    EXPECT_NE(log().find("Error -404: File not found !\n Nothing.teq"), std::string::npos);
    EXPECT_EQ(Tarsel_loadFileTo("copy.teq", "Box.teq"), 0);
    EXPECT_EQ(ramFile("copy.teq"), "box");
}

} // namespace
