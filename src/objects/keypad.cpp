// Keypad. Owns the keypad edit buffer, its cursor, the destination of the
// edit, the shift state, how the keypad page was closed and the Enter
// message. Opens and closes the keypad pages through the view manager,
// writes through the value sources, moves the focus through the object table
// and posts keys into the key queue.
#include "objects/keypad.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "data/containers.h"
#include "data/process_points.h"
#include "input/key_queue.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/object_table.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

char g_keypad[TF_KEYPAD_SIZE];
int keypadFocus;
int isKeyPadShiftActive;

namespace {

constexpr int kTextFieldClass = 101;

int keypadCursorPos;
char keyPadDestinationName[TF_DEST_NAME_SIZE];
int keyPadDestinationType;
char enterHitMsg[TF_ENTER_MSG_SIZE];

int length() { return static_cast<int>(std::strlen(g_keypad)); }

void moveCursor(int step)
{
    keypadCursorPos += step;
    if (keypadCursorPos < 0) keypadCursorPos = 0;
    if (keypadCursorPos > TF_KEYPAD_SIZE - 1) keypadCursorPos = TF_KEYPAD_SIZE - 1;
}

int toInt(const char *value)
{
    int number = 0;
    return str_parseInt(value, &number) ? number : 0;
}

void removeAt(int index)
{
    int n = length();
    if (index < 0 || index >= n) return;
    std::memmove(g_keypad + index, g_keypad + index + 1, static_cast<size_t>(n - index));
}

void togglePlusMinus()
{
    if (g_keypad[0] == '-') {
        removeAt(0);
        moveCursor(-1);
    } else if (length() < TF_KEYPAD_SIZE - 1) {
        std::memmove(g_keypad + 1, g_keypad, static_cast<size_t>(length()) + 1);
        g_keypad[0] = '-';
        moveCursor(1);
    }
}

// The character before the cursor; a cursor beyond the text counts as at
// its end.
void backspaceAtCursor()
{
    int n = length();
    if (n == 0 || keypadCursorPos < 1) return;
    int at = (keypadCursorPos < n ? keypadCursorPos : n) - 1;
    removeAt(at);
    keypadCursorPos = at;
}

void appendKey(const char *value)
{
    int n = length();
    if (!value[0] || n >= TF_KEYPAD_MAX_KEYS) return;
    unsigned char c = static_cast<unsigned char>(value[0]);
    g_keypad[n] = static_cast<char>(isKeyPadShiftActive ? std::tolower(c) : std::toupper(c));
    g_keypad[n + 1] = '\0';
}

void keyEvent(const char *value)
{
    if (stringcmp(value, "plusminus")) {
        togglePlusMinus();
    } else if (stringcmp(value, "bkspace")) {
        if (length() == 0) return;
        removeAt(length() - 1);
        moveCursor(-1);
    } else if (stringcmp(value, "BS")) {
        backspaceAtCursor();
    } else if (stringcmp(value, "CE")) {
        g_keypad[0] = '\0';
    } else {
        appendKey(value);
    }
}

// "0" cancels, "-1" accepts (the buffer is written to the destination), an
// empty value only closes; any other value names the keypad page to switch
// to, keeping the buffer.
void closeKeypad(const char *value)
{
    if (value[0] && !stringcmp(value, "0") && !stringcmp(value, "-1")) {
        VM_setKeyPadView(value);
        return;
    }
    if (stringcmp(value, "0")) keypadFocus = TF_KEYPAD_CANCELLED;
    if (stringcmp(value, "-1")) {
        TF_SetValueFromKeyPad(g_keypad);
        keypadFocus = TF_KEYPAD_ACCEPTED;
    }
    g_keypad[0] = '\0';
    VM_closeKeyPadView();
}

int writeNumber(const char *name, const char *value)
{
    if (stringcmp(name, "_KEYPOS")) {
        keypadCursorPos = 0;
        moveCursor(toInt(value));
    } else if (stringcmp(name, "_KEYPAD_DEST_TYPE")) {
        keyPadDestinationType = toInt(value);
    } else if (stringcmp(name, "_KEYPAD_SHIFT")) {
        isKeyPadShiftActive = toInt(value);
    } else {
        return 0;
    }
    return 1;
}

// The text field that opened the keypad, when it is still one.
int editedField()
{
    char text[CO_VALUE_SIZE];
    int id = -1;
    if (!HT_readContainer("_KEYPAD_TF_FOCUS", text) || !text[0] || !str_parseInt(text, &id)) return -1;
    return OB_SendMessage(id, OB_MSG_CLASS_ID, 0, nullptr) == kTextFieldClass ? id : -1;
}

} // namespace

int keyPadReadVal(const char *name, char *dst)
{
    if (!name || !dst) return 0;
    if (stringcmp(name, "_KEYPAD")) safe_strncpy(dst, g_keypad, CO_VALUE_SIZE);
    else if (stringcmp(name, "_KEYPOS")) std::snprintf(dst, CO_VALUE_SIZE, "%d", keypadCursorPos);
    else if (stringcmp(name, "_KEYPAD_DEST_NAME")) safe_strncpy(dst, keyPadDestinationName, CO_VALUE_SIZE);
    else if (stringcmp(name, "_KEYPAD_DEST_TYPE")) std::snprintf(dst, CO_VALUE_SIZE, "%d", keyPadDestinationType);
    else if (stringcmp(name, "_KEYPAD_SHIFT")) std::snprintf(dst, CO_VALUE_SIZE, "%d", isKeyPadShiftActive);
    else return 0;
    return 1;
}

int keyPadWriteVal(const char *name, const char *value)
{
    if (!name) return 0;
    if (!value) value = "";
    if (stringcmp(name, "_KEYPAD")) {
        safe_strncpy(g_keypad, value, sizeof g_keypad);
        scheduleRedraw();
    } else if (stringcmp(name, "_KEYPAD_DEST_NAME")) {
        safe_strncpy(keyPadDestinationName, value, sizeof keyPadDestinationName);
    } else if (stringcmp(name, "_KEYPAD_OPEN")) {
        VM_setKeyPadView(value);
    } else if (stringcmp(name, "_KEYPADCLOSE")) {
        closeKeypad(value);
    } else if (stringcmp(name, "_KEYEVENT")) {
        keyEvent(value);
        scheduleRedraw();
    } else {
        return writeNumber(name, value);
    }
    return 1;
}

void TF_setKeypadDestination(const char *name, int type)
{
    safe_strncpy(keyPadDestinationName, name ? name : "", sizeof keyPadDestinationName);
    keyPadDestinationType = type;
}

const char *TF_getKeypadDestinationName() { return keyPadDestinationName; }
int TF_getKeypadDestinationType() { return keyPadDestinationType; }

int TF_SetValueFromKeyPad(const char *text)
{
    if (!text) text = "";
    if (pterm.debug_level >= 2) {
        char line[2 * TF_KEYPAD_SIZE + TF_DEST_NAME_SIZE + 64];
        std::snprintf(line, sizeof line, "TF Write: \"%s\" to: %s(\"%s\") \n", text, getRMAText(keyPadDestinationType),
                      keyPadDestinationName);
        log_append(0, "%s", line);
    }
    return RW_writeSource(text, keyPadDestinationName, keyPadDestinationType);
}

void TF_setEnterMessage(const char *name) { safe_strncpy(enterHitMsg, name ? name : "", sizeof enterHitMsg); }
const char *TF_getEnterMessage() { return enterHitMsg; }

void TF_SendMessageOnEnterHit()
{
    if (!enterHitMsg[0]) return;
    SetKeyEvent(KEY_STATE_PRESSED, enterHitMsg);
    SetKeyEvent(KEY_STATE_RELEASED, enterHitMsg);
    enterHitMsg[0] = '\0';
}

void TF_ResetMessageOnEnterHit() { enterHitMsg[0] = '\0'; }

void CO_setFocusOnEditFieldAfterKeypadClosed()
{
    if (keypadFocus == TF_KEYPAD_NOT_CLOSED) return;
    int field = pterm.show_selection ? editedField() : -1;
    if (field >= 0) {
        OB_SendMessage(OB_getActualFocus(), OB_MSG_FOCUS_LOST, 0, nullptr);
        OB_setActualFocus(field);
        OB_SendMessage(field, OB_MSG_FOCUS_GAINED, 0, nullptr);
        if (keypadFocus == TF_KEYPAD_ACCEPTED) OB_SendMessage(OB_getActualFocus(), OB_MSG_END_EDIT, 0, nullptr);
    }
    if (keypadFocus == TF_KEYPAD_ACCEPTED) TF_SendMessageOnEnterHit();
    else TF_ResetMessageOnEnterHit();
    keypadFocus = TF_KEYPAD_NOT_CLOSED;
}

void TF_resetKeypadState()
{
    keypadFocus = TF_KEYPAD_NOT_CLOSED;
    isKeyPadShiftActive = 0;
    TF_ResetMessageOnEnterHit();
}

void TF_reset()
{
    TF_resetKeypadState();
    g_keypad[0] = '\0';
    keypadCursorPos = 0;
    keyPadDestinationName[0] = '\0';
    keyPadDestinationType = 0;
}
