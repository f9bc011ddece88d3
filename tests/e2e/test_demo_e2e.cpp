// The demo plant end to end: the simulator serves the demo project, the real
// panel shows it headless, and the screen follows the target's values, through
// a target that goes away and comes back.
#include "test_support.h"

#include <set>
#include <string>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

uint32_t pumpRim(const Image &img) { return img.at(221, 172); }
uint32_t lamp(const Image &img) { return img.at(414, 90); }
// The title bar beside the warning button, which errors show at its left.
bool demoShown(const Image &img) { return img.at(230, 3) == kHeader; }

class DemoE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        root_ = path("root");
        copyDemo(root_, 100);
    }
    string values(const string &name, const string &content)
    {
        writeFile(path(name), content);
        return path(name);
    }
    string root_;
};

} // namespace

TEST_F(DemoE2E, PageFollowsTheSimulatedAndTheFileValues)
{
    const string common = param("ProjectName", "Plant") + param("Period", "100") + param("FirstFileIndex", "1") +
                          param("LastFileIndex", "2") + param("Main", "1");
    writeFile(root_ + "/alarm.html", demoPage(common + param("HighLimit", "-1")));
    writeFile(root_ + "/quiet.html", demoPage(common + param("HighLimit", "1000")));
    Target faulty(path("t1"), root_, values("fault.txt", "Pump.Fault=1\n"));
    Target normal(path("t2"), root_, values("ok.txt", "Pump.Fault=0\n"));
    ASSERT_TRUE(faulty.ok() && normal.ok());
    Panel alarm(path("p1"), {faulty.url("alarm.html"), "", "wait 20000\nclose\n"});
    Panel quiet(path("p2"), {normal.url("quiet.html"), "", "wait 20000\nclose\n"});

    // The first frame comes before the first values; the frames after it follow them.
    std::set<int> levels;
    std::set<uint32_t> lamps, rims;
    bool followed = alarm.waitForScreen(
        [&](const Image &img) {
            if (!demoShown(img)) return false;
            rims.insert(pumpRim(img));
            levels.insert(levelTop(img));
            lamps.insert(lamp(img));
            return rims.count(kRimFault) && levels.size() >= 3 && lamps.count(kLampOn) && lamps.count(kLampOff);
        },
        10000);
    EXPECT_TRUE(followed) << "Pump.Fault 1 from the value file gives a red rim, the tank level moves with sim.ramp "
                             "and the lamp blinks above HighLimit -1; levels seen "
                          << levels.size() << ", lamp colours " << lamps.size() << ", rim colours " << rims.size();

    int quietFrames = 0;
    EXPECT_TRUE(quiet.waitForScreen(
        [&](const Image &img) {
            if (!demoShown(img)) return false;
            EXPECT_EQ(pumpRim(img), kRimNormal);
            EXPECT_EQ(lamp(img), kLampOff) << "the level never passes HighLimit 1000";
            return ++quietFrames >= 3;
        },
        10000));
    EXPECT_NE(normal.requests().find("GET /cgi-bin/ReadFile.exe?"), string::npos);
}

TEST_F(DemoE2E, TargetThatStopsAndComesBackIsRecovered)
{
    string fault = values("fault.txt", "Pump.Fault=1\n");
    auto target = std::make_unique<Target>(path("t1"), root_, fault);
    ASSERT_TRUE(target->ok());
    int port = target->port();
    Panel panel(path("p"), {target->url("start.html"), "", "wait 30000\nclose\n", 2});
    auto live = [](const Image &img) { return demoShown(img) && pumpRim(img) == kRimFault; };
    ASSERT_TRUE(panel.waitForScreen(live, 10000)) << panel.log();

    target->stop();
    EXPECT_TRUE(panel.waitForScreen(
        [](const Image &img) { return demoShown(img) && pumpRim(img) == kRimNormal && levelTop(img) == 182; }, 10000))
        << "values read \"Not available\": no fault, an empty tank";

    target = std::make_unique<Target>(path("t2"), root_, fault, port);
    ASSERT_TRUE(target->ok()) << "the same port again";
    EXPECT_TRUE(panel.waitForScreen(live, 15000)) << "live values again without a restart of the panel";
    EXPECT_EQ(panel.wait(0), -1) << "the panel still runs";
    EXPECT_EQ(target->requests().find("GET /start.html "), string::npos) << "the page was not loaded again";
    EXPECT_NE(target->requests().find("GET /cgi-bin/OrderValues.exe?"), string::npos) << "the values were ordered anew";
}

TEST_F(DemoE2E, MissingPageShowsFileNotFoundAndIsRetried)
{
    Target target(path("t"), root_, "");
    ASSERT_TRUE(target.ok());
    Panel panel(path("p"), {"", target.url("missing.html"), "wait 30000\nclose\n", 2});
    EXPECT_TRUE(panel.waitForScreen(
        [](const Image &img) { return countColour(img, rgb(255, 0, 0), 0, 0, 480, 40) > 30; }, 10000))
        << "\"File not found !\" in red at the top";
    Image shot = panel.screen();
    EXPECT_GT(countColour(shot, rgb(0, 0, 0), 0, 40, 480, 40), 30) << "the server and the page name below it";
    EXPECT_EQ(countColour(shot, kHeader, 0, 0, 480, 272), 0);
    EXPECT_TRUE(waitUntil([&] { return countOccurrences(target.requests(), "GET /missing.html ") >= 2; }, 15000))
        << "tried again after the not-found screen's 3 seconds";
    EXPECT_EQ(panel.wait(0), -1) << "the panel still runs";
    EXPECT_NE(panel.log().find("\nStart: " + target.url("missing.html") + "\n"), string::npos)
        << "the reload after the failure (which starts a new log) asks for the page again\n"
        << panel.log();
}

TEST_F(DemoE2E, PageParametersPickThePictures)
{
    writeFile(root_ + "/Plant.teq", readFile(root_ + "/Plant1.teq"));
    const string common = param("ProjectName", "Plant") + param("Period", "100");
    writeFile(root_ + "/main2.html",
              demoPage(common + param("FirstFileIndex", "1") + param("LastFileIndex", "2") + param("Main", "2")));
    writeFile(root_ + "/single.html",
              demoPage(common + param("FirstFileIndex", "4") + param("LastFileIndex", "4") + param("Main", "2")));
    writeFile(root_ + "/named.html", demoPage(common + param("MainTEQName", "Plant2") + param("Main", "1")));

    struct Case {
        string page, picture;
        bool pictureTwo;
    };
    const Case cases[] = {{"start.html", "Plant1.teq", false},
                          {"main2.html", "Plant2.teq", true},
                          {"single.html", "Plant.teq", false},
                          {"named.html", "Plant2.teq", true}};
    std::vector<std::unique_ptr<Target>> targets;
    std::vector<std::unique_ptr<Panel>> panels;
    for (const Case &c : cases) {
        targets.push_back(std::make_unique<Target>(path("t-" + c.page), root_, ""));
        ASSERT_TRUE(targets.back()->ok());
        panels.push_back(std::make_unique<Panel>(path(c.page), PanelSetup{targets.back()->url(c.page), "", ""}));
    }
    for (size_t i = 0; i < panels.size(); i++) {
        const Case &c = cases[i];
        auto picture = [&](const Image &img) {
            uint32_t runningLamp = img.at(318, 114);
            return demoShown(img) && (runningLamp == kLampOff || runningLamp == rgb(0, 200, 70)) == c.pictureTwo;
        };
        EXPECT_TRUE(panels[i]->waitForScreen(picture, 15000)) << c.page << "\n" << panels[i]->log();
        string requests = targets[i]->requests();
        EXPECT_EQ(countOccurrences(requests, ".teq ") - countOccurrences(requests, "GET /MsgBox.teq "), 2)
            << c.page << ": the picture and its layer (and the message box start.html names)\n"
            << requests;
        EXPECT_NE(requests.find("GET /" + c.picture + " "), string::npos) << c.page << "\n" << requests;
        EXPECT_NE(requests.find("GET /frame.teq "), string::npos) << c.page;
    }
}
