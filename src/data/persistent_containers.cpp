// Persistent containers. The file is rewritten whole into a temporary file
// that then replaces the old one, so a power cut during a save leaves either
// the old or the new set.
#include "data/persistent_containers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform.h"
#include "data/containers.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

constexpr size_t kMaxFileBytes = 65536; // far above twenty values of 255 characters
constexpr char kTempName[] = PCO_FILE_NAME ".tmp";

int modified;

struct FileCloser {
    FILE *f;
    ~FileCloser()
    {
        if (f) std::fclose(f);
    }
};

struct TextBuffer {
    char *text;
    ~TextBuffer() { std::free(text); }
};

void containerName(char *dst, size_t size, int n) { std::snprintf(dst, size, CO_PERSISTENT_PREFIX "%d", n); }

// The file's text, NUL-terminated, or null when it cannot be read.
char *readWholeFile(FILE *f)
{
    char *text = static_cast<char *>(std::malloc(kMaxFileBytes + 1));
    if (!text) return nullptr;
    size_t got = std::fread(text, 1, kMaxFileBytes, f);
    text[got] = '\0';
    if (got == kMaxFileBytes && std::fgetc(f) != EOF)
        log_append(1, "%s is larger than 65536 bytes, the rest is ignored\n", PCO_FILE_NAME);
    return text;
}

void loadValues(const char *text)
{
    const char *values = std::strstr(text, "<Values>");
    if (!values) {
        err_append(0, "PCO_loadPersistentCO() failed,\n <Values> tag not found !\n", nullptr);
        log_append(0, "%s\n", text);
        return;
    }
    const char *pos = values + std::strlen("<Values>");
    for (int n = 0; n < PCO_COUNT; n++) {
        const char *open = std::strstr(pos, "<string>");
        if (!open) return;
        open += std::strlen("<string>");
        const char *close = std::strstr(open, "</string>");
        if (!close) return;
        size_t length = static_cast<size_t>(close - open);
        if (length > 0) {
            char value[CO_VALUE_SIZE], name[32];
            if (length > sizeof value - 1) length = sizeof value - 1;
            std::memcpy(value, open, length);
            value[length] = '\0';
            containerName(name, sizeof name, n);
            HT_writeContainer(name, value);
        }
        pos = close + std::strlen("</string>");
    }
}

bool writeSet(FILE *f)
{
    std::fputs("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<ptermCo>\n", f);
    std::fprintf(f, "<!--Persistent Containers \"%sn\" with n:[0..%d] -->\n", CO_PERSISTENT_PREFIX, PCO_COUNT - 1);
    std::fprintf(f, "<size>%d</size>\n<Values>\n", PCO_COUNT);
    for (int n = 0; n < PCO_COUNT; n++) {
        char name[32];
        containerName(name, sizeof name, n);
        ContainerRecord *c = CO_getHtmlCacheObjPtr(name);
        std::fprintf(f, "<string>%s</string>\n", c ? c->value : "");
    }
    std::fputs("</Values>\n</ptermCo>\n", f);
    return !std::ferror(f);
}

bool appFilePath(char *dst, size_t size, const char *name)
{
    int n = std::snprintf(dst, size, "%s%s", AppPath, name);
    return n >= 0 && static_cast<size_t>(n) < size;
}

} // namespace

void PCO_loadPersistentCO()
{
    FileCloser file{APP_FOPEN(PCO_FILE_NAME, "rb")};
    if (!file.f) return;
    TextBuffer buffer{readWholeFile(file.f)};
    if (!buffer.text) return;
    int wasModified = modified;
    loadValues(buffer.text);
    modified = wasModified;
}

void PCO_setModified() { modified = 1; }
int PCO_isModified() { return modified; }
void PCO_reset() { modified = 0; }

void PCO_entry()
{
    if (modified && PCO_savePersistentCO()) modified = 0;
}

int PCO_savePersistentCO()
{
    char tempPath[SYS_PATH_SIZE + 32], finalPath[SYS_PATH_SIZE + 32];
    if (!appFilePath(tempPath, sizeof tempPath, kTempName) || !appFilePath(finalPath, sizeof finalPath, PCO_FILE_NAME))
        return 0;
    FILE *f = APP_FOPEN(kTempName, "w");
    if (!f) return 0;
    bool written = writeSet(f);
    if (std::fclose(f) != 0) written = false;
    if (!written || std::rename(tempPath, finalPath) != 0) {
        std::remove(tempPath);
        return 0;
    }
    return 1;
}
