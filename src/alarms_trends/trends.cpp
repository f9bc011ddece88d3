// Trend engine: binding graphs to emitters, the repaint commands, sampling,
// clearing, and attaching to the graph object and the hooks.
#include "alarms_trends/trends.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "alarms_trends/trend_axis.h"
#include "alarms_trends/trend_lists.h"
#include "alarms_trends/trend_offline.h"
#include "alarms_trends/trend_paint.h"
#include "alarms_trends/trend_save.h"
#include "alarms_trends/trend_store.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "objects/graph.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/view_manager.h"

namespace {

constexpr uint32_t kCursorGreen = 0xFF00FF00u;
constexpr int kCommandSize = 32;

EM_Emitter *emitterOf(const GR_Graph *g) { return static_cast<EM_Emitter *>(g ? g->emitter : nullptr); }

// A command container's value into out; false while it holds "0" or nothing.
bool command(const EM_Emitter *e, const char *parameter, char *out)
{
    EM_readParam(e, parameter, out, kCommandSize);
    return out[0] && !stringcmp(out, "0");
}

void reset(const EM_Emitter *e, const char *parameter) { EM_writeParam(e, parameter, "0"); }

// ---- binding ---------------------------------------------------------------------------

EM_Emitter *createEmitter(const char *name)
{
    EM_Emitter *e = EM_createEmitter(name);
    if (!e) return nullptr;
    if (e->kind == EM_KIND_OFFLINE_SAVED) err_append(0, "Macro offline saved trend not supported!\n", nullptr);
    if (e->kind == EM_KIND_OFFLINE && pterm.target_type == TARSEL_TARGET_SAIA)
        log_append(0, "SAIA Macro offline trend not supported!\n", nullptr);
    if (e->kind == EM_KIND_OFFLINE && OFT_isTrendTarget(pterm.target_type))
        e->config = static_cast<EM_Config *>(std::calloc(1, sizeof(EM_Config)));
    return e;
}

void readBindingParameters(EM_Emitter *e)
{
    e->targetType = pterm.target_type;
    e->displayedTime = static_cast<int32_t>(EM_readParamNumber(e, "DisplayedTime."));
    e->maxStoreTime = static_cast<int32_t>(EM_readParamNumber(e, "MaxStoreTime."));
    e->autoUpdate = static_cast<uint8_t>(EM_readParamNumber(e, "XAutoUpdate."));
    e->axisDescriptions = static_cast<uint8_t>(EM_readParamNumber(e, "AutoYAxeDescr."));
    if (EM_readParamNumber(e, "ShowGrid.") != 0) EM_setGrid(e, 1);
    EM_computeMaxPoints(e);
    e->cursorColour = kCursorGreen;
}

// Binds the graph to the emitter of its suffix, made when there is none. A
// graph shown again finds the points collected meanwhile.
EM_Emitter *bind(GR_Graph *g, const char *name)
{
    char suffix[EM_SUFFIX_SIZE];
    EM_Emitter *e = EM_suffixOf(name, suffix) ? EM_findEmitter(suffix) : nullptr;
    bool created = e == nullptr;
    if (created && !(e = createEmitter(name))) return nullptr;
    if (e->graph && e->graph != g) e->graph->emitter = nullptr;
    e->graph = g;
    g->emitter = e;
    g->autoXStep = 1;
    readBindingParameters(e);
    double now = EM_now();
    if (created && e->displayedTime > 0) {
        EM_setTimeAxis(e, now, now + e->displayedTime);
    } else if (!created && e->rangeStart < e->rangeEnd) {
        EM_setTimeAxis(e, e->rangeStart, e->rangeEnd);
    }
    EM_parseAvailableList(e);
    if (e->config) OFT_loadConfig(e);
    EM_parseActiveList(e);
    return e;
}

// ---- repaint commands ------------------------------------------------------------------------

void logCommand(EM_Emitter *e, const char *value)
{
    char name[EM_LOG_FILE_SIZE];
    if (stringcmp(value, "SAVELOGSTOFILE")) {
        if (EM_saveLogs(e, name)) log_append(0, "Trend logs saved to %s\n", name);
    } else if (stringcmp(value, "CLEARNSTOPLOGS") || stringcmp(value, "CLEARLOGS")) {
        for (EM_Source *s = e->sources; s; s = s->next) EM_clearPoints(s);
        if (stringcmp(value, "CLEARNSTOPLOGS")) e->stopped = 1;
    } else if (stringcmp(value, "STARTLOGGING")) {
        e->stopped = 0;
    } else if (stringcmp(value, "CLEARTRGLOGFILES")) {
        OFT_clearTargetLogs(e);
    } else if (stringcmp(value, "RESTARTTRGTRENDING")) {
        OFT_restartTargetTrending(e);
    }
}

// "AvailableTrendsAction.": the logs.
void logActions(EM_Emitter *e, const char *value)
{
    if (stringcmp(value, "LOGSWAITING")) return;
    logCommand(e, value);
    bool redraw = stringcmp(value, "SAVELOGSTOFILE") || stringcmp(value, "CLEARNSTOPLOGS") ||
                  stringcmp(value, "CLEARLOGS") || stringcmp(value, "STARTLOGGING");
    EM_writeParam(e, "AvailableTrendsAction.", stringcmp(value, "CLEARNSTOPLOGS") ? "LOGSWAITING" : "0");
    if (redraw) {
        e->newData = 1;
        scheduleRedraw();
    }
}

// "ActiveTrendsLoadInfos.": false when nothing is to be painted.
bool infoActions(EM_Emitter *e, const char *value)
{
    reset(e, "ActiveTrendsLoadInfos.");
    if (stringcmp(value, "LOADINFOS")) {
        OFT_loadInfos(e);
        scheduleFullRedraw();
        return false;
    }
    if (stringcmp(value, "LOADINFONSTARTDATA")) {
        OFT_loadInfos(e);
        EM_writeParam(e, "ActiveTrendsLoadDatas.", "STARTLOADDATAS");
    }
    return true;
}

// "ActiveTrendsLoadDatas.": the loading state machine, one step per draw.
void loadActions(EM_Emitter *e, const char *value)
{
    const char *next = "0";
    if (stringcmp(value, "STARTLOADDATAS")) {
        if (OFT_prepareLoad(e)) next = "LOADINGDATAS";
    } else if (stringcmp(value, "LOADINGDATAS")) {
        int pass = OFT_loadPass(e);
        next = pass == OFT_PASS_MORE ? "LOADINGDATAS" : "STOPLOADINGDATAS";
        if (pass == OFT_PASS_DONE) {
            OFT_sortAll(e);
            EM_writeParam(e, "LoadDatasBargraphValue.", "97");
        }
    } else if (stringcmp(value, "STOPLOADINGDATAS")) {
        OFT_sortAll(e);
        OFT_adjustRange(e);
        scheduleFullRedraw();
    }
    EM_writeParam(e, "ActiveTrendsLoadDatas.", next);
    e->newData = 1;
    scheduleRedraw();
}

// Kind 3 is not supported: its commands are reset without effect.
bool refuseSavedKind(EM_Emitter *e, const char *parameter)
{
    if (e->kind != EM_KIND_OFFLINE_SAVED) return false;
    reset(e, parameter);
    return true;
}

bool pendingCommand(const EM_Emitter *e, const char *parameter)
{
    char value[kCommandSize];
    return command(e, parameter, value) && !stringcmp(value, "LOGSWAITING");
}

// ---- sampling --------------------------------------------------------------------------------

// One value of a source: false when its text is no number.
bool sampleSource(EM_Emitter *e, EM_Source *s, uint32_t now)
{
    safe_strncpy(s->displayName, Tarsel_orderPPO(s->name), sizeof s->displayName);
    char text[PPO_VALUE_SIZE];
    double value;
    if (!Tarsel_readVal(s->displayName, text, sizeof text) || std::sscanf(text, "%lf", &value) != 1 ||
        !std::isfinite(value))
        return false;
    long long store = e->maxStoreTime > 0 ? e->maxStoreTime : 0;
    if (static_cast<long long>(now) - store > 0) EM_dropOlderThan(s, static_cast<uint32_t>(now - store));
    EM_Point *last = s->count > 0 ? EM_pointAt(s, s->count - 1) : nullptr;
    if (last && last->time == now) last->value = value;
    else EM_appendPoint(s, now, value, e->maxPoints);
    return true;
}

void sampleEmitter(EM_Emitter *e, uint32_t now)
{
    bool taken = false;
    for (EM_Source *s = e->sources; s; s = s->next) taken = sampleSource(e, s, now) || taken;
    if (!taken) return;
    e->newData = 1;
    GR_Graph *g = e->graph;
    if (e->autoUpdate && g && now > g->xmax) {
        double shift = std::trunc(now - g->xmax);
        EM_setTimeAxis(e, g->xmin + shift, g->xmax + shift);
    }
}

void unbindAll()
{
    for (EM_Emitter *e = EM_firstEmitter(); e; e = e->next) {
        if (e->graph) e->graph->emitter = nullptr;
        e->graph = nullptr;
    }
}

const GR_TrendEngine kEngine = {EM_parseEmitter, EM_paintEmitter, EM_executeMouseAction, EM_getWidth,
                                EM_getHeight,    EM_adjustPoint,  EM_hasNewData};

} // namespace

void EM_parseEmitter(GR_Graph *g, const char *name)
{
    EM_Emitter *e = emitterOf(g);
    if (!e) {
        (void)bind(g, name); // a graph without a free emitter stays unbound and shows its axes
    } else {
        if (e->config && (e->config->trends <= 0 || e->config->largestBlock == 0)) OFT_loadConfig(e);
        EM_parseActiveList(e);
    }
    HT_writeContainer("_TREND_BUSY", "0");
}

int EM_actionsOnRepaint(EM_Emitter *e)
{
    char value[kCommandSize];
    if (e->kind == EM_KIND_ONLINE && EM_paramIs(e, "XAutoUpdate.", "SETAUTO")) EM_writeParam(e, "XAutoUpdate.", "1");
    if (command(e, "AvailableTrendsAction.", value)) {
        if (refuseSavedKind(e, "AvailableTrendsAction.")) return 1;
        logActions(e, value);
    }
    if (command(e, "ActiveTrendsLoadInfos.", value)) {
        if (refuseSavedKind(e, "ActiveTrendsLoadInfos.")) return 1;
        if (!infoActions(e, value)) return 0;
    }
    if (command(e, "ActiveTrendsLoadDatas.", value)) {
        if (refuseSavedKind(e, "ActiveTrendsLoadDatas.")) return 1;
        loadActions(e, value);
        return 0;
    }
    if (command(e, "ActiveTrends[][]Update.", value)) {
        if (stringcmp(value, "UPDATE")) EM_rebuildActiveList(e);
        reset(e, "ActiveTrends[][]Update.");
    }
    return 1;
}

void EM_paintEmitter(GR_Graph *g)
{
    EM_Emitter *e = emitterOf(g);
    if (!e) return;
    if (EM_actionsOnRepaint(e)) EM_drawCurves(e);
    e->newData = 0;
}

void EM_executeMouseAction(GR_Graph *g, int x, int y)
{
    if (EM_Emitter *e = emitterOf(g)) EM_userClic(e, x, y);
}

int EM_hasNewData(const GR_Graph *g)
{
    const EM_Emitter *e = emitterOf(g);
    if (!e) return 0;
    if (e->newData) return 1;
    if (e->kind == EM_KIND_ONLINE && EM_paramIs(e, "XAutoUpdate.", "SETAUTO")) return 1;
    return pendingCommand(e, "AvailableTrendsAction.") || pendingCommand(e, "ActiveTrendsLoadInfos.") ||
           pendingCommand(e, "ActiveTrendsLoadDatas.") || pendingCommand(e, "ActiveTrends[][]Update.");
}

void EM_updateValues()
{
    uint32_t now = EM_now();
    for (EM_Emitter *e = EM_firstEmitter(); e; e = e->next)
        if (e->kind == EM_KIND_ONLINE && !e->stopped) sampleEmitter(e, now);
}

// An emitter without a numeric suffix can never be found again: it goes.
void EM_clearView()
{
    EM_Emitter *e = EM_firstEmitter();
    while (e) {
        EM_Emitter *next = e->next;
        e->graph = nullptr;
        if (!e->hasSuffix) EM_deleteEmitter(e);
        e = next;
    }
}

void EM_clearAll()
{
    unbindAll();
    EM_freeAll();
}

void EM_reset()
{
    EM_resetStore();
    EM_resetLists();
}

void EM_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->trendMacroRead = macroReadVal;
    h->trendMacroWrite = macroWriteVal;
    h->sampleTrends = EM_updateValues;
    h->clearTrendView = EM_clearView;
    h->clearTrends = EM_clearAll;
    GR_setTrendEngine(&kEngine);
}
