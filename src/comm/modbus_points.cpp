// Modbus point names and value coding. No state.
#include "comm/modbus_points.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct TableName {
    const char *prefix;
    int table;
};

const TableName kTables[] = {
    {"HR", MB_TABLE_HOLDING}, {"IR", MB_TABLE_INPUT}, {"CO", MB_TABLE_COILS}, {"DI", MB_TABLE_DISCRETE}};

struct TypeName {
    const char *suffix;
    int type;
    int count;
};

const TypeName kTypes[] = {
    {"u16", MB_TYPE_U16, 1},   {"i16", MB_TYPE_I16, 1},   {"u32", MB_TYPE_U32, 2},
    {"i32", MB_TYPE_I32, 2},   {"f32", MB_TYPE_F32, 2},   {"f64", MB_TYPE_F64, 4},
    {"u32s", MB_TYPE_U32S, 2}, {"i32s", MB_TYPE_I32S, 2}, {"f32s", MB_TYPE_F32S, 2},
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most six digits at *c; -1 when there is none.
long takeNumber(const char **c)
{
    long n = -1;
    for (int digits = 0; isDigit(**c); (*c)++, digits++) {
        if (digits == 6) return -1;
        n = (n < 0 ? 0 : n * 10) + (**c - '0');
    }
    return n;
}

bool takeType(const char *c, MbPoint *p)
{
    for (const TypeName &t : kTypes) {
        if (std::strcmp(c, t.suffix) == 0) {
            p->type = t.type;
            p->count = t.count;
            return true;
        }
    }
    if (*c++ != 's') return false;
    long k = takeNumber(&c);
    if (*c || k < 1 || k > MB_STRING_MAX) return false;
    p->type = MB_TYPE_STRING;
    p->count = static_cast<int>(k);
    return true;
}

uint32_t word32(const uint16_t *r, bool swapped)
{
    return swapped ? static_cast<uint32_t>(r[1]) << 16 | r[0] : static_cast<uint32_t>(r[0]) << 16 | r[1];
}

void putWord32(uint32_t v, uint16_t *r, bool swapped)
{
    r[swapped ? 1 : 0] = static_cast<uint16_t>(v >> 16);
    r[swapped ? 0 : 1] = static_cast<uint16_t>(v & 0xFFFF);
}

float toFloat(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void decodeString(const uint16_t *r, int count, char *dst, int size)
{
    int n = 0;
    for (int i = 0; i < count * 2 && n < size - 1; i++) {
        char c = static_cast<char>(i % 2 == 0 ? r[i / 2] >> 8 : r[i / 2] & 0xFF);
        if (!c) break;
        dst[n++] = c;
    }
    dst[n] = '\0';
}

void encodeString(const char *text, int count, uint16_t *r)
{
    size_t length = std::strlen(text);
    for (int i = 0; i < count; i++) {
        size_t at = static_cast<size_t>(i) * 2;
        unsigned high = at < length ? static_cast<unsigned char>(text[at]) : 0;
        unsigned low = at + 1 < length ? static_cast<unsigned char>(text[at + 1]) : 0;
        r[i] = static_cast<uint16_t>(high << 8 | low);
    }
}

bool onlyBlanks(const char *c)
{
    while (*c == ' ' || *c == '\t') c++;
    return *c == '\0';
}

// A whole integer between low and high.
bool parseInteger(const char *text, long long low, long long high, long long *value)
{
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (end == text || errno || !onlyBlanks(end) || v < low || v > high) return false;
    *value = v;
    return true;
}

bool parseReal(const char *text, double limit, double *value)
{
    errno = 0;
    char *end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || errno || !onlyBlanks(end) || !std::isfinite(v) || std::fabs(v) > limit) return false;
    *value = v;
    return true;
}

int encodeInteger(const MbPoint &p, const char *text, uint16_t *r)
{
    long long v = 0;
    switch (p.type) {
    case MB_TYPE_I16:
        if (!parseInteger(text, INT16_MIN, INT16_MAX, &v)) return 0;
        r[0] = static_cast<uint16_t>(v);
        return 1;
    case MB_TYPE_U32:
    case MB_TYPE_U32S:
        if (!parseInteger(text, 0, UINT32_MAX, &v)) return 0;
        putWord32(static_cast<uint32_t>(v), r, p.type == MB_TYPE_U32S);
        return 1;
    case MB_TYPE_I32:
    case MB_TYPE_I32S:
        if (!parseInteger(text, INT32_MIN, INT32_MAX, &v)) return 0;
        putWord32(static_cast<uint32_t>(v), r, p.type == MB_TYPE_I32S);
        return 1;
    default:
        if (!parseInteger(text, 0, UINT16_MAX, &v)) return 0;
        r[0] = static_cast<uint16_t>(v);
        return 1;
    }
}

int encodeReal(const MbPoint &p, const char *text, uint16_t *r)
{
    double v = 0;
    if (p.type == MB_TYPE_F64) {
        if (!parseReal(text, DBL_MAX, &v)) return 0;
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 4; i++) r[i] = static_cast<uint16_t>(bits >> (48 - 16 * i));
        return 1;
    }
    if (!parseReal(text, FLT_MAX, &v)) return 0;
    float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putWord32(bits, r, p.type == MB_TYPE_F32S);
    return 1;
}

} // namespace

int MB_parsePoint(const char *name, int base, MbPoint *point)
{
    if (!name || !point) return 0;
    const TableName *table = nullptr;
    for (const TableName &t : kTables)
        if (std::strncmp(name, t.prefix, 2) == 0) table = &t;
    if (!table) return 0;
    const char *c = name + 2;
    long number = takeNumber(&c);
    if (number < base) return 0;
    MbPoint p = {table->table, MB_TYPE_U16, static_cast<int>(number - base), 1, 0};
    bool bits = MB_isBitTable(p.table);
    if (*c == '.' && !bits && c[1] == 'b') {
        c += 2;
        long k = takeNumber(&c);
        if (*c || k < 0 || k > 15) return 0;
        p.type = MB_TYPE_BIT;
        p.bit = static_cast<int>(k);
    } else if (*c == ':' && !bits) {
        if (!takeType(c + 1, &p)) return 0;
    } else if (*c) {
        return 0;
    }
    if (p.address + p.count - 1 > MB_ADDRESS_MAX) return 0;
    *point = p;
    return 1;
}

bool MB_isBitTable(int table) { return table == MB_TABLE_COILS || table == MB_TABLE_DISCRETE; }

int MB_readFunction(int table)
{
    switch (table) {
    case MB_TABLE_COILS: return 1;
    case MB_TABLE_DISCRETE: return 2;
    case MB_TABLE_HOLDING: return 3;
    default: return 4;
    }
}

void MB_decode(const MbPoint &p, const uint16_t *r, int bit, char *dst, int size)
{
    if (!dst || size < 1) return;
    if (MB_isBitTable(p.table)) {
        std::snprintf(dst, static_cast<size_t>(size), "%d", bit ? 1 : 0);
        return;
    }
    size_t n = static_cast<size_t>(size);
    switch (p.type) {
    case MB_TYPE_I16: std::snprintf(dst, n, "%d", static_cast<int16_t>(r[0])); break;
    case MB_TYPE_U32:
    case MB_TYPE_U32S:
        std::snprintf(dst, n, "%lu", static_cast<unsigned long>(word32(r, p.type == MB_TYPE_U32S)));
        break;
    case MB_TYPE_I32:
    case MB_TYPE_I32S:
        std::snprintf(dst, n, "%ld", static_cast<long>(static_cast<int32_t>(word32(r, p.type == MB_TYPE_I32S))));
        break;
    case MB_TYPE_F32:
    case MB_TYPE_F32S:
        std::snprintf(dst, n, "%.7g", static_cast<double>(toFloat(word32(r, p.type == MB_TYPE_F32S))));
        break;
    case MB_TYPE_F64: {
        uint64_t bits = 0;
        for (int i = 0; i < 4; i++) bits = bits << 16 | r[i];
        double d;
        std::memcpy(&d, &bits, sizeof d);
        std::snprintf(dst, n, "%.15g", d);
        break;
    }
    case MB_TYPE_STRING: decodeString(r, p.count, dst, size); break;
    case MB_TYPE_BIT: std::snprintf(dst, n, "%d", r[0] >> p.bit & 1); break;
    default: std::snprintf(dst, n, "%u", static_cast<unsigned>(r[0])); break;
    }
}

int MB_encode(const MbPoint &p, const char *text, uint16_t *r)
{
    if (!text || !r) return 0;
    long long v = 0;
    if (MB_isBitTable(p.table) || p.type == MB_TYPE_BIT) {
        if (!parseInteger(text, 0, 1, &v)) return 0;
        r[0] = static_cast<uint16_t>(v);
        return 1;
    }
    switch (p.type) {
    case MB_TYPE_STRING: encodeString(text, p.count, r); return 1;
    case MB_TYPE_F32:
    case MB_TYPE_F32S:
    case MB_TYPE_F64: return encodeReal(p, text, r);
    default: return encodeInteger(p, text, r);
    }
}
