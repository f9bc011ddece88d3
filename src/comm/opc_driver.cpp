// OPC XML-DA driver. Owns the service path, the connected flag, the request
// and reply buffers and the busy flag (one request at a time, a second caller
// polls every 5 ms). Requests go over a socket slot of the HTTP client; values
// go into the read list of the process-point cache, their XML types come from
// the value formats.
#include "comm/opc_driver.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comm/driver_table.h"
#include "comm/slot_exchange.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr const char *kNoCache = "Cache-Control: no-cache\r\n";
constexpr const char *kItemTag = "<ns1:Items xsi:type=\"ns1:ItemValue\" ";
constexpr const char *kFailed = "Failed to read values from target!\n";
constexpr int kHeaderLimit = 4096;
constexpr int kBusyPollMs = 5;
constexpr int kReportSize = 512;

char servicePath[256];
bool connected;
char requestBuffer[BH_BUFFER_SIZE];
char replyBuffer[BH_BUFFER_SIZE];
std::atomic_flag busy = ATOMIC_FLAG_INIT;

// ---- the busy flag ------------------------------------------------------------------

void acquire()
{
    while (busy.test_and_set(std::memory_order_acquire)) SYS_Sleep(kBusyPollMs);
}

void release() { busy.clear(std::memory_order_release); }

// ---- request texts --------------------------------------------------------------------

struct XmlText {
    char *data;
    int size;
    int length;
    bool overflow;
};

void append(XmlText &t, const char *text, int n)
{
    if (t.overflow || n > t.size - 1 - t.length) {
        t.overflow = true;
        return;
    }
    std::memcpy(t.data + t.length, text, static_cast<size_t>(n));
    t.length += n;
    t.data[t.length] = '\0';
}

void append(XmlText &t, const char *text) { append(t, text, static_cast<int>(std::strlen(text))); }

// Text inside an element or an attribute value: the markup characters, the
// line ends and every byte of 128 and above become references.
void appendEscaped(XmlText &t, const char *text)
{
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c; c++) {
        char number[8];
        switch (*c) {
        case '&': append(t, "&amp;"); break;
        case '<': append(t, "&lt;"); break;
        case '>': append(t, "&gt;"); break;
        case '\'': append(t, "&apos;"); break;
        case '"': append(t, "&quot;"); break;
        case '\n': append(t, "&#xA;"); break;
        case '\r': append(t, "&#xD;"); break;
        default:
            if (*c >= 128) {
                std::snprintf(number, sizeof number, "&#%u;", *c);
                append(t, number);
            } else {
                append(t, reinterpret_cast<const char *>(c), 1);
            }
        }
    }
}

void appendEnvelopeStart(XmlText &t)
{
    append(t, "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
              "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
              "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>");
}

// ---- replies ----------------------------------------------------------------------------

bool lastAttempt() { return pterm.comm_err_count >= pterm.comm_err_limit; }
const char *hostOrLast(const char *host) { return host && host[0] ? host : nullptr; }

// Reports format with the text from start to end (cut to the report's size).
void reportPart(const char *format, const char *start, const char *end)
{
    char text[kReportSize];
    size_t n = end ? static_cast<size_t>(end - start) : std::strlen(start);
    if (n >= sizeof text) n = sizeof text - 1;
    std::memcpy(text, start, n);
    text[n] = '\0';
    err_append(0, format, text);
}

// Reads the reply of a request into the reply buffer; 1 when it came with
// status 200 and whole.
int readReply(int slot)
{
    SxReply reply;
    if (!SX_readHeader(slot, kHeaderLimit, &reply, replyBuffer, BH_BUFFER_SIZE - 1)) {
        err_append_int(0, "Failed to read values from target!\n nr. of bytes returned = %d\n\n", reply.headerBytes);
        return 0;
    }
    if (reply.status != 200) {
        char line[256];
        if (SX_statusLine(&reply, line, sizeof line))
            err_append(0, "Failed to read values from target!\n\n%s\n\n", line);
        else err_append(0, kFailed, nullptr);
        return 0;
    }
    if (SX_readBody(slot, &reply, replyBuffer, BH_BUFFER_SIZE - 1, nullptr)) return 1;
    if (lastAttempt()) {
        char message[kReportSize];
        std::snprintf(message, sizeof message,
                      "Failed to read values from target!\nContent-Length not reached\n - Nr. of bytes read: %d\n"
                      " - Content-Length   : %ld\n",
                      reply.bodyLength, reply.contentLength);
        err_append(0, message, nullptr);
    }
    return 0;
}

// The probe of the service; the caller holds the busy flag.
int connectLocked(const char *host)
{
    if (connected) return 1;
    int slot = SRVR_OpenSocket(hostOrLast(host));
    if (slot) {
        SxReply reply;
        if (SRVR_WriteGetHeader(slot, servicePath, "", kNoCache, static_cast<int>(std::strlen(kNoCache))) > 0 &&
            SX_readHeader(slot, kHeaderLimit, &reply, replyBuffer, BH_BUFFER_SIZE - 1))
            connected = reply.status == 200;
        SRVR_CloseSocket(slot);
    }
    if (!connected) err_append(0, "Failed to connect on target!\n", nullptr);
    return connected ? 1 : 0;
}

// Sends the request buffer as the action ("Read", "Write") and reads the
// reply; the caller holds the busy flag.
int sendOpcXmlCommand(const char *host, const char *action, int length)
{
    replyBuffer[0] = '\0';
    if (!connectLocked(host)) return 0;
    int slot = SRVR_OpenSocket(hostOrLast(host));
    if (!slot) return 0;
    char extra[256];
    std::snprintf(extra, sizeof extra, "Accept-Language: *\r\nCache-Control: no-cache\r\nSOAPAction: \"%s%s\"\r\n",
                  BH_NAMESPACE, action);
    int result = 0;
    if (SRVR_PutPostHeader(slot, servicePath, "", "text/xml; charset=utf-8", length, extra,
                           static_cast<int>(std::strlen(extra))) <= 0 ||
        SRVR_PutBuffer(slot, requestBuffer, length) != length || SRVR_Flush(slot) < 0) {
        err_append(0, "Failed to read values from target!\n Unreachable\n", nullptr);
    } else {
        if (pterm.debug_level >= 2) {
            log_append(0, "SOAPAction: \"" BH_NAMESPACE "%s\"\n", action);
            log_append(0, " %s\n", requestBuffer);
        }
        result = readReply(slot);
    }
    SRVR_CloseSocket(slot);
    return result;
}

// ---- parsing a Read reply -----------------------------------------------------------

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The byte of a character reference "&#N;" or "&#xH;" from p to semi; -1 when
// it is none (other characters, 0, or above 255).
int characterReference(const char *p, const char *semi)
{
    bool hex = p[2] == 'x' || p[2] == 'X';
    const char *digits = p + (hex ? 3 : 2);
    if (digits >= semi || semi - digits > 4) return -1;
    for (const char *d = digits; d < semi; d++)
        if (hex ? !isHex(*d) : !isDigit(*d)) return -1;
    long value = std::strtol(digits, nullptr, hex ? 16 : 10);
    return value >= 1 && value <= 255 ? static_cast<int>(value) : -1;
}

// The character an entity at p stands for; -1 to copy it unchanged.
int entityAt(const char *p, int *length)
{
    static const struct {
        const char *name;
        char c;
    } named[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}, {"&amp;", '&'}};
    for (const auto &e : named) {
        size_t n = std::strlen(e.name);
        if (std::strncmp(p, e.name, n) == 0) {
            *length = static_cast<int>(n);
            return static_cast<unsigned char>(e.c);
        }
    }
    const char *semi = std::strchr(p, ';');
    if (p[1] != '#' || !semi) return -1;
    *length = static_cast<int>(semi - p) + 1;
    return characterReference(p, semi);
}

// Unescapes a string value in place.
void unescape(char *text)
{
    char *out = text;
    for (const char *p = text; *p;) {
        int length = 0, c = *p == '&' ? entityAt(p, &length) : -1;
        if (c < 0) {
            *out++ = *p++;
            continue;
        }
        *out++ = static_cast<char>(c);
        p += length;
    }
    *out = '\0';
}

// text from start (in the reply) up to end, searched only before limit.
char *findBefore(char *start, const char *limit, const char *text)
{
    char *found = std::strstr(start, text);
    return found && (!limit || found < limit) ? found : nullptr;
}

// Stores the value of the item whose start tag ends at tagEnd, when it has
// one before the next item; answers where the walk goes on.
char *storeItemValue(PpoRecord *record, char *tagEnd)
{
    const char *nextItem = std::strstr(tagEnd, kItemTag);
    char *value = findBefore(tagEnd, nextItem, "<ns1:Value");
    char *valueTagEnd = value ? std::strchr(value, '>') : nullptr;
    if (!valueTagEnd) return tagEnd;
    bool empty = valueTagEnd[-1] == '/';
    char *close = empty ? valueTagEnd : std::strstr(valueTagEnd, "</ns1:Value>");
    if (!close || (nextItem && close > nextItem)) return tagEnd;
    size_t length = empty ? 0 : static_cast<size_t>(close - valueTagEnd - 1);
    if (length >= PPO_VALUE_SIZE) return close;
    char text[PPO_VALUE_SIZE];
    std::memcpy(text, valueTagEnd + 1, length);
    text[length] = '\0';
    const char *type = findBefore(value, valueTagEnd, "xsi:type=\"");
    if (type && prefixcmp(type + 10, "xsd:boolean\""))
        safe_strncpy(text, stringcmp(text, "true") ? "1" : "0", sizeof text);
    else if (type && prefixcmp(type + 10, "xsd:string\"") && length >= 4) unescape(text);
    PPO_updateValue(record, text);
    return close;
}

// An item that carries a ResultID: reported; without a value before the next
// item name it reads "Not available".
char *takeItemWithResult(PpoRecord *record, char *resultId, char *tagEnd)
{
    reportPart("Failed to read values from target!\n%s\n\n", resultId, tagEnd);
    const char *nextName = std::strstr(tagEnd, "ItemName=\"");
    if (!findBefore(tagEnd, nextName, "<ns1:Value")) {
        PPO_updateValue(record, PPO_NOT_AVAILABLE);
        return tagEnd;
    }
    return storeItemValue(record, tagEnd);
}

// ---- the driver's record --------------------------------------------------------------

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

int BH_buildReadRequest(const PpoList *list, char *dst, int size)
{
    XmlText t = {dst, size, 0, size < 1};
    if (size > 0) dst[0] = '\0';
    appendEnvelopeStart(t);
    append(t, "<Read xmlns=\"" BH_NAMESPACE "\"><Options ReturnErrorText=\"true\" ReturnDiagnosticInfo=\"false\" "
              "ReturnItemTime=\"false\" ReturnItemPath=\"true\" ReturnItemName=\"true\" /><ItemList>");
    for (const PpoRecord *r = list->first; r; r = r->next) {
        append(t, "<Items ItemPath=\"\" ItemName=\"");
        appendEscaped(t, PPO_resolve(r->name));
        append(t, "\" />");
    }
    append(t, "</ItemList></Read></soap:Body></soap:Envelope>\r\n");
    return t.overflow ? -1 : t.length;
}

int BH_buildWriteRequest(const char *itemName, const char *type, const char *value, char *dst, int size)
{
    XmlText t = {dst, size, 0, size < 1};
    if (size > 0) dst[0] = '\0';
    appendEnvelopeStart(t);
    append(t, "<Write xmlns=\"" BH_NAMESPACE "\" ReturnValuesOnReply=\"false\"><Options ReturnDiagnosticInfo=\"true\" "
              "ReturnItemTime=\"false\" ReturnItemPath=\"true\" ReturnItemName=\"true\" /><ItemList>"
              "<Items ItemPath=\"\" ItemName=\"");
    appendEscaped(t, itemName);
    append(t, "\"><Value xsi:type=\"xsd:");
    appendEscaped(t, type);
    append(t, "\">");
    appendEscaped(t, value);
    append(t, "</Value></Items></ItemList></Write></soap:Body></soap:Envelope>\r\n");
    return t.overflow ? -1 : t.length;
}

int BH_parseItemValues(char *reply, PpoList *list)
{
    char *p = std::strstr(reply, "<ns1:ReadResponse>");
    if (!p) {
        const char *fault = std::strstr(reply, "<SOAP-ENV:Fault>");
        if (fault) reportPart("Failed to read values from target!\n%s\n\n", fault, nullptr);
        else err_append(0, kFailed, nullptr);
        return 0;
    }
    int walked = 0;
    for (PpoRecord *r = list->first; r; r = r->next) {
        char *item = std::strstr(p, kItemTag);
        char *tagEnd = item ? std::strchr(item, '>') : nullptr;
        if (!tagEnd) break;
        walked++;
        char *resultId = findBefore(item, tagEnd, "ResultID=");
        p = resultId ? takeItemWithResult(r, resultId, tagEnd) : storeItemValue(r, tagEnd);
    }
    if (walked != list->count) err_append(0, "Failed to read values from target!\n counter missmatch\n", nullptr);
    if (const char *errors = std::strstr(reply, "<ns1:Errors ")) {
        const char *end = std::strstr(errors, "</ns1:Errors>");
        if (end) reportPart("Failed to read values from target!\n%s\n\n", errors, end + 13);
    }
    return 1;
}

const char *BH_typeOf(const char *point)
{
    const TcrEntry *entry = nullptr;
    if (const PpoRecord *r = point ? PPO_lookup(point) : nullptr) entry = r->format;
    if (!entry && point) entry = TCR_getTcrPointer(point);
    if (!entry && point) entry = TCR_getTcrPointerWithSymbol(point);
    const char *format = TCR_getFormat(entry);
    if (!format) return "string";
    if (prefixicmp(format, "FLT2DEC")) return "float";
    if (prefixicmp(format, "DEC")) return "int";
    return format;
}

void BH_loadHtmlParameters(const char *)
{
    acquire();
    connected = false;
    servicePath[0] = '\0';
    char value[PPO_VALUE_SIZE] = "";
    if (HK_hooks()->readPageParameter("XMLOPCWebserviceAdress", value)) {
        const char *path = value;
        while (*path == '/') path++;
        safe_strncpy(servicePath, path, sizeof servicePath);
    }
    release();
}

int BH_connect(const char *host)
{
    acquire();
    int result = connectLocked(host);
    release();
    return result;
}

int BH_readValues(const char *host, PpoList *list)
{
    if (!list || !list->first) return 1;
    acquire();
    int result = 0;
    int length = BH_buildReadRequest(list, requestBuffer, BH_BUFFER_SIZE);
    if (length < 0) err_append(0, "Failed to read values from target!\n request too long\n", nullptr);
    else result = sendOpcXmlCommand(host, "Read", length);
    if (result) result = BH_parseItemValues(replyBuffer, list);
    release();
    return result;
}

int BH_writeValue(const char *host, const char *point, const char *itemName, const char *text)
{
    if (!itemName || !text) return 0;
    acquire();
    int result = 0;
    int length = BH_buildWriteRequest(itemName, BH_typeOf(point), text, requestBuffer, BH_BUFFER_SIZE);
    if (length >= 0) result = sendOpcXmlCommand(host, "Write", length);
    if (const char *errors = result ? std::strstr(replyBuffer, "<ns1:Errors ") : nullptr)
        reportPart("Write value failed!\n%s\n\n", errors, std::strstr(errors, "</ns1:Errors>"));
    release();
    return result;
}

const TargetDriver *BH_getDriver() { return &opcDriver; }

void BH_reset()
{
    servicePath[0] = '\0';
    connected = false;
    requestBuffer[0] = '\0';
    replyBuffer[0] = '\0';
    busy.clear();
}
