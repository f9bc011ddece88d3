// Update cycle of the process-point cache: orders the read list from the
// target through the driver of its service and reads the values back, with up
// to three attempts per cycle, and one while the target keeps failing. Owns
// the order string, the order last sent and the back-off state. Main thread
// only.
#include "comm/ppo_update.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "comm/driver_table.h"
#include "comm/native_driver.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/network.h"
#include "runtime/pump.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr int kAttempts = 3;

char ppoOrderString[PPO_ORDER_SIZE]; // the order being built; then the reply of the value file
char ppoOrderStrPrv[PPO_ORDER_SIZE]; // the order last sent
bool backingOff;                     // every attempt of the last update failed
int64_t updateStarted;               // PUMP_nowMs of the update in flight, 0 when none
int64_t staleAfterMs;                // how long it may wait before its values are not live
bool markedStale;                    // the update in flight has set its values "Not available"

// Appends text to the order string; false when it no longer fits.
bool appendOrder(size_t *length, const char *text)
{
    size_t n = std::strlen(text);
    if (n >= PPO_ORDER_SIZE - *length) return false;
    std::memcpy(ppoOrderString + *length, text, n + 1);
    *length += n;
    return true;
}

// "<order file name>+dummy+<period>" and "+<name>" for every point in list order.
void buildOrderString(int period)
{
    int head = std::snprintf(ppoOrderString, PPO_ORDER_SIZE, "%s+dummy+%d", SYS_GetFixOrderFileName(), period);
    size_t length = head < 0 ? 0 : static_cast<size_t>(head);
    if (length >= PPO_ORDER_SIZE) length = PPO_ORDER_SIZE - 1;
    for (PpoRecord *r = PPO_getList()->first; r; r = r->next) {
        if (!appendOrder(&length, "+") || !appendOrder(&length, PPO_resolve(r->name))) {
            log_append_int(1, "PPO order string cut at %ld characters\n", static_cast<long>(length));
            return;
        }
    }
}

// One attempt: orders the read list when it changed (or when forced), then
// reads the values. An attempt orders at most once, and the driver sends an
// order once: the attempts are its retries. A failed order, and a failed read
// (the target may have restarted and lost the order), make the next attempt
// order again.
int PPO_update_OV_RF(int force, int period)
{
    buildOrderString(period);
    if (!stringcmp(ppoOrderString, ppoOrderStrPrv)) {
        safe_strncpy(ppoOrderStrPrv, ppoOrderString, PPO_ORDER_SIZE);
        force = 1;
    }
    bool lastAttempt = pterm.comm_err_count >= pterm.comm_err_limit;
    if (force) {
        char reply[256] = "";
        if (!SRVR_OrderValue(HK_hooks()->remoteServer(), ppoOrderString, reply, sizeof reply, PPO_getList())) {
            ppoOrderStrPrv[0] = '\0';
            if (lastAttempt)
                err_append(0, "OrderValues on remote host has failed !\n \"%s\"\n", HK_hooks()->remoteServer());
            return 0;
        }
    }
    ppoOrderString[0] = '\0';
    if (!SRVR_ReadFile(HK_hooks()->remoteServer(), SYS_GetFixOrderFileName(), ppoOrderString, PPO_ORDER_SIZE,
                       PPO_getList())) {
        ppoOrderStrPrv[0] = '\0';
        if (lastAttempt) err_append(0, "ReadFile on remote host has failed !\n \"%s\"\n", HK_hooks()->remoteServer());
        return 0;
    }
    ppoOrderString[PPO_ORDER_SIZE - 1] = '\0';
    PPO_parseValuesString(ppoOrderString, -1);
    return 1;
}

// The attempts of one update.
int updateWithAttempts(int force, int period)
{
    // In the back-off the one attempt is never the last of three, so the
    // lasting failure is reported once, when it begins.
    pterm.comm_err_count = 0;
    int attempts = backingOff ? 1 : kAttempts;
    for (int attempt = 1; attempt <= attempts; attempt++) {
        pterm.comm_err_count = attempt;
        const TargetDriver *driver = Tarsel_driverFor(remoteServiceId);
        int result = driver->readList ? driver->readList(HK_hooks()->remoteServer(), PPO_getList())
                                      : PPO_update_OV_RF(force, period);
        if (result) {
            if (backingOff) log_append(1, "The target answers again\n", nullptr);
            backingOff = false;
            PPO_setReady(1);
            return result;
        }
    }
    if (!backingOff)
        log_append(1, "The target keeps failing: one update attempt per cycle until it answers\n", nullptr);
    backingOff = true;
    PPO_invalidAllValues();
    return 0;
}

} // namespace

int PPO_update(int force, int period)
{
    if (PPO_getList()->count == 0) {
        PPO_setReady(1);
        return 1;
    }
    updateStarted = PUMP_nowMs();
    staleAfterMs = 2LL * period > PPO_STALE_MIN_MS ? 2LL * period : PPO_STALE_MIN_MS;
    markedStale = false;
    int result = updateWithAttempts(force, period);
    updateStarted = 0;
    return result;
}

int PPO_markStaleWhileWaiting()
{
    if (updateStarted == 0 || markedStale || PUMP_nowMs() - updateStarted <= staleAfterMs) return 0;
    markedStale = true;
    PPO_invalidAllValues();
    return 1;
}

int PPO_isBackingOff() { return backingOff; }

int PPO_OrderValuesUpdate(int force, int period) { return PPO_update(force, period); }

void PPO_ReadFileUpdate()
{
    if (CO_isUpdateAfterPpoWrite()) HK_hooks()->scheduleNewRefresh();
}

void PPO_clearOrder() { ppoOrderStrPrv[0] = '\0'; }

void PPO_resetUpdate()
{
    ppoOrderString[0] = '\0';
    ppoOrderStrPrv[0] = '\0';
    backingOff = false;
    updateStarted = 0;
    markedStale = false;
}
