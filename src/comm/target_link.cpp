// Target link. Until the protocol drivers exist, files are local only (RAM disk,
// then disk), no process value is available and every request to the target
// fails.
#include "comm/target_link.h"

#include "data/process_points.h"
#include "runtime/ramdisk.h"

int remoteServiceId = 1;

int Tarsel_fileOpen(const char *name, const char *mode)
{
    if (!name || name[0] == '\0' || !mode) return -1;
    return RA_fileOpen(name, mode[0] == 'w' ? "w" : "r");
}

int Tarsel_fileGetc(int handle) { return RA_fileGetc(handle); }
int Tarsel_filePutc(int character, int handle) { return RA_filePutc(character, handle); }
int Tarsel_fileRead(void *buffer, int size, int count, int handle) { return RA_fileRead(buffer, size, count, handle); }
int Tarsel_fileSize(int handle) { return RA_fileSize(handle); }
void Tarsel_fileClose(int handle) { RA_fileClose(handle); }
int Tarsel_loadFileTo(const char *, const char *) { return 0; }

int Tarsel_readVal(const char *, char *dst, int size)
{
    if (dst && size > 0) dst[0] = '\0';
    return 0;
}

char *Tarsel_readValPtr(const char *) { return nullptr; }
int Tarsel_writeVal(const char *, const char *, int) { return 0; }
void Tarsel_setServiceId(const char *) {}

// Without a text-conversion table the name needs no conversion; a point that
// is read cyclically goes on the read list.
int Tarsel_addPPO(const char *name, int convertOnly)
{
    if (convertOnly) return 0;
    return PPO_addToList(name, nullptr);
}

int Tarsel_cgiCall(const char *, int) { return 0; }

int SRVR_OrderValue(const char *, const char *, char *reply, int size, PpoList *)
{
    if (reply && size > 0) reply[0] = '\0';
    return 0;
}

int SRVR_ReadFile(const char *, const char *, char *, int, PpoList *) { return 0; }
int SRVR_ILR_readValues(const char *, PpoList *) { return 0; }
