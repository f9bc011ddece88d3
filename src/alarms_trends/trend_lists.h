// Trend lists: the texts of the containers "AvailableTrends." (every trend
// that may be shown) and "ActiveTrends." (the trends shown, one row per
// source) parsed into an emitter's sources, the cell containers
// "ActiveTrends[row][column]." written back from them, and the active list
// rebuilt from those cells. Owns the shared buffer of the text being parsed
// and the turn of default colours (blue, green, red) of the whole run.
#pragma once

struct EM_Emitter;
struct EM_Source;

// Columns of a trend list row.
enum {
    EM_COLUMN_PREFIX = 0,
    EM_COLUMN_NAME = 1,
    EM_COLUMN_MIN = 2,
    EM_COLUMN_MAX = 3,
    EM_COLUMN_COLOUR = 4,
    EM_COLUMN_START_DATE = 7,
    EM_COLUMN_START_TIME = 8,
    EM_COLUMN_END_DATE = 9,
    EM_COLUMN_END_TIME = 10,
    EM_COLUMN_SAMPLES = 11,
    EM_COLUMNS = 12,
};

// Parses the emitter's available list (when its container exists) or its
// active list (when it exists and its text changed since the last parse).
void EM_parseAvailableList(EM_Emitter *emitter);
void EM_parseActiveList(EM_Emitter *emitter);
// Parses a list text: active rows are numbered from 1 and written back to
// their cells, available rows get -1. Sources that are not in an available
// list lose their points and go.
void EM_parseTrendList(EM_Emitter *emitter, const char *text, int active);
// Rebuilds "ActiveTrends." from the cells (missing cells from the sources);
// without any active row the list stays as it is.
void EM_rebuildActiveList(EM_Emitter *emitter);
// Writes one cell container of a source's row (rows from 1).
void EM_writeCell(const EM_Emitter *emitter, int row, int column, const char *text);
// The turn of default colours starts again with blue.
void EM_resetLists();
