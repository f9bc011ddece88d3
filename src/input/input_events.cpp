// Input events. Owns the pointer state (press coordinates, press owner,
// swallowed press), the key-origin flag, the state of the key being delivered
// and the object that a bound key holds pressed. Sends the pointer and focus
// messages through the object table, reads the key queue, writes the
// containers of operator activity and asks the view manager about pending
// page changes and the message box.
#include "input/input_events.h"

#include "data/containers.h"
#include "input/event_object.h"
#include "input/key_bindings.h"
#include "input/key_queue.h"
#include "input/navigation.h"
#include "runtime/command_age.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/damage.h"
#include "view/object_table.h"
#include "view/painter_loader.h"
#include "view/view_manager.h"

namespace {

constexpr int kBackspace = 8;

struct PointerState {
    OB_Point press; // (0, 0): no press pending
    int16_t owner;  // object that took the press, -1 none
    bool pending;   // a press was accepted and its release has not come
    bool skipped;   // the press was swallowed: so is its release
};

PointerState pointer = {{0, 0}, -1, false, false};
int keyOrigin;
uint32_t keyState;
// The object that a bound key pressed, and the key's name.
int16_t keyOwner = -1;
char keyOwnerName[KEY_NAME_SIZE];
bool draining;

int send(int id, int message, int a = 0, void *b = nullptr) { return OB_SendMessage(id, message, a, b); }

bool insideWarningButton(int x, int y)
{
    const ExtObjectSpec &w = pterm.warn_btn;
    return x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height;
}

// Release and the press that no longer counts: coordinates cleared, and the
// object table's press point moved off the page, so that a later release
// without a press finds no object that it was pressed in.
void endPress()
{
    pointer.press = {0, 0};
    pointer.pending = false;
    OB_setDownCoord({-1, -1});
}

void releaseModal(int modal)
{
    send(modal, OB_MSG_END_EDIT);
    if (OB_getActualModal() == modal) OB_resetModal();
}

void refreshFocus()
{
    int focus = OB_getActualFocus();
    if (!OB_Get_Pointer(focus)) return;
    send(focus, OB_MSG_FOCUS_LOST);
    OB_setActualFocus(focus);
    send(focus, OB_MSG_FOCUS_GAINED);
}

// Pending messages and a press on the warning button: the message box opens.
bool openMessageBox(int x, int y)
{
    if (getNumberOfMessagePending() <= 0 || !insideWarningButton(x, y)) return false;
    clearMessageNr();
    return VM_setMsgBoxView() != 0;
}

// Offers message to the objects from the top-most down to the first enabled
// one; the first that takes it answers its index, -1 when none does.
int offerFromTop(int message, OB_Point *point)
{
    for (int id = OB_HowManyObjetcs() - 1; id >= OB_GetFirstObject(); id--)
        if (send(id, message, keyOrigin, point) >= 0) return id;
    return -1;
}

void touchMiddle(int id, uint32_t state)
{
    const OB_Object *o = OB_Get_Pointer(id);
    if (!o) return;
    int x = o->x + o->width / 2, y = o->y + o->height / 2;
    if (state & KEY_STATE_PRESSED) MH_mouseDown(x, y);
    if (state & KEY_STATE_RELEASED) MH_mouseUp(x, y);
}

// A release reaches only the object that the same key pressed.
void releaseKey(const char *name)
{
    if (keyOwner < 0 || !stringcmp(name, keyOwnerName)) return;
    int id = keyOwner;
    keyOwner = -1;
    keyOrigin = 1;
    touchMiddle(id, KEY_STATE_RELEASED);
    keyOrigin = 0;
}

void deliverCharacter(signed char character)
{
    int focus = OB_getActualFocus();
    if (OB_Get_Pointer(focus) && send(focus, OB_MSG_KEY, character) != -1) return;
    if (character == kBackspace) {
        MH_messageHandler("BACKSPACE", kBackspace);
        return;
    }
    char text[2] = {static_cast<char>(character), '\0'};
    HT_writeContainer("@PT_FKEY_EVENT", text);
    MH_messageHandler(text, character);
}

void deliverKey(signed char character, const char *name, uint32_t state)
{
    MH_operatorActivity();
    keyState = state;
    char single[2] = {static_cast<char>(character), '\0'};
    if (state & KEY_STATE_RELEASED) {
        releaseKey(character == 0 ? name : character == kBackspace ? "BACKSPACE" : single);
    } else if (character == 0) {
        HT_writeContainer("@PT_FKEY_EVENT", name);
        MH_messageHandler(name, 0);
    } else {
        deliverCharacter(character);
    }
    keyState = 0;
}

} // namespace

void MH_operatorActivity()
{
    CO_ResetInactivityCounter();
    CO_activeBacklight();
}

void MH_selectObject(int index, int force)
{
    int old = OB_getActualFocus();
    if (index == old) return;
    if (index < 0) {
        MH_lostFocus();
        OB_setActualFocus(-1);
        return;
    }
    if (!OB_Get_Pointer(index) || (!force && !OB_IsSelectable(index))) return;
    if (OB_Get_Pointer(old)) {
        if (OB_IsSelectable(old)) OB_drawSelection(1, old);
        send(old, OB_MSG_FOCUS_LOST);
    }
    OB_setActualFocus(index);
    send(index, OB_MSG_FOCUS_GAINED);
    OB_drawSelection(1, index);
}

void MH_lostFocus() { send(OB_getActualFocus(), OB_MSG_FOCUS_LOST); }

int MH_mouseDown(int x, int y)
{
    MH_operatorActivity();
    pointer.owner = -1;
    if (OB_IsCritical() || VM_isPageRequestPending()) {
        pointer.skipped = true;
        endPress();
        return 0;
    }
    pointer.skipped = false;
    pointer.press = {static_cast<int16_t>(x), static_cast<int16_t>(y)};
    pointer.pending = true;
    OB_setDownCoord(pointer.press);
    int modal = OB_getActualModal();
    if (OB_Get_Pointer(modal)) {
        if (send(modal, OB_MSG_POINTER_DOWN, keyOrigin, &pointer.press) >= 0) {
            pointer.owner = static_cast<int16_t>(modal);
            MH_selectObject(modal, 0);
        } else {
            // A modal object that refuses a press (a list that became hidden)
            // is told to end and lets go of the page; the press and its
            // release reach no other object.
            releaseModal(modal);
            pointer.skipped = true;
            endPress();
        }
        return 1;
    }
    refreshFocus();
    if (openMessageBox(x, y)) {
        pointer.skipped = true;
        endPress();
        return 1;
    }
    OB_Point at = pointer.press;
    int owner = offerFromTop(OB_MSG_POINTER_DOWN, &at);
    if (owner < 0) return 0;
    pointer.owner = static_cast<int16_t>(owner);
    MH_selectObject(owner, 0);
    return 1;
}

int MH_mouseUp(int x, int y)
{
    MH_operatorActivity();
    if (pointer.skipped) {
        pointer.skipped = false;
        endPress();
        return 0;
    }
    int owner = pointer.owner;
    pointer.owner = -1;
    OB_Point at = OB_Get_Pointer(owner) ? pointer.press : OB_Point{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    int taken = -1;
    if (OB_Get_Pointer(owner) && send(owner, OB_MSG_POINTER_UP, keyOrigin, &at) >= 0) taken = owner;
    if (taken < 0) taken = offerFromTop(OB_MSG_POINTER_UP, &at);
    if (taken >= 0) MH_selectObject(taken, 0);
    endPress();
    return taken >= 0;
}

void MH_pointObjectWithCoord(int x, int y)
{
    PointerState held = pointer;
    MH_mouseDown(x, y);
    MH_mouseUp(x, y);
    pointer = held;
    if (pointer.pending) OB_setDownCoord(pointer.press);
}

void MH_selectObjectWithCoord(int x, int y)
{
    int id = OB_getSelectableObjectWithCoord(x, y);
    if (id >= 0) MH_selectObject(id, 0);
}

void MH_setKeyOrigin(int on) { keyOrigin = on != 0; }
int MH_isKeyDown() { return (keyState & KEY_STATE_PRESSED) != 0; }
int MH_isKeyUp() { return (keyState & KEY_STATE_RELEASED) != 0; }

void MH_keyTouch(int id, const char *name)
{
    if (keyState & KEY_STATE_PRESSED) {
        // A key whose release was lost (a full queue) lets its object go
        // without running its release actions.
        OB_Point off = {-1, -1};
        if (keyOwner >= 0) send(keyOwner, OB_MSG_POINTER_UP, 1, &off);
        keyOwner = static_cast<int16_t>(id);
        safe_strncpy(keyOwnerName, name ? name : "", sizeof keyOwnerName);
    }
    touchMiddle(id, keyState);
}

void MH_clickObject(int id) { touchMiddle(id, KEY_STATE_PRESSED | KEY_STATE_RELEASED); }

int MH_entry()
{
    if (draining) return 0;
    draining = true;
    int processed = 0;
    signed char character;
    const char *name;
    uint32_t state;
    int64_t made;
    while (GetPressedKey(&character, &name, &state, &made)) {
        char held[KEY_NAME_SIZE];
        safe_strncpy(held, name, sizeof held);
        int64_t outer = CMD_begin(made);
        deliverKey(character, held, state);
        CMD_end(outer);
        processed = 1;
    }
    draining = false;
    return processed;
}

void MH_clearInputState()
{
    MH_clearKeyEvents();
    MH_resetBindings();
    keyOwner = -1;
    pointer.owner = -1;
    if (pointer.pending) pointer.skipped = true;
    endPress();
}

void MH_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->clearNavigation = NAV_clearAll;
    h->selectObject = MH_selectObject;
    h->deliverKeys = MH_entry;
    h->clearKeys = MH_clearInputState;
    PA_setLoader("EventP", loadEvent);
    DM_setWriterTest(AC_actsWhenDrawn);
}
