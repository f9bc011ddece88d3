// The ILR read protocol: the choice of ILR, the request on the wire, the
// reading and parsing of replies (also bad ones), and the simulator's ILR
// endpoint.
#include <string>

#include "comm/ppo_update.h"
#include "comm/ilr_driver.h"
#include "comm/native_driver.h"
#include "comm_fixtures.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/platform.h"
#include "transport/http_client.h"
#include "view/view_manager.h"

namespace {

using std::string;

const char *pictureName() { return "Plant1"; }

class IlrTest : public CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        HK_hooks()->pictureOrderFileName = pictureName;
    }
    // A remote page on host with the given page parameters; the probe runs.
    void loadPage(const string &host, const string &params = "") { usePage(host, "Other.class", params); }
};

string items(const string &list) { return "<body><item_list>" + list + "</item_list></body>"; }

TEST_F(IlrTest, ThePageOrTheTargetChoosesIlr)
{
    RawServer plain(answer(httpReply("target\r\n")));
    loadPage(plain.host());
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE);
    ASSERT_EQ(plain.requests().size(), 1u);
    EXPECT_EQ(plain.requests()[0].substr(0, plain.requests()[0].find("\r\n\r\n") + 4),
              "GET /cgi-bin/GetSrvInfo.exe HTTP/1.0\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\nHost: " +
                  plain.host() + "\r\nCache-Control: no-cache\r\n\r\n");

    RawServer offering(answer(httpReply("target\r\nILR=1, V.1.0\r\n")));
    loadPage(offering.host());
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_ILR);

    RawServer silent(answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
    loadPage(silent.host(), "SOAPIF;ILR=1, V.1.0\n");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_ILR) << "the page demands ILR";
    EXPECT_TRUE(silent.requests().empty()) << "no probe";
    loadPage(silent.host(), "SOAPIF;ILR=2\n");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE);
    EXPECT_EQ(silent.requests().size(), 1u);
    loadPage(silent.host(), "SOAPIF;ILR\n");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_NATIVE) << "what an HTML page's value \"ILR=1, V.1.0\" becomes";
    EXPECT_EQ(log().find("ILR_readValues"), string::npos) << "probe errors are not reported\n" << log();
}

TEST_F(IlrTest, RequestCarriesTheReadListAndTheReplyFillsItByPosition)
{
    string reply = items("<i><n>A&amp;B</n><v>1</v></i><i><n>x</n><v>two words</v></i><i><n>c</n><v>" +
                         string(300, 'z') + "</v></i>");
    RawServer target(answer(httpReply(reply)));
    loadPage(target.host(), "SOAPIF;ILR=1, V.1.0\n");
    addPoints({"A&B", "T<1>", "Long"});
    setPointValue("Long", "old");

    EXPECT_EQ(Tarsel_refresh(0), 1);
    ASSERT_EQ(target.requests().size(), 1u);
    string request = target.requests()[0];
    string expected = string("<body><version>1.0</version><client>Panterm</client><client_ver>") + getAppVersion() +
                      "</client_ver><file_name>Plant1</file_name><item_list_size>3</item_list_size><item_list>"
                      "<i><n>A&amp;B</n></i><i><n>T&lt;1&gt;</n></i><i><n>Long</n></i></item_list></body>";
    EXPECT_EQ(requestBody(request), expected);
    EXPECT_EQ(request.substr(0, request.find("\r\n\r\n") + 4),
              "POST /cgi-bin/ILRReadValues.exe HTTP/1.1\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\nHost: " +
                  target.host() + "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                  std::to_string(expected.size()) + "\r\nCache-Control: no-cache\r\n\r\n");
    EXPECT_EQ(pointValue("A&B"), "1");
    EXPECT_EQ(pointValue("T<1>"), "two words") << "matched by position, not by name";
    EXPECT_EQ(pointValue("Long"), "old") << "a value of 300 characters is ignored";
    EXPECT_EQ(log().find("missmatch"), string::npos);
}

TEST_F(IlrTest, BadRepliesKeepValuesAndAreReportedOnTheLastAttempt)
{
    struct Case {
        string name, reply;
        bool read;       // the cycle counts as read
        string reported; // in the log afterwards ("" for nothing)
        string first;    // value of P1 afterwards
    } cases[] = {
        {"fewer items", httpReply(items("<i><n>P1</n><v>7</v></i>")), false, "counter missmatch", "Not available"},
        {"more items", httpReply(items("<i><v>1</v></i><i><v>2</v></i><i><v>3</v></i>")), false, "counter missmatch",
         "Not available"},
        {"no item list", httpReply("<body><list/></body>"), false, "ILR_readValues() failed! no item list\n",
         "Not available"},
        {"malformed", httpReply("<body><item_list><i><n>P1<v>5</i></item_list>"), false, "counter missmatch",
         "Not available"},
        {"deeply nested", httpReply("<item_list>" + string(20000, '<') + "i>"), false, "counter missmatch",
         "Not available"},
        {"without length, to the end",
         "HTTP/1.1 200 OK\r\n\r\n" + items("<i><n>P1</n><v>3</v></i><i><n>P2</n><v>4</v></i>"), true, "", "3"},
        {"cut before its length", "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<body><item_list><i><n>P1", false,
         "ILR_readValues() failed!Content-Length not reached\n - Nr. of bytes read: 25\n - Content-Length   : 500\n",
         "Not available"},
        {"error status", httpReply("boom", "500 Internal Server Error"), false,
         "ILR_readValues() failed!\nHTTP/1.1 500 Internal Server Error\n", "Not available"},
        {"no reply", "", false, "ILR_readValues() failed! nr. of bytes returned = 0\n", "Not available"},
    };
    for (const Case &c : cases) {
        RawServer target(answer(c.reply));
        loadPage(target.host(), "SOAPIF;ILR=1, V.1.0\n");
        addPoints({"P1", "P2"});
        setPointValue("P1", "old");
        size_t logged = log().size();
        EXPECT_EQ(Tarsel_refresh(0), c.read ? 1 : 0) << c.name;
        EXPECT_EQ(target.requests().size(), c.read ? 1u : 3u) << c.name << ": three attempts when not read";
        string added = log().substr(logged);
        if (c.reported.empty()) EXPECT_EQ(added.find("ILR_readValues"), string::npos) << c.name << "\n" << added;
        else EXPECT_EQ(countOf(added, c.reported), 1) << c.name << ": once, by the last attempt\n" << added;
        EXPECT_EQ(pointValue("P1"), c.first) << c.name;
    }
}

TEST_F(IlrTest, SimulatorAnswersTheSameProtocol)
{
    writeFile(path("values.txt"), "Pump.Run=1\nA&B=x<y\n");
    TargetSim sim;
    ASSERT_TRUE(sim.start(root(), path("sim.log"), {"--protocol", "ilr", "--values", path("values.txt")}));
    loadPage(sim.host());
    ASSERT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_ILR) << "announced through GetSrvInfo.exe";
    addPoints({"Pump.Run", "A&B", "sim.counter", "New"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("Pump.Run"), "1");
    EXPECT_EQ(pointValue("A&B"), "x<y");
    EXPECT_EQ(pointValue("New"), "0");
    EXPECT_FALSE(pointValue("sim.counter").empty());
    ASSERT_EQ(Tarsel_writeVal("Pump.Run", "0", PPO_VALUE_SIZE), 1) << "writes go through writeVal.exe";
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Pump.Run"), "0");
}

} // namespace
