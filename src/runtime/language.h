// Language table: page texts by name from a CSV table, switched at run time.
#pragma once

// The value of the entry named exactly name, or null (also while no table is loaded).
const char *LR_readValuePtr(const char *name);
