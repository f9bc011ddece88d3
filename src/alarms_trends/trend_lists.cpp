// Trend lists: parsing the available and active list texts into sources,
// writing the cells back and rebuilding the active list from them.
#include "alarms_trends/trend_lists.h"

#include <cstdio>
#include <cstring>

#include "alarms_trends/trend_axis.h"
#include "alarms_trends/trend_store.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

constexpr unsigned char kRowMark = 0xA2;
constexpr unsigned char kCellMark = 0xA7;
constexpr int kCellSize = EM_NAME_SIZE;
const uint32_t kDefaultColours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}; // blue, green, red

char stream[EM_LIST_SIZE]; // the list text being parsed
int colourTurn;

enum Break { CELL, ROW, END };

// The next cell of the text at *p into cell (cut to its size; carriage
// returns left out); what ended it.
Break nextCell(const char **p, char *cell)
{
    int n = 0;
    for (const char *s = *p;; s++) {
        unsigned char c = static_cast<unsigned char>(*s);
        Break b = CELL;
        int length = 1;
        if (c == '\0') {
            b = END, length = 0;
        } else if (c == '\n' || c == kRowMark) {
            b = ROW;
        } else if (c == '\\' && (s[1] == 'n' || s[1] == 't')) {
            b = s[1] == 'n' ? ROW : CELL, length = 2;
        } else if (c != '\t' && c != kCellMark) {
            if (c != '\r' && n < kCellSize - 1) cell[n++] = static_cast<char>(c);
            continue;
        }
        cell[n] = '\0';
        *p = s + length;
        return b;
    }
}

void skipRow(const char **p)
{
    char cell[kCellSize];
    while (nextCell(p, cell) == CELL) {}
}

uint32_t nextDefaultColour()
{
    uint32_t c = kDefaultColours[colourTurn % 3];
    colourTurn = (colourTurn + 1) % 3;
    return c;
}

bool readColour(const char *text, uint32_t *colour)
{
    unsigned r, g, b;
    if (std::sscanf(text, "%u,%u,%u", &r, &g, &b) != 3) return false;
    *colour = 0xFF000000u | (r & 0xFFu) | (g & 0xFFu) << 8 | (b & 0xFFu) << 16;
    return true;
}

void colourText(uint32_t colour, char *out, int size)
{
    std::snprintf(out, static_cast<size_t>(size), "%u,%u,%u", colour & 0xFFu, (colour >> 8) & 0xFFu,
                  (colour >> 16) & 0xFFu);
}

// The source a row names, found or made, declared again.
EM_Source *takeSource(EM_Emitter *e, const char *name, int row)
{
    EM_Source *s = EM_findSource(e, name);
    if (s) EM_moveToEnd(e, s);
    else s = EM_createSource(e, name);
    if (!s) return nullptr;
    s->stale = 0;
    s->row = row;
    if (e->kind == EM_KIND_ONLINE) safe_strncpy(s->displayName, Tarsel_orderPPO(s->name), sizeof s->displayName);
    return s;
}

void takeCell(EM_Source *s, int column, const char *cell)
{
    double v;
    EM_OfflineInfo *o = s->offline;
    switch (column) {
    case EM_COLUMN_MIN:
        if (std::sscanf(cell, "%lf", &v) == 1) s->min = v;
        break;
    case EM_COLUMN_MAX:
        if (std::sscanf(cell, "%lf", &v) == 1) s->max = v;
        s->colour = nextDefaultColour();
        break;
    case EM_COLUMN_COLOUR: readColour(cell, &s->colour); break;
    case EM_COLUMN_START_DATE:
        if (o) safe_strncpy(o->startDate, cell, EM_DATE_SIZE);
        break;
    case EM_COLUMN_START_TIME:
        if (o) safe_strncpy(o->startTime, cell, EM_DATE_SIZE);
        break;
    case EM_COLUMN_END_DATE:
        if (o) safe_strncpy(o->endDate, cell, EM_DATE_SIZE);
        break;
    case EM_COLUMN_END_TIME:
        if (o) safe_strncpy(o->endTime, cell, EM_DATE_SIZE);
        break;
    case EM_COLUMN_SAMPLES:
        if (o && std::sscanf(cell, "%lf", &v) == 1 && v >= 0 && v < 2147483647.0) o->samples = static_cast<int32_t>(v);
        break;
    default: break;
    }
}

// One row. Without a colour prefix the first cell is the name and the second
// one is not used; with it the name is the second cell. Cells are written
// back under their column, the name always under column 1.
void parseRow(EM_Emitter *e, const char **p, int row)
{
    char cell[kCellSize];
    Break b = nextCell(p, cell);
    bool prefixed = cell[0] == '#';
    char prefix[kCellSize];
    safe_strncpy(prefix, cell, sizeof prefix);
    if (prefixed && b == CELL) b = nextCell(p, cell);
    else if (prefixed) cell[0] = '\0';
    if (!cell[0]) {
        if (b == CELL) skipRow(p);
        return;
    }
    EM_Source *s = takeSource(e, cell, row);
    if (!s) {
        if (b == CELL) skipRow(p);
        return;
    }
    if (row > 0) {
        if (prefixed) EM_writeCell(e, row, EM_COLUMN_PREFIX, prefix);
        EM_writeCell(e, row, EM_COLUMN_NAME, cell);
    }
    if (!prefixed && b == CELL) b = nextCell(p, cell); // the second cell: not used
    for (int column = EM_COLUMN_MIN; b == CELL; column++) {
        b = nextCell(p, cell);
        takeCell(s, column, cell);
        if (row > 0 && column < EM_COLUMNS) EM_writeCell(e, row, column, cell);
    }
}

void deleteStale(EM_Emitter *e)
{
    EM_Source *s = e->sources;
    while (s) {
        EM_Source *next = s->next;
        if (s->stale) EM_deleteSource(e, s);
        s = next;
    }
}

// A cell's text into out: the cell container when it holds something, else
// the source's value.
void cellText(const EM_Emitter *e, const EM_Source *s, int column, char *out, int size)
{
    char name[EM_NAME_SIZE + 64], param[64];
    std::snprintf(param, sizeof param, "ActiveTrends[%d][%d].", static_cast<int>(s->row), column);
    EM_paramName(e, param, name, sizeof name);
    const char *text = CO_readValPtr(name);
    if (text && text[0]) {
        safe_strncpy(out, text, static_cast<size_t>(size));
        return;
    }
    const EM_OfflineInfo *o = s->offline;
    switch (column) {
    case EM_COLUMN_NAME: safe_strncpy(out, s->name, static_cast<size_t>(size)); break;
    case EM_COLUMN_MIN: std::snprintf(out, static_cast<size_t>(size), "%lG", s->min); break;
    case EM_COLUMN_MAX: std::snprintf(out, static_cast<size_t>(size), "%lG", s->max); break;
    case EM_COLUMN_COLOUR: colourText(s->colour, out, size); break;
    case EM_COLUMN_START_DATE: safe_strncpy(out, o ? o->startDate : "-1", static_cast<size_t>(size)); break;
    case EM_COLUMN_START_TIME: safe_strncpy(out, o ? o->startTime : "-1", static_cast<size_t>(size)); break;
    case EM_COLUMN_END_DATE: safe_strncpy(out, o ? o->endDate : "-1", static_cast<size_t>(size)); break;
    case EM_COLUMN_END_TIME: safe_strncpy(out, o ? o->endTime : "-1", static_cast<size_t>(size)); break;
    case EM_COLUMN_SAMPLES:
        std::snprintf(out, static_cast<size_t>(size), "%d", o ? static_cast<int>(o->samples) : -1);
        break;
    default: safe_strncpy(out, "-1", static_cast<size_t>(size)); break;
    }
    if (!out[0]) safe_strncpy(out, "-1", static_cast<size_t>(size));
}

// Appends text to the list; false (and the text cut) when it does not fit.
bool append(char *list, const char *text)
{
    size_t used = std::strlen(list), n = std::strlen(text);
    if (used + n < EM_LIST_SIZE) {
        std::memcpy(list + used, text, n + 1);
        return true;
    }
    safe_strncpy(list + used, text, EM_LIST_SIZE - used);
    return false;
}

bool appendRow(const EM_Emitter *e, const EM_Source *s, char *list)
{
    char cells[EM_COLUMNS][kCellSize];
    for (int column = EM_COLUMN_NAME; column < EM_COLUMNS; column++) cellText(e, s, column, cells[column], kCellSize);
    uint32_t colour = s->colour;
    readColour(cells[EM_COLUMN_COLOUR], &colour);
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "#sfc;%u,%u,%u#\t", colour & 0xFFu, (colour >> 8) & 0xFFu,
                  (colour >> 16) & 0xFFu);
    bool fits = append(list, prefix);
    for (int column = EM_COLUMN_NAME; fits && column < EM_COLUMNS; column++)
        fits = append(list, cells[column]) && append(list, column + 1 < EM_COLUMNS ? "\t" : "\n");
    return fits;
}

const EM_Source *sourceOfRow(const EM_Emitter *e, int row)
{
    for (const EM_Source *s = e->sources; s; s = s->next)
        if (s->row == row && !s->stale) return s;
    return nullptr;
}

int lastRow(const EM_Emitter *e)
{
    int last = 0;
    for (const EM_Source *s = e->sources; s; s = s->next)
        if (!s->stale && s->row > last) last = s->row;
    return last;
}

} // namespace

void EM_writeCell(const EM_Emitter *e, int row, int column, const char *text)
{
    char name[EM_NAME_SIZE + 64], param[64];
    std::snprintf(param, sizeof param, "ActiveTrends[%d][%d].", row, column);
    EM_paramName(e, param, name, sizeof name);
    HT_writeContainer(name, text);
}

void EM_parseTrendList(EM_Emitter *e, const char *text, int active)
{
    safe_strncpy(stream, text ? text : "", sizeof stream);
    for (EM_Source *s = e->sources; s; s = s->next) s->stale = 1;
    const char *p = stream;
    if (prefixcmp(p, "#sp;")) skipRow(&p);
    for (int row = 1; *p;) {
        const char *before = p;
        parseRow(e, &p, active ? row : -1);
        if (active && sourceOfRow(e, row)) row++;
        if (p == before) break;
    }
    if (!active) deleteStale(e);
    e->sourceCount = EM_countSources(e);
    EM_applySavedRange(e);
}

void EM_parseAvailableList(EM_Emitter *e)
{
    const char *text = EM_paramText(e, "AvailableTrends.");
    if (!text) return;
    e->lastActive[0] = '\0';
    EM_parseTrendList(e, text, 0);
}

void EM_parseActiveList(EM_Emitter *e)
{
    const char *text = EM_paramText(e, "ActiveTrends.");
    if (!text || std::strncmp(text, e->lastActive, EM_LIST_SIZE) == 0) return;
    safe_strncpy(e->lastActive, text, EM_LIST_SIZE);
    EM_parseTrendList(e, text, 1);
}

// Without any active row there is nothing to rebuild from: the list stays.
void EM_rebuildActiveList(EM_Emitter *e)
{
    if (lastRow(e) == 0) return;
    static char list[EM_LIST_SIZE];
    list[0] = '\0';
    bool fits = true;
    for (int row = 1, last = lastRow(e); fits && row <= last; row++)
        if (const EM_Source *s = sourceOfRow(e, row)) fits = appendRow(e, s, list);
    if (!fits) log_append(0, "buffer OVF!\n", nullptr);
    EM_writeParam(e, "ActiveTrends.", list);
}

void EM_resetLists()
{
    colourTurn = 0;
    stream[0] = '\0';
}
