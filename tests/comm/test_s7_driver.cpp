// The S7 block driver: its job PDUs decoded by an S7comm dissector of its own
// (tshark, the PDUs wrapped in TPKT and COTP in a pcap file), the block read
// in parts, writes on the wire, bad replies and block parameters, and the
// simulator's S7 gateway.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/ppo_update.h"
#include "comm/native_driver.h"
#include "comm/s7_driver.h"
#include "comm_fixtures.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "transport/http_client.h"
#include "view/view_manager.h"

namespace {

using After = RawServer::After;
using std::string;

// Data block 10 from byte 10: Byte12 (BYTE 12), Word90 (WORD 90), Bool8 (bit 3
// of byte 8, outside the block), Other (DB 11), Far (byte 200), Part1 (BYTE 60).
const char *const kTcr = "Byte12;DB10.B12; ; ; ; ;1; ;2;1;132;10;12;\n"
                         "Word90;DB10.W90; ; ; ; ;1; ;4;1;0x84;10;90;\n"
                         "Part1;DB10.B60; ; ; ; ;1; ;2;1;132;10;60;\n"
                         "Other;DB11.B12; ; ; ; ;1; ;2;1;132;11;12;\n"
                         "Far;DB10.B200; ; ; ; ;1; ;2;1;132;10;200;\n"
                         "Run;DB10.X8.3; ; ; ; ;1; ;1;1;132;10;8;3;\n"
                         "Text;DB10.S20; ; ; ; ;1; ;19;10;132;10;20;\n"
                         "Day;DB10.D30; ; ; ; ;1; ;9;1;132;10;30;\n"
                         "Plain;Plain; ; ; ; ;\n";

string blockParameters(int length, int part, const string &flags, int start = 10)
{
    return "RACK;0\nSLOT;2\nNROFONBLOCKREADS;1\nONBLOCKREAD_PARTBLOCKSIZE;" + std::to_string(part) +
           "\nONBLOCKREADS7VARIABLETYPE0;2\nONBLOCKREADS7REPFACTOR0;" + std::to_string(length) +
           "\nONBLOCKREADS7VARIABLEMEMAREA0;132\nONBLOCKREADS7VARIABLESUBAREA0;10\nONBLOCKREADS7VARIABLEBYTEADRESS0;" +
           std::to_string(start) + "\nONBLOCKREADS7VARIABLEBITADRESS0;0\n" + flags;
}

string textOf(const uint8_t *data, int length)
{
    return string(reinterpret_cast<const char *>(data), static_cast<size_t>(length));
}

unsigned field(const string &pdu, size_t at, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; i++) value = value << 8 | static_cast<uint8_t>(pdu[at + i]);
    return value;
}

// The acknowledgement of a read job with the given data bytes, and extra
// bytes before the acknowledgement when asked.
string readAck(const string &data, size_t extra = 0)
{
    string out(extra, '\x55');
    out += string("\x32\x03\x00\x00\x00\x01\x00\x02", 8);
    out += static_cast<char>((data.size() + 4) >> 8);
    out += static_cast<char>((data.size() + 4) & 0xFF);
    out += string("\x00\x00\x04\x01\xFF\x04", 6);
    out += static_cast<char>((data.size() * 8) >> 8);
    out += static_cast<char>((data.size() * 8) & 0xFF);
    return out + data;
}

// A gateway whose memory byte at address a holds a & 0xFF.
RawServer::Script gateway(size_t extra = 0)
{
    return [extra](int fd, const string &request) {
        string pdu = requestBody(request);
        string data;
        if (request.find("/get/") != string::npos && pdu.size() >= 24)
            for (unsigned i = 0, from = field(pdu, 21, 3) >> 3; i < field(pdu, 16, 2); i++)
                data += static_cast<char>((from + i) & 0xFF);
        string reply = request.find("/put/") != string::npos
                           ? string("\x32\x03\x00\x00\x00\x01\x00\x02\x00\x01\x00\x00\x05\x01\xFF", 15)
                           : readAck(data, extra);
        RawServer::sendText(fd, httpReply(reply));
        return After::Close;
    };
}

class S7Test : public CommTest {
protected:
    void useBlock(const string &host, const string &parameters)
    {
        usePage(host, "Simatic.class", parameters, kTcr);
        ASSERT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_S7);
    }
    static S7Address address(const char *symbol)
    {
        S7Address a{};
        EXPECT_TRUE(S7_getAddress(TCR_getTcrPointerWithSymbol(symbol), &a)) << symbol;
        return a;
    }
    static std::vector<string> gatewayJobs(RawServer &server) { return linesWith(server.requests(), "__S7Sys"); }
};

// ---- the independent check -------------------------------------------------------------

void append16(string &out, unsigned v) { out += static_cast<char>(v >> 8), out += static_cast<char>(v & 0xFF); }
void append32(string &out, uint32_t v)
{
    append16(out, v >> 16);
    append16(out, v & 0xFFFF);
}
void appendLittle(string &out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A pcap file (Ethernet, IPv4, TCP to port 102) with one packet per PDU, each
// wrapped in TPKT and a COTP data header.
string pcapOf(const std::vector<string> &pdus)
{
    string file;
    appendLittle(file, 0xA1B2C3D4, 4);
    appendLittle(file, 2, 2), appendLittle(file, 4, 2);
    appendLittle(file, 0, 4), appendLittle(file, 0, 4), appendLittle(file, 65535, 4), appendLittle(file, 1, 4);
    uint32_t seq = 1;
    for (const string &pdu : pdus) {
        string tpkt("\x03\x00", 2);
        append16(tpkt, static_cast<unsigned>(pdu.size() + 7));
        tpkt += string("\x02\xF0\x80", 3) + pdu;
        string tcp;
        append16(tcp, 40000), append16(tcp, 102), append32(tcp, seq), append32(tcp, 1);
        tcp += string("\x50\x18", 2), append16(tcp, 65535), append32(tcp, 0);
        seq += static_cast<uint32_t>(tpkt.size());
        string ip("\x45\x00", 2);
        append16(ip, static_cast<unsigned>(20 + tcp.size() + tpkt.size()));
        ip += string("\x00\x01\x40\x00\x40\x06\x00\x00\x7F\x00\x00\x01\x7F\x00\x00\x01", 16);
        string frame = string(12, '\0') + string("\x08\x00", 2) + ip + tcp + tpkt;
        appendLittle(file, 0, 4), appendLittle(file, 0, 4);
        appendLittle(file, static_cast<uint32_t>(frame.size()), 4),
            appendLittle(file, static_cast<uint32_t>(frame.size()), 4);
        file += frame;
    }
    return file;
}

string pdu(int function, const S7Address &a, const char *value)
{
    uint8_t data[300], out[400];
    int dataLength = value ? S7_encodeValue(a, value, data, sizeof data) : 0;
    EXPECT_GE(dataLength, 0) << value;
    int length = S7_buildPdu(function, a, data, dataLength, out, sizeof out);
    EXPECT_GT(length, 0);
    return textOf(out, length);
}

TEST_F(S7Test, JobPdusPassAnS7commDissector)
{
    ASSERT_EQ(std::system("command -v tshark >/dev/null 2>&1"), 0)
        << "tshark is missing: install it with scripts/install-deps.sh (Debian package tshark)";
    writeFile(path("s7.tcr"),
              string(kTcr) + "Count;DB5.W2; ; ; ; ;1; ;5;1;132;5;2;\nLevel;DB5.D4; ; ; ; ;1; ;8;1;132;5;4;\n");
    ASSERT_EQ(TCR_parseTcrFile("s7.tcr"), 0);
    S7Address part = {2, 40, S7_AREA_DB, 10, 50, 0};
    std::vector<string> pdus = {pdu(S7_FUNCTION_READ, part, nullptr), pdu(S7_FUNCTION_WRITE, address("Run"), "1"),
                                pdu(S7_FUNCTION_WRITE, address("Count"), "-2"),
                                pdu(S7_FUNCTION_WRITE, address("Level"), "1.5"),
                                pdu(S7_FUNCTION_WRITE, address("Text"), "hello")};
    EXPECT_EQ(
        pdus[0],
        string("\x32\x01\x00\x00\x00\x00\x00\x0E\x00\x00\x04\x01\x12\x0A\x10\x02\x00\x28\x00\x0A\x84\x00\x01\x90", 24));
    EXPECT_EQ(pdus[4].substr(24), string("\xFF\x04\x00\x60\x0A\x05", 6) + "hello00000")
        << "STRING[10]: 12 bytes, the maximum and the actual length, the text padded with '0'";
    writeFile(path("jobs.pcap"), pcapOf(pdus));

    string fields = runCommand("tshark -r " + path("jobs.pcap") +
                               " -T fields -E separator=, -e s7comm.header.rosctr -e s7comm.header.pduref"
                               " -e s7comm.header.datlg -e s7comm.param.func -e s7comm.param.item.transp_size"
                               " -e s7comm.param.item.length -e s7comm.param.item.db -e s7comm.param.item.area"
                               " -e s7comm.param.item.address.byte -e s7comm.param.item.address.bit"
                               " -e s7comm.data.transportsize -e s7comm.data.length -e s7comm.resp.data 2>/dev/null");
    EXPECT_EQ(fields, "1,0,0,0x04,2,40,10,0x84,50,0,,,\n"
                      "1,1,5,0x05,1,1,10,0x84,8,3,0x03,1,01\n"
                      "1,2,6,0x05,5,1,5,0x84,2,0,0x05,2,fffe\n"
                      "1,3,8,0x05,8,1,5,0x84,4,0,0x07,4,3fc00000\n"
                      "1,4,16,0x05,2,12,10,0x84,20,0,0x04,12,0a0568656c6c6f3030303030\n");
    EXPECT_EQ(runCommand("tshark -r " + path("jobs.pcap") +
                         " -Y '_ws.malformed || _ws.expert.severity >= warning'"
                         " -T fields -e frame.number 2>/dev/null"),
              "")
        << "no packet is malformed or draws a warning";
}

TEST_F(S7Test, BlockIsReadInPartsAndCutIntoThePoints)
{
    RawServer target(gateway());
    useBlock(target.host(), blockParameters(100, 40,
                                            "PPOINONBLOCKREADPARTBLOCK_0;YES\nPPOINONBLOCKREADPARTBLOCK_1;NO\n"
                                            "PPOINONBLOCKREADPARTBLOCK_2;YES\n"));
    addPoints({"Byte12", "Word90", "Part1", "Other", "Far"});
    setPointValue("DB11.B12", "old");
    setPointValue("DB10.B200", "old");
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    std::vector<string> jobs = gatewayJobs(target);
    ASSERT_EQ(jobs.size(), 2u) << "the part not flagged YES is not asked for";
    EXPECT_EQ(requestLine(jobs[0]), "POST /__S7Sys/get/bin/rs/0/2/sps7 HTTP/1.1");
    EXPECT_NE(jobs[0].find("\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 24\r\n"
                           "Pragma: no-cache\r\n\r\n"),
              string::npos)
        << jobs[0];
    EXPECT_EQ(field(requestBody(jobs[0]), 16, 2), 40u);
    EXPECT_EQ(field(requestBody(jobs[0]), 21, 3), 10u * 8);
    EXPECT_EQ(field(requestBody(jobs[1]), 16, 2), 20u);
    EXPECT_EQ(field(requestBody(jobs[1]), 21, 3), 90u * 8);
    EXPECT_EQ(field(requestBody(jobs[1]), 4, 2), field(requestBody(jobs[0]), 4, 2) + 1) << "the PDU reference counts";
    EXPECT_EQ(pointValue("Byte12"), "12");
    EXPECT_EQ(pointValue("Word90"), std::to_string(90 * 256 + 91));
    EXPECT_EQ(pointValue("Part1"), "0") << "a part not read reads 0";
    EXPECT_EQ(pointValue("Other"), "old") << "another data block";
    EXPECT_EQ(pointValue("Far"), "old") << "outside the block";
    EXPECT_EQ(log().find("Error"), string::npos) << log();

    RawServer longer(gateway(20));
    useBlock(longer.host(), blockParameters(100, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\n"));
    addPoints({"Byte12"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Byte12"), "12") << "the last part-length bytes are taken";
    EXPECT_NE(log().find("Error 7001: error in s7Targetrequest in S7_readValues() returned bytes s7offset not correct "
                         "(not equal 18)\n"),
              string::npos);
}

TEST_F(S7Test, WritesOnTheWire)
{
    RawServer target(gateway());
    useBlock(target.host(), blockParameters(100, 40, ""));
    ASSERT_EQ(Tarsel_writeVal("Text", "hello", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_writeVal("Run", "0", PPO_VALUE_SIZE), 1);
    std::vector<string> jobs = gatewayJobs(target);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(requestLine(jobs[0]), "POST /__S7Sys/put/bin/rs/0/2/sps7 HTTP/1.1");
    string text = requestBody(jobs[0]);
    EXPECT_EQ(text.substr(6, 18),
              string("\x00\x0E\x00\x10\x05\x01\x12\x0A\x10\x02\x00\x0C\x00\x0A\x84\x00\x00\xA0", 18));
    EXPECT_EQ(text.substr(24), string("\xFF\x04\x00\x60\x0A\x05hello00000", 16));
    EXPECT_EQ(requestBody(jobs[1]).substr(15), string("\x01\x00\x01\x00\x0A\x84\x00\x00\x43\xFF\x03\x00\x01\x00", 14));

    size_t before = gatewayJobs(target).size();
    EXPECT_EQ(Tarsel_writeVal("Plain", "1", PPO_VALUE_SIZE), 0) << "no S7 address";
    EXPECT_EQ(Tarsel_writeVal("Day", "1", PPO_VALUE_SIZE), 0) << "a DATE cannot be encoded";
    EXPECT_EQ(Tarsel_writeVal("Byte12", "300", PPO_VALUE_SIZE), 0) << "out of a byte";
    EXPECT_EQ(gatewayJobs(target).size(), before) << "nothing sent";
    EXPECT_NE(log().find("Failed to write on PPO !\n \"Day\""), string::npos) << log();

    RawServer refusing([](int fd, const string &) {
        RawServer::sendText(fd, httpReply(string("\x32\x03\x00\x00\x00\x01\x00\x02\x00\x01\x00\x00\x05\x01\x0A", 15)));
        return After::Close;
    });
    useBlock(refusing.host(), blockParameters(100, 40, ""));
    EXPECT_EQ(Tarsel_writeVal("Run", "1", PPO_VALUE_SIZE), 0) << "the gateway's item error code";
}

TEST_F(S7Test, BadRepliesAreReportedAndTheirPartsPointsAreNotAvailable)
{
    struct Case {
        string name, reply, reported;
    } cases[] = {
        {"shorter than the header", httpReply(string("\x32\x03\x00\x00", 4)),
         "Error 7001: error in s7Targetrequest in S7_readValues() returned bytes count not correct\n"},
        {"error class", httpReply(string("\x32\x03\x00\x00\x00\x01\x00\x00\x00\x00\x81\x04", 12) + string(40, 'x')),
         "Error 7001: error during s7Targetrequest in S7_readValues()\n"},
        {"item error code",
         httpReply(string("\x32\x03\x00\x00\x00\x01\x00\x02\x00\x04\x00\x00\x04\x01\x0A\x00\x00\x00", 18) +
                   string(40, 'x')),
         "Error 7001: error during s7Targetrequest in S7_readValues()\n"},
        {"error status with a text",
         "HTTP/1.1 500 Internal Error\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\nboom",
         "Error 7010: Failed to read values from server!\nHTTP/1.1 500 Internal Error\n"},
        {"error status, the text of its body",
         "HTTP/1.1 500 Internal Error\r\nContent-Type: text/plain\r\n"
         "Content-Length: 4\r\n\r\nboom",
         "Error 7010: Failed to read values from server!\nboom\n"},
        {"cut body", "HTTP/1.1 200 OK\r\nContent-Length: 58\r\n\r\n\x32\x03",
         "Error 7009: Failed to read values from server!\nContent-Length not reached\n - Nr. of bytes read: 2\n"
         " - Content-Length   : 58\n"},
        {"no content length", "HTTP/1.1 200 OK\r\n\r\n" + readAck(string(40, 'x')),
         "Error 7001: error during s7Targetrequest in S7_readValues()\n"},
        {"no reply", "HTTP/1.1", "Error 7011:  unavailable data!\n"},
    };
    for (const Case &c : cases) {
        string reply = c.reply;
        RawServer target([reply](int fd, const string &request) {
            RawServer::sendText(fd, request.find("__S7Sys") != string::npos ? reply : "HTTP/1.1 404 No\r\n\r\n");
            return After::Close;
        });
        useBlock(target.host(), blockParameters(40, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\n"));
        addPoints({"Byte12"});
        size_t logged = log().size();
        EXPECT_EQ(Tarsel_refresh(0), 0) << c.name << ": nothing came back";
        EXPECT_EQ(pointValue("Byte12"), "Not available") << c.name;
        EXPECT_NE(log().substr(logged).find(c.reported), string::npos) << c.name << "\n" << log().substr(logged);
    }

    // One part fails, the other is read: the cycle goes on, the points of the
    // failed part read "Not available" (not the zeros that stand for it).
    RawServer half([](int fd, const string &request) {
        if (request.find("__S7Sys") == string::npos || field(requestBody(request), 21, 3) != 50 * 8)
            return gateway()(fd, request);
        RawServer::sendText(fd, httpReply("short"));
        return After::Close;
    });
    useBlock(half.host(),
             blockParameters(80, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\nPPOINONBLOCKREADPARTBLOCK_1;YES\n"));
    addPoints({"Byte12", "Part1"});
    setPointValue("DB10.B60", "old");
    EXPECT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Byte12"), "12");
    EXPECT_EQ(pointValue("Part1"), "Not available");
}

TEST_F(S7Test, BlockParametersThatCannotBeRead)
{
    RawServer target(gateway());
    useBlock(target.host(), blockParameters(0, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\n"));
    addPoints({"Byte12"});
    EXPECT_EQ(Tarsel_refresh(0), 1) << "no block: nothing to read";
    useBlock(target.host(), blockParameters(S7_BLOCK_MAX + 1, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\n"));
    EXPECT_NE(log().find("Error 7001: S7 block of 65537 bytes is too large !\n"), string::npos);
    useBlock(target.host(), blockParameters(100, 0, "PPOINONBLOCKREADPARTBLOCK_0;YES\n"));
    EXPECT_NE(log().find("Error 7001: S7 part size 0 cannot read the block !\n"), string::npos);
    addPoints({"Byte12"});
    EXPECT_EQ(Tarsel_refresh(0), 1);
    useBlock(target.host(), blockParameters(100, 40, "PPOINONBLOCKREADPARTBLOCK_0;YES\n", 0x200000));
    addPoints({"Byte12"});
    EXPECT_EQ(Tarsel_refresh(0), 0);
    EXPECT_NE(log().find("Error 7001: failed to create PDU in S7_readValues()\n"), string::npos)
        << "an address beyond the PDU's 3 bytes";
    EXPECT_TRUE(gatewayJobs(target).empty());
}

TEST_F(S7Test, SimulatorGatewayServesTheSignals)
{
    const string tcr = "Pump.Run;DB10.X8.0; ; ; ; ;1; ;1;1;132;10;8;0;\n"
                       "sim.counter;DB10.D0; ; ; ; ;1; ;7;1;132;10;0;\n"
                       "Name;DB10.S12; ; ; ; ;1; ;19;6;132;10;12;\n";
    writeFile(path("sim.tcr"), tcr);
    writeFile(path("values.txt"), "Pump.Run=1\nName=abc\n");
    TargetSim sim;
    ASSERT_TRUE(
        sim.start(root(), path("sim.log"),
                  {"--protocol", "s7", "--tcr", path("sim.tcr"), "--values", path("values.txt"), "--s7-errors", "1"}));
    usePage(sim.host(), "Simatic.class",
            blockParameters(20, 10, "PPOINONBLOCKREADPARTBLOCK_0;YES\nPPOINONBLOCKREADPARTBLOCK_1;YES\n", 0), tcr);
    addPoints({"Pump.Run", "sim.counter", "Name"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_NE(log().find("Error 7001: error during s7Targetrequest"), string::npos)
        << "the first job had an error class";
    EXPECT_EQ(pointValue("Pump.Run"), "Not available") << "its part failed";
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("Pump.Run"), "1");
    EXPECT_EQ(pointValue("Name"), "abc");
    EXPECT_GE(std::atoi(pointValue("sim.counter").c_str()), 0);
    ASSERT_EQ(Tarsel_writeVal("Pump.Run", "0", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_writeVal("Name", "xy", PPO_VALUE_SIZE), 1);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Pump.Run"), "0");
    EXPECT_EQ(pointValue("Name"), "xy");
}

} // namespace
