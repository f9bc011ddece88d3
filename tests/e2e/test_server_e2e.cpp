// The panel as a server, end to end: curl reads and writes its values and
// moves files, a second panel takes the first as its target, the signals stop
// the server and then the panel, the credentials file guards writes, bad input
// leaves server and screen alive, and headless Chromium shows and operates the
// remote view.
#include "test_support.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

constexpr uint32_t kRunning = rgb(0, 170, 60);
constexpr uint32_t kHeader = rgb(20, 55, 105);
uint32_t pump(const Image &img) { return img.at(250, 155); }

bool haveTool(const char *name)
{
    string command = string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Standard output of a shell command.
string run(const string &command)
{
    string text;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    pclose(p);
    return text;
}

string curl(const string &args)
{
    return run("curl -s -m 10 --path-as-is " + args + " 2>&1 | sed 's/\\r$//'" + " ; true");
}

string url(int port, const string &path) { return "'http://127.0.0.1:" + std::to_string(port) + path + "'"; }

int connectTo(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

string talk(int port, const string &request, int ms = 5000)
{
    int fd = connectTo(port);
    if (fd < 0) return "<no connection>";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    string text;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, ms) > 0) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

bool serverUp(int port)
{
    return waitUntil(
        [&] { return talk(port, "GET /cgi-bin/GetSrvInfo.exe HTTP/1.0\r\n\r\n").find("CGI=1") != string::npos; },
        15000);
}

uint32_t frameNumber(int port)
{
    string answer = talk(port, "HEAD /_panel/frame.png HTTP/1.0\r\n\r\n");
    size_t at = answer.find("X-Frame: ");
    return at == string::npos ? 0 : static_cast<uint32_t>(std::stoul(answer.substr(at + 9)));
}

class ServerE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        root_ = path("root");
        copyDemo(root_, 200);
        port_ = freeLoopbackPort();
    }
    PanelSetup localPanel() const
    {
        PanelSetup s;
        s.startPage = root_ + "/start.html";
        s.httpdPort = port_;
        s.events = "wait 120000\nclose\n";
        return s;
    }
    string root_;
    int port_ = 0;
};

} // namespace

TEST_F(ServerE2E, CurlReadsWritesUploadsAndFetches)
{
    ASSERT_TRUE(haveTool("curl")) << "curl is missing: install the Debian package curl (scripts/install-deps.sh)";
    Panel panel(path("a"), localPanel());
    ASSERT_TRUE(serverUp(port_)) << panel.output();
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 15000));
    EXPECT_EQ(curl(url(port_, "/cgi-bin/readVal.exe?Pump.Run")), "0");
    EXPECT_EQ(curl(url(port_, "/cgi-bin/writeVal.exe?Pump.Run+1")), "1");
    EXPECT_TRUE(panel.waitForScreen([](const Image &img) { return pump(img) == kRunning; }, 10000));

    writeFile(path("notes.csv"), "a;b\n1;2\n");
    EXPECT_EQ(curl("--data-binary @" + path("notes.csv") + " " + url(port_, "/notes.csv")), "Done.");
    EXPECT_EQ(curl(url(port_, "/notes.csv")), "a;b\n1;2\n");
    EXPECT_EQ(curl(url(port_, "/start.html")), readFile(root_ + "/start.html"));

    // pterm.xml lies beside the page directory: no way leads up to it
    for (const char *attempt : {"/../a/pterm.xml", "/%2e%2e/a/pterm.xml", "/..%2fa%2fpterm.xml",
                                "/%2F"
                                "etc%2Fpasswd",
                                "/..\\a\\pterm.xml"}) {
        string answer = curl("-i " + url(port_, attempt));
        EXPECT_NE(answer.find("404 Not Found"), string::npos) << attempt;
        EXPECT_EQ(answer.find("<pterm>"), string::npos) << attempt;
        EXPECT_EQ(answer.find("root:"), string::npos) << attempt;
    }
}

TEST_F(ServerE2E, ASecondPanelTakesTheFirstAsItsTarget)
{
    Panel first(path("a"), localPanel());
    ASSERT_TRUE(serverUp(port_)) << first.output();
    PanelSetup second;
    second.startPage = "http://127.0.0.1:" + std::to_string(port_) + "/start.html";
    second.events = "wait 120000\nclose\n";
    Panel panel(path("b"), second);
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 20000)) << panel.log();
    EXPECT_NE(pump(panel.screen()), kRunning);
    // the first panel's points exist once its page has read them
    ASSERT_TRUE(waitUntil(
        [&] {
            return talk(port_, "GET /cgi-bin/writeVal.exe?Pump.Run+1 HTTP/1.0\r\n\r\n").find("\r\n\r\n1") !=
                   string::npos;
        },
        10000));
    EXPECT_TRUE(panel.waitForScreen([](const Image &img) { return pump(img) == kRunning; }, 15000)) << panel.log();
}

TEST_F(ServerE2E, FirstSignalStopsTheServerSecondEndsThePanel)
{
    Panel panel(path("a"), localPanel());
    ASSERT_TRUE(serverUp(port_));
    panel.signal(SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return panel.output().find("SRV exit !") != string::npos; }, 3000)) << panel.output();
    EXPECT_EQ(panel.wait(500), -1); // still running
    EXPECT_EQ(connectTo(port_), -1);
    panel.signal(SIGTERM);
    EXPECT_EQ(panel.wait(3000), 1);
    EXPECT_NE(panel.output().find("SRV shutdown on signal 15 !"), string::npos);
    EXPECT_NE(panel.output().find("Stop Panterm on signal 15 !"), string::npos);
}

TEST_F(ServerE2E, CredentialsFileGuardsWrites)
{
    ASSERT_TRUE(haveTool("curl")) << "curl is missing: install the Debian package curl (scripts/install-deps.sh)";
    std::filesystem::create_directories(path("a"));
    writeFile(path("a/pterm-httpd.auth"), "# accounts\nengineer:Pa55word\n");
    Panel panel(path("a"), localPanel());
    ASSERT_TRUE(serverUp(port_));
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 15000));
    EXPECT_NE(curl("-i " + url(port_, "/cgi-bin/writeVal.exe?Pump.Run+1")).find("401 Unauthorized"), string::npos);
    EXPECT_NE(curl("-i -u engineer:wrong " + url(port_, "/cgi-bin/writeVal.exe?Pump.Run+1")).find("401"), string::npos);
    EXPECT_NE(curl("-i --data-binary x " + url(port_, "/x.txt")).find("401"), string::npos);
    EXPECT_EQ(curl(url(port_, "/cgi-bin/readVal.exe?Pump.Run")), "0");
    EXPECT_NE(curl("-i " + url(port_, "/x.txt")).find("404 Not Found"), string::npos);
    EXPECT_EQ(curl("-u engineer:Pa55word " + url(port_, "/cgi-bin/writeVal.exe?Pump.Run+1")), "1");
    EXPECT_EQ(curl(url(port_, "/cgi-bin/readVal.exe?Pump.Run")), "1");
    EXPECT_EQ(panel.log().find("Pa55word"), string::npos);
    EXPECT_EQ(panel.output().find("Pa55word"), string::npos);
}

TEST_F(ServerE2E, BadInputLeavesServerAndScreenAlive)
{
    writeFile(path("values.txt"), "Pump.Fault=0\nPump.Run=0\n");
    Target target(path("t"), root_, path("values.txt"));
    ASSERT_TRUE(target.ok());
    PanelSetup setup = localPanel();
    setup.startPage = target.url("start.html");
    Panel panel(path("a"), setup);
    ASSERT_TRUE(serverUp(port_));
    ASSERT_TRUE(waitUntil([&] { return frameNumber(port_) > 0; }, 10000));

    std::mt19937 random(15);
    for (int i = 0; i < 10000; i++) {
        string junk(1 + random() % 200, '\0');
        for (char &c : junk) c = static_cast<char>(random());
        if (i % 2) junk += "\r\n\r\n";
        talk(port_, junk, 2000);
    }
    const string requests[] = {
        "GET /" + string(100000, 'x') + " HTTP/1.1\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nX-A: " + string(5000, 'y'),
        "POST /a.txt HTTP/1.1\r\nContent-Length: -1\r\n\r\nabc",
        "POST /b.txt HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\nabc",
        "POST /c.txt HTTP/1.1\r\n\r\nabc",
        "POST /cgi-bin/page.htm HTTP/1.1\r\nContent-Length: 10000\r\n\r\n" + string(10000, 'p'),
        "POST /cgi-bin/ILRReadValues.exe HTTP/1.1\r\nContent-Length: 10000\r\n\r\n" + string(10000, '<'),
        string("GET /cgi-bin/readVal.exe?A\0B HTTP/1.1\r\n\r\n", 38),
        "GET /cgi-bin/writeVal.exe?A%4+%4 HTTP/1.1\r\n\r\n",
        "POST /fill.bin HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n" + string(2000000, 'f'),
    };
    for (const string &r : requests) talk(port_, r);
    std::vector<int> idle;
    for (int i = 0; i < 1000; i++) idle.push_back(connectTo(port_));
    auto start = std::chrono::steady_clock::now();
    string answer = talk(port_, "GET /cgi-bin/GetSrvInfo.exe HTTP/1.0\r\n\r\n");
    EXPECT_NE(answer.find("CGI=1"), string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    for (int fd : idle)
        if (fd >= 0) close(fd);

    // the screen goes on changing with the simulated tank
    uint32_t before = frameNumber(port_);
    EXPECT_TRUE(waitUntil([&] { return frameNumber(port_) > before + 2; }, 10000));
    EXPECT_EQ(panel.wait(0), -1);
    EXPECT_NE(talk(port_, "GET /cgi-bin/readVal.exe?X HTTP/1.0\r\n\r\n").find("200 OK"), string::npos);
}
