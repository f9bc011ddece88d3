// Page parameters. Entries live in heap2 and are dropped with it; the file is
// read through the target link, so pages from the target and from disk scan
// alike. Asks the language table first where the look-ups say so.
#include "view/page_params.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/settings.h"
#include "comm/target_link.h"
#include "data/source_names.h"
#include "data/language.h"
#include "data/read_stamps.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "data/client_entries.h"
#include "view/view_manager.h"

int HT_isInitialized;
char appletName[64];
int applet_width, applet_height;

namespace {

constexpr int kMaxValue = 255;
constexpr int kMaxCsvLine = 255;

HC_List parameters;
uint32_t parametersStamp; // read stamp of the parameters' last change
char ppoResults[2][HT_VALUE_SIZE];
int ppoResultSlot;
char ppoName[HT_VALUE_SIZE];

// Reads forward until the lower-cased file text matches the lower-case token.
bool searchToken(int handle, const char *token)
{
    size_t matched = 0, need = std::strlen(token);
    for (int c; (c = Tarsel_fileGetc(handle)) >= 0;) {
        char lc = static_cast<char>(std::tolower(c));
        if (lc == token[matched]) matched++;
        else matched = lc == token[0] ? 1 : 0;
        if (matched == need) return true;
    }
    return false;
}

bool skipToQuote(int handle)
{
    for (int c; (c = Tarsel_fileGetc(handle)) >= 0;)
        if (c == '"') return true;
    return false;
}

// Reads a value that starts just after its opening quote: skips blanks and
// "=", then reads up to the next "=" or quote; keeps at most 255 characters.
// A quote right away is an empty value, so the next parameter stays intact.
void readValue(int handle, char *out)
{
    int c = Tarsel_fileGetc(handle);
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '=') c = Tarsel_fileGetc(handle);
    int n = 0;
    for (; c >= 0 && c != '=' && c != '"'; c = Tarsel_fileGetc(handle))
        if (n < kMaxValue) out[n++] = static_cast<char>(c);
    out[n] = '\0';
}

bool isTeqNameParameter(const char *name)
{
    int number, used = 0;
    return std::sscanf(name, "TEQ%dNAME%n", &number, &used) == 1 && used > 0 && name[used] == '\0';
}

bool storePair(const char *name, const char *value)
{
    parametersStamp = RS_touch();
    HC_Entry *e = HC_CreateNew(name, HT_VALUE_SIZE, value, std::strlen(value));
    return e && HC_ClientEntries_Add(&parameters, e);
}

int readAppletHeader(int handle)
{
    char text[HT_VALUE_SIZE];
    if (!searchToken(handle, "<applet") || !searchToken(handle, "code=\"")) return 0;
    readValue(handle, text);
    if (!prefixcmp(text, "IViewer")) return 0;
    safe_strncpy(appletName, text, sizeof appletName);
    if (char *dot = std::strchr(appletName, '.')) *dot = '\0';
    char number[HT_VALUE_SIZE];
    applet_width = applet_height = 0;
    if (searchToken(handle, "width=\"")) {
        readValue(handle, number);
        applet_width = std::atoi(number);
    }
    if (searchToken(handle, "height=\"")) {
        readValue(handle, number);
        applet_height = std::atoi(number);
    }
    Tarsel_setServiceId(text + 7);
    VM_ClearAll();
    return 1;
}

int readParameters(int handle)
{
    int found = 0;
    char name[HT_VALUE_SIZE], value[HT_VALUE_SIZE];
    while (searchToken(handle, "<param name")) {
        found = 1;
        skipToQuote(handle);
        readValue(handle, name);
        if (!searchToken(handle, "value")) break;
        skipToQuote(handle);
        readValue(handle, value);
        if (isTeqNameParameter(name) || value[0] == '\0') continue;
        if (!storePair(name, value)) break;
    }
    return found;
}

const char *languageOrParameter(const char *name)
{
    RS_note(&parametersStamp);
    const char *value = LR_readValuePtr(name);
    return value ? value : HC_findValue(&parameters, name);
}

int copyLookup(const char *resolved, const char *value, char *out)
{
    safe_strncpy(out, value ? value : resolved, HT_VALUE_SIZE);
    return value != nullptr;
}

// Splits a static tag line at its first ';', else tab, else ','.
char *csvSeparator(char *line)
{
    static const char separators[] = {';', '\t', ','};
    for (char sep : separators)
        if (char *at = std::strchr(line, sep)) return at;
    return nullptr;
}

int readCsvLine(int handle, char *line)
{
    int n = 0, c;
    while ((c = Tarsel_fileGetc(handle)) >= 0 && c != '\n')
        if (n < kMaxCsvLine) line[n++] = static_cast<char>(c);
    if (n > 0 && line[n - 1] == '\r') n--;
    line[n] = '\0';
    return c >= 0 || n > 0;
}

} // namespace

int HT_isHtmlFile(const char *address)
{
    if (!address) return 0;
    if (prefixicmp(address, "http://")) return 1;
    char path[1024];
    safe_strncpy(path, address, sizeof path);
    path[std::strcspn(path, "#?")] = '\0';
    const char *dot = std::strrchr(path, '.');
    return dot && (stringicmp(dot, ".html") || stringicmp(dot, ".htm"));
}

int HT_loadHtmlParameters(const char *fileName)
{
    parametersStamp = RS_touch();
    HT_isInitialized = 0;
    int result = HT_CacheAllHTMLParameters(fileName);
    HT_isInitialized = 1;
    return result;
}

int HT_CacheAllHTMLParameters(const char *fileName)
{
    int handle = Tarsel_fileOpen(fileName, "r");
    if (handle < 0) {
        err_fileNotFound(fileName);
        return -1;
    }
    int result = readAppletHeader(handle) ? readParameters(handle) : 0;
    Tarsel_fileClose(handle);
    return result;
}

int HT_readHtmlParameter(const char *name, char *out)
{
    RS_note(&parametersStamp);
    if (!HT_isInitialized || !name || !out) return 0;
    const char *resolved = resolveInfoName(name);
    return copyLookup(resolved, HC_findValue(&parameters, resolved), out);
}

int HT_readParamName(const char *name, char *out)
{
    RS_note(&parametersStamp);
    if (!HT_isInitialized || !name || !out) return 0;
    if (HT_isHtmlTagPpoName(name)) return readParamNameFromPPO(name, out);
    const char *resolved = resolveInfoName(name);
    return copyLookup(resolved, languageOrParameter(resolved), out);
}

int readParamNameFromPPO(const char *name, char *out)
{
    if (!HT_isInitialized || !name || !out) return 0;
    const char *resolved = resolveInfoName(resolvePPO(name));
    return copyLookup(resolved, languageOrParameter(resolved), out);
}

const char *HT_readValPtr(const char *name)
{
    if (!name) return nullptr;
    RS_note(&parametersStamp);
    if (HT_isHtmlTagPpoName(name)) {
        char *out = ppoResults[ppoResultSlot];
        ppoResultSlot ^= 1;
        if (!readParamNameFromPPO(name, out)) safe_strncpy(out, resolveInfoName(resolvePPO(name)), HT_VALUE_SIZE);
        return out;
    }
    const char *resolved = resolveInfoName(name);
    const char *value = HT_isInitialized ? languageOrParameter(resolved) : nullptr;
    return value ? value : resolved;
}

int HT_isHtmlTagPpoName(const char *text) { return text && (std::strstr(text, "@PPO_") || std::strstr(text, "#PPO_")); }

const char *HT_getPpoName(const char *text)
{
    ppoName[0] = '\0';
    if (!text) return ppoName;
    const char *at = std::strstr(text, "#PPO_");
    const char *other = std::strstr(text, "@PPO_");
    if (!at || (other && other < at)) at = other;
    if (!at) return ppoName;
    const char *start = at + 5;
    const char *end = start[0] ? std::strchr(start + 1, at[0]) : nullptr;
    size_t length = end ? static_cast<size_t>(end - start) : std::strlen(start);
    if (length >= sizeof ppoName) length = sizeof ppoName - 1;
    std::memcpy(ppoName, start, length);
    ppoName[length] = '\0';
    return ppoName;
}

int HT_loadCsvFile(const char *fileName)
{
    int handle = Tarsel_fileOpen(fileName, "rt");
    if (handle < 0) {
        err_fileNotFound(fileName);
        return -1;
    }
    if (pterm.debug_level == 1) log_append(0, "Open CSV File: %s\n", fileName);
    char line[kMaxCsvLine + 1];
    while (readCsvLine(handle, line)) {
        char *sep = csvSeparator(line);
        if (!sep || sep == line) continue;
        *sep = '\0';
        if (!storePair(line, sep + 1)) break;
    }
    Tarsel_fileClose(handle);
    HT_isInitialized = 1;
    parametersStamp = RS_touch();
    HT_checkPmTm();
    return 0;
}

void HT_checkPmTm()
{
    const char *value = HT_isInitialized ? languageOrParameter("PM_AM") : LR_readValuePtr("PM_AM");
    pterm.pm_tm = value ? std::atoi(value) : 0;
}

void HT_resetParameters()
{
    parametersStamp = RS_touch();
    HC_Init_Heap(&parameters);
    HT_isInitialized = 0;
}

void HT_reset()
{
    HT_resetParameters();
    appletName[0] = '\0';
    applet_width = applet_height = 0;
    std::memset(ppoResults, 0, sizeof ppoResults);
    ppoResultSlot = 0;
    ppoName[0] = '\0';
}
