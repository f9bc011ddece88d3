// ILR read protocol. Not built yet: the page's choice of ILR is not taken up,
// so the native protocol stays in use, and a cyclic read reads nothing.
#include "comm/ilr_driver.h"

void ILR_loadHtmlParameters(const char *) {}
int SRVR_ILR_readValues(const char *, PpoList *) { return 0; }
