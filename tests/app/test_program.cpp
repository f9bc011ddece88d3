#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

#include "process_runner.h"
#include "teq_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::map<std::string, std::string> kHeadless = {{"PANTERM_DISPLAY", "headless"}, {"PANTERM_SCREEN", "320x240"}};

std::map<std::string, std::string> with(std::map<std::string, std::string> env, const std::string &k,
                                        const std::string &v)
{
    env[k] = v;
    return env;
}

int countLines(const std::string &text)
{
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

} // namespace

// The program keeps its settings and log next to itself, so each test runs it
// through a link in its own directory.
class Program : public TempDirTest {
protected:
    std::string program() const
    {
        std::string link = path("Panterm_MW");
        if (!fileExists(link)) symlink(buildProgram("Panterm_MW").c_str(), link.c_str());
        return link;
    }
};

TEST_F(Program, TwoArgumentsPrintUsageBeforeOpeningTheDisplay)
{
    ChildProcess p(program(), {"a", "b"}, dir_, {{"PANTERM_DISPLAY", "no-such-backend"}});
    EXPECT_EQ(p.wait(10000), 1);
    EXPECT_EQ(p.output(), "Usage: Panterm_MW [url]\n");
    EXPECT_FALSE(fileExists(path("pterm.xml")));
}

// The three programs answer --help, -h and --version alike: on standard
// output, with status 0, and without touching a file; the panel neither opens
// a display nor writes its settings or log for them.
TEST_F(Program, HelpAndVersionTouchNoFile)
{
    struct Case {
        std::string program, argument, begins;
        std::vector<std::string> mentions;
    } cases[] = {
        {"Panterm_MW",
         "--help",
         "usage: Panterm_MW [url]\n",
         {"PANTERM_DISPLAY", "PANTERM_SCREEN", "PANTERM_SNAPSHOT", "PANTERM_EVENTS", "PANTERM_TIMEOUT_MS", "pterm.xml",
          "start_page", "config_page"}},
        {"Panterm_MW", "-h", "usage: Panterm_MW [url]\n", {}},
        {"Panterm_MW", "--version", "Panterm_MW 1.5.12", {}},
        {"teqc", "--help", "usage: teqc build", {"teqc render"}},
        {"teqc", "-h", "usage: teqc build", {}},
        {"teqc", "--version", "teqc 1.5.12", {}},
        {"panterm-target", "--help", "usage: panterm-target --root DIR", {"--protocol"}},
        {"panterm-target", "-h", "usage: panterm-target --root DIR", {}},
        {"panterm-target", "--version", "panterm-target 1.5.12", {}},
    };
    for (const Case &c : cases) {
        std::string dir = path(c.program + c.argument);
        mkdir(dir.c_str(), 0755);
        std::string link = dir + "/" + c.program;
        ASSERT_EQ(symlink(buildProgram(c.program).c_str(), link.c_str()), 0);
        ChildProcess p(link, {c.argument}, dir, {{"PANTERM_DISPLAY", "no-such-backend"}});
        std::string what = c.program + " " + c.argument;
        ASSERT_EQ(p.wait(10000), 0) << what << "\n" << p.output();
        EXPECT_EQ(p.output().rfind(c.begins, 0), 0u) << what << "\n" << p.output();
        for (const std::string &m : c.mentions) EXPECT_NE(p.output().find(m), std::string::npos) << what << ": " << m;
        std::vector<std::string> files;
        for (const auto &entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path().filename());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{c.program, c.program + ".out"})) << what;
    }
}

TEST_F(Program, HeadlessRunWritesSettingsLogAndSnapshotsAndEndsOnClose)
{
    writeFile(path("events.txt"), "wait 200\nclick 5 5\nkey UP\ntext ok\nbogus line\nwait 300\nclose\n");
    ChildProcess p(program(), {}, dir_,
                   with(with(kHeadless, "PANTERM_EVENTS", "events.txt"), "PANTERM_SNAPSHOT", path("screen.png")));
    ASSERT_EQ(p.wait(20000), 0) << p.output();
    std::string xml = readFile(path("pterm.xml"));
    EXPECT_EQ(xml.substr(0, 43), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>");
    EXPECT_EQ(countLines(xml), 47);
    EXPECT_NE(xml.find("\t<remote_view>0</remote_view>\n\t<cmd_timeout_ms>5000</cmd_timeout_ms>\n"
                       "\t<mqtt_broker></mqtt_broker>\n"),
              std::string::npos)
        << "off, before the MQTT elements";
    EXPECT_NE(xml.find("\t<mqtt_writes>0</mqtt_writes>\n</pterm>"), std::string::npos) << "off, the last element";
    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("\nStart Panterm...\n\nVersion        1.5.12.097d\n"), std::string::npos);
    EXPECT_NE(log.find("\nConfiguration File: \"pterm.xml\"\n"), std::string::npos);
    EXPECT_NE(log.find("\nNetwork:\nAdapter: eth0\n"), std::string::npos);
    EXPECT_NE(log.find("\nStart: start.html\n"), std::string::npos);
    EXPECT_NE(p.output().find("line 5"), std::string::npos) << "the bad script line is reported with its number";
    Image shot = readPng(path("screen.png"));
    EXPECT_EQ(shot.width, 320);
    EXPECT_EQ(shot.height, 240);
}

TEST_F(Program, KioskWindowCoversTheScreenAndADecoratedOneLeavesRoomForTheFrame)
{
    for (int kiosk : {0, 1}) {
        writeFile(path("events.txt"), "wait 300\nsnapshot shot" + std::to_string(kiosk) + ".png\nclose\n");
        ChildProcess p(program(), {"page.html"}, dir_, with(kHeadless, "PANTERM_EVENTS", "events.txt"));
        if (kiosk == 0) {
            ASSERT_EQ(p.wait(20000), 0);
            std::string xml = readFile(path("pterm.xml"));
            writeFile(path("pterm.xml"), xml.replace(xml.find("<kiosk>0<"), 9, "<kiosk>1<"));
        } else {
            ASSERT_EQ(p.wait(20000), 0);
        }
    }
    Image decorated = readPng(path("shot0.png")), kiosk = readPng(path("shot1.png"));
    ASSERT_EQ(decorated.width, 320);
    ASSERT_EQ(kiosk.width, 320);
    EXPECT_EQ(decorated.at(313, 213), decorated.at(0, 0)) << "the window is 314 x 214";
    EXPECT_NE(decorated.at(314, 100), decorated.at(0, 0));
    EXPECT_NE(decorated.at(100, 214), decorated.at(0, 0));
    EXPECT_EQ(kiosk.at(319, 239), kiosk.at(0, 0));
}

TEST_F(Program, TerminationSignals)
{
    {
        ChildProcess p(program(), {}, dir_, kHeadless);
        ASSERT_TRUE(waitForText(path("pterm.log"), "Start: start.html", 10000));
        p.signal(SIGTERM);
        EXPECT_EQ(p.wait(10000), -100 - SIGTERM) << "without the server no handler is installed";
    }
    // with the server: the first signal stops the server, the second the panel
    std::string xml = readFile(path("pterm.xml"));
    xml.replace(xml.find("<httpd_enabled>0<"), 17, "<httpd_enabled>1<");
    int port = freeLoopbackPort();
    xml.replace(xml.find("<httpd_port>80<"), 15, "<httpd_port>" + std::to_string(port) + "<");
    writeFile(path("pterm.xml"), xml);
    ChildProcess p(program(), {}, dir_, with(kHeadless, "PANTERM_HTTPD_BIND", "127.0.0.1"));
    bool listening = false;
    // Up to 30 s: a loaded machine starts the panel slowly.
    for (int i = 0; i < 600 && !listening; i++) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        close(fd);
        if (!listening) usleep(50000);
    }
    ASSERT_TRUE(listening) << "nothing listened on port " << port << " within 30 s\n" << p.output();
    p.signal(SIGTERM);
    ASSERT_TRUE(waitForText(path("Panterm_MW.out"), "SRV exit !", 30000))
        << "the server did not stop within 30 s of the first signal\n"
        << p.output();
    EXPECT_EQ(p.wait(300), -1) << "the first signal stops only the server";
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(30000), 1) << p.output();
    EXPECT_NE(p.output().find("SRV shutdown on signal 15 !"), std::string::npos);
    EXPECT_NE(p.output().find("Stop Panterm on signal 15 !"), std::string::npos);
}

// A local start page is drawn before the first event wait: with a period of
// five seconds the first snapshot shows its picture (not the not-found
// screen) well before a period has passed. The headless display never maps
// the SDL library, nor a panel without a broker libmosquitto and its TLS.
TEST_F(Program, HeadlessStartShowsThePageAtOnceWithoutSdl)
{
    writeFile(path("page.html"), "<html><applet code=\"IViewer.class\" width=\"320\" height=\"240\">\n"
                                 "<param name=\"ProjectName\" value=\"Plant\">\n"
                                 "<param name=\"Period\" value=\"5000\">\n</applet></html>\n");
    writeFile(path("Plant.teq"), teqc::buildTeq("teq f\npage-size 320,240\nbackground 255,255,255\nfill on\n"
                                                "fill-colour 200,0,0\npainter \"XRectangleP\" at 10,10 size 100,100 "
                                                "plc 0 {\n  block \"XRectangleP\" id 1\n}\n"));
    ChildProcess p(program(), {"page.html"}, dir_, with(kHeadless, "PANTERM_SNAPSHOT", path("screen.png")));
    ASSERT_TRUE(waitForFile(path("screen.png"), 2500)) << "no frame before half a period";
    Image first = readPng(path("screen.png"));
    ASSERT_EQ(first.width, 320);
    EXPECT_EQ(first.at(50, 50) & 0xFFFFFF, 0x0000C8u) << "the first frame shows the picture";
    std::string maps = readFile("/proc/" + std::to_string(p.pid()) + "/maps");
    ASSERT_NE(maps.find("libc"), std::string::npos) << maps;
    EXPECT_EQ(maps.find("libSDL2"), std::string::npos) << "headless maps no SDL";
    EXPECT_EQ(maps.find("libmosquitto"), std::string::npos) << "no broker, no MQTT library";
    EXPECT_EQ(maps.find("libssl"), std::string::npos) << "no broker, no TLS library";
    p.stop();
}
