// Key queue and key translation. The queue is shared state guarded by a lock;
// a full queue drops new keys and says so once in the log until it has room
// again.
#include "input/key_queue.h"

#include <cstring>
#include <mutex>

#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

constexpr uint32_t kModShift = 0x0003, kModCtrl = 0x00C0, kModAlt = 0x0300;

struct KeyEvent {
    signed char character;
    char name[KEY_NAME_SIZE];
    uint32_t state;
};

std::mutex queueLock;
KeyEvent entries[KEY_QUEUE_SIZE];
int count, writeIndex, readIndex;
char takenName[KEY_NAME_SIZE];
uint32_t activeModifiers;
bool droppingReported;

struct FunctionKey {
    uint32_t code;
    const char *name;
};

const FunctionKey kFunctionKeys[] = {
    {0x0400, "LWIN"},    {0x0800, "RWIN"},     {0xF800, "LEFT"},    {0xF801, "RIGHT"},   {0xF802, "UP"},
    {0xF803, "DOWN"},    {0xF804, "INSERT"},   {0xF805, "DELETE"},  {0xF806, "HOME"},    {0xF807, "END"},
    {0xF808, "PG_UP"},   {0xF809, "PG_DOWN"},  {0xF81B, "FKEY_1"},  {0xF81C, "FKEY_2"},  {0xF81D, "FKEY_3"},
    {0xF81E, "FKEY_4"},  {0xF81F, "FKEY_5"},   {0xF820, "FKEY_6"},  {0xF821, "FKEY_7"},  {0xF822, "FKEY_8"},
    {0xF823, "FKEY_9"},  {0xF824, "FKEY_10"},  {0xF825, "FKEY_11"}, {0xF827, "FKEY_12"}, {0xF828, "NUMLOCK"},
    {0xF829, "CAPITAL"}, {0xF834, "PRINT"},    {0xF835, "SYSREQ"},  {0xF836, "PAUSE"},   {0xF837, "BREAK"},
};

} // namespace

int SetPressedFKey(uint32_t state, signed char character, const char *name)
{
    std::lock_guard<std::mutex> hold(queueLock);
    if (count == KEY_QUEUE_SIZE) {
        if (!droppingReported)
            log_append(0, "Key queue full: key \"%s\" and the following ones dropped !\n",
                       name && name[0] ? name : "(character)");
        droppingReported = true;
        return -1;
    }
    droppingReported = false;
    KeyEvent &e = entries[writeIndex];
    e.character = character;
    safe_strncpy(e.name, name ? name : "", sizeof e.name);
    e.state = state;
    writeIndex = (writeIndex + 1) % KEY_QUEUE_SIZE;
    count++;
    return 0;
}

int SetPressedKey(uint32_t state, signed char character) { return SetPressedFKey(state, character, ""); }
int SetKeyEvent(uint32_t state, const char *name) { return SetPressedFKey(state, 0, name); }

int GetPressedKey(signed char *character, const char **name, uint32_t *state)
{
    std::lock_guard<std::mutex> hold(queueLock);
    if (count == 0) return 0;
    const KeyEvent &e = entries[readIndex];
    safe_strncpy(takenName, e.character == 0 ? e.name : "", sizeof takenName);
    if (character) *character = e.character;
    if (name) *name = takenName;
    if (state) *state = e.state;
    readIndex = (readIndex + 1) % KEY_QUEUE_SIZE;
    count--;
    return 1;
}

void ResetKeyQueue()
{
    std::lock_guard<std::mutex> hold(queueLock);
    count = writeIndex = readIndex = 0;
}

void MH_clearKeyEvents() { ResetKeyQueue(); }

int IsKeyQueueEmpty()
{
    std::lock_guard<std::mutex> hold(queueLock);
    return count == 0;
}

const char *KB_isFunctionKey(uint32_t code)
{
    if (code >= 0xF848 && code <= 0xF84B) return "APPS";
    for (const FunctionKey &k : kFunctionKeys)
        if (k.code == code) return k.name;
    return nullptr;
}

int VIEW_setFunctionKey(uint32_t state, const char *name)
{
    char full[64];
    full[0] = '\0';
    if (activeModifiers & kModShift) std::strcat(full, "SHIFT-");
    if (activeModifiers & kModCtrl) std::strcat(full, "CTRL-");
    if (activeModifiers & kModAlt) std::strcat(full, "ALT-");
    size_t used = std::strlen(full);
    safe_strncpy(full + used, name ? name : "", sizeof full - used);
    return SetKeyEvent(state, full);
}

void KB_queueKey(uint32_t key, uint32_t modifiers, uint32_t state)
{
    activeModifiers = modifiers;
    if ((key & 0xFF00) == 0) {
        if (key == 13) VIEW_setFunctionKey(state, "ENTER");
        else if (key == 27) VIEW_setFunctionKey(state, "ESC");
        else if (key == 9) VIEW_setFunctionKey(state, "TAB");
        else SetPressedKey(state, static_cast<signed char>(key & 0xFF));
    } else if (const char *name = KB_isFunctionKey(key)) {
        VIEW_setFunctionKey(state, name);
    }
    activeModifiers = 0;
}

void KB_queueKeyPress(uint32_t key, uint32_t modifiers) { KB_queueKey(key, modifiers, KEY_STATE_PRESSED); }
void KB_queueKeyRelease(uint32_t key, uint32_t modifiers) { KB_queueKey(key, modifiers, KEY_STATE_RELEASED); }
