// Value formatting: the page's text-conversion table (the TCR file: symbols,
// the names the target knows them by, value ranges, display formats and
// units), the display form of raw target values and the check and conversion
// of what the operator types back into the raw form.
// Owns the table (entries in heap2, from one page load to the next page) and
// the invalid-entry flag. Reads the file through the file layer; reports
// through the log. Main thread only.
#pragma once

#define TCR_LINE_SIZE 256         // a line of the file: at most 255 characters
#define TCR_FILE_LIMIT (1L << 20) // bytes of a table that are read
#define TCR_NAME_SIZE 128         // a formatted name: at most 127 characters
#define TCR_PARAM_SIZE 256        // a parameter text: at most 255 characters
#define TCR_VALUE_SIZE 256        // the value buffers the conversions work on

// Parameter fields, counted from 0.
enum { TCR_FIELD_MIN = 0, TCR_FIELD_MAX = 1, TCR_FIELD_FORMAT = 2, TCR_FIELD_UNIT = 3 };

struct TcrEntry;

// ---- the table ----

// Reads the page's TCR file, replacing the table: 0, or -1 when the file cannot
// be opened (reported as not found). Lines the table cannot take are logged
// and skipped; when memory runs out the entries read so far stay.
int TCR_parseTcrFile(const char *fileName);
// Empties the table (page change). The entries' memory goes with heap2.
void TCR_reset();
int TCR_getEntryCount();

// The first entry of a symbol, or of a formatted name; null when none.
TcrEntry *TCR_getTcrPointerWithSymbol(const char *symbol);
TcrEntry *TCR_getTcrPointer(const char *formattedName);
const char *TCR_getSymbolName(const TcrEntry *entry);
const char *TCR_getFormatedName(const TcrEntry *entry);
// The parameter text of an entry, or of a symbol's entry; null when none.
const char *TCR_getParam(const TcrEntry *entry);
const char *TCR_getTcrParameter(const char *symbol);
// The formatted name of a symbol into dst (TCR_NAME_SIZE bytes; dst may be
// the symbol itself): 1, or 0 with dst untouched when the symbol has no entry.
int TCR_convertFormatedPPOName(char *dst, const char *symbol);
int TCR_convertFormatedPPONameFrom(const TcrEntry *entry, char *dst);

// A parameter field of an entry, or null when the entry has no such field or
// the field is the single blank that marks it absent. The text lives in a
// ring of 4 buffers of 256 bytes: valid until 4 further calls.
const char *TCR_getParamField(const TcrEntry *entry, int index);
const char *TCR_getMin(const TcrEntry *entry);
const char *TCR_getMax(const TcrEntry *entry);
const char *TCR_getFormat(const TcrEntry *entry);
const char *TCR_getUnit(const TcrEntry *entry);
// Position after the next ";" (consecutive ones count as one), null when no
// field follows.
const char *TCR_nextElement(const char *text);

// ---- read side: raw value -> display form ----

// Rewrites value (TCR_VALUE_SIZE bytes) in place into the display form of a
// format: 1 when rewritten, 0 when the value stays as it is.
int TCR_formatString(const char *format, char *value);
int TCR_readFormatedPPO(const TcrEntry *entry, char *value);
// The same for a value of the local data server, found by its formatted name.
int TCR_readFormatedPPOValue(const char *formattedName, char *value);
// Appends " " and the entry's unit to text (TCR_VALUE_SIZE bytes) when it has one.
void TCR_appendUnit(const TcrEntry *entry, char *text);
// Prints the number in text (TCR_VALUE_SIZE bytes) with places decimals: 1,
// or 0 and text unchanged when it is no number or places is 7 or more.
int formatFlt2DecN(char *text, int places);

// ---- write side: typed value -> raw value ----

// Checks and converts an operator's input (TCR_VALUE_SIZE bytes) in place into
// the target's form. *ok becomes 1, and 0 when the write must not happen.
// Answers 0 when the name has no entry (value untouched), else 1.
int TCR_writeFormatedPPOValue(const char *formattedName, char *value, int *ok);
// Whether an entry was refused or corrected since the last call; clears it.
int TCR_isInvalidEntry();

// Checks a raw time (HHMM, HHMMSS) or date (MMDD, YYMMDD) against its bounds
// (raw texts of the same order, null or blank when absent) and rewrites it
// clamped or normalised. 1 only when valid and no entry was refused since the
// last refresh.
int fix_hhmm(char *raw, const char *minimum, const char *maximum);
int fix_hhmmss(char *raw, const char *minimum, const char *maximum);
int fix_mmdd(char *raw, const char *minimum, const char *maximum);
int fix_yymmdd(char *raw, const char *minimum, const char *maximum);

// ---- text helpers on TCR_VALUE_SIZE buffers ----

// Puts character in front of text (a full buffer loses its last character).
void util_insertChar(char character, char *text);
// The last n characters of text; a shorter text is first padded in place with
// leading "0" to n characters.
char *util_modifyStringLength(char *text, int n);
