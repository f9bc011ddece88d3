// TBox driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/tbox_driver.h"

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

void loadParameters(const char *) { TBX_loadHtmlParameters(); }
// The value page is read whole every cycle: there is no order step.
int orderStep(const char *, const char *, char *, int, PpoList *) { return 1; }
int writeStep(const char *host, const char *name, const char *value, int)
{
    char encoded[PPO_VALUE_SIZE * 3];
    safe_strncpy(encoded, value, sizeof encoded);
    URL_encode(encoded, sizeof encoded);
    return TBX_writeValue(host, PPO_resolve(name), encoded, sizeof encoded);
}

const TargetDriver tboxDriver = {
    TARSEL_SERVICE_TBOX, "TBox", loadParameters, orderStep, TBX_readValues, nullptr, writeStep,
};

} // namespace

void TBX_loadHtmlParameters() { err_append(604, "Unavailable service for\n %s\n", "TBox"); }
int TBX_readValues(const char *, const char *, char *, int, PpoList *) { return 0; }
int TBX_writeValue(const char *, const char *, const char *, int) { return 0; }

const TargetDriver *TBX_getDriver() { return &tboxDriver; }
