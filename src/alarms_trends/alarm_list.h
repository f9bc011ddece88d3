// Alarm lists: file viewers whose source container names one of the alarm
// prefixes show the target's current alarms or its history, page by page
// or (off-line history) loaded whole into the panel, sorted and kept in a
// RAM-disk file. The page and the operator drive a list through the
// containers named after it: page number, filter, sort, colours, commands.
#pragma once

#include "alarms_trends/alarm_history.h"
#include "alarms_trends/alarm_rows.h"

#define AL_NAME_SIZE 128
#define AL_ANSWER_SIZE 2048
#define AL_MAX_FAILURES 3
#define AL_OFFLINE_BLOCK 64
// Page jumps of more pages than this load the page's block at once.
#define AL_MAX_LOADS_PER_CYCLE 32

// The list of one viewer, made in heap1 at its first drawing.
struct AL_Context {
    int type;
    char sourceName[AL_NAME_SIZE];
    char prefix[16]; // the source name's prefix without "AlarmsList."
    char suffix[AL_NAME_SIZE];
    char listName[AL_NAME_SIZE];
    char header[AL_ROW_SIZE + 2]; // the header with its line feed
    int state;                    // -1 until the list name is known
    int nameReported;
    int waiting; // the page waits for its first values
    int linesPerPage;
    int page, previousPage;
    int filter, sort;
    int32_t total;
    int32_t blockStart, blockSize, nextStart;
    int32_t received;
    int failures;     // blocks that failed in a row
    int configFailed; // the last configuration failed (reported)
    int endMarker;
    int coloured;
    int sortColumn; // pending sort of the off-line history, 0 none
    int32_t fileSize;
    uint32_t answerHash; // the last answer, to notice when it changed
    int answerLength;
    AL_History history;
};

// A viewer's drawing with a container source: answers the list type (0 when
// the name has none of the alarm prefixes) and runs one list cycle.
int AL_parseMacroContainers(int viewer, const char *sourceName);
// The viewer's rows: from the off-line history's file when there is one,
// else from text. 1 when drawn.
int AL_drawMacroContainers(int viewer, const char *text);
// Every write to a container named "@MACROALR...": schedules a redraw
// (except for the headers) so that the list follows in the next cycle;
// answers 0, the write goes on as usual.
int AL_macroWriteVal(const char *name, const char *value);
// The list type that a source name's prefix gives.
int AL_typeOf(const char *sourceName);

// Attaches the alarm lists to the containers and the file viewers.
void AL_attachHooks();
// Forgets the last answer and the sort's work arrays.
void AL_reset();
