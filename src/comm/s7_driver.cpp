// S7 block driver. Owns the block parameters of the page, the block and its
// part flags (fixed arrays, so that no page memory is left pointing into a
// dropped heap), the PDU reference shared by all jobs and the reply buffer.
// Jobs go over socket slots of the HTTP client; the addresses come from the
// value formats, the values go into the read list of the process-point cache.
#include "comm/s7_driver.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/driver_table.h"
#include "comm/slot_exchange.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr int kHeaderLimit = 1024;
constexpr const char *kPragma = "Pragma: no-cache\r\n";
constexpr const char *kRequestError = "error during s7Targetrequest in S7_readValues()\n";

struct S7Block {
    int rack, slot;
    int reads, delay;
    int partSize;
    int type;
    long length; // the repetition factor: bytes of the block
    int area;
    int db;
    long start;
    int bit;
    int parts;
};

S7Block block;
uint8_t blockData[S7_BLOCK_MAX];
bool partFlags[S7_BLOCK_MAX];
bool partRead[S7_BLOCK_MAX]; // the part came in the last read, or is not asked for
std::atomic<uint16_t> pduReference{0};
uint8_t replyBuffer[S7_REPLY_SIZE];

// ---- numbers ----------------------------------------------------------------------------

// A decimal number, or a hexadecimal one after "0x".
bool parseNumber(const char *text, long *value)
{
    if (!text) return false;
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char *end = nullptr;
    errno = 0;
    *value = std::strtol(text + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (end == text + (hex ? 2 : 0) || errno != 0) return false;
    while (*end == ' ') end++;
    return *end == '\0';
}

bool parseInRange(const char *text, long long low, long long high, long long *value)
{
    char *end = nullptr;
    errno = 0;
    *value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && *value >= low && *value <= high;
}

void putBig(uint8_t *dst, unsigned long value, int bytes)
{
    for (int i = bytes - 1; i >= 0; i--, value >>= 8) dst[i] = static_cast<uint8_t>(value & 0xFF);
}

unsigned long getBig(const uint8_t *src, int bytes)
{
    unsigned long value = 0;
    for (int i = 0; i < bytes; i++) value = value << 8 | src[i];
    return value;
}

// ---- types ------------------------------------------------------------------------------

// Bits of one element of a type.
int elementBits(int type)
{
    switch (type) {
    case 1: return 1;
    case 2:
    case 3:
    case 19: return 8;
    case 4:
    case 5:
    case 9:
    case 12:
    case 28:
    case 29: return 16;
    case 6:
    case 7:
    case 8:
    case 10:
    case 11: return 32;
    case 14: return 64;
    default: return type >= 23 && type <= 26 ? 16 : 0;
    }
}

// The transport size of a type in a data part.
int transportSize(int type)
{
    switch (type) {
    case 1: return 3;
    case 2:
    case 4:
    case 6:
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
    case 19: return 4;
    case 3:
    case 28:
    case 29: return 9;
    case 5:
    case 7: return 5;
    case 8: return 7;
    default: return 0;
    }
}

// The data part's length field: bits for transport sizes 3, 4 and 5, bytes
// for 7 and 9.
long dataLengthField(const S7Address &a)
{
    long bits = static_cast<long>(a.count) * elementBits(a.type);
    int size = transportSize(a.type);
    return size == 7 || size == 9 ? (bits + 7) / 8 : bits;
}

// ---- the page's block ---------------------------------------------------------------------

int readIntParameter(const char *name)
{
    char value[PPO_VALUE_SIZE] = "";
    long number = 0;
    if (!HK_hooks()->readPageParameter(name, value) || !value[0]) return 0;
    if (!parseNumber(value, &number) || number < -2147483647L || number > 2147483647L) {
        err_append(7001, "S7 page parameter is no number !\n %s\n", name);
        return 0;
    }
    return static_cast<int>(number);
}

bool partFlag(int k)
{
    char name[64], value[PPO_VALUE_SIZE] = "";
    std::snprintf(name, sizeof name, "PPOINONBLOCKREADPARTBLOCK_%d", k);
    return HK_hooks()->readPageParameter(name, value) && stringcmp(value, "YES");
}

// ---- exchanges with the gateway ---------------------------------------------------------

bool lastAttempt() { return pterm.comm_err_count >= pterm.comm_err_limit; }
const char *hostOrLast(const char *host) { return host && host[0] ? host : nullptr; }

void reportShortBody(const SxReply &reply)
{
    if (!lastAttempt()) return;
    char message[256];
    std::snprintf(message, sizeof message,
                  "Failed to read values from server!\nContent-Length not reached\n - Nr. of bytes read: %d\n"
                  " - Content-Length   : %ld\n",
                  reply.bodyLength, reply.contentLength);
    err_append(7009, message, nullptr);
}

// A reply other than 200: its status line, and a text body as it is.
void reportStatus(int slot, SxReply &reply)
{
    char line[256];
    if (!SX_statusLine(&reply, line, sizeof line)) {
        err_append(7010, " invalid data!\n", nullptr);
        return;
    }
    err_append(7010, "Failed to read values from server!\n%s\n", line);
    if (!SX_headerHas(&reply, "Content-Type: text")) return;
    char *body = reinterpret_cast<char *>(replyBuffer);
    SX_readBody(slot, &reply, body, S7_REPLY_SIZE, nullptr);
    err_append(7010, "Failed to read values from server!\n%s\n", body);
}

// Reads the reply of a job into the reply buffer: the body's length, or -1.
// A write's reply may come without a body.
int readReply(int slot, bool write)
{
    SxReply reply;
    char *body = reinterpret_cast<char *>(replyBuffer);
    if (!SX_readHeader(slot, kHeaderLimit, &reply, body, S7_REPLY_SIZE) || reply.headerBytes < 13) {
        err_append(7011, " unavailable data!\n", nullptr);
        return -1;
    }
    if (reply.status != 200) {
        reportStatus(slot, reply);
        return -1;
    }
    if (!SX_headerHas(&reply, "Content-Length: ")) return write ? 0 : -1;
    if (!SX_readBody(slot, &reply, body, S7_REPLY_SIZE, nullptr)) {
        reportShortBody(reply);
        return -1;
    }
    return reply.cut ? -1 : reply.bodyLength;
}

// Posts a job to the gateway ("get" or "put") and reads its reply: the reply
// body's length, or -1.
int postJob(const char *host, const char *direction, const uint8_t *pdu, int length)
{
    int slot = SRVR_OpenSocket(hostOrLast(host));
    if (!slot) return -1;
    char file[96];
    std::snprintf(file, sizeof file, "__S7Sys/%s/bin/rs/%d/%d/sps7", direction, block.rack, block.slot);
    int result = -1;
    if (SRVR_PutPostHeader(slot, HK_hooks()->documentBase(), file, "application/x-www-form-urlencoded", length, kPragma,
                           static_cast<int>(std::strlen(kPragma))) > 0 &&
        SRVR_PutBuffer(slot, pdu, length) == length && SRVR_Flush(slot) >= 0)
        result = readReply(slot, direction[0] == 'p');
    else err_append(7011, " unavailable data!\n", nullptr);
    SRVR_CloseSocket(slot);
    return result;
}

// An acknowledgement that carries an error class or an item's error code.
bool isErrorAck(const uint8_t *reply, int length)
{
    if (length < 12 || reply[0] != 0x32 || reply[1] != 3) return false;
    if (reply[10] || reply[11]) return true;
    return length >= 15 && reply[14] != 0xFF;
}

// Reads one part of the block into part; false (part untouched) on an error.
bool readPart(const char *host, long byteAddress, int length, uint8_t *part)
{
    S7Address a = {block.type, length, S7_AREA_DB, block.db, byteAddress, block.bit};
    uint8_t pdu[S7_JOB_HEADER];
    if (S7_buildPdu(S7_FUNCTION_READ, a, nullptr, 0, pdu, sizeof pdu) < 0) {
        err_append(7001, "failed to create PDU in S7_readValues()\n", nullptr);
        return false;
    }
    int received = postJob(host, "get", pdu, S7_JOB_HEADER);
    if (received < 0 || isErrorAck(replyBuffer, received)) {
        err_append(7001, kRequestError, nullptr);
        return false;
    }
    if (received < length) {
        err_append(7001, "error in s7Targetrequest in S7_readValues() returned bytes count not correct\n", nullptr);
        return false;
    }
    if (received - length != S7_ACK_HEADER)
        err_append(7001,
                   "error in s7Targetrequest in S7_readValues() returned bytes s7offset not correct (not equal 18)\n",
                   nullptr);
    std::memcpy(part, replyBuffer + received - length, static_cast<size_t>(length));
    return true;
}

// The value format of a point by its name on the target (or its symbol).
const TcrEntry *formatOf(const char *name)
{
    if (const PpoRecord *r = PPO_lookup(name)) return r->format;
    const TcrEntry *entry = TCR_getTcrPointer(name);
    return entry ? entry : TCR_getTcrPointerWithSymbol(name);
}

// Every point of the read list that lies whole in the block.
// Whether the bytes from offset on all came in the last read (or are parts
// the page does not ask for).
bool bytesRead(long offset, int size)
{
    for (long k = offset / block.partSize; k <= (offset + size - 1) / block.partSize; k++)
        if (!partRead[k]) return false;
    return true;
}

// The points in the block; those whose bytes failed to come read "Not available".
void decodePoints(PpoList *list)
{
    for (PpoRecord *r = list->first; r; r = r->next) {
        S7Address a;
        if (!S7_getAddress(r->format, &a) || a.area != S7_AREA_DB || a.db != block.db) continue;
        long offset = a.byteAddress - block.start;
        int size = S7_valueSize(a);
        if (offset < 0 || size <= 0 || offset + size > block.length) continue;
        if (!bytesRead(offset, size)) {
            PPO_updateValue(r, PPO_NOT_AVAILABLE);
            continue;
        }
        char text[PPO_VALUE_SIZE];
        if (S7_decodeValue(a, blockData + offset, static_cast<int>(block.length - offset), text))
            PPO_updateValue(r, text);
    }
}

// ---- values -------------------------------------------------------------------------------

int encodeScalar(const S7Address &a, const char *text, uint8_t *value)
{
    long long n = 0;
    switch (a.type) {
    case 1: value[0] = text[0] == '0' ? 0 : 1; return 1;
    case 2:
        if (!parseInRange(text, 0, 255, &n)) return -1;
        break;
    case 3:
        if (!parseInRange(text, -128, 255, &n)) return -1;
        break;
    case 4:
        if (!parseInRange(text, 0, 65535, &n)) return -1;
        break;
    case 5:
        if (!parseInRange(text, -32768, 32767, &n)) return -1;
        break;
    case 6:
        if (!parseInRange(text, 0, 4294967295LL, &n)) return -1;
        break;
    case 7:
        if (!parseInRange(text, -2147483648LL, 2147483647LL, &n)) return -1;
        break;
    case 8: {
        char *end = nullptr;
        float f = std::strtof(text, &end);
        if (end == text || *end) return -1;
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        putBig(value, bits, 4);
        return 4;
    }
    default: return -1;
    }
    int bytes = elementBits(a.type) / 8;
    putBig(value, static_cast<unsigned long>(n), bytes);
    return bytes;
}

// A STRING: its maximum length, the text's length, then the maximum length
// of "0" characters overwritten by the text.
int encodeString(const S7Address &a, const char *text, uint8_t *value, int room)
{
    int maximum = a.count - 2;
    if (maximum < 0 || maximum > 254 || maximum + 2 > room) return -1;
    int length = static_cast<int>(std::strlen(text));
    if (length > maximum) length = maximum;
    value[0] = static_cast<uint8_t>(maximum);
    value[1] = static_cast<uint8_t>(length);
    std::memset(value + 2, '0', static_cast<size_t>(maximum));
    std::memcpy(value + 2, text, static_cast<size_t>(length));
    return maximum + 2;
}

int orderStep(const char *, const char *, char *, int, PpoList *) { return 1; }
int readStep(const char *host, const char *, char *, int, PpoList *list) { return S7_readValues(host, list); }
int writeStep(const char *host, const char *name, const char *value, int)
{
    return S7_writeValue(host, PPO_resolve(name), value);
}

// The block is read whole every cycle: there is no order step.
const TargetDriver s7Driver = {
    TARSEL_SERVICE_S7, "Simatic", S7_loadHtmlParameters, orderStep, readStep, nullptr, writeStep,
};

} // namespace

bool S7_getAddress(const TcrEntry *entry, S7Address *a)
{
    const char *mode = TCR_getParamField(entry, 4);
    if (!mode || !stringcmp(mode, "1")) return false;
    long fields[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 5; i++)
        if (!parseNumber(TCR_getParamField(entry, 6 + i), &fields[i])) return false;
    if (fields[0] == S7_TYPE_BOOL && !parseNumber(TCR_getParamField(entry, 11), &fields[5])) return false;
    if (fields[0] < 1 || fields[0] > 255 || fields[1] < 1 || fields[1] > 65535 || fields[2] < 0 || fields[2] > 255 ||
        fields[3] < 0 || fields[3] > 65535 || fields[4] < 0 || fields[4] > 0x1FFFFF || fields[5] < 0 || fields[5] > 7)
        return false;
    *a = {static_cast<int>(fields[0]),
          static_cast<int>(fields[1]),
          static_cast<int>(fields[2]),
          static_cast<int>(fields[3]),
          fields[4],
          static_cast<int>(fields[5])};
    if (a->type == S7_TYPE_STRING) a->count += 2;
    return true;
}

int S7_valueSize(const S7Address &a)
{
    if (a.type == S7_TYPE_STRING) return a.count;
    long bits = static_cast<long>(a.count) * elementBits(a.type);
    return static_cast<int>((bits + 7) / 8);
}

int S7_buildPdu(int function, const S7Address &a, const uint8_t *data, int dataLength, uint8_t *dst, int size)
{
    long address = a.byteAddress * 8 + a.bit;
    if (a.count < 1 || a.count > 0xFFFF || a.db < 0 || a.db > 0xFFFF || a.type < 0 || a.type > 0xFF || a.bit < 0 ||
        a.bit > 7 || a.byteAddress < 0 || address > 0xFFFFFF || dataLength < 0 || dataLength > 0xFFFF ||
        S7_JOB_HEADER + dataLength > size)
        return -1;
    std::memset(dst, 0, S7_JOB_HEADER);
    dst[0] = 0x32;
    dst[1] = 1;
    putBig(dst + 4, pduReference.fetch_add(1), 2);
    putBig(dst + 6, 14, 2);
    putBig(dst + 8, static_cast<unsigned long>(dataLength), 2);
    dst[10] = static_cast<uint8_t>(function);
    dst[11] = 1;
    dst[12] = 0x12;
    dst[13] = 10;
    dst[14] = 0x10;
    dst[15] = static_cast<uint8_t>(a.type == S7_TYPE_STRING ? 2 : a.type);
    putBig(dst + 16, static_cast<unsigned long>(a.count), 2);
    putBig(dst + 18, static_cast<unsigned long>(a.db), 2);
    dst[20] = S7_AREA_DB;
    putBig(dst + 21, static_cast<unsigned long>(address), 3);
    if (dataLength > 0) std::memcpy(dst + S7_JOB_HEADER, data, static_cast<size_t>(dataLength));
    return S7_JOB_HEADER + dataLength;
}

int S7_encodeValue(const S7Address &a, const char *text, uint8_t *dst, int size)
{
    // Only values the data part can hold whole: one element, or a STRING.
    if (size < 4 || transportSize(a.type) == 0 || (a.type != S7_TYPE_STRING && a.count != 1)) return -1;
    int n = a.type == S7_TYPE_STRING ? encodeString(a, text, dst + 4, size - 4)
                                     : (size >= 8 ? encodeScalar(a, text, dst + 4) : -1);
    long length = dataLengthField(a);
    if (n < 0 || length > 0xFFFF) return -1;
    dst[0] = 0xFF;
    dst[1] = static_cast<uint8_t>(transportSize(a.type));
    putBig(dst + 2, static_cast<unsigned long>(length), 2);
    return 4 + n;
}

bool S7_decodeValue(const S7Address &a, const uint8_t *bytes, int available, char *dst)
{
    int size = S7_valueSize(a);
    if (size <= 0 || size > available || (a.type != S7_TYPE_STRING && a.count != 1)) return false;
    switch (a.type) {
    case 1: std::snprintf(dst, PPO_VALUE_SIZE, "%d", bytes[0] >> a.bit & 1); return true;
    case 2:
    case 3: std::snprintf(dst, PPO_VALUE_SIZE, "%u", bytes[0]); return true;
    case 4: std::snprintf(dst, PPO_VALUE_SIZE, "%hu", static_cast<unsigned short>(getBig(bytes, 2))); return true;
    case 5: std::snprintf(dst, PPO_VALUE_SIZE, "%hd", static_cast<short>(getBig(bytes, 2))); return true;
    case 6: std::snprintf(dst, PPO_VALUE_SIZE, "%lu", getBig(bytes, 4)); return true;
    case 7:
        std::snprintf(dst, PPO_VALUE_SIZE, "%ld", static_cast<long>(static_cast<int32_t>(getBig(bytes, 4))));
        return true;
    case 8: {
        uint32_t bits = static_cast<uint32_t>(getBig(bytes, 4));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        std::snprintf(dst, PPO_VALUE_SIZE, "%g", static_cast<double>(f));
        return true;
    }
    case S7_TYPE_STRING: {
        int length = bytes[1];
        if (length > a.count - 2) length = a.count - 2;
        if (length > PPO_VALUE_SIZE - 1) length = PPO_VALUE_SIZE - 1;
        std::memcpy(dst, bytes + 2, static_cast<size_t>(length));
        dst[length] = '\0';
        return true;
    }
    default: return false;
    }
}

void S7_loadHtmlParameters(const char *)
{
    block = {};
    block.rack = readIntParameter("RACK");
    block.slot = readIntParameter("SLOT");
    block.reads = readIntParameter("NROFONBLOCKREADS");
    block.delay = readIntParameter("ONBLOCKREADDELAY");
    block.partSize = readIntParameter("ONBLOCKREAD_PARTBLOCKSIZE");
    block.type = readIntParameter("ONBLOCKREADS7VARIABLETYPE0");
    block.length = readIntParameter("ONBLOCKREADS7REPFACTOR0");
    block.area = readIntParameter("ONBLOCKREADS7VARIABLEMEMAREA0");
    block.db = readIntParameter("ONBLOCKREADS7VARIABLESUBAREA0");
    block.start = readIntParameter("ONBLOCKREADS7VARIABLEBYTEADRESS0");
    block.bit = readIntParameter("ONBLOCKREADS7VARIABLEBITADRESS0");
    block.parts = 0;
    if (block.length > S7_BLOCK_MAX) err_append_int(7001, "S7 block of %ld bytes is too large !\n", block.length);
    else if (block.length > 0 && block.partSize <= 0)
        err_append_int(7001, "S7 part size %ld cannot read the block !\n", block.partSize);
    if (block.length <= 0 || block.length > S7_BLOCK_MAX || block.partSize <= 0) {
        block.length = 0;
        return;
    }
    std::memset(blockData, 0, static_cast<size_t>(block.length));
    block.parts = static_cast<int>((block.length + block.partSize - 1) / block.partSize);
    for (int k = 0; k < block.parts; k++) partFlags[k] = partFlag(k);
}

int S7_readValues(const char *host, PpoList *list)
{
    if (!list || block.length <= 0) return 1;
    int asked = 0, answered = 0;
    for (long done = 0, k = 0; done < block.length; done += block.partSize, k++) {
        int length = static_cast<int>(block.length - done < block.partSize ? block.length - done : block.partSize);
        uint8_t *part = blockData + done;
        // A part the page does not flag is zeros by design; one that failed
        // is zeros standing for values that did not come.
        bool read = partFlags[k] && readPart(host, block.start + done, length, part);
        if (partFlags[k]) asked++;
        if (read) answered++;
        else std::memset(part, 0, static_cast<size_t>(length));
        partRead[k] = read || !partFlags[k];
    }
    // A gateway that answered nothing is a failed read, retried by the update.
    if (asked > 0 && answered == 0) return 0;
    decodePoints(list);
    return 1;
}

int S7_writeValue(const char *host, const char *pointName, const char *text)
{
    S7Address a;
    if (!pointName || !text || !S7_getAddress(formatOf(pointName), &a) || a.area != S7_AREA_DB) return 0;
    uint8_t data[4 + 256], pdu[S7_JOB_HEADER + sizeof data];
    int dataLength = S7_encodeValue(a, text, data, sizeof data);
    if (dataLength < 0) {
        err_append(7001, "S7: the value cannot be written to this point !\n %s\n", pointName);
        return 0;
    }
    int length = S7_buildPdu(S7_FUNCTION_WRITE, a, data, dataLength, pdu, sizeof pdu);
    if (length < 0) return 0;
    int received = postJob(host, "put", pdu, length);
    return received >= 0 && !isErrorAck(replyBuffer, received) ? 1 : 0;
}

const TargetDriver *S7_getDriver() { return &s7Driver; }

void S7_reset()
{
    block = {};
    pduReference = 0;
    replyBuffer[0] = 0;
}
