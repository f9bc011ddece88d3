// Value formatting: the text-conversion table of the page, the display forms
// of raw values and the check and conversion of typed values.
#include "data/value_format.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/file_layer.h"

// One line of the table. The symbol follows the record in the same block.
struct TcrEntry {
    char *symbol;
    char formatted[TCR_NAME_SIZE];
    char param[TCR_PARAM_SIZE];
    int kind;   // FormatKind of the format field
    int places; // "dec.N" and "flt2dec.N": N; plain "dec": -1
    TcrEntry *nextBySymbol;
    TcrEntry *nextByName;
};

namespace {

enum FormatKind {
    FK_STRING, // absent or "string": any text, its length checked
    FK_DEC,
    FK_FLT2DEC,
    FK_INT2HEX,
    FK_HEX,
    FK_INT,
    FK_UINT,
    FK_LONG,
    FK_ULONG,
    FK_SHORT,
    FK_USHORT,
    FK_BYTE,
    FK_UBYTE,
    FK_FLOAT,
    FK_HHMM,
    FK_HHMMSS,
    FK_DDMM,
    FK_DDMMYY,
    FK_OTHER, // unknown: shown and written unchanged
};

struct FormatRule {
    int kind;
    int places;
};

struct NamedFormat {
    const char *name;
    int kind;
};

// Formats known by their whole name (any case).
const NamedFormat kWholeNames[] = {
    {"string", FK_STRING},
    {"int2hex", FK_INT2HEX},
    {"hex", FK_HEX},
    {"int", FK_INT},
    {"unsignedint", FK_UINT},
    {"long", FK_LONG},
    {"unsignedlong", FK_ULONG},
    {"short", FK_SHORT},
    {"unsignedshort", FK_USHORT},
    {"byte", FK_BYTE},
    {"unsignedbyte", FK_UBYTE},
    {"HH:MM", FK_HHMM},
    {"HH:MM:SS", FK_HHMMSS},
    {"DD.MM", FK_DDMM},
    {"DD.MM.YY", FK_DDMMYY},
};

const char kInvalid[] = "Invalid entry !\n";
const char kOutOfRange[] = "value out of range !\n";
const char kOutOfDefaultRange[] = "value out of default range !\n";
const char kNoInformation[] = " ; ; ; ; ;";

constexpr unsigned kBuckets = 256;
constexpr int kFieldRing = 4;

TcrEntry *bySymbol[kBuckets];
TcrEntry *byName[kBuckets];
int entryCount;
int tcr_errFlag;
char fieldRing[kFieldRing][TCR_PARAM_SIZE];
int fieldSlot;

// ---- table -------------------------------------------------------------------------

unsigned bucketOf(const char *text)
{
    unsigned hash = 2166136261u;
    for (const char *p = text; *p; p++) hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return hash % kBuckets;
}

// Appends at the end of the chains, so that the first entry of a name in the
// file is the one found.
void linkEntry(TcrEntry *entry)
{
    TcrEntry **slot = &bySymbol[bucketOf(entry->symbol)];
    while (*slot) slot = &(*slot)->nextBySymbol;
    *slot = entry;
    slot = &byName[bucketOf(entry->formatted)];
    while (*slot) slot = &(*slot)->nextByName;
    *slot = entry;
    entryCount++;
}

// ---- parameter fields --------------------------------------------------------------

// Start and length of a field; null when the text has no such field.
const char *findField(const char *text, int index, size_t *length)
{
    const char *p = text;
    while (*p == ';') p++;
    if (!*p || index < 0) return nullptr;
    for (int i = 0; i < index && p; i++) p = TCR_nextElement(p);
    if (!p) return nullptr;
    *length = std::strcspn(p, ";");
    return p;
}

// Copies a field into dst (TCR_PARAM_SIZE bytes): false when it is missing or
// the single blank of an absent field.
bool copyField(const char *text, int index, char *dst)
{
    size_t length = 0;
    const char *field = findField(text, index, &length);
    if (!field || (length == 1 && field[0] == ' ')) return false;
    if (length >= TCR_PARAM_SIZE) length = TCR_PARAM_SIZE - 1;
    std::memcpy(dst, field, length);
    dst[length] = '\0';
    return true;
}

int countFields(const char *text)
{
    size_t length;
    int count = 0;
    while (findField(text, count, &length)) count++;
    return count;
}

// ---- format names ------------------------------------------------------------------

// Decimal places written after a format name: 1 to 3 digits and nothing else;
// -1 otherwise.
int readPlaces(const char *text)
{
    size_t digits = std::strspn(text, "0123456789");
    if (digits == 0 || digits > 3 || text[digits] != '\0') return -1;
    return std::atoi(text);
}

FormatRule parseFormat(const char *name)
{
    if (!name) return {FK_STRING, 0};
    if (prefixicmp(name, "flt2dec")) {
        const char *rest = name + 7;
        if (*rest == '.') rest++;
        int places = *rest ? readPlaces(rest) : 0;
        return places < 0 ? FormatRule{FK_OTHER, 0} : FormatRule{FK_FLT2DEC, places};
    }
    if (prefixicmp(name, "dec")) {
        if (name[3] != '.') return {FK_DEC, -1};
        int places = readPlaces(name + 4);
        return places < 0 ? FormatRule{FK_OTHER, 0} : FormatRule{FK_DEC, places};
    }
    if (prefixicmp(name, "float") || prefixicmp(name, "double")) return {FK_FLOAT, 0};
    for (const NamedFormat &known : kWholeNames)
        if (stringicmp(name, known.name)) return {known.kind, 0};
    return {FK_OTHER, 0};
}

FormatRule entrySpec(const TcrEntry *entry) { return {entry->kind, entry->places}; }

// ---- text helpers ------------------------------------------------------------------

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char *skipBlanks(const char *p)
{
    while (isBlank(*p)) p++;
    return p;
}

bool onlyBlanks(const char *p) { return *skipBlanks(p) == '\0'; }

bool allDigits(const char *text, size_t length)
{
    for (size_t i = 0; i < length; i++)
        if (!isDigit(text[i])) return false;
    return true;
}

// The value without blanks around it, copied into dst (TCR_VALUE_SIZE bytes).
void copyTrimmed(const char *value, char *dst)
{
    const char *start = skipBlanks(value);
    size_t length = std::strlen(start);
    while (length > 0 && isBlank(start[length - 1])) length--;
    if (length >= TCR_VALUE_SIZE) length = TCR_VALUE_SIZE - 1;
    std::memcpy(dst, start, length);
    dst[length] = '\0';
}

// ---- read side ---------------------------------------------------------------------

// Integer text with a decimal point before its last places digits; zeros in
// front when it has no more digits than places.
int formatDecimal(char *value, int places)
{
    char text[TCR_VALUE_SIZE], digits[TCR_VALUE_SIZE];
    copyTrimmed(value, text);
    size_t sign = text[0] == '-' || text[0] == '+' ? 1 : 0;
    size_t length = std::strlen(text + sign), count = static_cast<size_t>(places);
    if (!allDigits(text + sign, length)) return 0;
    size_t padding = length <= count ? count + 1 - length : 0;
    size_t total = padding + length;
    if (sign + total + 1 >= TCR_VALUE_SIZE) return 0;
    std::memset(digits, '0', padding);
    std::memcpy(digits + padding, text + sign, length);
    size_t whole = total - count;
    char *out = value;
    if (sign) *out++ = text[0];
    std::memcpy(out, digits, whole);
    out[whole] = '.';
    std::memcpy(out + whole + 1, digits + whole, count);
    out[total + 1] = '\0';
    return 1;
}

// A decimal integer as "H " and upper-case hexadecimal (32 bits).
int formatInt2Hex(char *value)
{
    char text[TCR_VALUE_SIZE];
    copyTrimmed(value, text);
    const char *digits = text[0] == '-' || text[0] == '+' ? text + 1 : text;
    if (!isDigit(digits[0]) || !allDigits(digits, std::strlen(digits))) return 0;
    errno = 0;
    long long number = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || number < INT32_MIN || number > static_cast<long long>(UINT32_MAX)) return 0;
    std::snprintf(value, TCR_VALUE_SIZE, "H %X", static_cast<unsigned>(static_cast<uint32_t>(number)));
    return 1;
}

// Times and dates on display: each digit of the pattern names a character of
// the raw text.
const char *displayPattern(int kind)
{
    switch (kind) {
    case FK_HHMM: return "01:23";
    case FK_HHMMSS: return "01:23:45";
    case FK_DDMM: return "23.01";
    default: return "45.23.01";
    }
}

// A raw time or date in its display form; a value that is no raw time (such
// as "Not available") shows "x" for every digit.
int formatClock(char *value, int kind)
{
    const char *pattern = displayPattern(kind);
    int rawLength = kind == FK_HHMM || kind == FK_DDMM ? 4 : 6;
    char text[TCR_VALUE_SIZE];
    copyTrimmed(value, text);
    const char *raw = allDigits(text, std::strlen(text)) ? util_modifyStringLength(text, rawLength) : nullptr;
    size_t pos = 0;
    for (const char *c = pattern; *c; c++) value[pos++] = !isDigit(*c) ? *c : raw ? raw[*c - '0'] : 'x';
    value[pos] = '\0';
    return 1;
}

int formatWith(FormatRule rule, char *value)
{
    switch (rule.kind) {
    case FK_DEC: return rule.places >= 0 ? formatDecimal(value, rule.places) : 0;
    case FK_FLT2DEC: return formatFlt2DecN(value, rule.places);
    case FK_INT2HEX: return formatInt2Hex(value);
    case FK_HHMM:
    case FK_HHMMSS:
    case FK_DDMM:
    case FK_DDMMYY: return formatClock(value, rule.kind);
    default: return 0;
    }
}

// ---- write side: numbers -----------------------------------------------------------

enum ParseResult { PR_OK, PR_INVALID, PR_RANGE };

enum Domain { DOMAIN_NONE, DOMAIN_SIGNED, DOMAIN_UNSIGNED, DOMAIN_HEX, DOMAIN_REAL, DOMAIN_CHAR, DOMAIN_UCHAR };

// How a format reads and compares its numbers.
struct NumberType {
    Domain domain;
    long long low;
    long long high;
    unsigned long long unsignedHigh;
};

struct Number {
    long long s;
    unsigned long long u;
    double f;
};

NumberType numberTypeOf(int kind)
{
    switch (kind) {
    case FK_DEC:
    case FK_INT: return {DOMAIN_SIGNED, INT32_MIN, INT32_MAX, 0};
    case FK_LONG: return {DOMAIN_SIGNED, INT64_MIN, INT64_MAX, 0};
    case FK_SHORT: return {DOMAIN_SIGNED, INT16_MIN, INT16_MAX, 0};
    case FK_UINT: return {DOMAIN_UNSIGNED, 0, 0, UINT32_MAX};
    case FK_ULONG: return {DOMAIN_UNSIGNED, 0, 0, UINT64_MAX};
    case FK_USHORT: return {DOMAIN_UNSIGNED, 0, 0, UINT16_MAX};
    case FK_HEX:
    case FK_INT2HEX: return {DOMAIN_HEX, 0, 0, UINT32_MAX};
    case FK_BYTE: return {DOMAIN_CHAR, 0, 0, 0};
    case FK_UBYTE: return {DOMAIN_UCHAR, 0, 0, 0};
    case FK_FLOAT:
    case FK_FLT2DEC: return {DOMAIN_REAL, 0, 0, 0};
    default: return {DOMAIN_NONE, 0, 0, 0};
    }
}

// Blanks, an optional sign, decimal digits, blanks.
ParseResult parseSigned(const char *text, long long low, long long high, long long *out)
{
    const char *p = skipBlanks(text);
    const char *digits = *p == '-' || *p == '+' ? p + 1 : p;
    if (!isDigit(*digits)) return PR_INVALID;
    char *end;
    errno = 0;
    long long number = std::strtoll(p, &end, 10);
    if (!onlyBlanks(end)) return PR_INVALID;
    if (errno == ERANGE || number < low || number > high) return PR_RANGE;
    *out = number;
    return PR_OK;
}

// Blanks, decimal digits with an optional "+" or hexadecimal digits with an
// optional "0x", blanks.
ParseResult parseUnsigned(const char *text, int base, unsigned long long high, unsigned long long *out)
{
    const char *p = skipBlanks(text);
    if (base == 10 && *p == '+') p++;
    if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(*p)) : isDigit(*p))) return PR_INVALID;
    char *end;
    errno = 0;
    unsigned long long number = std::strtoull(p, &end, base);
    if (!onlyBlanks(end)) return PR_INVALID;
    if (errno == ERANGE || number > high) return PR_RANGE;
    *out = number;
    return PR_OK;
}

// A finite decimal number: sign, digits, point, exponent.
ParseResult parseReal(const char *text, double *out)
{
    const char *p = skipBlanks(text);
    const char *body = *p == '-' || *p == '+' ? p + 1 : p;
    if (!isDigit(*body) && !(*body == '.' && isDigit(body[1]))) return PR_INVALID;
    size_t length = std::strspn(body, "0123456789.eE+-");
    if (!onlyBlanks(body + length)) return PR_INVALID;
    char *end;
    double number = std::strtod(p, &end);
    if (!onlyBlanks(end)) return PR_INVALID;
    if (!std::isfinite(number)) return PR_RANGE;
    *out = number;
    return PR_OK;
}

ParseResult parseNumber(const NumberType &type, const char *text, Number *out)
{
    switch (type.domain) {
    case DOMAIN_SIGNED: return parseSigned(text, type.low, type.high, &out->s);
    case DOMAIN_UNSIGNED: return parseUnsigned(text, 10, type.unsignedHigh, &out->u);
    case DOMAIN_HEX: return parseUnsigned(text, 16, type.unsignedHigh, &out->u);
    case DOMAIN_REAL: return parseReal(text, &out->f);
    case DOMAIN_CHAR:
        // A "byte" entry holds the typed character as a signed byte.
        out->s = static_cast<signed char>(text[0]); // NOLINT(bugprone-signed-char-misuse)
        return text[0] ? PR_OK : PR_INVALID;
    case DOMAIN_UCHAR: out->s = static_cast<unsigned char>(text[0]); return text[0] ? PR_OK : PR_INVALID;
    default: return PR_INVALID;
    }
}

int compareNumbers(Domain domain, const Number &a, const Number &b)
{
    if (domain == DOMAIN_REAL) return (a.f > b.f) - (a.f < b.f);
    if (domain == DOMAIN_UNSIGNED || domain == DOMAIN_HEX) return (a.u > b.u) - (a.u < b.u);
    return (a.s > b.s) - (a.s < b.s);
}

// "12.345" with 2 places becomes "1234": the fraction is cut or filled with
// "0" to the places and the point dropped. Digits are required on one side of
// the point at least.
ParseResult shiftDecimalPoint(const char *text, int places, char *out)
{
    const char *p = skipBlanks(text);
    size_t pos = 0;
    if (*p == '-' || *p == '+') out[pos++] = *p++;
    size_t whole = std::strspn(p, "0123456789");
    const char *fraction = p + whole;
    size_t fractionDigits = 0;
    if (*fraction == '.') fractionDigits = std::strspn(++fraction, "0123456789");
    if (whole + fractionDigits == 0 || !onlyBlanks(fraction + fractionDigits)) return PR_INVALID;
    if (pos + whole + static_cast<size_t>(places) >= TCR_VALUE_SIZE) return PR_RANGE;
    std::memcpy(out + pos, p, whole);
    pos += whole;
    for (int i = 0; i < places; i++) out[pos++] = static_cast<size_t>(i) < fractionDigits ? fraction[i] : '0';
    out[pos] = '\0';
    return PR_OK;
}

void report(const char *message)
{
    err_append(0, message, nullptr);
    tcr_errFlag = 1;
}

// A bound of an entry compared with a value: -1 below it, 1 above, 0 within
// or when the bound is absent or unreadable.
int sideOf(const TcrEntry *entry, int field, const NumberType &type, const Number &value)
{
    char text[TCR_PARAM_SIZE];
    Number bound{};
    if (!copyField(entry->param, field, text) || parseNumber(type, text, &bound) != PR_OK) return 0;
    int order = compareNumbers(type.domain, value, bound);
    return field == TCR_FIELD_MIN ? (order < 0 ? -1 : 0) : (order > 0 ? 1 : 0);
}

// Numeric formats: the value must read as the format's number and lie within
// the bounds; "dec.N" values are converted to the raw integer.
int checkNumber(const TcrEntry *entry, char *value)
{
    NumberType type = numberTypeOf(entry->kind);
    char shifted[TCR_VALUE_SIZE];
    bool shift = entry->kind == FK_DEC && entry->places >= 0;
    ParseResult result = shift ? shiftDecimalPoint(value, entry->places, shifted) : PR_OK;
    Number number{};
    if (result == PR_OK) result = parseNumber(type, shift ? shifted : value, &number);
    if (result != PR_OK) {
        report(result == PR_INVALID ? kInvalid : kOutOfRange);
        return 0;
    }
    if (sideOf(entry, TCR_FIELD_MIN, type, number)) report(kOutOfRange);
    if (sideOf(entry, TCR_FIELD_MAX, type, number)) report(kOutOfRange);
    if (tcr_errFlag) return 0;
    if (shift) std::snprintf(value, TCR_VALUE_SIZE, "%lld", number.s);
    return 1;
}

// Absent format or "string": the bounds are lengths. Too short is refused; too
// long is cut to the maximum and still written.
int checkLength(const TcrEntry *entry, char *value)
{
    char low[TCR_PARAM_SIZE], high[TCR_PARAM_SIZE];
    int minimum, maximum;
    if (!copyField(entry->param, TCR_FIELD_MIN, low) || !copyField(entry->param, TCR_FIELD_MAX, high)) return 1;
    if (!str_parseInt(low, &minimum) || !str_parseInt(high, &maximum) || minimum < 0 || maximum <= 0) return 1;
    size_t length = std::strlen(value);
    if (length < static_cast<size_t>(minimum)) {
        report(kInvalid);
        return 0;
    }
    if (length > static_cast<size_t>(maximum)) {
        report(kOutOfRange);
        value[maximum] = '\0';
    }
    return 1;
}

// ---- write side: times and dates ----------------------------------------------------

// How a time or date is typed: its length, the separators allowed after the
// second and the fifth character, and which typed characters make the raw
// text, in raw order.
struct TypedLayout {
    size_t length;
    const char *separators;
    int raw[6];
    size_t rawLength;
};

const TypedLayout *layoutOf(int kind)
{
    static const TypedLayout hhmm{5, ":hH.- ", {0, 1, 3, 4}, 4};
    static const TypedLayout hhmmss{8, ":.- ", {0, 1, 3, 4, 6, 7}, 6};
    static const TypedLayout ddmm{5, "-./ ", {3, 4, 0, 1}, 4};
    static const TypedLayout ddmmyy{8, "-./ ", {6, 7, 3, 4, 0, 1}, 6};
    switch (kind) {
    case FK_HHMM: return &hhmm;
    case FK_HHMMSS: return &hhmmss;
    case FK_DDMM: return &ddmm;
    default: return &ddmmyy;
    }
}

// The raw text of a typed time or date; false when it is not typed so.
bool rawFromTyped(const TypedLayout &layout, const char *typed, char *raw)
{
    if (std::strlen(typed) != layout.length) return false;
    char separator = typed[2];
    if (!std::strchr(layout.separators, separator)) return false;
    if (layout.length == 8 && typed[5] != separator) return false;
    for (size_t i = 0; i < layout.rawLength; i++) {
        raw[i] = typed[layout.raw[i]];
        if (!isDigit(raw[i])) return false;
    }
    raw[layout.rawLength] = '\0';
    return true;
}

int fixRaw(int kind, char *raw, const char *minimum, const char *maximum)
{
    switch (kind) {
    case FK_HHMM: return fix_hhmm(raw, minimum, maximum);
    case FK_HHMMSS: return fix_hhmmss(raw, minimum, maximum);
    case FK_DDMM: return fix_mmdd(raw, minimum, maximum);
    default: return fix_yymmdd(raw, minimum, maximum);
    }
}

// Times and dates: typed in their display form, checked and written raw. The
// value becomes the raw text, clamped or normalised, whenever it could be read.
int checkClock(const TcrEntry *entry, char *value)
{
    char raw[8];
    if (!rawFromTyped(*layoutOf(entry->kind), value, raw)) {
        report(kInvalid);
        return 0;
    }
    char low[TCR_PARAM_SIZE], high[TCR_PARAM_SIZE];
    const char *minimum = copyField(entry->param, TCR_FIELD_MIN, low) ? low : nullptr;
    const char *maximum = copyField(entry->param, TCR_FIELD_MAX, high) ? high : nullptr;
    int accepted = fixRaw(entry->kind, raw, minimum, maximum);
    safe_strncpy(value, raw, TCR_VALUE_SIZE);
    return accepted;
}

// count groups of two digits, with blanks around them; false otherwise.
bool readPairs(const char *text, int count, unsigned *out)
{
    if (!text) return false;
    const char *p = skipBlanks(text);
    for (int i = 0; i < count; i++, p += 2) {
        if (!isDigit(p[0]) || !isDigit(p[1])) return false;
        out[i] = static_cast<unsigned>((p[0] - '0') * 10 + (p[1] - '0'));
    }
    return onlyBlanks(p);
}

void writePairs(char *raw, int count, const unsigned *pairs)
{
    for (int i = 0; i < count; i++) std::snprintf(raw + 2 * static_cast<ptrdiff_t>(i), 3, "%2.2u", pairs[i]);
}

unsigned long secondsOf(const unsigned *pairs, int count)
{
    unsigned long total = 0;
    for (int i = 0; i < count; i++) total = total * 60 + pairs[i];
    return total;
}

bool withinDay(const unsigned *pairs, int count)
{
    if (pairs[0] >= 24) return false;
    for (int i = 1; i < count; i++)
        if (pairs[i] >= 60) return false;
    return true;
}

int fixTime(char *raw, const char *minimum, const char *maximum, int count)
{
    unsigned value[3], low[3], high[3];
    bool bounded = readPairs(minimum, count, low) && readPairs(maximum, count, high);
    if (!readPairs(raw, count, value) || !withinDay(value, count)) {
        report(bounded ? kInvalid : kOutOfDefaultRange);
        return 0;
    }
    unsigned long seconds = secondsOf(value, count);
    if (bounded && seconds < secondsOf(low, count)) {
        std::memcpy(value, low, sizeof low);
        report(kOutOfRange);
    }
    if (bounded && seconds > secondsOf(high, count)) {
        std::memcpy(value, high, sizeof high);
        report(kOutOfRange);
    }
    writePairs(raw, count, value);
    return tcr_errFlag ? 0 : 1;
}

long daysFromCivil(long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    long era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

void civilFromDays(long days, long *year, unsigned *month, unsigned *day)
{
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned shifted = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    *month = shifted < 10 ? shifted + 3 : shifted - 9;
    *year = static_cast<long>(yearOfEra) + era * 400 + (*month <= 2);
}

// Year (from 2000), month and day through the calendar: 31.02.07 becomes
// 03.03.07. False when the date leaves the years 2000 to 2099.
bool normaliseDate(unsigned *yymmdd)
{
    long months = (2000 + static_cast<long>(yymmdd[0])) * 12 + static_cast<long>(yymmdd[1]) - 1;
    long year = months / 12;
    unsigned month = static_cast<unsigned>(months % 12) + 1;
    long days = daysFromCivil(year, month, 1) + static_cast<long>(yymmdd[2]) - 1;
    civilFromDays(days, &year, &yymmdd[1], &yymmdd[2]);
    if (year < 2000 || year > 2099) return false;
    yymmdd[0] = static_cast<unsigned>(year - 2000);
    return true;
}

unsigned dateKey(const unsigned *yymmdd) { return yymmdd[0] * 10000 + yymmdd[1] * 100 + yymmdd[2]; }

// Dates: raw YYMMDD, or MMDD counted in the leap year 2004.
int fixDate(char *raw, const char *minimum, const char *maximum, bool withYear)
{
    int count = withYear ? 3 : 2;
    unsigned pairs[3], date[3], low[3] = {}, high[3] = {};
    if (!readPairs(raw, count, pairs)) {
        report(kInvalid);
        return 0;
    }
    if (pairs[0] == 0 && pairs[1] == 0 && (!withYear || pairs[2] == 0)) {
        if (minimum && minimum[0] != ' ') report(kInvalid);
        return tcr_errFlag ? 0 : 1;
    }
    unsigned *fields = withYear ? date : date + 1;
    date[0] = 4;
    std::memcpy(fields, pairs, sizeof(unsigned) * static_cast<size_t>(count));
    if (!normaliseDate(date)) {
        report(kInvalid);
        return 0;
    }
    if (!withYear) date[0] = 0;
    if (readPairs(minimum, count, withYear ? low : low + 1) && dateKey(date) < dateKey(low)) {
        std::memcpy(date, low, sizeof low);
        report(kOutOfRange);
    }
    if (readPairs(maximum, count, withYear ? high : high + 1) && dateKey(date) > dateKey(high)) {
        std::memcpy(date, high, sizeof high);
        report(kOutOfRange);
    }
    writePairs(raw, count, fields);
    return tcr_errFlag ? 0 : 1;
}

// ---- reading the file ----------------------------------------------------------------

void logLine(int number, const char *what, const char *text)
{
    char line[TCR_LINE_SIZE + 96];
    std::snprintf(line, sizeof line, "TCR line %d: %s \"%.200s\"\n", number, what, text);
    log_append(0, "%s", line);
}

bool boundsInverted(const TcrEntry *entry)
{
    NumberType type = numberTypeOf(entry->kind);
    char low[TCR_PARAM_SIZE], high[TCR_PARAM_SIZE];
    Number minimum{}, maximum{};
    if (type.domain == DOMAIN_NONE) return false;
    if (!copyField(entry->param, TCR_FIELD_MIN, low) || !copyField(entry->param, TCR_FIELD_MAX, high)) return false;
    if (parseNumber(type, low, &minimum) != PR_OK || parseNumber(type, high, &maximum) != PR_OK) return false;
    return compareNumbers(type.domain, minimum, maximum) > 0;
}

// Reports what the table cannot use as intended.
void checkEntry(const TcrEntry *entry, int number)
{
    char format[TCR_PARAM_SIZE];
    if (entry->kind == FK_OTHER && copyField(entry->param, TCR_FIELD_FORMAT, format))
        logLine(number, "unknown format, values pass unchanged:", format);
    if (boundsInverted(entry)) logLine(number, "minimum above maximum, every entry is refused:", entry->param);
}

// The parts of a line of the file.
struct LineParts {
    const char *symbol;
    size_t symbolLength;
    const char *name;
    size_t nameLength;
    const char *param;
};

// Splits a line into symbol, formatted name (without one trailing blank) and
// parameter text: false for comments and lines without a formatted name.
bool splitLine(const char *line, LineParts *parts)
{
    if (prefixcmp(line, "#!")) return false;
    parts->symbol = findField(line, 0, &parts->symbolLength);
    parts->name = parts->symbol ? findField(line, 1, &parts->nameLength) : nullptr;
    if (!parts->name) return false;
    parts->param = parts->name + parts->nameLength;
    if (*parts->param == ';') parts->param++;
    if (parts->nameLength > 0 && parts->name[parts->nameLength - 1] == ' ') parts->nameLength--;
    return parts->nameLength > 0;
}

// A line that only repeats its symbol (or the symbol and ",D") with all
// fields absent.
bool carriesNothing(const LineParts &parts)
{
    size_t extra = parts.nameLength - parts.symbolLength;
    if (parts.nameLength < parts.symbolLength || (extra != 0 && extra != 2)) return false;
    if (extra == 2 && !stringncmp(parts.name + parts.symbolLength, ",D", 2)) return false;
    return stringncmp(parts.name, parts.symbol, parts.symbolLength) && stringcmp(parts.param, kNoInformation);
}

// An entry in heap2 for the parts of a line, or null when memory ran out.
TcrEntry *newEntry(const LineParts &parts)
{
    auto *entry = static_cast<TcrEntry *>(MU_alloc2(sizeof(TcrEntry) + parts.symbolLength + 1));
    if (!entry) return nullptr;
    entry->symbol = reinterpret_cast<char *>(entry + 1);
    std::memcpy(entry->symbol, parts.symbol, parts.symbolLength);
    entry->symbol[parts.symbolLength] = '\0';
    std::memcpy(entry->formatted, parts.name, parts.nameLength);
    entry->formatted[parts.nameLength] = '\0';
    safe_strncpy(entry->param, parts.param, sizeof entry->param);
    char format[TCR_PARAM_SIZE];
    FormatRule rule = parseFormat(copyField(entry->param, TCR_FIELD_FORMAT, format) ? format : nullptr);
    entry->kind = rule.kind;
    entry->places = rule.places;
    entry->nextBySymbol = entry->nextByName = nullptr;
    return entry;
}

// Takes one line: true unless memory ran out.
bool addLine(const char *line, int number)
{
    LineParts parts;
    if (!splitLine(line, &parts) || carriesNothing(parts)) return true;
    if (parts.nameLength >= TCR_NAME_SIZE) {
        logLine(number, "formatted name longer than 127 characters, skipped:", line);
        return true;
    }
    TcrEntry *entry = newEntry(parts);
    if (!entry) return false;
    checkEntry(entry, number);
    linkEntry(entry);
    return true;
}

} // namespace

// ---- table ---------------------------------------------------------------------------

int TCR_parseTcrFile(const char *fileName)
{
    TCR_reset();
    if (pterm.debug_level == 1) log_append(0, "Open TCR File: %s\n", fileName ? fileName : "");
    int file = Tarsel_fileOpen(fileName, "rt");
    if (file < 0) {
        err_fileNotFound(fileName);
        return -1;
    }
    char line[2 * TCR_LINE_SIZE];
    int end = 0;
    long taken = 0;
    for (int number = 1; !end; number++) {
        if (taken > TCR_FILE_LIMIT) {
            log_append_int(0, "TCR file longer than 1 MB: read up to line %ld, the rest is left out\n", number - 1L);
            log_append(0, " %s\n", fileName);
            break;
        }
        int length = Tarsel_fileReadln(line, sizeof line, file, &end);
        taken += length + 1;
        if (length >= TCR_LINE_SIZE) {
            logLine(number, "longer than 255 characters, skipped:", line);
        } else if (!addLine(line, number)) {
            logLine(number, "out of memory, the table ends before", line);
            break;
        }
    }
    Tarsel_fileClose(file);
    return 0;
}

void TCR_reset()
{
    std::memset(bySymbol, 0, sizeof bySymbol);
    std::memset(byName, 0, sizeof byName);
    entryCount = 0;
}

int TCR_getEntryCount() { return entryCount; }

TcrEntry *TCR_getTcrPointerWithSymbol(const char *symbol)
{
    if (!symbol) return nullptr;
    for (TcrEntry *e = bySymbol[bucketOf(symbol)]; e; e = e->nextBySymbol)
        if (stringcmp(e->symbol, symbol)) return e;
    return nullptr;
}

TcrEntry *TCR_getTcrPointer(const char *formattedName)
{
    if (!formattedName) return nullptr;
    for (TcrEntry *e = byName[bucketOf(formattedName)]; e; e = e->nextByName)
        if (stringcmp(e->formatted, formattedName)) return e;
    return nullptr;
}

const char *TCR_getSymbolName(const TcrEntry *entry) { return entry ? entry->symbol : nullptr; }
const char *TCR_getFormatedName(const TcrEntry *entry) { return entry ? entry->formatted : nullptr; }
const char *TCR_getParam(const TcrEntry *entry) { return entry ? entry->param : nullptr; }
const char *TCR_getTcrParameter(const char *symbol) { return TCR_getParam(TCR_getTcrPointerWithSymbol(symbol)); }

int TCR_convertFormatedPPOName(char *dst, const char *symbol)
{
    return TCR_convertFormatedPPONameFrom(TCR_getTcrPointerWithSymbol(symbol), dst);
}

int TCR_convertFormatedPPONameFrom(const TcrEntry *entry, char *dst)
{
    if (!entry || !dst) return 0;
    safe_strncpy(dst, entry->formatted, TCR_NAME_SIZE);
    return 1;
}

const char *TCR_getParamField(const TcrEntry *entry, int index)
{
    if (!entry) return nullptr;
    char *slot = fieldRing[fieldSlot];
    if (!copyField(entry->param, index, slot)) return nullptr;
    fieldSlot = (fieldSlot + 1) % kFieldRing;
    return slot;
}

const char *TCR_getMin(const TcrEntry *entry) { return TCR_getParamField(entry, TCR_FIELD_MIN); }
const char *TCR_getMax(const TcrEntry *entry) { return TCR_getParamField(entry, TCR_FIELD_MAX); }
const char *TCR_getFormat(const TcrEntry *entry) { return TCR_getParamField(entry, TCR_FIELD_FORMAT); }
const char *TCR_getUnit(const TcrEntry *entry) { return TCR_getParamField(entry, TCR_FIELD_UNIT); }

const char *TCR_nextElement(const char *text)
{
    const char *p = text ? std::strchr(text, ';') : nullptr;
    if (!p) return nullptr;
    while (*p == ';') p++;
    return *p ? p : nullptr;
}

// ---- read side -----------------------------------------------------------------------

int TCR_formatString(const char *format, char *value)
{
    if (!value) return 0;
    return formatWith(parseFormat(format), value);
}

int TCR_readFormatedPPO(const TcrEntry *entry, char *value)
{
    if (!entry || !value) return 0;
    return formatWith(entrySpec(entry), value);
}

int TCR_readFormatedPPOValue(const char *formattedName, char *value)
{
    return TCR_readFormatedPPO(TCR_getTcrPointer(formattedName), value);
}

void TCR_appendUnit(const TcrEntry *entry, char *text)
{
    char unit[TCR_PARAM_SIZE];
    if (!entry || !text || !copyField(entry->param, TCR_FIELD_UNIT, unit)) return;
    size_t length = std::strlen(text);
    if (length + 1 < TCR_VALUE_SIZE) {
        text[length] = ' ';
        safe_strncpy(text + length + 1, unit, TCR_VALUE_SIZE - length - 1);
    }
}

int formatFlt2DecN(char *text, int places)
{
    double number;
    if (!text || places < 0 || places >= 7 || parseReal(text, &number) != PR_OK) return 0;
    char format[16], out[TCR_VALUE_SIZE];
    std::snprintf(format, sizeof format, "%%1.%ulf", static_cast<unsigned>(places));
    int length = std::snprintf(out, sizeof out, format, number);
    if (length < 0 || length >= TCR_VALUE_SIZE) return 0;
    std::memcpy(text, out, static_cast<size_t>(length) + 1);
    return 1;
}

// ---- write side ----------------------------------------------------------------------

int TCR_writeFormatedPPOValue(const char *formattedName, char *value, int *ok)
{
    int accepted = 1;
    const TcrEntry *entry = TCR_getTcrPointer(formattedName);
    if (entry && value && countFields(entry->param) >= 3) {
        if (entry->kind == FK_STRING) accepted = checkLength(entry, value);
        else if (entry->kind >= FK_HHMM && entry->kind <= FK_DDMMYY) accepted = checkClock(entry, value);
        else if (numberTypeOf(entry->kind).domain != DOMAIN_NONE) accepted = checkNumber(entry, value);
    }
    if (ok) *ok = accepted;
    return entry && value ? 1 : 0;
}

int TCR_isInvalidEntry()
{
    int flag = tcr_errFlag;
    tcr_errFlag = 0;
    return flag;
}

int fix_hhmm(char *raw, const char *minimum, const char *maximum)
{
    return raw ? fixTime(raw, minimum, maximum, 2) : 0;
}

int fix_hhmmss(char *raw, const char *minimum, const char *maximum)
{
    return raw ? fixTime(raw, minimum, maximum, 3) : 0;
}

int fix_mmdd(char *raw, const char *minimum, const char *maximum)
{
    return raw ? fixDate(raw, minimum, maximum, false) : 0;
}

int fix_yymmdd(char *raw, const char *minimum, const char *maximum)
{
    return raw ? fixDate(raw, minimum, maximum, true) : 0;
}

// ---- text helpers ----------------------------------------------------------------------

void util_insertChar(char character, char *text)
{
    if (!text) return;
    size_t length = std::strlen(text);
    if (length >= TCR_VALUE_SIZE - 1) length = TCR_VALUE_SIZE - 2;
    std::memmove(text + 1, text, length);
    text[0] = character;
    text[length + 1] = '\0';
}

char *util_modifyStringLength(char *text, int n)
{
    if (!text || n < 0 || n >= TCR_VALUE_SIZE) return text;
    size_t wanted = static_cast<size_t>(n);
    while (std::strlen(text) < wanted) util_insertChar('0', text);
    return text + std::strlen(text) - wanted;
}
