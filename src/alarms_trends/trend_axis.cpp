// Trend axes: the time axis of an emitter, scroll and zoom, and the axis
// containers.
#include "alarms_trends/trend_axis.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alarms_trends/trend_store.h"
#include "alarms_trends/trend_time.h"
#include "data/containers.h"
#include "objects/graph.h"
#include "runtime/hooks.h"
#include "runtime/str_util.h"
#include "view/view_manager.h"

namespace {

constexpr long long kLatest = 2147483647;
constexpr long long kWideDisplay = 10000; // from here the percentage is taken of D / 100
constexpr long long kNarrowest = 10;      // seconds a zoom keeps at least
constexpr int kTickLabels = 10;

bool refreshingContainer; // a read stores its text: that write is not a command

long long truncated(double v) { return std::isfinite(v) ? static_cast<long long>(v) : 0; }

// The emitter and the parameter an axis container names, else null.
EM_Emitter *axisOf(const char *name, char *parameter, int size)
{
    if (!prefixcmp(name, "@MACRO")) return nullptr;
    char suffix[EM_SUFFIX_SIZE];
    if (!EM_suffixOf(name, suffix)) return nullptr;
    EM_Emitter *e = EM_findEmitter(suffix);
    if (!e || !e->graph) return nullptr;
    int prefix = prefixcmp(name, "@MACROONT") ? 9 : e->prefixLength;
    int length = static_cast<int>(std::strrchr(name, '.') - name) - prefix;
    if (length <= 0) return nullptr;
    if (length >= size) length = size - 1;
    std::memcpy(parameter, name + prefix, static_cast<size_t>(length));
    parameter[length] = '\0';
    return e;
}

// The tick label number of "XDate[n]" or "XTime[n]", -1 when none.
int tickIndex(const char *parameter)
{
    const char *open = std::strchr(parameter, '[');
    if (!open) return -1;
    char *end = nullptr;
    long n = std::strtol(open + 1, &end, 10);
    if (end == open + 1 || *end != ']' || end[1] || n < 0 || n > kTickLabels) return -1;
    return static_cast<int>(n);
}

// The text of a readable axis parameter into dst; false when it is none.
bool axisText(const EM_Emitter *e, const char *parameter, char *dst)
{
    uint32_t start = static_cast<uint32_t>(truncated(e->rangeStart)),
             end = static_cast<uint32_t>(truncated(e->rangeEnd));
    if (stringcmp(parameter, "XMin") || stringcmp(parameter, "XMax")) {
        std::snprintf(dst, CO_VALUE_SIZE, "%d", static_cast<int>(stringcmp(parameter, "XMin") ? start : end));
    } else if (stringcmp(parameter, "XMinDate")) {
        EM_dateText(start, dst);
    } else if (stringcmp(parameter, "XMinTime")) {
        EM_timeText(start, dst);
    } else if (stringcmp(parameter, "XMaxDate")) {
        EM_dateText(end, dst);
    } else if (stringcmp(parameter, "XMaxTime")) {
        EM_timeText(end, dst);
    } else if (prefixcmp(parameter, "XDate[") || prefixcmp(parameter, "XTime[")) {
        int n = tickIndex(parameter);
        if (n < 0) return false;
        uint32_t at = static_cast<uint32_t>(truncated(e->rangeStart + n * (e->rangeEnd - e->rangeStart) / kTickLabels));
        if (parameter[1] == 'D') EM_dateText(at, dst);
        else EM_timeText(at, dst);
    } else {
        return false;
    }
    return true;
}

// After a move toward later times (or a zoom out) auto update comes on once
// the axis reaches the present; after a move toward earlier times (or a zoom
// in) it goes off while the axis ends in the past. "MANUAL" keeps it off.
void followAxis(EM_Emitter *e, bool later)
{
    double now = EM_now();
    if (later && e->rangeEnd >= now) e->autoUpdate = 1;
    if (!later && e->rangeEnd < now) e->autoUpdate = 0;
    if (e->autoUpdate && EM_paramIs(e, "XAutoUpdate.", "MANUAL")) e->autoUpdate = 0;
    scheduleFullRedraw();
}

bool usablePercent(const EM_Emitter *e, long percent)
{
    return percent != 0 && percent >= -100 && percent <= 100 && e->displayedTime > 0;
}

// Moves the axis so that its start (or end) lies at the date or time written.
void moveTo(EM_Emitter *e, const char *parameter, const char *value)
{
    bool min = prefixcmp(parameter, "XMin"), date = str_endsWith(parameter, "Date");
    double width = e->rangeEnd - e->rangeStart;
    uint32_t at = static_cast<uint32_t>(truncated(min ? e->rangeStart : e->rangeEnd));
    if (!(date ? EM_applyDate(value, &at) : EM_applyTime(value, &at))) return;
    if (min) EM_setTimeAxis(e, at, at + width);
    else EM_setTimeAxis(e, at - width, at);
    scheduleFullRedraw();
}

long parseLong(const char *value) { return std::strtol(value, nullptr, 10); }

// The effect of a write to a parameter that is not stored: scroll, zoom,
// moving the axis, and the tick labels (no effect). False for the others.
bool commandAxis(EM_Emitter *e, const char *parameter, const char *value)
{
    if (stringcmp(parameter, "Scroll")) EM_scroll(e, parseLong(value));
    else if (stringcmp(parameter, "Zoom")) EM_zoom(e, parseLong(value));
    else if (prefixcmp(parameter, "XMin") || prefixcmp(parameter, "XMax")) moveTo(e, parameter, value);
    else return prefixcmp(parameter, "XDate[") || prefixcmp(parameter, "XTime[");
    return true;
}

// The effect of a write to a parameter that the container keeps as well.
void setParameter(EM_Emitter *e, const char *parameter, const char *value)
{
    if (stringcmp(parameter, "XAutoUpdate")) {
        e->autoUpdate = stringcmp(value, "MANUAL")    ? 0
                        : stringcmp(value, "SETAUTO") ? 1
                                                      : static_cast<uint8_t>(parseLong(value));
    } else if (stringcmp(parameter, "AutoYAxeDescr")) {
        e->axisDescriptions = static_cast<uint8_t>(parseLong(value));
    } else if (stringcmp(parameter, "ShowGrid")) {
        if (stringcmp(value, "0") || stringcmp(value, "1")) EM_setGrid(e, value[0] == '1');
    } else if (stringcmp(parameter, "DisplayedTime")) {
        e->displayedTime = static_cast<int32_t>(parseLong(value));
    } else {
        e->maxStoreTime = static_cast<int32_t>(parseLong(value));
        EM_computeMaxPoints(e);
    }
}

bool isAxisParameter(const char *p)
{
    static const char *const kNames[] = {"Scroll",   "Zoom",          "XMinDate",    "XMinTime",
                                         "XMaxDate", "XMaxTime",      "XAutoUpdate", "AutoYAxeDescr",
                                         "ShowGrid", "DisplayedTime", "MaxStoreTime"};
    for (const char *n : kNames)
        if (stringcmp(p, n)) return true;
    return prefixcmp(p, "XDate[") || prefixcmp(p, "XTime[");
}

} // namespace

int EM_setTimeAxis(EM_Emitter *e, double start, double end)
{
    if (!(start < end) || !std::isfinite(start) || !std::isfinite(end)) return 0;
    e->rangeStart = start;
    e->rangeEnd = end;
    long long width = truncated(end - start);
    e->displayedTime = static_cast<int32_t>(width > kLatest ? kLatest : width);
    if (GR_Graph *g = e->graph) GR_setXRange(g, start, end);
    return 1;
}

void EM_applySavedRange(EM_Emitter *e)
{
    if (e->graph && e->rangeStart < e->rangeEnd) GR_setXRange(e->graph, e->rangeStart, e->rangeEnd);
}

void EM_scroll(EM_Emitter *e, long percent)
{
    if (!usablePercent(e, percent)) return;
    long long d = e->displayedTime;
    long long shift = d >= kWideDisplay ? d / 100 * percent : d * percent / 100;
    if (shift == 0) shift = percent > 0 ? 1 : -1;
    long long start = truncated(e->rangeStart), end = truncated(e->rangeEnd);
    if (start + shift < 0) shift = -start;
    if (end + shift > kLatest) shift = kLatest - end;
    EM_setTimeAxis(e, e->rangeStart + static_cast<double>(shift), e->rangeEnd + static_cast<double>(shift));
    followAxis(e, shift > 0);
}

void EM_zoom(EM_Emitter *e, long percent)
{
    if (!usablePercent(e, percent)) return;
    long long d = e->displayedTime;
    long long z = d >= kWideDisplay ? d / 200 * percent : d * percent / 200;
    if (z > 0 && z > (d - kNarrowest) / 2) z = (d - kNarrowest) / 2;
    if (z < 0 && d - 2 * z >= kLatest) z = -((kLatest - 1 - d) / 2);
    double start = e->rangeStart + static_cast<double>(z), end = e->rangeEnd - static_cast<double>(z);
    if (start < 0) start = 0;
    if (end > kLatest) end = kLatest;
    EM_setTimeAxis(e, start, end);
    followAxis(e, z < 0);
}

void EM_computeMaxPoints(EM_Emitter *e)
{
    long long period = HK_hooks()->refreshPeriod();
    long long interval = period > 0 ? (period + 999) / 1000 : 1;
    long long store = e->maxStoreTime > 0 ? e->maxStoreTime : 0;
    long long points = store / interval + 1;
    e->maxPoints = static_cast<int32_t>(points > EM_MAX_SOURCE_POINTS ? EM_MAX_SOURCE_POINTS : points);
}

void EM_setGrid(EM_Emitter *e, int on)
{
    GR_Graph *g = e->graph;
    if (!g) return;
    uint8_t flag = on ? 1 : 0;
    g->xScaleOn = g->yScaleOn = g->xGrid = g->yGrid = flag;
}

int macroReadVal(const char *name, char *dst)
{
    char parameter[EM_NAME_SIZE];
    EM_Emitter *e = axisOf(name, parameter, sizeof parameter);
    if (!e || !dst || !axisText(e, parameter, dst)) return 0;
    refreshingContainer = true;
    HT_writeContainer(name, dst);
    refreshingContainer = false;
    return 1;
}

int macroWriteVal(const char *name, const char *value)
{
    if (refreshingContainer || !value) return 0;
    char parameter[EM_NAME_SIZE];
    EM_Emitter *e = axisOf(name, parameter, sizeof parameter);
    if (!e || !isAxisParameter(parameter)) return 0;
    if (commandAxis(e, parameter, value)) return 1;
    setParameter(e, parameter, value);
    return 0;
}
