// Alarm rows: parsing the alarm CGI's answers and writing display rows.
#include "alarms_trends/alarm_rows.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "runtime/str_util.h"

namespace {

constexpr int kFields = 5;

// The next tab-separated field of text: its start, and text moves past it.
const char *nextField(const char **text)
{
    const char *start = *text;
    if (!start) return nullptr;
    const char *tab = std::strchr(start, '\t');
    *text = tab ? tab + 1 : nullptr;
    return start;
}

// A field that holds no number: empty, or beginning with a character other
// than a blank that strtol would skip.
bool emptyField(const char *field)
{
    while (*field == ' ') field++;
    return *field == '\t' || *field == '\0' || *field == '\n' || *field == '\r';
}

bool signedField(const char *field, int32_t *out)
{
    if (emptyField(field)) return false;
    char *end = nullptr;
    errno = 0;
    long long value = std::strtoll(field, &end, 10);
    if (end == field || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
    *out = static_cast<int32_t>(value);
    return true;
}

bool unsignedField(const char *field, int base, uint32_t *out)
{
    if (emptyField(field)) return false;
    while (*field == ' ') field++;
    if (*field == '-') return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(field, &end, base);
    if (end == field || errno == ERANGE || value > UINT32_MAX) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool parseFields(const char *line, int history, AL_Line *out)
{
    const char *fields[kFields];
    for (const char *&f : fields)
        if (!(f = nextField(&line))) return false;
    if (history)
        return signedField(fields[0], &out->historyNumber) && signedField(fields[1], &out->alarmNumber) &&
               unsignedField(fields[2], 16, &out->onTime) && unsignedField(fields[3], 16, &out->offTime) &&
               signedField(fields[4], &out->acknowledged);
    return signedField(fields[0], &out->alarmNumber) && unsignedField(fields[1], 10, &out->count) &&
           unsignedField(fields[2], 16, &out->onTime) && unsignedField(fields[3], 16, &out->offTime) &&
           signedField(fields[4], &out->acknowledged);
}

// Copies the alarm text so that it stays one cell: tabs and line breaks
// become blanks.
void cellText(const char *text, char *out, size_t size)
{
    safe_strncpy(out, text ? text : "", size);
    for (char *c = out; *c; c++)
        if (*c == '\t' || *c == '\n' || *c == '\r' || static_cast<unsigned char>(*c) == 0xA2 ||
            static_cast<unsigned char>(*c) == 0xA7)
            *c = ' ';
}

} // namespace

int AL_parseConfig(const char *answer, AL_Config *c)
{
    *c = {};
    if (!answer) return 0;
    char *end = nullptr;
    errno = 0;
    long major = std::strtol(answer, &end, 10);
    if (end == answer || *end != '.' || errno == ERANGE || major < 0 || major > 1000) return 0;
    const char *minorText = end + 1;
    long minor = std::strtol(minorText, &end, 10);
    if (end == minorText || errno == ERANGE || minor < 0 || minor > 1000) return 0;
    c->version = static_cast<int>(major * 100 + minor);
    if (c->version != 100 && c->version != 101) return 0;
    long values[5] = {};
    const char *p = end;
    int wanted = c->version == 101 ? 5 : 4;
    for (int i = 0; i < wanted; i++) {
        if (*p != ';') return 0;
        errno = 0;
        values[i] = std::strtol(p + 1, &end, 10);
        if (end == p + 1 || errno == ERANGE || values[i] < 0 || values[i] > INT32_MAX) return 0;
        p = end;
    }
    c->current = static_cast<int32_t>(values[0]);
    c->unused = static_cast<int32_t>(values[1]);
    c->history = static_cast<int32_t>(values[2]);
    c->largestBlock = static_cast<int32_t>(values[3]);
    c->status = static_cast<int32_t>(values[4]);
    return 1;
}

int AL_parseLine(const char *line, int history, AL_Line *out)
{
    *out = {};
    return line && parseFields(line, history, out) ? 1 : 0;
}

int AL_stateOf(const AL_Line *l)
{
    if (l->onTime == 0) return AL_COLOUR_NO_STATE;
    if (l->acknowledged) return l->offTime ? AL_COLOUR_OFF_ACKED : AL_COLOUR_ON_ACKED;
    return l->offTime ? AL_COLOUR_OFF_NACKED : AL_COLOUR_ON_NACKED;
}

void AL_parseColour(const char *text, uint8_t *red, uint8_t *green, uint8_t *blue)
{
    int r = 255, g = 255, b = 255;
    if (!text || std::sscanf(text, "%d,%d,%d", &r, &g, &b) != 3) r = g = b = 255;
    *red = static_cast<uint8_t>(r & 255);
    *green = static_cast<uint8_t>(g & 255);
    *blue = static_cast<uint8_t>(b & 255);
}

void AL_formatTime(uint32_t time, const AL_RowStyle *style, char *out, size_t size)
{
    if (time == 0) {
        safe_strncpy(out, "--", size);
        return;
    }
    std::time_t t = static_cast<std::time_t>(time);
    std::tm parts = {};
    if (style->localTime) localtime_r(&t, &parts);
    else gmtime_r(&t, &parts);
    int year = parts.tm_year + 1900, month = parts.tm_mon + 1;
    if (!style->twelveHour) {
        std::snprintf(out, size, "%.2d.%.2d.%d %.2d:%.2d:%.2d", parts.tm_mday, month, year, parts.tm_hour, parts.tm_min,
                      parts.tm_sec);
        return;
    }
    int hour = parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12;
    std::snprintf(out, size, "%d.%.2d.%.2d %.2d:%.2d:%.2d %s", year, month, parts.tm_mday, hour, parts.tm_min,
                  parts.tm_sec, parts.tm_hour >= 12 ? "PM" : "AM");
}

int AL_formatRow(const AL_Line *l, int history, const AL_RowStyle *style, char *out, size_t size)
{
    if (size < 2) return 0;
    char colour[32] = "", on[40], off[40], head[64], tail[128], text[AL_ROW_SIZE];
    if (style->coloured) std::snprintf(colour, sizeof colour, "#sbc;%d,%d,%d#\t", l->red, l->green, l->blue);
    AL_formatTime(l->onTime, style, on, sizeof on);
    AL_formatTime(l->offTime, style, off, sizeof off);
    const char *ack = l->acknowledged ? "ACK" : "NAK";
    if (history) {
        std::snprintf(head, sizeof head, "%s%d\t%d\t", colour, l->historyNumber, l->alarmNumber);
        std::snprintf(tail, sizeof tail, "\t%s\t%s\t%s\n", on, off, ack);
    } else {
        std::snprintf(head, sizeof head, "%s%d\t", colour, l->alarmNumber);
        std::snprintf(tail, sizeof tail, "\t%s\t%s\t%s\t%lu\n", on, off, ack, static_cast<unsigned long>(l->count));
    }
    size_t fixed = std::strlen(head) + std::strlen(tail);
    size_t room = fixed < AL_ROW_SIZE - 1 ? AL_ROW_SIZE - 1 - fixed : 0;
    cellText(l->text, text, room + 1 < sizeof text ? room + 1 : sizeof text);
    int n = std::snprintf(out, size, "%s%s%s", head, text, tail);
    return n < 0 ? 0 : n >= static_cast<int>(size) ? static_cast<int>(size) - 1 : n;
}

int AL_leadingNumber(const char *answer, long *number)
{
    if (!answer) return 0;
    while (*answer == ' ' || *answer == '\r' || *answer == '\n' || *answer == '\t') answer++;
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(answer, &end, 10);
    if (end == answer || errno == ERANGE) return 0;
    *number = value;
    return 1;
}
