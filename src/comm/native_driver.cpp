// Native CGI protocol driver and file layer. Owns the target choice, the order
// limit and block count, the refresh counter, the force-order flag and the
// text encoding of each open file.
#include "comm/native_driver.h"

#include <cstdio>
#include <cstring>

#include "app/settings.h"
#include "comm/http_client.h"
#include "comm/ilr_driver.h"
#include "comm/opc_driver.h"
#include "comm/s7_driver.h"
#include "comm/wago_tbox_driver.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"
#include "view/page_params.h"
#include "view/view_manager.h"

int remoteServiceId = TARSEL_SERVICE_NATIVE;

namespace {

constexpr int kRamHandles = RA_HANDLE_BASE + RA_MAX_HANDLES;
constexpr int kUtf16 = 2;

int cgiOrderListMaxSize = TARSEL_ORDER_LIMIT;
int orderBlockCount;
int refreshCounter;
bool forceOrder;
// Text encoding per RAM-disk handle: 0 bytes, 2 UTF-16 little-endian.
int encoding[kRamHandles];

struct TargetPrefix {
    const char *prefix;
    int code;
};

const TargetPrefix targetPrefixes[] = {
    {"Saia", TARSEL_TARGET_SAIA},       {"XX7_", TARSEL_TARGET_XX7},          {"WebFactory", TARSEL_TARGET_WEBFACTORY},
    {"Beckhoff", TARSEL_TARGET_BECKHOFF}, {"Wago", TARSEL_TARGET_WAGO},        {"Simatic", TARSEL_TARGET_SIMATIC},
    {"TBox", TARSEL_TARGET_TBOX},       {"Phoenix", TARSEL_TARGET_PHOENIX},   {"Samson", TARSEL_TARGET_SAMSON},
};

bool isRemoteHandle(int handle)
{
    return handle > TARSEL_REMOTE_HANDLE_BASE && handle < TARSEL_REMOTE_HANDLE_BASE + SRVR_FILE_SLOTS;
}

// The RAM-disk handle behind a file handle, -1 when there is none.
int ramHandleOf(int handle)
{
    if (isRemoteHandle(handle)) return SRVR_fileHandle(handle - TARSEL_REMOTE_HANDLE_BASE);
    return handle >= 0 && handle < kRamHandles ? handle : -1;
}

// A text file that begins with 0xFF 0xFE is UTF-16 little-endian: reading goes
// on after these two bytes. Any other file is read again from its start.
void detectTextEncoding(int ram)
{
    int first = RA_fileGetc(ram);
    int second = first == 0xFF ? RA_fileGetc(ram) : -1;
    if (first == 0xFF && second == 0xFE) {
        encoding[ram] = kUtf16;
        return;
    }
    encoding[ram] = 0;
    RA_seek(ram, 0);
}

// Stores one character of a line; answers the new length.
int storeCharacter(char *buffer, int length, int max, int c)
{
    if (c <= 255) {
        if (length < max - 1) buffer[length++] = static_cast<char>(c);
        return length;
    }
    if (length + 4 <= max - 1) {
        buffer[length++] = '\\';
        buffer[length++] = 'u';
        buffer[length++] = static_cast<char>(c >> 8);
        buffer[length++] = static_cast<char>(c & 255);
    }
    return length;
}

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
    if (HT_readHtmlParameter("cgiOrderListMaxSize", value) && value[0]) {
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

int SRVR_CgiCall(const char *host, const char *text, int size)
{
    char request[TARSEL_VALUE_SIZE * 4];
    safe_strncpy(request, text ? text : "", sizeof request);
    (void)size;
    return RelayURL(host, RLY_CGI_CALL, nullptr, request, sizeof request);
}

int SRVR_readCgiCall(const char *host, const char *path, char *dst, int size)
{
    return RelayURL(host, RLY_CGI_READ, path, dst, size);
}

// ---- files ---------------------------------------------------------------------------

int Tarsel_fileOpen(const char *name, const char *mode)
{
    if (!name || name[0] == '\0' || !mode) return -1;
    int handle, ram;
    if (SRVR_isRemoteFileServer()) {
        int slot = SRVR_fileOpen(name, mode);
        if (slot <= 0) return -1;
        handle = TARSEL_REMOTE_HANDLE_BASE + slot;
        ram = SRVR_fileHandle(slot);
    } else {
        handle = ram = RA_fileOpen(name, mode);
        if (handle < 0) return -1;
    }
    encoding[ram] = 0;
    if (mode[0] == 'r' && mode[1] == 't') detectTextEncoding(ram);
    return handle;
}

int Tarsel_fileGetc(int handle)
{
    int ram = ramHandleOf(handle);
    if (ram < 0) return -1;
    int low = RA_fileGetc(ram);
    if (encoding[ram] != kUtf16 || low < 0) return low;
    int high = RA_fileGetc(ram);
    return high < 0 ? low : low | high << 8;
}

int Tarsel_fileRead(void *buffer, int size, int count, int handle)
{
    int ram = ramHandleOf(handle);
    if (ram < 0) return -1;
    return RA_fileRead(buffer, size, count, ram);
}

int Tarsel_fileReadln(char *buffer, int max, int handle, int *endFlag)
{
    if (!buffer || max < 1) return 0;
    int length = 0;
    for (;;) {
        int c = Tarsel_fileGetc(handle);
        if (c < 0) {
            if (endFlag) *endFlag = 1;
            break;
        }
        if (c == '\n') break;
        length = storeCharacter(buffer, length, max, c);
    }
    bool full = length >= max - 1;
    if (length > 0 && buffer[length - 1] == '\r') length--;
    buffer[length] = '\0';
    if (full) err_append(0, "buffer OVF in readln()!\n", nullptr);
    return length;
}

int Tarsel_filePutc(int character, int handle)
{
    if (isRemoteHandle(handle) || handle < RA_HANDLE_BASE || handle >= kRamHandles) return -1;
    return RA_filePutc(character, handle);
}

int Tarsel_fileSize(int handle)
{
    if (isRemoteHandle(handle)) return SRVR_fileSize(handle - TARSEL_REMOTE_HANDLE_BASE);
    return RA_fileSize(handle);
}

int Tarsel_getFileHandle(int handle) { return ramHandleOf(handle); }

void Tarsel_fileCloseLetFileInCache(int handle, int keep)
{
    int ram = ramHandleOf(handle);
    if (ram >= 0) encoding[ram] = 0;
    if (isRemoteHandle(handle)) SRVR_fileClose(handle - TARSEL_REMOTE_HANDLE_BASE, keep);
    else if (ram >= 0) RA_fileClose(ram);
}

void Tarsel_fileClose(int handle) { Tarsel_fileCloseLetFileInCache(handle, 0); }

int Tarsel_loadFileTo(const char *destination, const char *fileName)
{
    if (!SRVR_isRemoteFileServer()) return 0;
    return TarselLinkGetFile(GetRemoteIpAddress(), VM_GetDocumentBase(), fileName, destination);
}

int Tarsel_loadMsgBox(const char *fileName)
{
    if (!SRVR_isRemoteFileServer()) return 1;
    int result = TarselLinkGetFile(GetRemoteIpAddress(), VM_GetDocumentBase(), fileName, fileName);
    if (result == 0) return 1;
    err_append(result, "File not found !\n %s\n", fileName ? fileName : "");
    return 0;
}
