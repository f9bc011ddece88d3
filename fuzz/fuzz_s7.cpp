// Feeds arbitrary replies of an S7 gateway to the panel: the block reads of
// two refresh cycles (bytes, bits, reals and a string) and a write (see
// fuzz_peer.h for the form of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const char kTcr[] =
    "sim.ramp;DB10.DBD0; ; ; ; ;1; ;8;1;132;10;0;\nsim.sine;DB10.DBD4; ; ; ; ;1; ;8;1;132;10;4;\n"
    "Pump.Run;DB10.DBX8.0; ; ; ; ;1; ;1;1;132;10;8;0;\nPump.Fault;DB10.DBX8.1; ; ; ; ;1; ;1;1;132;10;8;1;\n"
    "Tank.Name;DB10.S12; ; ; ; ;1; ;19;6;132;10;12;\n";
const FuzzTargetPage page = {
    "Simatic.class",
    "ProjectName;Plant\nPeriod;500\nInitPPOASCIIName;plant-s7.tcr\nRACK;0\nSLOT;2\nNROFONBLOCKREADS;"
    "1\nONBLOCKREADDELAY;0\nONBLOCKREAD_PARTBLOCKSIZE;8\nONBLOCKREADS7VARIABLETYPE0;2\nONBLOCKREADS7REPFACTOR0;"
    "10\nONBLOCKREADS7VARIABLEMEMAREA0;132\nONBLOCKREADS7VARIABLESUBAREA0;10\nONBLOCKREADS7VARIABLEBYTEADRESS0;"
    "0\nONBLOCKREADS7VARIABLEBITADRESS0;0\nONBLOCKREADNBROFPARTBLOCKS;2\nPPOINONBLOCKREADPARTBLOCK_0;"
    "YES\nPPOINONBLOCKREADPARTBLOCK_1;YES\n",
    kTcr,
    {"sim.ramp", "sim.sine", "Pump.Run", "Pump.Fault", "Tank.Name"},
    "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-s7", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
