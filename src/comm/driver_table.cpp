// Table of the protocol drivers, by service number. No state besides the
// constant table.
#include "comm/driver_table.h"

#include "comm/ilr_driver.h"
#include "comm/modbus_driver.h"
#include "comm/mqtt_driver.h"
#include "comm/native_protocol.h"
#include "comm/opc_driver.h"
#include "comm/s7_driver.h"
#include "comm/tbox_driver.h"
#include "comm/wago_driver.h"
#include "runtime/str_util.h"

namespace {

const TargetDriver *(*const drivers[])() = {
    SP_getDriver, ILR_getDriver, BH_getDriver, WG_getDriver, S7_getDriver, TBX_getDriver, MB_getDriver, MQD_getDriver,
};

int succeed(const char *, const char *, char *, int, PpoList *) { return 1; }
int writeNothing(const char *, const char *, const char *, int) { return 1; }

const TargetDriver noDriver = {0, nullptr, nullptr, succeed, succeed, nullptr, writeNothing};

} // namespace

const TargetDriver *Tarsel_driverFor(int service)
{
    for (const auto driver : drivers)
        if (driver()->service == service) return driver();
    return &noDriver;
}

const TargetDriver *Tarsel_driverForTarget(const char *targetName)
{
    for (const auto driver : drivers) {
        const char *prefix = driver()->targetPrefix;
        if (prefix && prefixcmp(targetName, prefix)) return driver();
    }
    return nullptr;
}
