// S7 block driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/s7_driver.h"

#include "runtime/log.h"

void S7_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "S7"); }
int S7_readValues(const char *) { return 0; }
int S7_writeValue(const char *, const char *, const char *) { return 0; }
