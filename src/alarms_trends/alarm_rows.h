// Alarm rows: what the target's alarm CGI answers, taken apart (the
// configuration, the lines of current alarms and of the history) and turned
// into the rows a file viewer shows (tab-separated, with the state colour,
// the times and the acknowledgement). Plain functions without state.
#pragma once
#include <cstddef>
#include <cstdint>

#define AL_ROW_SIZE 256 // a row stays below 256 characters

enum : int {
    AL_TYPE_NONE = 0,
    AL_TYPE_CURRENT = 1,         // current alarms, paged on the target
    AL_TYPE_HISTORY = 2,         // history, paged on the target
    AL_TYPE_OFFLINE_HISTORY = 3, // history, loaded whole into the panel
};

// The state colours, in the order of their containers.
enum : int {
    AL_COLOUR_NO_STATE = 0,
    AL_COLOUR_ON_ACKED = 1,
    AL_COLOUR_OFF_ACKED = 2,
    AL_COLOUR_ON_NACKED = 3,
    AL_COLOUR_OFF_NACKED = 4,
    AL_COLOURS = 5,
};

// One alarm of an answer.
struct AL_Line {
    int32_t historyNumber;
    int32_t alarmNumber;
    const char *text; // null for none
    uint32_t onTime;  // seconds since 1970-01-01 UTC, 0 none
    uint32_t offTime; // 0: still on
    int32_t acknowledged;
    uint32_t count;
    uint8_t red, green, blue;
};

// The configuration answer.
struct AL_Config {
    int version; // major * 100 + minor: 100 or 101
    int32_t current, unused, history, largestBlock, status;
};

// How rows are written: with the colour cell first, times in the 12-hour
// form, times in local time (else UTC).
struct AL_RowStyle {
    int coloured, twelveHour, localTime;
};

// 1 when the answer is a configuration this panel reads.
int AL_parseConfig(const char *answer, AL_Config *config);
// Takes a line apart (fields separated by tabs): a current alarm (alarm
// number, count, on time, off time, acknowledged) or a history entry
// (history number, alarm number, on time, off time, acknowledged); times
// are hexadecimal, the rest decimal. 0 when a field is missing or out of
// range.
int AL_parseLine(const char *line, int history, AL_Line *out);
// The state colour of a line.
int AL_stateOf(const AL_Line *line);
// A colour "R,G,B"; white when the text is none.
void AL_parseColour(const char *text, uint8_t *red, uint8_t *green, uint8_t *blue);
// A time as the rows show it into out (32 bytes at least); "--" for 0.
void AL_formatTime(uint32_t time, const AL_RowStyle *style, char *out, size_t size);
// The row of a line, ending with a line feed; the text is cut so that the
// row stays below AL_ROW_SIZE characters. Answers the length.
int AL_formatRow(const AL_Line *line, int history, const AL_RowStyle *style, char *out, size_t size);
// The number an answer begins with (after blanks); 0 when it begins with none.
int AL_leadingNumber(const char *answer, long *number);
