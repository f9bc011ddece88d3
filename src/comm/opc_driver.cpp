// OPC XML-DA driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/opc_driver.h"

#include "runtime/log.h"

void BH_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "OPC XML-DA"); }
int BH_connect(const char *) { return 0; }
int BH_readValues(const char *) { return 0; }
int BH_writeValue(const char *, const char *, const char *, const char *) { return 0; }
