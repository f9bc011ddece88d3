// Saving trend logs: the points of an emitter's sources written to a file in
// the program's directory, "trendlog<suffix>.csv" (one line per point:
// trend, date, time, value). Keeps no state.
#pragma once

struct EM_Emitter;

#define EM_LOG_FILE_SIZE 64

// Writes the file; 1 when written. name receives its name (EM_LOG_FILE_SIZE bytes).
int EM_saveLogs(const EM_Emitter *emitter, char *name);
