// The demo plant against the simulator in every protocol, end to end: the
// real panel (headless) opens the protocol's demo page, the tank level follows
// the simulated ramp, and a click on Start reaches the simulator as the exact
// request of that protocol, as its log shows.
#include "test_support.h"

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

struct Protocol {
    string name, page;
    // The request lines (and body line) of the write of Pump.Run = 1.
    std::vector<std::regex> write;
    string readRequest; // a request every read cycle makes
};

const char *const kOpcWrite =
    "body text <\\?xml version=\"1\\.0\" encoding=\"utf-8\"\\?><soap:Envelope "
    "xmlns:soap=\"http://schemas\\.xmlsoap\\.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www\\.w3\\.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www\\.w3\\.org/2001/XMLSchema\">"
    "<soap:Body><Write xmlns=\"http://opcfoundation\\.org/webservices/XMLDA/1\\.0/\" ReturnValuesOnReply=\"false\">"
    "<Options ReturnDiagnosticInfo=\"true\" ReturnItemTime=\"false\" ReturnItemPath=\"true\" ReturnItemName=\"true\" />"
    "<ItemList><Items ItemPath=\"\" ItemName=\"Pump\\.Run\"><Value xsi:type=\"xsd:string\">1</Value></Items></ItemList>"
    "</Write></soap:Body></soap:Envelope>\\\\r\\\\n";

std::vector<Protocol> protocols()
{
    return {
        {"ilr",
         "start.html",
         {std::regex("GET /cgi-bin/writeVal\\.exe\\?Pump\\.Run\\+1 HTTP/1\\.1")},
         "POST /cgi-bin/ILRReadValues.exe HTTP/1.1"},
        {"opc",
         "start-opc.html",
         {std::regex("POST /opcxmlda HTTP/1\\.1"), std::regex(kOpcWrite)},
         "POST /opcxmlda HTTP/1.1"},
        {"s7",
         "start-s7.html",
         {std::regex("POST /__S7Sys/put/bin/rs/0/2/sps7 HTTP/1\\.1"),
          std::regex(
              "body hex 32 01 00 00 [0-9A-F]{2} [0-9A-F]{2} 00 0E 00 05 05 01 12 0A 10 01 00 01 00 0A 84 00 00 40 "
              "FF 03 00 01 01")},
         "POST /__S7Sys/get/bin/rs/0/2/sps7 HTTP/1.1"},
        {"wago",
         "start-wago.html",
         {std::regex("GET /cgi-bin/writeVal\\.exe\\?MX10\\.0\\+1 HTTP/1\\.1")},
         "GET /cgi-bin/ReadFile.exe?"},
        {"tbox",
         "start-tbox.html",
         {std::regex("GET /TBoxWriteReturn\\.html\\?Pump\\.Run=1&%24= HTTP/1\\.1")},
         "GET /TBoxValues.html HTTP/1.1"},
    };
}

std::vector<string> lines(const string &text)
{
    std::vector<string> out;
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        if (end == string::npos) end = text.size();
        out.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return out;
}

// Whether the log holds the lines matching the patterns one after the other.
bool hasSequence(const string &log, const std::vector<std::regex> &patterns)
{
    std::vector<string> all = lines(log);
    for (size_t i = 0; i + patterns.size() <= all.size(); i++) {
        size_t k = 0;
        while (k < patterns.size() && std::regex_match(all[i + k], patterns[k])) k++;
        if (k == patterns.size()) return true;
    }
    return false;
}

class ProtocolsE2E : public TempDirTest {};

} // namespace

TEST_F(ProtocolsE2E, DemoPlantRunsOnEveryProtocol)
{
    string root = path("root");
    copyDemo(root, 200);
    std::vector<Protocol> all = protocols();
    std::vector<std::unique_ptr<Target>> targets;
    std::vector<std::unique_ptr<Panel>> panels;
    // The panels live long enough for the level to be seen moving on each of
    // them also when five of them and their simulators share a busy machine.
    const string script = "wait 15000\nclick 185 237\nwait 3000\nsnapshot started.png\nclose\n";
    for (const Protocol &p : all) {
        string page = readFile(root + "/" + p.page);
        size_t period = page.find("\"Period\" value=\"500\"");
        if (period != string::npos) page.replace(period, 20, "\"Period\" value=\"200\"");
        writeFile(root + "/" + p.page, page);
        std::vector<string> extra = {"--protocol", p.name};
        if (fileExists(root + "/plant-" + p.name + ".tcr"))
            extra.insert(extra.end(), {"--tcr", root + "/plant-" + p.name + ".tcr"});
        targets.push_back(std::make_unique<Target>(path("t-" + p.name), root, root + "/values.txt", 0, extra));
        ASSERT_TRUE(targets.back()->ok()) << p.name;
        panels.push_back(
            std::make_unique<Panel>(path("p-" + p.name), PanelSetup{targets.back()->url(p.page), "", script}));
    }

    // The level follows the ramp on every panel while they run side by side.
    std::vector<std::set<int>> levels(all.size());
    auto enough = [&] {
        bool done = true;
        for (size_t i = 0; i < all.size(); i++) {
            Image img = panels[i]->screen();
            if (img.width > 0 && img.at(300, 5) == kHeader) levels[i].insert(levelTop(img));
            done = done && levels[i].size() >= 3;
        }
        return done;
    };
    EXPECT_TRUE(waitUntil(enough, 40000));
    for (size_t i = 0; i < all.size(); i++) {
        const Protocol &p = all[i];
        EXPECT_GE(levels[i].size(), 3u) << p.name << ": the tank level moves with sim.ramp\n" << panels[i]->log();
        EXPECT_EQ(panels[i]->wait(40000), 0) << p.name << "\n" << panels[i]->output();
        string requests = targets[i]->requests();
        EXPECT_TRUE(hasSequence(requests, p.write)) << p.name << ": the write of Start\n" << requests;
        EXPECT_NE(requests.find(p.readRequest), string::npos) << p.name;
        EXPECT_EQ(requests.find("OrderValues.exe") != string::npos, p.name == "wago") << p.name << ": only WAGO orders";
        Image started = readPng(panels[i]->file("started.png"));
        ASSERT_GT(started.width, 0) << p.name;
        EXPECT_EQ(started.at(250, 155), kRunning) << p.name << ": the pump runs after Start";
        EXPECT_EQ(panels[i]->log().find("Error"), string::npos) << p.name << "\n" << panels[i]->log();
    }
}

// The Modbus demo: the simulator's Modbus device on a port of its own (which
// the page it serves carries), the level moving on the panel, and Start
// writing the pump's coil, read back by mbpoll, another Modbus client.
TEST_F(ProtocolsE2E, ModbusDemoPlantWritesThePumpsCoil)
{
    FILE *probe = popen("command -v mbpoll", "r");
    char found[256] = "";
    bool haveMbpoll = probe && std::fgets(found, sizeof found, probe) != nullptr;
    if (probe) pclose(probe);
    ASSERT_TRUE(haveMbpoll) << "mbpoll not found: install the Debian package mbpoll";
    string root = path("root");
    copyDemo(root, 200);
    int modbusPort = freeLoopbackPort();
    Target target(
        path("t"), root, root + "/values.txt", 0,
        {"--protocol", "modbus", "--tcr", root + "/plant-modbus.tcr", "--modbus-port", std::to_string(modbusPort)});
    ASSERT_TRUE(target.ok());
    Panel panel(path("p"), PanelSetup{target.url("start-modbus.html"), "",
                                      "wait 6000\nclick 185 237\nwait 3000\nsnapshot started.png\nclose\n"});
    std::set<int> levels;
    EXPECT_TRUE(waitUntil(
        [&] {
            Image img = panel.screen();
            if (img.width > 0 && img.at(300, 5) == kHeader) levels.insert(levelTop(img));
            return levels.size() >= 3;
        },
        20000))
        << "the tank level moves with sim.ramp\n"
        << panel.log();
    EXPECT_EQ(panel.wait(30000), 0) << panel.output();
    Image started = readPng(panel.file("started.png"));
    ASSERT_GT(started.width, 0);
    EXPECT_EQ(started.at(250, 155), kRunning) << "the pump runs after Start";
    string command = "mbpoll -m tcp -a 1 -0 -1 -t 0 -r 0 -p " + std::to_string(modbusPort) + " 127.0.0.1 2>&1";
    FILE *mbpoll = popen(command.c_str(), "r");
    ASSERT_NE(mbpoll, nullptr);
    string reply;
    for (char line[256]; std::fgets(line, sizeof line, mbpoll);) reply += line;
    EXPECT_EQ(pclose(mbpoll), 0) << reply;
    EXPECT_NE(reply.find("[0]: \t1"), string::npos) << reply;
    EXPECT_EQ(panel.log().find("Modbus"), string::npos) << panel.log();
}
