// TBox driver. Owns the path of the value page. Reads and writes through the
// relay request of the HTTP client; values go into the read list of the
// process-point cache, the TBox addresses come from the value formats.
#include "comm/tbox_driver.h"

#include <cstring>

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

char valuePage[PPO_VALUE_SIZE];

// One line "name=value": the value of a point of the read list (answers 1
// then). Lines of other names are the target's values that this page does
// not show.
int takeLine(char *line)
{
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\r') line[--length] = '\0';
    if (length < 2 || line[0] == '#') return 0;
    char *equals = std::strchr(line, '=');
    if (!equals) return 0;
    *equals = '\0';
    PpoRecord *r = PPO_lookup(line);
    if (r) PPO_updateValue(r, equals + 1);
    return r ? 1 : 0;
}

// The lines of the page; a last line cut at the end of the buffer is dropped.
// Answers the number of points taken.
int parsePage(char *text, int size)
{
    bool cut = static_cast<int>(std::strlen(text)) >= size - 1;
    int taken = 0;
    while (*text) {
        char *end = std::strchr(text, '\n');
        if (!end && cut) break;
        if (end) *end = '\0';
        taken += takeLine(text);
        if (!end) break;
        text = end + 1;
    }
    return taken;
}

// The TBox address: element 4 of the format's parameters, trimmed, or the
// point's name.
void addressOf(const char *point, char *address, size_t size)
{
    const TcrEntry *entry = nullptr;
    if (const PpoRecord *r = PPO_lookup(point)) entry = r->format;
    if (!entry) entry = TCR_getTcrPointer(point);
    if (!entry) entry = TCR_getTcrPointerWithSymbol(point);
    const char *field = TCR_getParamField(entry, 4);
    char trimmed[PPO_VALUE_SIZE];
    safe_strncpy(trimmed, field ? field : "", sizeof trimmed);
    const char *text = str_trim(trimmed);
    safe_strncpy(address, text[0] ? text : point, size);
}

void loadParameters(const char *) { TBX_loadHtmlParameters(); }
// The value page is read whole every cycle: there is no order step.
int orderStep(const char *, const char *, char *, int, PpoList *) { return 1; }
int writeStep(const char *host, const char *name, const char *value, int)
{
    char encoded[PPO_VALUE_SIZE * 3];
    safe_strncpy(encoded, value, sizeof encoded);
    URL_encode(encoded, sizeof encoded);
    return TBX_writeValue(host, PPO_resolve(name), encoded, sizeof encoded);
}

const TargetDriver tboxDriver = {
    TARSEL_SERVICE_TBOX, "TBox", loadParameters, orderStep, TBX_readValues, nullptr, writeStep,
};

} // namespace

void TBX_loadHtmlParameters()
{
    char value[PPO_VALUE_SIZE] = "";
    bool found = HK_hooks()->readPageParameter("TBOXPPOFileName", value);
    safe_strncpy(valuePage, found ? value : "", sizeof valuePage);
}

int TBX_readValues(const char *host, const char *, char *reply, int size, PpoList *list)
{
    if (!reply || size < 2 || !list) return 0;
    if (!valuePage[0]) {
        err_append(0, "readValues() failed!\n TBox value page (TBOXPPOFileName) missing\n", nullptr);
        return 0;
    }
    char path[PPO_VALUE_SIZE];
    safe_strncpy(path, valuePage, sizeof path);
    reply[0] = '\0';
    int result = RelayURL(host, RLY_RAW, path, reply, size);
    // A page that names none of the points is not the value page: a failed
    // read, reported by the last attempt of the update.
    if (result && parsePage(reply, size) == 0 && list->count > 0) {
        result = 0;
        if (pterm.comm_err_count >= pterm.comm_err_limit)
            err_append(0, "readValues() failed!\n TBox value page without any point of the page\n", nullptr);
    }
    reply[0] = '\0';
    return result;
}

int TBX_writeValue(const char *host, const char *point, const char *text, int size)
{
    if (!point || !point[0] || !text || size < 1) return 0;
    char address[PPO_VALUE_SIZE], value[PPO_VALUE_SIZE * 3];
    addressOf(point, address, sizeof address);
    safe_strncpy(value, text, sizeof value);
    return RelayURL(host, RLY_TBOX_WRITE, address, value, sizeof value);
}

const TargetDriver *TBX_getDriver() { return &tboxDriver; }

void TBX_reset() { valuePage[0] = '\0'; }
