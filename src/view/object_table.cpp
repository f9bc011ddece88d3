// Object table. Owns the table, its counters, focus and modal state; object
// records are taken from heap1 and dropped with it. Sends messages to the
// objects' notify functions, reads show_selection from the settings and logs
// through the log.
#include "view/object_table.h"

#include <algorithm>
#include <cstring>

#include "runtime/settings.h"
#include "draw/graphics.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/view_manager.h"

namespace {

OB_Object *Objects[OB_MAX_OBJECTS];
int16_t LastObject;
int16_t ActualFocus = -1;
int16_t CurrentObject = -1;
int16_t ActualModal = -1;
uint32_t ovrObjCnt;
uint32_t isModalForeground;
int16_t bckgndElements, frgndElements;
uint32_t HeapSizeBeforeLoad;
OB_Point downCoord;
int16_t focusBeforeModalForeground = -1;

int orderNumber(int id) { return OB_SendMessage(id, OB_MSG_FOCUS_ORDER, 0, nullptr); }

int answersSelectable(int id) { return OB_SendMessage(id, OB_MSG_SELECTABLE, 0, nullptr) == 1; }

void giveFocus(int id)
{
    ActualFocus = static_cast<int16_t>(id);
    OB_SendMessage(id, OB_MSG_FOCUS_GAINED, 0, nullptr);
}

bool inside(const OB_Object *object, int px, int py)
{
    return px >= object->x && px < object->x + object->width && py >= object->y && py < object->y + object->height;
}

} // namespace

void OB_SetStatusBit(OB_Object *object, int mask, int on)
{
    if (on) object->status = static_cast<uint8_t>(object->status | mask);
    else object->status = static_cast<uint8_t>(object->status & ~mask);
}

int OB_GetStatusBit(const OB_Object *object, int mask) { return (object->status & mask) != 0; }

OB_Object *OB_LoadObj(uint32_t size, int16_t *id)
{
    if (size < sizeof(OB_Object)) size = sizeof(OB_Object);
    HeapSizeBeforeLoad = MU_getMyHeapSize();
    auto *object = static_cast<OB_Object *>(MU_alloc(size));
    if (!object) {
        log_append_int(0, "OB_LoadObj(), out of memory in heap1!\n size: %lu\n", static_cast<long>(size));
        if (id) *id = -1;
        return nullptr;
    }
    object->id = -1;
    if (LastObject < OB_MAX_OBJECTS) {
        object->id = LastObject;
        Objects[LastObject++] = object;
    } else {
        if (ovrObjCnt == 0) log_append(0, "Maximum number of object reached !\n", nullptr);
        ovrObjCnt++;
    }
    object->focus = 0;
    object->status = 0;
    if (id) *id = object->id;
    return object;
}

void copyProperies(OB_Object *object, const OB_Object *defaults)
{
    int16_t id = object->id;
    *object = *defaults;
    object->id = id;
}

OB_Object *newDefaultObject()
{
    auto *defaults = static_cast<OB_Object *>(MU_alloc(sizeof(OB_Object)));
    if (!defaults) return nullptr;
    defaults->kind = OB_KIND_DEFAULT;
    defaults->id = -1;
    defaults->fillColor = 0x0000FFFF;
    defaults->lineColor = 0;
    defaults->status = OB_STATUS_FILL | OB_STATUS_BORDER;
    defaults->lineStyle = 0;
    defaults->lineWidth = 1;
    return defaults;
}

OB_Object *OB_Get_Pointer(int id)
{
    auto index = static_cast<uint16_t>(id);
    return index < OB_MAX_OBJECTS ? Objects[index] : nullptr;
}

void OB_Delete_Object(int id)
{
    if (!OB_Get_Pointer(id)) return;
    Objects[static_cast<uint16_t>(id)] = nullptr;
    if (LastObject > 0) LastObject--;
}

void OB_restoreMemFromDeletedObject(int id)
{
    if (id == LastObject && HeapSizeBeforeLoad != 0) MU_setHeapPosition(HeapSizeBeforeLoad);
}

void OB_DeleteAllObjetcs()
{
    int count = LastObject;
    for (int id = 0; id < count; id++) OB_SendMessage(id, OB_MSG_DELETE, 0, nullptr);
    std::memset(Objects, 0, sizeof Objects);
    ActualModal = ActualFocus = CurrentObject = -1;
    LastObject = 0;
    ovrObjCnt = 0;
    isModalForeground = 0;
    bckgndElements = frgndElements = 0;
    HeapSizeBeforeLoad = 0;
    focusBeforeModalForeground = -1;
}

void OB_reset()
{
    std::memset(Objects, 0, sizeof Objects);
    ActualModal = ActualFocus = CurrentObject = -1;
    LastObject = 0;
    ovrObjCnt = 0;
    isModalForeground = 0;
    bckgndElements = frgndElements = 0;
    HeapSizeBeforeLoad = 0;
    downCoord = {};
    focusBeforeModalForeground = -1;
}

int OB_HowManyObjetcs() { return LastObject; }

void OB_setHowManyObjetcs(int count)
{
    if (count < 0 || count > OB_MAX_OBJECTS) return;
    for (int id = count; id < LastObject; id++) Objects[id] = nullptr;
    LastObject = static_cast<int16_t>(count);
}

int OB_HowManyObjetcsInForegroundTeq() { return frgndElements; }

void OB_setLayerCounts(int background, int foreground)
{
    bckgndElements = static_cast<int16_t>(background);
    frgndElements = static_cast<int16_t>(foreground);
}

int OB_getOverflowCount() { return static_cast<int>(ovrObjCnt); }

int32_t OB_SendMessage(int id, int message, int a, void *b)
{
    OB_Object *object = OB_Get_Pointer(id);
    if (!object) return -10;
    if (!object->Notify) {
        log_append_int(0, "ptr->Notify is null for object id %ld!\n", id);
        return -1;
    }
    CurrentObject = static_cast<int16_t>(id);
    int32_t result = object->Notify(id, message, a, b);
    CurrentObject = -1;
    return result;
}

int32_t OB_SquareNotify(int id, int message, int, void *)
{
    OB_Object *object = OB_Get_Pointer(id);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_ACCEPT:
    case OB_MSG_ACCEPT_204:
    case OB_MSG_ACCEPT_214: return id;
    case OB_MSG_FOCUS_LOST:
        if (object) object->focus = 0;
        return id;
    case OB_MSG_DELETE: OB_Delete_Object(id); return id;
    case OB_MSG_FOCUS_GAINED:
        if (object) object->focus = 1;
        ActualFocus = static_cast<int16_t>(id);
        return id;
    case OB_MSG_FOCUS_NEXT:
    case OB_MSG_FOCUS_PREVIOUS:
        if (object) object->focus = 0;
        OB_SendMessage(id, OB_MSG_DRAW, 0, nullptr);
        if (message == OB_MSG_FOCUS_NEXT) OB_setNextObjectInFocus();
        else OB_setPreviousObjectInFocus();
        return id;
    case OB_MSG_FOCUS_ORDER:
    case OB_MSG_KEY:
    case OB_MSG_POINTER_DOWN:
    case OB_MSG_POINTER_UP: return -1;
    default: return 0;
    }
}

int OB_IsBackgroundObject() { return CurrentObject >= 0 && CurrentObject < bckgndElements; }

int OB_getActualFocus() { return ActualFocus; }
void OB_setActualFocus(int id) { ActualFocus = static_cast<int16_t>(id); }
int OB_getActualModal() { return ActualModal; }
void OB_setActualModal(int id) { ActualModal = static_cast<int16_t>(id); }
void OB_resetModal() { ActualModal = -1; }

int OB_isModalForegroundTeq() { return isModalForeground != 0; }

void OB_setModalForegroundTeq(int on)
{
    if ((on != 0) == (isModalForeground != 0)) return;
    isModalForeground = on != 0;
    if (on) {
        focusBeforeModalForeground = ActualFocus;
        OB_SendMessage(ActualFocus, OB_MSG_END_EDIT, 0, nullptr);
        OB_setFirstObjectInFocus(1);
    } else {
        giveFocus(focusBeforeModalForeground);
        focusBeforeModalForeground = -1;
    }
}

int OB_GetFirstObject()
{
    if (!isModalForeground) return 0;
    int first = LastObject - frgndElements;
    return first > 0 ? first : 0;
}

int OB_isEnabled(int id) { return id >= OB_GetFirstObject(); }

int OB_setFirstObjectInFocus(int forward)
{
    ActualFocus = -1;
    if (pterm.show_selection == 0) return -1;
    if (forward) {
        for (int id = OB_GetFirstObject(); id < LastObject; id++)
            if (answersSelectable(id)) {
                giveFocus(id);
                return id;
            }
    } else {
        for (int id = LastObject - 1; id >= OB_GetFirstObject(); id--)
            if (answersSelectable(id)) {
                giveFocus(id);
                return id;
            }
    }
    return -1;
}

// Only objects in the focus order (order number 0 or more) are candidates.
void OB_setNextObjectInFocus()
{
    int current = orderNumber(ActualFocus);
    int best = -1, bestOrder = 10000, lowest = -1, lowestOrder = 10000;
    for (int id = 0; id < LastObject; id++) {
        int order = orderNumber(id);
        if (order < 0) continue;
        if (order > current && order < bestOrder) best = id, bestOrder = order;
        if (order < lowestOrder) lowest = id, lowestOrder = order;
    }
    giveFocus(best >= 0 ? best : lowest);
}

void OB_setPreviousObjectInFocus()
{
    int current = orderNumber(ActualFocus);
    int best = -1, bestOrder = -1, highest = -1, highestOrder = -1;
    for (int id = 0; id < LastObject; id++) {
        int order = orderNumber(id);
        if (order < 0) continue;
        if (order < current && order > bestOrder) best = id, bestOrder = order;
        if (order > highestOrder) highest = id, highestOrder = order;
    }
    giveFocus(best >= 0 ? best : highest);
}

void OB_doGainFocusEventAction() { OB_doGainFocusEventActionFromPosition(0); }

void OB_doGainFocusEventActionFromPosition(int first)
{
    for (int id = first < 0 ? 0 : first; id < LastObject; id++) OB_SendMessage(id, OB_MSG_PAGE_ENTERED, 0, nullptr);
}

void OB_doLostFocusEventAction()
{
    for (int id = 0; id < LastObject; id++) OB_SendMessage(id, OB_MSG_PAGE_LEFT, 0, nullptr);
}

void OB_setDownCoord(OB_Point point) { downCoord = point; }

int OB_checkMouseDnCoordinates(const OB_Object *object, const OB_Point *point)
{
    return object && point && inside(object, point->x, point->y);
}

int OB_checkMouseUpCoordinates(const OB_Object *object, const OB_Point *point)
{
    return OB_checkMouseDnCoordinates(object, point) && inside(object, downCoord.x, downCoord.y);
}

int OB_getSelectableObjectWithCoord(int px, int py)
{
    for (int id = LastObject - 1; id >= 0; id--) {
        OB_Object *object = Objects[id];
        if (!object || !answersSelectable(id)) continue;
        if (px >= object->x && px <= object->x + object->width && py >= object->y && py <= object->y + object->height)
            return id;
    }
    return -1;
}

int OB_IsDrawable(int id)
{
    OB_Object *object = OB_Get_Pointer(id);
    if (!object) return 0;
    int width, height;
    G_GetResolution(&width, &height);
    return object->x + object->width <= width && object->y + object->height <= height;
}

void OB_NotDrawable(int id)
{
    OB_Object *o = OB_Get_Pointer(id);
    if (!o || o->x < 0 || o->y < 0) return;
    int screenWidth, screenHeight;
    G_GetResolution(&screenWidth, &screenHeight);
    int x = o->x, y = o->y, w = o->width, h = o->height;
    bool clippedWidth = x + w > screenWidth, clippedHeight = y + h > screenHeight;
    if (clippedWidth) w = screenWidth - x;
    if (clippedHeight) h = screenHeight - y;
    if (w <= 0 || h <= 0) return;
    const uint32_t red = 0xFF0000FF;
    int right = x + w - 1, bottom = y + h - 1;
    G_DrawLine(x, y, right, y, red);
    G_DrawLine(x, y, x, bottom, red);
    if (!clippedHeight) G_DrawLine(x, bottom, right, bottom, red);
    if (!clippedWidth) G_DrawLine(right, y, right, bottom, red);
}

int OB_IsSelectable(int id) { return OB_isEnabled(id) && OB_IsDrawable(id) && answersSelectable(id); }

void OB_drawSelection(int direct, int id)
{
    OB_Object *o = OB_Get_Pointer(id);
    if (!o || pterm.show_selection == 0 || !OB_IsDrawable(id)) return;
    G_DrawXORRect(direct, o->x - 1, o->y - 1, o->width + 2, o->height + 2);
    G_DrawXORRect(direct, o->x - 2, o->y - 2, o->width + 4, o->height + 4);
}

void OB_drawObjectInFocus(int direct)
{
    if (OB_IsSelectable(ActualFocus)) OB_drawSelection(direct, ActualFocus);
}

void OB_checkObjectsSize()
{
    if (!stringicmp(VM_getLoadingFileName(), VM_getMsgBoxFileName())) return;
    int width, height, screenWidth, screenHeight;
    G_GetSize(&width, &height);
    G_GetResolution(&screenWidth, &screenHeight);
    double sx = width > screenWidth ? static_cast<double>(screenWidth) / width : 1.0;
    double sy = height > screenHeight ? static_cast<double>(screenHeight) / height : 1.0;
    if (sx == 1.0 && sy == 1.0) return;
    for (int id = 0; id < LastObject; id++) {
        OB_Object *o = Objects[id];
        if (!o) continue;
        o->x = static_cast<int16_t>(o->x * sx);
        o->width = static_cast<int16_t>(o->width * sx);
        o->y = static_cast<int16_t>(o->y * sy);
        o->height = static_cast<int16_t>(o->height * sy);
    }
    G_SetSize(screenWidth, screenHeight);
}

void OB_MoveObjectsToBack(int first, int start, int count)
{
    if (start <= first || first < 0 || count < 0 || start + count > LastObject) return;
    // The block [start, start + count) comes to first, the ones between after it.
    std::rotate(Objects + first, Objects + start, Objects + start + count);
    for (int id = 0; id < LastObject; id++)
        if (Objects[id]) Objects[id]->id = static_cast<int16_t>(id);
}

void OB_CRITICAL_ENTER_LOADING_TEQ() {}
void OB_CRITICAL_EXIT_LOADING_TEQ() {}
int OB_IsCritical() { return 0; }
