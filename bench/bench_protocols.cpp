// One read cycle of 100 process points in every protocol, against the target
// simulator playing that protocol on loopback: native (one value file), ILR
// (one POST), OPC XML-DA (one SOAP Read), S7 (a 200-byte block in two parts),
// WAGO (two order files of 400 bytes of double words) and TBox (the value
// page). And the Modbus TCP cycle of 1000 registers in 60 points beside its
// floor: the same requests sent by a plain libmodbus loop.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <modbus.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "app/startup.h"
#include "bench_simulator.h"
#include "bench_temp_dir.h"
#include "comm/modbus_driver.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

constexpr int kPoints = 100;

struct Protocol {
    const char *name;
    const char *target;     // the applet's target name
    std::string parameters; // page parameters, "name;value" lines
    bool tcr;               // the points have controller addresses
};

const Protocol kProtocols[] = {
    {"native", "Other.class", "", false},
    {"ilr", "Other.class", "SOAPIF;ILR=1, V.1.0\n", false},
    {"opc", "Beckhoff.class", "XMLOPCWebserviceAdress;/opcxmlda\n", false},
    {"s7", "Simatic.class",
     "RACK;0\nSLOT;2\nONBLOCKREAD_PARTBLOCKSIZE;100\nONBLOCKREADS7VARIABLETYPE0;2\nONBLOCKREADS7REPFACTOR0;200\n"
     "ONBLOCKREADS7VARIABLESUBAREA0;10\nONBLOCKREADS7VARIABLEBYTEADRESS0;0\nPPOINONBLOCKREADPARTBLOCK_0;YES\n"
     "PPOINONBLOCKREADPARTBLOCK_1;YES\n",
     true},
    {"wago", "Wago.class", "", true},
    {"tbox", "TBox.class", "TBOXPPOFileName;TBoxValues.html\n", false},
};

std::string symbol(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "Plant.Point%03d", i);
    return name;
}

// The directory with the values, the TCR files and the page parameters.
const std::string &workDir()
{
    static std::string dir = [] {
        std::string d = benchTempDir("protocols");
        std::ofstream values(d + "/values.txt"), s7(d + "/s7.tcr"), wago(d + "/wago.tcr");
        for (int i = 0; i < kPoints; i++) {
            values << symbol(i) << "=" << i << "\n";
            s7 << symbol(i) << ";DB10.DBW" << 2 * i << "; ; ; ; ;1; ;5;1;132;10;" << 2 * i << ";\n";
            wago << symbol(i) << ";MD" << i << "; ; ; ; ;\n";
        }
        return d;
    }();
    return dir;
}

void BM_ProtocolReadCycle(benchmark::State &state)
{
    const Protocol &p = kProtocols[state.range(0)];
    state.SetLabel(p.name);
    const std::string &dir = workDir();
    std::string tcr = dir + "/" + p.name + ".tcr";
    std::vector<std::string> args = {"--protocol", p.name, "--values", dir + "/values.txt"};
    if (p.tcr) args.insert(args.end(), {"--tcr", tcr});
    BenchSimulator sim(dir, args);

    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    MU_init();
    MU_init2();
    std::ofstream(dir + "/params.csv") << "Dummy;1\n" << p.parameters;
    HT_resetParameters();
    if (HT_loadCsvFile((dir + "/params.csv").c_str()) != 0) state.SkipWithError("no page parameters");
    if (p.tcr && TCR_parseTcrFile(tcr.c_str()) != 0) state.SkipWithError("no TCR file");
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", sim.host().c_str());
    SetRemoteHost(sim.host().c_str());
    SetRemoteStatus(1);
    Tarsel_setServiceId(p.target);
    Tarsel_loadHtmlParameters("");
    Tarsel_clearView();
    for (int i = 0; i < kPoints; i++) Tarsel_addPPO(symbol(i).c_str(), 0);
    if (!Tarsel_refresh(0)) state.SkipWithError("first refresh failed");
    for (auto _ : state) {
        if (!Tarsel_refresh(0)) state.SkipWithError("refresh failed");
    }
    char value[PPO_VALUE_SIZE] = "";
    PPO_readVal(symbol(kPoints - 1).c_str(), value);
    if (std::atoi(value) != kPoints - 1) state.SkipWithError("wrong value read");
    Tarsel_clearView();
    TCR_reset();
    SRVR_destroy();
    SetRemoteStatus(0);
    MU_releaseAreas();
}
BENCHMARK(BM_ProtocolReadCycle)->ArgName("protocol")->DenseRange(0, 5)->UseRealTime()->Unit(benchmark::kMicrosecond);

// ---- Modbus TCP --------------------------------------------------------------------------

constexpr int kModbusPoints = 60;
constexpr int kModbusRegisters = 1000;

int freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) == 0
                   ? ntohs(a.sin_port)
                   : 0;
    close(fd);
    return port;
}

// The simulator's Modbus device, once for both benchmarks.
struct ModbusDevice {
    int port = freePort();
    BenchSimulator sim{workDir(), {"--protocol", "modbus", "--modbus-port", std::to_string(port)}};
};

ModbusDevice &modbusDevice()
{
    static ModbusDevice device;
    return device;
}

// Point i: a string from register 1000 * i / 60 on, up to two registers
// before the next point; the gaps are bridged, so the cycle reads all 1000.
std::string modbusPoint(int i)
{
    int from = kModbusRegisters * i / kModbusPoints;
    int to = kModbusRegisters * (i + 1) / kModbusPoints;
    return "HR" + std::to_string(from) + ":s" + std::to_string(to - from - 2);
}

// A page of the 60 points on the simulator's device, its first cycle read:
// false when that failed.
bool openModbusPage(const ModbusDevice &device)
{
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    MU_init();
    MU_init2();
    std::ofstream(workDir() + "/params.csv") << "Dummy;1\nMODBUSHOST;127.0.0.1\nMODBUSPORT;" << device.port << "\n";
    HT_resetParameters();
    if (HT_loadCsvFile((workDir() + "/params.csv").c_str()) != 0) return false;
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", device.sim.host().c_str());
    SetRemoteHost(device.sim.host().c_str());
    SetRemoteStatus(1);
    Tarsel_setServiceId("Modbus.class");
    Tarsel_loadHtmlParameters("");
    Tarsel_clearView();
    for (int i = 0; i < kModbusPoints; i++) Tarsel_addPPO(modbusPoint(i).c_str(), 0);
    return Tarsel_refresh(0) == 1;
}

void closeModbusPage()
{
    Tarsel_clearView();
    MB_reset();
    SRVR_destroy();
    SetRemoteStatus(0);
    MU_releaseAreas();
}

// The panel's refresh cycle through the driver.
void BM_ModbusReadCycle(benchmark::State &state)
{
    if (!openModbusPage(modbusDevice())) state.SkipWithError("first refresh failed");
    unsigned before = MB_getRequestCount();
    for (auto _ : state) {
        if (!Tarsel_refresh(0)) state.SkipWithError("refresh failed");
    }
    state.counters["requests"] =
        static_cast<double>(MB_getRequestCount() - before) / static_cast<double>(state.iterations());
    closeModbusPage();
}
BENCHMARK(BM_ModbusReadCycle)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The floor: the driver's requests of one cycle by a plain libmodbus loop.
void BM_ModbusFloor(benchmark::State &state)
{
    ModbusDevice &device = modbusDevice();
    std::vector<std::pair<int, int>> requests;
    if (!openModbusPage(device)) state.SkipWithError("first refresh failed");
    for (int i = 0, table, address, count; MB_getPlanRequest(i, &table, &address, &count); i++)
        requests.emplace_back(address, count);
    closeModbusPage();
    modbus_t *context = modbus_new_tcp("127.0.0.1", device.port);
    if (!context || modbus_connect(context) != 0) {
        state.SkipWithError("no connection");
        return;
    }
    uint16_t registers[MODBUS_MAX_READ_REGISTERS];
    for (auto _ : state) {
        for (const auto &[address, count] : requests)
            if (modbus_read_registers(context, address, count, registers) != count) state.SkipWithError("read failed");
    }
    state.counters["requests"] = static_cast<double>(requests.size());
    modbus_close(context);
    modbus_free(context);
}
BENCHMARK(BM_ModbusFloor)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
