// Process points and value sources: the read list and its update cycle, and
// the dispatch of reads and writes by source type.
#include "data/process_points.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/settings.h"
#include "comm/target_link.h"
#include "data/containers.h"
#include "data/source_names.h"
#include "data/value_format.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

constexpr int kAttempts = 3;
constexpr int kIlrService = 10;

PpoList readList;
int IsReady;
char ppoOrderString[PPO_ORDER_SIZE]; // the order being built; then the reply of the value file
char ppoOrderStrPrv[PPO_ORDER_SIZE]; // the order last sent

// Indexed by source type.
const char *const kTypeNames[] = {
    "UNDEFINED", "PPO",         "HTMLTAG",           "STRING", "FILE", "CO", "TEQINDEX", "URL",
    "SYMBOL",    "PASSWORDPPO", "PASSWORDCONTAINER", "COLOR",  "FONT", "?",  "CGI",
};

const char *const kIgnoredSchemes[] = {"mailto:", "ftp:", "file:", "telnet:", "gopher:",
                                       "news:",   "nntp:", "wais:", "prospero:"};

PpoRecord *appendRecord(const char *name, TcrEntry *format)
{
    size_t nameSize = std::strlen(name) + 1;
    auto *r = static_cast<PpoRecord *>(MU_alloc(sizeof(PpoRecord) + nameSize));
    if (!r) return nullptr;
    r->name = reinterpret_cast<char *>(r + 1);
    std::memcpy(r->name, name, nameSize);
    r->value[0] = '\0';
    r->format = format;
    r->next = nullptr;
    if (readList.last)
        readList.last->next = r;
    else
        readList.first = r;
    readList.last = r;
    readList.count++;
    return r;
}

PpoRecord *lookupReported(const char *name)
{
    PpoRecord *r = PPO_lookup(name);
    if (!r && name && !std::strchr(name, '@')) err_append(2001, "Undefined PPO !\n \"%s\"\n", name);
    return r;
}

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
    int head = std::snprintf(ppoOrderString, PPO_ORDER_SIZE, "%s+dummy+%d", VM_GetOrderFileName(), period);
    size_t length = head < 0 ? 0 : static_cast<size_t>(head);
    if (length >= PPO_ORDER_SIZE) length = PPO_ORDER_SIZE - 1;
    for (PpoRecord *r = readList.first; r; r = r->next) {
        if (!appendOrder(&length, "+") || !appendOrder(&length, PPO_resolve(r->name))) {
            log_append_int(1, "PPO order string cut at %ld characters\n", static_cast<long>(length));
            return;
        }
    }
}

// Orders the read list when it changed (or when forced) and reads the values.
// An order that failed is sent again by the next attempt.
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
        if (!SRVR_OrderValue(VM_RemoteServer, ppoOrderString, reply, sizeof reply, &readList)) {
            ppoOrderStrPrv[0] = '\0';
            if (lastAttempt) err_append(0, "OrderValues on remote host has failed !\n \"%s\"\n", VM_RemoteServer);
            return 0;
        }
    }
    ppoOrderString[0] = '\0';
    if (!SRVR_ReadFile(VM_RemoteServer, VM_GetOrderFileName(), ppoOrderString, PPO_ORDER_SIZE, &readList)) {
        // A target that lost the order (it restarted) is ordered again at once.
        ppoOrderStrPrv[0] = '\0';
        if (lastAttempt) err_append(0, "ReadFile on remote host has failed !\n \"%s\"\n", VM_RemoteServer);
        return 0;
    }
    ppoOrderString[PPO_ORDER_SIZE - 1] = '\0';
    PPO_parseValuesString(ppoOrderString, -1);
    return 1;
}

int readFileSource(char *dst, const char *name)
{
    int h = Tarsel_fileOpen(name, "r");
    if (h < 0) {
        err_fileNotFound(name);
        return 0;
    }
    int n = 0, c;
    while (n < PPO_VALUE_SIZE - 1 && (c = Tarsel_fileGetc(h)) != -1) dst[n++] = static_cast<char>(c);
    dst[n] = '\0';
    Tarsel_fileClose(h);
    return 1;
}

int writeFileSource(const char *value, const char *name)
{
    int h = Tarsel_fileOpen(name, "w");
    if (h < 0) return 0;
    for (const char *p = value; *p; p++) Tarsel_filePutc(static_cast<unsigned char>(*p), h);
    Tarsel_fileClose(h);
    return 1;
}

int writeContainerSource(const char *value, const char *name)
{
    int written = HT_writeContainer(resolveInfoName(name), value);
    if (written && CO_isUpdateAfterCoWrite()) scheduleNewRefresh();
    return written;
}

// Follows a link: the value is the address, the source name the target window.
int followLink(const char *value, const char *window)
{
    const char *address = resolveInfoName(value);
    if (!address || !address[0]) return 0;
    for (const char *scheme : kIgnoredSchemes)
        if (prefixicmp(address, scheme)) return 0;
    if (prefixicmp(address, "http:") && stringcmp(window, "_blank")) return 0;
    if (HT_isHtmlFile(address)) return VM_requestLoadHtmlFile(address);
    if (str_endsWithIgnoreCase(address, ".wav") || str_endsWithIgnoreCase(address, ".wave")) return 0;
    return Tarsel_loadFileTo(address, address);
}

} // namespace

const char *getRMAText(int type)
{
    if (type < 0 || type >= static_cast<int>(sizeof kTypeNames / sizeof kTypeNames[0])) return "?";
    return kTypeNames[type];
}

PpoList *PPO_getList() { return &readList; }

int PPO_addToList(const char *name, TcrEntry *format)
{
    if (!name || !name[0] || PPO_lookup(name)) return 0;
    return appendRecord(name, format) ? 1 : 0;
}

PpoRecord *PPO_lookup(const char *name)
{
    if (!name) return nullptr;
    for (PpoRecord *r = readList.first; r; r = r->next)
        if (stringcmp(r->name, name)) return r;
    return nullptr;
}

int PPO_getValue(const char *name, char *dst)
{
    PpoRecord *r = lookupReported(name);
    if (!r) {
        if (dst) dst[0] = '\0';
        return 0;
    }
    if (dst) safe_strncpy(dst, r->value, PPO_VALUE_SIZE);
    return 1;
}

char *PPO_getValuePtr(const char *name)
{
    PpoRecord *r = lookupReported(name);
    return r ? r->value : nullptr;
}

int PPO_writeValueNew(const char *name, const char *value, int, int create)
{
    PpoRecord *r = PPO_lookup(name);
    if (!r && create && name && name[0]) r = appendRecord(name, nullptr);
    if (!r) {
        err_append(2002, "Failed to write on PPO !\n \"%s\"\n", name ? name : "");
        return 0;
    }
    PPO_updateValue(r, value);
    return 1;
}

void PPO_updateValue(PpoRecord *record, const char *text)
{
    if (!record) return;
    safe_strncpy(record->value, text ? text : "", PPO_VALUE_SIZE);
    PPO_updateFormatedPPO(record);
}

void PPO_updateFormatedPPO(PpoRecord *record)
{
    if (record && record->format) TCR_readFormatedPPO(record->format, record->value);
}

char *PPO_parseValuesString(char *text, int max)
{
    if (!text) return text;
    char *pos = text;
    int taken = 0;
    for (PpoRecord *r = readList.first; r && pos[0] && (max < 0 || taken < max); r = r->next, taken++) {
        char *equals = std::strchr(pos + 1, '=');
        if (!equals) break;
        char *value = equals + 1;
        char *lineEnd = std::strchr(value, '\n');
        if (lineEnd) *lineEnd = '\0';
        PPO_updateValue(r, value);
        pos = lineEnd ? lineEnd + 1 : value + std::strlen(value);
    }
    return pos;
}

void PPO_invalidAllValues()
{
    for (PpoRecord *r = readList.first; r; r = r->next) safe_strncpy(r->value, PPO_NOT_AVAILABLE, PPO_VALUE_SIZE);
}

void PPO_destroyList()
{
    IsReady = 0;
    readList = PpoList{};
    MU_freeAll();
    ppoOrderStrPrv[0] = '\0';
}

int PPO_isReady() { return IsReady; }
void PPO_setReady(int flag) { IsReady = flag; }

int PPO_update(int force, int period)
{
    if (readList.count == 0) {
        IsReady = 1;
        return 1;
    }
    pterm.comm_err_count = 0;
    for (int attempt = 1; attempt <= kAttempts; attempt++) {
        pterm.comm_err_count = attempt;
        int result = remoteServiceId == kIlrService ? SRVR_ILR_readValues(VM_RemoteServer, &readList)
                                                    : PPO_update_OV_RF(force, period);
        if (result) {
            IsReady = 1;
            return result;
        }
    }
    PPO_invalidAllValues();
    return 0;
}

int PPO_OrderValuesUpdate(int force, int period) { return PPO_update(force, period); }

void PPO_ReadFileUpdate()
{
    if (CO_isUpdateAfterPpoWrite()) scheduleNewRefresh();
}

int PPO_readVal(const char *name, char *dst)
{
    TcrEntry *entry = TCR_getTcrPointerWithSymbol(name);
    const char *formatted = entry ? TCR_getFormatedName(entry) : nullptr;
    if (Tarsel_readVal(formatted ? formatted : name, dst, PPO_VALUE_SIZE)) return 1;
    dst[0] = '\0';
    return 0;
}

const char *PPO_resolve(const char *name)
{
    const char *resolved = resolveInfoName(name);
    if (resolved == name) return name;
    TcrEntry *entry = TCR_getTcrPointerWithSymbol(resolved);
    const char *formatted = entry ? TCR_getFormatedName(entry) : nullptr;
    return formatted ? formatted : resolved;
}

int RW_readSource(char *dst, const char *name, int type)
{
    if (!dst) return 0;
    dst[0] = '\0';
    if (!name) return 0;
    switch (type) {
    case SourceType_PPO:
    case SourceType_PASSWORDPPO: return Tarsel_readVal(name, dst, PPO_VALUE_SIZE);
    case SourceType_HTMLTAG: return HT_readParamName(name, dst);
    case SourceType_STRING: safe_strncpy(dst, name, PPO_VALUE_SIZE); return 1;
    case SourceType_FILE: return readFileSource(dst, name);
    case SourceType_CO:
    case SourceType_PASSWORDCONTAINER: return HT_readContainer(resolveInfoName(name), dst);
    default: return 0;
    }
}

int RW_writeSource(const char *value, const char *name, int type)
{
    if (!value || !name) return 0;
    switch (type) {
    case SourceType_PPO:
    case SourceType_PASSWORDPPO: return Tarsel_writeVal(name, value, PPO_VALUE_SIZE);
    case SourceType_FILE: return writeFileSource(value, name);
    case SourceType_CO:
    case SourceType_PASSWORDCONTAINER: return writeContainerSource(value, name);
    case SourceType_TEQINDEX: return VM_requestPicture(resolveInfoName(value));
    case SourceType_URL: return followLink(value, name);
    case SourceType_CGI: return Tarsel_cgiCall(value, PPO_VALUE_SIZE);
    default: return 0;
    }
}

void *RW_getSourcePtr(const char *name, int type)
{
    if (!name) return nullptr;
    switch (type) {
    case SourceType_PPO:
    case SourceType_PASSWORDPPO: return Tarsel_readValPtr(name);
    case SourceType_HTMLTAG: return const_cast<char *>(HT_readValPtr(name));
    case SourceType_STRING: return const_cast<char *>(name);
    case SourceType_CO:
    case SourceType_PASSWORDCONTAINER: return CO_readValPtr(resolveInfoName(name));
    default: return nullptr;
    }
}

// The size of a container source follows the container the name resolves to,
// so that it never exceeds the buffer that RW_getSourcePtr hands out.
int RW_getSourceSize(const char *name, int type)
{
    if (!name) return 0;
    switch (type) {
    case SourceType_PPO:
    case SourceType_PASSWORDPPO: return PPO_VALUE_SIZE;
    case SourceType_CO:
    case SourceType_PASSWORDCONTAINER: return static_cast<int>(CO_getSourceSize(resolveInfoName(name)));
    default: return 0;
    }
}

int RW_copySourceFile(void (*putChar)(int character, void *context), void *context, const char *fileName)
{
    int h = Tarsel_fileOpen(fileName, "r");
    if (h < 0) {
        err_fileNotFound(fileName);
        return 0;
    }
    int count = 0, c;
    while ((c = Tarsel_fileGetc(h)) != -1) {
        if (putChar) putChar(c, context);
        count++;
    }
    Tarsel_fileClose(h);
    return count;
}
