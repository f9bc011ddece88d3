// File viewers. Not built yet: there is no viewer whose items could be removed.
#include "objects/file_viewer.h"

int FV_removeItemAt(const char *, int) { return 0; }
