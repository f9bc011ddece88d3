// Trend store: emitters, sources and points, the point budget and the clock.
#include "alarms_trends/trend_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/containers.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

struct Prefix {
    const char *text;
    int kind;
};

// Tried in this order: the longer prefixes first.
const Prefix kPrefixes[] = {
    {"@MACROOFST", EM_KIND_OFFLINE_SAVED}, {"@MACROOFT", EM_KIND_OFFLINE}, {"@MACRO", EM_KIND_ONLINE}};

EM_Emitter *emitters;
int32_t pointsInUse;
uint32_t (*clockSource)() = SYS_getTime;

int emitterCount()
{
    int n = 0;
    for (EM_Emitter *e = emitters; e; e = e->next) n++;
    return n;
}

void freeSource(EM_Source *s)
{
    pointsInUse -= s->count;
    std::free(s->points);
    std::free(s->offline);
    std::free(s);
}

void logCut(EM_Emitter *e, int cap)
{
    if (e->cutsLogged & cap) return;
    e->cutsLogged = static_cast<uint8_t>(e->cutsLogged | cap);
    const char *what = cap == EM_CUT_SOURCES         ? "more than 64 sources, the others are left out"
                       : cap == EM_CUT_SOURCE_POINTS ? "a source holds at most 65536 points, the rest is cut"
                                                     : "all trends hold at most 262144 points, the rest is cut";
    char line[EM_NAME_SIZE + 96];
    std::snprintf(line, sizeof line, "Trend %s: %s\n", e->name, what);
    log_append(0, "%s", line);
}

// A cap cut a point of the source: logged for its emitter.
void pointCut(const EM_Source *s, int cap)
{
    for (EM_Emitter *e = emitters; e; e = e->next)
        for (const EM_Source *t = e->sources; t; t = t->next)
            if (t == s) return logCut(e, cap);
}

// The cap that keeps the source from taking one more point, 0 for none.
int capOf(const EM_Source *s)
{
    if (s->count >= EM_MAX_SOURCE_POINTS) return EM_CUT_SOURCE_POINTS;
    return pointsInUse >= EM_POINT_BUDGET ? EM_CUT_BUDGET : 0;
}

// Room for one more point at the end; false when none can be had.
bool makeRoom(EM_Source *s)
{
    if (s->first + s->count < s->capacity) return true;
    if (s->first > 0) {
        std::memmove(s->points, s->points + s->first, sizeof(EM_Point) * static_cast<size_t>(s->count));
        s->first = 0;
        return true;
    }
    if (s->capacity >= EM_MAX_SOURCE_POINTS || pointsInUse >= EM_POINT_BUDGET) return false;
    int32_t grown = s->capacity ? std::min(s->capacity * 2, EM_MAX_SOURCE_POINTS) : 64;
    void *p = std::realloc(s->points, sizeof(EM_Point) * static_cast<size_t>(grown));
    if (!p) return false;
    s->points = static_cast<EM_Point *>(p);
    s->capacity = grown;
    return true;
}

void dropFront(EM_Source *s, int n)
{
    if (n > s->count) n = s->count;
    s->first += n;
    s->count -= n;
    pointsInUse -= n;
    if (s->count == 0) s->first = 0;
}

uint32_t key(uint32_t time) { return time & EM_TIME_MASK; }

// Inserts a point before the index (0 .. count); false without room.
bool insertAt(EM_Source *s, int index, uint32_t time, double value)
{
    if (int cap = capOf(s)) {
        pointCut(s, cap);
        return false;
    }
    if (!makeRoom(s)) return false;
    EM_Point *base = s->points + s->first;
    std::memmove(base + index + 1, base + index, sizeof(EM_Point) * static_cast<size_t>(s->count - index));
    base[index] = {time, value};
    s->count++;
    pointsInUse++;
    return true;
}

void logSort(const EM_Source *s, int swaps, int loops)
{
    if (pterm.debug_level < 2) return;
    log_append(0, " OFT sort points of '%s'\n", s->name);
    log_append_int(0, "    size : %ld points\n", s->count);
    log_append_int(0, " OFT swap: %ld\n", swaps);
    log_append_int(0, "    loops: %ld\n", loops);
    log_append_int(0, " pSrc.cnt: %ld\n", s->count);
}

} // namespace

EM_Emitter *EM_firstEmitter() { return emitters; }

EM_Emitter *EM_findEmitter(const char *suffix)
{
    for (EM_Emitter *e = emitters; e; e = e->next)
        if (e->hasSuffix && stringcmp(e->suffix, suffix)) return e;
    return nullptr;
}

EM_Emitter *EM_emitterOf(const GR_Graph *graph)
{
    if (!graph) return nullptr;
    for (EM_Emitter *e = emitters; e; e = e->next)
        if (e->graph == graph) return e;
    return nullptr;
}

int EM_kindOf(const char *name, int32_t *prefixLength)
{
    for (const Prefix &p : kPrefixes)
        if (prefixcmp(name, p.text)) {
            *prefixLength = static_cast<int32_t>(std::strlen(p.text));
            return p.kind;
        }
    *prefixLength = 0;
    return 0;
}

int EM_suffixOf(const char *name, char *suffix)
{
    suffix[0] = '\0';
    const char *dot = name ? std::strrchr(name, '.') : nullptr;
    if (!dot || !dot[1] || std::strlen(dot + 1) >= EM_SUFFIX_SIZE) return 0;
    for (const char *p = dot + 1; *p; p++)
        if (*p < '0' || *p > '9') return 0;
    safe_strncpy(suffix, dot + 1, EM_SUFFIX_SIZE);
    return 1;
}

EM_Emitter *EM_createEmitter(const char *name)
{
    if (emitterCount() >= EM_MAX_EMITTERS) {
        log_append(0, "Too many trend graphs, no emitter for %s\n", name);
        return nullptr;
    }
    auto *e = static_cast<EM_Emitter *>(std::calloc(1, sizeof(EM_Emitter)));
    if (!e) return nullptr;
    e->kind = static_cast<uint8_t>(EM_kindOf(name, &e->prefixLength));
    safe_strncpy(e->name, name, sizeof e->name);
    e->hasSuffix = static_cast<uint8_t>(EM_suffixOf(name, e->suffix));
    EM_Emitter **end = &emitters;
    while (*end) end = &(*end)->next;
    *end = e;
    return e;
}

void EM_deleteEmitter(EM_Emitter *e)
{
    for (EM_Emitter **p = &emitters; *p; p = &(*p)->next)
        if (*p == e) {
            *p = e->next;
            break;
        }
    while (e->sources) {
        EM_Source *next = e->sources->next;
        freeSource(e->sources);
        e->sources = next;
    }
    std::free(e->config);
    std::free(e);
}

void EM_freeAll()
{
    while (emitters) EM_deleteEmitter(emitters);
    pointsInUse = 0;
}

void EM_paramName(const EM_Emitter *e, const char *parameter, char *out, int size)
{
    std::snprintf(out, static_cast<size_t>(size), "%.*s%s%s", static_cast<int>(e->prefixLength), e->name, parameter,
                  e->hasSuffix ? e->suffix : "");
}

const char *EM_paramText(const EM_Emitter *e, const char *parameter)
{
    char name[EM_NAME_SIZE + 64];
    EM_paramName(e, parameter, name, sizeof name);
    return CO_readValPtr(name);
}

int EM_readParam(const EM_Emitter *e, const char *parameter, char *out, int size)
{
    const char *text = EM_paramText(e, parameter);
    safe_strncpy(out, text ? text : "", static_cast<size_t>(size));
    return text != nullptr;
}

long EM_readParamNumber(const EM_Emitter *e, const char *parameter)
{
    const char *text = EM_paramText(e, parameter);
    return text ? std::strtol(text, nullptr, 10) : 0;
}

int EM_paramIs(const EM_Emitter *e, const char *parameter, const char *value)
{
    const char *text = EM_paramText(e, parameter);
    return text && stringcmp(text, value);
}

void EM_writeParam(const EM_Emitter *e, const char *parameter, const char *value)
{
    char name[EM_NAME_SIZE + 64];
    EM_paramName(e, parameter, name, sizeof name);
    HT_writeContainer(name, value);
}

EM_Source *EM_findSource(EM_Emitter *e, const char *name)
{
    for (EM_Source *s = e->sources; s; s = s->next)
        if (stringcmp(s->name, name)) return s;
    return nullptr;
}

EM_Source *EM_createSource(EM_Emitter *e, const char *name)
{
    int n = 0;
    EM_Source **end = &e->sources;
    for (; *end; end = &(*end)->next) n++;
    if (n >= EM_MAX_SOURCES) {
        logCut(e, EM_CUT_SOURCES);
        return nullptr;
    }
    auto *s = static_cast<EM_Source *>(std::calloc(1, sizeof(EM_Source)));
    if (!s) return nullptr;
    if (e->kind != EM_KIND_ONLINE) {
        s->offline = static_cast<EM_OfflineInfo *>(std::calloc(1, sizeof(EM_OfflineInfo)));
        if (!s->offline) {
            std::free(s);
            return nullptr;
        }
    }
    s->row = -1;
    s->max = 100.0;
    safe_strncpy(s->name, name, sizeof s->name);
    safe_strncpy(s->displayName, name, sizeof s->displayName);
    *end = s;
    return s;
}

void EM_moveToEnd(EM_Emitter *e, EM_Source *s)
{
    EM_Source **p = &e->sources;
    while (*p && *p != s) p = &(*p)->next;
    if (!*p || !s->next) return;
    *p = s->next;
    EM_Source **end = p;
    while (*end) end = &(*end)->next;
    *end = s;
    s->next = nullptr;
}

void EM_deleteSource(EM_Emitter *e, EM_Source *s)
{
    for (EM_Source **p = &e->sources; *p; p = &(*p)->next)
        if (*p == s) {
            *p = s->next;
            if (e->config && e->config->progress == s) e->config->progress = nullptr;
            freeSource(s);
            return;
        }
}

int EM_countSources(const EM_Emitter *e)
{
    int n = 0;
    for (const EM_Source *s = e->sources; s; s = s->next) n += !s->stale;
    return n;
}

EM_Point *EM_pointAt(const EM_Source *s, int index) { return s->points + s->first + index; }

int EM_appendPoint(EM_Source *s, uint32_t time, double value, int maxPoints)
{
    // A maximum of points at the cap is the cap's: the store time asks for more.
    int cap = capOf(s);
    bool full = maxPoints > 0 && maxPoints < EM_MAX_SOURCE_POINTS && s->count >= maxPoints;
    if (!full && !cap && makeRoom(s)) {
        s->points[s->first + s->count] = {time, value};
        s->count++;
        pointsInUse++;
        return 1;
    }
    if (cap && !full) pointCut(s, cap);
    if (s->count == 0) return 0;
    // No memory for another point: the oldest one is taken for it.
    dropFront(s, 1);
    if (!makeRoom(s)) return 0;
    s->points[s->first + s->count] = {time, value};
    s->count++;
    pointsInUse++;
    return 1;
}

void EM_dropOlderThan(EM_Source *s, uint32_t time)
{
    int n = 0;
    while (n < s->count && key(EM_pointAt(s, n)->time) < key(time)) n++;
    dropFront(s, n);
}

void EM_clearPoints(EM_Source *s) { dropFront(s, s->count); }

int EM_putNewPoint(EM_Source *s, uint32_t time, double value)
{
    if (s->count > 0) {
        EM_Point *last = EM_pointAt(s, s->count - 1);
        if (last->time == time) {
            last->value = value;
            return 1;
        }
        if (key(time) < key(last->time)) return EM_insertNewPoint(s, time, value);
    }
    return insertAt(s, s->count, time, value);
}

int EM_insertNewPoint(EM_Source *s, uint32_t time, double value)
{
    int i = s->count - 1;
    for (; i >= 0; i--) {
        EM_Point *p = EM_pointAt(s, i);
        if (p->time == time) {
            p->value = value;
            return 1;
        }
        if (key(p->time) < key(time)) break;
    }
    return insertAt(s, i + 1, time, value);
}

// Points kept in order need one pass; out of order they are sorted at once.
void EM_sortPoints(EM_Source *s)
{
    int swaps = 0, loops = 1;
    EM_Point *base = EM_pointAt(s, 0);
    for (int i = 1; i < s->count; i++) swaps += key(base[i - 1].time) > key(base[i].time);
    if (swaps > 0) {
        std::stable_sort(base, base + s->count,
                         [](const EM_Point &a, const EM_Point &b) { return key(a.time) < key(b.time); });
        loops = 2;
    }
    logSort(s, swaps, loops);
}

const EM_Point *EM_pointAtTime(const EM_Source *s, uint32_t time)
{
    if (s->count == 0) return nullptr;
    const EM_Point *base = EM_pointAt(s, 0);
    int low = 0, high = s->count; // the first point later than time
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (key(base[mid].time) <= key(time)) low = mid + 1;
        else high = mid;
    }
    return low == 0 ? base : base + low - 1;
}

int32_t EM_pointsInUse() { return pointsInUse; }

uint32_t EM_now() { return clockSource(); }
void EM_setClock(uint32_t (*clock)()) { clockSource = clock ? clock : SYS_getTime; }

void EM_resetStore()
{
    EM_freeAll();
    clockSource = SYS_getTime;
}
