// Pointer and key events: hit tests, focus changes and the key queue.
#pragma once

// Moves the focus to object index (unless forced, only to a selectable one).
void MH_selectObject(int index, int force);
