// String utilities: comparisons, bounded copies, token search, URL coding.
#include "runtime/str_util.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

static int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

int stringcmp(const char *a, const char *b)
{
    if (!a || !b) return 0;
    return std::strcmp(a, b) == 0;
}

int stringicmp(const char *a, const char *b)
{
    if (!a || !b) return 0;
    for (; *a && *b; a++, b++)
        if (lower(*a) != lower(*b)) return 0;
    return *a == *b;
}

int stringncmp(const char *a, const char *b, size_t n)
{
    if (!a || !b) return 0;
    return std::strncmp(a, b, n) == 0;
}

int stringnicmp(const char *a, const char *b, size_t n)
{
    if (!a || !b) return 0;
    for (size_t i = 0; i < n; i++) {
        if (lower(a[i]) != lower(b[i])) return 0;
        if (a[i] == '\0') return 1;
    }
    return 1;
}

int prefixcmp(const char *text, const char *prefix)
{
    if (!text || !prefix) return 0;
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int prefixicmp(const char *text, const char *prefix)
{
    if (!text || !prefix) return 0;
    return stringnicmp(text, prefix, std::strlen(prefix));
}

static const char *suffixStart(const char *text, const char *suffix)
{
    if (!text || !suffix) return nullptr;
    size_t lt = std::strlen(text), ls = std::strlen(suffix);
    return ls <= lt ? text + lt - ls : nullptr;
}

int str_endsWith(const char *text, const char *suffix)
{
    const char *tail = suffixStart(text, suffix);
    return tail && std::strcmp(tail, suffix) == 0;
}

int str_endsWithIgnoreCase(const char *text, const char *suffix)
{
    const char *tail = suffixStart(text, suffix);
    return tail && stringicmp(tail, suffix);
}

char *str_trim(char *text)
{
    if (!text) return text;
    size_t start = 0, len = std::strlen(text);
    while (start < len && std::isspace(static_cast<unsigned char>(text[start]))) start++;
    while (len > start && std::isspace(static_cast<unsigned char>(text[len - 1]))) len--;
    std::memmove(text, text + start, len - start);
    text[len - start] = '\0';
    return text;
}

int str_parseInt(const char *text, int *value)
{
    if (!text || !value) return 0;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || v < INT_MIN || v > INT_MAX) return 0;
    while (std::isspace(static_cast<unsigned char>(*end))) end++;
    if (*end != '\0') return 0;
    *value = static_cast<int>(v);
    return 1;
}

char *safe_strncpy(char *dst, const char *src, size_t size)
{
    if (!dst || size == 0) return dst;
    size_t i = 0;
    if (src)
        for (; i + 1 < size && src[i]; i++) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

int moveToToken(const char *text, const char *token)
{
    if (!text || !token) return -1;
    size_t need = std::strlen(token), matched = 0;
    if (need == 0) return 0;
    for (int i = 0; text[i]; i++) {
        if (text[i] == token[matched]) {
            if (++matched == need) return i + 1;
        } else {
            matched = 0;
        }
    }
    return -1;
}

static int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(lower(c));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void URL_decode(char *text)
{
    if (!text) return;
    char *out = text;
    for (const char *in = text; *in; in++) {
        if (*in == '+') {
            *out++ = ' ';
        } else if (*in == '%' && hexValue(in[1]) >= 0 && hexValue(in[2]) >= 0) {
            *out++ = static_cast<char>(hexValue(in[1]) * 16 + hexValue(in[2]));
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
}

void URL_encode(char *text)
{
    if (!text) return;
    for (; *text; text++)
        if (*text == ' ') *text = '+';
}

int URL_encodeChar(char *text, size_t size, char ch)
{
    if (!text || ch == '\0') return 0;
    size_t len = std::strlen(text), hits = 0;
    for (size_t i = 0; i < len; i++)
        if (text[i] == ch) hits++;
    if (len + 2 * hits + 1 > size) return 0;
    static const char digits[] = "0123456789abcdef";
    unsigned char code = static_cast<unsigned char>(ch);
    size_t out = len + 2 * hits;
    text[out] = '\0';
    for (size_t i = len; i-- > 0;) {
        if (text[i] == ch) {
            text[--out] = digits[code & 15];
            text[--out] = digits[code >> 4];
            text[--out] = '%';
        } else {
            text[--out] = text[i];
        }
    }
    return 1;
}
