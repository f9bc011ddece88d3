// ILR read protocol. Owns the probe flag (the target was asked for ILR on this
// page) and the reply buffer. The request is built in the RAM-disk file
// "_ILR_.req" and sent over a socket slot of the HTTP client; the values go
// into the read list of the process-point cache. Main thread only.
#include "comm/ilr_driver.h"

#include <cstdio>
#include <cstring>

#include "comm/driver_table.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/slot_exchange.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr const char *kRequestFile = "_ILR_.req";
constexpr const char *kServiceFile = "cgi-bin/ILRReadValues.exe";
constexpr const char *kNoCache = "Cache-Control: no-cache\r\n";
constexpr int kPiece = 1024;
constexpr int kHeaderLimit = 4096;

bool connected; // the probe has run for this page
char replyBuffer[ILR_REPLY_SIZE];

// Only the last attempt of an update reports a reply that did not come.
bool lastAttempt() { return pterm.comm_err_count >= pterm.comm_err_limit; }

const char *hostOrLast(const char *host) { return host && host[0] ? host : nullptr; }

int noCacheLength() { return static_cast<int>(std::strlen(kNoCache)); }

bool writeText(int handle, const char *text)
{
    int n = static_cast<int>(std::strlen(text));
    return n == 0 || RA_fileWrite(text, 1, n, handle) == n;
}

// A name inside the XML text: "&", "<" and ">" are written as entities, the
// way the target's reader decodes them.
bool writeName(int handle, const char *name)
{
    char escaped[PPO_VALUE_SIZE * 5];
    size_t n = 0;
    for (const char *c = name; *c && n + 6 < sizeof escaped; c++) {
        const char *entity = *c == '&' ? "&amp;" : *c == '<' ? "&lt;" : *c == '>' ? "&gt;" : nullptr;
        if (!entity) {
            escaped[n++] = *c;
            continue;
        }
        std::memcpy(escaped + n, entity, std::strlen(entity));
        n += std::strlen(entity);
    }
    escaped[n] = '\0';
    return writeText(handle, escaped);
}

bool writeRequest(int handle, const PpoList *list)
{
    char head[512];
    std::snprintf(head, sizeof head,
                  "<body><version>1.0</version><client>Panterm</client><client_ver>%s</client_ver>"
                  "<file_name>%s</file_name><item_list_size>%d</item_list_size><item_list>",
                  getAppVersion(), HK_hooks()->pictureOrderFileName(), list->count);
    if (!writeText(handle, head)) return false;
    for (const PpoRecord *r = list->first; r; r = r->next) {
        if (!r->name || !r->name[0]) continue;
        if (!writeText(handle, "<i><n>") || !writeName(handle, PPO_resolve(r->name)) || !writeText(handle, "</n></i>"))
            return false;
    }
    return writeText(handle, "</item_list></body>");
}

// Builds the request file and opens it for reading: its handle, or -1.
int createRequest(const PpoList *list)
{
    int handle = RA_fileOpen(kRequestFile, "w");
    bool written = handle >= 0 && writeRequest(handle, list);
    if (handle >= 0) RA_fileClose(handle);
    handle = written ? RA_fileOpen(kRequestFile, "r") : -1;
    if (handle < 0) err_append(0, "ILR_readValues() failed!\n Failed to create temporary file in ramdisk!\n", nullptr);
    return handle;
}

// Sends the request file after its header; false when a piece could not be
// read or sent.
bool sendRequest(int slot, int handle)
{
    int size = RA_fileSize(handle);
    if (SRVR_PutPostHeader(slot, HK_hooks()->documentBase(), kServiceFile, "text/xml; charset=utf-8", size, kNoCache,
                           noCacheLength()) <= 0) {
        err_append(0, "ILR_readValues() failed!\n Failed to send POST command\n", nullptr);
        return false;
    }
    char piece[kPiece + 1];
    for (int sent = 0; sent < size;) {
        int n = RA_fileRead(piece, 1, kPiece, handle);
        if (n <= 0 || SRVR_PutBuffer(slot, piece, n) != n) {
            err_append(0, "ILR_readValues() failed!\n", nullptr);
            return false;
        }
        piece[n] = '\0';
        if (pterm.debug_level >= 2) log_append(0, " %s\n", piece);
        sent += n;
    }
    return SRVR_Flush(slot) >= 0;
}

// Reads the reply into the reply buffer. In the probe nothing is reported.
bool readResult(int slot, bool probe)
{
    SxReply reply;
    bool report = !probe && lastAttempt();
    if (!SX_readHeader(slot, kHeaderLimit, &reply, replyBuffer, sizeof replyBuffer)) {
        if (report) err_append_int(0, "ILR_readValues() failed! nr. of bytes returned = %d\n", reply.headerBytes);
        return false;
    }
    if (reply.status != 200) {
        char line[256];
        if (!report) return false;
        if (SX_statusLine(&reply, line, sizeof line)) err_append(0, "ILR_readValues() failed!\n%s\n", line);
        else err_append(0, "ILR_readValues() failed!", nullptr);
        return false;
    }
    if (SX_readBody(slot, &reply, replyBuffer, sizeof replyBuffer, "</body>")) return true;
    if (report) {
        char message[256];
        std::snprintf(message, sizeof message,
                      "ILR_readValues() failed!Content-Length not reached\n - Nr. of bytes read: %d\n"
                      " - Content-Length   : %ld\n",
                      reply.bodyLength, reply.contentLength);
        err_append(0, message, nullptr);
    }
    return false;
}

// The text between open and close inside [from, to), or null.
const char *between(const char *from, const char *to, const char *open, const char *close, size_t *length)
{
    const char *start = std::strstr(from, open);
    if (!start || start >= to) return nullptr;
    start += std::strlen(open);
    const char *end = std::strstr(start, close);
    if (!end || end > to) return nullptr;
    *length = static_cast<size_t>(end - start);
    return start;
}

void storeItem(PpoRecord *record, const char *item, const char *itemEnd)
{
    size_t length = 0;
    const char *value = between(item, itemEnd, "<v>", "</v>", &length);
    if (!value || length >= PPO_VALUE_SIZE) return;
    char text[PPO_VALUE_SIZE];
    std::memcpy(text, value, length);
    text[length] = '\0';
    PPO_updateValue(record, text);
}

// Items are matched to the read list by position. A reply without an item
// list, or with another number of items than the list, is a failed read.
bool parseResult(const char *reply, PpoList *list)
{
    const char *p = std::strstr(reply, "<item_list>");
    if (!p) {
        if (lastAttempt()) err_append(0, "ILR_readValues() failed! no item list\n", nullptr);
        return false;
    }
    const char *listEnd = std::strstr(p, "</item_list>");
    int walked = 0;
    for (PpoRecord *r = list->first; r; r = r->next) {
        const char *item = std::strstr(p, "<i>");
        const char *itemEnd = item ? std::strstr(item, "</i>") : nullptr;
        if (!itemEnd) break;
        walked++;
        if (r->name && r->name[0]) storeItem(r, item, itemEnd);
        p = itemEnd + 4;
    }
    const char *more = std::strstr(p, "<i>");
    if (walked == list->count && (!more || (listEnd && more > listEnd))) return true;
    if (lastAttempt()) err_append(0, "ILR_readValues() failed! counter missmatch\n", nullptr);
    return false;
}

int nothingToDo(const char *, const char *, char *, int, PpoList *) { return 1; }

// ILR has no order step, and the update reads through readList instead.
const TargetDriver ilrDriver = {
    TARSEL_SERVICE_ILR, nullptr, nullptr, nothingToDo, nothingToDo, SRVR_ILR_readValues, SP_writeValue,
};

} // namespace

void ILR_loadHtmlParameters(const char *)
{
    connected = false;
    char value[PPO_VALUE_SIZE] = "";
    if (HK_hooks()->readPageParameter("SOAPIF", value) && stringcmp(value, ILR_SIGNATURE))
        remoteServiceId = TARSEL_SERVICE_ILR;
    if (remoteServiceId != TARSEL_SERVICE_ILR) ILR_getSrvInfo(HK_hooks()->remoteServer());
}

int ILR_getSrvInfo(const char *host)
{
    connected = true;
    if (remoteServiceId == TARSEL_SERVICE_ILR || GetRemoteStatus() == 0) return 1;
    int slot = SRVR_OpenSocket(hostOrLast(host));
    if (!slot) return 1;
    if (SRVR_WriteGetHeader(slot, HK_hooks()->documentBase(), "cgi-bin/GetSrvInfo.exe", kNoCache, noCacheLength()) >
            0 &&
        readResult(slot, true)) {
        if (std::strstr(replyBuffer, ILR_SIGNATURE)) remoteServiceId = TARSEL_SERVICE_ILR;
        if (pterm.debug_level >= 2) log_append(0, " .../cgi-bin/GetSrvInfo.exe\n%s\n", replyBuffer);
    }
    SRVR_CloseSocket(slot);
    return 1;
}

int ILR_readValues(const char *host, PpoList *list)
{
    if (!list) return 0;
    if (!connected) ILR_getSrvInfo(host);
    int file = createRequest(list);
    if (file < 0) return 0;
    int result = 0;
    int slot = SRVR_OpenSocket(hostOrLast(host));
    if (slot && sendRequest(slot, file) && readResult(slot, false)) result = parseResult(replyBuffer, list) ? 1 : 0;
    if (slot) SRVR_CloseSocket(slot);
    RA_fileClose(file);
    return result;
}

int SRVR_ILR_readValues(const char *host, PpoList *list) { return ILR_readValues(host, list); }

const TargetDriver *ILR_getDriver() { return &ilrDriver; }

void ILR_reset()
{
    connected = false;
    replyBuffer[0] = '\0';
}
