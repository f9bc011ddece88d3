// Language table: page texts by name from a CSV table, switched at run time.
#pragma once
#include <cstddef>

// Loads the language table of a file (local or on the target): each line is
// split at its first ';', else tab, else ','; the text before it names the
// entry, everything after it is the value, unchanged. A full redraw follows.
// 0 on success; -1 when the file cannot be read (the table is then empty but
// loaded, and all texts come from the page parameters) or there is no memory.
int LR_parseCsvFile(const char *name);
// The value of the first entry named exactly name, or null (also while no table is loaded).
const char *LR_readValuePtr(const char *name);
// Copies that value into buffer (size bytes with the NUL): 1 when found, else 0.
int LR_readValue(const char *name, char *buffer, size_t size);
// Empties the table and the LR heap: no table loaded.
void LR_reset();
