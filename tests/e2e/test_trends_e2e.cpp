// Trends and instruments of the demo plant end to end: the on-line trend
// grows from snapshot to snapshot and keeps its curve across a page switch,
// the target's log loads with the trend CGI's queries, the gauge's needle
// points where sim.sine says and the bar stands as high as the tank level
// (the simulator's signals held at a known second).
#include "test_support.h"

#include <cmath>
#include <regex>
#include <string>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

constexpr uint32_t kLevelCurve = rgb(30, 110, 220);
constexpr uint32_t kLogCurve = rgb(0, 150, 120);
constexpr uint32_t kNeedle = rgb(20, 55, 105);
constexpr uint32_t kBar = rgb(30, 110, 220);

// Whether the needle runs from the gauge's centre (115, 125) at degrees:
// every pixel from 15 to 60 pixels out has the needle's colour beside it.
bool needleAt(const Image &img, double degrees)
{
    double a = degrees * M_PI / 180.0;
    for (int q = 15; q <= 60; q++) {
        int x = static_cast<int>(115 + q * std::cos(a)), y = static_cast<int>(125 - q * std::sin(a));
        if (countColour(img, kNeedle, x - 1, y - 1, 3, 3) == 0) return false;
    }
    return true;
}

// The bar's rows in the column x = 310, "first..last".
string barRows(const Image &img)
{
    int first = -1, last = -1;
    for (int y = 40; y < 210; y++)
        if (img.at(310, y) == kBar) {
            if (first < 0) first = y;
            last = y;
        }
    return std::to_string(first) + ".." + std::to_string(last);
}

class TrendsE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        root_ = path("root");
        copyDemo(root_, 100);
    }
    string root_;
};

} // namespace

TEST_F(TrendsE2E, GaugeAndBarFollowTheSimulatedSignals)
{
    // At second 4 sim.sine is 79.39 and sim.ramp 40; at second 7 they are 2.45
    // and 70. The needle turns clockwise from 225 degrees by 270 degrees for
    // 100 %: trunc(-214.35) gives 11 degrees, trunc(-6.6) 219 degrees. The bar
    // is 150 pixels high for 100 % from y = 50, its last row the border.
    struct Case {
        int second;
        double degrees;
        string rows;
    };
    const Case cases[] = {{4, 11, "140..198"}, {7, 219, "95..198"}};
    std::vector<std::unique_ptr<Target>> targets;
    std::vector<std::unique_ptr<Panel>> panels;
    for (const Case &c : cases) {
        string name = std::to_string(c.second);
        targets.push_back(
            std::make_unique<Target>(path("t" + name), root_, "", 0, std::vector<string>{"--freeze-signals", name}));
        ASSERT_TRUE(targets.back()->ok());
        panels.push_back(std::make_unique<Panel>(
            path("p" + name), PanelSetup{targets.back()->url("start.html"), "",
                                         "wait 4000\nclick 335 237\n" /* Meters */ "wait 30000\nclose\n"}));
    }
    for (size_t i = 0; i < panels.size(); i++) {
        const Case &c = cases[i];
        EXPECT_TRUE(panels[i]->waitForScreen([&](const Image &img) { return barRows(img) == c.rows; }, 20000))
            << "second " << c.second << ": bar rows " << barRows(panels[i]->screen());
        Image shot = panels[i]->screen();
        EXPECT_TRUE(needleAt(shot, c.degrees)) << "second " << c.second;
        EXPECT_FALSE(needleAt(shot, c.degrees + 8));
    }
}

TEST_F(TrendsE2E, OnlineTrendGrowsAndKeepsItsCurveAndTheLogLoads)
{
    Target target(path("t"), root_, "");
    ASSERT_TRUE(target.ok());
    const string script = "wait 4000\n"
                          "click 118 237\n" // Trends
                          "wait 4000\nsnapshot s1.png\n"
                          "wait 4000\nsnapshot s2.png\n"
                          "click 415 237\n" // < Tank
                          "wait 3000\n"
                          "click 118 237\n" // Trends again
                          "wait 3000\nsnapshot s3.png\n"
                          "wait 300\nclose\n";
    Panel panel(path("p"), {target.url("start.html"), "", script});
    ASSERT_EQ(panel.wait(60000), 0) << panel.log();
    Image s1 = readPng(panel.file("s1.png")), s2 = readPng(panel.file("s2.png")), s3 = readPng(panel.file("s3.png"));
    ASSERT_GT(s1.width, 0);
    ASSERT_GT(s3.width, 0);
    int c1 = countColour(s1, kLevelCurve, 8, 44, 300, 102), c2 = countColour(s2, kLevelCurve, 8, 44, 300, 102);
    int c3 = countColour(s3, kLevelCurve, 8, 44, 300, 102);
    EXPECT_GT(c1, 80) << "the level's value scale and the first samples";
    EXPECT_GT(c2, c1 + 20) << "the curve grew";
    EXPECT_GT(c3, c2 + 20) << "kept across the page switch, and sampled meanwhile";
    EXPECT_GT(countColour(s2, kLogCurve, 8, 150, 300, 102), 500) << "the logged flow";

    string requests = target.requests();
    EXPECT_NE(requests.find("GET /cgi-bin/trend.exe?trendsList=0&action=config HTTP/1.1\n"), string::npos);
    EXPECT_NE(requests.find("GET /cgi-bin/trend.exe?trendNr=2&action=configNSta HTTP/1.1\n"), string::npos);
    std::smatch first;
    std::regex load("GET /cgi-bin/trend\\.exe\\?trendNr=2&action=loadTrend&loadType=0&startTimestamp=([0-9a-f]+)"
                    "&endTimestamp=([0-9a-f]+)&lastLoadedTimestamp=0 HTTP/1\\.1\n");
    ASSERT_TRUE(std::regex_search(requests, first, load)) << requests;
    unsigned long start = std::stoul(first[1], nullptr, 16);
    char next[200];
    std::snprintf(next, sizeof next,
                  "GET /cgi-bin/trend.exe?trendNr=2&action=loadTrend&loadType=0&startTimestamp=%lx&endTimestamp=%s"
                  "&lastLoadedTimestamp=%lx HTTP/1.1\n",
                  start, first[2].str().c_str(), start + 255);
    EXPECT_NE(requests.find(next), string::npos) << "the second block goes on after the 256 points of the first";
}
