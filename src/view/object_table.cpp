// Object table. Until pages are loaded there are no objects to focus.
#include "view/object_table.h"

int OB_setFirstObjectInFocus(int) { return -1; }
void OB_drawObjectInFocus(int) {}
