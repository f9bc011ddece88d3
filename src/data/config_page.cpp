// Configuration page: the "PT_Config..." parameters (a list in heap2), their
// file, the save and reload requests, the start countdown and applying the
// Ethernet values to the adapter. Enabled only while the setting config_file
// is not empty. Main thread only.
#include "data/config_page.h"

#include <cstdio>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/network.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr size_t kPrefixLength = 10; // "PT_Config." and "PT_Config_" alike
constexpr size_t kNameSize = 64;     // longer names are refused
constexpr uint32_t kValueSize = 32;  // every parameter but the start page
constexpr uint32_t kUrlSize = 256;   // "PT_Config.Start.URL"
constexpr size_t kLineSize = 1024;   // longer file lines are cut
constexpr int kInitialTimeout = 50;  // main-loop ticks
constexpr int kStopped = -10;        // start counter after "Ready" = 0
constexpr char kHeader[] = "# Panterm Config\n#\n";
constexpr char kTrailer[] = "#EOF\n";

struct ConfigParam {
    char *name;
    char *value;
    uint32_t size;
    ConfigParam *next;
};

ConfigParam *firstParam;
ConfigParam *lastParam;
int enabled;
int modified;
int ethModified;
int saveRequest;
int reloadRequest;
int startTimeout = kInitialTimeout;
int startCounter;
int initialisedOnce;
char controlText[kValueSize];
char readyText[kValueSize]; // the value "Ready" was written last

// Names of the control values: read and written, never stored.
const char *const kControls[] = {"Counter", "Save", "Reload", "Modified", "Eth.Name", "Ready"};

// The part of a name that identifies the parameter, or null when the name is
// too short to carry one.
const char *keyOf(const char *name)
{
    if (!name || std::strlen(name) <= kPrefixLength) return nullptr;
    return name + kPrefixLength;
}

bool isControl(const char *key)
{
    for (const char *control : kControls)
        if (stringicmp(key, control)) return true;
    return false;
}

ConfigParam *findParam(const char *key)
{
    for (ConfigParam *p = firstParam; p; p = p->next)
        if (stringicmp(p->name + kPrefixLength, key)) return p;
    return nullptr;
}

ConfigParam *addParam(const char *name, uint32_t size)
{
    size_t length = std::strlen(name);
    if (length >= kNameSize) {
        log_append(1, "Configuration name too long, ignored: %.64s...\n", name);
        return nullptr;
    }
    auto *p = static_cast<ConfigParam *>(MU_alloc2(sizeof(ConfigParam)));
    char *nameCopy = p ? static_cast<char *>(MU_alloc2(length + 1)) : nullptr;
    char *value = nameCopy ? static_cast<char *>(MU_alloc2(size)) : nullptr;
    if (!value) return nullptr;
    safe_strncpy(nameCopy, name, length + 1);
    *p = {nameCopy, value, size, nullptr};
    if (lastParam) lastParam->next = p;
    else firstParam = p;
    lastParam = p;
    return p;
}

ConfigParam *findOrAdd(const char *name)
{
    ConfigParam *p = findParam(keyOf(name));
    return p ? p : addParam(name, kValueSize);
}

const char *storedValue(const char *key)
{
    ConfigParam *p = findParam(key);
    return p ? p->value : nullptr;
}

// Stores a value; the start time-out takes effect at once. Answers 0 when the
// value was refused (a time-out below 1) or there is no room for the name.
int storeValue(const char *name, const char *text)
{
    const char *key = keyOf(name);
    if (stringicmp(key, "Start.Timeout")) {
        int n = 0;
        if (!str_parseInt(text, &n) || n < 1 || n > 1000000) return 0;
        startTimeout = 2 * n;
    }
    ConfigParam *p = findOrAdd(name);
    if (!p) return 0;
    if (std::strlen(text) >= p->size) log_append(1, "Configuration value of %s cut to its buffer\n", p->name);
    safe_strncpy(p->value, text, p->size);
    return 1;
}

bool textIsSet(const char *text) { return text && text[0] && !stringcmp(text, "0"); }

int interfaceNumber()
{
    int itf = -1;
    const char *text = storedValue("Eth.Iface");
    if (!text || !str_parseInt(text, &itf)) return -1;
    return itf;
}

char configSeparator() { return str_endsWithIgnoreCase(pterm.config_file, ".csv") ? ';' : '='; }

bool configPath(char *dst, size_t size, const char *suffix)
{
    const char *name = pterm.config_file;
    bool absolute = name[0] == '/' || name[0] == '\\';
    int n = std::snprintf(dst, size, "%s%s%s", absolute ? "" : AppPath, name, suffix);
    return n >= 0 && static_cast<size_t>(n) < size;
}

// Reads one line of at most size - 1 characters without its line end; the rest
// of a longer line is dropped. False at the end of the file.
bool readLine(FILE *f, char *line, size_t size)
{
    if (!std::fgets(line, static_cast<int>(size), f)) return false;
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') {
        line[--length] = '\0';
    } else {
        int ch;
        while ((ch = std::fgetc(f)) != EOF && ch != '\n') {}
    }
    if (length > 0 && line[length - 1] == '\r') line[--length] = '\0';
    return true;
}

void takeFileLine(char *line, char separator)
{
    if (std::strlen(line) < 2 || line[0] == '#') return;
    char *split = std::strchr(line, separator);
    if (!split) {
        log_append(1, "Configuration line without separator ignored: %s\n", line);
        return;
    }
    *split = '\0';
    if (isControl(keyOf(line))) return;
    if (!keyOf(line)) {
        log_append(1, "Configuration line with an unknown name ignored: %s\n", line);
        return;
    }
    storeValue(line, split + 1);
}

void loadFile()
{
    FILE *f = APP_FOPEN(pterm.config_file, "r");
    if (!f) return;
    char line[kLineSize];
    char separator = configSeparator();
    while (readLine(f, line, sizeof line)) takeFileLine(line, separator);
    std::fclose(f);
}

// Writes the whole file anew through a temporary file, so that a cut during
// the save leaves the old file. Answers 1 when the file was written.
int saveFile()
{
    char tempPath[SYS_PATH_SIZE + 160], finalPath[SYS_PATH_SIZE + 160];
    if (!configPath(tempPath, sizeof tempPath, ".tmp") || !configPath(finalPath, sizeof finalPath, "")) return 0;
    FILE *f = std::fopen(tempPath, "w");
    if (!f) return 0;
    char separator = configSeparator();
    std::fputs(kHeader, f);
    for (ConfigParam *p = firstParam; p; p = p->next) std::fprintf(f, "%s%c%s\n", p->name, separator, p->value);
    std::fputs(kTrailer, f);
    bool written = !std::ferror(f);
    if (std::fclose(f) != 0) written = false;
    if (!written || std::rename(tempPath, finalPath) != 0) {
        std::remove(tempPath);
        return 0;
    }
    return 1;
}

// Takes the actual address, mask and gateway of an adapter when it exists.
void storeActualAddresses(const NetworkBlock *block)
{
    storeValue("PT_Config.Eth.IP", block->ip);
    storeValue("PT_Config.Eth.Subnet", block->mask);
    storeValue("PT_Config.Eth.Gateway", block->gateway);
}

bool gatewayAcceptable(const char *gw) { return gw[0] == '\0' || Net_isValidAddress(gw); }

void PTC_applyEthernet()
{
    if (!ethModified) return;
    ethModified = 0;
    int itf = interfaceNumber();
    const char *ip = storedValue("Eth.IP"), *mask = storedValue("Eth.Subnet"), *gw = storedValue("Eth.Gateway");
    if (!ip || !mask || !gw) return;
    if (itf < 0 || itf >= 10) {
        err_append(0, "Ethernet values not applied, no adapter number 0 to 9: %s\n", storedValue("Eth.Iface"));
        return;
    }
    if (!Net_isValidAddress(ip) || !Net_isValidAddress(mask) || !gatewayAcceptable(gw)) {
        err_append(0, "Ethernet values not applied, invalid address: %s\n", ip);
        log_append(0, " Subnet: %s\n", mask);
        log_append(0, " Gateway: %s\n", gw);
        return;
    }
    linutil_applyEthernet(static_cast<uint32_t>(itf), ip, mask, gw);
    net_itf = static_cast<uint32_t>(itf);
    if (ReadNetworkParameters(&net, net_itf) >= 0) storeActualAddresses(&net);
    net_notify = 1;
}

void createList()
{
    firstParam = lastParam = nullptr;
    // In the unit a write takes (two ticks), so that the text shown, the
    // time-out and the counter agree and the value survives a reload whole.
    char timeout[kValueSize];
    std::snprintf(timeout, sizeof timeout, "%d", startTimeout / 2);
    struct Initial {
        const char *name;
        const char *value;
        uint32_t size;
    };
    const Initial initial[] = {
        {"PT_Config.Start.Timeout", timeout, kValueSize}, {"PT_Config.Start.URL", "Default.html", kUrlSize},
        {"PT_Config.Eth.Iface", "0", kValueSize},         {"PT_Config.Eth.BootApply", "0", kValueSize},
        {"PT_Config.Eth.IP", net.ip, kValueSize},         {"PT_Config.Eth.Subnet", net.mask, kValueSize},
        {"PT_Config.Eth.Gateway", "0.0.0.0", kValueSize},
    };
    for (const Initial &i : initial) {
        ConfigParam *p = addParam(i.name, i.size);
        if (p) safe_strncpy(p->value, i.value, p->size);
    }
}

// The text of a control value, or null when key names a stored parameter.
const char *controlRead(const char *key)
{
    if (stringicmp(key, "Counter")) std::snprintf(controlText, sizeof controlText, "%d", startCounter / 2);
    else if (stringicmp(key, "Save")) std::snprintf(controlText, sizeof controlText, "%d", saveRequest);
    else if (stringicmp(key, "Reload")) std::snprintf(controlText, sizeof controlText, "%d", reloadRequest);
    else if (stringicmp(key, "Modified")) std::snprintf(controlText, sizeof controlText, "%d", modified);
    else if (stringicmp(key, "Ready")) safe_strncpy(controlText, readyText, sizeof controlText);
    else if (!stringicmp(key, "Eth.Name")) return nullptr;
    else if (net.adapter[0]) safe_strncpy(controlText, net.adapter, sizeof controlText);
    else std::snprintf(controlText, sizeof controlText, "eth%u", net_itf);
    return controlText;
}

// "Ready": a value other than 0 starts the countdown to the start page, 0
// stops it. Kept for reading, never stored.
void startCountdown(const char *text)
{
    startCounter = textIsSet(text) ? startTimeout : kStopped;
    safe_strncpy(readyText, text, sizeof readyText);
}

// Answers 1 when key is a control value (the write is then done).
int controlWrite(const char *key, const char *text)
{
    if (stringicmp(key, "Save")) saveRequest = textIsSet(text);
    else if (stringicmp(key, "Reload")) reloadRequest = textIsSet(text);
    else if (stringicmp(key, "Ready")) startCountdown(text);
    else if (!stringicmp(key, "Counter") && !stringicmp(key, "Modified") && !stringicmp(key, "Eth.Name")) return 0;
    return 1;
}

} // namespace

void PTC_init()
{
    enabled = pterm.config_file[0] != '\0';
    firstParam = lastParam = nullptr;
    if (!enabled) return;
    createList();
    loadFile();
    int itf = interfaceNumber();
    bool bootApply = stringcmp(storedValue("Eth.BootApply"), "1");
    if (!bootApply && itf >= 0 && itf < 10) {
        NetworkBlock block;
        Net_presetBlock(&block);
        if (ReadNetworkParameters(&block, static_cast<uint32_t>(itf)) >= 0) storeActualAddresses(&block);
    } else if (bootApply && !initialisedOnce) {
        ethModified = 1;
        PTC_applyEthernet();
    }
    initialisedOnce = 1;
    modified = 0;
    ethModified = 0;
}

int PT_ConfigRead(const char *name, char *buffer)
{
    const char *text = PT_ConfigReadPtr(name);
    if (!text || !buffer) return 0;
    safe_strncpy(buffer, text, kUrlSize);
    return 1;
}

char *PT_ConfigReadPtr(const char *name)
{
    const char *key = keyOf(name);
    if (!enabled || !key) return nullptr;
    if (controlRead(key)) return controlText;
    ConfigParam *p = findOrAdd(name);
    return p ? p->value : nullptr;
}

int PT_ConfigWrite(const char *name, const char *text)
{
    const char *key = keyOf(name);
    if (!enabled || !key) return 0;
    if (!text) text = "";
    if (controlWrite(key, text)) return 1;
    if (!storeValue(name, text)) return stringicmp(key, "Start.Timeout");
    modified = 1;
    if (prefixicmp(key, "Eth")) ethModified = 1;
    return 1;
}

void PT_Config_entry()
{
    if (startCounter <= 0 || --startCounter > 0) return;
    const char *url = storedValue("Start.URL");
    HK_hooks()->requestPageAfresh(url && url[0] ? url : pterm.start_page);
}

void PTC_entry()
{
    if (!enabled) return;
    if (modified && saveRequest && saveFile()) {
        modified = 0;
        saveRequest = 0;
        PTC_applyEthernet();
    }
    if (reloadRequest) {
        loadFile();
        reloadRequest = 0;
        modified = 0;
    }
}

void PTC_reset()
{
    firstParam = lastParam = nullptr;
    enabled = modified = ethModified = saveRequest = reloadRequest = 0;
    startTimeout = kInitialTimeout;
    startCounter = 0;
    initialisedOnce = 0;
    controlText[0] = '\0';
    readyText[0] = '\0';
}
