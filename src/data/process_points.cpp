// Value sources. Until the container store and the process-point cache exist,
// no source has a stored text.
#include "data/process_points.h"

void *RW_getSourcePtr(const char *, int) { return nullptr; }
const char *PPO_resolve(const char *name) { return name; }
