// Target link: the single entry to the target for the rest of the panel.
// Values, the cyclic refresh, CGI calls, and files that may live on the target
// or locally (RAM disk first, then disk under the current page directory).
#pragma once
#include <cstddef>

int Tarsel_fileOpen(const char *name, const char *mode);
int Tarsel_fileGetc(int handle);
int Tarsel_fileRead(void *buffer, int size, int count, int handle);
int Tarsel_fileSize(int handle);
void Tarsel_fileClose(int handle);

int Tarsel_readVal(const char *name, char *dst, int size);
char *Tarsel_readValPtr(const char *name);
int Tarsel_writeVal(const char *name, const char *value, int size);
int Tarsel_addPPO(const char *name, int convertOnly);

// Selects the driver from the applet class name after "IViewer".
void Tarsel_setServiceId(const char *targetName);
