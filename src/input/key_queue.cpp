// Key queue and key translation. The queue is shared state guarded by a lock;
// a full queue drops new keys and says so once in the log until it has room
// again. Releases are queued beside the keystrokes without taking their room.
#include "input/key_queue.h"

#include <cstring>
#include <mutex>

#include "nanox/nano-X.h"
#include "runtime/command_age.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

struct KeyEvent {
    signed char character;
    char name[KEY_NAME_SIZE];
    uint32_t state;
    int64_t madeMs; // when the operator gave the key
};

// Each keystroke may bring its release: the ring has room for both, and
// only keystrokes count against the 32 of the queue.
constexpr int kRingSize = 2 * KEY_QUEUE_SIZE;

std::mutex queueLock;
KeyEvent entries[kRingSize];
int count, keystrokes, writeIndex, readIndex;
char takenName[KEY_NAME_SIZE];
uint32_t activeModifiers;
bool droppingReported;
KeyEvent droppedKey; // the last keystroke dropped: its release goes too

bool isKeystroke(uint32_t state) { return (state & KEY_STATE_PRESSED) != 0; }

bool sameKey(const KeyEvent &e, signed char character, const char *name)
{
    return e.character == character && std::strncmp(e.name, name, sizeof e.name - 1) == 0;
}

// A keystroke beyond the 32 is dropped (said once per burst), and so is the
// release of a dropped keystroke.
bool mustDrop(uint32_t state, signed char character, const char *name)
{
    if (!isKeystroke(state)) {
        if (!sameKey(droppedKey, character, name) && count < kRingSize) return false;
        droppedKey = {};
        return true;
    }
    if (keystrokes < KEY_QUEUE_SIZE && count < kRingSize) return false;
    if (!droppingReported)
        log_append(0, "Key queue full: key \"%s\" and the following ones dropped !\n", name[0] ? name : "(character)");
    droppingReported = true;
    droppedKey.character = character;
    safe_strncpy(droppedKey.name, name, sizeof droppedKey.name);
    return true;
}

struct FunctionKey {
    uint32_t code;
    const char *name;
};

const FunctionKey kFunctionKeys[] = {
    {NX_KEY_LWIN, "LWIN"},      {NX_KEY_RWIN, "RWIN"},       {MWKEY_LEFT, "LEFT"},     {MWKEY_RIGHT, "RIGHT"},
    {MWKEY_UP, "UP"},           {MWKEY_DOWN, "DOWN"},        {MWKEY_INSERT, "INSERT"}, {MWKEY_DELETE, "DELETE"},
    {MWKEY_HOME, "HOME"},       {MWKEY_END, "END"},          {MWKEY_PAGEUP, "PG_UP"},  {MWKEY_PAGEDOWN, "PG_DOWN"},
    {MWKEY_F1, "FKEY_1"},       {MWKEY_F2, "FKEY_2"},        {MWKEY_F3, "FKEY_3"},     {MWKEY_F4, "FKEY_4"},
    {MWKEY_F5, "FKEY_5"},       {MWKEY_F6, "FKEY_6"},        {MWKEY_F7, "FKEY_7"},     {MWKEY_F8, "FKEY_8"},
    {MWKEY_F9, "FKEY_9"},       {MWKEY_F10, "FKEY_10"},      {MWKEY_F11, "FKEY_11"},   {MWKEY_F12, "FKEY_12"},
    {MWKEY_NUMLOCK, "NUMLOCK"}, {MWKEY_CAPSLOCK, "CAPITAL"}, {MWKEY_PRINT, "PRINT"},   {MWKEY_SYSREQ, "SYSREQ"},
    {MWKEY_PAUSE, "PAUSE"},     {MWKEY_BREAK, "BREAK"},
};

} // namespace

int SetPressedFKey(uint32_t state, signed char character, const char *name)
{
    std::lock_guard<std::mutex> hold(queueLock);
    if (!name) name = "";
    if (mustDrop(state, character, name)) return -1;
    if (isKeystroke(state)) {
        droppingReported = false;
        droppedKey = {};
        keystrokes++;
    }
    KeyEvent &e = entries[writeIndex];
    e.character = character;
    safe_strncpy(e.name, name, sizeof e.name);
    e.state = state;
    e.madeMs = CMD_madeMs();
    writeIndex = (writeIndex + 1) % kRingSize;
    count++;
    return 0;
}

int SetPressedKey(uint32_t state, signed char character) { return SetPressedFKey(state, character, ""); }
int SetKeyEvent(uint32_t state, const char *name) { return SetPressedFKey(state, 0, name); }

int GetPressedKey(signed char *character, const char **name, uint32_t *state, int64_t *madeMs)
{
    std::lock_guard<std::mutex> hold(queueLock);
    if (count == 0) return 0;
    const KeyEvent &e = entries[readIndex];
    safe_strncpy(takenName, e.character == 0 ? e.name : "", sizeof takenName);
    if (character) *character = e.character;
    if (name) *name = takenName;
    if (state) *state = e.state;
    if (madeMs) *madeMs = e.madeMs;
    if (isKeystroke(e.state)) keystrokes--;
    readIndex = (readIndex + 1) % kRingSize;
    count--;
    return 1;
}

void ResetKeyQueue()
{
    std::lock_guard<std::mutex> hold(queueLock);
    count = keystrokes = writeIndex = readIndex = 0;
    std::memset(entries, 0, sizeof entries);
    droppedKey = {};
    droppingReported = false;
    takenName[0] = '\0';
    activeModifiers = 0;
}

void MH_clearKeyEvents() { ResetKeyQueue(); }

int IsKeyQueueEmpty()
{
    std::lock_guard<std::mutex> hold(queueLock);
    return count == 0;
}

const char *KB_isFunctionKey(uint32_t code)
{
    if (code >= MWKEY_APP1 && code <= MWKEY_APP4) return "APPS";
    for (const FunctionKey &k : kFunctionKeys)
        if (k.code == code) return k.name;
    return nullptr;
}

int VIEW_setFunctionKey(uint32_t state, const char *name)
{
    char full[64];
    full[0] = '\0';
    if (activeModifiers & MWKMOD_SHIFT) std::strcat(full, "SHIFT-");
    if (activeModifiers & MWKMOD_CTRL) std::strcat(full, "CTRL-");
    if (activeModifiers & MWKMOD_ALT) std::strcat(full, "ALT-");
    size_t used = std::strlen(full);
    safe_strncpy(full + used, name ? name : "", sizeof full - used);
    return SetKeyEvent(state, full);
}

void KB_queueKey(uint32_t key, uint32_t modifiers, uint32_t state)
{
    activeModifiers = modifiers;
    if ((key & MWKEY_NONASCII_MASK) == 0) {
        if (key == MWKEY_ENTER) VIEW_setFunctionKey(state, "ENTER");
        else if (key == MWKEY_ESCAPE) VIEW_setFunctionKey(state, "ESC");
        else if (key == MWKEY_TAB) VIEW_setFunctionKey(state, "TAB");
        else SetPressedKey(state, static_cast<signed char>(key & 0xFF));
    } else if (const char *name = KB_isFunctionKey(key)) {
        VIEW_setFunctionKey(state, name);
    }
    activeModifiers = 0;
}

void KB_queueKeyPress(uint32_t key, uint32_t modifiers) { KB_queueKey(key, modifiers, KEY_STATE_PRESSED); }
void KB_queueKeyRelease(uint32_t key, uint32_t modifiers) { KB_queueKey(key, modifiers, KEY_STATE_RELEASED); }
