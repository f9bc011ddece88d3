// Text field and keypad. The keypad is not built yet: it claims no container
// and its buffer stays empty.
#include "objects/text_field.h"

char g_keypad[256];
int keypadFocus;
int isKeyPadShiftActive;

int keyPadReadVal(const char *, char *) { return 0; }
int keyPadWriteVal(const char *, const char *) { return 0; }
void TF_ResetMessageOnEnterHit() {}

void TF_reset()
{
    g_keypad[0] = '\0';
    keypadFocus = 0;
    isKeyPadShiftActive = 0;
}
void CO_setFocusOnEditFieldAfterKeypadClosed() {}
