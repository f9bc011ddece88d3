// WAGO driver. Owns the write-all-bytes switch and the number of order files
// of the last order. Orders, reads and writes through the relay request of the
// HTTP client; values go into the read list of the process-point cache.
#include "comm/wago_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr int kStringWordsMax = 63; // 252 bytes

bool writeAllBytes = true;
int orderFiles;

bool isMemoryName(const char *name) { return name[0] == 'M' || name[0] == 'I' || name[0] == 'Q'; }

int stringSize(long length)
{
    if (length <= 0) return 32;
    if (length >= 251) return kStringWordsMax * 4;
    return static_cast<int>((length + 3) / 4 * 4);
}

// ---- order files -----------------------------------------------------------------------

struct OrderFile {
    char text[PPO_ORDER_SIZE];
    size_t length;
    int names;
    int bytes;
};

void startOrder(OrderFile &f, const char *fileName, int index)
{
    int n = std::snprintf(f.text, sizeof f.text, "%s_%d+dummy+%d", fileName, index, HK_hooks()->refreshPeriod());
    f.length = n < 0 ? 0 : static_cast<size_t>(n) < sizeof f.text ? static_cast<size_t>(n) : sizeof f.text - 1;
    f.names = 0;
    f.bytes = 0;
}

bool appendName(OrderFile &f, const char *name)
{
    size_t n = std::strlen(name);
    if (f.length + 1 + n >= sizeof f.text) return false;
    f.text[f.length++] = '+';
    std::memcpy(f.text + f.length, name, n + 1);
    f.length += n;
    return true;
}

// "+" and the point's address, or "+MD<n>" for every word of a string.
bool appendPoint(OrderFile &f, const char *name, const WagoPoint &p)
{
    size_t mark = f.length;
    bool fits = true;
    for (int w = 0; p.isString && fits && w < p.size / 4; w++) {
        char word[24];
        std::snprintf(word, sizeof word, "MD%u", p.word + w);
        fits = appendName(f, word);
    }
    if (!p.isString) fits = appendName(f, name);
    if (!fits) f.text[f.length = mark] = '\0';
    return fits;
}

bool sendOrder(const char *host, const OrderFile &f, char *reply, int size)
{
    reply[0] = '\0';
    if (RelayURL(host, RLY_ORDER_VALUES, f.text, reply, size) && prefixcmp(reply, "Done.")) return true;
    err_append(0, "orderValues() failed!\n%s\n", reply);
    return false;
}

// ---- value files -------------------------------------------------------------------------

enum class Parse { Done, Failed };

const char *lineEnd(const char *p)
{
    const char *end = std::strchr(p, '\n');
    return end ? end : p + std::strlen(p);
}

// A string's words: the number after the next "=" for every word, its four
// bytes lowest first. Answers the position after the line of the last word.
const char *takeString(PpoRecord *r, const WagoPoint &p, const char *text)
{
    char value[PPO_VALUE_SIZE];
    int n = 0;
    for (int w = 0; w < p.size / 4; w++) {
        const char *equals = std::strchr(text, '=');
        if (!equals) {
            err_append(0, "readValues() failed!\n", nullptr);
            text += std::strlen(text);
            break;
        }
        char *end = nullptr;
        unsigned long word = std::strtoul(equals + 1, &end, 10);
        for (int b = 0; b < 4 && n < PPO_VALUE_SIZE - 1; b++) value[n++] = static_cast<char>(word >> (8 * b) & 0xFF);
        text = end;
    }
    value[n] = '\0';
    PPO_updateValue(r, value);
    const char *end = lineEnd(text);
    return *end ? end + 1 : end;
}

// A scalar: the text after "=" up to the line end, without a carriage return.
const char *takeScalar(PpoRecord *r, const char *equals)
{
    const char *end = lineEnd(equals);
    size_t length = static_cast<size_t>(end - equals - 1);
    if (length > 0 && equals[length] == '\r') length--;
    if (length < PPO_VALUE_SIZE) {
        char value[PPO_VALUE_SIZE];
        std::memcpy(value, equals + 1, length);
        value[length] = '\0';
        PPO_updateValue(r, value);
    }
    return *end ? end + 1 : end;
}

// The name the order gave for a point: its address, or the first double word
// of a string.
const char *orderedName(const PpoRecord *r, char *buffer, size_t size)
{
    const char *address = PPO_resolve(r->name);
    WagoPoint p = WG_pointOf(address, r->format);
    if (!p.isString) return address;
    std::snprintf(buffer, size, "MD%u", p.word);
    return buffer;
}

// Whether text begins with the value line of the first named point from r on:
// a value file that begins with a plain scalar name.
bool beginsWithName(const char *text, const PpoRecord *r)
{
    while (r && (!r->name || !r->name[0])) r = r->next;
    if (!r) return false;
    char buffer[24];
    const char *name = orderedName(r, buffer, sizeof buffer);
    size_t n = std::strlen(name);
    return n > 0 && std::strncmp(text, name, n) == 0 && text[n] == '=';
}

// Stores the lines of one value file into the read list from *cursor on; at
// the end of the text *cursor is the first point not yet read.
Parse parseFile(const char *text, PpoRecord **cursor)
{
    if (!text[0]) return Parse::Done;
    if (!isMemoryName(text) && !beginsWithName(text, *cursor)) {
        err_append(0, "readValues() failed!\n%s\n", text);
        return Parse::Failed;
    }
    for (; *cursor; *cursor = (*cursor)->next) {
        PpoRecord *r = *cursor;
        if (!r->name || !r->name[0]) continue;
        if (!*text) return Parse::Done;
        WagoPoint p = WG_pointOf(PPO_resolve(r->name), r->format);
        char first[24];
        const char *expected = orderedName(r, first, sizeof first);
        size_t n = std::strlen(expected);
        char after = std::strncmp(text, expected, n) == 0 ? text[n] : '?';
        if (after == '\0' || after == '\r' || after == '\n') {
            err_append(0, "readValues() failed!\n", nullptr);
            return Parse::Failed;
        }
        if (after != '=') {
            err_append(0, "readValues() failed!\n variable missmatch by reading: %s\n", expected);
            return Parse::Failed;
        }
        text = p.isString ? takeString(r, p, text) : takeScalar(r, text + n);
    }
    return Parse::Done;
}

// The name a point has on the target: a symbol of the text-conversion table
// becomes its formatted name.
const char *targetName(const char *point)
{
    const TcrEntry *entry = PPO_lookup(point) ? nullptr : TCR_getTcrPointerWithSymbol(point);
    return entry ? TCR_getFormatedName(entry) : PPO_resolve(point);
}

// The value format of a point by its name on the target.
const TcrEntry *formatOf(const char *name)
{
    if (const PpoRecord *r = PPO_lookup(name)) return r->format;
    return TCR_getTcrPointer(name);
}

int writeScalar(const char *host, const char *point, const char *text)
{
    char encoded[PPO_VALUE_SIZE * 3];
    safe_strncpy(encoded, text, sizeof encoded);
    URL_encode(encoded, sizeof encoded);
    return RelayURL(host, RLY_WRITE_VALUE, point, encoded, sizeof encoded);
}

// The string padded with NUL bytes to its size, one word after the other.
int writeString(const char *host, const WagoPoint &p, const char *text)
{
    char bytes[kStringWordsMax * 4] = {};
    size_t length = std::strlen(text);
    std::memcpy(bytes, text, length < static_cast<size_t>(p.size) ? length : static_cast<size_t>(p.size));
    for (int w = 0; w < p.size / 4; w++) {
        const unsigned char *c = reinterpret_cast<const unsigned char *>(bytes + 4 * static_cast<ptrdiff_t>(w));
        unsigned long word = c[0] + c[1] * 256UL + c[2] * 65536UL + c[3] * 16777216UL;
        char name[24], value[24];
        std::snprintf(name, sizeof name, "MD%u", p.word + w);
        std::snprintf(value, sizeof value, "%lu", word);
        if (!RelayURL(host, RLY_WRITE_VALUE, name, value, sizeof value)) return 0;
        if (!writeAllBytes && (!c[0] || !c[1] || !c[2] || !c[3])) break;
    }
    return 1;
}

const TargetDriver wagoDriver = {
    TARSEL_SERVICE_WAGO, "Wago", WG_loadHtmlParameters, WG_orderValues, WG_readValues, nullptr, WG_writeValue,
};

} // namespace

WagoPoint WG_pointOf(const char *name, const TcrEntry *format)
{
    WagoPoint p = {false, 4, 0};
    const char *kind = TCR_getFormat(format);
    bool wantsString = kind && prefixicmp(kind, "String");
    long length = 0;
    if (wantsString && TCR_getMax(format)) length = std::strtol(TCR_getMax(format), nullptr, 10);
    if (!name || !isMemoryName(name)) return p;
    switch (name[1]) {
    case 'D':
        p.word = static_cast<unsigned>(std::strtoul(name + 2, nullptr, 10));
        p.isString = wantsString;
        p.size = wantsString ? stringSize(length) : 4;
        break;
    case 'B': p.size = 1; break;
    case 'W':
    case 'X': p.size = 2; break;
    default: break;
    }
    return p;
}

void WG_loadHtmlParameters(const char *)
{
    char value[PPO_VALUE_SIZE] = "";
    writeAllBytes = !(HK_hooks()->readPageParameter("WAGO_WRITE_ALL_BYTES", value) && value[0] == '0');
}

int WG_orderValues(const char *host, const char *order, char *reply, int size, PpoList *list)
{
    if (!order || !reply || size < 1 || !list) return 0;
    char fileName[PPO_VALUE_SIZE];
    safe_strncpy(fileName, order, sizeof fileName);
    if (char *plus = std::strchr(fileName, '+')) *plus = '\0';
    static OrderFile file;
    int index = 0;
    orderFiles = 0;
    startOrder(file, fileName, index);
    for (PpoRecord *r = list->first; r; r = r->next) {
        if (!r->name || !r->name[0]) continue;
        const char *address = PPO_resolve(r->name);
        WagoPoint p = WG_pointOf(address, r->format);
        // A file that would reach the limit, or whose text is full, is sent
        // first and the point starts the next one.
        bool full = file.names > 0 && file.bytes + p.size >= WG_ORDER_LIMIT;
        if (!full && !appendPoint(file, address, p)) {
            if (file.names == 0) {
                err_append(0, "orderValues() failed!\n%s\n", address);
                return 0;
            }
            full = true;
        }
        if (full) {
            if (!sendOrder(host, file, reply, size)) return 0;
            startOrder(file, fileName, ++index);
            appendPoint(file, address, p);
        }
        file.names++;
        file.bytes += p.size;
    }
    if (!sendOrder(host, file, reply, size)) return 0;
    orderFiles = index + 1;
    return 1;
}

int WG_readValues(const char *host, const char *name, char *reply, int size, PpoList *list)
{
    if (!reply || size < 1 || !list) return 0;
    PpoRecord *cursor = list->first;
    char file[PPO_VALUE_SIZE + 16];
    int result = 1;
    for (int i = 0; i < orderFiles && result; i++) {
        std::snprintf(file, sizeof file, "%s_%d", name ? name : "", i);
        reply[0] = '\0';
        result = RelayURL(host, RLY_READ_FILE, file, reply, size) && parseFile(reply, &cursor) == Parse::Done;
    }
    reply[0] = '\0';
    return result;
}

int WG_writeValue(const char *host, const char *point, const char *text, int)
{
    if (!point || !text) return 0;
    const char *address = targetName(point);
    WagoPoint p = WG_pointOf(address, formatOf(address));
    return p.isString ? writeString(host, p, text) : writeScalar(host, address, text);
}

int WG_getOrderFileCount() { return orderFiles; }

const TargetDriver *WG_getDriver() { return &wagoDriver; }

void WG_reset()
{
    writeAllBytes = true;
    orderFiles = 0;
}
