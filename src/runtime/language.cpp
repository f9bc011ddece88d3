// Language table. No table is loaded yet, so every look-up falls through to
// the page parameters.
#include "runtime/language.h"

const char *LR_readValuePtr(const char *) { return nullptr; }
