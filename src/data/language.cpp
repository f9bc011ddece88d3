// Language table: name/value entries read from a CSV file into the LR heap, asked
// before the page parameters. Owns the entry list and the loaded flag. Files
// are read through the file layer, so tables on the target and on disk work
// alike (UTF-16 files included). Main thread only.
#include "data/language.h"

#include <cstring>

#include "data/client_entries.h"
#include "data/read_stamps.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/file_layer.h"

namespace {

constexpr int kLineSize = 4096;
constexpr long kFileLimit = 1L << 20; // bytes of a table that are read
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

HC_List entries;
int loaded;
uint32_t tableStamp; // read stamp of the table's last reset

// The first ';' of a line, else its first tab, else its first ','; null when
// the line has none of them.
char *separatorOf(char *line)
{
    static const char separators[] = {';', '\t', ','};
    for (char sep : separators)
        if (char *at = std::strchr(line, sep)) return at;
    return nullptr;
}

// Answers false when the heap is full and reading must stop.
bool takeLine(char *line)
{
    char *sep = separatorOf(line);
    if (!sep || sep == line) return true;
    *sep = '\0';
    const char *value = sep + 1;
    size_t nameLength = static_cast<size_t>(sep - line);
    HC_Entry *entry = HC_mCreateNew(LR_malloc, line, nameLength + 1, value, std::strlen(value));
    return entry && HC_mClientEntries_Add(LR_malloc, &entries, entry);
}

void readTable(int handle, char *line, const char *name)
{
    int end = 0;
    bool first = true;
    for (long taken = 0; !end;) {
        if (taken > kFileLimit) {
            log_append(0, "Language table longer than 1 MB, the rest is left out:\n %s\n", name);
            return;
        }
        int length = Tarsel_fileReadln(line, kLineSize, handle, &end);
        taken += length + 1;
        if (end && length == 0) break;
        char *text = line;
        if (first && std::strncmp(text, kUtf8Mark, 3) == 0) text += 3;
        first = false;
        if (!takeLine(text)) break;
    }
}

} // namespace

int LR_parseCsvFile(const char *name)
{
    LR_reset();
    auto *line = static_cast<char *>(LR_malloc(kLineSize));
    if (!line) {
        log_append(0, "Failed to parse \"%s\"\n", name ? name : "");
        log_append(0, "LR: out of memory!\n", nullptr);
        return -1;
    }
    HK_hooks()->scheduleFullRedraw();
    loaded = 1;
    int handle = name && name[0] ? Tarsel_fileOpen(name, "rt") : -1;
    if (handle < 0) {
        if (name && name[0]) err_fileNotFound(name);
        HK_hooks()->checkClockFlag();
        return -1;
    }
    if (pterm.debug_level == 1) log_append(0, "Open CSV File: %s\n", name);
    readTable(handle, line, name);
    Tarsel_fileClose(handle);
    LR_updateTopHeap();
    HK_hooks()->checkClockFlag();
    return 0;
}

const char *LR_readValuePtr(const char *name)
{
    RS_note(&tableStamp);
    if (!loaded || !name) return nullptr;
    return HC_findValue(&entries, name);
}

int LR_readValue(const char *name, char *buffer, size_t size)
{
    const char *value = LR_readValuePtr(name);
    if (!value || !buffer || size == 0) return 0;
    safe_strncpy(buffer, value, size);
    return 1;
}

void LR_reset()
{
    tableStamp = RS_touch();
    loaded = 0;
    HC_Init_Heap(&entries);
    LR_memoryInit();
}
