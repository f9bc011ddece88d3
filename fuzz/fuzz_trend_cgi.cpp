// Feeds arbitrary answers of a controller's trend CGI to the off-line trend of
// a graph on a page: the log's configuration, the information of each trend
// and the blocks of points, loaded over a few refresh cycles. The answers come
// in the order the trend asks; see fuzz_peer.h for the form of an input.
#include <cstdint>
#include <string>

#include "data/containers.h"
#include "data/value_store.h"
#include "fuzz_page.h"
#include "fuzz_peer.h"
#include "runtime/hooks.h"

namespace {

FuzzPeer peer;
std::string page;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartDisplay("panterm-fuzz-trend-cgi");
    SRVR_setTimeout(1000);
    pterm.keep_alive = 0;
    peer.start();
    page = teqc::buildTeq("teq f\npage-size 320,240\nbackground 255,255,255\nfill off\nborder off\n"
                          "line-colour 0,0,0\n" +
                          fuzzPainter("IGraphicP", 10, 10, 201, 101, "    repaint 5 CO \"@MACROOFTTrend.2\"\n"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    peer.setReplies(fuzzBytes(data, size));
    fuzzResetTargetLink();
    HK_hooks()->clearTrends();
    DS_Initialize();
    Tarsel_setTarget("Phoenix.class");
    SetRemoteHost(fuzzControllerHost(peer));
    pterm.remote_mode = 1; // pages stay local, values and trends come from the target
    SetRemoteStatus(1);
    HK_hooks()->clearTrendView();
    fuzzLoadPage(page);
    HT_writeContainer("@MACROOFTActiveTrends.2", "2\tsine\t0\t100\t0,0,255\n");
    HT_writeContainer("@MACROOFTLoadType.2", "0");
    HT_writeContainer("@MACROOFTXAutoAdjustDelta.2", "60000");
    teqc::drawAllObjects();
    HT_writeContainer("@MACROOFTActiveTrendsLoadInfos.2", "LOADINFONSTARTDATA");
    for (int cycle = 0; cycle < 12; cycle++) teqc::drawAllObjects();
    SRVR_destroy();
    return 0;
}
