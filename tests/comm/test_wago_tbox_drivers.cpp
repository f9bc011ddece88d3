// The WAGO and TBox drivers: order files, memory names and string words of
// WAGO, the value page and the write-return page of TBox, bad replies, and
// the simulator playing both.
#include <string>

#include "comm/native_driver.h"
#include "comm/tbox_driver.h"
#include "comm/wago_driver.h"
#include "comm_fixtures.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/network.h"
#include "transport/http_client.h"
#include "view/view_manager.h"

namespace {

using After = RawServer::After;
using std::string;

class DriverTest : public CommTest {};

// A WAGO target that takes every order and answers every value file with
// the text given.
RawServer::Script wagoTarget(const string &file)
{
    return [file](int fd, const string &request) {
        RawServer::sendText(fd, httpReply(request.find("OrderValues.exe") != string::npos ? "Done." : file));
        return After::Close;
    };
}

TEST_F(DriverTest, WagoOrdersInFilesBelow251BytesAndReadsThemAll)
{
    TargetSim sim;
    writeFile(path("sim.tcr"), "Name;MD100; ;10;String; ;\n");
    writeFile(path("values.txt"), "Name=abcdefghij\nMD3=33\n");
    ASSERT_TRUE(sim.start(root(), path("sim.log"),
                          {"--protocol", "wago", "--tcr", path("sim.tcr"), "--values", path("values.txt")}));
    usePage(sim.host(), "Wago.class", "", "Name;MD100; ;10;String; ;\n");
    ASSERT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_WAGO);
    for (int i = 0; i < 72; i++) ASSERT_EQ(PPO_addToList(("MD" + std::to_string(i)).c_str(), nullptr), 1);
    addPoints({"Name"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(WG_getOrderFileCount(), 2) << "72 double words and a 12-byte string: 300 bytes";
    EXPECT_EQ(pointValue("MD3"), "33");
    EXPECT_EQ(pointValue("MD71"), "0");
    EXPECT_EQ(pointValue("Name"), "abcdefghij");
    std::vector<string> lines = sim.logLines();
    std::vector<string> orders = linesWith(lines, "OrderValues.exe?");
    ASSERT_EQ(orders.size(), 2u);
    string head = string("GET /cgi-bin/OrderValues.exe?") + SYS_GetFixOrderFileName();
    EXPECT_EQ(orders[0].rfind(head + "_0+dummy+1000+MD0+MD1+", 0), 0u) << orders[0];
    EXPECT_NE(orders[0].find("+MD61 HTTP"), string::npos) << "62 words: 248 bytes, one more would reach 251";
    EXPECT_EQ(orders[1],
              head + "_1+dummy+1000+MD62+MD63+MD64+MD65+MD66+MD67+MD68+MD69+MD70+MD71+MD100+MD101+MD102 HTTP/1.1");
    std::vector<string> reads = linesWith(lines, "ReadFile.exe?");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_NE(reads[1].find("ReadFile.exe?" + string(SYS_GetFixOrderFileName()) + "_1 "), string::npos);

    // Strings are written word by word; without all bytes only up to the word with the end.
    ASSERT_EQ(Tarsel_writeVal("Name", "abc", PPO_VALUE_SIZE), 1);
    std::vector<string> writes = linesWith(sim.logLines(), "writeVal.exe?");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], "GET /cgi-bin/writeVal.exe?MD100+6513249 HTTP/1.1") << "a + b * 256 + c * 65536";
    EXPECT_EQ(writes[2], "GET /cgi-bin/writeVal.exe?MD102+0 HTTP/1.1");
    usePage(sim.host(), "Wago.class", "WAGO_WRITE_ALL_BYTES;0\n", "Name;MD100; ;10;String; ;\n");
    ASSERT_EQ(Tarsel_writeVal("Name", "xyz", PPO_VALUE_SIZE), 1);
    EXPECT_EQ(linesWith(sim.logLines(), "writeVal.exe?").size(), 4u) << "one word more";
    ASSERT_EQ(Tarsel_writeVal("MD3", "1 2", PPO_VALUE_SIZE), 1);
    EXPECT_EQ(linesWith(sim.logLines(), "writeVal.exe?").back(), "GET /cgi-bin/writeVal.exe?MD3+1+2 HTTP/1.1");
    addPoints({"Name", "MD3"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Name"), "xyz");
    EXPECT_EQ(pointValue("MD3"), "1 2");
}

TEST_F(DriverTest, WagoPointSizes)
{
    writeFile(path("page.tcr"), "S0;MD1; ;0;String; ;\nS10;MD2; ;10;string; ;\nS300;MD3; ;300;String; ;\n"
                                "Bad;QB4; ;10;String; ;\n");
    ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    struct Case {
        const char *name;
        bool isString;
        int size;
    } cases[] = {{"MD1", true, 32},   {"MD2", true, 12}, {"MD3", true, 252}, {"QB4", false, 1}, {"IW2", false, 2},
                 {"MX0.1", false, 2}, {"ID7", false, 4}, {"Mq", false, 4},   {"Temp", false, 4}};
    for (const Case &c : cases) {
        WagoPoint p = WG_pointOf(c.name, TCR_getTcrPointer(c.name));
        EXPECT_EQ(p.isString, c.isString) << c.name;
        EXPECT_EQ(p.size, c.size) << c.name;
    }
}

TEST_F(DriverTest, WagoBadRepliesAreReported)
{
    struct Case {
        string name, file, first, second, reported;
        int result;
    } cases[] = {
        {"CR LF", "MD0=12\r\nMB4=7\r\n", "12", "7", "", 1},
        {"fewer lines", "MD0=12\n", "12", "old", "", 1},
        {"not a memory name", "Error.\n", "old", "old", "readValues() failed!\nError.\n", 0},
        {"another variable", "MD0=1\nMB5=2\n", "1", "old",
         "readValues() failed!\n variable missmatch by reading: MB4\n", 0},
        {"no equals sign", "MD0\nMB4=2\n", "old", "old", "readValues() failed!\n", 0},
        {"value of 256 characters", "MD0=" + string(256, '9') + "\nMB4=3\n", "old", "3", "", 1},
    };
    for (const Case &c : cases) {
        RawServer target(wagoTarget(c.file));
        usePage(target.host(), "Wago.class");
        addPoints({"MD0", "MB4"});
        setPointValue("MD0", "old");
        setPointValue("MB4", "old");
        size_t logged = log().size();
        char orderReply[64];
        EXPECT_EQ(WG_orderValues(target.host().c_str(), "X+dummy+1", orderReply, sizeof orderReply, PPO_getList()), 1)
            << c.name;
        char reply[1024];
        EXPECT_EQ(WG_readValues(target.host().c_str(), "X", reply, sizeof reply, PPO_getList()), c.result) << c.name;
        EXPECT_EQ(pointValue("MD0"), c.first) << c.name;
        EXPECT_EQ(pointValue("MB4"), c.second) << c.name;
        string added = log().substr(logged);
        if (c.reported.empty()) EXPECT_EQ(added.find("failed"), string::npos) << c.name << added;
        else EXPECT_NE(added.find(c.reported), string::npos) << c.name << added;
    }

    // A string's words without an end byte fill the value to its size; a
    // string without its words' "=" stops there.
    RawServer words(wagoTarget("MD8=1684234849\r\nMD9=1684234849\r\nMD10=1684234849\r\nMD11"));
    usePage(words.host(), "Wago.class", "", "Text;MD8; ;16;String; ;\n");
    addPoints({"Text"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Text"), "abcdabcdabcd") << log();
    EXPECT_NE(log().find("readValues() failed!\n"), string::npos);

    RawServer refusing(answer(httpReply("Error.")));
    usePage(refusing.host(), "Wago.class");
    addPoints({"MD0"});
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_NE(log().find("orderValues() failed!\nError.\n"), string::npos);
    EXPECT_EQ(pointValue("MD0"), "Not available");
}

// Orders may name plain scalars, so a value file may begin with one; a reply
// that begins with no name of the order is still refused.
TEST_F(DriverTest, WagoRepliesThatBeginWithAPlainName)
{
    struct Case {
        string name, file, temp, level;
        int result;
    } cases[] = {
        {"plain name first", "Temp=21\r\nMD0=5\r\n", "21", "5", 1},
        {"error text", "Error.\n", "old", "old", 0},
        {"another plain name", "Level=3\nMD0=5\n", "old", "old", 0},
        {"the name as a prefix", "Temperature=3\nMD0=5\n", "old", "old", 0},
    };
    for (const Case &c : cases) {
        RawServer target(wagoTarget(c.file));
        usePage(target.host(), "Wago.class");
        addPoints({"Temp", "MD0"});
        setPointValue("Temp", "old");
        setPointValue("MD0", "old");
        size_t logged = log().size();
        EXPECT_EQ(Tarsel_refresh(0), c.result) << c.name;
        string added = log().substr(logged);
        if (c.result) {
            EXPECT_EQ(pointValue("Temp"), c.temp) << c.name;
            EXPECT_EQ(pointValue("MD0"), c.level) << c.name;
            EXPECT_EQ(added.find("failed"), string::npos) << c.name << added;
        } else {
            EXPECT_EQ(pointValue("Temp"), "Not available") << c.name;
            EXPECT_NE(added.find("readValues() failed!\n"), string::npos) << c.name << added;
        }
    }
}

TEST_F(DriverTest, TBoxReadsTheValuePageAndWritesThroughTheReturnPage)
{
    string page = "# values a=b\nP1=5\r\nx\n\nOther=9\nP2=hello world\n";
    RawServer target([page](int fd, const string &request) {
        RawServer::sendText(fd, request.find("TBoxWriteReturn") != string::npos ? httpReply("T_LEVEL=1\r\n")
                                                                                : "HTTP/1.1 200 OK\r\n\r\n" + page);
        return After::Close;
    });
    usePage(target.host(), "TBox.class", "TBOXPPOFileName;data/values.htm\n", "Level;Level; ; ; ; ; T_LEVEL ;\n");
    ASSERT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_TBOX);
    addPoints({"P1", "P2", "Level"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("P1"), "5");
    EXPECT_EQ(pointValue("P2"), "hello world");
    EXPECT_EQ(pointValue("Level"), "");
    EXPECT_EQ(PPO_lookup("Other"), nullptr) << "names the page does not show are not taken";
    EXPECT_EQ(log().find("Failed"), string::npos) << log();

    ASSERT_EQ(Tarsel_writeVal("Level", "1 2", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_writeVal("P1", "3", PPO_VALUE_SIZE), 1);
    std::vector<string> requests;
    for (const string &r : target.requests())
        if (r.find("GetSrvInfo") == string::npos) requests.push_back(r.substr(0, r.find("\r\n")));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "GET /data/values.htm HTTP/1.1");
    EXPECT_EQ(requests[1], "GET /TBoxWriteReturn.html?T_LEVEL=1+2&%24= HTTP/1.1") << "the address of the format";
    EXPECT_EQ(requests[2], "GET /TBoxWriteReturn.html?P1=3&%24= HTTP/1.1");

    // A page larger than the buffer: the line cut at its end is not taken.
    char small[24];
    setPointValue("P2", "old");
    EXPECT_EQ(TBX_readValues(target.host().c_str(), "", small, sizeof small, PPO_getList()), 1);
    EXPECT_EQ(pointValue("P1"), "5");
    EXPECT_EQ(pointValue("P2"), "old");

    usePage(target.host(), "TBox.class", "");
    addPoints({"P1"});
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(pointValue("P1"), "Not available");
    EXPECT_NE(log().find("readValues() failed!\n TBox value page (TBOXPPOFileName) missing\n"), string::npos);
}

// A page cut before its announced length, and pages that name none of the
// page's points (junk, empty): failed reads, whose points read "Not available".
TEST_F(DriverTest, TBoxPagesThatAreNotTheValuePageFail)
{
    string reply;
    RawServer target([&reply](int fd, const string &) {
        RawServer::sendText(fd, reply);
        return After::Close;
    });
    usePage(target.host(), "TBox.class", "TBOXPPOFileName;TBoxValues.html\n");
    addPoints({"P1"});
    const struct {
        string reply, what;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nP1=7\n", "cut before its length"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n\x01\x02\xFF junk \x7F", "junk"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "empty"},
    };
    for (const auto &c : cases) {
        reply = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nP1=5\n";
        ASSERT_EQ(Tarsel_refresh(0), 1) << c.what << "\n" << log();
        ASSERT_EQ(pointValue("P1"), "5");
        reply = c.reply;
        EXPECT_EQ(Tarsel_refresh(0), 0) << c.what;
        EXPECT_EQ(pointValue("P1"), "Not available") << c.what;
    }
    EXPECT_NE(log().find("readValues() failed!\n TBox value page without any point of the page\n"), string::npos);
}

TEST_F(DriverTest, SimulatorPlaysATBox)
{
    writeFile(path("values.txt"), "Pump.Run=0\n");
    TargetSim sim;
    ASSERT_TRUE(sim.start(root(), path("sim.log"), {"--protocol", "tbox", "--values", path("values.txt")}));
    usePage(sim.host(), "TBox.class", "TBOXPPOFileName;TBoxValues.html\n");
    addPoints({"Pump.Run", "sim.counter"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("Pump.Run"), "0");
    EXPECT_FALSE(pointValue("sim.counter").empty());
    ASSERT_EQ(Tarsel_writeVal("Pump.Run", "1", PPO_VALUE_SIZE), 1);
    EXPECT_EQ(Tarsel_writeVal("sim.counter", "1", PPO_VALUE_SIZE), 0) << "read-only";
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Pump.Run"), "1");
}

} // namespace
