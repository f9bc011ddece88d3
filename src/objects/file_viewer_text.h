// File viewer text: the character reader that file viewers, alarm lists and
// drop-down lists share, and the table form of a text: rows, tab-separated
// cells, the directive lines ("#!" comments, "#sp;" column starts) and the
// row colours ("#sbc;", "#sfc;"). A text is a value text, a RAM-disk file
// (bytes, or UTF-16 after 0xFF 0xFE), or a text followed by a file. Reads
// through the RAM disk and the file layer; keeps no state between calls.
#pragma once
#include <cstdint>

#define FV_MAX_COLUMNS 20
#define FV_LINE_SIZE 256 // a line keeps 255 characters, the rest is dropped
#define FV_HIDDEN_COLUMN 101

// Where a table comes from: text first (may be null), then the RAM-disk
// file of that name (may be null or empty).
struct FV_Source {
    const char *text;
    const char *file;
};

// A character reader over a source. Decodes 0xA2 as a line feed, 0xA7 as a
// tab and the escapes "\n", "\r", "\t" and "\0" (the end of the text).
struct FV_Reader {
    const char *text;
    int file;                 // RAM-disk handle, -1 none
    int utf16;                // the file is UTF-16 little-endian
    int pending;              // a raw character given back, -1 none
    int ended;                // "\0" was read
    unsigned char bytes[256]; // read from the file ahead
    int byteCount, bytePosition;
};

// Opens a reader; 0 when the source names a file that cannot be opened.
int FV_openReader(FV_Reader *reader, const FV_Source *source);
void FV_closeReader(FV_Reader *reader);
// Next character, -1 at the end. Characters above 255 read as '?'.
int FV_getChar(FV_Reader *reader);
// Reads one line without its line feed (carriage returns are skipped) into
// line (FV_LINE_SIZE bytes); *cut becomes 1 when characters were dropped.
// Answers the length, -1 when no line is left.
int FV_readLine(FV_Reader *reader, char *line, int *cut);

enum : int {
    FV_LINE_ROW = 0,
    FV_LINE_COMMENT = 1,       // "#!": neither shown nor counted
    FV_LINE_COLUMN_STARTS = 2, // "#sp;": sets the column starts, not shown
};
int FV_lineKind(const char *line);

// A shown row taken apart: its colours (0 when not given) and its cells,
// pointers into the line, which is changed in place.
struct FV_Row {
    uint32_t background;
    uint32_t foreground;
    int cellCount;
    char *cells[FV_MAX_COLUMNS];
};
// Splits a row line at its tabs (at most FV_MAX_COLUMNS cells, the rest of
// the line is dropped) after its colour directives.
void FV_splitRow(char *line, FV_Row *row);
// The row with its colour directives removed, tabs kept.
const char *FV_rowText(const char *line);

// What a whole text gives: rows, columns and column starts (percent of the
// list width, -1 unset, FV_HIDDEN_COLUMN or more hidden).
struct FV_Table {
    int32_t rows;
    int16_t columns;
    int16_t starts[FV_MAX_COLUMNS];
    int32_t cutLines; // lines longer than FV_LINE_SIZE - 1 characters
};
// Reads the whole source; 0 when it cannot be opened.
int FV_parseTable(const FV_Source *source, FV_Table *table);
// The columns of a "#sp;" line into starts; answers how many were read.
int FV_parseColumnStarts(const char *line, int16_t *starts);
// Column k's start and width in percent; 0 when it draws nothing.
int FV_columnSpan(const FV_Table *table, int k, int *start, int *width);

// Row index (shown rows counted from 0) of the source; fills line
// (FV_LINE_SIZE bytes). 0 when there is no such row.
int FV_readRow(const FV_Source *source, int32_t row, char *line);
// One cell of a row into dst (size bytes); 0 when the row or cell is missing.
int FV_readCell(const FV_Source *source, int32_t row, int column, char *dst, int size);

// Copies the file name (through the file layer, from the target or from
// disk) byte by byte to the RAM-disk handle. Answers the bytes copied, -1
// when the file cannot be opened; *full becomes 1 when the RAM disk took
// no more, *last (may be null) is the last byte copied, -1 none.
int32_t FV_copyFile(const char *name, int handle, int *full, int *last);
