// Native CGI protocol driver. Owns the target choice, the order limit and block
// count, the refresh counter and the force-order flag.
#include "comm/native_driver.h"
#include "transport/file_layer.h"

#include <cstdio>
#include <cstring>

#include "runtime/settings.h"
#include "transport/http_client.h"
#include "comm/ilr_driver.h"
#include "comm/opc_driver.h"
#include "comm/ppo_update.h"
#include "comm/s7_driver.h"
#include "comm/wago_tbox_driver.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

int remoteServiceId = TARSEL_SERVICE_NATIVE;

namespace {

int cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
int orderBlockCount;
int refreshCounter;
bool forceOrder;

struct TargetPrefix {
    const char *prefix;
    int code;
};

const TargetPrefix targetPrefixes[] = {
    {"Saia", TARSEL_TARGET_SAIA},       {"XX7_", TARSEL_TARGET_XX7},          {"WebFactory", TARSEL_TARGET_WEBFACTORY},
    {"Beckhoff", TARSEL_TARGET_BECKHOFF}, {"Wago", TARSEL_TARGET_WAGO},        {"Simatic", TARSEL_TARGET_SIMATIC},
    {"TBox", TARSEL_TARGET_TBOX},       {"Phoenix", TARSEL_TARGET_PHOENIX},   {"Samson", TARSEL_TARGET_SAMSON},
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
    if (prefixcmp(targetName, "WebFactory")) err_append(604, "Unavailable service for\n %s\n", targetName);
    else if (prefixcmp(targetName, "Wago")) remoteServiceId = TARSEL_SERVICE_WAGO;
    else if (prefixcmp(targetName, "Saia")) SRVR_setKeepAlive(1);
    else if (prefixcmp(targetName, "Simatic")) remoteServiceId = TARSEL_SERVICE_S7;
    else if (prefixcmp(targetName, "Beckhoff")) remoteServiceId = TARSEL_SERVICE_OPC;
    else if (prefixcmp(targetName, "TBox")) remoteServiceId = TARSEL_SERVICE_TBOX;
}

void Tarsel_loadHtmlParameters(const char *buffer)
{
    cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
    orderBlockCount = 0;
    char value[TARSEL_VALUE_SIZE] = "";
    int limit = 0;
    if (HK_hooks()->readPageParameter("cgiOrderListMaxSize", value) && value[0]) {
        if (str_parseInt(value, &limit) && limit > 0) cgiOrderListMaxSize = limit;
        else err_append(0, "cgiOrderListMaxSize: not a positive number !\n %s\n", value);
    }
    ILR_loadHtmlParameters(buffer);
    switch (remoteServiceId) {
    case TARSEL_SERVICE_S7: S7_loadHtmlParameters(buffer); break;
    case TARSEL_SERVICE_OPC: BH_loadHtmlParameters(buffer); break;
    case TARSEL_SERVICE_WAGO: WG_loadHtmlParameters(buffer); break;
    case TARSEL_SERVICE_TBOX: TBX_loadHtmlParameters(); break;
    default: break;
    }
}

int Tarsel_getServiceId() { return remoteServiceId; }
int Tarsel_getOrderLimit() { return cgiOrderListMaxSize; }
int Tarsel_getBlockCount() { return orderBlockCount; }
void Tarsel_setForceOrder() { forceOrder = true; }

// ---- CGI calls, alarms and trends -------------------------------------------------

int Tarsel_cgiCall(const char *text, int)
{
    if (!text || GetRemoteStatus() == 0) return 0;
    char request[TARSEL_VALUE_SIZE];
    safe_strncpy(request, text, sizeof request);
    if (!SRVR_CgiCall(GetRemoteIpAddress(), request, sizeof request))
        err_append(0, "Failed to send CGI call !\n \"%s\"\n", text);
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
    char request[TARSEL_VALUE_SIZE * 4];
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
    int written = SRVR_WriteVal(GetRemoteIpAddress(), name, value, TARSEL_VALUE_SIZE);
    if (!written) err_append(0, "Failed to write on PPO !\n \"%s\"\n", name);
    return written;
}

} // namespace

int Tarsel_readVal(const char *name, char *dst, int size)
{
    if (!name || !dst || size < 1) return 0;
    char value[TARSEL_VALUE_SIZE];
    if (inRemoteDataMode()) {
        int found = PPO_getValue(name, value);
        return deliver(value, dst, size, found);
    }
    const char *resolved = PPO_resolve(name);
    DS_readVal(resolved, value, nullptr);
    TCR_readFormatedPPOValue(resolved, value);
    return deliver(value, dst, size, 1);
}

char *Tarsel_readValPtr(const char *name)
{
    if (!name) return nullptr;
    if (inRemoteDataMode()) return PPO_getValuePtr(name);
    char *value = DS_readValPtr(PPO_resolve(name));
    if (value) TCR_readFormatedPPOValue(PPO_resolve(name), value);
    return value;
}

int Tarsel_writeVal(const char *name, const char *value, int)
{
    if (!name || !value) return 0;
    char work[TARSEL_VALUE_SIZE];
    safe_strncpy(work, value, sizeof work);
    int ok = 1;
    TCR_writeFormatedPPOValue(name, work, &ok);
    if (!ok) return 0;
    int mode = GetRemoteStatus();
    if (mode == 1) {
        int written = writeTarget(name, work);
        PPO_ReadFileUpdate();
        return written;
    }
    // The local data server keeps its values under the names sent to a
    // target, as reads find them. It answers 1 when it took the value (a
    // pseudo-value or a name it holds) and 0 when it refused it; in data
    // mode 2 a refused value goes to the target instead.
    char local[TARSEL_VALUE_SIZE];
    safe_strncpy(local, work, sizeof local);
    if (DS_writeVal(PPO_resolve(name), local, nullptr)) return 1;
    return mode == 2 ? SRVR_WriteVal(GetRemoteIpAddress(), name, work, TARSEL_VALUE_SIZE) : 0;
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
    orderBlockCount = 0;
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

// ---- native order and read --------------------------------------------------------

namespace {

constexpr int kOrderBlockSize = 16384;

// The block names of the current order: how many points each block holds, so
// that every block's reply is matched to its own points.
int blockPoints[TARSEL_MAX_BLOCKS];

struct OrderHead {
    char fileName[TARSEL_VALUE_SIZE]; // the order file name
    int period;
};

// Splits "<order file name>+dummy+<period>+..." into its head parts.
bool parseOrderHead(const char *orderString, OrderHead *head)
{
    const char *plus = std::strchr(orderString, '+');
    size_t length = plus ? static_cast<size_t>(plus - orderString) : std::strlen(orderString);
    if (length >= sizeof head->fileName) return false;
    std::memcpy(head->fileName, orderString, length);
    head->fileName[length] = '\0';
    head->period = 0;
    return !plus || std::sscanf(plus, "+dummy+%d", &head->period) == 1;
}

struct OrderBlock {
    char text[kOrderBlockSize];
    size_t length;
    size_t sentLength; // the length once encoded for the request
    int points;
};

void startBlock(OrderBlock &b, const OrderHead &head, int number)
{
    int n = std::snprintf(b.text, sizeof b.text, "%s_%d+dummy+%d", head.fileName, number, head.period);
    b.length = n < 0 ? 0 : static_cast<size_t>(n);
    if (b.length >= sizeof b.text) b.length = sizeof b.text - 1;
    b.sentLength = SRVR_orderEncodedLength(b.text);
    b.points = 0;
}

// A name fits when the block, as sent, stays within the limit.
bool fits(const OrderBlock &b, const char *name, size_t limit)
{
    return b.length + 1 + std::strlen(name) < sizeof b.text && b.sentLength + 1 + SRVR_orderEncodedLength(name) <= limit;
}

void addToBlock(OrderBlock &b, const char *name)
{
    size_t n = std::strlen(name);
    if (b.length + 1 + n >= sizeof b.text) n = sizeof b.text - b.length - 2;
    b.text[b.length++] = '+';
    std::memcpy(b.text + b.length, name, n);
    b.length += n;
    b.text[b.length] = '\0';
    b.sentLength += 1 + SRVR_orderEncodedLength(b.text + b.length - n);
    b.points++;
}

bool startsWith(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

enum class BlockReply { Done, Restart, Failed };

// Sends one block, once: the attempts of the update cycle are the retries of
// a failed request.
BlockReply sendBlock(const char *host, OrderBlock &b, char *reply, int size)
{
    if (orderBlockCount >= TARSEL_MAX_BLOCKS) {
        safe_strncpy(reply, "too many order blocks", static_cast<size_t>(size));
        return BlockReply::Failed;
    }
    blockPoints[orderBlockCount++] = b.points;
    if (!RelayURL(host, RLY_ORDER_VALUES, b.text, reply, size)) return BlockReply::Failed;
    if (startsWith(reply, "Done.")) return BlockReply::Done;
    if (startsWith(reply, "Error.") || startsWith(reply, "Syntax Error.")) return BlockReply::Restart;
    return BlockReply::Failed;
}

// One pass over the read list; Restart when the target asked for a new start.
BlockReply orderAll(const char *host, const OrderHead &head, char *reply, int size, PpoList *list)
{
    static OrderBlock block;
    orderBlockCount = 0;
    startBlock(block, head, 0);
    size_t limit = cgiOrderListMaxSize > 0 ? static_cast<size_t>(cgiOrderListMaxSize) : TARSEL_ORDER_LIMIT;
    for (PpoRecord *r = list->first; r; r = r->next) {
        if (!r->name || !r->name[0]) continue;
        const char *name = PPO_resolve(r->name);
        if (block.points > 0 && !fits(block, name, limit)) {
            BlockReply answer = sendBlock(host, block, reply, size);
            if (answer != BlockReply::Done) return answer;
            startBlock(block, head, orderBlockCount);
        }
        addToBlock(block, name);
    }
    if (block.points == 0 && orderBlockCount > 0) return BlockReply::Done;
    return sendBlock(host, block, reply, size);
}

// Stores the lines of one block's reply into the block's points, in order.
// A line without "=" or without a line feed, or with a value of 256
// characters or more, leaves its point unchanged.
PpoRecord *takeBlockValues(char *text, PpoRecord *cursor, int points)
{
    for (int i = 0; i < points && cursor; i++) {
        while (cursor && (!cursor->name || !cursor->name[0])) cursor = cursor->next;
        if (!cursor) break;
        char *end = text ? std::strchr(text, '\n') : nullptr;
        if (end) {
            *end = '\0';
            char *equals = std::strchr(text, '=');
            if (equals && std::strlen(equals + 1) < TARSEL_VALUE_SIZE) PPO_updateValue(cursor, equals + 1);
            text = end + 1;
        } else {
            text = nullptr;
        }
        cursor = cursor->next;
    }
    while (cursor && (!cursor->name || !cursor->name[0])) cursor = cursor->next;
    return cursor;
}

} // namespace

int SP_orderValues(const char *host, const char *orderString, char *reply, int size, PpoList *list)
{
    if (!orderString || !reply || size < 1) return 0;
    reply[0] = '\0';
    OrderHead head;
    if (!list || !parseOrderHead(orderString, &head)) {
        err_append(0, "orderValues() failed!\n%s\n", orderString);
        return 0;
    }
    for (int pass = 0; pass <= TARSEL_ORDER_RESTARTS; pass++) {
        BlockReply answer = orderAll(host, head, reply, size, list);
        if (answer == BlockReply::Done) return 1;
        if (answer == BlockReply::Failed) break;
    }
    // The relay request reported its own failure; the order's is reported
    // once, by the last attempt of the update cycle.
    if (pterm.comm_err_count >= pterm.comm_err_limit) err_append(0, "orderValues() failed!\n%s\n", reply);
    orderBlockCount = 0;
    return 0;
}

int SP_readValues(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list)
{
    if (!buffer || size < 1 || !list) return 0;
    int result = 0;
    PpoRecord *cursor = list->first;
    char name[TARSEL_VALUE_SIZE + 16];
    for (int i = 0; i < orderBlockCount; i++) {
        std::snprintf(name, sizeof name, "%s_%d", orderFileName ? orderFileName : "", i);
        buffer[0] = '\0';
        result = RelayURL(host, RLY_READ_FILE, name, buffer, size);
        if (!result) break;
        cursor = takeBlockValues(buffer, cursor, blockPoints[i]);
    }
    buffer[0] = '\0';
    return result;
}

// ---- driver dispatch -------------------------------------------------------------------

int SRVR_OrderValue(const char *host, const char *orderString, char *reply, int size, PpoList *list)
{
    switch (remoteServiceId) {
    case TARSEL_SERVICE_NATIVE: return SP_orderValues(host, orderString, reply, size, list);
    case TARSEL_SERVICE_OPC: return BH_connect(host);
    case TARSEL_SERVICE_WAGO: return WG_orderValues(host, orderString, reply, size);
    default: return 1;
    }
}

int SRVR_ReadFile(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list)
{
    switch (remoteServiceId) {
    case TARSEL_SERVICE_NATIVE: return SP_readValues(host, orderFileName, buffer, size, list);
    case TARSEL_SERVICE_OPC: return BH_readValues(host);
    case TARSEL_SERVICE_WAGO: return WG_readValues(host, orderFileName, buffer, size);
    case TARSEL_SERVICE_S7: return S7_readValues(host);
    case TARSEL_SERVICE_TBOX: return TBX_readValues(host, orderFileName, buffer, size);
    default: return 1;
    }
}

int SRVR_WriteVal(const char *host, const char *name, const char *value, int)
{
    if (!name || !value) return 0;
    char encoded[TARSEL_VALUE_SIZE * 3];
    safe_strncpy(encoded, value, sizeof encoded);
    switch (remoteServiceId) {
    case TARSEL_SERVICE_NATIVE:
    case TARSEL_SERVICE_ILR:
        URL_encode(encoded, sizeof encoded);
        if (RelayURL(host, RLY_WRITE_VALUE, name, encoded, sizeof encoded)) return 1;
        log_append(1, "WriteVal failed !\n", nullptr);
        return 0;
    case TARSEL_SERVICE_OPC: return BH_writeValue(host, name, PPO_resolve(name), value);
    case TARSEL_SERVICE_WAGO: return WG_writeValue(host, name, value, TARSEL_VALUE_SIZE);
    case TARSEL_SERVICE_S7: return S7_writeValue(host, PPO_resolve(name), value);
    case TARSEL_SERVICE_TBOX:
        URL_encode(encoded, sizeof encoded);
        return TBX_writeValue(host, PPO_resolve(name), encoded, sizeof encoded);
    default: return 1;
    }
}

void Tarsel_attachHooks()
{
    HK_hooks()->readTargetValue = Tarsel_readVal;
    HK_hooks()->forceOrder = Tarsel_setForceOrder;
}
