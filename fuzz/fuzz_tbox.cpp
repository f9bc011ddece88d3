// Feeds arbitrary replies of a TBox controller to the panel: its value page at
// two refresh cycles and the answer to a write (see fuzz_peer.h for the form
// of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const FuzzTargetPage page = {"TBox.class",
                             "ProjectName;Plant\nPeriod;500\nTBOXPPOFileName;TBoxValues.html\n",
                             nullptr,
                             {"sim.ramp", "Pump.Run", "Pump.Fault"},
                             "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-tbox", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
