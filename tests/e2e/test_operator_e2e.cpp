// An operator at the demo plant, end to end: scripted touches and keys on the
// real panel (headless) against the simulator. The Start and Stop buttons
// write Pump.Run to the target, the pump follows it, F2 presses Stop, the
// arrow keys move the focus and Enter presses the button in focus, and the
// page buttons switch pictures.
#include "test_support.h"

#include <string>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

constexpr uint32_t kStopped = rgb(150, 150, 150);
constexpr uint32_t kRunningLampOn = rgb(0, 200, 70);

bool tankPicture(const Image &img) { return img.at(414, 90) == kLampOff || img.at(414, 90) == kLampOn; }
bool pumpPicture(const Image &img) { return img.at(318, 114) == kLampOff || img.at(318, 114) == kRunningLampOn; }

// Request lines that write a value, in order.
string writes(const string &requests)
{
    string found;
    for (size_t at = requests.find("writeVal.exe?"); at != string::npos; at = requests.find("writeVal.exe?", at + 1))
        found += requests.substr(at + 13, requests.find(' ', at) - at - 13) + ";";
    return found;
}

class OperatorE2E : public TempDirTest {};

} // namespace

TEST_F(OperatorE2E, ClicksAndKeysRunThePlant)
{
    string root = path("root");
    copyDemo(root, 100);
    writeFile(path("values.txt"), "Pump.Fault=0\nPump.Run=0\n");
    Target target(path("t"), root, path("values.txt"));
    ASSERT_TRUE(target.ok());
    const string script = "wait 3000\n"
                          "click 185 237\n" // Start
                          "wait 1500\nsnapshot started.png\n"
                          "key FKEY_2\n" // Stop through its function key
                          "wait 1500\nsnapshot stopped.png\n"
                          "click 185 237\nwait 1000\n"
                          "key RIGHT\nkey ENTER\n" // the focus moves from Start to Stop, Enter presses it
                          "wait 1500\nsnapshot entered.png\n"
                          "click 415 237\n" // Pump >
                          "wait 1500\nsnapshot pump.png\n"
                          "down 415 237\nup 10 100\n" // < Tank, released beside it
                          "wait 1500\nsnapshot tank.png\n"
                          "click 200 100\nclick 470 30\n" // nothing there
                          "wait 500\nclose\n";
    Panel panel(path("p"), {target.url("start.html"), "", script});
    ASSERT_EQ(panel.wait(40000), 0) << panel.output();

    EXPECT_EQ(writes(target.requests()), "Pump.Run+1;Pump.Run+0;Pump.Run+1;Pump.Run+0;") << target.requests();
    EXPECT_NE(target.requests().find("GET /cgi-bin/writeVal.exe?Pump.Run+1 "), string::npos);
    Image started = readPng(panel.file("started.png"));
    ASSERT_GT(started.width, 0);
    EXPECT_EQ(pump(started), kRunning) << "the pump turns green after Start";
    EXPECT_EQ(pump(readPng(panel.file("stopped.png"))), kStopped) << "F2 pressed Stop";
    EXPECT_EQ(pump(readPng(panel.file("entered.png"))), kStopped) << "Enter pressed Stop, in focus after RIGHT";
    EXPECT_TRUE(pumpPicture(readPng(panel.file("pump.png"))));
    Image back = readPng(panel.file("tank.png"));
    EXPECT_TRUE(tankPicture(back)) << "the release beside the button still counts for the button pressed";
    EXPECT_EQ(countOccurrences(target.requests(), "GET /Plant1.teq "), 2);
    EXPECT_EQ(countOccurrences(target.requests(), "GET /Plant2.teq "), 1);
    EXPECT_EQ(panel.log().find("Error"), string::npos) << panel.log();
}

TEST_F(OperatorE2E, WriteToATargetThatIsGoneIsReportedAndThePanelGoesOn)
{
    string root = path("root");
    copyDemo(root, 100);
    auto target = std::make_unique<Target>(path("t"), root, "");
    ASSERT_TRUE(target->ok());
    Panel panel(path("p"), {target->url("start.html"), "",
                            "wait 6000\nclick 185 237\nkey FKEY_1\nkey FKEY_2\n"
                            "wait 2000\nclick 415 237\nwait 1500\nsnapshot after.png\n"
                            "close\n",
                            2});
    ASSERT_TRUE(panel.waitForScreen(tankPicture, 10000));
    target->stop();
    ASSERT_EQ(panel.wait(40000), 0) << panel.output();
    EXPECT_NE(panel.log().find("WriteVal failed !"), string::npos) << panel.log();
    EXPECT_TRUE(tankPicture(readPng(panel.file("after.png")))) << "the picture stays; the page button needs the target";
}
