// Native CGI protocol driver: the entry to the target's values. Owns the
// target choice (service number), the refresh counter and the force-order
// flag; dispatches to the protocol drivers through their table.
#include "comm/native_driver.h"

#include "comm/driver_table.h"
#include "comm/ilr_driver.h"
#include "comm/mqtt_driver.h"
#include "comm/native_protocol.h"
#include "comm/ppo_update.h"
#include "data/process_points.h"
#include "data/read_stamps.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "runtime/command_age.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

int remoteServiceId = TARSEL_SERVICE_NATIVE;

namespace {

int refreshCounter;
bool forceOrder;

struct TargetPrefix {
    const char *prefix;
    int code;
};

const TargetPrefix targetPrefixes[] = {
    {"Saia", TARSEL_TARGET_SAIA},         {"XX7_", TARSEL_TARGET_XX7},        {"WebFactory", TARSEL_TARGET_WEBFACTORY},
    {"Beckhoff", TARSEL_TARGET_BECKHOFF}, {"Wago", TARSEL_TARGET_WAGO},       {"Simatic", TARSEL_TARGET_SIMATIC},
    {"TBox", TARSEL_TARGET_TBOX},         {"Phoenix", TARSEL_TARGET_PHOENIX}, {"Samson", TARSEL_TARGET_SAMSON},
};

int relayQuery(int command, const char *query, const char *failure, char *reply, int size)
{
    if (RelayURL(GetRemoteIpAddress(), command, query, reply, size)) return 1;
    err_append(0, failure, query ? query : "");
    return 0;
}

} // namespace

// ---- target selection -----------------------------------------------------------

void Tarsel_setTarget(const char *targetName)
{
    pterm.target_type = TARSEL_TARGET_OTHER;
    for (const TargetPrefix &t : targetPrefixes) {
        if (prefixcmp(targetName, t.prefix)) {
            pterm.target_type = t.code;
            return;
        }
    }
}

void Tarsel_setServiceId(const char *targetName)
{
    Tarsel_setTarget(targetName);
    SRVR_setKeepAlive(pterm.keep_alive);
    remoteServiceId = TARSEL_SERVICE_NATIVE;
    if (prefixcmp(targetName, "WebFactory")) {
        err_append(604, "Unavailable service for\n %s\n", targetName);
        return;
    }
    if (prefixcmp(targetName, "Saia")) SRVR_setKeepAlive(1);
    if (const TargetDriver *driver = Tarsel_driverForTarget(targetName)) remoteServiceId = driver->service;
}

void Tarsel_loadHtmlParameters(const char *buffer)
{
    SP_loadHtmlParameters();
    ILR_loadHtmlParameters(buffer);
    if (MQD_loadHtmlParameters()) remoteServiceId = TARSEL_SERVICE_MQTT;
    const TargetDriver *driver = Tarsel_driverFor(remoteServiceId);
    if (driver->loadHtmlParameters) driver->loadHtmlParameters(buffer);
}

int Tarsel_getServiceId() { return remoteServiceId; }
int Tarsel_getOrderLimit() { return SP_getOrderLimit(); }
int Tarsel_getBlockCount() { return SP_getBlockCount(); }
void Tarsel_setForceOrder() { forceOrder = true; }

// ---- CGI calls, alarms and trends -------------------------------------------------

int Tarsel_cgiCall(const char *text, int)
{
    if (!text || GetRemoteStatus() == 0 || !CMD_maySend(text)) return 0;
    char request[PPO_VALUE_SIZE];
    safe_strncpy(request, text, sizeof request);
    CMD_beginSend();
    if (!SRVR_CgiCall(GetRemoteIpAddress(), request, sizeof request))
        err_append(0, "Failed to send CGI call !\n \"%s\"\n", text);
    CMD_endSend();
    return 0;
}

int Tarsel_forceReadVal(const char *name, char *dst, int size)
{
    if (!dst || size < 1) return 0;
    dst[0] = '\0';
    if (GetRemoteStatus() == 0) return 0;
    return SRVR_ReadVal(GetRemoteIpAddress(), name, dst, size);
}

int Tarsel_readAlarm(const char *query, char *reply, int size)
{
    return relayQuery(RLY_ALARM, query, "cgi-bin/alarm.exe?%s failed !\n", reply, size);
}

int Tarsel_readTrend(const char *query, char *reply, int size)
{
    return relayQuery(RLY_TREND, query, "cgi-bin/trend.exe?%s failed !\n", reply, size);
}

int SRVR_ReadVal(const char *host, const char *name, char *dst, int size)
{
    return RelayURL(host, RLY_READ_VALUE, name, dst, size);
}

int SRVR_CgiCall(const char *host, const char *text, int)
{
    char request[PPO_VALUE_SIZE * 4];
    safe_strncpy(request, text ? text : "", sizeof request);
    return RelayURL(host, RLY_CGI_CALL, nullptr, request, sizeof request);
}

int SRVR_readCgiCall(const char *host, const char *path, char *dst, int size)
{
    return RelayURL(host, RLY_CGI_READ, path, dst, size);
}

// ---- values ------------------------------------------------------------------------

namespace {

bool inRemoteDataMode() { return GetRemoteStatus() == 1; }

// Copies a value of the cache or the local data server into the caller's
// buffer of size bytes.
int deliver(const char *value, char *dst, int size, int result)
{
    if (dst && size > 0) safe_strncpy(dst, value, static_cast<size_t>(size));
    return result;
}

// The name under which a page's point is kept: the formatted name when the
// name is a symbol of the text-conversion table.
const char *convertedName(const char *name, TcrEntry **entry)
{
    *entry = TCR_getTcrPointerWithSymbol(name);
    return *entry ? TCR_getFormatedName(*entry) : name;
}

int writeTarget(const char *name, const char *value)
{
    int written = SRVR_WriteVal(GetRemoteIpAddress(), name, value, PPO_VALUE_SIZE);
    if (!written) err_append(0, "Failed to write on PPO !\n \"%s\"\n", name);
    return written;
}

} // namespace

int Tarsel_readVal(const char *name, char *dst, int size)
{
    if (!name || !dst || size < 1) return 0;
    char value[PPO_VALUE_SIZE];
    if (inRemoteDataMode()) {
        int found = PPO_getValue(name, value);
        return deliver(value, dst, size, found);
    }
    RS_noteVolatile(); // the panel's own store keeps no stamps
    const char *resolved = PPO_resolve(name);
    DS_readVal(resolved, value, nullptr);
    TCR_readFormatedPPOValue(resolved, value);
    return deliver(value, dst, size, 1);
}

char *Tarsel_readValPtr(const char *name)
{
    if (!name) return nullptr;
    if (inRemoteDataMode()) return PPO_getValuePtr(name);
    RS_noteVolatile();
    char *value = DS_readValPtr(PPO_resolve(name));
    if (value) TCR_readFormatedPPOValue(PPO_resolve(name), value);
    return value;
}

int Tarsel_writeVal(const char *name, const char *value, int)
{
    if (!name || !value) return 0;
    char work[PPO_VALUE_SIZE];
    safe_strncpy(work, value, sizeof work);
    int ok = 1;
    int mode = GetRemoteStatus();
    // The gateway of an MQTT source writes as its operator would: it gets
    // the text as typed, and converts and checks it itself.
    if (mode == 1 && remoteServiceId == TARSEL_SERVICE_MQTT) return writeTarget(name, work);
    TCR_writeFormatedPPOValue(name, work, &ok);
    if (!ok) return 0;
    if (mode == 1) {
        int written = writeTarget(name, work);
        PPO_ReadFileUpdate();
        return written;
    }
    // The local data server keeps its values under the names sent to a
    // target, as reads find them. It answers 1 when it took the value (a
    // pseudo-value or a name it holds) and 0 when it refused it; in data
    // mode 2 a refused value goes to the target instead.
    char local[PPO_VALUE_SIZE];
    safe_strncpy(local, work, sizeof local);
    if (DS_writeVal(PPO_resolve(name), local, nullptr)) return 1;
    return mode == 2 ? SRVR_WriteVal(GetRemoteIpAddress(), name, work, PPO_VALUE_SIZE) : 0;
}

int Tarsel_refresh(int force)
{
    if (!inRemoteDataMode()) {
        DS_Refresh();
        PPO_setReady(1);
        return 1;
    }
    if (refreshCounter++ >= TARSEL_FORCE_EVERY) {
        forceOrder = true;
        refreshCounter = 0;
    }
    int result = PPO_OrderValuesUpdate(force || forceOrder, HK_hooks()->refreshPeriod());
    forceOrder = false;
    return result;
}

void Tarsel_clearView()
{
    PPO_destroyList();
    PPO_clearOrder();
    SP_forgetOrder();
}

int Tarsel_addPPO(const char *name, int convertOnly)
{
    if (!name || !name[0]) return 0;
    TcrEntry *entry;
    const char *used = convertedName(name, &entry);
    if (convertOnly) return 0;
    int added = PPO_addToList(used, entry);
    if (added) forceOrder = true;
    return added;
}

const char *Tarsel_orderPPO(const char *name)
{
    if (!name || !name[0]) return name;
    TcrEntry *entry;
    const char *used = convertedName(name, &entry);
    if (PPO_addToList(used, entry)) forceOrder = true;
    return used;
}

// ---- driver dispatch -------------------------------------------------------------------

int SRVR_OrderValue(const char *host, const char *orderString, char *reply, int size, PpoList *list)
{
    return Tarsel_driverFor(remoteServiceId)->orderValues(host, orderString, reply, size, list);
}

int SRVR_ReadFile(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list)
{
    return Tarsel_driverFor(remoteServiceId)->readValues(host, orderFileName, buffer, size, list);
}

int SRVR_WriteVal(const char *host, const char *name, const char *value, int size)
{
    if (!name || !value || !CMD_maySend(name)) return 0;
    CMD_beginSend();
    int written = Tarsel_driverFor(remoteServiceId)->writeValue(host, name, value, size);
    CMD_endSend();
    return written;
}

void Tarsel_attachHooks()
{
    HK_hooks()->readTargetValue = Tarsel_readVal;
    HK_hooks()->forceOrder = Tarsel_setForceOrder;
}

void Tarsel_reset()
{
    remoteServiceId = TARSEL_SERVICE_NATIVE;
    refreshCounter = 0;
    forceOrder = false;
}
