// Value sources: reading and writing a value by its source type (process
// point, container, page parameter, text, file, page switch, link, CGI call).
// Main thread only.
#include "view/value_sources.h"

#include <cstring>

#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "data/read_stamps.h"
#include "data/source_names.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

const char *const kIgnoredSchemes[] = {
    "mailto:", "ftp:", "file:", "telnet:", "gopher:", "news:", "nntp:", "wais:", "prospero:"};

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
    case SourceType_FILE: RS_noteVolatile(); return readFileSource(dst, name);
    case SourceType_CO:
    case SourceType_PASSWORDCONTAINER: return HT_readContainer(resolveInfoName(name), dst);
    default: RS_noteVolatile(); return 0;
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
