// Settings file: reads "pterm.xml" element by element in a fixed order into the
// record `pterm`, writes it back complete, and dumps it to the log. Touches the
// log (runtime/log) and the application directory (app/platform).
#include "runtime/settings.h"

#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/time.h>

#include "runtime/platform.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

PTermSettings pterm;

namespace {

enum class Kind { Version, Text, Int, Unsigned, UnsignedLong, Ext, DebugLevel };

struct Element {
    const char *name;
    Kind kind;
    size_t offset;
    size_t size; // text buffer size
};

#define TEXT(f)                                                                                                        \
    {                                                                                                                  \
#f, Kind::Text, offsetof(PTermSettings, f), sizeof(PTermSettings::f)                                           \
    }
#define NUM(f, k)                                                                                                      \
    {                                                                                                                  \
#f, k, offsetof(PTermSettings, f), 0                                                                           \
    }

// The order in which the elements are searched, written and dumped.
const Element kElements[] = {
    {"version", Kind::Version, 0, 0},
    TEXT(start_page),
    TEXT(log_file),
    TEXT(proxy_host),
    NUM(proxy_port, Kind::Int),
    TEXT(vpi_user),
    TEXT(vpi_pass),
    NUM(prompt_url, Kind::Int),
    NUM(full_redraw, Kind::Int),
    NUM(debug_level, Kind::DebugLevel),
    NUM(kiosk, Kind::Int),
    NUM(keep_alive, Kind::Int),
    NUM(httpd_enabled, Kind::Int),
    NUM(httpd_port, Kind::Int),
    NUM(sip, Kind::Int),
    NUM(img_mem_max, Kind::UnsignedLong),
    TEXT(temp_dir),
    NUM(warn_btn, Kind::Ext),
    NUM(remote_mode, Kind::Int),
    NUM(teq_cache, Kind::Int),
    NUM(loading_msg, Kind::Ext),
    NUM(show_selection, Kind::Int),
    TEXT(config_page),
    TEXT(config_file),
    NUM(httpd_debug_level, Kind::Int),
    NUM(boot_delay_sec, Kind::Unsigned),
    NUM(set_width, Kind::Int),
    NUM(set_height, Kind::Int),
    NUM(inactivity_to_sec, Kind::Int),
    NUM(inactivity_pts_ms, Kind::Int),
    NUM(tmz_en, Kind::Int),
    NUM(mem_ramdisk_kb, Kind::UnsignedLong),
    NUM(mem_heap1_kb, Kind::UnsignedLong),
    NUM(mem_heap2_kb, Kind::UnsignedLong),
    NUM(mem_lrheap_kb, Kind::UnsignedLong),
    NUM(remote_view, Kind::Int),
    NUM(cmd_timeout_ms, Kind::Int),
    TEXT(mqtt_broker),
    TEXT(mqtt_prefix),
    TEXT(mqtt_user),
    TEXT(mqtt_password),
    TEXT(mqtt_cafile),
    NUM(mqtt_writes, Kind::Int),
};

#undef TEXT
#undef NUM

char *fieldText(const Element &e) { return reinterpret_cast<char *>(&pterm) + e.offset; }
int32_t &fieldInt(const Element &e)
{
    return *reinterpret_cast<int32_t *>(reinterpret_cast<char *>(&pterm) + e.offset);
}
uint32_t &fieldUnsigned(const Element &e)
{
    return *reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(&pterm) + e.offset);
}
ExtObjectSpec &fieldExt(const Element &e)
{
    return *reinterpret_cast<ExtObjectSpec *>(reinterpret_cast<char *>(&pterm) + e.offset);
}

void setExt(ExtObjectSpec &ext, int enabled, int mode, const char *text, int x, int y, int w, int h, uint32_t c1,
            uint32_t c2)
{
    ext.enabled = enabled;
    ext.mode = mode;
    safe_strncpy(ext.text, text, sizeof ext.text);
    ext.x = x;
    ext.y = y;
    ext.width = w;
    ext.height = h;
    ext.color1 = c1;
    ext.color2 = c2;
}

uint32_t colorWord(int r, int g, int b)
{
    auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return clamp(r) | clamp(g) << 8 | clamp(b) << 16 | 0xFF000000u;
}

// Reads a number the way "%d" does: blanks, an optional sign, digits. Values
// beyond 32 bits are clamped. Answers 0 when no number starts the text.
int readSigned(const char *text, int32_t *out)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (end == text) return 0;
    *out = static_cast<int32_t>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
    return 1;
}

// Reads an unsigned size; a minus sign is refused rather than wrapped.
int readUnsigned(const char *text, uint32_t *out)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') text++;
    if (*text < '0' || *text > '9') {
        if (*text != '+' || text[1] < '0' || text[1] > '9') return 0;
    }
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 10);
    *out = static_cast<uint32_t>(v > UINT32_MAX || errno == ERANGE ? UINT32_MAX : v);
    return 1;
}

void logf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void logf(const char *format, ...)
{
    char line[600];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log_append(0, "%s", line);
}

const char *extText(const ExtObjectSpec &ext) { return ext.enabled ? ext.text : "disabled"; }

bool isSecret(const Element &e) { return stringcmp(e.name, "vpi_pass") || stringcmp(e.name, "mqtt_password"); }

// One "- name : value" line; width is the padding of the name.
void logElement(const Element &e, int width, int version)
{
    switch (e.kind) {
    case Kind::Version: logf("- %-*s: %d\n", width, e.name, version); break;
    case Kind::Text: logf("- %-*s: \"%s\"\n", width, e.name, isSecret(e) ? "****" : fieldText(e)); break;
    case Kind::Int:
    case Kind::DebugLevel: logf("- %-*s: %d\n", width, e.name, fieldInt(e)); break;
    case Kind::Unsigned: logf("- %-*s: %u\n", width, e.name, fieldUnsigned(e)); break;
    case Kind::UnsignedLong: logf("- %-*s: %lu\n", width, e.name, static_cast<unsigned long>(fieldUnsigned(e))); break;
    case Kind::Ext: logf("- %-*s: %s\n", width, e.name, extText(fieldExt(e))); break;
    }
}

void logStartHeader()
{
    log_append(1, "\nStart Panterm...\n\n", nullptr);
    log_append(0, "Version        %s\n", sVersion);
    log_append(0, "OS             %s\n", sOSVers);
    log_append(0, "Config File V. %s\n", SETTINGS_FILE_VERSION);
}

struct ParseState {
    const char *fileName;
    int version;
    int32_t debugLevel;
    bool logging; // log_file has been read and the log restarted
};

// Stores the text between the tags of one element. `value` is NUL-terminated
// (the closing tag's first byte was overwritten by the caller).
int storeElement(const Element &e, char *value, ParseState &st)
{
    switch (e.kind) {
    case Kind::Version: readSigned(value, &st.version); break;
    case Kind::Text: safe_strncpy(fieldText(e), value, e.size); break;
    case Kind::Int: readSigned(value, &fieldInt(e)); break;
    case Kind::DebugLevel: readSigned(value, &st.debugLevel); break;
    case Kind::Unsigned: {
        int32_t v;
        if (readSigned(value, &v) && v >= 0) fieldUnsigned(e) = static_cast<uint32_t>(v);
        break;
    }
    case Kind::UnsignedLong: readUnsigned(value, &fieldUnsigned(e)); break;
    case Kind::Ext: return parseExtObjectString(&fieldExt(e), value);
    }
    if (&e == &kElements[4]) pterm.loaded = 1; // proxy_port
    return 1;
}

// A parse that stops early keeps what it read, the debug level included
// (the default when the parse stopped before it); answers 0.
int stopParse(const ParseState &st)
{
    pterm.debug_level = st.debugLevel;
    return 0;
}

void startParseLog(ParseState &st, size_t elementsRead)
{
    log_clearFile();
    logStartHeader();
    logf("\nConfiguration File : \"%s\"\n\n", st.fileName);
    for (size_t i = 0; i < elementsRead; i++) logElement(kElements[i], 17, st.version);
    st.logging = true;
}

} // namespace

void initSettings()
{
    std::memset(&pterm, 0, sizeof pterm);
    safe_strncpy(pterm.start_page, "start.html", sizeof pterm.start_page);
    pterm.proxy_port = 80;
    pterm.prompt_url = 1;
    pterm.full_redraw = 1;
    pterm.debug_level = 1;
    pterm.httpd_port = 80;
    pterm.sip = 1;
    pterm.img_mem_max = 2097152;
    setExt(pterm.warn_btn, 1, 0, "!", 1, 1, 20, 20, colorWord(255, 165, 0), colorWord(0, 0, 0));
    safe_strncpy(pterm.temp_dir, "~pt~", sizeof pterm.temp_dir);
    setExt(pterm.loading_msg, 1, 0, "Loading...", 0, 0, 0, 0, colorWord(0, 0, 0), colorWord(0, 0, 0));
    pterm.comm_err_limit = 3;
    pterm.cmd_timeout_ms = 5000;
}

int parseExtObjectString(ExtObjectSpec *ext, const char *text)
{
    if (!ext || !text || std::strlen(text) < 3) return 0;
    ext->enabled = 0;
    ext->mode = 0;
    readSigned(text, &ext->enabled);
    readSigned(text + 2, &ext->mode);
    const char *open = std::strchr(text + 3, ';');
    if (!open) return 0;
    const char *close = std::strchr(open + 1, ';');
    if (!close) return 0;
    size_t len = static_cast<size_t>(close - open - 1);
    if (len > 31) len = 31;
    std::memcpy(ext->text, open + 1, len);
    ext->text[len] = '\0';

    int x, y, w, h, used = 0;
    if (std::sscanf(close + 1, "%d,%d,%d,%d;%n", &x, &y, &w, &h, &used) != 4 || used == 0) return 0;
    ext->x = x;
    ext->y = y;
    ext->width = w;
    ext->height = h;
    const char *sep = close + used; // the ';' that ends the four numbers
    int r, g, b;
    if (std::sscanf(sep, ";%d,%d,%d", &r, &g, &b) != 3) return 0;
    ext->color1 = colorWord(r, g, b);
    const char *next = std::strchr(sep + 1, ';');
    if (!next || std::sscanf(next, ";%d,%d,%d", &r, &g, &b) != 3) return 0;
    ext->color2 = colorWord(r, g, b);
    return 1;
}

int parseXmlFileForSettings(const char *fileName, char *text)
{
    ParseState st = {fileName ? fileName : "", 0, pterm.debug_level, false};
    char *pos = text;
    const size_t count = sizeof kElements / sizeof kElements[0];
    for (size_t i = 0; i < count; i++) {
        const Element &e = kElements[i];
        char open[40], close[40];
        std::snprintf(open, sizeof open, "<%s>", e.name);
        std::snprintf(close, sizeof close, "</%s>", e.name);
        int start = moveToToken(pos, open);
        int end = start < 0 ? -1 : moveToToken(pos + start, close);
        if (end < 0) {
            log_append(0, "Settings: element <%s> missing or out of order, the rest keep their defaults\n", e.name);
            return stopParse(st);
        }
        char *value = pos + start;
        char *closing = value + end - static_cast<int>(std::strlen(close));
        char saved = *closing;
        *closing = '\0';
        int ok = storeElement(e, value, st);
        if (e.kind != Kind::Ext) *closing = saved;
        if (!ok) {
            log_append(0, "Settings: malformed value of <%s>\n", e.name);
            return stopParse(st);
        }
        pos = value + end;
        if (st.logging && e.kind != Kind::DebugLevel) logElement(e, 17, st.version);
        if (&e == &kElements[2]) startParseLog(st, 3); // log_file
    }
    logf("- %-17s: %d\n", "debug_level", st.debugLevel);
    log_append(0, "\n", nullptr);
    pterm.debug_level = st.debugLevel;
    if (pterm.debug_level > 0) log_printHeapSize();
    return 1;
}

void loadSettingsFromXmlFile()
{
    initSettings();
    safe_strncpy(pterm.log_file, "pterm.log", sizeof pterm.log_file);
    FILE *f = APP_FOPEN(SETTINGS_FILE_NAME, "rb");
    if (!f) {
        log_clearFile();
        logStartHeader();
        dumpSettings(SETTINGS_FILE_NAME);
        saveSettingsInXmlFile();
        return;
    }
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    if (size == 0) {
        std::fclose(f);
        return;
    }
    char *text = size > 0 ? static_cast<char *>(std::malloc(static_cast<size_t>(size) + 1)) : nullptr;
    if (!text) {
        std::fclose(f);
        logStartHeader();
        err_append(0, "out of memory while reading \"%s\" !\n", SETTINGS_FILE_NAME);
        log_append_int(0, "file size: %d\n", static_cast<int>(size));
        dumpSettings(SETTINGS_FILE_NAME);
        return;
    }
    size_t got = std::fread(text, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    text[got] = '\0';
    if (got == 0) {
        logStartHeader();
        dumpSettings(SETTINGS_FILE_NAME);
    } else if (!parseXmlFileForSettings(SETTINGS_FILE_NAME, text)) {
        saveSettingsInXmlFile();
    }
    std::free(text);
}

void saveSettingsInXmlFile()
{
    if (pterm.debug_level >= 2) log_append(0, "Save config file...\n", nullptr);
    FILE *f = APP_FOPEN(SETTINGS_FILE_NAME, "wb");
    if (!f) {
        err_append(0, "Failed to open the config file in write mode!\n %s\n", SETTINGS_FILE_NAME);
        return;
    }
    std::fputs("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<pterm>\n", f);
    std::fputs("\t<!--Configuration file of the Panterm-->\n", f);
    for (const Element &e : kElements) {
        std::fprintf(f, "\t<%s>", e.name);
        switch (e.kind) {
        case Kind::Version: std::fputs(SETTINGS_FILE_VERSION, f); break;
        case Kind::Text: std::fputs(fieldText(e), f); break;
        case Kind::Int:
        case Kind::DebugLevel: std::fprintf(f, "%d", fieldInt(e)); break;
        case Kind::Unsigned: std::fprintf(f, "%u", fieldUnsigned(e)); break;
        case Kind::UnsignedLong: std::fprintf(f, "%lu", static_cast<unsigned long>(fieldUnsigned(e))); break;
        case Kind::Ext: {
            const ExtObjectSpec &s = fieldExt(e);
            std::fprintf(f, "%d;%d;%s;%d,%d,%d,%d;%u,%u,%u;%u,%u,%u;", s.enabled, s.mode, s.text, s.x, s.y, s.width,
                         s.height, s.color1 & 0xFF, s.color1 >> 8 & 0xFF, s.color1 >> 16 & 0xFF, s.color2 & 0xFF,
                         s.color2 >> 8 & 0xFF, s.color2 >> 16 & 0xFF);
            break;
        }
        }
        std::fprintf(f, "</%s>\n", e.name);
    }
    std::fputs("</pterm>\n", f);
    std::fclose(f);
    if (pterm.debug_level >= 2) log_append(0, "Done.\n", nullptr);
}

void dumpSettings(const char *fileName)
{
    logf("\nConfiguration File: \"%s\"\n\n", fileName ? fileName : "");
    for (const Element &e : kElements) logElement(e, 18, 122);
    log_append(0, "\n", nullptr);
}

void log_timeInfo()
{
    if (pterm.debug_level <= 0) return;
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    time_t now = tv.tv_sec;
    struct tm local, utc;
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    char text[160];
    log_append(0, "-- Time Info --\n", nullptr);
    logf("Time in seconds since UTC 1/1/70:\t%ld (0x%lx)\n", static_cast<long>(now), static_cast<unsigned long>(now));
    logf("UNIX time and date:\t\t\t%s", asctime_r(&local, text));
    logf("Coordinated universal time:\t\t%s", asctime_r(&utc, text));
    struct tm twelve = local;
    const char *ampm = "AM";
    if (twelve.tm_hour > 12) {
        ampm = "PM";
        twelve.tm_hour -= 12;
    }
    if (twelve.tm_hour == 0) twelve.tm_hour = 12;
    logf("12-hour time:\t\t\t\t%.8s %s\n", asctime_r(&twelve, text) + 11, ampm);
    logf("Plus milliseconds:\t\t\t%u\n", static_cast<unsigned>(tv.tv_usec / 1000));
    logf("Zone difference in seconds from UTC:\t%d\n", static_cast<int>(timezone));
    logf("Time zone name:\t\t\t\t%s\n", tzname[0]);
    logf("Daylight savings:\t\t\t%s\n", daylight ? "YES" : "NO");
    if (std::strftime(text, 129, "Today is %A, day %d of %B in the year %Y,\n week nr. %U, %H:%M:%S (%I:%M %p)\n",
                      &local))
        log_append(0, "%s", text);
    if (std::strftime(text, 129, "Long date and time representation, appropriate for current locale:\n %c\n", &local))
        log_append(0, "%s", text);
    log_append(0, "---------------\n\n", nullptr);
}
