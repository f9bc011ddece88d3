// Source-name grammar. Until containers and process points exist no reference
// can be resolved, and names are used as they stand.
#include "data/source_names.h"

const char *resolveInfoName(const char *name) { return name; }
const char *resolvePPO(const char *name) { return name; }
