// Feeds arbitrary replies of an OPC XML-DA service to the panel: the SOAP
// replies of the connection, of two refresh cycles and of a write (see
// fuzz_peer.h for the form of an input).
#include <cstdint>

#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
const FuzzTargetPage page = {"Beckhoff.class",
                             "ProjectName;Plant\nPeriod;500\nXMLOPCWebserviceAdress;/opcxmlda\n",
                             nullptr,
                             {"sim.ramp", "Pump.Run", "Pump.Fault"},
                             "Pump.Run"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartLink("panterm-fuzz-opc", peer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzRunPage(peer, page, fuzzBytes(data, size));
    return 0;
}
