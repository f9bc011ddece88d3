// Off-line alarm history: the lines of a history loaded whole into the panel,
// kept in heap1 in blocks after a remembered heap position, with the alarm
// texts shared between lines of the same alarm; a new load cuts heap1 back to
// that position (when other page data got in among the lines, heap1 is not
// cut and the blocks are reused instead); sorting by a column, and writing the
// rows into a RAM-disk file.
// The sort's work arrays are module state; the lines belong to their list.
#pragma once
#include <cstdint>

#include "alarms_trends/alarm_rows.h"

#define AL_HISTORY_MAX 10000
#define AL_BLOCK_LINES 256
#define AL_HISTORY_BLOCKS ((AL_HISTORY_MAX + AL_BLOCK_LINES - 1) / AL_BLOCK_LINES)
#define AL_TEXT_SLOTS 256
#define AL_SORT_COLUMNS 6

struct AL_TextSlot {
    int32_t alarmNumber;
    char *text;
};

struct AL_History {
    AL_Line *blocks[AL_HISTORY_BLOCKS];
    int blockCount;
    int32_t count;
    AL_TextSlot texts[AL_TEXT_SLOTS];
    int textCount;
    uint32_t heapMark; // heap1 position where the history's memory begins
    uint32_t heapEnd;  // heap1 position after its last block or text
    int heapShared;    // other page data lies among the history's memory
};

// Appends a copy of line (its text kept in heap1); 0 when the history holds
// AL_HISTORY_MAX lines or heap1 is full.
int AL_historyAdd(AL_History *history, const AL_Line *line);
AL_Line *AL_historyAt(AL_History *history, int32_t index);
// No lines; heap1 goes back to the remembered position when nothing but the
// history lies above it, else the blocks and texts stay for the next load.
void AL_historyClear(AL_History *history);

// Compares the key of column (1 history number, 2 alarm number, 3 text, 4 on
// time, 5 off time, 6 acknowledged; the sign is ignored): <0, 0, >0.
int AL_compareLines(const AL_Line *a, const AL_Line *b, int column);
// Sorts the lines: a positive column puts larger values first, a negative one
// smaller values first, equal values keep their order (the order that passes
// swapping out-of-order neighbours until none is left give). Answers 1 when a
// line moved, 0 when none did, -1 for a column out of range.
int AL_historySort(AL_History *history, int column);
// Writes every line as its row into the RAM-disk file; answers the bytes
// written, -1 when the file cannot be opened.
int32_t AL_historyWrite(AL_History *history, const char *fileName, const AL_RowStyle *style);
// Forgets the sort's work arrays.
void AL_resetHistorySort();
