// The demo's alarm pages and pump-mode drop-down list end to end: the tank's
// alarm appears in the current list in the colour of an alarm that is on and
// not acknowledged, the acknowledgement of the selected row reaches the
// simulator as its query and the row takes an acknowledged colour, the
// history pages ask their start and end lines, and a choice in the drop-down
// list is written to the simulator.
#include "test_support.h"

#include <regex>
#include <string>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

constexpr uint32_t kOnNotAcknowledged = rgb(255, 110, 110);
constexpr uint32_t kOnAcknowledged = rgb(255, 240, 150);
constexpr uint32_t kGoneAcknowledged = rgb(200, 230, 200);

// Pixels of a colour in the current alarm list.
int inList(const Image &img, uint32_t colour) { return countColour(img, colour, 12, 66, 440, 116); }

// The start and end lines of the history blocks asked, in order.
std::vector<std::pair<int, int>> historyBlocks(const string &requests)
{
    std::vector<std::pair<int, int>> blocks;
    std::regex block("action=loadHistory&startLine=(\\d+)&endLine=(\\d+)");
    for (auto m = std::sregex_iterator(requests.begin(), requests.end(), block); m != std::sregex_iterator(); ++m)
        blocks.emplace_back(std::stoi((*m)[1]), std::stoi((*m)[2]));
    return blocks;
}

class ListsE2E : public TempDirTest {};

} // namespace

TEST_F(ListsE2E, AlarmPagesAndThePumpModeEndToEnd)
{
    string root = path("root");
    copyDemo(root, 300);
    Target target(path("t"), root, root + "/values.txt", 0,
                  {"--alarms", root + "/alarms.txt", "--alarm-history", "40"});
    ASSERT_TRUE(target.ok());
    const string script = "wait 2000\nclick 419 199\n" // Alarms on the plant page
                          "wait 10000\nclick 60 79\n"  // the first alarm's row
                          "wait 400\nclick 45 203\n"   // Ack
                          "wait 2600\nclick 150 237\n" // the pump-mode list opens above its field
                          "wait 600\nclick 150 201\n"  // Manual
                          "wait 1400\nclick 424 203\n" // History >
                          "wait 3000\nclick 151 235\n" // Page >
                          "wait 30000\nclose\n";
    Panel panel(path("p"), {target.url("start.html"), "", script});

    EXPECT_TRUE(panel.waitForScreen([](const Image &img) { return inList(img, kOnNotAcknowledged) > 300; }, 14000))
        << "the tank above 80 % raises alarm 1, on and not acknowledged\n"
        << panel.log();
    EXPECT_TRUE(waitUntil(
        [&] {
            return target.requests().find("GET /cgi-bin/alarm.exe?list=1&action=acknowledge&item=1 HTTP/1.1") !=
                   string::npos;
        },
        8000))
        << target.requests();
    EXPECT_TRUE(panel.waitForScreen(
        [](const Image &img) {
            return inList(img, kOnAcknowledged) + inList(img, kGoneAcknowledged) > 300 &&
                   inList(img, kOnNotAcknowledged) == 0;
        },
        3000))
        << "the row takes an acknowledged colour after the next load";

    EXPECT_TRUE(waitUntil(
        [&] { return target.requests().find("GET /cgi-bin/writeVal.exe?Pump.Mode+1 HTTP/1.1") != string::npos; }, 8000))
        << "Manual is item 1";

    std::vector<std::pair<int, int>> blocks;
    EXPECT_TRUE(waitUntil(
        [&] {
            blocks = historyBlocks(target.requests());
            return !blocks.empty() && blocks.back().first > 0;
        },
        12000))
        << target.requests();
    ASSERT_GE(blocks.size(), 2u);
    int lines = blocks.front().second + 1;
    EXPECT_EQ(blocks.front().first, 0) << "page 0 starts at line 0";
    EXPECT_GT(lines, 5) << "a page of the viewer's rows below the titles";
    EXPECT_EQ(blocks.back(), std::make_pair(lines, 2 * lines - 1)) << "page 1 goes on where page 0 ended";
    EXPECT_EQ(panel.wait(0), -1) << "the panel still runs";
}
