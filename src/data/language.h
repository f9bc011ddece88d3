// Language table: page texts by name from a CSV table, switched at run time.
#pragma once

// Loads the language table of a file: 0 on success, -1 when it cannot be read.
int LR_parseCsvFile(const char *name);
// The value of the entry named exactly name, or null (also while no table is loaded).
const char *LR_readValuePtr(const char *name);
// Empties the table: no table loaded.
void LR_reset();
