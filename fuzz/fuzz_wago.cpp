// Feeds arbitrary replies of a WAGO controller to the panel: the order replies
// and value files of two refresh cycles, scalars and a string, and a write
// (see fuzz_peer.h for the form of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const char kTcr[] =
    "sim.ramp;MD0; ; ; ; ;\nsim.sine;MD1; ; ; ; ;\nPump.Run;MX10.0; ; ; ; ;\nPump.Fault;MX10.1; ; ; ; ;\n"
    "Tank.Name;MD100; ;10;String; ;\n";
const FuzzTargetPage page = {"Wago.class",
                             "ProjectName;Plant\nPeriod;500\nInitPPOASCIIName;plant-wago.tcr\n",
                             kTcr,
                             {"sim.ramp", "Pump.Run", "Pump.Fault", "Tank.Name"},
                             "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-wago", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
