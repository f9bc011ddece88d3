// File viewers. Owns their records (heap1), their RAM-disk copies ("_FV" and
// the id), the drawing of tables and word-wrapped text, the scroll bar and
// keyboard selection. Runs the selection actions through the value sources,
// binds keys through the key bindings, and reaches the alarm lists through
// the hooks.
#include "objects/file_viewer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/containers.h"
#include "data/source_names.h"
#include "draw/button_face.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/actions.h"
#include "input/input_events.h"
#include "input/key_bindings.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "view/painter_loader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr int kNarrowScroller = 20, kWideScroller = 50;
constexpr uint32_t kScrollerFace = 0xFFD3D3D3u;
constexpr int kTextSize = 256;
const char *const kBoundKeys[] = {"UP", "DOWN", "ENTER", "ESC"};

// The shared text buffer of value texts that have no stored text, and the
// text of a source while an item is removed from it.
char textBuffer[kTextSize];
char removalText[CO_MACRO_SIZE];

struct Look {
    int fill, border;
    uint32_t fillColor, lineColor;
    int textRepaint; // the holding value repaint, -1 none
    int divider;     // refresh divider of a file source, 0 none
    int scrollerWidth;
    int x, y, width, height;
};

// The box and colours of the drawing in progress.
struct Paint {
    int x, y, width, height, rowHeight;
    uint32_t fillColor, lineColor;
};

Paint paint;

bool isSelectionCode(int code)
{
    return code == FV_AC_WRITE_ROW_NUMBER || code == FV_AC_WRITE_ROW_TEXT || code == FV_AC_WRITE_CELL;
}

int hasSelectionActions(const FV_Viewer *v)
{
    for (int i = 0; i < v->block.actionCount; i++)
        if (isSelectionCode(v->block.actions[i].code)) return 1;
    return 0;
}

bool disabled(const FV_Viewer *v) { return AC_isDisabled(nullptr, v->block.actions, v->block.actionCount) != 0; }

int rowHeight(const FV_Viewer *v)
{
    G_SetFont(v->object.font);
    int height = FO_GetCharHeight(v->object.font);
    return height > 0 ? height : 1;
}

int visibleRows(const FV_Viewer *v) { return v->visibleRows > 0 ? v->visibleRows : 1; }

void takeRepaint(FV_Viewer *v, const MP_Repaint &r, int index, Look *look, RR_OffsetSlots *slots)
{
    switch (r.code) {
    case RR_TEXT_5: look->textRepaint = index; break;
    case RR_FILL: look->fill = 1; break;
    case RR_BORDER: look->border = 1; break;
    case RR_LINE_COLOR: look->lineColor = getColorInfo(&r.info); break;
    case RR_FILL_COLOR: look->fillColor = getColorInfo(&r.info); break;
    case FV_RR_REFRESH_DIVIDER: {
        char value[kTextSize];
        RW_readSource(value, r.info.name, r.info.type);
        look->divider = static_cast<int>(std::strtol(value, nullptr, 10));
        break;
    }
    case FV_RR_SCROLLER: look->scrollerWidth = kNarrowScroller; break;
    case FV_RR_WIDE_SCROLLER: look->scrollerWidth = kWideScroller; break;
    case FV_RR_HORIZONTAL_GRID: v->horizontalGrid = 1; break;
    case FV_RR_VERTICAL_GRID: v->verticalGrid = 1; break;
    case FV_RR_MULTI_LINE: v->multiLine = 1; break;
    case FV_RR_MULTI_SELECT: v->multiSelect = 1; break;
    default: RR_checkOffsets(&r, slots, index); break;
    }
}

// The repaint pass; false when the viewer is hidden.
bool repaintPass(FV_Viewer *v, Look *look)
{
    const OB_Object &o = v->object;
    *look = {OB_GetStatusBit(&o, OB_STATUS_FILL),
             OB_GetStatusBit(&o, OB_STATUS_BORDER),
             o.fillColor,
             o.lineColor,
             -1,
             0,
             0,
             o.x,
             o.y,
             o.width,
             o.height};
    v->horizontalGrid = v->verticalGrid = v->multiLine = v->multiSelect = 0;
    RR_OffsetSlots slots;
    RR_initOffsetSlots(&slots);
    for (int i = 0; i < v->block.repaintCount; i++) {
        const MP_Repaint &r = v->block.repaints[i];
        if (CO_evaluateLogicCondition(&r.condition)) {
            if (r.code == RR_HIDE || r.code == RR_HIDE_51) return false;
            takeRepaint(v, r, i, look, &slots);
        } else if (r.code == RR_FILL) {
            look->fill = 0;
        } else if (r.code == RR_BORDER) {
            look->border = 0;
        }
    }
    RR_setAnyOffsets(v->block.repaints, &slots, &look->x, &look->y, &look->width, &look->height);
    return true;
}

const MP_Info *textInfo(const FV_Viewer *v, const Look &look)
{
    return look.textRepaint >= 0 ? &v->block.repaints[look.textRepaint].info : nullptr;
}

// The holding value repaint's info outside a drawing.
const MP_Info *currentTextInfo(const FV_Viewer *v)
{
    const MP_Info *info = nullptr;
    for (int i = 0; i < v->block.repaintCount; i++) {
        const MP_Repaint &r = v->block.repaints[i];
        if (r.code == RR_TEXT_5 && CO_evaluateLogicCondition(&r.condition)) info = &r.info;
    }
    return info;
}

// The value text of a source that is no file: its stored text, else read
// into buffer (kTextSize bytes).
const char *valueText(const MP_Info *info, char *buffer)
{
    buffer[0] = '\0';
    if (!info || !info->name) return buffer;
    if (const void *stored = RW_getSourcePtr(info->name, info->type)) return static_cast<const char *>(stored);
    RW_readSource(buffer, info->name, info->type);
    return buffer;
}

// The text the viewer shows, for the item look-ups; false when there is none.
bool currentSource(const FV_Viewer *v, FV_Source *source, char *buffer)
{
    if (v->alarm) {
        *source = {v->alarmText, v->alarmFile};
        return true;
    }
    const MP_Info *info = currentTextInfo(v);
    if (info && info->type == SourceType_FILE) {
        *source = {nullptr, v->fileName};
        return !v->notFound;
    }
    *source = {valueText(info, buffer), nullptr};
    return true;
}

void reportCutLines(FV_Viewer *v, const char *name)
{
    if (v->table.cutLines == 0) return;
    err_append_int(0, "File viewer: %ld lines cut to 255 characters!\n", static_cast<long>(v->table.cutLines));
    log_append(0, " %s\n", name);
}

// Copies the file source into the viewer's own RAM-disk file; false when
// the source cannot be read (reported when it goes missing).
bool copySource(FV_Viewer *v, const char *name)
{
    int copy = RA_fileOpen(v->fileName, "w");
    int full = 0;
    int32_t bytes = copy < 0 ? -1 : FV_copyFile(name, copy, &full, nullptr);
    if (copy >= 0) RA_fileClose(copy);
    if (bytes < 0) {
        if (!v->notFound) err_fileNotFound(name);
        return false;
    }
    if (full && !v->truncated) err_append(0, "File viewer: the RAM disk holds only part of\n %s\n", name);
    v->truncated = static_cast<uint8_t>(full);
    return true;
}

void clampFirstRow(FV_Viewer *v)
{
    if (v->firstRow >= v->rowCount) v->firstRow = v->rowCount > 0 ? v->rowCount - 1 : 0;
    if (v->firstRow < 0) v->firstRow = 0;
}

void readFileSource(FV_Viewer *v, const MP_Info *info, int divider)
{
    bool due = divider <= 1 || v->drawCounter % static_cast<uint32_t>(divider) == 0;
    if (!due) return;
    const char *name = resolveInfoName(info->name ? info->name : "");
    FV_Source copy = {nullptr, v->fileName};
    FV_Table table;
    if (!copySource(v, name) || !FV_parseTable(&copy, &table)) {
        FV_initParameter(v, 0);
        v->rowCount = 0;
        v->notFound = 1;
        return;
    }
    bool newlyCut = table.cutLines != v->table.cutLines || v->notFound;
    v->notFound = 0;
    v->table = table;
    v->rowCount = table.rows;
    if (newlyCut) reportCutLines(v, name);
    clampFirstRow(v);
}

// Selection from outside: the destination of the first row-number action.
void updateIndexes(FV_Viewer *v)
{
    if (!hasSelectionActions(v) || disabled(v)) {
        v->selected = -1;
        return;
    }
    const MP_Action *rowAction = nullptr;
    for (int i = 0; i < v->block.actionCount && !rowAction; i++) {
        const MP_Action &a = v->block.actions[i];
        if (a.code == FV_AC_WRITE_ROW_NUMBER && CO_evaluateLogicCondition(&a.condition)) rowAction = &a;
    }
    if (!rowAction) return;
    char value[kTextSize];
    RW_readSource(value, rowAction->dest.name, rowAction->dest.type);
    int wanted;
    if (std::sscanf(value, "%i", &wanted) != 1) wanted = -1;
    if (wanted == v->lastIndex) return;
    v->lastIndex = wanted;
    if (wanted < 0 || wanted >= v->rowCount) {
        v->selected = -1;
        return;
    }
    int visible = visibleRows(v);
    if (wanted < v->firstRow) v->firstRow = wanted;
    else if (wanted >= v->firstRow + visible) v->firstRow = wanted - visible + 1;
    v->selected = static_cast<int16_t>(wanted - v->firstRow);
    FV_executeAction(v);
}

void prepareSource(FV_Viewer *v, const MP_Info *info, int divider)
{
    if (!info || info->type != SourceType_CO) v->alarm = nullptr;
    if (!info) return;
    if (info->type == SourceType_FILE) {
        readFileSource(v, info, divider);
        if (!v->notFound) updateIndexes(v);
    } else if (info->type == SourceType_CO) {
        if (!HK_hooks()->alarmListCycle(v->object.id, resolveInfoName(info->name ? info->name : "")))
            v->alarm = nullptr;
    }
}

bool isSelectedRow(const FV_Viewer *v, int32_t row)
{
    if (v->multiSelect) {
        for (int i = 0; i < v->selectionCount; i++)
            if (v->selection[i] == row) return true;
        return false;
    }
    return v->selected >= 0 && row == v->firstRow + v->selected;
}

void drawRow(const FV_Viewer *v, char *line, int32_t row, int top)
{
    FV_Row cells;
    FV_splitRow(line, &cells);
    uint32_t textColour = cells.foreground ? cells.foreground : paint.lineColor;
    if (isSelectedRow(v, row)) {
        G_FillRect(paint.x, top, v->listWidth, paint.rowHeight, paint.lineColor);
        textColour = paint.fillColor;
    } else if (cells.background) {
        G_FillRect(paint.x, top, v->listWidth, paint.rowHeight, cells.background);
    }
    for (int k = 0; k < cells.cellCount; k++) {
        int start, width;
        if (!FV_columnSpan(&v->table, k, &start, &width) || !cells.cells[k][0]) continue;
        G_DrawText(cells.cells[k], paint.x + start * v->listWidth / 100 + 2, top, width * v->listWidth / 100,
                   paint.rowHeight, 0, textColour);
    }
}

// The rows of the table from the first row on, while they fit.
void drawArray(FV_Viewer *v, const FV_Source *source)
{
    FV_Reader r;
    if (!FV_openReader(&r, source)) return;
    G_SetFont(v->object.font);
    char line[FV_LINE_SIZE];
    int cut = 0, drawn = 0, fit = paint.height / paint.rowHeight;
    for (int32_t row = 0; drawn < fit && FV_readLine(&r, line, &cut) >= 0;) {
        if (FV_lineKind(line) != FV_LINE_ROW) continue;
        if (row >= v->firstRow) drawRow(v, line, row, paint.y + drawn++ * paint.rowHeight);
        row++;
    }
    FV_closeReader(&r);
    v->visibleRows = static_cast<int16_t>(drawn < fit ? drawn : fit);
    clampFirstRow(v);
}

// Word wrap: the visual lines of one line, each narrower than the limit.
struct Wrap {
    int32_t count; // visual lines so far
    int limit;
};

void emitVisualLine(const FV_Viewer *v, Wrap *w, const char *text)
{
    int32_t n = w->count++;
    if (n < v->firstRow) return;
    int top = paint.y + static_cast<int>(n - v->firstRow) * paint.rowHeight;
    if (top + paint.rowHeight > paint.y + paint.height) return;
    G_DrawText(text, paint.x + 2, top, paint.width - 3, paint.rowHeight, 0, paint.lineColor);
}

bool fits(const char *text, int limit) { return G_GetStringWidth(text, nullptr) < limit; }

// Appends a word to the visual line, breaking it where it alone is too wide.
void addWord(const FV_Viewer *v, Wrap *w, char *current, const char *word)
{
    char candidate[FV_LINE_SIZE];
    std::snprintf(candidate, sizeof candidate, "%s%s%s", current, current[0] ? " " : "", word);
    if (fits(candidate, w->limit)) {
        safe_strncpy(current, candidate, FV_LINE_SIZE);
        return;
    }
    if (current[0]) emitVisualLine(v, w, current);
    current[0] = '\0';
    for (const char *c = word; *c; c++) {
        size_t length = std::strlen(current);
        current[length] = *c;
        current[length + 1] = '\0';
        if (fits(current, w->limit) || length == 0) continue;
        current[length] = '\0';
        emitVisualLine(v, w, current);
        current[0] = *c;
        current[1] = '\0';
    }
}

void wrapLine(const FV_Viewer *v, Wrap *w, char *line)
{
    char current[FV_LINE_SIZE] = "";
    for (char *word = std::strtok(line, " "); word; word = std::strtok(nullptr, " ")) addWord(v, w, current, word);
    emitVisualLine(v, w, current);
}

void drawMultiLine(FV_Viewer *v, const FV_Source *source)
{
    FV_Reader r;
    if (!FV_openReader(&r, source)) return;
    G_SetFont(v->object.font);
    Wrap w = {0, paint.width - 4};
    char line[FV_LINE_SIZE];
    int cut = 0;
    while (FV_readLine(&r, line, &cut) >= 0) wrapLine(v, &w, line);
    FV_closeReader(&r);
    v->rowCount = w.count;
    int fit = paint.height / paint.rowHeight;
    int32_t shown = v->rowCount - v->firstRow;
    v->visibleRows = static_cast<int16_t>(shown < fit ? (shown > 0 ? shown : 0) : fit);
    clampFirstRow(v);
}

void paintSource(FV_Viewer *v, const MP_Info *info)
{
    if (info && info->type == SourceType_FILE) {
        FV_Source copy = {nullptr, v->fileName};
        if (v->notFound) G_DrawText("not found", paint.x, paint.y, paint.width, paint.height, 5, paint.lineColor);
        else if (v->multiLine) drawMultiLine(v, &copy);
        else drawArray(v, &copy);
        return;
    }
    FV_Source text = {valueText(info, textBuffer), nullptr};
    if (v->multiLine) {
        drawMultiLine(v, &text);
    } else if (!v->alarm || !HK_hooks()->alarmListDraw(v->object.id, text.text)) {
        FV_parseTable(&text, &v->table);
        v->rowCount = v->table.rows;
        updateIndexes(v);
        drawArray(v, &text);
    }
}

void drawGrid(const FV_Viewer *v)
{
    if (v->horizontalGrid)
        for (int y = paint.y + paint.rowHeight; y < paint.y + paint.height; y += paint.rowHeight)
            G_DrawLine(paint.x, y, paint.x + v->listWidth - 1, y, paint.lineColor);
    if (!v->verticalGrid) return;
    for (int k = 0; k < FV_MAX_COLUMNS; k++) {
        int start = v->table.starts[k];
        if (start < 0 || start > 100) continue;
        int x = paint.x + start * v->listWidth / 100;
        if (x > paint.x && x < paint.x + paint.width)
            G_DrawLine(x, paint.y, x, paint.y + paint.height - 1, paint.lineColor);
    }
}

void drawScroller(FV_Viewer *v, int width)
{
    SCROLLER_Bar &bar = v->scroller;
    if (width <= 0) {
        SCROLLER_SetEnabled(&bar, 0);
        return;
    }
    uint32_t pressed = bar.flags & (SCROLLER_UP_PRESSED | SCROLLER_DOWN_PRESSED);
    bar = {static_cast<int16_t>(paint.x + v->listWidth),
           static_cast<int16_t>(paint.y + 2),
           static_cast<int16_t>(width - 2),
           static_cast<int16_t>(paint.height - 4),
           kScrollerFace,
           paint.lineColor,
           pressed};
    if (v->firstRow == 0) bar.flags |= SCROLLER_UP_GREY;
    if (v->rowCount < v->firstRow + v->visibleRows + 1) bar.flags |= SCROLLER_DOWN_GREY;
    SCROLLER_Draw(&bar);
}

void drawWith(FV_Viewer *v, const Look &look)
{
    const MP_Info *info = textInfo(v, look);
    v->listWidth = static_cast<int16_t>(look.width - look.scrollerWidth);
    prepareSource(v, info, look.divider);
    if (look.fill) G_FillRect(look.x, look.y, look.width, look.height, look.fillColor);
    if (look.border)
        G_DrawRect2(look.x, look.y, look.width, look.height, look.lineColor, v->object.lineStyle, v->object.lineWidth);
    paintSource(v, info);
    drawGrid(v);
    drawScroller(v, look.scrollerWidth);
    if (look.border && v->block.actionCount > 0)
        DM_DrawEditField("", look.x, look.y, look.width, look.height, look.lineColor);
}

void setBox(OB_Object *o, int x, int y, int width, int height)
{
    o->x = static_cast<int16_t>(x);
    o->y = static_cast<int16_t>(y);
    o->width = static_cast<int16_t>(width);
    o->height = static_cast<int16_t>(height);
}

void setEventHandler(FV_Viewer *v)
{
    int id = v->object.id;
    MH_setCallBackOnMessage("UP", FV_MSG_UP, id, nullptr, nullptr);
    MH_setCallBackOnMessage("DOWN", FV_MSG_DOWN, id, nullptr, nullptr);
    MH_setCallBackOnMessage("ENTER", OB_MSG_ENTER, id, nullptr, nullptr);
    MH_setCallBackOnMessage("ESC", OB_MSG_END_EDIT, id, nullptr, nullptr);
    v->active = 0;
    if (v->selected < 0 && hasSelectionActions(v)) v->selected = 0;
    v->savedFirstRow = v->firstRow;
    v->savedSelected = v->selected;
    scheduleRedraw();
}

void resetEventHandler(FV_Viewer *v)
{
    if (v->active < 0) return;
    int id = v->object.id;
    for (const char *key : kBoundKeys) MH_releaseBinding(key, id);
    v->active = -1;
}

int isSelectable(const FV_Viewer *v, int checkHidden)
{
    return v->selectable || MP_isSelectableObject(&v->block, checkHidden);
}

int selectableAnswer(const FV_Viewer *v, int ignoreHidden)
{
    if (isSelectable(v, ignoreHidden == 0)) return 1;
    return SCROLLER_IsEnabled(&v->scroller) && (v->rowCount > v->visibleRows || v->firstRow > 0);
}

void toggleSelection(FV_Viewer *v, int32_t row)
{
    for (int i = 0; i < v->selectionCount; i++) {
        if (v->selection[i] != row) continue;
        std::memmove(&v->selection[i], &v->selection[i + 1], (v->selectionCount - i - 1) * sizeof v->selection[0]);
        v->selectionCount--;
        return;
    }
    if (v->selectionCount < FV_MAX_SELECTION) v->selection[v->selectionCount++] = row;
}

int scrollerStep(const FV_Viewer *v, int step)
{
    if (step == SCROLLER_LINE_UP || step == SCROLLER_LINE_DOWN) return step;
    return step < 0 ? -visibleRows(v) : visibleRows(v);
}

// A release on the viewer: the scroll bar moves, elsewhere the row under
// the point is selected and the actions run. Answers the writes.
int mouseAction(FV_Viewer *v, const OB_Point *p)
{
    if (SCROLLER_IsPressed(&v->scroller, p->x, p->y)) {
        int step = 0;
        if (SCROLLER_IsButtonUpPressed(&v->scroller, p->x, p->y, &step) ||
            SCROLLER_IsButtonDownPressed(&v->scroller, p->x, p->y, &step))
            FV_IncrementValue(v, hasSelectionActions(v), scrollerStep(v, step));
        return 0;
    }
    int row = (p->y - v->object.y) / rowHeight(v);
    v->selected = static_cast<int16_t>(row);
    if (v->multiSelect) {
        toggleSelection(v, v->firstRow + row);
        scheduleRedraw();
    }
    int writes = FV_executeAction(v);
    if (writes == 0) v->selected = -1;
    else scheduleRedraw();
    return writes;
}

int pointerDown(FV_Viewer *v, int id, const OB_Point *p)
{
    if (!p || !OB_checkMouseDnCoordinates(&v->object, p)) return -1;
    int visibility = RR_IsVisible(&v->object, v->block.repaints, v->block.repaintCount);
    if (!visibility) return -1;
    if (SCROLLER_IsPressed(&v->scroller, p->x, p->y) && SCROLLER_drawPressedButtons(&v->scroller, p->x, p->y))
        return id;
    return visibility == 2 || isSelectable(v, 0) ? id : -1;
}

int pointerUp(FV_Viewer *v, int id, const OB_Point *p)
{
    if (!p) return -1;
    int result = -1;
    int visibility = RR_IsVisible(&v->object, v->block.repaints, v->block.repaintCount);
    if (visibility && OB_checkMouseUpCoordinates(&v->object, p)) {
        bool onScroller = SCROLLER_IsPressed(&v->scroller, p->x, p->y);
        if (mouseAction(v, p) > 0) {
            v->lastIndex = v->firstRow + v->selected;
            if (v->active < 0) FV_Enter(id);
            result = id;
        } else if (visibility == 2 || onScroller) {
            result = id;
        }
    }
    SCROLLER_resetPressedState(&v->scroller);
    return result;
}

int keyName(const FV_Viewer *v, const char *name)
{
    return v->block.fkeyCount >= 1 && v->block.fkeys[0] && stringcmp(v->block.fkeys[0], name);
}

int32_t keyMessage(FV_Viewer *v, int id, int message)
{
    if (!MH_isKeyDown()) return id;
    if (message == OB_MSG_ENTER) FV_Enter(id);
    else FV_IncrementValue(v, hasSelectionActions(v), message == FV_MSG_DOWN ? 1 : -1);
    return id;
}

// Writes the text without its shown row at position into out (size bytes).
bool textWithoutRow(const char *text, int position, char *out, size_t size)
{
    FV_Source source = {text, nullptr};
    FV_Reader r;
    FV_openReader(&r, &source);
    char line[FV_LINE_SIZE];
    int cut = 0, row = 0;
    bool removed = false;
    size_t length = 0;
    out[0] = '\0';
    while (FV_readLine(&r, line, &cut) >= 0) {
        if (FV_lineKind(line) == FV_LINE_ROW && row++ == position) {
            removed = true;
            continue;
        }
        length += std::snprintf(out + length, size - length, "%s\n", line);
        if (length >= size) length = size - 1;
    }
    FV_closeReader(&r);
    return removed;
}

bool removeFrom(FV_Viewer *v, int position)
{
    const MP_Info *info = currentTextInfo(v);
    if (!info || !info->name || v->alarm) return false;
    if (info->type == SourceType_FILE) {
        err_append(0, "File viewer: items of files are not removed!\n %s\n", info->name);
        return false;
    }
    char buffer[kTextSize];
    if (!textWithoutRow(valueText(info, buffer), position, removalText, sizeof removalText)) return false;
    RW_writeSource(removalText, info->name, info->type);
    FV_resetSelection(v);
    scheduleRedraw();
    return true;
}

} // namespace

OB_Object *loadFileViewer(int file, OB_Object *defaults)
{
    auto *v = reinterpret_cast<FV_Viewer *>(PA_newObject(sizeof(FV_Viewer)));
    if (!v || !PA_readBlock(file, &v->object, &v->block, defaults)) return nullptr;
    PA_finishObject(&v->object, defaults, OB_KIND_OWN_HANDLERS, fileViewerNotify);
    std::snprintf(v->fileName, sizeof v->fileName, "_FV%u", static_cast<unsigned>(v->object.id));
    SCROLLER_SetEnabled(&v->scroller, 0);
    FV_initParameter(v, 1);
    return &v->object;
}

void FV_initParameter(FV_Viewer *v, int reset)
{
    v->table = {};
    v->table.columns = 1;
    for (int16_t &start : v->table.starts) start = -1;
    v->selected = -1;
    v->selectionCount = 0;
    v->lastIndex = -1;
    v->active = -1;
    if (!reset) return;
    v->firstRow = 0;
    v->visibleRows = static_cast<int16_t>(v->object.height / rowHeight(v));
}

int32_t fileViewerNotify(int id, int message, int a, void *p)
{
    FV_Viewer *v = FV_viewerOf(id);
    if (!v) return OB_SquareNotify(id, message, a, p);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: FV_drawObj(v); return id;
    case OB_MSG_ACCEPT:
    case OB_MSG_PAGE_ENTERED: return id;
    case OB_MSG_FOCUS_LOST:
        v->object.focus = 0;
        resetEventHandler(v);
        return id;
    case OB_MSG_DELETE:
        resetEventHandler(v);
        RA_fileDelete(v->fileName);
        return OB_SquareNotify(id, message, a, p);
    case OB_MSG_FOCUS_ORDER: return isSelectable(v, 1) ? id : -1;
    case OB_MSG_ENTER:
    case FV_MSG_DOWN:
    case FV_MSG_UP: return keyMessage(v, id, message);
    case OB_MSG_POINTER_DOWN: return pointerDown(v, id, static_cast<const OB_Point *>(p));
    case OB_MSG_POINTER_UP: return pointerUp(v, id, static_cast<const OB_Point *>(p));
    case OB_MSG_PAGE_LEFT: resetEventHandler(v); return id;
    case OB_MSG_SELECTABLE: return selectableAnswer(v, a);
    case OB_MSG_KEY_NAME: return keyName(v, static_cast<const char *>(p));
    case OB_MSG_CLASS_ID: return FV_CLASS_ID;
    case OB_MSG_END_EDIT: FV_Escape(id); return id;
    default: return OB_SquareNotify(id, message, a, p);
    }
}

void FV_drawObj(FV_Viewer *v)
{
    Look look;
    if (!repaintPass(v, &look)) return;
    OB_Object &o = v->object;
    int x = o.x, y = o.y, width = o.width, height = o.height;
    setBox(&o, look.x, look.y, look.width, look.height);
    paint = {look.x, look.y, look.width, look.height, rowHeight(v), look.fillColor, look.lineColor};
    drawWith(v, look);
    setBox(&o, x, y, width, height);
    v->drawCounter++;
}

int FV_drawTable(FV_Viewer *v, const FV_Source *source)
{
    if (!FV_parseTable(source, &v->table)) return 0;
    v->rowCount = v->table.rows;
    drawArray(v, source);
    return 1;
}

void FV_Enter(int id)
{
    FV_Viewer *v = FV_viewerOf(id);
    if (!v) return;
    if (v->active < 0) {
        setEventHandler(v);
        return;
    }
    FV_executeAction(v);
    if (v->selected >= 0) v->lastIndex = v->firstRow + v->selected;
    resetEventHandler(v);
    scheduleRedraw();
}

void FV_Escape(int id)
{
    FV_Viewer *v = FV_viewerOf(id);
    if (!v || v->active < 0) return;
    v->firstRow = v->savedFirstRow;
    v->selected = v->savedSelected;
    FV_executeAction(v);
    resetEventHandler(v);
    scheduleRedraw();
}

void FV_IncrementValue(FV_Viewer *v, int hasSelection, int delta)
{
    int32_t last = v->rowCount > 0 ? v->rowCount - 1 : 0;
    if (!hasSelection) {
        int32_t first = v->firstRow + delta;
        v->firstRow = first < 0 ? 0 : first > last ? last : first;
        scheduleRedraw();
        return;
    }
    int32_t row = v->selected < 0 ? v->firstRow : v->firstRow + v->selected + delta;
    row = row < 0 ? 0 : row > last ? last : row;
    int visible = visibleRows(v);
    if (row < v->firstRow) v->firstRow = row;
    else if (row >= v->firstRow + visible) v->firstRow = row - visible + 1;
    v->selected = static_cast<int16_t>(row - v->firstRow);
    scheduleRedraw();
}

int FV_executeAction(FV_Viewer *v)
{
    if (disabled(v) || v->selected < 0) return 0;
    int32_t row = v->firstRow + v->selected;
    if (row >= v->rowCount) return 0;
    int writes = 0;
    char value[kTextSize];
    for (int i = 0; i < v->block.actionCount; i++) {
        const MP_Action &a = v->block.actions[i];
        if (!isSelectionCode(a.code) || !CO_evaluateLogicCondition(&a.condition)) continue;
        if (a.code == FV_AC_WRITE_ROW_NUMBER) {
            std::snprintf(value, sizeof value, "%i", static_cast<int>(row));
        } else {
            int column = -1;
            if (a.code == FV_AC_WRITE_CELL) {
                char source[kTextSize];
                RW_readSource(source, a.source.name, a.source.type);
                if (std::sscanf(source, "%i", &column) != 1) continue;
            }
            FV_getItemAt(v, row, column, value, sizeof value);
        }
        RW_writeSource(value, a.dest.name, a.dest.type);
        writes++;
    }
    return writes;
}

FV_Viewer *FV_viewerOf(int id)
{
    OB_Object *o = OB_Get_Pointer(id);
    return o && o->Notify == fileViewerNotify ? reinterpret_cast<FV_Viewer *>(o) : nullptr;
}

int32_t FV_focusedRow(const FV_Viewer *v) { return v->selected < 0 ? -1 : v->firstRow + v->selected; }

int FV_getItemAt(FV_Viewer *v, int32_t row, int column, char *dst, int size)
{
    if (size > 0) dst[0] = '\0';
    char buffer[kTextSize];
    FV_Source source;
    if (!currentSource(v, &source, buffer)) return 0;
    if (column >= 0) return FV_readCell(&source, row, column, dst, size);
    char line[FV_LINE_SIZE];
    if (!FV_readRow(&source, row, line)) return 0;
    safe_strncpy(dst, FV_rowText(line), size);
    return 1;
}

void FV_resetSelection(FV_Viewer *v)
{
    v->selected = -1;
    v->selectionCount = 0;
    v->lastIndex = -1;
    v->firstRow = 0;
}

void FV_setSelectable(FV_Viewer *v, int on) { v->selectable = on != 0; }

void FV_setAlarmContext(FV_Viewer *v, void *context) { v->alarm = context; }

void FV_setAlarmSource(FV_Viewer *v, const char *text, const char *file)
{
    v->alarmText = text;
    safe_strncpy(v->alarmFile, file ? file : "", sizeof v->alarmFile);
}

void FV_reset()
{
    textBuffer[0] = '\0';
    removalText[0] = '\0';
    paint = {};
}

int FV_removeItemAt(const char *viewer, int position)
{
    if (!viewer || position < 0) return 0;
    int removed = 0;
    for (int id = 0; id < OB_HowManyObjetcs(); id++) {
        FV_Viewer *v = FV_viewerOf(id);
        const MP_Info *info = v ? currentTextInfo(v) : nullptr;
        if (info && info->name && stringcmp(info->name, viewer) && removeFrom(v, position)) removed = 1;
    }
    return removed;
}
