// Native CGI protocol. Owns the order limit, the block count and the points
// of each block of the last order. Works on the read list of the process-point
// cache; reads the page parameters through the hooks; uses the relay request
// of the HTTP client and the log.
#include "comm/native_protocol.h"

#include <cstdio>
#include <cstring>

#include "comm/driver_table.h"
#include "comm/ppo_update.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr int kOrderBlockSize = 16384;

int cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
int orderBlockCount;
// How many points each block of the current order holds, so that every
// block's reply is matched to its own points.
int blockPoints[TARSEL_MAX_BLOCKS];

struct OrderHead {
    char fileName[PPO_VALUE_SIZE]; // the order file name
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
    return b.length + 1 + std::strlen(name) < sizeof b.text &&
           b.sentLength + 1 + SRVR_orderEncodedLength(name) <= limit;
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
            if (equals && std::strlen(equals + 1) < PPO_VALUE_SIZE) PPO_updateValue(cursor, equals + 1);
            text = end + 1;
        } else {
            text = nullptr;
        }
        cursor = cursor->next;
    }
    while (cursor && (!cursor->name || !cursor->name[0])) cursor = cursor->next;
    return cursor;
}

// The value files of the current order, read side by side; each reply is
// parsed in block order with a cursor that goes on from block to block.
struct BlockReading {
    const char *orderFileName;
    PpoRecord *cursor;
    char *buffer;
    int size;
};

void nameValueFile(int index, char *name, int size, void *context)
{
    const BlockReading *reading = static_cast<const BlockReading *>(context);
    std::snprintf(name, static_cast<size_t>(size), "%s_%d", reading->orderFileName, index);
}

void takeValueFile(int index, char *body, void *context)
{
    BlockReading *reading = static_cast<BlockReading *>(context);
    safe_strncpy(reading->buffer, body, static_cast<size_t>(reading->size));
    reading->cursor = takeBlockValues(reading->buffer, reading->cursor, blockPoints[index]);
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
    // While the target keeps failing, an "Error." answer is not followed by a
    // new start in the same cycle: the next cycle's attempt is the new start.
    int restarts = PPO_isBackingOff() ? 0 : TARSEL_ORDER_RESTARTS;
    for (int pass = 0; pass <= restarts; pass++) {
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
    BlockReading reading = {orderFileName ? orderFileName : "", list->first, buffer, size};
    int result = orderBlockCount > 0
                     ? SRVR_relayEach(host, RLY_READ_FILE, orderBlockCount, nameValueFile, takeValueFile, &reading)
                     : 0;
    buffer[0] = '\0';
    return result;
}

int SP_writeValue(const char *host, const char *name, const char *value, int)
{
    char encoded[PPO_VALUE_SIZE * 3];
    safe_strncpy(encoded, value, sizeof encoded);
    URL_encode(encoded, sizeof encoded);
    if (RelayURL(host, RLY_WRITE_VALUE, name, encoded, sizeof encoded)) return 1;
    log_append(1, "WriteVal failed !\n", nullptr);
    return 0;
}

void SP_loadHtmlParameters()
{
    cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
    orderBlockCount = 0;
    char value[PPO_VALUE_SIZE] = "";
    int limit = 0;
    if (HK_hooks()->readPageParameter("cgiOrderListMaxSize", value) && value[0]) {
        if (str_parseInt(value, &limit) && limit > 0) cgiOrderListMaxSize = limit;
        else err_append(0, "cgiOrderListMaxSize: not a positive number !\n %s\n", value);
    }
}

int SP_getOrderLimit() { return cgiOrderListMaxSize; }
int SP_getBlockCount() { return orderBlockCount; }
void SP_forgetOrder() { orderBlockCount = 0; }

namespace {

const TargetDriver nativeDriver = {
    TARSEL_SERVICE_NATIVE, nullptr, nullptr, SP_orderValues, SP_readValues, nullptr, SP_writeValue,
};

} // namespace

const TargetDriver *SP_getDriver() { return &nativeDriver; }

void SP_reset()
{
    cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
    orderBlockCount = 0;
    std::memset(blockPoints, 0, sizeof blockPoints);
}
