// One read cycle of 100 process points in every protocol, against the target
// simulator playing that protocol on loopback: native (one value file), ILR
// (one POST), OPC XML-DA (one SOAP Read), S7 (a 200-byte block in two parts),
// WAGO (two order files of 400 bytes of double words) and TBox (the value
// page).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "bench_simulator.h"
#include "bench_temp_dir.h"
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

} // namespace
