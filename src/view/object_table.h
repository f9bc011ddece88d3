// Object table: the objects of the page on screen, indexed by id, with their
// common record, the message entry, focus order, the modal modes, hit testing
// and the focus frame. Records live in heap1. Draws the focus frame and the
// marks of objects that do not fit through the graphics layer; reads the
// show_selection setting.
#pragma once
#include <cstdint>

#define OB_MAX_OBJECTS 1000

// Status bits of an object record.
#define OB_STATUS_FILL 1
#define OB_STATUS_BORDER 2
#define OB_STATUS_STATIC_TEXT 8

// Object messages.
enum : int {
    OB_MSG_DRAW = 200,
    OB_MSG_ACCEPT = 201,
    OB_MSG_FOCUS_LOST = 202,
    OB_MSG_DELETE = 203,
    OB_MSG_ACCEPT_204 = 204,
    OB_MSG_FOCUS_GAINED = 205,
    OB_MSG_FOCUS_NEXT = 206,
    OB_MSG_FOCUS_PREVIOUS = 207,
    OB_MSG_FOCUS_ORDER = 208,
    OB_MSG_ENTER = 209,
    OB_MSG_ACCEPT_214 = 214,
    OB_MSG_KEY = 215,
    OB_MSG_POINTER_DOWN = 216,
    OB_MSG_POINTER_UP = 217,
    OB_MSG_REFRESH = 218,
    OB_MSG_PAGE_ENTERED = 219,
    OB_MSG_PAGE_LEFT = 220,
    OB_MSG_SELECTABLE = 223,
    OB_MSG_KEY_NAME = 224,
    OB_MSG_CLASS_ID = 225,
    OB_MSG_END_EDIT = 255,
};

// Kind codes.
enum : int16_t {
    OB_KIND_DEFAULT = -1,
    OB_KIND_RECTANGLE = 1,
    OB_KIND_OVAL = 2,
    OB_KIND_TEXT = 4,
    OB_KIND_OWN_HANDLERS = 5,
    OB_KIND_POLYGON = 6,
    OB_KIND_LINE = 7,
};

struct FO_FontRecord;

// A notify function: (id, message, a, b) -> result.
typedef int32_t (*OB_NotifyFunction)(int id, int message, int a, void *b);

// The common head of every object record; each kind's record starts with it.
struct OB_Object {
    int16_t kind;
    uint8_t focus;
    int16_t x, y, width, height;
    int16_t id;
    OB_NotifyFunction Notify;
    uint32_t fillColor;
    uint32_t lineColor;
    FO_FontRecord *font;
    uint8_t plcId;
    uint8_t status;
    uint8_t lineStyle; // 0 solid, 1 long dashes, 2 short dashes
    uint8_t lineWidth;
};

struct OB_Point {
    int16_t x, y;
};

void OB_SetStatusBit(OB_Object *object, int mask, int on);
int OB_GetStatusBit(const OB_Object *object, int mask);

OB_Object *OB_LoadObj(uint32_t size, int16_t *id);
void copyProperies(OB_Object *object, const OB_Object *defaults);
OB_Object *newDefaultObject();
OB_Object *OB_Get_Pointer(int id);
void OB_Delete_Object(int id);
void OB_restoreMemFromDeletedObject(int id);
void OB_DeleteAllObjetcs();
// Empties the table without sending any message (the records may already be
// gone with heap1): no object, no focus, no modal mode, counters cleared.
void OB_reset();
int OB_HowManyObjetcs();
void OB_setHowManyObjetcs(int count);
int OB_HowManyObjetcsInForegroundTeq();
void OB_setLayerCounts(int background, int foreground);
int OB_getOverflowCount();

int32_t OB_SendMessage(int id, int message, int a, void *b);
int32_t OB_SquareNotify(int id, int message, int a, void *b);
int OB_IsBackgroundObject();

int OB_getActualFocus();
void OB_setActualFocus(int id);
int OB_getActualModal();
void OB_setActualModal(int id);
void OB_resetModal();

int OB_isModalForegroundTeq();
void OB_setModalForegroundTeq(int on);
int OB_GetFirstObject();
int OB_isEnabled(int id);

// Gives the focus to the first (forward) or last object that can take it.
int OB_setFirstObjectInFocus(int forward);
void OB_setNextObjectInFocus();
void OB_setPreviousObjectInFocus();

void OB_doGainFocusEventAction();
void OB_doGainFocusEventActionFromPosition(int first);
void OB_doLostFocusEventAction();

void OB_setDownCoord(OB_Point point);
int OB_checkMouseDnCoordinates(const OB_Object *object, const OB_Point *point);
int OB_checkMouseUpCoordinates(const OB_Object *object, const OB_Point *point);
int OB_getSelectableObjectWithCoord(int px, int py);

int OB_IsDrawable(int id);
void OB_NotDrawable(int id);
int OB_IsSelectable(int id);

// The focus frame: with direct set straight onto the screen window.
void OB_drawSelection(int direct, int id);
void OB_drawObjectInFocus(int direct);

void OB_MoveObjectsToBack(int first, int start, int count);
void OB_checkObjectsSize();

void OB_CRITICAL_ENTER_LOADING_TEQ();
void OB_CRITICAL_EXIT_LOADING_TEQ();
int OB_IsCritical();
