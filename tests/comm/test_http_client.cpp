// The HTTP client against the target simulator and against raw servers that
// misbehave on purpose.
#include <chrono>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <netinet/in.h>

#include "runtime/hooks.h"
#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "comm/native_driver.h"
#include "comm_fixtures.h"
#include "runtime/ramdisk.h"

namespace {

using After = RawServer::After;

class HttpClientTest : public CommTest {
protected:
    void startSim(const std::vector<std::string> &extra = {})
    {
        ASSERT_TRUE(sim.start(root(), path("sim.log"), extra));
        SetRemoteHost(sim.host().c_str());
    }
    int relay(int command, const char *name, const std::string &input = "")
    {
        std::snprintf(reply, sizeof reply, "%s", input.c_str());
        return RelayURL(nullptr, command, name, reply, sizeof reply);
    }

    TargetSim sim;
    char reply[256] = "";
};

TEST_F(HttpClientTest, RelayCommandsSendTheExactRequestLinesAndReturnTheBody)
{
    writeFile(root() + "/values.txt", "");
    startSim({"--values", root() + "/values.txt"});
    EXPECT_EQ(relay(RLY_WRITE_VALUE, "Temp1", "21.5"), 1);
    EXPECT_STREQ(reply, "21.5");
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 1);
    EXPECT_STREQ(reply, "21.5");
    EXPECT_EQ(relay(RLY_READ_VALUE, "A B"), 1);
    EXPECT_EQ(relay(RLY_ORDER_VALUES, "192168001020_417_0+dummy+1000+Temp1+Flow"), 1);
    EXPECT_STREQ(reply, "Done.");
    EXPECT_EQ(relay(RLY_READ_FILE, "192168001020_417_0"), 1);
    EXPECT_STREQ(reply, "Temp1=21.5\nFlow=0\n");
    EXPECT_EQ(relay(RLY_CGI_CALL, nullptr, "cgi-bin/readVal.exe?Temp1"), 1);
    EXPECT_STREQ(reply, "");
    EXPECT_EQ(relay(RLY_READ_FILE, "no_such_order"), 0);

    std::vector<std::string> expected = {
        "GET /cgi-bin/writeVal.exe?Temp1+21.5 HTTP/1.1",
        "GET /cgi-bin/readVal.exe?Temp1 HTTP/1.1",
        "GET /cgi-bin/readVal.exe?A+B HTTP/1.1",
        "GET /cgi-bin/OrderValues.exe?192168001020_417_0+dummy+1000+Temp1+Flow HTTP/1.1",
        "GET /cgi-bin/ReadFile.exe?192168001020_417_0 HTTP/1.1",
        "GET /cgi-bin/readVal.exe?Temp1 HTTP/1.1",
        "GET /cgi-bin/ReadFile.exe?no_such_order HTTP/1.1",
    };
    EXPECT_EQ(sim.logLines(), expected);

    EXPECT_EQ(relay(5, "x"), 0);
    EXPECT_STREQ(reply, "Relay URL: Undefined command !\n");
    EXPECT_EQ(sim.logLines().size(), expected.size());
}

TEST_F(HttpClientTest, RequestHeadersCarryAgentHostAndKeepAlive)
{
    RawServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", After::KeepReading));
    SetRemoteHost(server.host().c_str());
    SRVR_setKeepAlive(1);
    ASSERT_EQ(relay(RLY_READ_VALUE, "X"), 1);
    std::string expected = "GET /cgi-bin/readVal.exe?X HTTP/1.1\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\n"
                           "Host: " +
                           server.host() + "\r\nConnection: keep-alive\r\n\r\n";
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], expected);
    // A control character in a value cannot break the request line.
    ASSERT_EQ(relay(RLY_WRITE_VALUE, "X", "a\r\nb"), 1);
    std::string second = server.requests()[1];
    EXPECT_EQ(requestLine(second), "GET /cgi-bin/writeVal.exe?X+a%0d%0ab HTTP/1.1");
}

TEST_F(HttpClientTest, KeepAliveUsesOneConnectionAndSurvivesASilentClose)
{
    startSim({"--log-peer"});
    SRVR_setKeepAlive(1);
    unsigned before = SRVR_getConnectCount();
    for (int i = 0; i < 5; i++) ASSERT_EQ(relay(RLY_READ_VALUE, "sim.counter"), 1);
    EXPECT_EQ(SRVR_getConnectCount() - before, 1u);
    std::vector<std::string> lines = sim.logLines();
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string &line : lines)
        EXPECT_EQ(line.substr(0, line.find(' ')), lines[0].substr(0, lines[0].find(' ')));

    // A target that closes every connection after one reply: the stale
    // connection is noticed at the first empty receive, and the request is sent
    // again on a new one without any report.
    sim.stop();
    TargetSim closing;
    ASSERT_TRUE(closing.start(root(), path("sim2.log"), {"--close-after", "1"}));
    SetRemoteHost(closing.host().c_str());
    for (int i = 0; i < 4; i++) ASSERT_EQ(relay(RLY_READ_VALUE, "sim.counter"), 1) << reply;
    EXPECT_EQ(closing.logLines().size(), 4u);
    EXPECT_EQ(log().find("send() failed"), std::string::npos);
    EXPECT_EQ(log().find("recv failed"), std::string::npos);

    // Without keep-alive every request has its own connection.
    SRVR_setKeepAlive(0);
    before = SRVR_getConnectCount();
    for (int i = 0; i < 3; i++) ASSERT_EQ(relay(RLY_READ_VALUE, "sim.counter"), 1);
    EXPECT_EQ(SRVR_getConnectCount() - before, 3u);
}

TEST_F(HttpClientTest, ASlowTargetRunsIntoTheTimeOut)
{
    startSim({"--delay-ms", "600"});
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 0);
    EXPECT_STREQ(reply, "Relay URL: E! recv failed !");
    SRVR_setTimeout(2000);
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 1);

    sim.stop();
    SRVR_setTimeout(300);
    startSim({"--hang-after", "1"});
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 1);
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 0);
    EXPECT_STREQ(reply, "Relay URL: E! recv failed !");
}

TEST_F(HttpClientTest, TargetThatGoesAwayAndComesBack)
{
    startSim();
    SRVR_setKeepAlive(1);
    ASSERT_EQ(relay(RLY_READ_VALUE, "Temp1"), 1);
    int port = sim.port();
    sim.stop();
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 0);
    EXPECT_STREQ(reply, "Connection to host \"127.0.0.1\" failed !");
    ASSERT_TRUE(sim.start(root(), path("sim.log"), {}, port));
    EXPECT_EQ(relay(RLY_READ_VALUE, "Temp1"), 1);
    EXPECT_STREQ(reply, "0");
}

TEST_F(HttpClientTest, BrokenRepliesGiveDefinedResults)
{
    struct Case {
        const char *name;
        std::string reply;
        int result;
        std::string text; // the reply handed back
        const char *logged;
    } cases[] = {
        {"no end of header: read to its end and refused", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nhello", 0,
         "Relay URL: no reply header !", ""},
        {"a negative Content-Length counts as none", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello", 1, "hello",
         ""},
        {"a huge Content-Length: the cut reply fails", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\nhello",
         0, "Relay URL: reply cut short !", "recv() quit with"},
        {"a body larger than the reply buffer is cut, the caller's buffer bounded",
         "HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n" + std::string(70000, 'x'), 1,
         std::string(sizeof reply - 1, 'x'), "Relay URL: reply cut at 65534 bytes"},
        {"an error status is a complete header at once", "HTTP/1.1 404 Not Found\r\n", 0, "", ""},
    };
    for (const Case &c : cases) {
        RawServer server(answer(c.reply));
        SetRemoteHost(server.host().c_str());
        size_t logged = log().size();
        EXPECT_EQ(relay(RLY_READ_VALUE, "X"), c.result) << c.name;
        EXPECT_EQ(std::string(reply), c.text) << c.name;
        EXPECT_NE(log().find(c.logged, logged), std::string::npos) << c.name;
    }
    { // a server that accepts and never answers: the time-out ends the wait
        RawServer server([](int, const std::string &) { return After::Hold; });
        SetRemoteHost(server.host().c_str());
        EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 0);
        EXPECT_STREQ(reply, "Relay URL: E! recv failed !");
    }
    { // a kept-alive target that then drops every request: a bounded
        // number of new connections, then a failure
        int served = 0;
        RawServer server([&served](int fd, const std::string &) {
            if (served++ > 0) return After::Close;
            RawServer::sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
            return After::KeepReading;
        });
        SetRemoteHost(server.host().c_str());
        SRVR_setKeepAlive(1);
        EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 1);
        EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 0);
        EXPECT_STREQ(reply, "Relay URL: E! recv failed !");
        EXPECT_EQ(server.connections(), 3);
        SRVR_setKeepAlive(0);
    }
}

TEST_F(HttpClientTest, DownloadsLandInTheRamDisk)
{
    std::string big(200000, 'b');
    for (size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>('a' + i % 26);
    writeFile(root() + "/page.html", "<html>page</html>");
    writeFile(root() + "/big.bin", big);
    writeFile(path("secret.txt"), "secret");
    startSim();
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "page.html", "tmp.html"), 0);
    EXPECT_EQ(ramFile("tmp.html"), "<html>page</html>");
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "big.bin", nullptr), 0);
    EXPECT_EQ(ramFile("big.bin"), big);
    EXPECT_STREQ(Tarsel_getLastTempFile(), "big.bin");

    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "missing.html", "gone.html"), -404);
    EXPECT_NE(log().find("HTTP/1.1 404 Not Found"), std::string::npos);
    EXPECT_EQ(ramFile("gone.html"), "<missing>");
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "../secret.txt", "s.txt"), -403);
    EXPECT_EQ(ramFile("s.txt"), "<missing>");
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "page.html", ""), 0);
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "", nullptr), SRVR_GETFILE_NO_TEMP_FILE);
    std::vector<std::string> lines = sim.logLines();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "GET /page.html HTTP/1.0");

    sim.stop();
    EXPECT_EQ(TarselLinkGetFile(sim.host().c_str(), "", "page.html", "x.html"), SRVR_GETFILE_NO_CONNECTION);
    EXPECT_NE(log().find("Connection to the host failed !"), std::string::npos);
}

// Milliseconds taken by f.
template <typename F> long timed(F f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// A reply whose header comes at once and whose body then dribbles, one byte
// every 30 ms, for about half a second.
RawServer::Script dribble(const std::string &head)
{
    return [head](int fd, const std::string &) {
        RawServer::sendText(fd, head);
        for (int i = 0; i < 16; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            RawServer::sendText(fd, "x");
        }
        return After::Close;
    };
}

// A download that goes wrong leaves no file, and ends within the time-out
// however the reply comes.
TEST_F(HttpClientTest, BrokenDownloadsLeaveNoFile)
{
    struct Case {
        const char *name;
        RawServer::Script script;
        int result;
        std::string file;
    } cases[] = {
        {"100 Continue before the final header",
         answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"), 0, "hello"},
        {"no reply header at all", answer("garbage without an end"), SRVR_GETFILE_NO_HEADER, "<missing>"},
        {"no answer", [](int, const std::string &) { return After::Hold; }, SRVR_GETFILE_NO_HEADER, "<missing>"},
        {"cut before Content-Length bytes", answer("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort"),
         SRVR_GETFILE_INCOMPLETE, "<missing>"},
        {"no Content-Length: the body runs to the close", answer("HTTP/1.0 200 OK\r\n\r\nto the end"), 0, "to the end"},
        {"a body that dribbles", dribble("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"), SRVR_GETFILE_INCOMPLETE,
         "<missing>"},
        {"no length, a body cut by the time-out", dribble("HTTP/1.0 200 OK\r\n\r\n"), SRVR_GETFILE_INCOMPLETE,
         "<missing>"},
        {"no length, a body cut by a reset",
         [](int fd, const std::string &) {
             RawServer::sendText(fd, "HTTP/1.0 200 OK\r\n\r\npart");
             linger reset = {1, 0};
             setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
             return After::Close;
         },
         SRVR_GETFILE_INCOMPLETE, "<missing>"},
    };
    int n = 0;
    for (const Case &c : cases) {
        RawServer server(c.script);
        std::string name = "f" + std::to_string(n++) + ".txt";
        long ms = timed([&] {
            EXPECT_EQ(TarselLinkGetFile(server.host().c_str(), "", name.c_str(), nullptr), c.result) << c.name;
        });
        EXPECT_LT(ms, 600) << c.name;
        EXPECT_EQ(ramFile(name), c.file) << c.name;
    }
    EXPECT_NE(log().find("Socket: exchange cut at the time-out"), std::string::npos);

    pterm.mem_ramdisk_kb = 4; // a full RAM disk
    RA_releaseStore();
    RawServer server(answer("HTTP/1.0 200 OK\r\n\r\n" + std::string(8000, 'z')));
    EXPECT_EQ(TarselLinkGetFile(server.host().c_str(), "", "k.txt", nullptr), SRVR_GETFILE_DISK_FULL);
    EXPECT_EQ(ramFile("k.txt"), "<missing>");
}

TEST_F(HttpClientTest, RemoteFilesAreDownloadedOnOpenAndDroppedOnClose)
{
    writeFile(root() + "/a.txt", "abc");
    writeFile(root() + "/u16.txt", std::string("\xFF\xFE"
                                               "A\0\x10\x04\n\0",
                                               8));
    startSim();
    SetRemoteStatus(1);
    ASSERT_EQ(SRVR_isRemoteFileServer(), 1);
    int handle = Tarsel_fileOpen("a.txt", "r");
    ASSERT_GT(handle, TARSEL_REMOTE_HANDLE_BASE);
    EXPECT_EQ(Tarsel_fileSize(handle), 3);
    EXPECT_EQ(Tarsel_filePutc('x', handle), -1);
    char text[8] = "";
    EXPECT_EQ(Tarsel_fileRead(text, 1, 7, handle), 3);
    EXPECT_STREQ(text, "abc");
    std::string temp = std::string(GetRemoteIpAddress()) + ".a.txt";
    EXPECT_EQ(ramFile(temp), "abc");
    Tarsel_fileClose(handle);
    EXPECT_EQ(ramFile(temp), "<missing>");
    EXPECT_EQ(Tarsel_fileRead(text, 1, 7, handle), -1);

    handle = Tarsel_fileOpen("u16.txt", "rt");
    EXPECT_EQ(Tarsel_fileGetc(handle), 'A');
    EXPECT_EQ(Tarsel_fileGetc(handle), 0x0410);
    Tarsel_fileCloseLetFileInCache(handle, 1);
    EXPECT_NE(ramFile(std::string(GetRemoteIpAddress()) + ".u16.txt"), "<missing>");
    handle = Tarsel_fileOpen("u16.txt", "r");
    EXPECT_EQ(Tarsel_fileGetc(handle), 0xFF);
    Tarsel_fileClose(handle);

    EXPECT_EQ(Tarsel_fileOpen("missing.txt", "r"), -1);
    EXPECT_EQ(Tarsel_fileOpen("a.txt", "w"), -1);
    EXPECT_EQ(Tarsel_fileOpen("", "r"), -1);
}

TEST_F(HttpClientTest, AddressesResolveWithTheirPort)
{
    uint32_t ip = 0;
    int port = 0;
    ASSERT_EQ(SRV_resolveHostName("localhost:8080", &ip, &port), 1);
    EXPECT_EQ(ip, 0x7F000001u);
    EXPECT_EQ(port, 8080);
    ASSERT_EQ(SRV_resolveHostName("10.1.2.3:65536", &ip, &port), 1);
    EXPECT_EQ(port, 80);
    EXPECT_EQ(SRV_resolveHostName("10.1.2.3:abc", &ip, &port), 0);
    EXPECT_EQ(SRV_resolveHostName("", &ip, &port), 0);

    SetRemoteHost("localhost:8080");
    EXPECT_STREQ(GetRemoteIpAddress(), "127.0.0.1:8080");
    EXPECT_STREQ(getHostName(), "localhost:8080");
    setHostName(std::string(128, 'h').c_str());
    EXPECT_EQ(getHostName(), nullptr);

    pterm.remote_mode = 2;
    SetRemoteStatus(1);
    EXPECT_EQ(GetRemoteStatus(), 2);
    EXPECT_EQ(SRVR_isRemoteFileServer(), 0);
    SetRemoteStatus(7);
    EXPECT_EQ(GetRemoteStatus(), 2);
    SetRemoteHost("");
    EXPECT_EQ(GetRemoteStatus(), 0);

    char name[RA_NAME_SIZE];
    SetRemoteHost("192.168.1.20");
    RLY_fileName("project/", "main.teq", name, sizeof name);
    EXPECT_STREQ(name, "192.168.1.20.project/.main.teq");
    RLY_fileName("", std::string(100, 'n').c_str(), name, sizeof name);
    EXPECT_EQ(std::string(name), std::string(63, 'n'));
}

TEST_F(HttpClientTest, PlainEncodingIsBoundedByTheBuffer)
{
    char text[12] = "A B/C=D";
    EXPECT_EQ(URL_encode(text, sizeof text), 1);
    EXPECT_STREQ(text, "A+B/C=D");
    char line[8] = "a\tb";
    EXPECT_EQ(URL_encode(line, 5), 0);
    EXPECT_STREQ(line, "a\tb");
    EXPECT_EQ(URL_encode(line, sizeof line), 1);
    EXPECT_STREQ(line, "a%09b");
}

TEST_F(HttpClientTest, PortalLoginKeepsTheSessionCookie)
{
    RawServer server([](int fd, const std::string &request) {
        if (request.find("vpilogin") != std::string::npos)
            RawServer::sendText(fd, "HTTP/1.0 200 OK\r\nSet-Cookie: Session-ID=ABCDEFGHIJKLMNOP; path=/\r\n\r\n");
        else RawServer::sendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
        return After::Close;
    });
    std::snprintf(pterm.vpi_user, sizeof pterm.vpi_user, "op");
    std::snprintf(pterm.vpi_pass, sizeof pterm.vpi_pass, "pw");
    ASSERT_EQ(VpiLogin(server.host().c_str()), 1);
    ASSERT_EQ(relay(RLY_READ_VALUE, "X"), 1);
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requestLine(requests[0]), "GET /servlet/vpilogin?user=op&password=pw HTTP/1.0");
    EXPECT_NE(requests[1].find("GET /servlet/vpihome HTTP/1.0\r\n"), std::string::npos);
    EXPECT_NE(requests[1].find("Cookie: Session-ID=ABCDEFGHIJKLM\r\n"), std::string::npos);
    EXPECT_NE(requests[2].find("Cookie: Session-ID=ABCDEFGHIJKLM\r\n"), std::string::npos);

    RawServer refusing(answer("HTTP/1.0 403 Forbidden\r\n\r\n"));
    EXPECT_EQ(VpiLogin(refusing.host().c_str()), 0);
    EXPECT_NE(log().find("Login failed on VPI-Portal"), std::string::npos);
}

TEST_F(HttpClientTest, SpecialCharacterEncodingFollowsThePage)
{
    setPageParameters("encodeSpecialChar;on\n");
    char text[32] = "A B/X";
    ASSERT_EQ(URL_encode(text, sizeof text), 1);
    EXPECT_STREQ(text, "A%20B%2fX");
    char all[32] = "%+\\=";
    ASSERT_EQ(URL_encode(all, sizeof all), 1);
    EXPECT_STREQ(all, "%25%2b%5c%3d");

    RawServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nDone.", After::KeepReading));
    SetRemoteHost(server.host().c_str());
    ASSERT_EQ(relay(RLY_READ_VALUE, "A B/X"), 1);
    ASSERT_EQ(relay(RLY_ORDER_VALUES, "id_0+dummy+1000+A B+C=D+50%"), 1);
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requestLine(requests[0]), "GET /cgi-bin/readVal.exe?A%20B%2fX HTTP/1.1");
    EXPECT_EQ(requestLine(requests[1]), "GET /cgi-bin/OrderValues.exe?id_0+dummy+1000+A%20B+C%3dD+50%25 HTTP/1.1");
}

TEST_F(HttpClientTest, SlotsSendGetAndPostRequests)
{
    RawServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"));
    SetRemoteHost(server.host().c_str());
    std::string host = server.host();

    int slot = SRVR_OpenSocket(host.c_str());
    ASSERT_GE(slot, 1);
    const char extra[] = "Cache-Control: no-cache\r\n";
    EXPECT_GT(SRVR_WriteGetHeader(slot, "dir/", "info.exe", extra, sizeof extra - 1), 0);
    char header[256];
    int bodyStart = 0, bodyLength = 0, status = 0;
    ASSERT_GT(SRVR_ReadHttpHeader(slot, header, sizeof header, &bodyStart, &bodyLength, &status), 0);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(std::string(header + bodyStart, static_cast<size_t>(bodyLength)), "abc");
    SRVR_CloseSocket(slot);
    EXPECT_EQ(SRVR_WriteBuffer(slot, "x", 1), 0);

    slot = SRVR_OpenSocket(host.c_str());
    std::string body(70000, 'p');
    ASSERT_GT(SRVR_PutPostHeader(slot, "cgi-bin/", "ILRReadValues.exe", "text/xml; charset=utf-8",
                                 static_cast<int>(body.size() + 5), nullptr, 0),
              0);
    EXPECT_EQ(SRVR_PutBuffer(slot, "<xml>", 5), 5);
    EXPECT_GT(SRVR_PutBuffer(slot, body.data(), static_cast<int>(body.size())), 0);
    SRVR_Flush(slot);
    ASSERT_GT(SRVR_ReadHttpHeader(slot, header, sizeof header, &bodyStart, &bodyLength, &status), 0);
    SRVR_CloseSocket(slot);

    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /dir/info.exe HTTP/1.0\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\nHost: " +
                               host + "\r\nCache-Control: no-cache\r\n\r\n");
    EXPECT_EQ(requests[1],
              "POST /cgi-bin/ILRReadValues.exe HTTP/1.1\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke "
              "GmbH)\r\nHost: " +
                  host + "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: 70005\r\n\r\n<xml>" + body);

    int slots[3];
    for (int &s : slots) s = SRVR_OpenSocket(host.c_str());
    EXPECT_EQ(SRVR_OpenSocket(host.c_str()), 0);
    for (int s : slots) SRVR_CloseSocket(s);
    EXPECT_EQ(SRVR_WriteGetHeader(slots[0], "a\r\nX: y", "", nullptr, 0), 0);
}

// A target that takes connections but reads nothing: what the panel sends
// stays unsent in its socket.
struct DeafListener {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    DeafListener()
    {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 && listen(fd, 4) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~DeafListener() { close(fd); }
};

TEST_F(HttpClientTest, ClosingAConnectionWithUnsentDataDoesNotWait)
{
    DeafListener target;
    ASSERT_GT(target.port, 0);
    std::string host = "127.0.0.1:" + std::to_string(target.port);
    int slot = SRVR_OpenSocket(host.c_str());
    ASSERT_GE(slot, 1);
    // More than the target's socket takes, less than what fits into the
    // panel's: the send is done, the data is not yet delivered.
    std::string body(200000, 'p');
    ASSERT_GT(SRVR_PutPostHeader(slot, "cgi-bin/", "ILRReadValues.exe", "text/xml", static_cast<int>(body.size()),
                                 nullptr, 0),
              0);
    ASSERT_GT(SRVR_PutBuffer(slot, body.data(), static_cast<int>(body.size())), 0);
    long ms = timed([&] { SRVR_CloseSocket(slot); });
    EXPECT_LT(ms, 200) << "the close must not wait for the target to take what is left";
}

int pumps;
void countPump() { pumps++; }

TEST_F(HttpClientTest, AnExchangeEndsAtItsDeadlineHoweverTheReplyDribbles)
{
    { // a relay reply that dribbles is cut at the time-out, and fails
        RawServer server(dribble("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"));
        SetRemoteHost(server.host().c_str());
        long ms = timed([&] { EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 0); });
        EXPECT_GE(ms, 280);
        EXPECT_LT(ms, 600) << "300 ms for the whole exchange, not per receive";
        EXPECT_STREQ(reply, "Relay URL: reply cut at the time-out !");
        EXPECT_NE(log().find("Relay URL: reply cut at the time-out after "), std::string::npos);
    }
    { // a reply that runs to the end of the stream ends at the time-out with what came
        RawServer server(dribble("HTTP/1.1 200 OK\r\n\r\n"));
        SetRemoteHost(server.host().c_str());
        EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 1);
        EXPECT_GT(std::strlen(reply), 0u);
        EXPECT_LT(std::strlen(reply), 16u);
    }
}

TEST_F(HttpClientTest, ReconnectsOfAKeptAliveRequestFitInItsDeadline)
{
    // The first request is answered and kept alive; then every connection is
    // held open for 250 ms and closed without an answer.
    int served = 0;
    RawServer server([&served](int fd, const std::string &) {
        if (served++ == 0) {
            RawServer::sendText(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
            return After::KeepReading;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        return After::Close;
    });
    SetRemoteHost(server.host().c_str());
    SRVR_setKeepAlive(1);
    ASSERT_EQ(relay(RLY_READ_VALUE, "X"), 1);
    long ms = timed([&] { EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 0); });
    EXPECT_LT(ms, 600) << "the resends share the 300 ms of the request";
    EXPECT_LE(server.connections(), 3);
    SRVR_setKeepAlive(0);
}

TEST_F(HttpClientTest, WaitsTakeDisplayEventsAndRefuseASecondExchange)
{
    static int nestedResult;
    nestedResult = -1;
    pumps = 0;
    HK_hooks()->pumpEvents = [] {
        countPump();
        char nested[64];
        nestedResult = RelayURL(nullptr, RLY_READ_VALUE, "Y", nested, sizeof nested);
        if (TarselLinkGetFile(nullptr, "", "n.txt", nullptr) == 0) nestedResult = 2;
    };
    SRVR_setTimeout(1200);
    RawServer server([](int, const std::string &) { return After::Hold; });
    SetRemoteHost(server.host().c_str());
    EXPECT_EQ(relay(RLY_READ_VALUE, "X"), 0);
    EXPECT_GE(pumps, 3) << "at least every 250 ms of a 1.2 s wait";
    EXPECT_LE(pumps, 6);
    EXPECT_EQ(nestedResult, 0) << "a request from inside the pump fails at once";
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_NE(log().find("Relay URL: refused while the panel handles events during another exchange"),
              std::string::npos);
}

} // namespace
