// Off-line trends: the trend logs the target keeps, read through its trend
// CGI (Tarsel_readTrend): the trend list configuration, the information of
// each trend, the points of a chosen range loaded in passes, and the
// target's log commands. Only targets of type 103, 109 and 111 keep such
// logs. Owns the buffer of the last answer. Main thread only; every request
// is synchronous.
#pragma once
#include <cstdint>

struct EM_Emitter;
struct EM_Source;

#define OFT_ANSWER_SIZE 256   // configuration, information, command answers
#define OFT_POINTS_SIZE 65535 // an answer of points: the whole reply body
#define OFT_QUERY_SIZE 384

enum { OFT_PASS_MORE = 0, OFT_PASS_DONE = 1, OFT_PASS_FAILED = 2 };

// Whether a target type keeps trend logs.
int OFT_isTrendTarget(int targetType);
// Loads the trend list configuration, and the information of the trends
// when the largest block is known.
void OFT_loadConfig(EM_Emitter *emitter);
// The information of every source; the active list is rebuilt after it.
void OFT_loadInfos(EM_Emitter *emitter);
// Sets up a load by the emitter's "LoadType.": 1 when it can start.
int OFT_prepareLoad(EM_Emitter *emitter);
// One pass of points for every source with something left.
int OFT_loadPass(EM_Emitter *emitter);
// Sorts the points of every source.
void OFT_sortAll(EM_Emitter *emitter);
// The time axis over the loaded points, or the last "XAutoAdjustDelta." ms.
void OFT_adjustRange(EM_Emitter *emitter);
void OFT_clearTargetLogs(EM_Emitter *emitter);
void OFT_restartTargetTrending(EM_Emitter *emitter);
// The trend number sent for a source (EM_NAME_SIZE bytes).
void OFT_trendNumber(const EM_Source *source, char *out);
