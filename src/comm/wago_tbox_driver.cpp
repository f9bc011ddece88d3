// WAGO and TBox drivers. Not built yet: a page for such a target is told that
// the service is unavailable, and no value is read or written.
#include "comm/wago_tbox_driver.h"

#include "runtime/log.h"

void WG_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "WAGO"); }
int WG_orderValues(const char *, const char *, char *, int) { return 0; }
int WG_readValues(const char *, const char *, char *, int) { return 0; }
int WG_writeValue(const char *, const char *, const char *, int) { return 0; }

void TBX_loadHtmlParameters() { err_append(604, "Unavailable service for\n %s\n", "TBox"); }
int TBX_readValues(const char *, const char *, char *, int) { return 0; }
int TBX_writeValue(const char *, const char *, const char *, int) { return 0; }
