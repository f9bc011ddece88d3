// OPC XML-DA driver. Not built yet: a page for such a target is told that the
// service is unavailable, and no value is read or written.
#include "comm/opc_driver.h"

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "runtime/log.h"

namespace {

// Connecting to the service is the order step.
int orderStep(const char *host, const char *, char *, int, PpoList *) { return BH_connect(host); }
int readStep(const char *host, const char *, char *, int, PpoList *list) { return BH_readValues(host, list); }
int writeStep(const char *host, const char *name, const char *value, int)
{
    return BH_writeValue(host, name, PPO_resolve(name), value);
}

const TargetDriver opcDriver = {
    TARSEL_SERVICE_OPC, "Beckhoff", BH_loadHtmlParameters, orderStep, readStep, nullptr, writeStep,
};

} // namespace

void BH_loadHtmlParameters(const char *) { err_append(604, "Unavailable service for\n %s\n", "OPC XML-DA"); }
int BH_connect(const char *) { return 0; }
int BH_readValues(const char *, PpoList *) { return 0; }
int BH_writeValue(const char *, const char *, const char *, const char *) { return 0; }

const TargetDriver *BH_getDriver() { return &opcDriver; }
