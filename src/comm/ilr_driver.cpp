// ILR read protocol. Not built yet: the page's choice of ILR is not taken up,
// so the native protocol stays in use, and a cyclic read reads nothing.
#include "comm/ilr_driver.h"

#include "comm/driver_table.h"
#include "comm/native_protocol.h"

namespace {

// ILR has no order step, and the update reads through readList instead.
int nothingToDo(const char *, const char *, char *, int, PpoList *) { return 1; }

const TargetDriver ilrDriver = {
    TARSEL_SERVICE_ILR, nullptr, nullptr, nothingToDo, nothingToDo, SRVR_ILR_readValues, SP_writeValue,
};

} // namespace

void ILR_loadHtmlParameters(const char *) {}
int ILR_readValues(const char *, PpoList *) { return 0; }
int SRVR_ILR_readValues(const char *host, PpoList *list) { return ILR_readValues(host, list); }

const TargetDriver *ILR_getDriver() { return &ilrDriver; }
