// Key bindings. Owns the binding table; asks the objects for their key names
// through the object table, runs the built-in key functions through the
// pointer and focus handling and the focus navigation.
#include "input/key_bindings.h"

#include <cstdint>

#include "input/input_events.h"
#include "input/navigation.h"
#include "runtime/str_util.h"
#include "view/object_table.h"

namespace {

constexpr int kBindings = 8;
constexpr int kImageButtonClass = 102;
constexpr int kDropDownListClass = 104;
constexpr int kEscapeCharacter = 27;

struct Binding {
    const char *name;
    int16_t object;
    uint16_t message;
    void (*fallback)(int position);
};

void navigateKey(int position);
void enterKey(int position);
void escapeKey(int position);
void nextObjectKey(int position);

const Binding kStart[kBindings] = {
    {"UP", -1, OB_MSG_FOCUS_NEXT, navigateKey},    {"DOWN", -1, OB_MSG_FOCUS_NEXT, navigateKey},
    {"LEFT", -1, OB_MSG_FOCUS_NEXT, navigateKey},  {"RIGHT", -1, OB_MSG_FOCUS_NEXT, navigateKey},
    {"ENTER", -1, OB_MSG_ENTER, enterKey},         {"ESC", -1, OB_MSG_END_EDIT, escapeKey},
    {"TAB", -1, OB_MSG_FOCUS_NEXT, nextObjectKey}, {"SHIFT-TAB", -1, OB_MSG_FOCUS_PREVIOUS, nextObjectKey},
};

const int kDirections[4] = {NAV_UP, NAV_DOWN, NAV_LEFT, NAV_RIGHT};

Binding externalMessage[kBindings] = {kStart[0], kStart[1], kStart[2], kStart[3],
                                      kStart[4], kStart[5], kStart[6], kStart[7]};

int findBinding(const char *name)
{
    for (int i = 0; i < kBindings; i++)
        if (stringcmp(name, externalMessage[i].name)) return i;
    return -1;
}

int send(int id, int message, int a = 0, void *b = nullptr) { return OB_SendMessage(id, message, a, b); }

bool ownsKey(int id, int character, const char *name)
{
    return send(id, OB_MSG_SELECTABLE, 1) == 1 && send(id, OB_MSG_KEY_NAME, character, const_cast<char *>(name)) != 0;
}

// The top-most selectable object that names the key as its own takes it: the
// focused object loses the focus and the owner is touched in its middle.
bool deliverToOwner(const char *name, int character)
{
    for (int id = OB_HowManyObjetcs() - 1; id >= 0; id--) {
        if (!ownsKey(id, character, name)) continue;
        send(OB_getActualFocus(), OB_MSG_FOCUS_LOST);
        MH_keyTouch(id, name);
        return true;
    }
    return false;
}

void navigateKey(int position)
{
    if (MH_isKeyDown()) NAV_navigate(kDirections[position]);
}

void nextObjectKey(int position)
{
    if (!MH_isKeyDown()) return;
    int focus = OB_getActualFocus();
    send(focus, OB_MSG_FOCUS_LOST);
    send(focus, OB_MSG_DRAW);
    if (externalMessage[position].message == OB_MSG_FOCUS_PREVIOUS) OB_setPreviousObjectInFocus();
    else OB_setNextObjectInFocus();
}

void enterKey(int)
{
    int focus = OB_getActualFocus();
    if (OB_Get_Pointer(focus) && MH_isKeyDown()) {
        int kind = send(focus, OB_MSG_CLASS_ID);
        if (kind == kImageButtonClass || kind == kDropDownListClass) {
            MH_clickObject(focus);
        } else {
            int saved = 0;
            send(focus, OB_MSG_ENTER, 0, &saved);
            if (saved) send(focus, OB_MSG_END_EDIT);
        }
    }
    deliverToOwner("ENTER", kEscapeCharacter);
}

void escapeKey(int)
{
    int focus = OB_getActualFocus();
    if (OB_Get_Pointer(focus) && MH_isKeyDown()) send(focus, OB_MSG_END_EDIT);
    deliverToOwner("ESC", kEscapeCharacter);
}

} // namespace

void MH_messageHandler(const char *name, int character)
{
    if (!name) return;
    MH_setKeyOrigin(1);
    if (!deliverToOwner(name, character)) {
        int position = findBinding(name);
        if (position >= 0) {
            const Binding &b = externalMessage[position];
            if (send(b.object, b.message, character) < 0 && b.fallback) b.fallback(position);
        }
    }
    MH_setKeyOrigin(0);
}

int MH_setCallBackOnMessage(const char *name, int message, int object, int *oldMessage, int *oldObject)
{
    int position = findBinding(name);
    if (position < 0) return 0;
    Binding &b = externalMessage[position];
    if (oldMessage) *oldMessage = b.message;
    if (oldObject) *oldObject = b.object;
    b.message = static_cast<uint16_t>(message);
    b.object = static_cast<int16_t>(object);
    return 1;
}

int MH_resetCallBackMessage(const char *name, int message, int object)
{
    return MH_setCallBackOnMessage(name, message, object, nullptr, nullptr);
}

int MH_releaseBinding(const char *name, int object)
{
    int position = findBinding(name);
    if (position < 0 || externalMessage[position].object != object) return 0;
    externalMessage[position] = kStart[position];
    return 1;
}

void MH_resetBindings()
{
    for (int i = 0; i < kBindings; i++) externalMessage[i] = kStart[i];
}
