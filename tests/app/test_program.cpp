#include "test_support.h"

#include <csignal>
#include <string>
#include <unistd.h>

#include "process_runner.h"

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

TEST_F(Program, HeadlessRunWritesSettingsLogAndSnapshotsAndEndsOnClose)
{
    writeFile(path("events.txt"), "wait 200\nclick 5 5\nkey UP\ntext ok\nbogus line\nwait 300\nclose\n");
    ChildProcess p(program(), {}, dir_,
                   with(with(kHeadless, "PANTERM_EVENTS", "events.txt"), "PANTERM_SNAPSHOT", path("screen.png")));
    ASSERT_EQ(p.wait(20000), 0) << p.output();
    std::string xml = readFile(path("pterm.xml"));
    EXPECT_EQ(xml.substr(0, 43), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>");
    EXPECT_EQ(countLines(xml), 39);
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
