// Source-name resolution. Works in fixed buffers on the stack and hands its
// results out of a static ring; allocates nothing.
#include "data/source_names.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/containers.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/str_util.h"

namespace {

constexpr size_t kSlot = RESOLVE_SLOT_SIZE;

char ring[RESOLVE_RING_SLOTS][kSlot];
int ringIndex;
int depth;
// Set when a resolution hit the pass or nesting limit: every stage running
// inside it then stops at once, so that nested readers cannot multiply the
// passes. Cleared when a new resolution starts.
bool aborted;

// One reference found in a text: the marker's index, the referenced name and
// the text after the closing marker (or the end of the text).
struct Reference {
    size_t start;
    const char *name;
    size_t nameLength;
    const char *rest;
};

// First marker immediately followed by prefix. The name runs to the next
// marker, searched from the name's second character on.
bool findReference(const char *text, char marker, const char *prefix, Reference *ref)
{
    size_t prefixLength = std::strlen(prefix);
    for (const char *p = std::strchr(text, marker); p; p = std::strchr(p + 1, marker)) {
        if (std::strncmp(p + 1, prefix, prefixLength) != 0) continue;
        const char *name = p + 1 + prefixLength;
        const char *close = name[0] ? std::strchr(name + 1, marker) : nullptr;
        ref->start = static_cast<size_t>(p - text);
        ref->name = name;
        ref->nameLength = close ? static_cast<size_t>(close - name) : std::strlen(name);
        ref->rest = close ? close + 1 : name + ref->nameLength;
        return true;
    }
    return false;
}

// Appends at most n characters of src, keeping the text within one slot.
void append(char *dst, size_t *length, const char *src, size_t n)
{
    size_t room = kSlot - 1 - *length;
    if (n > room) n = room;
    std::memcpy(dst + *length, src, n);
    *length += n;
    dst[*length] = '\0';
}

void readValue(SourceReader reader, const Reference &ref, char *value)
{
    char name[kSlot];
    size_t n = ref.nameLength < kSlot - 1 ? ref.nameLength : kSlot - 1;
    std::memcpy(name, ref.name, n);
    name[n] = '\0';
    value[0] = '\0';
    reader(name, value);
    value[kSlot - 1] = '\0';
}

// Replaces the first plain reference: the text before it, the value, the text
// after it.
bool resolve_name(const char *text, char marker, const char *prefix, SourceReader reader, char *out)
{
    Reference ref;
    if (!findReference(text, marker, prefix, &ref)) return false;
    char value[kSlot];
    readValue(reader, ref, value);
    size_t length = 0;
    out[0] = '\0';
    append(out, &length, text, ref.start);
    append(out, &length, value, std::strlen(value));
    append(out, &length, ref.rest, std::strlen(ref.rest));
    return true;
}

long long parseDigits(const char *digits, size_t n)
{
    long long number = 0;
    for (size_t i = 0; i < n; i++) {
        int d = digits[i] - '0';
        if (number > (LLONG_MAX - d) / 10) return LLONG_MAX;
        number = number * 10 + d;
    }
    return number;
}

// N op v, saturated to the range of int; division by 0 leaves N. A result
// beyond 64 bits saturates by its sign (no 128-bit integers on 32-bit ARM).
int applyOffset(long long n, char op, long long v)
{
    long long r = v;
    bool overflow = false;
    switch (op) {
    case '+': overflow = __builtin_add_overflow(n, v, &r); break;
    case '-': overflow = __builtin_sub_overflow(n, v, &r); break;
    case '*': overflow = __builtin_mul_overflow(n, v, &r); break;
    case '/': r = v == 0 ? n : n / v; break;
    }
    if (overflow) {
        bool negative = op == '+' ? v < 0 : op == '-' ? v > 0 : (n < 0) != (v < 0);
        return negative ? INT_MIN : INT_MAX;
    }
    if (r > INT_MAX) return INT_MAX;
    if (r < INT_MIN) return INT_MIN;
    return static_cast<int>(r);
}

// Replaces the first offset reference, together with an operator and the
// decimal number before it, by the integer result.
bool resolve_offset(const char *text, char marker, const char *prefix, SourceReader reader, char *out)
{
    Reference ref;
    if (!findReference(text, marker, prefix, &ref)) return false;
    size_t cut = ref.start;
    char op = '\0';
    if (cut > 0 && std::strchr("+-*/", text[cut - 1])) op = text[--cut];
    size_t numberStart = cut;
    if (op)
        while (numberStart > 0 && std::isdigit(static_cast<unsigned char>(text[numberStart - 1]))) numberStart--;

    char value[kSlot];
    readValue(reader, ref, value);
    long long v = std::strtoll(value, nullptr, 10); // 64 bits on every processor
    int result = numberStart < cut ? applyOffset(parseDigits(text + numberStart, cut - numberStart), op, v)
                                   : applyOffset(0, '\0', v);
    char number[16];
    std::snprintf(number, sizeof number, "%d", result);

    size_t length = 0;
    out[0] = '\0';
    append(out, &length, text, numberStart);
    append(out, &length, number, std::strlen(number));
    append(out, &length, ref.rest, std::strlen(ref.rest));
    return true;
}

typedef bool (*Replacer)(const char *, char, const char *, SourceReader, char *);

void abortResolution(const char *format, const char *name)
{
    if (aborted) return;
    aborted = true;
    err_append(0, format, name);
}

// Replaces references of one kind until none is left or the resolution stops.
void replaceAll(char *work, Replacer replace, char marker, const char *prefix, SourceReader reader, const char *name)
{
    char next[kSlot];
    for (int pass = 0; !aborted && replace(work, marker, prefix, reader, next); pass++) {
        if (pass == RESOLVE_MAX_PASSES) {
            abortResolution("References in source name do not end:\n \"%s\"\n", name);
            return;
        }
        std::memcpy(work, next, kSlot);
    }
}

bool hasMarker(const char *name) { return name && (std::strchr(name, '#') || std::strchr(name, '@')); }

int readHtml(const char *name, char *dst) { return HK_hooks()->readParamName(name, dst); }
int readContainer(const char *name, char *dst) { return HT_readContainer(name, dst); }
int readPPO(const char *name, char *dst) { return PPO_readVal(name, dst); }

const char *bothMarkers(const char *name, const char *prefix, const char *offsetPrefix, SourceReader reader)
{
    if (!hasMarker(name)) return name;
    const char *s = resolveWithSep(name, '#', prefix, offsetPrefix, reader);
    return resolveWithSep(s, '@', prefix, offsetPrefix, reader);
}

} // namespace

const char *resolveWithSep(const char *name, char marker, const char *prefix, const char *offsetPrefix,
                           SourceReader reader)
{
    Reference ref;
    if (!name || !reader) return name;
    if (!findReference(name, marker, prefix, &ref) && !findReference(name, marker, offsetPrefix, &ref)) return name;
    if (depth == 0) aborted = false;
    if (depth >= RESOLVE_MAX_DEPTH) abortResolution("References in source name nest too deeply:\n \"%s\"\n", name);
    if (aborted) return name;
    depth++;
    char original[kSlot], work[kSlot];
    safe_strncpy(original, name, sizeof original);
    std::memcpy(work, original, kSlot);
    replaceAll(work, resolve_name, marker, prefix, reader, original);
    replaceAll(work, resolve_offset, marker, offsetPrefix, reader, original);
    depth--;

    char *slot = ring[ringIndex];
    ringIndex = (ringIndex + 1) % RESOLVE_RING_SLOTS;
    std::memcpy(slot, work, kSlot);
    return slot;
}

const char *resolveInfoName(const char *name)
{
    if (!hasMarker(name)) return name;
    const char *s = resolveWithSep(name, '#', "HTML_", "HTMLOFFSET_", readHtml);
    s = resolveWithSep(s, '#', "CO_", "COFF_", readContainer);
    s = resolveWithSep(s, '@', "HTML_", "HTMLOFFSET_", readHtml);
    return resolveWithSep(s, '@', "CO_", "COFF_", readContainer);
}

const char *resolvePPO(const char *name) { return bothMarkers(name, "PPO_", "PPOFF_", readPPO); }
const char *resolveCO(const char *name) { return bothMarkers(name, "CO_", "COFF_", readContainer); }
const char *resolveHtml(const char *name) { return bothMarkers(name, "HTML_", "HTMLOFFSET_", readHtml); }

void resolveReset()
{
    std::memset(ring, 0, sizeof ring);
    ringIndex = 0;
    depth = 0;
    aborted = false;
}
