// Feeds arbitrary replies of a native controller to the panel: the server probe,
// the order replies and value files of two refresh cycles, a write and its
// value file (see fuzz_peer.h for the form of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const FuzzTargetPage page = {
    "Phoenix.class", "ProjectName;Plant\nPeriod;500\n", nullptr, {"sim.ramp", "Pump.Run", "Pump.Fault"}, "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-native", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
