// WAGO driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/wago_driver.h"

#include "comm/driver_table.h"
#include "runtime/log.h"

namespace {

const TargetDriver wagoDriver = {
    TARSEL_SERVICE_WAGO, "Wago", WG_loadHtmlParameters, WG_orderValues, WG_readValues, nullptr, WG_writeValue,
};

} // namespace

void WG_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "WAGO"); }
int WG_orderValues(const char *, const char *, char *, int, PpoList *) { return 0; }
int WG_readValues(const char *, const char *, char *, int, PpoList *) { return 0; }
int WG_writeValue(const char *, const char *, const char *, int) { return 0; }

const TargetDriver *WG_getDriver() { return &wagoDriver; }
