// Target link. Until the protocol drivers exist, files are local only (RAM disk,
// then disk) and no process value is available.
#include "comm/target_link.h"

#include "runtime/ramdisk.h"

int Tarsel_fileOpen(const char *name, const char *mode)
{
    if (!name || name[0] == '\0' || !mode) return -1;
    return RA_fileOpen(name, mode[0] == 'w' ? "w" : "r");
}

int Tarsel_fileGetc(int handle) { return RA_fileGetc(handle); }
int Tarsel_fileRead(void *buffer, int size, int count, int handle) { return RA_fileRead(buffer, size, count, handle); }
int Tarsel_fileSize(int handle) { return RA_fileSize(handle); }
void Tarsel_fileClose(int handle) { RA_fileClose(handle); }

int Tarsel_readVal(const char *, char *dst, int size)
{
    if (dst && size > 0) dst[0] = '\0';
    return 0;
}

char *Tarsel_readValPtr(const char *) { return nullptr; }
int Tarsel_writeVal(const char *, const char *, int) { return 0; }
int Tarsel_addPPO(const char *, int) { return 0; }

void Tarsel_setServiceId(const char *) {}
