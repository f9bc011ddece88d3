// Text fields. Own their records (heap1), their drawing and their inline
// editing; hand keypad edits to the keypad, read and write values through the
// value sources, take units from the value formats, bind the cursor keys
// through the key bindings and draw through the graphics layer.
#include "objects/text_field.h"

#include <cstdio>
#include <cstring>

#include "data/containers.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "draw/button_face.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "input/key_bindings.h"
#include "objects/keypad.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/action_records.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr int kEditActionOpen = 3;
constexpr int kEditActionOpen4 = 4;
constexpr int kMaxLines = 16;
const char kEnterPrefix[] = "ENTER=";
const char kPasswordMask[] = "****";

// The shared buffer the value text is built in.
char valueBuffer[TF_TEXT_SIZE];

TF_Field *fieldOf(int id)
{
    OB_Object *o = OB_Get_Pointer(id);
    return o && o->Notify == TF_notify ? reinterpret_cast<TF_Field *>(o) : nullptr;
}

bool isPassword(int type) { return type == SourceType_PASSWORDPPO || type == SourceType_PASSWORDCONTAINER; }

bool isStatic(const TF_Field *f) { return OB_GetStatusBit(&f->object, OB_STATUS_STATIC_TEXT) != 0; }

void setLength(TF_Field *f) { f->textLength = static_cast<uint16_t>(std::strlen(f->text)); }

// What the repaint pass leaves for drawing.
struct Look {
    int x, y, width, height;
    uint32_t fillColor, lineColor;
    int fill, border, editFrame, align;
    int valueRepaint; // index of the holding value repaint, -1 none
    uint32_t mask;
};

void takeRepaint(const MP_Repaint &r, int index, Look *look, RR_OffsetSlots *slots)
{
    switch (r.code) {
    case RR_TEXT_5: look->valueRepaint = index; break;
    case TF_RR_MIDDLE: look->align |= G_ALIGN_MIDDLE; break;
    case TF_RR_CENTER: look->align |= G_ALIGN_CENTER; break;
    case TF_RR_RIGHT: look->align |= G_ALIGN_RIGHT; break;
    case TF_RR_BOTTOM: look->align |= G_ALIGN_BOTTOM; break;
    case RR_LINE_COLOR: look->lineColor = getColorInfo(&r.info); break;
    case RR_FILL_COLOR: look->fillColor = getColorInfo(&r.info); break;
    case RR_BORDER: look->border = 1; break;
    case RR_FILL: look->fill = 1; break;
    case TF_RR_EDIT_FRAME:
    case TF_RR_EDIT_FRAME_44: look->editFrame = 1; break;
    default: RR_checkOffsets(&r, slots, index); break;
    }
}

void dropRepaint(const MP_Repaint &r, Look *look)
{
    if (r.code == RR_BORDER) look->border = 0;
    else if (r.code == RR_FILL) look->fill = 0;
    else if (r.code == TF_RR_EDIT_FRAME || r.code == TF_RR_EDIT_FRAME_44) look->editFrame = 0;
}

// The repaint pass; false when a hide repaint holds.
bool repaintPass(const TF_Field *f, int full, Look *look, bool *moved)
{
    const OB_Object &o = f->object;
    *look = {o.x,
             o.y,
             o.width,
             o.height,
             o.fillColor,
             o.lineColor,
             OB_GetStatusBit(&o, OB_STATUS_FILL),
             OB_GetStatusBit(&o, OB_STATUS_BORDER),
             0,
             0,
             -1,
             0};
    RR_OffsetSlots slots;
    RR_initOffsetSlots(&slots);
    if (!RR_repaintPass(
            f->block, full, &look->mask, [&](const MP_Repaint &r, int i) { takeRepaint(r, i, look, &slots); },
            [&](const MP_Repaint &r) { dropRepaint(r, look); }))
        return false;
    *moved = RR_setAnyOffsets(f->block.repaints, &slots, &look->x, &look->y, &look->width, &look->height) != 0;
    return true;
}

void maskText(char *text)
{
    for (; *text; text++) *text = '*';
}

// The text the value repaint shows: the source's own text where it has one,
// else the shared buffer. Password points show "****" without being read,
// password containers one "*" per character; points with a value format
// get their unit.
const char *valueText(const MP_Info &info)
{
    const char *text = valueBuffer;
    if (info.type == SourceType_PASSWORDPPO) {
        safe_strncpy(valueBuffer, kPasswordMask, sizeof valueBuffer);
    } else if (info.type == SourceType_PASSWORDCONTAINER) {
        RW_readSource(valueBuffer, info.name, info.type);
        maskText(valueBuffer);
    } else if (const void *own = RW_getSourcePtr(info.name, info.type)) {
        text = static_cast<const char *>(own);
    } else {
        RW_readSource(valueBuffer, info.name, info.type);
    }
    if (info.type != SourceType_PPO && info.type != SourceType_PASSWORDPPO) return text;
    const TcrEntry *entry = info.name ? TCR_getTcrPointer(info.name) : nullptr;
    if (!entry) return text;
    if (text != valueBuffer) safe_strncpy(valueBuffer, text, sizeof valueBuffer);
    TCR_appendUnit(entry, valueBuffer);
    return valueBuffer;
}

// A text with line breaks is drawn one line under the other, the block
// aligned as one text would be; any other text in one G_DrawText.
void drawLines(const char *text, int x, int y, int w, int h, int align, uint32_t colour)
{
    if (!std::strchr(text, '\n')) {
        G_DrawText(text, x, y, w, h, align, colour);
        return;
    }
    const char *starts[kMaxLines];
    int count = 0;
    for (const char *p = text; *p && count < kMaxLines;) {
        starts[count++] = p;
        const char *end = std::strchr(p, '\n');
        if (!end) break;
        p = end + 1;
    }
    int lineHeight = FO_GetCharHeight(G_GetFont());
    if (lineHeight < 1) lineHeight = 1;
    int top = y;
    if (align & G_ALIGN_BOTTOM) top = y + h - count * lineHeight;
    else if (align & G_ALIGN_MIDDLE) top = y + (h - count * lineHeight) / 2;
    for (int i = 0; i < count; i++) {
        int lineY = top + i * lineHeight;
        if (lineY + lineHeight > y + h) break;
        char line[TF_TEXT_SIZE];
        size_t n = std::strcspn(starts[i], "\n");
        safe_strncpy(line, starts[i], n + 1 < sizeof line ? n + 1 : sizeof line);
        G_DrawText(line, x, lineY, w, lineHeight, align & (G_ALIGN_CENTER | G_ALIGN_RIGHT), colour);
    }
}

void drawStill(TF_Field *f, int full)
{
    Look look;
    bool moved = false;
    if (!repaintPass(f, full, &look, &moved)) return;
    bool force = full || moved;
    if (!full && look.mask != f->block.repaintMask) {
        f->block.repaintMask = static_cast<uint16_t>(look.mask);
        force = true;
    }
    const char *value = look.valueRepaint >= 0 ? valueText(f->block.repaints[look.valueRepaint].info) : "";
    if (!force && std::strncmp(value, f->text, TF_TEXT_SIZE) == 0) return;
    const OB_Object &o = f->object;
    bool early = f->version < TEQ_VERSION_D;
    int inset = o.lineWidth + (look.editFrame || (early && look.border) ? 1 : 0);
    if (!isStatic(f)) {
        safe_strncpy(f->text, value, TF_TEXT_SIZE);
        setLength(f);
    }
    f->align = static_cast<uint8_t>(look.align);
    if (look.fill) {
        int i = look.border || look.editFrame ? inset : 0;
        G_FillRect(look.x + i, look.y + i, look.width - 2 * i, look.height - 2 * i, look.fillColor);
    }
    if (look.border && early) DM_DrawEditField("", look.x, look.y, look.width, look.height, look.lineColor);
    else if (look.border)
        G_DrawRect2(look.x, look.y, look.width, look.height, look.lineColor, o.lineStyle, o.lineWidth);
    if (look.editFrame) DM_DrawEditField("", look.x, look.y, look.width, look.height, look.lineColor);
    G_SetFont(o.font);
    if (look.valueRepaint >= 0)
        drawLines(value, look.x + inset, look.y + inset, look.width - 2 * inset, look.height - 2 * inset, look.align,
                  look.lineColor);
}

// Inline editing: the text in a box with the cursor after the character
// before it; right after the start the whole text shows selected. Passwords
// show as "*", also selected.
void drawEditing(TF_Field *f)
{
    Look look;
    bool moved = false;
    if (!repaintPass(f, 1, &look, &moved)) return;
    char shown[TF_TEXT_SIZE];
    safe_strncpy(shown, f->text, sizeof shown);
    if (isPassword(TF_getKeypadDestinationType())) maskText(shown);
    int x = look.x + 2, y = look.y + 2, w = look.width - 4, h = look.height - 4;
    G_FillRect(x, y, w, h, look.fillColor);
    G_DrawRect(look.x, look.y, look.width, look.height, look.lineColor);
    G_SetFont(f->object.font);
    if (f->selectAll) {
        G_FillRect(x, y, G_GetStringWidth(shown, f->object.font) + 1, h, look.lineColor);
        G_DrawText(shown, x, y, w, h, G_ALIGN_MIDDLE, look.fillColor);
        return;
    }
    G_DrawText(shown, x, y, w, h, G_ALIGN_MIDDLE, look.lineColor);
    char before[TF_TEXT_SIZE];
    safe_strncpy(before, shown, static_cast<size_t>(f->cursor) + 1 < sizeof before ? f->cursor + 1 : sizeof before);
    G_FillRect(x + G_GetStringWidth(before, f->object.font), y, 1, h, look.lineColor);
}

// A static field gets its text back after an edit typed over it.
void restoreStaticText(TF_Field *f)
{
    if (!isStatic(f)) return;
    char text[TF_TEXT_SIZE];
    MP_IsStaticRepaintSource(&f->block, text);
    safe_strncpy(f->text, text, TF_TEXT_SIZE);
    setLength(f);
}

void writeText(TF_Field *f)
{
    TF_SetValueFromKeyPad(f->text);
    f->modified = 0;
}

// Ends inline editing; with write, a changed text is written first.
void endEditing(TF_Field *f, bool write)
{
    bool changed = f->cursor >= 0 || f->modified || f->editing;
    if (write && f->modified) writeText(f);
    TF_ResetEventHandler(f);
    f->editing = f->selectAll = f->modified = 0;
    restoreStaticText(f);
    if (changed) scheduleFullRedraw();
}

void enter(TF_Field *f, int *saved)
{
    if (f->cursor < 0) {
        f->selectAll = 0;
        TF_executeAction(f, AC_TRIGGER_PRESS);
        TF_executeAction(f, AC_TRIGGER_RELEASE);
        return;
    }
    if (f->modified) {
        writeText(f);
        TF_SendMessageOnEnterHit();
    }
    TF_ResetEventHandler(f);
    f->editing = 0;
    scheduleFullRedraw();
    if (saved) *saved = 1;
}

void moveCursor(TF_Field *f, int step)
{
    if (!MH_isKeyDown() || !f->object.focus || f->cursor < 0) return;
    int next = f->cursor + step;
    if (next >= 0 && next <= static_cast<int>(std::strlen(f->text))) f->cursor = static_cast<int16_t>(next);
    f->selectAll = 0;
    scheduleFullRedraw();
}

int pointerDown(TF_Field *f, int id, const OB_Point *point)
{
    f->pressed = OB_checkMouseDnCoordinates(&f->object, point) && MP_isSelectableObject(&f->block, 0);
    return f->pressed ? id : -1;
}

int pointerUp(TF_Field *f, int id, const OB_Point *point)
{
    int result = -1;
    if (OB_checkMouseUpCoordinates(&f->object, point)) {
        if (f->pressed) {
            TF_executeAction(f, AC_TRIGGER_PRESS);
            result = id;
        }
        if (TF_executeAction(f, AC_TRIGGER_RELEASE)) result = id;
    }
    f->pressed = 0;
    return result;
}

int keyName(TF_Field *f, const char *name)
{
    if (f->object.focus && MH_isKeyDown()) {
        if (stringcmp(name, "+/-")) TF_addKeyToValueString(f, TF_KEY_SIGN);
        else if (stringcmp(name, "BACKSPACE")) TF_addKeyToValueString(f, TF_KEY_BACKSPACE);
    }
    return f->block.fkeyCount >= 1 && f->block.fkeys[0] && stringcmp(f->block.fkeys[0], name);
}

void openKeypad(const TF_Field *f, const char *current)
{
    HT_writeContainer("_KEYPADORG", current);
    HT_writeContainer("_KEYPAD", "");
    char page[CO_VALUE_SIZE];
    HT_readContainer("_KEYPADNAME", page);
    HT_writeContainer("_KEYPAD_OPEN", page);
    if (!pterm.show_selection) return;
    char id[16];
    std::snprintf(id, sizeof id, "%d", f->object.id);
    HT_writeContainer("_KEYPAD_TF_FOCUS", id);
}

void startInline(TF_Field *f, const char *name, int type)
{
    RW_readSource(f->text, name, type);
    setLength(f);
    TF_SetEventHandler(f);
    f->editing = 1;
    f->selectAll = 1;
    f->modified = 0;
    scheduleRedraw();
}

void insertAt(char *text, int index, char c)
{
    size_t n = std::strlen(text);
    std::memmove(text + index + 1, text + index, n - static_cast<size_t>(index) + 1);
    text[index] = c;
}

void toggleSign(TF_Field *f)
{
    if (f->text[0] == '-') {
        util_removeCharAt(0, f->text);
        if (f->cursor > 0) f->cursor--;
    } else if (std::strlen(f->text) < TF_TEXT_SIZE - 1) {
        insertAt(f->text, 0, '-');
        f->cursor++;
    }
}

// Backspace with the cursor at the start of the text removes nothing.
void backspace(TF_Field *f)
{
    int n = static_cast<int>(std::strlen(f->text));
    if (n == 0 || f->cursor < 1) return;
    int at = (f->cursor < n ? f->cursor : n) - 1;
    util_removeCharAt(at, f->text);
    f->cursor = static_cast<int16_t>(at);
}

void typeCharacter(TF_Field *f, char c)
{
    if (f->selectAll) {
        f->text[0] = '\0';
        f->cursor = 0;
    }
    int n = static_cast<int>(std::strlen(f->text));
    if (n >= TF_TEXT_SIZE - 1) return;
    int at = f->cursor < n ? f->cursor : n;
    insertAt(f->text, at, c);
    f->cursor = static_cast<int16_t>(at + 1);
}

// Control characters other than the sign and backspace are not text.
bool isTypedKey(int key)
{
    unsigned char c = static_cast<unsigned char>(key);
    return key == TF_KEY_SIGN || key == TF_KEY_BACKSPACE || (c >= ' ' && c != 127);
}

} // namespace

OB_Object *TF_loadTextField(int file, OB_Object *defaults)
{
    auto *f = reinterpret_cast<TF_Field *>(PA_newObject(sizeof(TF_Field)));
    if (!f || !PA_readBlock(file, &f->object, &f->block, defaults)) return nullptr;
    int id = f->object.id;
    if (defaults->plcId == TF_HIDDEN_PLC_ID && PPO_getList()->count == 0) {
        OB_Delete_Object(id);
        OB_restoreMemFromDeletedObject(id);
        return nullptr;
    }
    char initial[TF_TEXT_SIZE];
    int staticText = MP_IsStaticRepaintSource(&f->block, initial);
    f->text = static_cast<char *>(MU_alloc(TF_TEXT_SIZE));
    if (!f->text) {
        teqSetLoadError();
        OB_Delete_Object(id);
        return nullptr;
    }
    PA_finishObject(&f->object, defaults, OB_KIND_OWN_HANDLERS, TF_notify);
    safe_strncpy(f->text, staticText ? initial : "", TF_TEXT_SIZE);
    setLength(f);
    OB_SetStatusBit(&f->object, OB_STATUS_STATIC_TEXT, staticText);
    f->cursor = -1;
    f->selectAll = f->modified = f->align = f->pressed = f->editing = 0;
    f->keypadAllowed = 1;
    f->version = EditorVersion;
    return &f->object;
}

int32_t TF_notify(int id, int message, int a, void *p)
{
    TF_Field *f = fieldOf(id);
    if (!f) return OB_SquareNotify(id, message, a, p);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: TF_drawObj(f, message == OB_MSG_DRAW); return id;
    case OB_MSG_FOCUS_LOST:
    case OB_MSG_PAGE_LEFT:
        endEditing(f, true);
        f->object.focus = 0;
        return id;
    case OB_MSG_FOCUS_GAINED: return OB_SquareNotify(id, message, a, p);
    case OB_MSG_FOCUS_ORDER: return !isStatic(f) && MP_isSelectableObject(&f->block, 1) ? id : -1;
    case OB_MSG_ENTER: enter(f, static_cast<int *>(p)); return id;
    case TF_MSG_CURSOR_RIGHT: moveCursor(f, 1); return id;
    case TF_MSG_CURSOR_LEFT: moveCursor(f, -1); return id;
    case OB_MSG_ACCEPT_214:
        writeText(f);
        scheduleFullRedraw();
        if (a == '\r') TF_SendMessageOnEnterHit();
        return id;
    case OB_MSG_KEY: return TF_addKeyToValueString(f, a);
    case OB_MSG_POINTER_DOWN: return pointerDown(f, id, static_cast<const OB_Point *>(p));
    case OB_MSG_POINTER_UP: return pointerUp(f, id, static_cast<const OB_Point *>(p));
    case OB_MSG_SELECTABLE: return MP_isSelectableObject(&f->block, a == 0);
    case OB_MSG_KEY_NAME: return keyName(f, static_cast<const char *>(p));
    case OB_MSG_CLASS_ID: return TF_CLASS_ID;
    case OB_MSG_END_EDIT: endEditing(f, false); return id;
    default: return OB_SquareNotify(id, message, a, p);
    }
}

void TF_drawObj(TF_Field *f, int full)
{
    if (f->cursor < 0) drawStill(f, full);
    else drawEditing(f);
}

int TF_executeAction(TF_Field *f, int trigger)
{
    const MPainter &b = f->block;
    if (b.actionCount == 0 || AC_isDisabled(&f->object, b.actions, b.actionCount)) return 0;
    bool found = false;
    for (int i = 0; i < b.actionCount && !found; i++) {
        const MP_Action &action = b.actions[i];
        found = action.trigger == trigger && (action.code == kEditActionOpen || action.code == kEditActionOpen4) &&
                CO_evaluateLogicCondition(&action.condition);
    }
    if (!found) return 0;
    int value = -1;
    for (int i = 0; i < b.repaintCount; i++)
        if (b.repaints[i].code == RR_TEXT_5 && CO_evaluateLogicCondition(&b.repaints[i].condition)) value = i;
    if (value >= 0) TF_edit(f, b.repaints[value].info.name, b.repaints[value].info.type);
    return 1;
}

void TF_edit(TF_Field *f, const char *name, int type)
{
    if (VM_isKeypadClosed() || f->editing) return;
    f->object.focus = 1;
    TF_setKeypadDestination(name, type);
    for (int i = 0; i < f->block.fkeyCount; i++)
        if (prefixcmp(f->block.fkeys[i], kEnterPrefix)) TF_setEnterMessage(f->block.fkeys[i] + sizeof kEnterPrefix - 1);
    char current[TF_TEXT_SIZE] = "";
    if (!isPassword(type)) RW_readSource(current, name, type);
    if (pterm.sip && f->keypadAllowed) openKeypad(f, current);
    else startInline(f, name, type);
}

void TF_SetEventHandler(TF_Field *f)
{
    if (f->cursor != -1) return;
    MH_setCallBackOnMessage("LEFT", TF_MSG_CURSOR_LEFT, f->object.id, nullptr, nullptr);
    MH_setCallBackOnMessage("RIGHT", TF_MSG_CURSOR_RIGHT, f->object.id, nullptr, nullptr);
    f->cursor = static_cast<int16_t>(std::strlen(f->text));
}

void TF_ResetEventHandler(TF_Field *f)
{
    if (f->cursor >= 0) {
        MH_releaseBinding("LEFT", f->object.id);
        MH_releaseBinding("RIGHT", f->object.id);
    }
    f->cursor = -1;
}

int TF_addKeyToValueString(TF_Field *f, int key)
{
    int id = f->object.id;
    if (!f->object.focus) return -1;
    if (MH_isKeyUp()) return id;
    if (!isTypedKey(key)) return -1;
    if (f->cursor < 0) {
        f->keypadAllowed = 0;
        TF_executeAction(f, AC_TRIGGER_PRESS);
        TF_executeAction(f, AC_TRIGGER_RELEASE);
        f->keypadAllowed = 1;
        // A field that did not start editing takes no key: what would be
        // typed has no destination of its own.
        if (f->cursor < 0) return -1;
    }
    if (key == TF_KEY_SIGN) toggleSign(f);
    else if (key == TF_KEY_BACKSPACE) backspace(f);
    else typeCharacter(f, static_cast<char>(key));
    setLength(f);
    f->modified = 1;
    f->selectAll = 0;
    scheduleRedraw();
    return id;
}

void util_removeCharAt(int index, char *text)
{
    if (!text || index < 0) return;
    size_t n = std::strlen(text);
    if (static_cast<size_t>(index) >= n) return;
    std::memmove(text + index, text + index + 1, n - static_cast<size_t>(index));
}
