// Object table. Until pages are loaded there are no objects to focus.
#include "view/object_table.h"

int OB_setFirstObjectInFocus(int) { return -1; }
void OB_drawObjectInFocus(int) {}
int OB_getActualFocus() { return -1; }
int OB_HowManyObjetcs() { return 0; }
int OB_SendMessage(int, int, int, void *) { return -10; }
void OB_setModalForegroundTeq(int) {}
