// Feeds arbitrary replies of an ILR controller to the panel: the server probe
// that offers ILR, the XML replies of two refresh cycles, and a write (see
// fuzz_peer.h for the form of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const FuzzTargetPage page = {
    "Phoenix.class", "ProjectName;Plant\nPeriod;500\n", nullptr, {"sim.ramp", "Pump.Run", "Pump.Fault"}, "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-ilr", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
