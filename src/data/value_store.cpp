// Data server value store. Owns the entries, their area, the lock, the
// refresh counter, the clients' copy of the panel state and their queue of
// pseudo-value writes. Entries live in an area of the store's own (not in a
// page heap), because both the main and the server thread create them.
#include "data/value_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "runtime/settings.h"
#include "transport/http_client.h"
#include "runtime/gpio.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

char User[32];
char Password[32];

namespace {

struct Entry {
    Entry *next;
    uint32_t owner;    // the hash of the client whose read created it
    uint16_t capacity; // room for the name with its NUL
    bool pinned;       // created by the panel or written: never evicted
    char value[DS_VALUE_SIZE];
    char name[1]; // the name runs on past the record
};

// Names shorter than this take this much room, so that an evicted entry can
// take any name a client sends (at most 63 characters).
constexpr size_t kMinNameRoom = 64;

std::recursive_mutex storeLock;
alignas(Entry) unsigned char area[DS_STORE_BYTES];
size_t areaUsed;
Entry *first;
Entry *last;
Entry *freeEntries; // evicted entries, ready to take a name again
unsigned counterPPO;
bool IS_DS_Initialized;

// What clients of the embedded server see of the panel, renewed by the main
// thread, and what they asked of it.
struct PanelState {
    char remotePath[DS_VALUE_SIZE];
    char remoteIp[DS_VALUE_SIZE];
    int remoteStatus;
    char documentBase[DS_BASE_SIZE];
};

enum class PanelWriteKind { RemotePath, RemoteHost, RemoteStatus, LoadPage, Gpio };

struct PanelWrite {
    PanelWriteKind kind;
    char name[DS_VALUE_SIZE];
    char value[DS_VALUE_SIZE];
};

PanelState panel;
PanelWrite panelWrites[DS_PANEL_WRITES];
int panelWriteCount;

struct Guard {
    Guard() { SYNC_CS_CRITICAL_ENTER(); }
    ~Guard() { SYNC_CS_CRITICAL_EXIT(); }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;
};

void emptyStore()
{
    first = last = freeEntries = nullptr;
    areaUsed = 0;
}

Entry *findEntry(const char *name)
{
    for (Entry *e = first; e; e = e->next)
        if (std::strcmp(e->name, name) == 0) return e;
    return nullptr;
}

size_t nameRoom(size_t length) { return length + 1 > kMinNameRoom ? length + 1 : kMinNameRoom; }

void unlink(Entry *victim)
{
    Entry *before = nullptr;
    for (Entry *e = first; e && e != victim; e = e->next) before = e;
    if (before) before->next = victim->next;
    else first = victim->next;
    if (last == victim) last = before;
    victim->next = nullptr;
}

Entry *takeFree(size_t room)
{
    Entry *before = nullptr;
    for (Entry *e = freeEntries; e; before = e, e = e->next) {
        if (e->capacity < room) continue;
        if (before) before->next = e->next;
        else freeEntries = e->next;
        return e;
    }
    return nullptr;
}

Entry *takeNew(size_t room)
{
    size_t bytes = offsetof(Entry, name) + room;
    bytes = (bytes + alignof(Entry) - 1) & ~(alignof(Entry) - 1);
    if (bytes > sizeof area - areaUsed) return nullptr;
    Entry *e = reinterpret_cast<Entry *>(area + areaUsed);
    areaUsed += bytes;
    e->capacity = static_cast<uint16_t>(room);
    return e;
}

// The oldest entry that a client's read created and nobody wrote, of that
// client only (anyOwner false) or of any client; big enough for room.
Entry *oldestEvictable(size_t room, bool anyOwner, uint32_t owner)
{
    for (Entry *e = first; e; e = e->next)
        if (!e->pinned && e->capacity >= room && (anyOwner || e->owner == owner)) return e;
    return nullptr;
}

Entry *evict(Entry *victim)
{
    if (victim) unlink(victim);
    return victim;
}

int namesReadBy(uint32_t owner)
{
    int n = 0;
    for (Entry *e = first; e; e = e->next) n += !e->pinned && e->owner == owner;
    return n;
}

// A new entry holding "0". A client (pinned false) that holds its share of
// read-created names gives up its own oldest; a full area gives up the oldest
// read-created name of any client; written names stay.
Entry *createEntry(const char *name, bool pinned, uint32_t owner)
{
    size_t length = std::strlen(name);
    if (length >= DS_VALUE_SIZE) length = DS_VALUE_SIZE - 1;
    size_t room = nameRoom(length);
    Entry *e = nullptr;
    if (!pinned && namesReadBy(owner) >= DS_CLIENT_READ_NAMES) e = evict(oldestEvictable(room, false, owner));
    if (!e) e = takeFree(room);
    if (!e) e = takeNew(room);
    if (!e) e = evict(oldestEvictable(room, true, 0));
    if (!e) return nullptr;
    e->next = nullptr;
    e->owner = owner;
    e->pinned = pinned;
    safe_strncpy(e->value, "0", sizeof e->value);
    std::memcpy(e->name, name, length);
    e->name[length] = '\0';
    if (last) last->next = e;
    else first = e;
    last = e;
    return e;
}

// FNV-1a of a client's address; the owner of the names its reads create.
uint32_t clientHash(const char *address)
{
    uint32_t h = 2166136261u;
    for (const char *p = address ? address : ""; *p; p++) h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
    return h;
}

void notFound(const char *name, char *out) { std::snprintf(out, DS_VALUE_SIZE, "%s not found.\n", name); }

// Pseudo-values reach into the panel. Each answers true when it took the name.
bool readPseudo(const char *name, char *out)
{
    if (stringcmp(name, "PDP,,MW10,d")) {
        std::snprintf(out, DS_VALUE_SIZE, "%u", counterPPO);
    } else if (stringcmp(name, "RemotePath") || stringcmp(name, "VM_loadHtmlFile")) {
        safe_strncpy(out, GetRemotePath(), DS_VALUE_SIZE);
    } else if (stringcmp(name, "RemoteIPAddr")) {
        safe_strncpy(out, GetRemoteIpAddress(), DS_VALUE_SIZE);
    } else if (stringcmp(name, "UseRemoteServer")) {
        std::snprintf(out, DS_VALUE_SIZE, "%i", GetRemoteStatus());
    } else {
        return false;
    }
    return true;
}

void requestPage(char *value)
{
    char address[DS_VALUE_SIZE];
    if (value[0] == '1') std::snprintf(address, sizeof address, "http://%s/%s", GetRemoteIpAddress(), GetRemotePath());
    else safe_strncpy(address, value, sizeof address);
    safe_strncpy(value, address, DS_VALUE_SIZE);
    HK_hooks()->requestPage(value);
}

// "gpio" and a number below 256.
bool isGpioName(const char *name)
{
    int pin = 0;
    return prefixcmp(name, "gpio") && str_parseInt(name + 4, &pin) && pin >= 0 && pin < 256 && name[4] >= '0' &&
           name[4] <= '9';
}

// Reads of the pseudo-values for a client: the copy of the panel state.
bool readPseudoForClient(const char *name, char *out)
{
    if (stringcmp(name, "PDP,,MW10,d")) {
        std::snprintf(out, DS_VALUE_SIZE, "%u", counterPPO);
    } else if (stringcmp(name, "RemotePath") || stringcmp(name, "VM_loadHtmlFile")) {
        safe_strncpy(out, panel.remotePath, DS_VALUE_SIZE);
    } else if (stringcmp(name, "RemoteIPAddr")) {
        safe_strncpy(out, panel.remoteIp, DS_VALUE_SIZE);
    } else if (stringcmp(name, "UseRemoteServer")) {
        std::snprintf(out, DS_VALUE_SIZE, "%i", panel.remoteStatus);
    } else {
        return false;
    }
    return true;
}

bool queuePanelWrite(PanelWriteKind kind, const char *name, char *value)
{
    if (panelWriteCount == DS_PANEL_WRITES) {
        std::snprintf(value, DS_VALUE_SIZE, "%s not written: the panel is busy.\n", name);
        return false;
    }
    PanelWrite &w = panelWrites[panelWriteCount++];
    w.kind = kind;
    safe_strncpy(w.name, name, sizeof w.name);
    safe_strncpy(w.value, value, sizeof w.value);
    return true;
}

// Writes of the pseudo-values for a client: the copy changes at once, the
// panel at the main thread's next exchange.
bool writePseudoForClient(const char *name, char *value)
{
    int number = 0;
    if (stringcmp(name, "PDP,,MW10,d")) {
        unsigned count = 0;
        if (std::sscanf(value, "%u", &count) == 1) counterPPO = count;
    } else if (stringcmp(name, "RemotePath")) {
        if (queuePanelWrite(PanelWriteKind::RemotePath, name, value))
            safe_strncpy(panel.remotePath, value, sizeof panel.remotePath);
    } else if (stringcmp(name, "RemoteIPAddr")) {
        if (queuePanelWrite(PanelWriteKind::RemoteHost, name, value))
            safe_strncpy(panel.remoteIp, value, sizeof panel.remoteIp);
    } else if (stringcmp(name, "UseRemoteServer")) {
        if (std::sscanf(value, "%i", &number) == 1 && queuePanelWrite(PanelWriteKind::RemoteStatus, name, value))
            panel.remoteStatus = number;
    } else if (stringcmp(name, "VM_loadHtmlFile")) {
        char address[2 * DS_VALUE_SIZE + 16];
        if (value[0] == '1') std::snprintf(address, sizeof address, "http://%s/%s", panel.remoteIp, panel.remotePath);
        else safe_strncpy(address, value, sizeof address);
        safe_strncpy(value, address, DS_VALUE_SIZE);
        queuePanelWrite(PanelWriteKind::LoadPage, name, value);
    } else if (isGpioName(name)) {
        queuePanelWrite(PanelWriteKind::Gpio, name, value);
    } else {
        return false;
    }
    return true;
}

void applyPanelWrite(PanelWrite &w)
{
    int mode = 0;
    switch (w.kind) {
    case PanelWriteKind::RemotePath: SetRemotePath(w.value); break;
    case PanelWriteKind::RemoteHost: SetRemoteHost(w.value); break;
    case PanelWriteKind::RemoteStatus:
        if (std::sscanf(w.value, "%i", &mode) == 1) SetRemoteStatus(mode);
        break;
    case PanelWriteKind::LoadPage: HK_hooks()->requestPage(w.value); break;
    case PanelWriteKind::Gpio: write_gpio(w.name, w.value); break;
    }
}

bool writePseudo(const char *name, char *value)
{
    if (stringcmp(name, "PDP,,MW10,d")) {
        unsigned number = 0;
        if (std::sscanf(value, "%u", &number) == 1) counterPPO = number;
    } else if (stringcmp(name, "RemotePath")) {
        SetRemotePath(value);
    } else if (stringcmp(name, "RemoteIPAddr")) {
        SetRemoteHost(value);
    } else if (stringcmp(name, "UseRemoteServer")) {
        int mode = 0;
        if (std::sscanf(value, "%i", &mode) == 1) SetRemoteStatus(mode);
    } else if (stringcmp(name, "VM_loadHtmlFile")) {
        requestPage(value);
    } else if (isGpioName(name)) {
        write_gpio(name, value);
    } else {
        return false;
    }
    return true;
}

} // namespace

void SYNC_CS_CRITICAL_ENTER() { storeLock.lock(); }
void SYNC_CS_CRITICAL_EXIT() { storeLock.unlock(); }

void DS_Initialize()
{
    Guard hold;
    emptyStore();
    safe_strncpy(User, "Unknown", sizeof User);
    Password[0] = '\0';
    IS_DS_Initialized = true;
}

int DS_isInitialized()
{
    Guard hold;
    return IS_DS_Initialized ? 1 : 0;
}

void DS_Refresh()
{
    Guard hold;
    if (++counterPPO > 100) counterPPO = 0;
}

void DS_Reset()
{
    Guard hold;
    counterPPO = 0;
    emptyStore();
}

void DS_resetAll()
{
    Guard hold;
    panel = PanelState{};
    panelWriteCount = 0;
    counterPPO = 0;
    emptyStore();
    IS_DS_Initialized = false;
    User[0] = '\0';
    Password[0] = '\0';
}

namespace {

// Unknown names are reported at debug level 2: as an operator's error on the
// main thread, only to the log for a client of the embedded server (the
// message box belongs to the main thread).
void reportUndefined(int code, const char *name, bool forClient)
{
    if (pterm.debug_level < 2) return;
    if (forClient) log_append(1, "Undefined PPO in DS !\n \"%s\"\n", name);
    else err_append(code, "Undefined PPO in DS !\n \"%s\"\n", name);
}

int storeRead(const char *name, char *out, bool forClient, const char *client)
{
    Guard hold;
    if (!IS_DS_Initialized || !name || !out) return 0;
    if (Entry *e = findEntry(name)) {
        safe_strncpy(out, e->value, DS_VALUE_SIZE);
        return 1;
    }
    reportUndefined(2201, name, forClient);
    if (!createEntry(name, !forClient, clientHash(client))) {
        notFound(name, out);
        return 0;
    }
    safe_strncpy(out, "0", DS_VALUE_SIZE);
    return 1;
}

int storeWrite(const char *name, char *value, bool forClient)
{
    Guard hold;
    if (!IS_DS_Initialized || !name || !value) return 0;
    if (Entry *e = findEntry(name)) {
        safe_strncpy(e->value, value, sizeof e->value);
        e->pinned = true;
        return 1;
    }
    reportUndefined(2202, name, forClient);
    notFound(name, value);
    return 0;
}

} // namespace

int DS_PPO_CACHE_readVal(const char *name, char *out) { return storeRead(name, out, false, nullptr); }

int DS_PPO_CACHE_writeVal(const char *name, char *value) { return storeWrite(name, value, false); }

int DS_readVal(const char *name, char *out, void *context)
{
    if (!name || !out) return 0;
    Guard hold;
    if (context ? readPseudoForClient(name, out) : readPseudo(name, out)) return 1;
    return storeRead(name, out, context != nullptr, "");
}

int DS_clientReadVal(const char *name, char *out, const char *client)
{
    if (!name || !out) return 0;
    Guard hold;
    if (readPseudoForClient(name, out)) return 1;
    return storeRead(name, out, true, client);
}

int DS_writeVal(const char *name, char *value, void *context)
{
    if (!name || !value) return 0;
    Guard hold;
    if (context ? writePseudoForClient(name, value) : writePseudo(name, value)) return 1;
    return storeWrite(name, value, context != nullptr);
}

char *DS_readValPtr(const char *) { return nullptr; }

void DS_exchangeWithPanel()
{
    Guard hold;
    for (int i = 0; i < panelWriteCount; i++) applyPanelWrite(panelWrites[i]);
    panelWriteCount = 0;
    safe_strncpy(panel.remotePath, GetRemotePath(), sizeof panel.remotePath);
    safe_strncpy(panel.remoteIp, GetRemoteIpAddress(), sizeof panel.remoteIp);
    panel.remoteStatus = GetRemoteStatus();
    safe_strncpy(panel.documentBase, HK_hooks()->documentBase(), sizeof panel.documentBase);
}

void DS_panelDocumentBase(char *dst, int size)
{
    if (!dst || size < 1) return;
    Guard hold;
    safe_strncpy(dst, panel.documentBase, static_cast<size_t>(size));
}
