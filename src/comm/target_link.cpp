// Process values through the target link, until the process-point cache exists.
#include "comm/target_link.h"

int Tarsel_readVal(const char *, char *dst, int size)
{
    if (dst && size > 0) dst[0] = '\0';
    return 0;
}

char *Tarsel_readValPtr(const char *) { return nullptr; }
int Tarsel_writeVal(const char *, const char *, int) { return 0; }
int Tarsel_addPPO(const char *, int) { return 0; }
