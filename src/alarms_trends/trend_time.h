// Trend times: the date and time texts of trend axes, cursors and loads, and
// reading such texts back into a timestamp. Local time when the setting
// tmz_en is on, else UTC; the 12-hour clock and the year-first date when the
// page's "PM_AM" is on. Keeps no state.
#pragma once
#include <cstdint>

// Texts of a timestamp (seconds since 1970) into out (EM_DATE_SIZE bytes).
void EM_dateText(uint32_t time, char *out);
void EM_timeText(uint32_t time, char *out);
// "date time" into out (2 * EM_DATE_SIZE bytes).
void EM_dateTimeText(uint32_t time, char *out);
// Replaces the date, or the time of day, of *time by a text read as
// "%d%c%d%c%d": 1, or 0 with *time untouched when the text does not read.
int EM_applyDate(const char *text, uint32_t *time);
int EM_applyTime(const char *text, uint32_t *time);
// The timestamp of a date text and a time text; 0 when they do not read.
int EM_readDateTime(const char *date, const char *time, uint32_t *out);
