// The OPC XML-DA driver: its SOAP bodies checked by an XML parser of its own
// (xmllint), the exchange on the wire, the parsing of good and bad replies,
// the busy flag between a reading and a writing thread, and the simulator's
// OPC service.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "comm/ppo_update.h"
#include "comm/native_driver.h"
#include "comm/opc_driver.h"
#include "comm_fixtures.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "transport/http_client.h"
#include "view/view_manager.h"

namespace {

using After = RawServer::After;
using std::string;

class OpcTest : public CommTest {
protected:
    void useService(const string &host, const string &path)
    {
        usePage(host, "Beckhoff.class", "XMLOPCWebserviceAdress;" + path + "\n");
    }
    // Runs xmllint on the text: its output, and in *ok whether it succeeded.
    string xmllint(const string &xml, const string &arguments, bool *ok)
    {
        writeFile(path("body.xml"), xml);
        return runCommand("xmllint " + arguments + " " + path("body.xml") + " 2>&1", ok);
    }
    string xpath(const string &xml, const string &expression)
    {
        bool ok = false;
        string out = xmllint(xml, "--xpath \"" + expression + "\"", &ok);
        EXPECT_TRUE(ok) << expression << "\n" << out;
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
};

bool haveXmllint() { return std::system("command -v xmllint >/dev/null 2>&1") == 0; }

string envelope(const string &inner)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><SOAP-ENV:Envelope "
           "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:ns1=\"http://opcfoundation.org/webservices/XMLDA/1.0/\"><SOAP-ENV:Body>" +
           inner + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

string item(const string &name, const string &type, const string &value)
{
    return "<ns1:Items xsi:type=\"ns1:ItemValue\" ItemPath=\"\" ItemName=\"" + name + "\"" +
           "><ns1:Value xsi:type=\"xsd:" + type + "\">" + value + "</ns1:Value></ns1:Items>";
}

string readResponse(const string &items)
{
    return envelope("<ns1:ReadResponse><ns1:ReadResult/><ns1:RItemList>" + items +
                    "</ns1:RItemList></ns1:ReadResponse>");
}

TEST_F(OpcTest, RequestBodiesPassAnXmlParser)
{
    ASSERT_TRUE(haveXmllint()) << "xmllint is missing: install libxml2-utils (scripts/install-deps.sh)";
    addPoints({"Temp1", "A\"B<&>'", "Grad\xB0"});
    static char read[BH_BUFFER_SIZE];
    int length = BH_buildReadRequest(PPO_getList(), read, sizeof read);
    ASSERT_GT(length, 0);
    string body(read, static_cast<size_t>(length));
    EXPECT_EQ(body.substr(body.find("<soap:Body>")),
              "<soap:Body><Read xmlns=\"http://opcfoundation.org/webservices/XMLDA/1.0/\"><Options "
              "ReturnErrorText=\"true\" ReturnDiagnosticInfo=\"false\" ReturnItemTime=\"false\" "
              "ReturnItemPath=\"true\" ReturnItemName=\"true\" /><ItemList><Items ItemPath=\"\" ItemName=\"Temp1\" />"
              "<Items ItemPath=\"\" ItemName=\"A&quot;B&lt;&amp;&gt;&apos;\" /><Items ItemPath=\"\" "
              "ItemName=\"Grad&#176;\" /></ItemList></Read></soap:Body></soap:Envelope>\r\n");
    bool ok = false;
    string out = xmllint(body, "--noout", &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(xpath(body, "namespace-uri(/*)"), "http://schemas.xmlsoap.org/soap/envelope/");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Items'][2]/@ItemName)"), "A\"B<&>'");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Items'][3]/@ItemName)"), "Grad\xC2\xB0")
        << "the byte as a character";

    static char write[BH_BUFFER_SIZE];
    length = BH_buildWriteRequest("Tank\"1", "string", "1 < 2 & \"x\"\r\n\xE4", write, sizeof write);
    ASSERT_GT(length, 0);
    body.assign(write, static_cast<size_t>(length));
    out = xmllint(body, "--noout", &ok);
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(xpath(body, "local-name(/*/*/*)"), "Write");
    EXPECT_EQ(xpath(body, "string(/*/*/*/@ReturnValuesOnReply)"), "false");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Options']/@ReturnDiagnosticInfo)"), "true");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Items']/@ItemName)"), "Tank\"1");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Value'])"), "1 < 2 & \"x\"\r\n\xC3\xA4");
    EXPECT_EQ(xpath(body, "string(//*[local-name()='Value']/@*[local-name()='type'])"), "xsd:string");
    EXPECT_EQ(xpath(body, "namespace-uri(//*[local-name()='Value']/@*[local-name()='type'])"),
              "http://www.w3.org/2001/XMLSchema-instance");
    EXPECT_NE(body.find(">1 &lt; 2 &amp; &quot;x&quot;&#xD;&#xA;&#228;</Value>"), string::npos) << body;

    EXPECT_EQ(BH_buildWriteRequest("x", "string", "value", write, 100), -1) << "a body that does not fit";
}

TEST_F(OpcTest, ValueFormatsGiveTheXmlTypes)
{
    writeFile(path("page.tcr"), "Level;R 1;0;100;flt2dec.2;%;\nCount;R 2;0;1000;DEC.1; ;\nFlag;R 3; ; ;boolean; ;\n"
                                "Text;R 4;0;10;string; ;\n");
    ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    EXPECT_STREQ(BH_typeOf("R 1"), "float");
    EXPECT_STREQ(BH_typeOf("Count"), "int") << "a symbol too";
    EXPECT_STREQ(BH_typeOf("R 3"), "boolean") << "another format is the type itself";
    EXPECT_STREQ(BH_typeOf("R 4"), "string");
    EXPECT_STREQ(BH_typeOf("Unformatted"), "string");
}

TEST_F(OpcTest, ExchangeOnTheWire)
{
    string reply = readResponse(item("Temp1", "double", "21.5") + item("Flag", "boolean", "false"));
    RawServer target([&](int fd, const string &request) {
        if (request.rfind("GET ", 0) == 0) RawServer::sendText(fd, httpReply("service"));
        else if (request.find("/Read\"") != string::npos) RawServer::sendText(fd, httpReply(reply));
        else RawServer::sendText(fd, httpReply(envelope("<ns1:WriteResponse/>")));
        return After::Close;
    });
    useService(target.host(), "//opc/svc.asmx");
    EXPECT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_OPC);
    addPoints({"Temp1", "Flag"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("Temp1"), "21.5");
    EXPECT_EQ(pointValue("Flag"), "0");
    ASSERT_EQ(Tarsel_writeVal("Temp1", "a<b", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_refresh(0), 1);

    std::vector<string> requests;
    for (const string &r : target.requests())
        if (r.find("GetSrvInfo.exe") == string::npos) requests.push_back(r);
    ASSERT_EQ(requests.size(), 4u) << "the probe once per page, then the Read, the Write and a Read";
    string host = target.host();
    EXPECT_EQ(requests[0], "GET /opc/svc.asmx HTTP/1.0\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\nHost: " +
                               host + "\r\nCache-Control: no-cache\r\n\r\n");
    string head = requests[1].substr(0, requests[1].find("\r\n\r\n") + 4);
    string body = requests[1].substr(head.size());
    EXPECT_EQ(head, "POST /opc/svc.asmx HTTP/1.1\r\nUser-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\nHost: " + host +
                        "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\nAccept-Language: *\r\nCache-Control: no-cache\r\nSOAPAction: "
                        "\"http://opcfoundation.org/webservices/XMLDA/1.0/Read\"\r\n\r\n");
    EXPECT_NE(requests[2].find("SOAPAction: \"http://opcfoundation.org/webservices/XMLDA/1.0/Write\"\r\n"),
              string::npos);
    EXPECT_NE(requests[2].find("<Items ItemPath=\"\" ItemName=\"Temp1\"><Value xsi:type=\"xsd:string\">a&lt;b</Value>"),
              string::npos)
        << requests[2];
    EXPECT_EQ(log().find("Failed"), string::npos) << log();
}

TEST_F(OpcTest, RepliesGoodAndBad)
{
    addPoints({"P1", "P2"});
    struct Case {
        string name, reply, p1, p2, reported;
    } cases[] = {
        {"values in order, not by name", readResponse(item("P2", "int", "5") + item("P1", "double", "1.5")), "5", "1.5",
         ""},
        {"booleans", readResponse(item("P1", "boolean", "true") + item("P2", "boolean", "TRUE")), "1", "0", ""},
        {"strings unescaped",
         readResponse(item("P1", "string", "a&lt;b&gt;&amp;&quot;&apos;&#65;&#x42;") + item("P2", "string", "&lt;")),
         "a<b>&\"'AB", "<", ""},
        {"escapes without a semicolon or unknown",
         readResponse(item("P1", "string", "x &amp y &#x; &nbsp; &#300;") + item("P2", "int", "&lt;5")),
         "x &amp y &#x; &nbsp; &#300;", "&lt;5", ""},
        {"result id without a value",
         readResponse("<ns1:Items xsi:type=\"ns1:ItemValue\" ItemPath=\"\" ItemName=\"P1\" "
                      "ResultID=\"E_UNKNOWNITEMNAME\"/>" +
                      item("P2", "int", "3")),
         "Not available", "3", "Failed to read values from target!\nResultID=\"E_UNKNOWNITEMNAME\"/\n\n"},
        {"fewer items", readResponse(item("P1", "int", "4")), "4", "old",
         "Failed to read values from target!\n counter missmatch\n"},
        {"values of 256 characters",
         readResponse(item("P1", "string", string(256, 'x')) + item("P2", "string", string(255, 'y'))), "old",
         string(255, 'y'), ""},
        {"other prefixes", "<a:ReadResponse><a:Items xsi:type=\"a:ItemValue\" ItemName=\"P1\"><a:Value>1</a:Value>",
         "old", "old", "Failed to read values from target!\n"},
        {"SOAP fault", envelope("<SOAP-ENV:Fault><faultstring>Busy</faultstring></SOAP-ENV:Fault>"), "old", "old",
         "Failed to read values from target!\n<SOAP-ENV:Fault><faultstring>Busy"},
        {"errors element",
         envelope("<ns1:ReadResponse><ns1:RItemList>" + item("P1", "int", "1") + item("P2", "int", "2") +
                  "</ns1:RItemList><ns1:Errors ID=\"E_FAIL\"><ns1:Text>bad</ns1:Text></ns1:Errors></ns1:ReadResponse>"),
         "1", "2",
         "Failed to read values from target!\n<ns1:Errors ID=\"E_FAIL\"><ns1:Text>bad</ns1:Text></ns1:Errors>\n\n"},
        {"cut in an item",
         envelope("<ns1:ReadResponse><ns1:RItemList>" + item("P1", "int", "7")) +
             "<ns1:Items xsi:type=\"ns1:ItemValue\" ItemName=\"P2",
         "7", "old", "counter missmatch"},
        {"cut in a value",
         envelope("<ns1:ReadResponse><ns1:RItemList>" + item("P1", "int", "7")) +
             "<ns1:Items xsi:type=\"ns1:ItemValue\" ItemName=\"P2\"><ns1:Value>12",
         "7", "old", ""},
    };
    for (const Case &c : cases) {
        setPointValue("P1", "old");
        setPointValue("P2", "old");
        size_t logged = log().size();
        string reply = c.reply;
        BH_parseItemValues(reply.data(), PPO_getList());
        EXPECT_EQ(pointValue("P1"), c.p1) << c.name;
        EXPECT_EQ(pointValue("P2"), c.p2) << c.name;
        string added = log().substr(logged);
        if (c.reported.empty()) EXPECT_EQ(added.find("Failed"), string::npos) << c.name << "\n" << added;
        else EXPECT_NE(added.find(c.reported), string::npos) << c.name << "\n" << added;
    }
}

TEST_F(OpcTest, ServiceThatIsNotThereOrFails)
{
    RawServer missing(answer(httpReply("no", "404 Not Found")));
    useService(missing.host(), "svc");
    addPoints({"P1"});
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(countOf(log(), "Failed to connect on target!\n"), 3) << "the probe is repeated";
    EXPECT_EQ(pointValue("P1"), "Not available");
    EXPECT_EQ(Tarsel_writeVal("P1", "1", PPO_VALUE_SIZE), 0);

    RawServer failing([](int fd, const string &request) {
        if (request.rfind("GET ", 0) == 0) RawServer::sendText(fd, httpReply(""));
        else if (request.find("/Write\"") != string::npos)
            RawServer::sendText(fd, httpReply(envelope("<ns1:WriteResponse><ns1:Errors ID=\"E_BADRIGHTS\">"
                                                       "<ns1:Text>read-only</ns1:Text></ns1:Errors>")));
        else RawServer::sendText(fd, httpReply(envelope("<SOAP-ENV:Fault/>"), "500 Internal Server Error"));
        return After::Close;
    });
    useService(failing.host(), "svc");
    addPoints({"P1"});
    size_t logged = log().size();
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(
        countOf(log().substr(logged), "Failed to read values from target!\n\nHTTP/1.1 500 Internal Server Error\n\n"),
        3);
    EXPECT_EQ(Tarsel_writeVal("P1", "1", PPO_VALUE_SIZE), 1) << "answered";
    EXPECT_NE(log().find("Write value failed!\n<ns1:Errors ID=\"E_BADRIGHTS\"><ns1:Text>read-only</ns1:Text>\n\n"),
              string::npos)
        << log();
}

// A reply of status 200 without its read response is a failed read: the
// attempts go on and the values end as "Not available".
TEST_F(OpcTest, ReplyWithoutReadResponseIsAFailedRead)
{
    for (const string &body : {envelope("<SOAP-ENV:Fault><faultstring>Busy</faultstring></SOAP-ENV:Fault>"),
                               string("<a:ReadResponse><a:Items ItemName=\"P1\"><a:Value>1</a:Value>")}) {
        RawServer target([body](int fd, const string &request) {
            RawServer::sendText(fd, httpReply(request.rfind("GET ", 0) == 0 ? "" : body));
            return After::Close;
        });
        useService(target.host(), "svc");
        addPoints({"P1"});
        setPointValue("P1", "old");
        EXPECT_EQ(Tarsel_refresh(0), 0) << body;
        int reads = 0;
        for (const string &r : target.requests()) reads += r.rfind("POST ", 0) == 0;
        EXPECT_EQ(reads, 3) << body;
        EXPECT_EQ(pointValue("P1"), "Not available") << body;
    }
}

TEST_F(OpcTest, WriteFromAnotherThreadWaitsForTheReadInProgress)
{
    TargetSim sim;
    ASSERT_TRUE(sim.start(root(), path("sim.log"), {"--protocol", "opc", "--delay-ms", "400"}));
    SRVR_setTimeout(3000);
    useService(sim.host(), "opcxmlda");
    addPoints({"Pump.Run"});
    ASSERT_EQ(BH_connect(sim.host().c_str()), 1);
    auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration readDone{}, writeDone{};
    int written = 0;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        written = BH_writeValue(sim.host().c_str(), "Pump.Run", "Pump.Run", "1");
        writeDone = std::chrono::steady_clock::now() - start;
    });
    EXPECT_EQ(BH_readValues(sim.host().c_str(), PPO_getList()), 1);
    readDone = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_EQ(written, 1);
    EXPECT_EQ(pointValue("Pump.Run"), "0") << "read before the write";
    EXPECT_GE(writeDone - readDone, std::chrono::milliseconds(350)) << "the write was sent after the read's reply";
    std::vector<string> lines = sim.logLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_NE(lines[3].find("<Items ItemPath=\"\" ItemName=\"Pump.Run\" />"), string::npos) << lines[3];
    EXPECT_NE(lines[5].find("<Value xsi:type=\"xsd:string\">1</Value>"), string::npos) << lines[5];
}

TEST_F(OpcTest, SimulatorServesReadsWritesFaultsAndUnknownItems)
{
    writeFile(path("values.txt"), "Pump.Run=0\nNote=a<b\n");
    TargetSim sim;
    ASSERT_TRUE(
        sim.start(root(), path("sim.log"), {"--protocol", "opc", "--values", path("values.txt"), "--opc-faults", "1"}));
    useService(sim.host(), "/opcxmlda");
    addPoints({"Pump.Run", "Note", "sim.ramp", "missing.X"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << "the second attempt after the fault";
    EXPECT_EQ(pointValue("Pump.Run"), "0");
    EXPECT_EQ(pointValue("Note"), "a<b");
    EXPECT_FALSE(pointValue("sim.ramp").empty());
    EXPECT_EQ(pointValue("missing.X"), "Not available");
    ASSERT_EQ(Tarsel_writeVal("Pump.Run", "1", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Pump.Run"), "1");
    size_t logged = log().size();
    EXPECT_EQ(Tarsel_writeVal("sim.ramp", "5", PPO_VALUE_SIZE), 1);
    EXPECT_NE(log().substr(logged).find("Write value failed!\n<ns1:Errors ID=\"E_BADRIGHTS\">"), string::npos) << log();
}

} // namespace
