// HTML template engine. No state of its own; reads and writes the value
// store, reads the page from the RAM disk or the page directory.
#include "httpd/cgi_template.h"

#include <cstring>

#include "data/value_store.h"
#include "httpd/http_request.h"
#include "httpd/served_files.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

namespace {

constexpr int kArgumentSize = 128; // names and values of form arguments: at most 127 characters
constexpr int kElementSize = 1024; // an input element held for rewriting
constexpr int kRestLimit = 128;    // characters after the field name that are rewritten

bool isBlank(int ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }
bool isLetter(int ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// Values go into the page as text: markup characters are written as entities.
void writeValueOf(HttpContext *c, const char *name)
{
    char value[DS_VALUE_SIZE];
    value[0] = '\0';
    DS_clientReadVal(name, value, c->clientAddress);
    for (const char *p = value; *p; p++) {
        switch (*p) {
        case '<': http_writeString(c, "&lt;"); break;
        case '>': http_writeString(c, "&gt;"); break;
        case '&': http_writeString(c, "&amp;"); break;
        case '"': http_writeString(c, "&quot;"); break;
        default: http_writeChar(c, *p); break;
        }
    }
}

const char *findIgnoreCase(const char *text, const char *part)
{
    size_t n = std::strlen(part);
    for (const char *p = text; *p; p++)
        if (stringnicmp(p, part, n)) return p;
    return nullptr;
}

bool keepsItsValue(const char *type)
{
    static const char *const kKept[] = {"hidden", "password", "radio", "checkbox", "submit", "reset", "file", "image"};
    for (const char *k : kKept)
        if (stringicmp(type, k)) return true;
    return false;
}

// The word of a "type=" attribute, without quotes.
void typeWord(const char *at, char *dst, size_t size)
{
    at += 5;
    while (*at == '"' || *at == '\'') at++;
    size_t n = 0;
    while (at[n] && at[n] != '"' && at[n] != '\'' && !isBlank(at[n]) && at[n] != '>' && n + 1 < size) n++;
    std::memcpy(dst, at, n);
    dst[n] = '\0';
}

// An input element held whole (from "<" up to and including ">"): text
// fields get the field's value before the closing ">".
void rewriteInput(HttpContext *c, const char *element)
{
    const char *type = findIgnoreCase(element, "type=");
    const char *name = findIgnoreCase(element, "name=");
    char word[32];
    if (type && (!name || type < name)) {
        typeWord(type, word, sizeof word);
        if (keepsItsValue(word)) name = nullptr;
    }
    size_t length = std::strlen(element);
    if (!name || element[length - 1] != '>') {
        http_writeString(c, element);
        return;
    }
    const char *p = name + 5;
    http_writeBytes(c, element, static_cast<int>(p - element));
    for (; *p && *p != '>' && !isLetter(*p) && *p != '%'; p++) http_writeChar(c, *p);
    char field[DS_VALUE_SIZE];
    int n = 0;
    for (; *p && *p != '"' && *p != '>' && !isBlank(*p); p++) {
        if (*p == '%') continue;
        if (n < DS_VALUE_SIZE - 1) field[n++] = *p;
        http_writeChar(c, *p);
    }
    field[n] = '\0';
    const char *close = element + length - 1;
    if (close - p > kRestLimit) {
        http_writeString(c, p);
        return;
    }
    http_writeBytes(c, p, static_cast<int>(close - p));
    http_writeString(c, " VALUE=\"");
    writeValueOf(c, field);
    http_writeString(c, "\">");
}

struct Reader {
    int file;
    int pending = -1; // a character read ahead
    int get()
    {
        if (pending >= 0) {
            int ch = pending;
            pending = -1;
            return ch;
        }
        return RA_fileGetc(file);
    }
};

// After "%%": the name up to "%", a blank or a line end (consumed).
void valueReference(HttpContext *c, Reader &in)
{
    char name[DS_VALUE_SIZE];
    int n = 0;
    int ch;
    while ((ch = in.get()) >= 0 && ch != '%' && !isBlank(ch)) {
        if (n < DS_VALUE_SIZE - 1) name[n++] = static_cast<char>(ch);
    }
    name[n] = '\0';
    writeValueOf(c, name);
}

// After "<": a tag; an input element is held and rewritten, any other tag
// is copied to its ">".
void tag(HttpContext *c, Reader &in)
{
    char element[kElementSize];
    int n = 0;
    element[n++] = '<';
    int ch;
    while (n < 6 && (ch = in.get()) >= 0) {
        element[n++] = static_cast<char>(ch);
        if (ch == '>') break;
    }
    element[n] = '\0';
    bool input = n == 6 && stringnicmp(element + 1, "input", 5);
    if (input) {
        ch = in.get();
        input = ch >= 0 && isBlank(ch);
        if (ch >= 0) element[n++] = static_cast<char>(ch);
    }
    if (element[n - 1] == '>') {
        element[n] = '\0';
        http_writeString(c, element);
        return;
    }
    while (n < kElementSize - 1 && (ch = in.get()) >= 0) {
        element[n++] = static_cast<char>(ch);
        if (ch == '>') break;
    }
    element[n] = '\0';
    if (input && n < kElementSize - 1) rewriteInput(c, element);
    else http_writeString(c, element);
}

void copyPage(HttpContext *c, int file)
{
    Reader in{file};
    int ch;
    while (!c->writeError && (ch = in.get()) >= 0) {
        if (ch == '<') {
            tag(c, in);
        } else if (ch == '%') {
            int next = in.get();
            if (next == '%') {
                valueReference(c, in);
            } else {
                http_writeChar(c, ch);
                in.pending = next;
            }
        } else {
            http_writeChar(c, ch);
        }
    }
}

} // namespace

void parseArguments(HttpContext *c, const char *parameters)
{
    char name[kArgumentSize];
    char value[DS_VALUE_SIZE];
    for (const char *pair = parameters; pair && *pair;) {
        const char *equals = std::strchr(pair, '=');
        const char *amp = std::strchr(pair, '&');
        if (!equals || (amp && amp < equals)) return;
        size_t nameLength = static_cast<size_t>(equals - pair);
        if (nameLength >= kArgumentSize - 1) return;
        std::memcpy(name, pair, nameLength);
        name[nameLength] = '\0';
        const char *end = amp ? amp : equals + std::strlen(equals);
        size_t valueLength = static_cast<size_t>(end - equals - 1);
        if (valueLength >= kArgumentSize) valueLength = kArgumentSize - 1;
        std::memcpy(value, equals + 1, valueLength);
        value[valueLength] = '\0';
        pair = amp ? amp + 1 : nullptr;
        if (stringicmp(name, "submit")) continue;
        for (char *p = value; *p; p++)
            if (*p == '+') *p = ' ';
        if (!http_percentDecode(name) || !http_percentDecode(value) || !name[0]) continue;
        DS_writeVal(name, value, c);
    }
}

void cgiSendHtmlFile(HttpContext *c, const char *name, const char *parameters)
{
    parseArguments(c, parameters);
    char page[HTTP_BUFFER_SIZE];
    safe_strncpy(page, name, sizeof page);
    page[std::strcspn(page, "?")] = '\0';
    const char *slash = std::strrchr(page, '/');
    const char *backslash = std::strrchr(page, '\\');
    const char *last = slash > backslash ? slash : backslash;
    const char *file = last ? last + 1 : page;
    int handle = SF_open(file, 0);
    if (handle < 0) {
        http_writeln(c, "HTTP/1.0 404 Not Found");
        return;
    }
    if (handle >= RA_HANDLE_BASE) c->sandbox = 1; // a template a client put there
    writeHTTPHeader4HtmlContent(c);
    copyPage(c, handle);
    RA_fileClose(handle);
}
