// Drop-down lists. Owns their records (heap1) and the shared item file in the
// RAM disk; draws through the graphics layer and the button faces, reads the
// items with the file viewer's character reader, writes the choice through
// the value sources, binds keys while open and makes itself the modal object.
#include "objects/drop_down_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/source_names.h"
#include "draw/button_face.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/actions.h"
#include "input/input_events.h"
#include "input/key_bindings.h"
#include "objects/file_viewer.h"
#include "objects/file_viewer_text.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "view/painter_loader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr int kTextSize = 256;
constexpr int kButtonWidth = 13;
const char *const kBoundKeys[] = {"UP", "DOWN", "ENTER", "ESC"};
const int kBoundMessages[] = {FV_MSG_UP, FV_MSG_DOWN, OB_MSG_ENTER, OB_MSG_END_EDIT};
const OB_Point kKeyboardPoint = {-1, -1};

enum : int { POINTER_MISSED = 0, IN_FIELD = 1, IN_LIST = 2 };

struct Look {
    int fill, border;
    uint32_t fillColor, lineColor;
    int valueRepaint; // -1 none
};

DDL_List *listOf(int id)
{
    OB_Object *o = OB_Get_Pointer(id);
    return o && o->Notify == ddListNotify ? reinterpret_cast<DDL_List *>(o) : nullptr;
}

int rowHeight(const DDL_List *l)
{
    G_SetFont(l->object.font);
    int height = FO_GetCharHeight(l->object.font);
    return (height > 0 ? height : 1) + 4;
}

bool repaintPass(const DDL_List *l, Look *look)
{
    const OB_Object &o = l->object;
    *look = {OB_GetStatusBit(&o, OB_STATUS_FILL), OB_GetStatusBit(&o, OB_STATUS_BORDER), o.fillColor, o.lineColor, -1};
    for (int i = 0; i < l->block.repaintCount; i++) {
        const MP_Repaint &r = l->block.repaints[i];
        bool holds = CO_evaluateLogicCondition(&r.condition) != 0;
        if (r.code == RR_FILL) look->fill = holds;
        else if (r.code == RR_BORDER) look->border = holds;
        if (!holds) continue;
        switch (r.code) {
        case RR_HIDE:
        case RR_HIDE_51: return false;
        case RR_TEXT_5: look->valueRepaint = i; break;
        case RR_LINE_COLOR: look->lineColor = getColorInfo(&r.info); break;
        case RR_FILL_COLOR: look->fillColor = getColorInfo(&r.info); break;
        default: break;
        }
    }
    return true;
}

// The wanted item: the value's decimal number, -1 for a text that is none.
int wantedIndex(const char *value)
{
    char *end = nullptr;
    long n = std::strtol(value, &end, 10);
    while (end && (*end == ' ' || *end == '\r' || *end == '\n')) end++;
    if (end == value || (end && *end) || n < 0 || n > DDL_MAX_ITEMS) return -1;
    return static_cast<int>(n);
}

// Writes one source's items and the line feed that ends them. A file that
// ends with its own line feed owes the added one (answers true): it is
// written only when another source follows, so that item n stays line n
// without an empty item at the end of the list.
bool appendSource(const MP_Info &info, int file, bool owed)
{
    if (!info.name) return owed;
    if (owed) RA_filePutc('\n', file);
    if (info.type == SourceType_FILE) {
        int full = 0, last = -1;
        if (FV_copyFile(resolveInfoName(info.name), file, &full, &last) < 0) return false;
        if (last == '\n' || last == 0xA2) return true;
    } else {
        char value[kTextSize];
        RW_readSource(value, info.name, info.type);
        RA_filePutString(value, file);
    }
    RA_filePutc('\n', file);
    return false;
}

void setBinding(int id, bool bind)
{
    for (size_t k = 0; k < sizeof kBoundKeys / sizeof kBoundKeys[0]; k++) {
        if (bind) MH_setCallBackOnMessage(kBoundKeys[k], kBoundMessages[k], id, nullptr, nullptr);
        else MH_releaseBinding(kBoundKeys[k], id);
    }
}

int clampFirst(const DDL_List *l, int first)
{
    int last = l->itemCount - l->visibleRows;
    if (first > last) first = last;
    return first < 0 ? 0 : first;
}

// Where the open list goes: below the field when it fits, else above, else
// on the larger side with a scroll bar.
void placeList(DDL_List *l)
{
    const OB_Object &o = l->object;
    int screenWidth, screenHeight;
    G_GetResolution(&screenWidth, &screenHeight);
    int rh = rowHeight(l);
    int below = screenHeight - (o.y + o.height) - 2, wanted = l->itemCount * rh, height = wanted;
    bool scroll = false;
    if (wanted <= below) {
        l->listTop = static_cast<int16_t>(o.y + o.height);
    } else if (o.y - 2 >= wanted) {
        l->listTop = static_cast<int16_t>(o.y - wanted);
    } else {
        scroll = true;
        bool above = below < o.y - 2;
        height = above ? o.y - 2 : below;
        l->listTop = static_cast<int16_t>(above ? 2 : o.y + o.height);
    }
    if (height < 0) height = 0;
    l->listHeight = static_cast<int16_t>(height);
    l->listBottom = static_cast<int16_t>(l->listTop + height);
    l->visibleRows = static_cast<int16_t>(scroll ? height / rh : l->itemCount);
    if (!scroll) {
        l->firstVisible = 0;
        SCROLLER_SetEnabled(&l->scroller, 0);
        return;
    }
    l->scroller = {static_cast<int16_t>(o.x + o.width - DDL_SCROLLER_WIDTH),
                   l->listTop,
                   DDL_SCROLLER_WIDTH,
                   static_cast<int16_t>(height),
                   DM_LIGHT_GREY,
                   o.lineColor,
                   l->scroller.flags & (SCROLLER_UP_PRESSED | SCROLLER_DOWN_PRESSED)};
    int keep = l->highlighted >= 0 ? l->highlighted : l->selected >= 0 ? l->selected : 0;
    if (l->scrollIntoView) {
        l->scrollIntoView = 0;
        if (keep < l->firstVisible) l->firstVisible = static_cast<int16_t>(keep);
        else if (keep >= l->firstVisible + l->visibleRows)
            l->firstVisible = static_cast<int16_t>(keep - l->visibleRows + 1);
    }
    l->firstVisible = static_cast<int16_t>(clampFirst(l, l->firstVisible));
    if (l->firstVisible == 0) l->scroller.flags |= SCROLLER_UP_GREY;
    if (l->firstVisible + l->visibleRows >= l->itemCount) l->scroller.flags |= SCROLLER_DOWN_GREY;
}

void drawList(DDL_List *l, const Look &look, int shown)
{
    const OB_Object &o = l->object;
    int rh = rowHeight(l);
    G_FillRect(o.x, l->listTop, o.width, l->listHeight, look.fillColor);
    FV_Source items = {nullptr, DDL_ITEM_FILE};
    FV_Reader r;
    if (FV_openReader(&r, &items)) {
        char line[FV_LINE_SIZE];
        int cut = 0, top = l->listTop;
        for (int i = 0; i < l->itemCount && top + rh <= l->listBottom && FV_readLine(&r, line, &cut) >= 0; i++) {
            if (i < l->firstVisible) continue;
            uint32_t colour = look.lineColor;
            if (i == shown) {
                G_FillRect(o.x, top, o.width, rh, look.lineColor);
                colour = look.fillColor;
            }
            G_DrawText(line, o.x + 2, top, o.width - 4, rh, G_ALIGN_MIDDLE, colour);
            top += rh;
        }
        FV_closeReader(&r);
    }
    G_DrawRect(o.x, l->listTop, o.width, l->listHeight, look.lineColor);
    SCROLLER_Draw(&l->scroller);
}

void drawField(const DDL_List *l, const Look &look, const char *text)
{
    const OB_Object &o = l->object;
    if (look.fill) G_FillRect(o.x, o.y, o.width, o.height, look.fillColor);
    G_SetFont(o.font);
    if (text[0]) G_DrawText(text, o.x + 2, o.y + 2, o.width - 4 - kButtonWidth, o.height - 4, l->align, look.lineColor);
    if (look.border) DM_DrawEditField("", o.x, o.y, o.width, o.height, look.lineColor);
    int bx = o.x + o.width - 14, by = o.y + 1, bh = o.height - 3;
    G_FillRect(bx, by, kButtonWidth, bh, DM_LIGHT_GREY);
    DM_DrawButton(0, bx, by, kButtonWidth, bh, 0, look.lineColor);
    DM_DrawSymbolB(DM_SYMBOL_DOWN, bx, by, kButtonWidth, bh, look.lineColor, 2);
}

// The value source names the item shown; on the first drawing after the
// page was entered its text is written through the text actions.
void readSelection(DDL_List *l, const Look &look, char *text)
{
    text[0] = '\0';
    if (look.valueRepaint < 0) return;
    const MP_Info &info = l->block.repaints[look.valueRepaint].info;
    char value[kTextSize];
    RW_readSource(value, info.name, info.type);
    int wanted = wantedIndex(value);
    int count = DDL_countItems(l);
    l->selected = static_cast<int16_t>(wanted >= 0 && wanted < count ? wanted : -1);
    if (l->selected >= 0) DDL_readItem(l->selected, text);
    if (!l->pageEntered) return;
    l->pageEntered = 0;
    if (l->selected < 0) return;
    for (int i = 0; i < l->block.actionCount; i++) {
        const MP_Action &a = l->block.actions[i];
        if (a.code == DDL_AC_WRITE_TEXT && CO_evaluateLogicCondition(&a.condition))
            RW_writeSource(text, a.dest.name, a.dest.type);
    }
}

void openList(DDL_List *l, int phase)
{
    if (DDL_countItems(l) <= 0) return;
    l->open = 1;
    l->highlighted = l->selected;
    l->openingRelease = phase == 0;
    l->scrollIntoView = 1;
    placeList(l);
    OB_setActualModal(l->object.id);
    setBinding(l->object.id, true);
    scheduleRedraw();
}

bool scrollBar(DDL_List *l, int phase, const OB_Point *p)
{
    if (!l->open || !SCROLLER_IsPressed(&l->scroller, p->x, p->y)) return false;
    if (phase != 0) return true;
    int step = 0;
    if (!SCROLLER_IsButtonUpPressed(&l->scroller, p->x, p->y, &step) &&
        !SCROLLER_IsButtonDownPressed(&l->scroller, p->x, p->y, &step))
        return true;
    int rows = step == SCROLLER_LINE_UP || step == SCROLLER_LINE_DOWN ? step
               : step < 0                                             ? -l->visibleRows
                                                                      : l->visibleRows;
    int first = clampFirst(l, l->firstVisible + rows);
    if (first != l->firstVisible) {
        l->firstVisible = static_cast<int16_t>(first);
        scheduleRedraw();
    }
    return true;
}

bool isKeyboardPoint(const OB_Point *p) { return p->x == kKeyboardPoint.x && p->y == kKeyboardPoint.y; }

// The item a release chooses, -1 none (the list then closes unless it is the
// release that opened it).
int chosenRow(DDL_List *l, const OB_Point *p, int inList)
{
    if (isKeyboardPoint(p)) return l->highlighted >= 0 ? l->highlighted : l->selected >= 0 ? l->selected : 0;
    if (!inList) return -1;
    int row = (p->y - l->listTop) / rowHeight(l) + l->firstVisible;
    return row >= 0 && row < l->itemCount ? row : -1;
}

void writeChoice(const MP_Action &a, int row)
{
    char text[kTextSize];
    if (a.code == DDL_AC_WRITE_NUMBER) std::snprintf(text, sizeof text, "%i", row);
    else if (!DDL_readItem(row, text)) text[0] = '\0';
    RW_writeSource(text, a.dest.name, a.dest.type);
}

void handleActions(DDL_List *l, int phase, const OB_Point *p, int inList)
{
    if (scrollBar(l, phase, p)) return;
    if (AC_isDisabled(&l->object, l->block.actions, l->block.actionCount) || l->block.actionCount == 0) return;
    bool chosen = false, closing = false;
    for (int i = 0; i < l->block.actionCount; i++) {
        const MP_Action &a = l->block.actions[i];
        if (!CO_evaluateLogicCondition(&a.condition)) continue;
        if (a.code == DDL_AC_OPEN && a.trigger == phase && !l->open) {
            openList(l, phase);
            return;
        }
        if (phase != 1 || !l->open || (a.code != DDL_AC_WRITE_NUMBER && a.code != DDL_AC_WRITE_TEXT)) continue;
        if (l->openingRelease) continue;
        int row = chosenRow(l, p, inList);
        if (row < 0) {
            closing = true;
            continue;
        }
        writeChoice(a, row);
        chosen = true;
    }
    if (phase == 1) l->openingRelease = 0;
    if (chosen || closing) DDL_close(l);
}

bool inField(const OB_Object &o, const OB_Point *p)
{
    return p->x >= o.x && p->x < o.x + o.width && p->y >= o.y && p->y < o.y + o.height;
}

int pointerHandling(DDL_List *l, int phase, const OB_Point *p)
{
    const OB_Object &o = l->object;
    if (isKeyboardPoint(p) || inField(o, p)) {
        handleActions(l, phase, p, 0);
        return IN_FIELD;
    }
    if (l->open && p->x >= o.x && p->x < o.x + o.width && p->y > l->listTop && p->y < l->listBottom) {
        handleActions(l, phase, p, 1);
        return IN_LIST;
    }
    if (phase == 1 && l->open) DDL_close(l);
    return POINTER_MISSED;
}

int pointer(DDL_List *l, int id, int phase, const OB_Point *p)
{
    if (!p) return -1;
    if (RR_isHidden(l->block.repaints, l->block.repaintCount)) {
        if (l->open) DDL_close(l);
        return -1;
    }
    bool wasOpen = l->open != 0;
    int where = pointerHandling(l, phase, p);
    if (phase == 1) SCROLLER_resetPressedState(&l->scroller);
    return where != POINTER_MISSED || wasOpen ? id : -1;
}

// Enter on the list: as a press and a release; a list that this opened
// stays open with a row marked, an open list closes on its marked row.
void keyboardEnter(DDL_List *l)
{
    bool wasOpen = l->open != 0;
    handleActions(l, 0, &kKeyboardPoint, 0);
    handleActions(l, 1, &kKeyboardPoint, 0);
    if (!l->open) return;
    if (l->highlighted < 0 || !wasOpen) {
        l->highlighted = static_cast<int16_t>(l->selected >= 0 ? l->selected : 0);
        l->scrollIntoView = 1;
        scheduleRedraw();
    } else {
        l->highlighted = -1;
        DDL_close(l);
    }
}

void moveHighlight(DDL_List *l, int delta)
{
    int next = l->highlighted + delta;
    if (next < 0 || next > l->itemCount - 1) return;
    l->highlighted = static_cast<int16_t>(next);
    l->scrollIntoView = 1;
    scheduleRedraw();
}

int32_t keyMessage(DDL_List *l, int id, int message)
{
    if (!MH_isKeyDown()) return id;
    if (message == OB_MSG_ENTER) keyboardEnter(l);
    else if (l->open) moveHighlight(l, message == FV_MSG_DOWN ? 1 : -1);
    return id;
}

int keyName(const DDL_List *l, const char *name)
{
    return l->block.fkeyCount >= 1 && l->block.fkeys[0] && stringcmp(l->block.fkeys[0], name);
}

} // namespace

OB_Object *loadDDList(int file, OB_Object *defaults)
{
    auto *l = reinterpret_cast<DDL_List *>(PA_newObject(sizeof(DDL_List)));
    if (!l || !PA_readBlock(file, &l->object, &l->block, defaults)) return nullptr;
    PA_finishObject(&l->object, defaults, OB_KIND_OWN_HANDLERS, ddListNotify);
    l->selected = l->highlighted = -1;
    l->scrollIntoView = 1;
    l->align = G_ALIGN_MIDDLE;
    SCROLLER_SetEnabled(&l->scroller, 0);
    return &l->object;
}

int32_t ddListNotify(int id, int message, int a, void *p)
{
    DDL_List *l = listOf(id);
    if (!l) return OB_SquareNotify(id, message, a, p);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: DDL_drawObj(l); return id;
    case OB_MSG_FOCUS_LOST:
        if (l->open) DDL_close(l);
        return OB_SquareNotify(id, message, a, p);
    case OB_MSG_FOCUS_ORDER: return MP_isSelectableObject(&l->block, 1) ? id : -1;
    case OB_MSG_ENTER:
    case FV_MSG_DOWN:
    case FV_MSG_UP: return keyMessage(l, id, message);
    case OB_MSG_POINTER_DOWN: return pointer(l, id, 0, static_cast<const OB_Point *>(p));
    case OB_MSG_POINTER_UP: return pointer(l, id, 1, static_cast<const OB_Point *>(p));
    case OB_MSG_PAGE_ENTERED: l->pageEntered = 1; return id;
    case OB_MSG_PAGE_LEFT:
    case OB_MSG_END_EDIT:
        if (l->open) DDL_close(l);
        return id;
    case OB_MSG_DELETE:
        if (l->open) setBinding(id, false);
        return OB_SquareNotify(id, message, a, p);
    case OB_MSG_SELECTABLE: return MP_isSelectableObject(&l->block, a == 0);
    case OB_MSG_KEY_NAME: return keyName(l, static_cast<const char *>(p));
    case OB_MSG_CLASS_ID: return DDL_CLASS_ID;
    default: return OB_SquareNotify(id, message, a, p);
    }
}

void DDL_drawObj(DDL_List *l)
{
    Look look;
    if (!repaintPass(l, &look)) {
        if (l->open) DDL_close(l);
        return;
    }
    char text[kTextSize];
    readSelection(l, look, text);
    if (l->open) {
        int shown = l->highlighted;
        DDL_countItems(l);
        placeList(l);
        drawList(l, look, shown);
        text[0] = '\0';
        if (shown >= 0) DDL_readItem(shown, text);
    }
    drawField(l, look, text);
}

int DDL_countItems(DDL_List *l)
{
    int file = RA_fileOpen(DDL_ITEM_FILE, "w");
    if (file < 0) {
        l->itemCount = 0;
        return 0;
    }
    bool owed = false;
    for (int i = 0; i < l->block.repaintCount; i++) {
        const MP_Repaint &r = l->block.repaints[i];
        if (r.code == RR_TEXT && CO_evaluateLogicCondition(&r.condition)) owed = appendSource(r.info, file, owed);
    }
    RA_fileClose(file);
    FV_Source items = {nullptr, DDL_ITEM_FILE};
    FV_Reader reader;
    int count = 0;
    if (FV_openReader(&reader, &items)) {
        char line[FV_LINE_SIZE];
        int cut = 0;
        while (count < DDL_MAX_ITEMS && FV_readLine(&reader, line, &cut) >= 0) count++;
        FV_closeReader(&reader);
    }
    l->itemCount = static_cast<int16_t>(count);
    return count;
}

int DDL_readItem(int n, char *dst)
{
    dst[0] = '\0';
    FV_Source items = {nullptr, DDL_ITEM_FILE};
    FV_Reader r;
    if (n < 0 || !FV_openReader(&r, &items)) return 0;
    int cut = 0, found = 0;
    for (int i = 0; i <= n && FV_readLine(&r, dst, &cut) >= 0; i++) found = i == n;
    FV_closeReader(&r);
    if (!found) dst[0] = '\0';
    return found;
}

void DDL_close(DDL_List *l)
{
    l->open = 0;
    l->openingRelease = 0;
    if (OB_getActualModal() == l->object.id) OB_resetModal();
    setBinding(l->object.id, false);
    scheduleFullRedraw();
    SCROLLER_SetEnabled(&l->scroller, 0);
    l->highlighted = -1;
}
