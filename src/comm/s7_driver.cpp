// S7 block driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/s7_driver.h"

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "runtime/log.h"

namespace {

// The block is read whole every cycle: there is no order step.
int orderStep(const char *, const char *, char *, int, PpoList *) { return 1; }
int readStep(const char *host, const char *, char *, int, PpoList *list) { return S7_readValues(host, list); }
int writeStep(const char *host, const char *name, const char *value, int)
{
    return S7_writeValue(host, PPO_resolve(name), value);
}

const TargetDriver s7Driver = {
    TARSEL_SERVICE_S7, "Simatic", S7_loadHtmlParameters, orderStep, readStep, nullptr, writeStep,
};

} // namespace

void S7_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "S7"); }
int S7_readValues(const char *, PpoList *) { return 0; }
int S7_writeValue(const char *, const char *, const char *) { return 0; }

const TargetDriver *S7_getDriver() { return &s7Driver; }
