// Image buttons. Owns their records (heap1) and drawing; runs their actions
// through the action interpreter, binds their keys through the key bindings,
// takes the units of process values from the value formats, and draws
// through the graphics layer and the button faces.
#include "objects/image_button.h"

#include <cstring>

#include "data/source_names.h"
#include "data/value_format.h"
#include "draw/button_face.h"
#include "draw/graphics.h"
#include "input/actions.h"
#include "input/key_bindings.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/painter_loader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr int kBoundKeys = 3;
const int kBoundMessages[kBoundKeys] = {OB_MSG_FOCUS_NEXT, OB_MSG_FOCUS_PREVIOUS, OB_MSG_ENTER};

char textBuffer[IB_TEXT_SIZE];

IB_Button *buttonOf(int id) { return reinterpret_cast<IB_Button *>(OB_Get_Pointer(id)); }

// What the repaint pass leaves for drawing.
struct Look {
    int x, y, width, height;
    uint32_t fillColor, lineColor;
    int fill, border, frame3d, align;
    int textRepaint; // index of the holding text repaint, -1 none
    uint32_t mask;
};

void takeRepaint(const MP_Repaint &r, int index, Look *look, RR_OffsetSlots *slots)
{
    switch (r.code) {
    case RR_TEXT: look->textRepaint = index; break;
    case IB_RR_MIDDLE: look->align |= G_ALIGN_MIDDLE; break;
    case IB_RR_CENTER: look->align |= G_ALIGN_CENTER; break;
    case IB_RR_RIGHT: look->align |= G_ALIGN_RIGHT; break;
    case IB_RR_BOTTOM: look->align |= G_ALIGN_BOTTOM; break;
    case RR_LINE_COLOR: look->lineColor = getColorInfo(&r.info); break;
    case RR_FILL_COLOR: look->fillColor = getColorInfo(&r.info); break;
    case RR_BORDER: look->border = 1; break;
    case RR_FILL: look->fill = 1; break;
    case IB_RR_FRAME_3D: look->frame3d = 1; break;
    default: RR_checkOffsets(&r, slots, index); break;
    }
}

void dropRepaint(const MP_Repaint &r, Look *look)
{
    if (r.code == RR_BORDER) look->border = 0;
    else if (r.code == RR_FILL) look->fill = 0;
    else if (r.code == IB_RR_FRAME_3D) look->frame3d = 0;
}

// The repaint pass; false when a hide repaint holds.
bool repaintPass(const IB_Button *b, int full, Look *look, bool *moved)
{
    const OB_Object &o = b->object;
    *look = {o.x,
             o.y,
             o.width,
             o.height,
             o.fillColor,
             o.lineColor,
             OB_GetStatusBit(&o, OB_STATUS_FILL),
             OB_GetStatusBit(&o, OB_STATUS_BORDER),
             1,
             0,
             -1,
             0};
    RR_OffsetSlots slots;
    RR_initOffsetSlots(&slots);
    if (!RR_repaintPass(
            b->block, full, &look->mask, [&](const MP_Repaint &r, int i) { takeRepaint(r, i, look, &slots); },
            [&](const MP_Repaint &r) { dropRepaint(r, look); }))
        return false;
    *moved = RR_setAnyOffsets(b->block.repaints, &slots, &look->x, &look->y, &look->width, &look->height) != 0;
    return true;
}

void readText(const IB_Button *b, const Look &look)
{
    textBuffer[0] = '\0';
    if (look.textRepaint < 0) return;
    const MP_Info &info = b->block.repaints[look.textRepaint].info;
    if (info.type == SourceType_FILE) safe_strncpy(textBuffer, info.name ? info.name : "", sizeof textBuffer);
    else RW_readSource(textBuffer, info.name, info.type);
    if ((info.type == SourceType_PPO || info.type == SourceType_PASSWORDPPO) && info.name)
        TCR_appendUnit(TCR_getTcrPointer(info.name), textBuffer);
}

void drawContent(IB_Button *b, const Look &look)
{
    const OB_Object &o = b->object;
    int lw = o.lineWidth, f = look.frame3d ? 1 : 0;
    if (look.fill)
        G_FillRect(look.x + lw, look.y + lw, look.width - 2 * lw - f, look.height - 2 * lw - f, look.fillColor);
    if (look.textRepaint >= 0) {
        if (!OB_GetStatusBit(&o, OB_STATUS_STATIC_TEXT) && b->text) safe_strncpy(b->text, textBuffer, IB_TEXT_SIZE);
        if (b->block.repaints[look.textRepaint].info.type == SourceType_FILE) {
            G_DrawImage(resolveInfoName(textBuffer), look.x, look.y, look.width, look.height);
        } else if (textBuffer[0]) {
            int shift = b->pressed && look.border ? 1 : 0;
            G_SetFont(o.font);
            G_DrawText(textBuffer, look.x + shift + 2, look.y + shift + 2, look.width - 4, look.height - 4, look.align,
                       look.lineColor);
        }
    }
    if (look.border) {
        G_DrawRect2(look.x, look.y, look.width, look.height, look.lineColor, o.lineStyle, lw);
        if (look.frame3d) {
            DM_DrawButton(0, look.x + lw - 1, look.y + lw - 1, look.width - 2 * (lw - 1), look.height - 2 * (lw - 1), 0,
                          look.lineColor);
            if (b->pressed) {
                OB_Object box = o;
                box.x = static_cast<int16_t>(look.x), box.y = static_cast<int16_t>(look.y);
                box.width = static_cast<int16_t>(look.width), box.height = static_cast<int16_t>(look.height);
                IB_drawPressed(0, &box);
            }
        }
    }
    b->drawnPressed = b->pressed;
}

int pointerDown(IB_Button *b, int id, int fromKey, const OB_Point *point)
{
    if (!OB_checkMouseDnCoordinates(&b->object, point) || !MP_isSelectableObject(&b->block, 0)) return -1;
    b->pressed = 1;
    if (!fromKey && OB_GetStatusBit(&b->object, OB_STATUS_BORDER) && OB_IsDrawable(id)) IB_drawPressed(1, &b->object);
    IB_executeAction(b, AC_TRIGGER_PRESS);
    return id;
}

int pointerUp(IB_Button *b, int id, const OB_Point *point)
{
    bool taken = OB_checkMouseUpCoordinates(&b->object, point) && IB_executeAction(b, AC_TRIGGER_RELEASE);
    b->pressed = 0;
    return taken ? id : -1;
}

int keyName(const IB_Button *b, const char *name)
{
    return b->block.fkeyCount >= 1 && b->block.fkeys[0] && stringcmp(b->block.fkeys[0], name);
}

// The warning button opens the message box: the count of pending messages
// goes back to 0 and the page named by the settings' message box is shown.
int openMessageBox()
{
    clearMessageNr();
    VM_setMsgBoxView();
    return 1;
}

} // namespace

OB_Object *IB_loadIButton(int file, OB_Object *defaults)
{
    auto *b = reinterpret_cast<IB_Button *>(PA_newObject(sizeof(IB_Button)));
    if (!b || !PA_readBlock(file, &b->object, &b->block, defaults)) return nullptr;
    PA_finishObject(&b->object, defaults, OB_KIND_OWN_HANDLERS, iButtNotify);
    b->pressed = b->drawnPressed = 0;
    int isStatic = 0;
    b->text = MP_GetPointerToString(&b->block, &isStatic);
    OB_SetStatusBit(&b->object, OB_STATUS_STATIC_TEXT, isStatic);
    return &b->object;
}

int32_t iButtNotify(int id, int message, int a, void *p)
{
    IB_Button *b = buttonOf(id);
    if (!b) return OB_SquareNotify(id, message, a, p);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: IB_drawObj(b, message == OB_MSG_DRAW); return id;
    case OB_MSG_FOCUS_GAINED:
        OB_SquareNotify(id, message, a, p);
        IB_SetEventHandler(id);
        return id;
    case OB_MSG_FOCUS_LOST: IB_ResetEventHandler(id); return OB_SquareNotify(id, message, a, p);
    case OB_MSG_FOCUS_ORDER: return MP_isSelectableObject(&b->block, 1) ? id : -1;
    case OB_MSG_ENTER: IB_Enter(id); return id;
    case OB_MSG_KEY:
        if (a != ' ') return -1;
        IB_Enter(id);
        return id;
    case OB_MSG_POINTER_DOWN: return pointerDown(b, id, a, static_cast<const OB_Point *>(p));
    case OB_MSG_POINTER_UP: return pointerUp(b, id, static_cast<const OB_Point *>(p));
    case OB_MSG_SELECTABLE: return MP_isSelectableObject(&b->block, a == 0);
    case OB_MSG_KEY_NAME: return keyName(b, static_cast<const char *>(p));
    case OB_MSG_CLASS_ID: return IB_CLASS_ID;
    default: return OB_SquareNotify(id, message, a, p);
    }
}

void IB_drawObj(IB_Button *b, int full)
{
    Look look;
    bool moved = false;
    if (!repaintPass(b, full, &look, &moved)) return;
    bool force = full || moved;
    if (!full && look.mask != b->block.repaintMask) {
        b->block.repaintMask = static_cast<uint16_t>(look.mask);
        force = true;
    }
    if (b->block.actionCount > 0 && b->pressed != b->drawnPressed) force = true;
    readText(b, look);
    if (!force && b->text && std::strncmp(textBuffer, b->text, IB_TEXT_SIZE) == 0) return;
    drawContent(b, look);
}

int IB_executeAction(IB_Button *b, int trigger)
{
    if (AC_isDisabled(&b->object, b->block.actions, b->block.actionCount)) return 0;
    if (b->warning) return trigger == AC_TRIGGER_PRESS ? openMessageBox() : 0;
    int counter = 0;
    for (int i = 0; i < b->block.actionCount; i++) {
        const MP_Action *action = &b->block.actions[i];
        if (action->trigger == trigger && CO_evaluateLogicCondition(&action->condition))
            AC_executeActionBtnP(&b->object, action, &counter);
    }
    return counter > 0;
}

void IB_Enter(int id)
{
    IB_Button *b = buttonOf(id);
    if (!b) return;
    IB_executeAction(b, AC_TRIGGER_PRESS);
    if (buttonOf(id) == b) IB_executeAction(b, AC_TRIGGER_RELEASE);
}

void IB_drawPressed(int direct, const OB_Object *box)
{
    G_DrawXORRect(direct, box->x + 1, box->y + 1, box->width - 2, box->height - 2);
}

void IB_SetEventHandler(int id)
{
    IB_Button *b = buttonOf(id);
    if (!b || b->block.fkeyCount < kBoundKeys) return;
    for (int k = 0; k < kBoundKeys; k++)
        MH_setCallBackOnMessage(b->block.fkeys[k], kBoundMessages[k], id, nullptr, nullptr);
}

void IB_ResetEventHandler(int id)
{
    IB_Button *b = buttonOf(id);
    if (!b || b->block.fkeyCount < kBoundKeys) return;
    for (int k = 0; k < kBoundKeys; k++) MH_releaseBinding(b->block.fkeys[k], id);
}

IB_Button *IB_createIButton(int x, int y, int w, int h, int border, int actionCount, int actionCode, int destType,
                            const char *dest, int sourceType, const char *source, int repaintCount, int repaintCode,
                            int repaintType, const char *repaintName)
{
    int16_t id;
    auto *b = reinterpret_cast<IB_Button *>(OB_LoadObj(sizeof(IB_Button), &id));
    if (!b) return nullptr;
    b->text = static_cast<char *>(MU_alloc(IB_TEXT_SIZE));
    bool made = b->text && MP_createMPainter(&b->block, actionCount, actionCode, destType, dest, sourceType, source,
                                             repaintCount, repaintCode, repaintType, repaintName);
    if (!made || id < 0) {
        OB_Delete_Object(id);
        OB_restoreMemFromDeletedObject(id);
        return nullptr;
    }
    b->object.kind = OB_KIND_OWN_HANDLERS;
    b->object.Notify = iButtNotify;
    b->object.x = static_cast<int16_t>(x);
    b->object.y = static_cast<int16_t>(y);
    b->object.width = static_cast<int16_t>(w);
    b->object.height = static_cast<int16_t>(h);
    b->object.plcId = IB_RUNTIME_PLC_ID;
    OB_SetStatusBit(&b->object, OB_STATUS_BORDER, border);
    OB_SetStatusBit(&b->object, OB_STATUS_STATIC_TEXT, 0);
    return b;
}

void IB_loadWarningButton()
{
    const ExtObjectSpec &w = pterm.warn_btn;
    if (!w.enabled || MU_getMyHeapSize() == 0) return;
    int16_t before = static_cast<int16_t>(OB_HowManyObjetcs());
    IB_Button *b =
        IB_createIButton(w.x, w.y, w.width, w.height, 1, 1, AC_WRITE_SOURCE, SourceType_TEQINDEX,
                         VM_getMsgBoxFileName(), SourceType_STRING, "OPEN", 4, RR_TEXT, SourceType_HTMLTAG, w.text);
    if (!b) return;
    MP_Repaint *r = b->block.repaints;
    bool made =
        RR_addRepaintAt(r, 1, RR_HIDE, SourceType_STRING, "") &&
        RR_addRepaintAt(r, 2, IB_RR_MIDDLE, SourceType_STRING, "") &&
        RR_addRepaintAt(r, 3, IB_RR_CENTER, SourceType_STRING, "") &&
        CO_createLogicCondition(&b->block.actions[0].condition, CO_COMPARE_GREATER, SourceType_CO, "MSGBOX_NR",
                                SourceType_STRING, "0") &&
        CO_createLogicCondition(&r[0].condition, CO_COMPARE_GREATER, SourceType_CO, "MSGBOX_NR", SourceType_STRING,
                                "0") &&
        CO_createLogicCondition(&r[1].condition, CO_COMPARE_EQUAL, SourceType_CO, "MSGBOX_NR", SourceType_STRING, "0");
    if (!made) {
        OB_Delete_Object(before);
        OB_restoreMemFromDeletedObject(before);
        return;
    }
    b->warning = 1;
    b->object.status = OB_STATUS_FILL | OB_STATUS_BORDER;
    b->object.lineWidth = 1;
    b->object.lineStyle = 0;
    b->object.fillColor = w.color1;
    b->object.lineColor = w.color2;
}
