// Object kinds: the painters of a page that draw themselves through the
// graphics layer. Their loaders attach to the painter classes of the TEQ
// reader; the keypad, the warning button and the file viewers attach to the
// hooks of the layers below.
#pragma once
#include <cstdint>

#include "view/object_table.h"

void OBJ_attachHooks();
// A new object record (PA_newObject) placed so that it may hold doubles also
// where heap1's words are smaller than a double.
OB_Object *OBJ_newObjectForDoubles(uint32_t size);
