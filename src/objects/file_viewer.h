// File viewer objects: a text shown as a scrollable table of rows.
#pragma once

// Removes the item at position from the file viewer that viewer names;
// 1 when an item was removed.
int FV_removeItemAt(const char *viewer, int position);
