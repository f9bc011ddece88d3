// Off-line trends: configuration, information, loading passes and the
// target's log commands.
#include "alarms_trends/trend_offline.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "alarms_trends/trend_axis.h"
#include "alarms_trends/trend_lists.h"
#include "alarms_trends/trend_store.h"
#include "alarms_trends/trend_time.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/value_format.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr int kFields = 12;
constexpr uint32_t kLatest = 0x7FFFFFFF;

char answer[OFT_POINTS_SIZE + 1];

// Splits text in place at ";" into at most kFields fields; their count.
int splitFields(char *text, char *fields[kFields])
{
    int n = 0;
    for (char *p = text; n < kFields;) {
        fields[n++] = p;
        char *semicolon = std::strchr(p, ';');
        if (!semicolon) break;
        *semicolon = '\0';
        p = semicolon + 1;
    }
    return n;
}

bool readInt(const char *text, int32_t *value)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || v < -2147483647L || v > 2147483647L) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool readTimestamp(const char *text, uint32_t *value)
{
    char *end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 16);
    if (end == text) return false;
    *value = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
    return true;
}

bool debugging() { return pterm.debug_level >= 2; }

bool readConfig(EM_Config *c, char *text)
{
    char *f[kFields];
    int n = splitFields(text, f);
    int major = 0, minor = 0;
    if (n < 4 || std::sscanf(f[0], "%d.%d", &major, &minor) < 1) return false;
    int32_t trends = 0, block = 0;
    if (!readInt(f[2], &trends)) return false;
    readInt(f[3], &block);
    c->version = major * 100 + minor;
    safe_strncpy(c->baseName, f[1], sizeof c->baseName);
    c->trends = trends;
    c->largestBlock = block;
    return c->version > 0 && c->trends > 0;
}

void logConfig(const EM_Config *c)
{
    if (!debugging()) return;
    log_append_int(0, " version      : %ld\n", c->version);
    log_append(0, " base name    : %s\n", c->baseName);
    log_append_int(0, " trends       : %ld\n", c->trends);
    log_append_int(0, " largest block: %ld\n", c->largestBlock);
}

void writeInfoCells(const EM_Emitter *e, const EM_Source *s)
{
    if (s->row < 1) return;
    const EM_OfflineInfo *o = s->offline;
    char samples[16];
    std::snprintf(samples, sizeof samples, "%d", static_cast<int>(o->samples));
    EM_writeCell(e, s->row, EM_COLUMN_START_DATE, o->startDate);
    EM_writeCell(e, s->row, EM_COLUMN_START_TIME, o->startTime);
    EM_writeCell(e, s->row, EM_COLUMN_END_DATE, o->endDate);
    EM_writeCell(e, s->row, EM_COLUMN_END_TIME, o->endTime);
    EM_writeCell(e, s->row, EM_COLUMN_SAMPLES, samples);
}

// version; point name; log files; buffer type; trigger type; trigger value;
// samples; oldest; latest.
bool readInfo(EM_OfflineInfo *o, char *text)
{
    char *f[kFields];
    uint32_t start, end;
    int32_t files, buffer, trigger, samples;
    double value;
    if (splitFields(text, f) < 9 || !readInt(f[2], &files) || !readInt(f[3], &buffer) || !readInt(f[4], &trigger) ||
        std::sscanf(f[5], "%lf", &value) != 1 || !readInt(f[6], &samples) || !readTimestamp(f[7], &start) ||
        !readTimestamp(f[8], &end))
        return false;
    start = start > kLatest ? kLatest : start;
    end = end > kLatest ? kLatest : end;
    if (end <= start) end = start + 10;
    o->logFiles = files, o->bufferType = buffer, o->triggerType = trigger, o->triggerValue = value;
    o->samples = samples < 0 ? 0 : samples;
    o->start = start, o->end = end;
    EM_dateText(start, o->startDate);
    EM_timeText(start, o->startTime);
    EM_dateText(end, o->endDate);
    EM_timeText(end, o->endTime);
    return true;
}

void logInfo(const EM_Source *s)
{
    if (!debugging()) return;
    const EM_OfflineInfo *o = s->offline;
    log_append(0, " trend        : %s\n", s->name);
    log_append_int(0, " samples      : %ld\n", o->samples);
    log_append(0, " start        : %s", o->startDate);
    log_append(0, " %s\n", o->startTime);
    log_append(0, " end          : %s", o->endDate);
    log_append(0, " %s\n", o->endTime);
    log_append_int(0, " log files    : %ld\n", o->logFiles);
    log_append(0, " buffer type  : %s\n", o->bufferType == 0 ? "Ring Buffer" : "Full & Stop");
    log_append(0, " trigger type : %s\n", o->triggerType == 0 ? "isochrone" : "hysteresis");
    char value[32];
    std::snprintf(value, sizeof value, "%g", o->triggerValue);
    log_append(0, " trigger value: %s\n", value);
}

bool loadInfo(EM_Emitter *e, EM_Source *s)
{
    char query[OFT_QUERY_SIZE], number[EM_NAME_SIZE], reply[OFT_ANSWER_SIZE];
    OFT_trendNumber(s, number);
    std::snprintf(query, sizeof query, "trendNr=%s&action=configNSta", number);
    if (!Tarsel_readTrend(query, reply, sizeof reply) || !readInfo(s->offline, reply)) {
        log_append(0, "Failed to read trend info!\n", nullptr);
        return false;
    }
    logInfo(s);
    writeInfoCells(e, s);
    return true;
}

bool loadable(const EM_Source *s) { return s->offline && !s->stale; }

// The range a load type asks for; false when the texts do not read.
bool loadRange(EM_OfflineInfo *o, int type)
{
    uint32_t start = 0, end = 0;
    bool hasStart = EM_readDateTime(o->startDate, o->startTime, &start);
    bool hasEnd = EM_readDateTime(o->endDate, o->endTime, &end);
    switch (type) {
    case 0:
        o->loadStart = o->start, o->loadEnd = o->end, o->remaining = static_cast<int64_t>(o->end) - o->start;
        return true;
    case 1:
        if (!hasStart || !hasEnd || end < start) return false;
        o->loadStart = start, o->loadEnd = end, o->remaining = static_cast<int64_t>(end) - start;
        return true;
    case 2: o->loadStart = start, o->loadEnd = 0, o->remaining = o->samples; return hasStart;
    default: o->loadStart = 0, o->loadEnd = end, o->remaining = o->samples; return hasEnd;
    }
}

void pointsQuery(const EM_Source *s, char *query)
{
    const EM_OfflineInfo *o = s->offline;
    char number[EM_NAME_SIZE];
    OFT_trendNumber(s, number);
    unsigned long start = o->loadStart, end = o->loadEnd, last = o->lastLoaded;
    long count = static_cast<long>(o->remaining);
    if (o->loadType <= 1)
        std::snprintf(
            query, OFT_QUERY_SIZE,
            "trendNr=%s&action=loadTrend&loadType=%d&startTimestamp=%lx&endTimestamp=%lx&lastLoadedTimestamp=%lx",
            number, static_cast<int>(o->loadType), start, end, last);
    else if (o->loadType == 2)
        std::snprintf(
            query, OFT_QUERY_SIZE,
            "trendNr=%s&action=loadTrend&loadType=%d&nbrOfPoints=%ld&startTimestamp=%lx&lastLoadedTimestamp=%lx",
            number, 2, count, start, last);
    else
        std::snprintf(
            query, OFT_QUERY_SIZE,
            "trendNr=%s&action=loadTrend&loadType=%d&nbrOfPoints=%ld&endTimestamp=%lx&lastLoadedTimestamp=%lx", number,
            3, count, end, last);
}

// The value of an entry, converted with the point's format when it has one.
bool entryValue(const EM_Source *s, const char *text, double *value)
{
    char converted[TCR_VALUE_SIZE];
    safe_strncpy(converted, text, sizeof converted);
    if (TcrEntry *entry = TCR_getTcrPointerWithSymbol(s->name)) TCR_readFormatedPPO(entry, converted);
    return std::sscanf(converted, "%lf", value) == 1 && std::isfinite(*value);
}

enum Entry { STORED, SKIPPED, FAILED };

Entry takeEntry(EM_Source *s, char *line)
{
    char *semicolon = std::strchr(line, ';');
    uint32_t time;
    if (semicolon) *semicolon = '\0';
    if (!readTimestamp(line, &time)) return FAILED;
    if (time == 0) {
        if (debugging()) {
            log_append(0, "Skip point with null timestamp!\n", nullptr);
            log_append(0, " value: '%s'\n", semicolon ? semicolon + 1 : "null");
        }
        return SKIPPED;
    }
    double value;
    if (!semicolon || !entryValue(s, semicolon + 1, &value)) return FAILED;
    s->offline->lastLoaded = time;
    return EM_putNewPoint(s, time, value) ? STORED : FAILED;
}

// One answer of points for a source: false when the loading must stop.
bool loadPoints(EM_Source *s)
{
    EM_OfflineInfo *o = s->offline;
    char query[OFT_QUERY_SIZE];
    pointsQuery(s, query);
    if (!Tarsel_readTrend(query, answer, sizeof answer)) return false;
    size_t length = std::strlen(answer);
    if (length > 0 && answer[length - 1] == '\n') answer[--length] = '\0';
    if (length > 0 && answer[length - 1] == '\r') answer[--length] = '\0';
    if (length == 0) return false;
    uint32_t before = o->lastLoaded;
    int64_t entries = 0;
    bool ended = false;
    for (char *line = answer; line && !ended;) {
        char *next = std::strchr(line, '\n');
        if (next) *next++ = '\0';
        if (prefixcmp(line, "Done")) break;
        if (prefixcmp(line, "End")) ended = true;
        else if (line[0]) {
            Entry taken = takeEntry(s, line);
            if (taken == FAILED) return false;
            entries += taken == STORED;
        }
        line = next;
    }
    if (o->loadType >= 2) o->remaining = o->remaining > entries ? o->remaining - entries : 0;
    else o->remaining = o->loadEnd > o->lastLoaded ? static_cast<int64_t>(o->loadEnd) - o->lastLoaded : 0;
    // A target that answers without getting any further has nothing more.
    if (ended || (o->lastLoaded & EM_TIME_MASK) <= (before & EM_TIME_MASK)) o->remaining = 0;
    return true;
}

void writeProgress(EM_Emitter *e)
{
    const EM_Source *s = e->config ? e->config->progress : nullptr;
    if (!s || !s->offline) return;
    int64_t range = s->offline->range, remaining = s->offline->remaining;
    int64_t percent = range > 0 ? (range - remaining) * 99 / range : 99;
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(percent < 0 ? 0 : percent > 99 ? 99 : percent));
    EM_writeParam(e, "LoadDatasBargraphValue.", text);
}

void targetCommand(const char *query, const char *failure)
{
    char reply[OFT_ANSWER_SIZE] = "";
    if (!Tarsel_readTrend(query, reply, sizeof reply)) {
        char text[128];
        safe_strncpy(text, failure, sizeof text);
        if (char *cut = std::strstr(text, " %s\n")) std::strcpy(cut, "\n");
        log_append(0, text, nullptr);
        return;
    }
    if (!prefixcmp(reply, "Done")) log_append(0, failure, reply);
}

} // namespace

int OFT_isTrendTarget(int type)
{
    return type == TARSEL_TARGET_BECKHOFF || type == TARSEL_TARGET_PHOENIX || type == TARSEL_TARGET_SAMSON;
}

void OFT_trendNumber(const EM_Source *s, char *out)
{
    const char *name = s->displayName;
    bool decimal = name[0] != '\0';
    for (const char *p = name; *p; p++) decimal = decimal && *p >= '0' && *p <= '9';
    safe_strncpy(out, name, EM_NAME_SIZE);
    char formatted[TCR_NAME_SIZE];
    if (!decimal && TCR_convertFormatedPPOName(formatted, name)) safe_strncpy(out, formatted, EM_NAME_SIZE);
}

void OFT_loadConfig(EM_Emitter *e)
{
    if (!OFT_isTrendTarget(e->targetType) || !e->config) {
        log_append(0, "Load trend list configurations is not supported for this target!\n", nullptr);
        return;
    }
    if (debugging()) log_append(0, " Load trend list configurations...\n", nullptr);
    char reply[OFT_ANSWER_SIZE];
    EM_Config *c = e->config;
    if (!Tarsel_readTrend("trendsList=0&action=config", reply, sizeof reply) || !readConfig(c, reply)) {
        c->trends = 0;
        log_append(0, "Failed to load trend configurations!\n", nullptr);
        return;
    }
    logConfig(c);
    if (c->largestBlock != 0) OFT_loadInfos(e);
}

void OFT_loadInfos(EM_Emitter *e)
{
    if (!e->config || e->kind != EM_KIND_OFFLINE) return;
    if (debugging()) log_append(0, " Read trends info...\n", nullptr);
    long long total = 0;
    for (EM_Source *s = e->sources; s; s = s->next)
        if (s->offline && loadInfo(e, s) && s->row >= 1) total += s->offline->samples;
    char text[24];
    std::snprintf(text, sizeof text, "%lld", total);
    EM_writeParam(e, "ActiveTrendsTotalSamples.", text);
    HT_writeContainer("_TREND_BUSY", "0");
    EM_rebuildActiveList(e);
}

int OFT_prepareLoad(EM_Emitter *e)
{
    EM_Config *c = e->config;
    if (e->kind != EM_KIND_OFFLINE || !c || c->trends <= 0 || c->largestBlock == 0) return 0;
    long type = EM_readParamNumber(e, "LoadType.");
    if (type < 0 || type > 3) {
        log_append_int(0, "load type (%ld) not supported!\n", type);
        EM_writeParam(e, "LoadType.", "0");
        return 0;
    }
    c->progress = nullptr;
    for (EM_Source *s = e->sources; s; s = s->next) {
        if (!loadable(s)) continue;
        EM_OfflineInfo *o = s->offline;
        o->loadType = static_cast<int32_t>(type);
        o->lastLoaded = 0;
        if (!loadRange(o, o->loadType)) {
            log_append(0, "Trend %s: the range to load does not read\n", s->name);
            o->remaining = 0;
        }
        o->range = o->remaining;
        if (!c->progress || o->remaining > c->progress->offline->remaining) c->progress = s;
    }
    EM_writeParam(e, "LoadDatasBargraphValue.", "0");
    return 1;
}

int OFT_loadPass(EM_Emitter *e)
{
    bool any = false;
    for (EM_Source *s = e->sources; s; s = s->next) {
        if (!loadable(s) || s->offline->remaining <= 0) continue;
        any = true;
        if (!loadPoints(s)) return OFT_PASS_FAILED;
    }
    if (!any) return OFT_PASS_DONE;
    writeProgress(e);
    return OFT_PASS_MORE;
}

void OFT_sortAll(EM_Emitter *e)
{
    for (EM_Source *s = e->sources; s; s = s->next) EM_sortPoints(s);
}

void OFT_adjustRange(EM_Emitter *e)
{
    bool found = false;
    uint32_t earliest = 0, latest = 0;
    for (EM_Source *s = e->sources; s; s = s->next) {
        if (s->stale || s->count == 0) continue;
        uint32_t first = EM_pointAt(s, 0)->time & EM_TIME_MASK, last = EM_pointAt(s, s->count - 1)->time & EM_TIME_MASK;
        if (!found || first < earliest) earliest = first;
        if (!found || last > latest) latest = last;
        found = true;
    }
    long delta = EM_readParamNumber(e, "XAutoAdjustDelta.");
    if (delta > 0) {
        double end = found ? latest : EM_now();
        EM_setTimeAxis(e, end - static_cast<double>(delta) / 1000.0, end);
    } else if (found) {
        EM_setTimeAxis(e, earliest, latest);
    }
}

void OFT_clearTargetLogs(EM_Emitter *e)
{
    if (!e->config || e->config->largestBlock == 0) return;
    targetCommand("trendsList=0&action=clearTrdLogFiles", "Failed to clear log files on the target!\n %s\n");
}

void OFT_restartTargetTrending(EM_Emitter *e)
{
    if (!e->config) return;
    targetCommand("trendsList=0&action=reinitTrending", "Failed to re-init trending on the target!\n %s\n");
}
