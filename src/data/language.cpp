// Language table. Not built yet: no table can be loaded, so every look-up
// falls through to the page parameters.
#include "data/language.h"

int LR_parseCsvFile(const char *) { return -1; }
const char *LR_readValuePtr(const char *) { return nullptr; }
void LR_reset() {}
