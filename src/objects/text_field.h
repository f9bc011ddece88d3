// Text field and keypad: the keypad edit buffer and state, and the reserved
// keypad containers ("_KEY...").
#pragma once

extern char g_keypad[256];
extern int keypadFocus;         // how the keypad was closed: 0 not, 1 cancelled, 2 accepted
extern int isKeyPadShiftActive; // shift state of letter keys

// Keypad containers: 1 when the name is one of them (dst receives the value,
// 256 bytes), 0 to let the name be an ordinary container.
int keyPadReadVal(const char *name, char *dst);
int keyPadWriteVal(const char *name, const char *value);
// Clears the key name sent when an inline edit is confirmed with Enter.
void TF_ResetMessageOnEnterHit();
// Keypad buffer empty, not closed, shift off.
void TF_reset();
// After the keypad page closed: the focus goes back to the edited field.
void CO_setFocusOnEditFieldAfterKeypadClosed();
