// Trend store: the emitters (one per graph suffix, kept for the whole run,
// also while other pages are shown), their sources (curves) and the
// time-ordered points of each source. Owns the global emitter list, the
// point budget that bounds the memory of all points together, and the
// engine's clock. Emitters, sources and points use the standard allocator,
// not page memory. Main thread only.
#pragma once
#include <cstdint>

struct GR_Graph;

#define EM_NAME_SIZE 128 // a source or emitter name: at most 127 characters
#define EM_SUFFIX_SIZE 16
#define EM_DATE_SIZE 12      // a date or time text: at most 11 characters
#define EM_LIST_SIZE 2049    // a trend list text: at most 2048 characters
#define EM_BASE_NAME_SIZE 40 // base name of the target's trend list
#define EM_MAX_EMITTERS 32
#define EM_MAX_SOURCES 64 // per emitter
#define EM_MAX_SOURCE_POINTS 65536
#define EM_POINT_BUDGET 262144 // points of all sources together (16 bytes each: 4 MB)
#define EM_STATUS_BIT 0x80000000u
#define EM_TIME_MASK 0x7FFFFFFFu

enum { EM_KIND_ONLINE = 1, EM_KIND_OFFLINE = 2, EM_KIND_OFFLINE_SAVED = 3 };

// The caps that cut data; the first cut of each is logged, one line per emitter.
enum { EM_CUT_SOURCES = 1, EM_CUT_SOURCE_POINTS = 2, EM_CUT_BUDGET = 4 };

struct EM_Point {
    uint32_t time; // seconds since 1970; bit 31 marks a status point
    double value;
};

// What the target says about one logged trend, and the state of its load.
struct EM_OfflineInfo {
    int32_t samples;
    uint32_t start, end; // oldest and latest timestamp
    uint32_t lastLoaded;
    uint32_t loadStart, loadEnd; // the range being loaded
    int32_t loadType;
    int64_t remaining; // seconds (load types 0, 1) or points (2, 3)
    int64_t range;     // the amount at the start of the load
    char startDate[EM_DATE_SIZE], startTime[EM_DATE_SIZE], endDate[EM_DATE_SIZE], endTime[EM_DATE_SIZE];
    int32_t logFiles, bufferType, triggerType;
    double triggerValue;
};

struct EM_Source {
    int32_t row; // in the active list from 1, -1 when only in the available list
    char name[EM_NAME_SIZE];
    char displayName[EM_NAME_SIZE];
    double min, max;
    uint32_t colour;
    uint8_t stale;
    EM_Point *points; // points[first .. first + count), oldest first
    int32_t first, count, capacity;
    EM_OfflineInfo *offline; // off-line emitters only
    EM_Source *next;
};

// The target's trend list configuration (off-line emitters on targets that
// keep trend logs).
struct EM_Config {
    int32_t version; // major * 100 + minor, 0 while unknown
    char baseName[EM_BASE_NAME_SIZE];
    int32_t trends;
    int32_t largestBlock;
    EM_Source *progress; // the source that measures the loading progress
};

struct EM_Emitter {
    uint8_t autoUpdate;
    uint8_t axisDescriptions;
    uint8_t stopped;
    uint8_t kind;
    uint8_t hasSuffix;
    uint8_t newData; // sampled or changed since the graph last drew it
    char name[EM_NAME_SIZE];
    char suffix[EM_SUFFIX_SIZE];
    int32_t prefixLength;
    GR_Graph *graph;
    int32_t displayedTime, maxStoreTime, maxPoints;
    double rangeStart, rangeEnd; // the graph's time axis, seconds since 1970
    EM_Source *sources;
    int32_t sourceCount; // sources declared (not stale)
    uint32_t cursor;     // seconds, 0 for none
    uint32_t cursorColour;
    char lastActive[EM_LIST_SIZE]; // the active list text parsed last
    int32_t targetType;
    EM_Config *config;
    uint8_t cutsLogged; // the caps (EM_CUT_...) whose cuts are in the log
    EM_Emitter *next;
};

// The list of all emitters.
EM_Emitter *EM_firstEmitter();
// The emitter of a numeric suffix, null when none.
EM_Emitter *EM_findEmitter(const char *suffix);
// The emitter bound to the graph (checked against the list), or null.
EM_Emitter *EM_emitterOf(const GR_Graph *graph);
// A new emitter for a source name, appended to the list; null when the list
// is full or memory runs out.
EM_Emitter *EM_createEmitter(const char *name);
// Frees an emitter with its sources and points, and takes it off the list.
void EM_deleteEmitter(EM_Emitter *emitter);
// Frees every emitter, source and point; the point budget is whole again.
void EM_freeAll();

// Kind and prefix length by the prefix of a source name; the suffix: the
// text after the last "." when it reads as a decimal number.
int EM_kindOf(const char *name, int32_t *prefixLength);
int EM_suffixOf(const char *name, char *suffix);
// The container of an emitter parameter (size bytes): the name's prefix, the
// parameter and the suffix.
void EM_paramName(const EM_Emitter *emitter, const char *parameter, char *out, int size);
// Reads a parameter: its text into out (size bytes; empty when it does not
// exist, which never creates it), or its decimal value (0 when none).
int EM_readParam(const EM_Emitter *emitter, const char *parameter, char *out, int size);
long EM_readParamNumber(const EM_Emitter *emitter, const char *parameter);
int EM_paramIs(const EM_Emitter *emitter, const char *parameter, const char *value);
void EM_writeParam(const EM_Emitter *emitter, const char *parameter, const char *value);
// The whole text of a parameter (up to 2048 characters), or null.
const char *EM_paramText(const EM_Emitter *emitter, const char *parameter);

// Sources.
EM_Source *EM_findSource(EM_Emitter *emitter, const char *name);
// A new source at the end of the list (off-line info for off-line kinds);
// null when the emitter has its maximum of sources or memory runs out.
EM_Source *EM_createSource(EM_Emitter *emitter, const char *name);
// Moves a source to the end of the list.
void EM_moveToEnd(EM_Emitter *emitter, EM_Source *source);
void EM_deleteSource(EM_Emitter *emitter, EM_Source *source);
int EM_countSources(const EM_Emitter *emitter);

// Points.
EM_Point *EM_pointAt(const EM_Source *source, int index);
// Appends a point; when no memory is left (the source's maximum, the budget
// or the allocator) the oldest point is dropped for it. 0 only when the
// source cannot take a point at all.
int EM_appendPoint(EM_Source *source, uint32_t time, double value, int maxPoints);
// Drops the points older than time.
void EM_dropOlderThan(EM_Source *source, uint32_t time);
void EM_clearPoints(EM_Source *source);
// An off-line point in time order: the same timestamp replaces the value, an
// earlier one is inserted (EM_insertNewPoint). 1 when stored.
int EM_putNewPoint(EM_Source *source, uint32_t time, double value);
int EM_insertNewPoint(EM_Source *source, uint32_t time, double value);
void EM_sortPoints(EM_Source *source);
// The point at or before time (the first point when all are later); null
// without points.
const EM_Point *EM_pointAtTime(const EM_Source *source, uint32_t time);
// Points held by all sources together.
int32_t EM_pointsInUse();

// The engine's clock, seconds since 1970; tests and benchmarks set their own.
uint32_t EM_now();
void EM_setClock(uint32_t (*clock)());
// Nothing stored, the budget whole, the system clock.
void EM_resetStore();
