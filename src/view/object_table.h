// Object table: the objects of the page on screen, their focus and messages.
#pragma once

// Gives the focus to the first object that can take it.
int OB_setFirstObjectInFocus(int notify);
// Draws (or removes) the frame that marks the object in focus.
void OB_drawObjectInFocus(int erase);
// Index of the object holding the focus, -1 when none.
int OB_getActualFocus();
// Number of objects of the page.
int OB_HowManyObjetcs();
// Sends a message to an object: its answer, -10 when there is no such object.
int OB_SendMessage(int id, int message, int a, void *b);
// Switches the modal foreground mode on (non-zero) or off.
void OB_setModalForegroundTeq(int on);
