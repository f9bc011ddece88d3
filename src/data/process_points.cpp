// Value sources. Until the container store and the process-point cache exist,
// only constant texts (STRING) have a value: the name itself.
#include "data/process_points.h"

#include "runtime/str_util.h"

void *RW_getSourcePtr(const char *name, int type)
{
    return type == SourceType_STRING ? const_cast<char *>(name) : nullptr;
}

int RW_readSource(char *dst, const char *name, int type)
{
    if (!dst) return 0;
    dst[0] = '\0';
    if (type != SourceType_STRING || !name) return 0;
    safe_strncpy(dst, name, 256);
    return 1;
}
