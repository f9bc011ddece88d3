// The Modbus TCP driver against a device of another implementation (pymodbus,
// tests/comm/modbus_peer.py): point names and value coding, the requests of a
// refresh cycle, exception replies, a device that closes the connection or
// never answers, writes; and the simulator's Modbus device read back with
// mbpoll.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/modbus_driver.h"
#include "comm/modbus_points.h"
#include "comm/native_driver.h"
#include "comm_fixtures.h"
#include "process_runner.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/pump.h"
#include "runtime/settings.h"

namespace {

using std::string;
using std::vector;

bool accepts(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    close(fd);
    return ok;
}

// The pymodbus device as a child process on a free loopback port.
class ModbusPeer {
public:
    // Starts the peer; false (with the reason in failure()) when the Debian
    // package python3-pymodbus is missing or the peer did not come up.
    bool start(const string &dir, const vector<string> &args)
    {
        bool ok = false;
        runCommand("/usr/bin/python3 -c 'import pymodbus.server' 2>&1", &ok);
        if (!ok) {
            failure_ = "the Modbus peer needs /usr/bin/python3 with pymodbus: install the Debian package "
                       "python3-pymodbus (with python3-serial and python3-serial-asyncio)";
            return false;
        }
        port_ = freeLoopbackPort();
        vector<string> all = {MODBUS_PEER_SCRIPT, "--port", std::to_string(port_)};
        all.insert(all.end(), args.begin(), args.end());
        process_ = std::make_unique<ChildProcess>("/usr/bin/python3", all, dir);
        for (int i = 0; i < 100; i++) {
            if (accepts(port_)) return true;
            if (!process_->running()) break;
            usleep(50 * 1000);
        }
        failure_ = "the pymodbus peer did not listen: " + process_->output();
        return false;
    }
    int port() const { return port_; }
    const string &failure() const { return failure_; }
    // The lines the peer printed that begin with prefix ("req ", "set ").
    vector<string> lines(const string &prefix) const
    {
        vector<string> out;
        string text = process_->output();
        for (size_t from = 0; from < text.size();) {
            size_t end = text.find('\n', from);
            string line = text.substr(from, end == string::npos ? string::npos : end - from);
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
            if (end == string::npos) break;
            from = end + 1;
        }
        return out;
    }

private:
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
    string failure_;
};

class ModbusTest : public CommTest {
protected:
    void TearDown() override
    {
        MB_reset();
        CommTest::TearDown();
    }
    // Starts the peer and loads a page of the Modbus driver for it.
    void usePeer(const vector<string> &args, const string &parameters = "", const string &tcr = "")
    {
        ASSERT_TRUE(peer.start(dir_, args)) << peer.failure();
        useDevice(peer.port(), parameters, tcr);
    }
    void useDevice(int port, const string &parameters = "", const string &tcr = "")
    {
        usePage("127.0.0.1:1", "Modbus.class",
                "MODBUSHOST;127.0.0.1\nMODBUSPORT;" + std::to_string(port) + "\n" + parameters, tcr);
    }
    // The requests the peer saw since the last call.
    vector<string> newRequests()
    {
        vector<string> all = peer.lines("req ");
        vector<string> fresh(all.begin() + static_cast<long>(seen), all.end());
        seen = all.size();
        return fresh;
    }
    ModbusPeer peer;
    size_t seen = 0;
};

TEST(ModbusPoints, NamesAndTheirPlaces)
{
    struct Case {
        const char *name;
        int base;
        int ok, table, type, address, count, bit;
    } cases[] = {
        {"HR0", 0, 1, MB_TABLE_HOLDING, MB_TYPE_U16, 0, 1, 0},
        {"IR7:i16", 0, 1, MB_TABLE_INPUT, MB_TYPE_I16, 7, 1, 0},
        {"HR10:f64", 0, 1, MB_TABLE_HOLDING, MB_TYPE_F64, 10, 4, 0},
        {"HR2:u32s", 0, 1, MB_TABLE_HOLDING, MB_TYPE_U32S, 2, 2, 0},
        {"HR20:s6", 0, 1, MB_TABLE_HOLDING, MB_TYPE_STRING, 20, 6, 0},
        {"IR3.b15", 0, 1, MB_TABLE_INPUT, MB_TYPE_BIT, 3, 1, 15},
        {"CO1", 1, 1, MB_TABLE_COILS, MB_TYPE_U16, 0, 1, 0},
        {"DI65535", 0, 1, MB_TABLE_DISCRETE, MB_TYPE_U16, 65535, 1, 0},
        {"HR65534:u32", 0, 1, MB_TABLE_HOLDING, MB_TYPE_U32, 65534, 2, 0},
        {"HR65535:u32", 0, 0, 0, 0, 0, 0, 0},
        {"HR0", 1, 0, 0, 0, 0, 0, 0},
        {"HR", 0, 0, 0, 0, 0, 0, 0},
        {"hr1", 0, 0, 0, 0, 0, 0, 0},
        {"HX1", 0, 0, 0, 0, 0, 0, 0},
        {"HR1:x16", 0, 0, 0, 0, 0, 0, 0},
        {"HR1:s0", 0, 0, 0, 0, 0, 0, 0},
        {"HR1:s126", 0, 0, 0, 0, 0, 0, 0},
        {"HR1.b16", 0, 0, 0, 0, 0, 0, 0},
        {"CO1.b2", 0, 0, 0, 0, 0, 0, 0},
        {"DI1:i16", 0, 0, 0, 0, 0, 0, 0},
        {"HR1 ", 0, 0, 0, 0, 0, 0, 0},
        {"HR1234567", 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        MbPoint p = {};
        ASSERT_EQ(MB_parsePoint(c.name, c.base, &p), c.ok) << c.name;
        if (!c.ok) continue;
        EXPECT_EQ(p.table, c.table) << c.name;
        EXPECT_EQ(p.type, c.type) << c.name;
        EXPECT_EQ(p.address, c.address) << c.name;
        EXPECT_EQ(p.count, c.count) << c.name;
        EXPECT_EQ(p.bit, c.bit) << c.name;
    }
}

TEST(ModbusPoints, ValuesAreRangeChecked)
{
    struct Case {
        const char *name, *text;
        int ok;
        vector<uint16_t> registers;
    } cases[] = {
        {"HR0", "65535", 1, {0xFFFF}},
        {"HR0", "65536", 0, {}},
        {"HR0", "-1", 0, {}},
        {"HR0:i16", "-32768", 1, {0x8000}},
        {"HR0:i16", "32768", 0, {}},
        {"HR0", "12x", 0, {}},
        {"HR0:u32", "4294967295", 1, {0xFFFF, 0xFFFF}},
        {"HR0:u32", "4294967296", 0, {}},
        {"HR0:i32s", "-2", 1, {0xFFFE, 0xFFFF}},
        {"HR0:f32", "1e39", 0, {}},
        {"HR0:f32s", "1.5", 1, {0x0000, 0x3FC0}},
        {"HR0:f64", "nan", 0, {}},
        {"HR0:s2", "ABCDE", 1, {0x4142, 0x4344}},
        {"CO0", "2", 0, {}},
        {"HR0.b3", "1", 1, {1}},
        {"HR0", " 7 ", 1, {7}},
        {"HR0", "", 0, {}},
    };
    for (const Case &c : cases) {
        MbPoint p = {};
        ASSERT_EQ(MB_parsePoint(c.name, 0, &p), 1) << c.name;
        uint16_t registers[4] = {};
        ASSERT_EQ(MB_encode(p, c.text, registers), c.ok) << c.name << " " << c.text;
        for (size_t i = 0; i < c.registers.size(); i++) EXPECT_EQ(registers[i], c.registers[i]) << c.name << " " << i;
    }
}

TEST_F(ModbusTest, ReadsEveryTypeInFewRequests)
{
    usePeer({});
    ASSERT_EQ(Tarsel_getServiceId(), TARSEL_SERVICE_MODBUS);
    struct Case {
        const char *name, *value;
    } cases[] = {
        {"HR0", "1234"},        {"HR1:i16", "-2"},    {"HR1", "65534"},      {"HR2:u32", "305419896"},
        {"HR4:i32", "-100000"}, {"HR6:f32", "3.5"},   {"HR8:f64", "-2.25"},  {"HR12:u32s", "305419896"},
        {"HR14:i32s", "-7"},    {"HR16:f32s", "1.5"}, {"HR20:s3", "Pump A"}, {"HR20:s1", "Pu"},
        {"HR30.b1", "1"},       {"HR30.b2", "0"},     {"HR200", "200"},      {"IR0", "42"},
        {"IR50", "50"},         {"CO0", "1"},         {"CO1", "0"},          {"CO5", "1"},
        {"DI1", "1"},           {"DI0", "0"},
    };
    for (const Case &c : cases) ASSERT_EQ(PPO_addToList(c.name, nullptr), 1) << c.name;
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    for (const Case &c : cases) EXPECT_EQ(pointValue(c.name), c.value) << c.name;
    // Holding registers 0 to 30 in one request, 200 alone (beyond the gap),
    // input registers 0 and 50 apart, coils 0 to 5 and discrete inputs 0 to 1.
    vector<string> expected = {"req 1 0 6", "req 2 0 2", "req 3 0 31", "req 3 200 1", "req 4 0 1", "req 4 50 1"};
    EXPECT_EQ(newRequests(), expected);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(newRequests(), expected) << "the same requests every cycle";
    EXPECT_EQ(MB_getRequestCount(), 12u);
}

TEST_F(ModbusTest, RequestsKeepToTheProtocolsLimits)
{
    // Points every 8 registers from 300 on, up to last, and one more at end.
    auto spread = [](int last, const string &end) {
        vector<string> names;
        for (int a = 300; a <= last; a += 8) names.push_back("HR" + std::to_string(a));
        names.push_back("HR" + end);
        return names;
    };
    struct Case {
        const char *title;
        vector<string> points;
        vector<string> requests;
    } cases[] = {
        {"a gap of 8 registers is bridged", {"HR0", "HR9"}, {"req 3 0 10"}},
        {"a gap of 9 is not", {"HR0", "HR10"}, {"req 3 0 1", "req 3 10 1"}},
        {"125 registers in one request", spread(420, "424"), {"req 3 300 125"}},
        {"126 need two", spread(420, "425"), {"req 3 300 121", "req 3 425 1"}},
        {"a point that would pass 125", spread(420, "424:u32"), {"req 3 300 121", "req 3 424 2"}},
        {"bits bridge 128", {"CO0", "CO129"}, {"req 1 0 130"}},
        {"but not 129", {"CO0", "CO130"}, {"req 1 0 1", "req 1 130 1"}},
        {"overlapping points", {"HR2:u32", "HR3", "HR2:f64"}, {"req 3 2 4"}},
        {"names from 1", {"HR1", "HR2"}, {"req 3 0 2"}},
    };
    ASSERT_TRUE(peer.start(dir_, {})) << peer.failure();
    for (const Case &c : cases) {
        bool fromOne = std::string(c.title) == "names from 1";
        useDevice(peer.port(), fromOne ? "MODBUSBASE;1\n" : "");
        for (const string &p : c.points) ASSERT_EQ(PPO_addToList(p.c_str(), nullptr), 1) << c.title;
        ASSERT_EQ(Tarsel_refresh(0), 1) << c.title << log();
        EXPECT_EQ(newRequests(), c.requests) << c.title;
        EXPECT_EQ(MB_getPlanSize(), static_cast<int>(c.requests.size())) << c.title;
    }
    EXPECT_EQ(pointValue("HR1"), "1234") << "HR1 counted from 1 is address 0";
}

TEST_F(ModbusTest, ExceptionsMarkOnlyTheirRequestAndAreReportedOncePerPage)
{
    usePeer({"--forbid", "hr:100:10", "--fail", "ir:50:1"});
    addPoints({"HR0", "HR100", "HR105", "IR50", "IR0", "HR0:x", "Temp"});
    for (int cycle = 0; cycle < 2; cycle++) ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("HR0"), "1234");
    EXPECT_EQ(pointValue("IR0"), "42");
    for (const char *name : {"HR100", "HR105", "IR50", "HR0:x", "Temp"})
        EXPECT_EQ(pointValue(name), PPO_NOT_AVAILABLE) << name;
    string text = log();
    EXPECT_EQ(countOf(text, "holding registers 100 to 105: Illegal data address"), 1) << text;
    EXPECT_EQ(countOf(text, "input registers 50 to 50: Slave device or server failure"), 1) << text;
    EXPECT_EQ(countOf(text, "not a point name: HR0:x"), 1);
    EXPECT_EQ(countOf(text, "not a point name: Temp"), 1);
    EXPECT_EQ(newRequests().size(), 8u) << "4 requests a cycle; bad names cost none";

    useDevice(peer.port());
    addPoints({"HR100", "Temp"});
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(countOf(log(), "holding registers 100 to 100: Illegal data address"), 1) << "a new page reports again";
    EXPECT_EQ(countOf(log(), "not a point name: Temp"), 2);
}

TEST_F(ModbusTest, WritesConvertByTheType)
{
    usePeer({}, "", "Limited;HR70;0;1000;dec.1; ;\n");
    struct Case {
        const char *name, *value;
        int result;
        vector<string> sets;
    } cases[] = {
        {"HR40", "65535", 1, {"set 6 40 65535"}},
        {"HR41:i16", "-2", 1, {"set 6 41 65534"}},
        {"HR42:u32", "305419896", 1, {"set 16 42 4660 22136"}},
        {"HR44:f32", "3.5", 1, {"set 16 44 16480 0"}},
        {"HR46:i32s", "-7", 1, {"set 16 46 65529 65535"}},
        {"HR48:f64", "-2.25", 1, {"set 16 48 49154 0 0 0"}},
        {"HR60:s3", "AB", 1, {"set 16 60 16706 0 0"}},
        {"HR30.b2", "1", 1, {"set 6 30 14"}},
        {"HR30.b3", "0", 1, {"set 6 30 6"}},
        {"CO3", "1", 1, {"set 5 3 1"}},
        {"CO0", "0", 1, {"set 5 0 0"}},
        {"HR70", "10.5", 1, {"set 6 70 105"}},
        {"HR70", "100.1", 0, {}},
        {"HR40", "70000", 0, {}},
        {"HR40", "x", 0, {}},
        {"IR0", "1", 0, {}},
        {"DI0", "1", 0, {}},
        {"HR1:z", "1", 0, {}},
    };
    size_t before = 0;
    for (const Case &c : cases) {
        EXPECT_EQ(Tarsel_writeVal(c.name, c.value, PPO_VALUE_SIZE), c.result) << c.name << " " << c.value;
        vector<string> sets = peer.lines("set ");
        EXPECT_EQ(vector<string>(sets.begin() + static_cast<long>(before), sets.end()), c.sets) << c.name;
        before = sets.size();
        TCR_isInvalidEntry(); // the refresh after a refused entry clears its flag
    }
    // What was written reads back.
    addPoints({"HR42:u32", "HR44:f32", "HR48:f64", "HR60:s3", "HR30", "CO3", "Limited"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("HR42:u32"), "305419896");
    EXPECT_EQ(pointValue("HR44:f32"), "3.5");
    EXPECT_EQ(pointValue("HR48:f64"), "-2.25");
    EXPECT_EQ(pointValue("HR60:s3"), "AB");
    EXPECT_EQ(pointValue("HR30"), "6");
    EXPECT_EQ(pointValue("CO3"), "1");
    EXPECT_EQ(pointValue("Limited"), "10.5");
}

TEST_F(ModbusTest, ADeviceThatClosesTheConnectionFailsTheCycle)
{
    usePeer({"--mode", "close"});
    addPoints({"HR0", "CO0"});
    ASSERT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(pointValue("HR0"), PPO_NOT_AVAILABLE);
    EXPECT_EQ(MB_getRequestCount(), 3u) << "one request in each of the three attempts";
    EXPECT_NE(log().find("Modbus device failed!"), string::npos) << log();
    EXPECT_EQ(Tarsel_writeVal("HR0", "1", PPO_VALUE_SIZE), 0);
}

int pumps;
int64_t lastPump;
int64_t longestGap;
int nestedWrite;

void notePump()
{
    int64_t now = PUMP_nowMs();
    longestGap = std::max(longestGap, now - lastPump);
    lastPump = now;
    pumps++;
    nestedWrite = MB_writeValue("", "HR0", "1", PPO_VALUE_SIZE);
}

TEST_F(ModbusTest, ASilentDeviceCostsTheAttemptsOfACycleWithoutHoldingThePanel)
{
    usePeer({"--mode", "silent"}, "MODBUSTIMEOUT;600\n");
    addPoints({"HR0", "IR0"});
    HK_hooks()->pumpEvents = notePump;
    PUMP_reset();
    pumps = 0;
    nestedWrite = -1;
    longestGap = 0;
    lastPump = PUMP_nowMs();
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Tarsel_refresh(0), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 1700) << "three attempts of 600 ms";
    EXPECT_LT(ms, 4000);
    EXPECT_EQ(MB_getRequestCount(), 3u) << "the first request of each attempt, then the attempt ends";
    EXPECT_GE(pumps, 6);
    EXPECT_LT(longestGap, 1000) << "display events are taken while the device is waited for";
    EXPECT_EQ(nestedWrite, 0) << "no request starts from inside the pump";
    EXPECT_EQ(pointValue("IR0"), PPO_NOT_AVAILABLE);
    ASSERT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(MB_getRequestCount(), 4u) << "backing off: one attempt a cycle";
}

TEST_F(ModbusTest, NoDeviceFailsWithinTheTimeout)
{
    int port = freeLoopbackPort();
    useDevice(port, "MODBUSTIMEOUT;300\n");
    addPoints({"HR0"});
    ASSERT_EQ(Tarsel_refresh(0), 0);
    EXPECT_EQ(MB_getRequestCount(), 0u);
    EXPECT_NE(log().find("connect: Connection refused"), string::npos) << log();
}

// The simulator's Modbus device: the panel writes the pump's coil and the
// setpoint, and mbpoll, another Modbus client, reads them back.
TEST_F(ModbusTest, TheSimulatorsDeviceShowsWhatThePanelWrote)
{
    bool haveMbpoll = false;
    runCommand("command -v mbpoll", &haveMbpoll);
    ASSERT_TRUE(haveMbpoll) << "mbpoll not found: install the Debian package mbpoll";
    const string tcr = "Pump.Run;CO0; ; ; ; ;\nTank.Setpoint;HR10;0;1000;dec.1;%;\nLevel;IR0:f32; ; ; ; ;\n"
                       "Name;HR20:s6; ; ; ; ;\n";
    writeFile(path("plant.tcr"), tcr);
    writeFile(path("values.txt"), "Level=12.5\nName=Tank T1\n");
    int modbusPort = freeLoopbackPort();
    TargetSim sim;
    ASSERT_TRUE(sim.start(root(), path("sim.log"),
                          {"--protocol", "modbus", "--tcr", path("plant.tcr"), "--values", path("values.txt"),
                           "--modbus-port", std::to_string(modbusPort)}));
    useDevice(modbusPort, "", tcr);
    addPoints({"Pump.Run", "Level", "Name"});
    ASSERT_EQ(Tarsel_refresh(0), 1) << log();
    EXPECT_EQ(pointValue("Pump.Run"), "0");
    EXPECT_EQ(pointValue("Level"), "12.5");
    EXPECT_EQ(pointValue("Name"), "Tank T1");
    ASSERT_EQ(Tarsel_writeVal("CO0", "1", PPO_VALUE_SIZE), 1) << log();
    ASSERT_EQ(Tarsel_writeVal("HR10", "12.3", PPO_VALUE_SIZE), 1) << log();
    string mbpoll = "mbpoll -m tcp -a 1 -0 -1 -p " + std::to_string(modbusPort) + " ";
    bool ok = false;
    string coil = runCommand(mbpoll + "-t 0 -r 0 -c 1 127.0.0.1 2>&1", &ok);
    ASSERT_TRUE(ok) << coil;
    EXPECT_NE(coil.find("[0]: \t1"), string::npos) << coil;
    string setpoint = runCommand(mbpoll + "-t 4 -r 10 -c 1 127.0.0.1 2>&1", &ok);
    ASSERT_TRUE(ok) << setpoint;
    EXPECT_NE(setpoint.find("[10]: \t123"), string::npos) << setpoint;
    // mbpoll's write reaches the panel's next cycle.
    runCommand(mbpoll + "-t 0 -r 0 127.0.0.1 0 2>&1", &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(Tarsel_refresh(0), 1);
    EXPECT_EQ(pointValue("Pump.Run"), "0");
}

} // namespace
