// Feeds arbitrary answers of a controller's alarm CGI to the alarm lists of a
// page: a list of current alarms, the history read from the target and the
// off-line history, each in a file viewer, drawn for a few refresh cycles.
// The answers come in the order the lists ask (configuration, blocks of
// lines, alarm texts); see fuzz_peer.h for the form of an input.
#include <cstdint>
#include <string>

#include "alarms_trends/alarm_list.h"
#include "data/containers.h"
#include "fuzz_page.h"
#include "fuzz_peer.h"

namespace {

FuzzPeer peer;
std::string page;

std::string viewer(int y, const char *source)
{
    return fuzzPainter("FileViewerP", 0, y, 300, 70,
                       std::string("    repaint 5 CO \"") + source +
                           "\"\n    action 1 6 {\n      dest CO \"row\"\n      source STRING \"\"\n    }\n");
}

// The containers a page of alarm lists sets first: the list's number, its
// header and its colours, for each of the three lists.
void setLists()
{
    static const char *const kLists[] = {"@MACROALRDEFON%s.A", "@MACROALRHISON%s.H", "@MACROALRHISOFF%s.F"};
    static const char *const kSettings[][2] = {
        {"AlarmsListNr", "1"},
        {"AlarmsListHeaderSP", "#sp;0,0,5,28,52,76,86\xA2\tNo\tText\tCame\tWent\tAck\tCount"},
        {"StateOnNackedColor", "255,110,110"},
        {"StateOffAckedColor", "200,230,200"},
    };
    for (const char *list : kLists)
        for (const auto &setting : kSettings) {
            char name[96];
            std::snprintf(name, sizeof name, list, setting[0]);
            HT_writeContainer(name, setting[1]);
        }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzStartDisplay("panterm-fuzz-alarm-cgi");
    SRVR_setTimeout(1000);
    pterm.keep_alive = 0;
    peer.start();
    page = teqc::buildTeq("teq f\npage-size 320,240\nbackground 255,255,255\nfont \"Monospaced\" 0 12\nfill on\n"
                          "fill-colour 255,255,255\nline-colour 0,0,0\n" +
                          viewer(0, "@MACROALRDEFONAlarmsList.A") + viewer(80, "@MACROALRHISONAlarmsList.H") +
                          viewer(160, "@MACROALRHISOFFAlarmsList.F"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    peer.setReplies(fuzzBytes(data, size));
    fuzzResetTargetLink();
    AL_reset();
    SetRemoteHost(fuzzControllerHost(peer));
    pterm.remote_mode = 1; // values from the target, files local
    SetRemoteStatus(1);
    fuzzLoadPage(page);
    setLists();
    for (int cycle = 0; cycle < 4; cycle++) teqc::drawAllObjects();
    SRVR_destroy();
    return 0;
}
