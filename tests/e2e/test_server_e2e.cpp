// The panel as a server, end to end: curl reads and writes its values and
// moves files, a second panel takes the first as its target, the signals stop
// the server and then the panel, the credentials file guards writes, the
// panel's own files are never served, the remote view is closed by default and
// open only to an account of its own pages, and bad input leaves server and
// screen alive.
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
#include "process_runner.h"

using namespace e2e;
using std::string;

namespace {

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

// A page from local disk reads its process points from the panel's own value
// store: a fill colour and a visibility condition follow what a client writes.
TEST_F(ServerE2E, ColourAndVisibilityFollowTheStore)
{
    writeFile(path("mirror.teqt"), "teq g\npage-size 480,272\nbackground 255,255,255\nfill on\nborder off\n"
                                   "fill-colour 255,255,255\n"
                                   "painter \"XRectangleP\" at 20,20 size 100,60 plc 0 {\n"
                                   "  block \"XRectangleP\" id 1 {\n    repaint 39 PPO \"Mirror.Colour\"\n  }\n}\n"
                                   "fill-colour 0,0,255\n"
                                   "painter \"XRectangleP\" at 200,20 size 100,60 plc 0 {\n"
                                   "  block \"XRectangleP\" id 2 {\n    repaint 2 STRING \"\" {\n"
                                   "      when compare eq PPO \"Mirror.Hide\" STRING \"1\"\n    }\n  }\n}\n");
    string build = buildProgram("teqc") + " build " + path("mirror.teqt") + " -o " + root_ + "/Mirror.teq";
    ASSERT_EQ(std::system(build.c_str()), 0) << build;
    writeFile(root_ + "/mirror.html", demoPage(param("ProjectName", "Mirror") + param("Period", "200")));
    PanelSetup setup = localPanel();
    setup.startPage = root_ + "/mirror.html";
    Panel panel(path("a"), setup);
    ASSERT_TRUE(serverUp(port_)) << panel.output();
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(250, 50) == rgb(0, 0, 255); }, 15000))
        << panel.log();
    // writeVal.exe answers the value it stored, "NAME not found." for a name
    // the store does not hold (yet).
    auto write = [this](const string &name, const string &value) {
        return waitUntil(
            [&] {
                string answer = talk(port_, "GET /cgi-bin/writeVal.exe?" + name + "+" + value + " HTTP/1.0\r\n\r\n");
                return answer.size() > value.size() &&
                       answer.compare(answer.size() - value.size(), value.size(), value) == 0;
            },
            10000);
    };
    ASSERT_TRUE(write("Mirror.Hide", "1")) << "the page's condition made the name";
    EXPECT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(250, 50) == rgb(255, 255, 255); }, 10000));
    ASSERT_TRUE(write("Mirror.Colour", "255,0,0")) << "the page's colour made the name";
    EXPECT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(70, 50) == rgb(255, 0, 0); }, 10000))
        << panel.log();
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
    setup.remoteView = 1; // the screen, to see it go on
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

TEST_F(ServerE2E, ThePanelsOwnFilesAreNotServedFromItsDirectory)
{
    ASSERT_TRUE(haveTool("curl")) << "curl is missing: scripts/install-deps.sh installs it";
    // the pages in the panel's own directory, the start page at the server's root
    copyDemo(path("a"), 200);
    writeFile(path("a/pterm-httpd.auth"), "engineer:Pa55word\n");
    PanelSetup setup = localPanel();
    setup.startPage = "start.html";
    Panel panel(path("a"), setup);
    ASSERT_TRUE(serverUp(port_)) << panel.output();
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 15000));
    ASSERT_TRUE(waitUntil([&] { return fileExists(path("a/pterm.log")); }, 5000));
    for (const char *attempt : {"/pterm-httpd.auth", "/./pterm-httpd.auth", "//pterm-httpd.auth",
                                "/%2e/pterm-httpd.auth", "/PTERM-HTTPD.AUTH", "/pterm.xml", "/Pterm.xml", "/pterm.log",
                                "/./pterm.log", "/ptermsCo.xml", "/start.html", "/Panterm_MW"}) {
        string answer = curl("-i " + url(port_, attempt));
        EXPECT_NE(answer.find("HTTP/1.0 404 Not Found"), string::npos) << attempt << answer.substr(0, 200);
        EXPECT_EQ(answer.find("Pa55word"), string::npos) << attempt;
        EXPECT_EQ(answer.find("<pterm>"), string::npos) << attempt;
        EXPECT_EQ(answer.find("Start Panterm"), string::npos) << attempt;
    }
    // the writes the file guards are still guarded
    EXPECT_NE(curl("-i " + url(port_, "/cgi-bin/writeVal.exe?Pump.Run+1")).find("401 Unauthorized"), string::npos);
}

TEST_F(ServerE2E, RemoteControlIsClosedByDefaultAndOpenOnlyToAnAccountOfItsOwnPages)
{
    ASSERT_TRUE(haveTool("curl")) << "curl is missing: scripts/install-deps.sh installs it";
    writeFile(path("values.txt"), "Pump.Fault=0\nPump.Run=0\n");
    Target target(path("t"), root_, path("values.txt"));
    ASSERT_TRUE(target.ok());
    PanelSetup setup = localPanel();
    setup.startPage = target.url("start.html");
    // Start lies at (185, 237) of the panel's screen
    auto press = [&](const string &options) {
        string down = curl("-i " + options + " --data-binary 'x=185&y=237&down=1' " + url(port_, "/_panel/press"));
        curl(options + " --data-binary 'x=185&y=237&down=0' " + url(port_, "/_panel/press"));
        return down.substr(0, down.find("\n"));
    };
    const string input = "-H 'Content-Type: application/x-panterm-input' ";
    const string evil = "-H 'Origin: http://evil.example' ";
    {
        Panel panel(path("a"), setup);
        ASSERT_TRUE(serverUp(port_));
        ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 20000));
        for (const string &options : {string(), input, evil + "-H 'Content-Type: text/plain' ", input + evil})
            EXPECT_EQ(press(options), "HTTP/1.0 404 Not Found") << options;
        EXPECT_NE(curl("-i " + url(port_, "/_panel/frame.png")).find("404 Not Found"), string::npos);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(target.requests().find("writeVal.exe"), string::npos) << "nothing reached the controller";
        panel.signal(SIGTERM);
        panel.signal(SIGTERM);
        panel.wait(5000);
    }
    std::filesystem::create_directories(path("b"));
    writeFile(path("b/pterm-httpd.auth"), "engineer:Pa55word\n");
    setup.remoteView = 2;
    Panel panel(path("b"), setup);
    ASSERT_TRUE(serverUp(port_));
    ASSERT_TRUE(panel.waitForScreen([](const Image &img) { return img.at(300, 5) == kHeader; }, 20000));
    const string account = "-u engineer:Pa55word ";
    EXPECT_EQ(press(input), "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(press(input + evil + account), "HTTP/1.0 403 Forbidden") << "a page of another server";
    EXPECT_EQ(press(input + "-H 'Origin: null' " + account), "HTTP/1.0 403 Forbidden");
    EXPECT_EQ(press("-H 'Content-Type: text/plain' " + account), "HTTP/1.0 415 Unsupported Media Type");
    EXPECT_EQ(press(account), "HTTP/1.0 415 Unsupported Media Type") << "a form's content type";
    EXPECT_NE(curl("-i " + url(port_, "/_panel/frame.png")).find("401 Unauthorized"), string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(target.requests().find("writeVal.exe"), string::npos) << "nothing reached the controller";

    EXPECT_NE(curl("-i " + account + url(port_, "/_panel/frame.png")).find("Content-Type: image/png"), string::npos);
    EXPECT_EQ(press(input + account + "-H 'Origin: http://127.0.0.1:" + std::to_string(port_) + "' "),
              "HTTP/1.0 200 OK");
    EXPECT_TRUE(waitUntil([&] { return target.requests().find("writeVal.exe?Pump.Run+1") != string::npos; }, 10000))
        << target.requests().substr(0, 2000);
    EXPECT_EQ(panel.log().find("Pa55word"), string::npos);
}
