// Keypad: the edit buffer of the pop-up keypad pages and its state (cursor,
// the value being edited, shift, how the keypad was closed), the reserved
// keypad containers ("_KEY...") through which the keypad pages' buttons talk
// to it, the writing of a confirmed value to its destination, and the key
// name sent when an edit is confirmed with Enter. Main thread only.
#pragma once

#define TF_KEYPAD_SIZE 256     // the edit buffer
#define TF_KEYPAD_MAX_KEYS 254 // characters "_KEYEVENT" appends at most
#define TF_DEST_NAME_SIZE 128
#define TF_ENTER_MSG_SIZE 32

// How the keypad page was closed (keypadFocus).
enum { TF_KEYPAD_NOT_CLOSED = 0, TF_KEYPAD_CANCELLED = 1, TF_KEYPAD_ACCEPTED = 2 };

extern char g_keypad[TF_KEYPAD_SIZE];
extern int keypadFocus;
extern int isKeyPadShiftActive;

// Keypad containers: 1 when the name is one of them (dst receives the value,
// 256 bytes), 0 to let the name be an ordinary container.
int keyPadReadVal(const char *name, char *dst);
// 1 when the name is a keypad container and the write took effect, 0 to let
// the name be an ordinary container.
int keyPadWriteVal(const char *name, const char *value);

// The value an edit writes to, and its source type.
void TF_setKeypadDestination(const char *name, int type);
const char *TF_getKeypadDestinationName();
int TF_getKeypadDestinationType();
// Writes text to the edit's destination (RW_writeSource); its result.
int TF_SetValueFromKeyPad(const char *text);

// The key name posted (pressed, then released) when an edit is confirmed
// with Enter; set from a field's "ENTER=NAME" key names.
void TF_setEnterMessage(const char *name);
const char *TF_getEnterMessage();
void TF_SendMessageOnEnterHit();
void TF_ResetMessageOnEnterHit();

// After the keypad page closed and the page is back: the focus goes back to
// the edited field, and the Enter message is sent (accepted) or dropped.
void CO_setFocusOnEditFieldAfterKeypadClosed();

// The containers were emptied for a new project: not closed, shift off, no
// Enter message.
void TF_resetKeypadState();
// Back to the state before start-up: buffer, cursor and destination empty,
// not closed, shift off, no Enter message.
void TF_reset();
