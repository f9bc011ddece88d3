// Alarm lists. Owns the list contexts (heap1, one per viewer, reached from
// the viewer's record), the answer buffer and the rows being built. Reads and
// writes the list's containers, asks the target through the alarm CGI and
// reads alarm texts through the target link or the page parameters, draws
// through the file viewers, and attaches to the container store's and the
// file viewers' hooks.
#include "alarms_trends/alarm_list.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/native_driver.h"
#include "data/containers.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "objects/file_viewer.h"
#include "runtime/command_age.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

constexpr int kValueSize = 256;
constexpr int kQuerySize = 1280;
constexpr long kParamLimit = 1000000;         // pages, columns and modes beyond any list
constexpr int kRowsLimit = CO_MACRO_SIZE - 2; // the text stays below 2047 characters

enum : int { MARKER_NONE = 0, MARKER_DONE = 1, MARKER_END = 2 };

struct Prefix {
    const char *name;
    int type;
};

const Prefix kPrefixes[] = {
    {"@MACROALRDEFONAlarmsList.", AL_TYPE_CURRENT},
    {"@MACROALRHISONAlarmsList.", AL_TYPE_HISTORY},
    {"@MACROALRHISOFFAlarmsList.", AL_TYPE_OFFLINE_HISTORY},
};
const char *const kListWord = "AlarmsList.";
const char *const kColourNames[AL_COLOURS] = {"StateNoStateColor.", "StateOnAckedColor.", "StateOffAckedColor.",
                                              "StateOnNackedColor.", "StateOffNackedColor."};

char answer[AL_ANSWER_SIZE + 1];
char rows[CO_MACRO_SIZE];
// Set while a list writes its own containers: those writes need no redraw.
bool ownWrite;

// What a cycle needs for its rows.
struct RowContext {
    AL_RowStyle style;
    uint8_t colours[AL_COLOURS][3];
    int textsFromPage, pageTexts;
};

bool isHistory(const AL_Context *c) { return c->type != AL_TYPE_CURRENT; }

void paramName(const AL_Context *c, const char *parameter, char *out, size_t size)
{
    std::snprintf(out, size, "%s%s%s", c->prefix, parameter, c->suffix);
}

void readParam(const AL_Context *c, const char *parameter, char *dst)
{
    char name[AL_NAME_SIZE * 2];
    paramName(c, parameter, name, sizeof name);
    if (!HT_readContainer(name, dst)) dst[0] = '\0';
}

// A number of a list container, kept within plus or minus kParamLimit so
// that the paging arithmetic on it cannot overflow.
int readParamInt(const AL_Context *c, const char *parameter)
{
    char value[kValueSize];
    readParam(c, parameter, value);
    long n = std::strtol(value, nullptr, 10);
    return static_cast<int>(n > kParamLimit ? kParamLimit : (n < -kParamLimit ? -kParamLimit : n));
}

bool paramExists(const AL_Context *c, const char *parameter)
{
    char name[AL_NAME_SIZE * 2];
    paramName(c, parameter, name, sizeof name);
    return CO_getHtmlCacheObjPtr(name) != nullptr;
}

void writeContainer(const char *name, const char *value)
{
    ownWrite = true;
    HT_writeContainer(name, value);
    ownWrite = false;
}

void writeParam(const AL_Context *c, const char *parameter, const char *value)
{
    char name[AL_NAME_SIZE * 2];
    paramName(c, parameter, name, sizeof name);
    writeContainer(name, value);
}

void writeParamInt(const AL_Context *c, const char *parameter, long value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", value);
    writeParam(c, parameter, text);
}

// Percent-encodes everything but letters, digits and "-._" for a query.
void encode(const char *text, char *out, size_t size)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c && n + 4 < size; c++) {
        bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '-' ||
                     *c == '.' || *c == '_';
        if (plain) {
            out[n++] = static_cast<char>(*c);
            continue;
        }
        out[n++] = '%';
        out[n++] = kHex[*c >> 4];
        out[n++] = kHex[*c & 15];
    }
    out[n] = '\0';
}

uint32_t hashOf(const char *text, int *length)
{
    uint32_t hash = 2166136261u;
    int n = 0;
    for (; text[n] && n < AL_ANSWER_SIZE; n++) hash = (hash ^ static_cast<unsigned char>(text[n])) * 16777619u;
    *length = n;
    return hash;
}

// A request to the alarm CGI; the answer lands in the shared buffer.
bool ask(const char *query)
{
    answer[0] = '\0';
    return Tarsel_readAlarm(query, answer, sizeof answer) != 0;
}

bool answerIsCount()
{
    long number;
    return AL_leadingNumber(answer, &number) && number >= 0;
}

void initContext(AL_Context *c, int type, const char *name)
{
    AL_History kept = c->history;
    *c = {};
    c->history = kept;
    AL_historyClear(&c->history);
    c->type = type;
    c->state = -1;
    safe_strncpy(c->sourceName, name, sizeof c->sourceName);
    const char *dot = std::strchr(name, '.');
    safe_strncpy(c->suffix, dot ? dot + 1 : "", sizeof c->suffix);
    size_t prefixLength = std::strlen(kPrefixes[type - 1].name) - std::strlen(kListWord);
    if (prefixLength >= sizeof c->prefix) prefixLength = sizeof c->prefix - 1;
    std::memcpy(c->prefix, name, prefixLength);
    c->prefix[prefixLength] = '\0';
}

// ---- the list name, the header and the colours ----------------------------------

bool takeListName(AL_Context *c)
{
    if (c->state >= 0 && c->listName[0]) return true;
    if (pterm.target_type == TARSEL_TARGET_SAIA || pterm.target_type == TARSEL_TARGET_XX7) return false;
    char value[kValueSize] = "";
    if (paramExists(c, "AlarmsListNr.")) readParam(c, "AlarmsListNr.", value);
    str_trim(value);
    if (!value[0]) {
        if (!c->nameReported) {
            char name[AL_NAME_SIZE * 2];
            paramName(c, "AlarmsListNr.", name, sizeof name);
            err_append(0, "Failed to get alarm list name; undefined container!\n %s\n", name);
        }
        c->nameReported = 1;
        return false;
    }
    safe_strncpy(c->listName, value, sizeof c->listName);
    c->state = 0;
    if (c->type == AL_TYPE_OFFLINE_HISTORY) {
        writeParam(c, "SortAlrsColAction.", "0");
        writeParam(c, "SortAlrsColNr.", "0");
    }
    return true;
}

// The header (its 0xA2 characters are line breaks for the viewer); a header
// beginning "#sp;" turns the row colours on.
void readHeader(AL_Context *c)
{
    char header[kValueSize];
    readParam(c, "AlarmsListHeaderSP.", header);
    std::snprintf(c->header, sizeof c->header, "%s%s", header, header[0] ? "\n" : "");
    if (prefixcmp(header, "#sp;")) c->coloured = 1;
}

void readRowContext(const AL_Context *c, RowContext *r)
{
    r->style = {c->coloured, pterm.pm_tm != 0, pterm.tmz_en != 0};
    char value[kValueSize];
    for (int i = 0; i < AL_COLOURS; i++) {
        readParam(c, kColourNames[i], value);
        AL_parseColour(value, &r->colours[i][0], &r->colours[i][1], &r->colours[i][2]);
    }
    r->textsFromPage = readParamInt(c, "AlarmsTxtFromCSV.") == 1;
    r->pageTexts = readParamInt(c, "AlarmListSizeCSV.");
}

void alarmText(const AL_Context *c, const RowContext *r, int32_t number, char *out)
{
    out[0] = '\0';
    // Alarm numbers count from 1; any other number from the target has no text.
    if (number < 1) return;
    char name[AL_NAME_SIZE + 32];
    if (r->textsFromPage) {
        if (r->pageTexts > 0 && number > r->pageTexts) return;
        std::snprintf(name, sizeof name, "%s_%d", c->listName, static_cast<int>(number));
        if (!HT_readHtmlParameter(name, out)) out[0] = '\0';
        return;
    }
    std::snprintf(name, sizeof name, "PDP,,TEXT%u,s", static_cast<unsigned>(number - 1));
    if (!Tarsel_forceReadVal(name, out, kValueSize)) out[0] = '\0';
}

// ---- operator commands ------------------------------------------------------------

void focusList(FV_Viewer *v)
{
    FV_setSelectable(v, 1);
    MH_selectObject(v->object.id, 1);
}

bool requestCounted(const char *query)
{
    if (ask(query) && answerIsCount()) return true;
    err_append(0, ".../alarm.exe?%s failed!\n", query);
    return false;
}

bool actOnList(const AL_Context *c, const char *action)
{
    char list[AL_NAME_SIZE * 3], query[kQuerySize];
    encode(c->listName, list, sizeof list);
    std::snprintf(query, sizeof query, "list=%s&action=%s&completList=1", list, action);
    return requestCounted(query);
}

// The rows acted on: the multiple selection, else the row in focus.
int selectedRows(const FV_Viewer *v, int32_t *out)
{
    if (v->selectionCount > 0) {
        std::memcpy(out, v->selection, v->selectionCount * sizeof out[0]);
        return v->selectionCount;
    }
    int32_t row = FV_focusedRow(v);
    if (row < 0) return 0;
    out[0] = row;
    return 1;
}

int actOnRows(const AL_Context *c, FV_Viewer *v, const char *action, const char *key, int column)
{
    int32_t selected[FV_MAX_SELECTION];
    int count = selectedRows(v, selected), acted = 0;
    char list[AL_NAME_SIZE * 3], cell[kValueSize], value[kValueSize * 3], query[kQuerySize];
    encode(c->listName, list, sizeof list);
    for (int i = 0; i < count; i++) {
        if (!FV_getItemAt(v, selected[i], column, cell, sizeof cell) || !cell[0]) continue;
        encode(cell, value, sizeof value);
        std::snprintf(query, sizeof query, "list=%s&action=%s&%s=%s", list, action, key, value);
        requestCounted(query);
        acted++;
    }
    if (acted > 0) FV_resetSelection(v);
    return acted;
}

// The column of a row's alarm number (for "type") or of its own number (for
// "item"): after the colour cell when the rows are coloured.
int keyColumn(const AL_Context *c, bool byType)
{
    int column = byType && isHistory(c) ? 2 : 1;
    return c->coloured ? column : column - 1;
}

void acknowledgeOrDelete(AL_Context *c, FV_Viewer *v, const char *command, bool remove)
{
    const char *action = remove ? "delete" : "acknowledge";
    bool whole = false;
    int acted = 0;
    if (str_endsWith(command, "LIST")) whole = actOnList(c, action);
    else if (str_endsWith(command, "TYPES")) acted = actOnRows(c, v, action, "type", keyColumn(c, true));
    else if (str_endsWith(command, "ITEMS")) acted = actOnRows(c, v, action, "item", keyColumn(c, false));
    else err_append(0, "Unknown Alarm Action!\n %s\n", command);
    if (!remove || !(whole || (acted > 0 && acted >= c->received))) return;
    c->page = c->previousPage = 0;
    writeParam(c, "PageNr.", "0");
    writeParam(c, "MaxPageNr.", "0");
}

void targetCommand(const AL_Context *c, const char *action, const char *failure)
{
    char list[AL_NAME_SIZE * 3], query[kQuerySize];
    encode(c->listName, list, sizeof list);
    std::snprintf(query, sizeof query, "list=%s&action=%s", list, action);
    bool asked = ask(query);
    if (asked && prefixcmp(answer, "Done")) return;
    char text[ERR_BUFFER_SIZE];
    std::snprintf(text, sizeof text, "%s%s", failure, asked ? " %s\n" : "");
    err_append(0, text, asked ? answer : nullptr);
}

void runTargetCommand(AL_Context *c, FV_Viewer *v, const char *command)
{
    bool remove = prefixcmp(command, "DELALRS");
    if (remove || prefixcmp(command, "ACKALRS")) acknowledgeOrDelete(c, v, command, remove);
    else if (stringcmp(command, "FOCUSALRLST")) focusList(v);
    else if (stringcmp(command, "CLEARTRGTLOGFILES"))
        targetCommand(c, "clearLogFiles", "Failed to clear log files on the target!\n");
    else if (stringcmp(command, "RESTARTTRGTALARMING"))
        targetCommand(c, "reinitAlarming", "Failed to restart alarming on the target!\n");
    else err_append(0, "Unknown Alarm Action!\n %s\n", command);
}

// An operator's command to the target goes out only while it is young enough.
void runCommand(AL_Context *c, FV_Viewer *v)
{
    char command[kValueSize];
    readParam(c, "SelAlrsTypesAct.", command);
    if (!command[0] || stringcmp(command, "0")) return;
    if (CMD_maySend(command)) {
        CMD_beginSend();
        runTargetCommand(c, v, command);
        CMD_endSend();
    }
    writeParam(c, "SelAlrsTypesAct.", "0");
}

// ---- loading blocks ---------------------------------------------------------------

void appendRow(size_t *length, const char *row)
{
    size_t n = std::strlen(row);
    if (*length + n >= static_cast<size_t>(kRowsLimit)) return;
    std::memcpy(rows + *length, row, n + 1);
    *length += n;
}

void stopLoading(AL_Context *c)
{
    c->nextStart = 0;
    writeParam(c, "LoadAlrsAction.", "STOPLOADINGDATAS");
}

// One line of an answer: its row, and for the off-line history its line.
void takeLine(AL_Context *c, const RowContext *r, const char *text, size_t *length)
{
    AL_Line line;
    if (!AL_parseLine(text, isHistory(c), &line)) {
        appendRow(length, "failed!\n");
        return;
    }
    char alarm[kValueSize], row[AL_ROW_SIZE + 64];
    alarmText(c, r, line.alarmNumber, alarm);
    line.text = alarm;
    const uint8_t *colour = r->colours[AL_stateOf(&line)];
    line.red = colour[0], line.green = colour[1], line.blue = colour[2];
    AL_formatRow(&line, isHistory(c), &r->style, row, sizeof row);
    appendRow(length, row);
    if (c->type != AL_TYPE_OFFLINE_HISTORY || AL_historyAdd(&c->history, &line)) return;
    err_append_int(0, "Alarm history: no room for more lines, %ld kept!\n", static_cast<long>(c->history.count));
    stopLoading(c);
}

// The rows of the answer's lines (";" read as tabs) up to "Done" or "End";
// answers the end marker. Lines beyond the asked count are dropped.
int takeLines(AL_Context *c, int32_t asked, size_t *length)
{
    RowContext r;
    readRowContext(c, &r);
    for (char *p = answer; *p; p++)
        if (*p == ';') *p = '\t';
    c->received = 0;
    int dropped = 0;
    for (char *line = answer; line && *line;) {
        char *end = std::strchr(line, '\n');
        if (end) *end = '\0';
        size_t n = std::strlen(line);
        if (n > 0 && line[n - 1] == '\r') line[n - 1] = '\0';
        if (stringcmp(line, "Done")) return MARKER_DONE;
        if (stringcmp(line, "End")) return MARKER_END;
        if (line[0] && c->received < asked) {
            takeLine(c, &r, line, length);
            c->received++;
        } else if (line[0] && dropped++ == 0) {
            log_append(0, "Alarm answer with more lines than asked, the rest is dropped:\n %s\n", line);
        }
        line = end ? end + 1 : nullptr;
    }
    return MARKER_NONE;
}

void blockQuery(const AL_Context *c, int32_t start, int32_t size, char *query)
{
    char list[AL_NAME_SIZE * 3];
    encode(c->listName, list, sizeof list);
    long end = static_cast<long>(start) + size - 1;
    if (c->type == AL_TYPE_CURRENT)
        std::snprintf(query, kQuerySize, "list=%s&action=loadDefOverview&startLine=%ld&endLine=%ld&sort=%d&filter=%d",
                      list, static_cast<long>(start), end, c->sort, c->filter);
    else
        std::snprintf(query, kQuerySize, "list=%s&action=loadHistory&startLine=%ld&endLine=%ld", list,
                      static_cast<long>(start), end);
}

void blockFailed(AL_Context *c, const char *query)
{
    if (c->failures++ == 0) err_append(0, "Failed to load alarm block!\n alarm.exe?%s\n", query);
}

void afterOfflineBlock(AL_Context *c, int marker)
{
    char size[48];
    std::snprintf(size, sizeof size, "%d / %d", static_cast<int>(c->history.count), static_cast<int>(c->total));
    writeParam(c, "AlarmsListSize.", size);
    long percent = c->total > 0 ? static_cast<long>(c->history.count) * 100 / c->total : 0;
    writeParamInt(c, "LoadAlrsBargVal.", percent > 100 ? 100 : percent);
    if (marker == MARKER_DONE) scheduleRedraw();
    else writeParam(c, "LoadAlrsAction.", "STOPLOADINGDATAS");
}

void loadBlock(AL_Context *c, FV_Viewer *v, int32_t start, int32_t size)
{
    char query[kQuerySize];
    blockQuery(c, start, size, query);
    if (size <= 0 || !ask(query)) {
        blockFailed(c, query);
        return;
    }
    long first;
    if (!AL_leadingNumber(answer, &first) || first < 0) {
        if (AL_leadingNumber(answer, &first)) {
            err_append(0, ".../alarm.exe?%s failed!\n", query);
            c->page = 0;
            writeParam(c, "PageNr.", "0");
        }
        blockFailed(c, query);
        return;
    }
    c->failures = 0;
    int length;
    uint32_t hash = hashOf(answer, &length);
    if (hash != c->answerHash || length != c->answerLength) FV_resetSelection(v);
    c->answerHash = hash;
    c->answerLength = length;
    c->blockStart = start;
    c->blockSize = size;
    size_t rowsLength = 0;
    rows[0] = '\0';
    if (c->type != AL_TYPE_OFFLINE_HISTORY || c->history.count == 0) {
        appendRow(&rowsLength, c->header);
    } else if (const char *shown = CO_readValPtr(c->sourceName)) {
        appendRow(&rowsLength, shown);
    }
    int marker = takeLines(c, size, &rowsLength);
    c->endMarker = marker;
    if (marker == MARKER_DONE) c->nextStart = start + c->received;
    else if (marker == MARKER_NONE) c->nextStart = 0;
    writeContainer(c->sourceName, rows);
    if (c->type == AL_TYPE_OFFLINE_HISTORY) afterOfflineBlock(c, marker);
}

// ---- the cycle --------------------------------------------------------------------

bool readConfig(AL_Context *c, AL_Config *config)
{
    char list[AL_NAME_SIZE * 3], query[kQuerySize];
    encode(c->listName, list, sizeof list);
    std::snprintf(query, sizeof query, "list=%s&action=config", list);
    bool asked = ask(query);
    if (asked && AL_parseConfig(answer, config)) {
        c->configFailed = 0;
        return true;
    }
    if (!c->configFailed && !asked) err_append(0, "Failed to load alarm config!\n", nullptr);
    if (!c->configFailed && asked) err_append(0, ".../alarm.exe?%s, failed to parse the response!\n", query);
    c->configFailed = 1;
    return false;
}

// Page, filter and sort of a paged list; answers the block loads of this
// cycle and their direction (-1 back, 1 forward, 0 the same page).
int pageLoads(AL_Context *c, FV_Viewer *v, int *direction)
{
    int page = readParamInt(c, "PageNr."), filter = readParamInt(c, "FilterMode."), sort = readParamInt(c, "SortMode.");
    if (page < 0) page = 0;
    c->filter = filter;
    c->sort = sort;
    *direction = 0;
    if (page == c->page) return 1;
    *direction = page < c->page ? -1 : 1;
    int distance = page < c->page ? c->page - page : page - c->page;
    FV_resetSelection(v);
    c->previousPage = c->page;
    c->page = page;
    return distance;
}

void applyPendingSort(AL_Context *c, FV_Viewer *v)
{
    if (c->sortColumn == 0) return;
    RowContext r;
    readRowContext(c, &r);
    if (AL_historySort(&c->history, c->sortColumn) > 0 && c->fileSize > 0) {
        int32_t size = AL_historyWrite(&c->history, c->suffix, &r.style);
        c->fileSize = size > 0 ? size : 0;
    }
    c->sortColumn = 0;
    FV_resetSelection(v);
    scheduleRedraw();
}

void takeSortRequest(AL_Context *c)
{
    char action[kValueSize];
    readParam(c, "SortAlrsColAction.", action);
    if (!action[0] || stringcmp(action, "0")) return;
    int column = readParamInt(c, "SortAlrsColNr.");
    bool valid = column != 0 && column <= AL_SORT_COLUMNS && column >= -AL_SORT_COLUMNS;
    if (stringcmp(action, "SORTHISSOFFALARMS") && c->history.count > 0 && valid) {
        c->sortColumn = column;
        scheduleFullRedraw();
        writeParam(c, "SortAlrsColAction.", "0");
        return;
    }
    if (stringcmp(action, "SORTHISSOFFALARMS") && column != 0 && !valid)
        err_append_int(0, "Alarm history: no sort column %ld!\n", column);
    writeParam(c, "SortAlrsColAction.", "0");
    writeParam(c, "SortAlrsColNr.", "0");
}

void startLoading(AL_Context *c)
{
    c->nextStart = 0;
    c->failures = 0;
    c->received = 0;
    c->sortColumn = 0;
    AL_historyClear(&c->history);
    writeParam(c, "LoadAlrsAction.", "LOADINGDATAS");
    writeParam(c, "SortAlrsColAction.", "0");
    writeParam(c, "SortAlrsColNr.", "0");
    scheduleFullRedraw();
}

void finishLoading(AL_Context *c)
{
    writeParam(c, "LoadAlrsAction.", "0");
    RowContext r;
    readRowContext(c, &r);
    int32_t size = AL_historyWrite(&c->history, c->suffix, &r.style);
    if (size < 0) err_append(0, "Alarm history: the file cannot be written!\n %s\n", c->suffix);
    c->fileSize = size > 0 ? size : 0;
}

// The off-line history's loading state and its sort; true when a block is
// to be loaded in this cycle.
bool offlineCycle(AL_Context *c, FV_Viewer *v)
{
    char state[kValueSize];
    readParam(c, "LoadAlrsAction.", state);
    bool load = false;
    if (stringcmp(state, "STARTLOADDATAS")) startLoading(c);
    else if (stringcmp(state, "LOADINGDATAS")) load = true;
    else if (stringcmp(state, "STOPLOADINGDATAS")) finishLoading(c);
    char save[kValueSize];
    readParam(c, "SaveAlrsAction.", save);
    if (stringcmp(save, "FOCUSALRLST")) focusList(v);
    if (save[0] && !stringcmp(save, "0")) writeParam(c, "SaveAlrsAction.", "0");
    applyPendingSort(c, v);
    takeSortRequest(c);
    return load;
}

int32_t smallest(int32_t a, int32_t b) { return a < b ? a : b; }

int32_t startFor(const AL_Context *c, int direction, int32_t size)
{
    if (c->page == 0) return 0;
    if (direction < 0) return c->blockStart - size > 0 ? c->blockStart - size : 0;
    if (direction > 0) return c->nextStart;
    return c->blockStart;
}

void loadPages(AL_Context *c, FV_Viewer *v, int loads, int direction, int32_t size)
{
    if (loads > AL_MAX_LOADS_PER_CYCLE) {
        loads = 1;
        direction = 2;
    }
    for (int i = 0; i < loads; i++) {
        int32_t blockSize = direction == 0 && c->page != 0 && c->blockSize > 0 ? c->blockSize : size;
        int64_t first = static_cast<int64_t>(c->page) * c->linesPerPage;
        int32_t start = direction == 2 ? static_cast<int32_t>(first < INT32_MAX / 2 ? first : INT32_MAX / 2)
                                       : startFor(c, direction, blockSize);
        if (isHistory(c) && start + blockSize > c->total) blockSize = c->total - start;
        loadBlock(c, v, start, blockSize);
    }
}

void loadOffline(AL_Context *c, FV_Viewer *v, int32_t size)
{
    if (c->nextStart >= c->total) {
        stopLoading(c);
        return;
    }
    if (c->nextStart + size > c->total) size = c->total - c->nextStart;
    loadBlock(c, v, c->nextStart, size);
    if (c->failures >= AL_MAX_FAILURES) stopLoading(c);
}

// The configuration: the total, the last page, the sizes written.
bool configure(AL_Context *c, AL_Config *config)
{
    if (!readConfig(c, config)) return false;
    c->total = c->type == AL_TYPE_CURRENT ? config->current : config->history;
    long lastPage = c->total > 0 ? (static_cast<long>(c->total) - 1) / c->linesPerPage : 0;
    writeParamInt(c, "AlarmsListSize.", c->total);
    writeParamInt(c, "MaxPageNr.", lastPage);
    if (c->page > lastPage) {
        c->page = 0;
        writeParam(c, "PageNr.", "0");
    }
    return true;
}

// The lines of a page: the rows that fit below the header's rows.
int linesPerPage(const AL_Context *c, int rows)
{
    FV_Source header = {c->header, nullptr};
    FV_Table table;
    FV_parseTable(&header, &table);
    return rows - table.rows > 1 ? rows - table.rows : 1;
}

void runCycle(AL_Context *c, FV_Viewer *v, int rows)
{
    if (!takeListName(c)) {
        c->page = 0;
        return;
    }
    runCommand(c, v);
    readHeader(c);
    c->linesPerPage = linesPerPage(c, rows);
    int direction = 0, loads = 1;
    bool offlineLoad = false;
    if (c->type == AL_TYPE_OFFLINE_HISTORY) offlineLoad = offlineCycle(c, v);
    else loads = pageLoads(c, v, &direction);
    AL_Config config;
    if (!configure(c, &config)) return;
    if (c->page == 0) direction = 0;
    if (c->type == AL_TYPE_OFFLINE_HISTORY) {
        int32_t size = smallest(smallest(config.largestBlock, AL_OFFLINE_BLOCK), c->total);
        char text[48];
        std::snprintf(text, sizeof text, "%d / %d", static_cast<int>(c->history.count), static_cast<int>(c->total));
        writeParam(c, "AlarmsListSize.", text);
        if (offlineLoad) loadOffline(c, v, size);
        return;
    }
    if (c->total == 0) {
        writeContainer(c->sourceName, c->header);
        return;
    }
    loadPages(c, v, loads, direction, smallest(smallest(c->linesPerPage, config.largestBlock), c->total));
}

int rowHeightOf(FV_Viewer *v)
{
    G_SetFont(v->object.font);
    return FO_GetCharHeight(v->object.font);
}

} // namespace

int AL_typeOf(const char *sourceName)
{
    for (const Prefix &p : kPrefixes)
        if (prefixcmp(sourceName, p.name)) return p.type;
    return AL_TYPE_NONE;
}

int AL_parseMacroContainers(int viewer, const char *name)
{
    int type = name ? AL_typeOf(name) : AL_TYPE_NONE;
    FV_Viewer *v = FV_viewerOf(viewer);
    if (!type || !v) return AL_TYPE_NONE;
    auto *c = static_cast<AL_Context *>(v->alarm);
    if (VM_isGainingFocus()) {
        writeContainer(name, type == AL_TYPE_OFFLINE_HISTORY ? "" : "...");
        if (c) c->waiting = 1;
        return type;
    }
    if (!c) {
        c = static_cast<AL_Context *>(MU_alloc(sizeof(AL_Context)));
        if (!c) return AL_TYPE_NONE;
        std::memset(c, 0, sizeof *c);
        initContext(c, type, name);
        FV_setAlarmContext(v, c);
    } else if (!stringcmp(c->sourceName, name)) {
        initContext(c, type, name);
    }
    c->waiting = 0;
    int rowHeight = rowHeightOf(v);
    int rows = rowHeight > 0 ? v->object.height / rowHeight : 0;
    if (rows < 1) {
        writeContainer(name, "");
        return type;
    }
    runCycle(c, v, rows);
    return type;
}

int AL_drawMacroContainers(int viewer, const char *text)
{
    FV_Viewer *v = FV_viewerOf(viewer);
    if (!v || !v->alarm) return 0;
    const auto *c = static_cast<const AL_Context *>(v->alarm);
    FV_Source source = {text, nullptr};
    if (c->type == AL_TYPE_OFFLINE_HISTORY && c->fileSize >= 1 && !c->waiting) source = {c->header, c->suffix};
    FV_setAlarmSource(v, source.text, source.file);
    if (FV_drawTable(v, &source)) return 1;
    source = {text, nullptr};
    FV_setAlarmSource(v, source.text, nullptr);
    return FV_drawTable(v, &source);
}

int AL_macroWriteVal(const char *name, const char *)
{
    if (!ownWrite && name && !std::strstr(name, "AlarmsListHeader")) scheduleRedraw();
    return 0;
}

void AL_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->alarmMacroWrite = AL_macroWriteVal;
    h->alarmListCycle = AL_parseMacroContainers;
    h->alarmListDraw = AL_drawMacroContainers;
}

void AL_reset()
{
    answer[0] = '\0';
    rows[0] = '\0';
    ownWrite = false;
    AL_resetHistorySort();
}
