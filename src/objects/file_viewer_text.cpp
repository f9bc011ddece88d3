// File viewer text: the shared character reader, line reading and the table
// form of a text. Reads RAM-disk files directly (a viewer's copy, the item
// file of a drop-down list, an alarm history) and source files through the
// file layer.
#include "objects/file_viewer_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "transport/file_layer.h"

namespace {

constexpr int kLineFeed = 10, kCarriageReturn = 13, kTab = 9;
constexpr int kCodedLineFeed = 0xA2, kCodedTab = 0xA7;

// The file is read in blocks: one lock of the RAM disk for many characters.
int fileByte(FV_Reader *r)
{
    if (r->file < 0) return -1;
    if (r->bytePosition == r->byteCount) {
        r->byteCount = RA_fileRead(r->bytes, 1, sizeof r->bytes, r->file);
        r->bytePosition = 0;
        if (r->byteCount <= 0) {
            r->byteCount = 0;
            return -1;
        }
    }
    return r->bytes[r->bytePosition++];
}

int rawChar(FV_Reader *r)
{
    if (r->pending >= 0) {
        int c = r->pending;
        r->pending = -1;
        return c;
    }
    if (r->text) {
        if (*r->text) return static_cast<unsigned char>(*r->text++);
        r->text = nullptr;
    }
    int low = fileByte(r);
    if (!r->utf16 || low < 0) return low;
    int high = fileByte(r);
    return high < 0 ? low : low | high << 8;
}

// A file that begins with 0xFF 0xFE is UTF-16: reading goes on after them.
void detectUtf16(FV_Reader *r)
{
    int first = fileByte(r);
    int second = first == 0xFF ? fileByte(r) : -1;
    if (first == 0xFF && second == 0xFE) r->utf16 = 1;
    else r->bytePosition = 0;
}

uint32_t colourOf(int red, int green, int blue)
{
    return 0xFF000000u | (static_cast<uint32_t>(red) & 255) | (static_cast<uint32_t>(green) & 255) << 8 |
           (static_cast<uint32_t>(blue) & 255) << 16;
}

// "#sbc;R,G,B" or "#sfc;R,G,B" with an optional closing "#" at the front of
// text: the colour and the text after the directive; null when there is none.
const char *colourDirective(const char *text, int *background, uint32_t *colour)
{
    int isBackground = prefixcmp(text, "#sbc;");
    if (!isBackground && !prefixcmp(text, "#sfc;")) return nullptr;
    int red, green, blue, used = 0;
    if (std::sscanf(text + 5, "%d,%d,%d%n", &red, &green, &blue, &used) != 3) return nullptr;
    *background = isBackground;
    *colour = colourOf(red, green, blue);
    const char *rest = text + 5 + used;
    return *rest == '#' ? rest + 1 : rest;
}

// Reads lines up to the shown row; false when the text ends before it.
bool seekRow(FV_Reader *r, int32_t row, char *line)
{
    int cut = 0;
    for (int32_t shown = 0; FV_readLine(r, line, &cut) >= 0;) {
        if (FV_lineKind(line) != FV_LINE_ROW) continue;
        if (shown++ == row) return true;
    }
    return false;
}

} // namespace

int FV_openReader(FV_Reader *r, const FV_Source *source)
{
    *r = {};
    r->text = source ? source->text : nullptr;
    r->file = -1;
    r->pending = -1;
    if (!source || !source->file || !source->file[0]) return 1;
    r->file = RA_fileOpen(source->file, "r");
    if (r->file < 0) return 0;
    detectUtf16(r);
    return 1;
}

void FV_closeReader(FV_Reader *r)
{
    if (r->file >= 0) RA_fileClose(r->file);
    r->file = -1;
    r->text = nullptr;
}

int FV_getChar(FV_Reader *r)
{
    if (r->ended) return -1;
    int c = rawChar(r);
    if (c == kCodedLineFeed) return kLineFeed;
    if (c == kCodedTab) return kTab;
    if (c > 255) return '?';
    if (c != '\\') return c;
    int next = rawChar(r);
    switch (next) {
    case 'n': return kLineFeed;
    case 'r': return kCarriageReturn;
    case 't': return kTab;
    case '0': r->ended = 1; return -1;
    default: r->pending = next; return '\\';
    }
}

int FV_readLine(FV_Reader *r, char *line, int *cut)
{
    int length = 0, c = FV_getChar(r);
    if (c < 0) {
        line[0] = '\0';
        return -1;
    }
    for (; c >= 0 && c != kLineFeed; c = FV_getChar(r)) {
        if (c == kCarriageReturn) continue;
        if (length < FV_LINE_SIZE - 1) line[length++] = static_cast<char>(c);
        else *cut = 1;
    }
    line[length] = '\0';
    return length;
}

int FV_lineKind(const char *line)
{
    if (prefixcmp(line, "#!")) return FV_LINE_COMMENT;
    if (prefixcmp(line, "#sp;")) return FV_LINE_COLUMN_STARTS;
    return FV_LINE_ROW;
}

const char *FV_rowText(const char *line)
{
    int background;
    uint32_t colour;
    for (const char *rest; (rest = colourDirective(line, &background, &colour));) line = rest;
    return line;
}

void FV_splitRow(char *line, FV_Row *row)
{
    *row = {};
    int background;
    uint32_t colour;
    for (const char *rest; (rest = colourDirective(line, &background, &colour));) {
        (background ? row->background : row->foreground) = colour;
        line = const_cast<char *>(rest);
    }
    row->cells[row->cellCount++] = line;
    for (char *tab; row->cellCount <= FV_MAX_COLUMNS && (tab = std::strchr(line, '\t'));) {
        *tab = '\0';
        line = tab + 1;
        if (row->cellCount == FV_MAX_COLUMNS) break;
        row->cells[row->cellCount++] = line;
    }
}

int FV_parseColumnStarts(const char *line, int16_t *starts)
{
    int n = 0;
    for (const char *p = line + 3; n < FV_MAX_COLUMNS && (p = std::strpbrk(p, ",;"));) {
        p++;
        char *end = nullptr;
        long value = std::strtol(p, &end, 10);
        if (end == p) break;
        if (value < 0) value = -1;
        if (value > FV_HIDDEN_COLUMN) value = FV_HIDDEN_COLUMN;
        starts[n++] = static_cast<int16_t>(value);
        p = end;
    }
    return n;
}

int FV_parseTable(const FV_Source *source, FV_Table *table)
{
    *table = {};
    int16_t given[FV_MAX_COLUMNS];
    int givenCount = -1;
    FV_Reader r;
    if (!FV_openReader(&r, source)) return 0;
    char line[FV_LINE_SIZE];
    int cut = 0;
    for (int length; (length = FV_readLine(&r, line, &cut)) >= 0;) {
        if (cut) table->cutLines++;
        cut = 0;
        int kind = FV_lineKind(line);
        if (kind == FV_LINE_COLUMN_STARTS) givenCount = FV_parseColumnStarts(line, given);
        if (kind != FV_LINE_ROW) continue;
        FV_Row row;
        FV_splitRow(line, &row);
        if (row.cellCount > table->columns) table->columns = static_cast<int16_t>(row.cellCount);
        table->rows++;
    }
    FV_closeReader(&r);
    if (table->columns < 1) table->columns = 1;
    for (int k = 0; k < FV_MAX_COLUMNS; k++) {
        if (givenCount >= 0) table->starts[k] = static_cast<int16_t>(k < givenCount ? given[k] : -1);
        else table->starts[k] = static_cast<int16_t>(k < table->columns ? k * (100 / table->columns) : -1);
    }
    return 1;
}

// A column ends where the next larger start begins (a later column at the
// same start takes the place), else at 100 %.
int FV_columnSpan(const FV_Table *table, int k, int *start, int *width)
{
    if (k < 0 || k >= FV_MAX_COLUMNS) return 0;
    int s = table->starts[k], next = 100;
    if (s < 0 || s >= FV_HIDDEN_COLUMN) return 0;
    for (int j = 0; j < FV_MAX_COLUMNS; j++) {
        int other = table->starts[j];
        if (j == k || other < s || (other == s && j < k)) continue;
        if (other < next) next = other;
    }
    *start = s;
    *width = next - s;
    return *width > 0;
}

int FV_readRow(const FV_Source *source, int32_t row, char *line)
{
    line[0] = '\0';
    FV_Reader r;
    if (row < 0 || !FV_openReader(&r, source)) return 0;
    bool found = seekRow(&r, row, line);
    FV_closeReader(&r);
    if (!found) line[0] = '\0';
    return found;
}

int FV_readCell(const FV_Source *source, int32_t row, int column, char *dst, int size)
{
    if (size > 0) dst[0] = '\0';
    char line[FV_LINE_SIZE];
    if (!FV_readRow(source, row, line)) return 0;
    FV_Row cells;
    FV_splitRow(line, &cells);
    if (column < 0 || column >= cells.cellCount) return 0;
    safe_strncpy(dst, cells.cells[column], size);
    return 1;
}

int32_t FV_copyFile(const char *name, int handle, int *full, int *last)
{
    if (last) *last = -1;
    int source = Tarsel_fileOpen(name, "r");
    if (source < 0) return -1;
    int32_t count = 0;
    unsigned char block[512];
    for (int n; !*full && (n = Tarsel_fileRead(block, 1, sizeof block, source)) > 0;) {
        int written = RA_fileWrite(block, 1, n, handle);
        count += written;
        if (written > 0 && last) *last = block[written - 1];
        if (written < n) *full = 1;
    }
    Tarsel_fileClose(source);
    return count;
}
