// Target link: the single entry to the target for the rest of the panel.
// Values, the cyclic refresh, CGI calls, and files that may live on the target
// or locally (RAM disk first, then disk under the current page directory).
#pragma once
#include <cstddef>

struct PpoList;

// Which protocol driver serves the target: 1 native CGI, 3 OPC XML-DA, 5 WAGO,
// 7 S7, 8 TBox, 10 ILR.
extern int remoteServiceId;

int Tarsel_fileOpen(const char *name, const char *mode);
int Tarsel_fileGetc(int handle);
int Tarsel_filePutc(int character, int handle);
int Tarsel_fileRead(void *buffer, int size, int count, int handle);
int Tarsel_fileSize(int handle);
void Tarsel_fileClose(int handle);
// Fetches a file from the target into the RAM disk: 0 on success.
int Tarsel_loadFileTo(const char *destination, const char *fileName);

int Tarsel_readVal(const char *name, char *dst, int size);
char *Tarsel_readValPtr(const char *name);
int Tarsel_writeVal(const char *name, const char *value, int size);
int Tarsel_addPPO(const char *name, int convertOnly);

// Selects the driver from the applet class name after "IViewer".
void Tarsel_setServiceId(const char *targetName);
// Fires a CGI request at the target; always 0.
int Tarsel_cgiCall(const char *text, int size);

// Driver dispatch for the update of the read list: 1 on success, 0 on failure.
int SRVR_OrderValue(const char *host, const char *orderString, char *reply, int size, PpoList *list);
int SRVR_ReadFile(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
int SRVR_ILR_readValues(const char *host, PpoList *list);
