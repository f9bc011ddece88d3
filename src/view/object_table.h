// Object table: the objects of the page on screen, their focus and messages.
#pragma once

// Gives the focus to the first object that can take it.
int OB_setFirstObjectInFocus(int notify);
// Draws (or removes) the frame that marks the object in focus.
void OB_drawObjectInFocus(int erase);
