#include "data_fixture.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "data/config_page.h"
#include "netns_runner.h"
#include "runtime/hooks.h"
#include "runtime/network.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

using std::string;

namespace {

int countOccurrences(const string &text, const string &part)
{
    int n = 0;
    for (size_t at = text.find(part); at != string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

string requestedPage;
int requestPage(const char *address)
{
    requestedPage = address;
    return 1;
}

// The configuration containers of a new project; "Eth.Iface" 10 in the file
// keeps the adapter out of reach of these cases (only 0 to 9 are applied),
// and outside a network namespace of its own only the recording stand-ins of
// the adapter commands are found through PATH, and must not be run.
class ConfigPage : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        requestedPage.clear();
        HK_hooks()->requestPageAfresh = requestPage;
        if (netns::inOwnNetwork()) return;
        const char *old = std::getenv("PATH");
        oldPath_ = old ? old : "";
        netns::writeStandIns(dir_);
        setenv("PATH", (dir_ + "/bin").c_str(), 1);
    }
    void TearDown() override
    {
        if (!netns::inOwnNetwork()) {
            EXPECT_EQ(netns::commands(dir_), "") << "adapter commands run outside a network namespace";
            setenv("PATH", oldPath_.c_str(), 1);
        }
        DataTest::TearDown();
    }
    string oldPath_;
    void useFile(const char *name, const string &content)
    {
        safe_strncpy(pterm.config_file, name, sizeof pterm.config_file);
        if (!content.empty()) writeFile(path(name), content);
        newProject();
    }
    static void newProject()
    {
        MU_init2();
        HT_resetContainers();
    }
    static void ticks(int n)
    {
        for (int i = 0; i < n; i++) PT_Config_entry();
    }
};

} // namespace

TEST_F(ConfigPage, FileIsWrittenInBothSeparatorFormsAndReadBack)
{
    struct Case {
        const char *file;
        char sep;
    };
    for (Case c : {Case{"panel.cfg", '='}, Case{"panel.CSV", ';'}, Case{"panel.csv.txt", '='}}) {
        SCOPED_TRACE(c.file);
        string s(1, c.sep);
        useFile(c.file, "PT_Config.Eth.Iface" + s + "10\n");
        setCo("PT_Config.Start.URL", "plant.html");
        setCo("PT_Config_Eth.IP", "192.168.1.20");
        setCo("PT_Config.Eth.Subnet", "255.255.255.0");
        setCo("PT_Config.Eth.Gateway", "192.168.1.1");
        setCo("PT_Config.Extra", "x" + s + "y");
        PTC_entry();
        EXPECT_EQ(co("PT_Config.Modified"), "1") << "nothing is saved until the save request";
        setCo("PT_Config_Save", "1");
        PTC_entry();
        EXPECT_EQ(readFile(path(c.file)), "# Panterm Config\n#\nPT_Config.Start.Timeout" + s +
                                              "25\nPT_Config.Start.URL" + s + "plant.html\nPT_Config.Eth.Iface" + s +
                                              "10\nPT_Config.Eth.BootApply" + s + "0\nPT_Config.Eth.IP" + s +
                                              "192.168.1.20\nPT_Config.Eth.Subnet" + s +
                                              "255.255.255.0\nPT_Config.Eth.Gateway" + s +
                                              "192.168.1.1\nPT_Config.Extra" + s + "x" + s + "y\n#EOF\n");
        EXPECT_EQ(co("PT_Config.Modified"), "0");
        EXPECT_EQ(co("PT_Config.Save"), "0");
        EXPECT_FALSE(fileExists(path(string(c.file) + ".tmp")));

        newProject();
        EXPECT_EQ(co("PT_Config.Start.URL"), "plant.html");
        EXPECT_EQ(co("PT_Config_eth.ip"), "192.168.1.20") << "names ignore case and their first ten characters";
        EXPECT_EQ(co("PT_Config.Extra"), "x" + s + "y") << "split at the first separator";
        EXPECT_EQ(co("PT_Config.Start.Timeout"), "25") << "the same after every reload";
    }
}

TEST_F(ConfigPage, BadFilesKeepTheRestAndNeverCrash)
{
    string longValue(1100, 'v');
    useFile("panel.cfg", "PT_Config.Eth.Iface=10\n"
                         "#PT_Config.Start.URL=commented.html\n"
                         "PT_Config.Start.URL=first.html\r\n"
                         "PT_Config.Start.URL=second.html\n"
                         "no separator here\n"
                         "x\n"
                         "\n"
                         "Short=1\n"
                         "PT_Config.Long=" +
                             longValue +
                             "\n"
                             "PT_Config.After=ok\n"
                             "PT_Config." +
                             string(200, 'n') +
                             "=too long a name\n"
                             "PT_Config.Cut=in the mid");
    EXPECT_EQ(co("PT_Config.Start.URL"), "second.html") << "the later of repeated names, CRLF taken";
    EXPECT_EQ(co("PT_Config.Long"), longValue.substr(0, 31)) << "cut to its 32-byte buffer";
    EXPECT_EQ(co("PT_Config.After"), "ok") << "the line after a long one is not split into two";
    EXPECT_EQ(co("PT_Config.Cut"), "in the mid") << "a last line without its end";
    EXPECT_EQ(co("PT_Config.Modified"), "0");

    setCo("PT_Config.Start.URL", string(2000, 'u'));
    EXPECT_EQ(co("PT_Config.Start.URL"), string(255, 'u'));
    setCo("PT_Config.Save", "1");
    PTC_entry();
    string saved = readFile(path("panel.cfg"));
    EXPECT_EQ(saved.find("#PT_Config.Start.URL"), string::npos);
    EXPECT_EQ(saved.find("Short"), string::npos) << "names without a configuration prefix are not taken";
    EXPECT_EQ(saved.find("nnnnnnnn"), string::npos);
    EXPECT_NE(saved.find("PT_Config.Start.URL=" + string(255, 'u') + "\n"), string::npos);
}

TEST_F(ConfigPage, SaveAndReloadRequests)
{
    useFile("panel.cfg", "PT_Config.Eth.Iface=10\nPT_Config.Start.URL=a.html\n");
    setCo("PT_Config.Save", "1");
    PTC_entry();
    EXPECT_EQ(readFile(path("panel.cfg")).find("#EOF"), string::npos) << "nothing modified, nothing saved";
    EXPECT_EQ(co("PT_Config.Save"), "1") << "the request waits for a change";

    mkdir(path("blocked.cfg").c_str(), 0755);
    safe_strncpy(pterm.config_file, "blocked.cfg", sizeof pterm.config_file);
    setCo("PT_Config.Start.URL", "b.html");
    PTC_entry();
    EXPECT_EQ(co("PT_Config.Modified"), "1") << "a save that fails is tried again";
    safe_strncpy(pterm.config_file, "panel.cfg", sizeof pterm.config_file);
    PTC_entry();
    EXPECT_EQ(co("PT_Config.Modified"), "0");
    EXPECT_NE(readFile(path("panel.cfg")).find("PT_Config.Start.URL=b.html\n"), string::npos);

    writeFile(path("panel.cfg"), "PT_Config.Start.URL=c.html\n");
    setCo("PT_Config.Start.URL", "unsaved.html");
    setCo("PT_Config.Reload", "1");
    PTC_entry();
    EXPECT_EQ(co("PT_Config.Start.URL"), "c.html");
    EXPECT_EQ(co("PT_Config.Reload"), "0");
    EXPECT_EQ(co("PT_Config.Modified"), "0");
}

TEST_F(ConfigPage, ControlValuesAndUnknownNames)
{
    useFile("panel.cfg", "PT_Config.Eth.Iface=10\n");
    EXPECT_EQ(co("PT_Config.New"), "") << "created empty";
    setCo("PT_Config.Counter", "99");
    setCo("PT_Config.Modified", "1");
    EXPECT_EQ(co("PT_Config.Modified"), "0") << "control values that only report ignore writes";
    EXPECT_EQ(co("PT_Config_Eth.Name"), "eth0");
    setCo("PT_Config.Start.Timeout", "0");
    setCo("PT_Config.Start.Timeout", "-3");
    setCo("PT_Config.Start.Timeout", "soon");
    EXPECT_EQ(co("PT_Config.Start.Timeout"), "25") << "time-outs below 1 change nothing";
    EXPECT_EQ(co("PT_Config.Modified"), "0");
    EXPECT_EQ(CO_getHtmlCacheObjPtr("PT_Config.Start.Timeout"), nullptr) << "not an ordinary container either";
}

TEST_F(ConfigPage, CountdownLoadsTheStartPage)
{
    useFile("panel.cfg", "PT_Config.Eth.Iface=10\n");
    safe_strncpy(pterm.start_page, "fallback.html", sizeof pterm.start_page);
    setCo("PT_Config.Start.Timeout", "3");
    setCo("PT_Config.Ready", "1");
    EXPECT_EQ(co("PT_Config_Counter"), "3");
    EXPECT_EQ(co("PT_Config.Counter"), "3") << "underscore and dot alike";
    ticks(5);
    EXPECT_EQ(co("PT_Config.Counter"), "0");
    EXPECT_EQ(requestedPage, "") << "six ticks for a time-out of 3";
    ticks(1);
    EXPECT_EQ(requestedPage, "Default.html");
    ticks(20);
    EXPECT_EQ(requestedPage, "Default.html") << "once";

    requestedPage.clear();
    setCo("PT_Config.Start.URL", "");
    setCo("PT_Config.Ready", "1");
    ticks(2);
    setCo("PT_Config.Ready", "0");
    EXPECT_EQ(co("PT_Config.Counter"), "-5") << "stopped";
    ticks(20);
    EXPECT_EQ(requestedPage, "");
    setCo("PT_Config.Ready", "1");
    ticks(6);
    EXPECT_EQ(requestedPage, "fallback.html") << "an empty start page falls back to the setting";
}

// "Ready" only starts and stops the countdown: it is no stored value, so it
// neither marks the page modified nor goes into the file.
TEST_F(ConfigPage, ReadyIsAPureControl)
{
    useFile("panel.cfg", "PT_Config.Eth.Iface=10\nPT_Config.Ready=1\n");
    EXPECT_EQ(co("PT_Config.Counter"), "0") << "a Ready line of the file starts nothing";
    setCo("PT_Config.Ready", "1");
    EXPECT_EQ(co("PT_Config.Counter"), "25");
    EXPECT_EQ(co("PT_Config.Ready"), "1") << "reads what was written last";
    EXPECT_EQ(co("PT_Config.Modified"), "0");
    setCo("PT_Config.Save", "1");
    PTC_entry();
    EXPECT_EQ(readFile(path("panel.cfg")).find("#EOF"), string::npos) << "nothing edited, nothing saved";

    setCo("PT_Config.Start.URL", "b.html");
    PTC_entry();
    string saved = readFile(path("panel.cfg"));
    EXPECT_NE(saved.find("PT_Config.Start.URL=b.html\n"), string::npos) << saved;
    EXPECT_EQ(saved.find("Ready"), string::npos) << saved;
    setCo("PT_Config.Ready", "0");
    EXPECT_EQ(co("PT_Config.Ready"), "0");
    EXPECT_EQ(co("PT_Config.Modified"), "0");
}

TEST_F(ConfigPage, DisabledWithoutAFileName)
{
    pterm.config_file[0] = '\0';
    newProject();
    char buffer[256];
    EXPECT_EQ(PT_ConfigRead("PT_Config.Start.URL", buffer), 0);
    EXPECT_EQ(PT_ConfigReadPtr("PT_Config.Start.URL"), nullptr);
    EXPECT_EQ(PT_ConfigWrite("PT_Config.Ready", "1"), 0);
    ticks(200);
    PTC_entry();
    EXPECT_EQ(requestedPage, "");
}

// Cases that make the panel run "ifconfig" and "route": they run only inside a
// network namespace of their own, started by the case after them.
class ConfigPageInOwnNetwork : public ConfigPage {
protected:
    void SetUp() override
    {
        ConfigPage::SetUp();
        ASSERT_TRUE(netns::inOwnNetwork()) << "refusing to run adapter commands in the host's network";
        dir = netns::standInDir();
        std::remove((dir + "/commands.txt").c_str());
    }
    string commands() const { return netns::commands(dir); }
    string dir;
};

TEST_F(ConfigPageInOwnNetwork, DISABLED_SavedEthernetValuesAreApplied)
{
    useFile("panel.cfg", "");
    EXPECT_EQ(co("PT_Config.Eth.IP"), "10.0.0.5") << "the adapter's actual values are taken in";
    EXPECT_EQ(co("PT_Config.Eth.Subnet"), "255.255.255.0");
    EXPECT_EQ(co("PT_Config.Eth.Gateway"), "10.0.0.1");
    EXPECT_EQ(commands(), "");
    setCo("PT_Config.Eth.IP", "10.0.0.7");
    setCo("PT_Config.Eth.Gateway", "10.0.0.2");
    PTC_entry();
    EXPECT_EQ(commands(), "") << "not before the save";
    setCo("PT_Config.Save", "1");
    PTC_entry();
    EXPECT_EQ(commands(), "ifconfig [eth0] [10.0.0.7] [netmask] [255.255.255.0] [up]\n"
                          "route [del] [default] [dev] [eth0]\n"
                          "route [add] [default] [gw] [10.0.0.2] [dev] [eth0]\n");
    EXPECT_EQ(co("PT_Config.Eth.IP"), "10.0.0.5") << "the actual address is read back";
    setCo("PT_Config.Start.URL", "x.html");
    setCo("PT_Config.Save", "1");
    PTC_entry();
    EXPECT_EQ(countOccurrences(commands(), "ifconfig"), 1) << "only changed Ethernet values are applied";
}

TEST_F(ConfigPageInOwnNetwork, DISABLED_InvalidAddressesAreNeverApplied)
{
    struct Case {
        const char *field;
        string value;
    };
    const std::vector<Case> cases = {
        {"PT_Config.Eth.IP", "256.1.1.1"},
        {"PT_Config.Eth.IP", " 1.2.3.4"},
        {"PT_Config.Eth.IP", "1.2.3.4; reboot"},
        {"PT_Config.Eth.IP", ""},
        {"PT_Config.Eth.IP", string(100, '1')},
        {"PT_Config.Eth.IP", "1.2.3"},
        {"PT_Config.Eth.IP", "1.2.3.4.5"},
        {"PT_Config.Eth.IP", "+1.2.3.4"},
        {"PT_Config.Eth.IP", "192.168.001.010"},
        {"PT_Config.Eth.Subnet", "255.255.255.000"},
        {"PT_Config.Eth.Subnet", "255.255.255.0 up"},
        {"PT_Config.Eth.Gateway", "1.2.3.4; reboot"},
        {"PT_Config.Eth.Gateway", "$(reboot)"},
        {"PT_Config.Eth.Iface", "0; reboot"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(string(c.field) + " = \"" + c.value + "\"");
        useFile("panel.cfg", "");
        setCo(c.field, c.value);
        setCo("PT_Config.Save", "1");
        PTC_entry();
        EXPECT_EQ(co("PT_Config.Modified"), "0") << "saved all the same";
        EXPECT_EQ(commands(), "");
    }
    EXPECT_NE(log().find("Ethernet values not applied, invalid address"), string::npos);
    for (const char *bad : {"256.1.1.1", " 1.2.3.4", "1.2.3.4; reboot", "", "01234.1.1.1"}) {
        EXPECT_EQ(linutil_applyEthernet(0, bad, "255.0.0.0", ""), -2) << bad;
        EXPECT_EQ(linutil_applyEthernet(0, "10.0.0.1", bad, ""), -3) << bad;
    }
    EXPECT_EQ(commands(), "");
    EXPECT_EQ(linutil_applyEthernet(3, "10.0.0.9", "255.0.0.0", "0.0.0.0"), 0);
    EXPECT_EQ(commands(), "ifconfig [eth3] [10.0.0.9] [netmask] [255.0.0.0] [up]\n") << "no default route on eth3";
}

TEST_F(ConfigPageInOwnNetwork, DISABLED_BootApplyOnceAtTheFirstInitialisation)
{
    useFile("panel.cfg", "PT_Config.Eth.BootApply=1\nPT_Config.Eth.IP=10.0.0.9\nPT_Config.Eth.Subnet=255.255.0.0\n"
                         "PT_Config.Eth.Gateway=0.0.0.0\n");
    EXPECT_EQ(commands(), "ifconfig [eth0] [10.0.0.9] [netmask] [255.255.0.0] [up]\n"
                          "route [del] [default] [dev] [eth0]\n");
    EXPECT_EQ(co("PT_Config.Modified"), "0");
    newProject();
    EXPECT_EQ(countOccurrences(commands(), "ifconfig"), 1) << "once per program run";
}

class ConfigPageCommands : public TempDirTest {};

TEST_F(ConfigPageCommands, RunInANetworkNamespaceOfTheirOwn)
{
    netns::runCasesInOwnNetwork(dir_, "ConfigPageInOwnNetwork.*");
}
