// Bad pages, bad addresses and a broken picture given to the real panel: each
// ends in the page, the not-found screen or a message, as the panel's rules
// say, and the panel keeps running until it is closed.
#include "test_support.h"

#include <string>
#include <vector>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

bool demoShown(const Image &img) { return img.width > 0 && img.at(230, 3) == rgb(20, 55, 105); }
bool notFoundShown(const Image &img)
{
    return img.width > 0 && !demoShown(img) && countColour(img, rgb(255, 0, 0), 0, 0, 480, 40) > 30;
}

enum class Shows { Demo, NotFound };

struct Case {
    string name;    // directory of the run
    string address; // command-line URL
    Shows shows;
    string logged;          // a message the log must hold; "" for a run without error messages
    bool localDemo = false; // the demo project also lies in the panel's directory
};

class BadInputE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        root_ = path("root");
        copyDemo(root_, 100);
    }
    // Runs every case at once and waits for each to show what it should;
    // the panel must still run then (it is ended afterwards).
    void run(const std::vector<Case> &cases)
    {
        std::vector<std::unique_ptr<Panel>> panels;
        for (const Case &c : cases) {
            if (c.localDemo) copyDemo(path(c.name), 100);
            panels.push_back(std::make_unique<Panel>(path(c.name), PanelSetup{c.address, "", "wait 60000\nclose\n"}));
        }
        for (size_t i = 0; i < cases.size(); i++) {
            const Case &c = cases[i];
            Panel &panel = *panels[i];
            EXPECT_TRUE(panel.waitForScreen(c.shows == Shows::Demo ? demoShown : notFoundShown, 15000))
                << c.name << "\n"
                << panel.log();
            if (!c.logged.empty()) {
                EXPECT_TRUE(waitUntil([&] { return panel.log().find(c.logged) != string::npos; }, 5000))
                    << c.name << "\n"
                    << panel.log();
            } else {
                string log = panel.log(); // errors are flushed to the log at once
                EXPECT_EQ(log.find("not found"), string::npos) << c.name << "\n" << log;
                EXPECT_EQ(log.find("Error"), string::npos) << c.name << "\n" << log;
            }
            EXPECT_EQ(panel.wait(0), -1) << c.name << " ended\n" << panel.output();
        }
    }
    string root_;
};

string manyParameters(int n)
{
    string text;
    for (int i = 0; i < n; i++) text += param("Extra" + std::to_string(i), "value" + std::to_string(i));
    return text;
}

} // namespace

TEST_F(BadInputE2E, HtmlFilesWithoutTheAppletOrWithBrokenParameters)
{
    const string project = param("ProjectName", "Plant") + param("Period", "100") + param("Main", "1") +
                           param("FirstFileIndex", "1") + param("LastFileIndex", "2");
    writeFile(root_ + "/noapplet.html", "<html><body><p>An ordinary page.</p></body></html>\n");
    writeFile(root_ + "/noparams.html", demoPage(""));
    writeFile(root_ + "/many.html", demoPage(project + manyParameters(10000)));
    string thousand(1000, 'x');
    writeFile(root_ + "/long.html", demoPage(param("ProjectName", thousand) + param("Title", thousand)));
    writeFile(root_ + "/unterminated.html",
              demoPage("<param name=\"ProjectName\" value=\"Plant>\n" + param("Main", "1")) +
                  "<param name=\"Period\" value=\"100");
    string picture = readFile(root_ + "/Plant1.teq");
    writeFile(root_ + "/Broken.teq", picture.substr(0, picture.find("XOvalP") + 10)); // cut in a painter
    writeFile(root_ + "/broken.html", demoPage(project + param("MainTEQName", "Broken.teq")));
    Target target(path("t"), root_, "");
    ASSERT_TRUE(target.ok());

    run({{"noapplet", target.url("noapplet.html"), Shows::NotFound, ""},
         {"noparams", target.url("noparams.html"), Shows::NotFound, ""},
         {"many", target.url("many.html"), Shows::Demo, ""},
         {"long", target.url("long.html"), Shows::NotFound, "File not found !\n " + string(28, 'x') + ".teq\n"},
         {"unterminated", target.url("unterminated.html"), Shows::NotFound,
          "File not found !\n Plant>\n<param name.teq\n"}, // the value runs to the next "="
         {"broken", target.url("broken.html"), Shows::NotFound, "failed to load painter(s) from\n \"Broken.teq\"\n"}});
}

TEST_F(BadInputE2E, Addresses)
{
    Target target(path("t"), root_, "");
    ASSERT_TRUE(target.ok());
    string backslashed = target.url("start.html");
    for (char &c : backslashed)
        if (c == '/') c = '\\';

    run({{"above", target.url("../../../start.html"), Shows::Demo, ""},
         {"query", target.url("start.html?x=1&y=a/b#top"), Shows::Demo, ""},
         {"backslash", backslashed, Shows::Demo, ""},
         {"long", target.url(string(2000, 'a') + ".html"), Shows::Demo, "Page address too long:\n", true},
         {"local-above", "../../../../../../../../start.html", Shows::Demo, "", true}});
    string requests = target.requests();
    EXPECT_EQ(countOccurrences(requests, "GET /start.html "), 3) << requests;
    EXPECT_EQ(requests.find("aaaa"), string::npos) << "the address that does not fit is not requested";
    EXPECT_EQ(requests.find(".."), string::npos);
}
