// The demo's language tables and its configuration page end to end: the
// language button switches the button titles and back, the configuration page
// saves what is entered and applies the address (with recording stand-ins of
// the adapter commands, in a network namespace of its own), and its countdown
// loads the start page.
#include "test_support.h"

#include <filesystem>
#include <string>

#include "e2e_support.h"
#include "netns_runner.h"

using namespace e2e;
using std::string;

namespace {

constexpr uint32_t kButtonFace = rgb(215, 222, 230);

bool plantShown(const Image &img) { return img.at(5, 5) == kHeader && img.at(221, 172) == kRimNormal; }
// The settings after the window mode up to the configuration page and file.
string configSettings(const string &page, const string &file, int sip)
{
    return "\t<keep_alive>0</keep_alive>\n\t<httpd_enabled>0</httpd_enabled>\n\t<httpd_port>80</httpd_port>\n"
           "\t<sip>" +
           std::to_string(sip) +
           "</sip>\n\t<img_mem_max>2097152</img_mem_max>\n"
           "\t<temp_dir>~pt~</temp_dir>\n\t<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;</warn_btn>\n"
           "\t<remote_mode>0</remote_mode>\n\t<teq_cache>0</teq_cache>\n"
           "\t<loading_msg>1;0;Loading...;0,0,0,0;0,0,0;0,0,0;</loading_msg>\n\t<show_selection>0</show_selection>\n"
           "\t<config_page>" +
           page + "</config_page>\n\t<config_file>" + file + "</config_file>\n";
}

bool configShown(const Image &img) { return img.at(5, 5) == kHeader && img.at(450, 110) == kButtonFace; }

// Pixels that differ inside a rectangle of two screens.
int differences(const Image &a, const Image &b, int x0, int y0, int w, int h)
{
    int n = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) n += a.at(x, y) != b.at(x, y);
    return n;
}

class ConfigE2E : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        root_ = path("root");
        copyDemo(root_, 200);
    }
    string root_;
};

} // namespace

TEST_F(ConfigE2E, LanguageButtonSwitchesTheTitlesAndBack)
{
    Target target(path("t"), root_, "");
    ASSERT_TRUE(target.ok());
    Panel panel(path("p"), {target.url("start.html"), "",
                            "wait 4000\nsnapshot english.png\nclick 305 57\nwait 2000\nsnapshot german.png\n"
                            "click 305 57\nwait 2000\nsnapshot again.png\nclose\n"});
    ASSERT_EQ(panel.wait(30000), 0) << panel.output();
    Image english = readPng(panel.file("english.png")), german = readPng(panel.file("german.png")),
          again = readPng(panel.file("again.png"));
    ASSERT_TRUE(plantShown(english) && plantShown(german) && plantShown(again)) << panel.log();
    EXPECT_GT(differences(english, german, 260, 44, 90, 58), 50) << "the buttons' titles from the German table";
    EXPECT_EQ(differences(english, again, 260, 44, 90, 58), 0) << "and back to the English ones";
    EXPECT_EQ(differences(english, german, 6, 224, 454, 26), 0) << "titles that are not in the tables stay";
    string requests = target.requests();
    EXPECT_EQ(countOccurrences(requests, "GET /lang-en.csv"), 2) << requests;
    EXPECT_EQ(countOccurrences(requests, "GET /lang-de.csv"), 1) << requests;
}

TEST_F(ConfigE2E, CountdownLoadsTheStartPage)
{
    std::filesystem::create_directories(path("p"));
    writeFile(path("p/panel.cfg"), "# Panterm Config\n#\nPT_Config.Start.Timeout=3\nPT_Config.Start.URL=" + root_ +
                                       "/start.html\nPT_Config.Eth.Iface=9\n#EOF\n");
    PanelSetup setup{"", "missing.html", "wait 20000\nclose\n"};
    setup.moreSettings = configSettings(root_ + "/config.html", "panel.cfg", 1);
    Panel panel(path("p"), setup);
    ASSERT_TRUE(panel.waitForScreen(configShown, 10000)) << panel.log();
    auto shownAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(panel.waitForScreen(plantShown, 10000)) << panel.log();
    auto after = std::chrono::steady_clock::now() - shownAt;
    EXPECT_GT(after, std::chrono::milliseconds(1500)) << "three seconds of ticks of 500 ms";
    EXPECT_NE(panel.log().find("Start: " + root_ + "/start.html"), string::npos)
        << "the configured start page, not the setting's";
}

TEST_F(ConfigE2E, SavingWritesTheFileAndAppliesTheAddress)
{
    std::filesystem::create_directories(path("p"));
    const string start = "PT_Config.Start.Timeout=600\nPT_Config.Start.URL=" + root_ + "/start.html\n";
    writeFile(path("p/panel.cfg"), "# Panterm Config\n#\n" + start + "#EOF\n");
    PanelSetup setup{"", "",
                     "wait 3000\nclick 200 82\nwait 500\ntext 10.0.0.7\nkey ENTER\nwait 1500\nsnapshot "
                     "entered.png\nclick 185 237\nwait 2500\nclose\n"};
    setup.moreSettings = configSettings(root_ + "/config.html", "panel.cfg", 0);
    setup.ownNetwork = path("net");
    Panel panel(path("p"), setup);
    ASSERT_EQ(panel.missingTool(), "") << "the adapter commands are only run in a network namespace of their own";
    ASSERT_EQ(panel.wait(30000), 0) << panel.output();
    EXPECT_EQ(readFile(panel.file("panel.cfg")), "# Panterm Config\n#\n" + start +
                                                     "PT_Config.Eth.Iface=0\nPT_Config.Eth.BootApply=0\n"
                                                     "PT_Config.Eth.IP=10.0.0.7\nPT_Config.Eth.Subnet=255.255.255.0\n"
                                                     "PT_Config.Eth.Gateway=10.0.0.1\n#EOF\n")
        << panel.log();
    EXPECT_EQ(netns::commands(path("net")), "ifconfig [eth0] [10.0.0.7] [netmask] [255.255.255.0] [up]\n"
                                            "route [del] [default] [dev] [eth0]\n"
                                            "route [add] [default] [gw] [10.0.0.1] [dev] [eth0]\n");
}
