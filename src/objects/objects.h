// Object kinds: the painters of a page that draw themselves through the
// graphics layer. Their loaders attach to the painter classes of the TEQ
// reader; the keypad, the warning button and the file viewers attach to the
// hooks of the layers below.
#pragma once

void OBJ_attachHooks();
