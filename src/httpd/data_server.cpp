// CGI programs of the data server. No state of its own: the values are in the
// value store, the order lists and value files in the RAM disk, both used
// under the data-server lock. Runs on the server thread.
#include "httpd/data_server.h"

#include <cstdio>
#include <cstring>

#include "data/value_store.h"
#include "httpd/cgi_template.h"
#include "httpd/http_request.h"
#include "httpd/served_files.h"
#include "nanox/nx_remote.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

namespace {

struct Lock {
    Lock() { SYNC_CS_CRITICAL_ENTER(); }
    ~Lock() { SYNC_CS_CRITICAL_EXIT(); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
};

bool isVersion(const char *symbol) { return stringcmp(symbol, "HTTP/1.0") || stringcmp(symbol, "HTTP/1.1"); }

void replyValue(HttpContext *c, const char *value) { http_replyText(c, value, static_cast<int>(std::strlen(value))); }

// The next symbol of the order list, read only from the request line: a
// list without its protocol version never waits for more bytes.
const char *nextListSymbol(HttpContext *c)
{
    if (c->inPos > c->lineEnd && !c->hasPushed) {
        c->token[0] = '\0';
        return c->token;
    }
    return getNextSymbol(c);
}

// Writes "name=value\n" for every name of the open order file.
void writeValueLines(HttpContext *c, int order, int out)
{
    char name[DS_VALUE_SIZE];
    char decoded[DS_VALUE_SIZE];
    char value[DS_VALUE_SIZE];
    int n = 0;
    for (;;) {
        int ch = RA_fileGetc(order);
        if (ch > ' ') {
            if (n < DS_VALUE_SIZE - 1) name[n++] = static_cast<char>(ch);
            continue;
        }
        if (n > 0) {
            name[n] = '\0';
            safe_strncpy(decoded, name, sizeof decoded);
            if (!http_percentDecode(decoded)) decoded[0] = '\0';
            value[0] = '\0';
            if (decoded[0]) DS_clientReadVal(decoded, value, c->clientAddress);
            RA_filePutString(name, out);
            RA_filePutString("=", out);
            RA_filePutString(value, out);
            RA_filePutString("\n", out);
            n = 0;
        }
        if (ch < 0) return;
    }
}

void appendName(char *name, int *length, int *state, int ch)
{
    if (*length >= ILR_NAME_SIZE - 1) {
        *state = 0;
        return;
    }
    name[(*length)++] = static_cast<char>(ch);
    name[*length] = '\0';
}

// States 4 to 6 saw the start of a closing tag that was not "</n>": what was
// held back goes into the name, and a new "<" starts over.
void takeBack(char *name, int *length, int *state, const char *held, int ch)
{
    for (const char *p = held; *p && *state != 0; p++) appendName(name, length, state, *p);
    if (*state == 0) return;
    if (ch == '<') {
        *state = 4;
        return;
    }
    *state = 3;
    appendName(name, length, state, ch);
}

// "&gt;", "&lt;" and "&amp;" back to their characters, in that order.
void decodeEntities(char *name)
{
    static const struct {
        const char *entity;
        char ch;
    } kEntities[] = {{"&gt;", '>'}, {"&lt;", '<'}, {"&amp;", '&'}};
    for (const auto &e : kEntities) {
        size_t n = std::strlen(e.entity);
        for (char *p = std::strstr(name, e.entity); p; p = std::strstr(p + 1, e.entity)) {
            *p = e.ch;
            std::memmove(p + 1, p + n, std::strlen(p + n) + 1);
        }
    }
}

// Echoes the request body through emit, inserting the values; false when
// the body ends before "</body>" or emit fails.
bool echoIlr(HttpContext *c, bool (*emit)(HttpContext *, int, const char *), int file)
{
    char name[ILR_NAME_SIZE] = "";
    char value[DS_VALUE_SIZE];
    int state = 0, length = 0;
    for (long i = 0; i < c->contentLength && state != 999; i++) {
        int ch = http_getCharacter(c);
        if (ch < 0) return false;
        char one[2] = {static_cast<char>(ch), '\0'};
        if (!emit(c, file, one)) return false;
        ILR_entry(&state, name, &length, ch);
        if (state != 7) continue;
        state = 0;
        decodeEntities(name);
        if (!name[0]) continue;
        DS_clientReadVal(name, value, c->clientAddress);
        if (!emit(c, file, "<v>") || !emit(c, file, value) || !emit(c, file, "</v>")) return false;
    }
    return state == 999;
}

bool emitToFile(HttpContext *, int file, const char *text)
{
    for (; *text; text++)
        if (RA_filePutc(static_cast<unsigned char>(*text), file) < 0) return false;
    return true;
}

bool emitToClient(HttpContext *c, int, const char *text)
{
    http_writeString(c, text);
    return !c->writeError;
}

const char kIlrFile[] = "ILRReadValues.tmp";

int sendIlrFile(HttpContext *c)
{
    int file = RA_fileOpen(kIlrFile, "r");
    if (file < RA_HANDLE_BASE) {
        if (file >= 0) RA_fileClose(file);
        return 0;
    }
    http_writeln(c, "HTTP/1.0 200 OK");
    c->sandbox = 1; // the echo is the client's text: never a page that runs
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/xml");
    http_writeContentLength(c, RA_fileSize(file));
    http_writeln(c, "");
    char block[512];
    int n;
    while (!c->writeError && (n = RA_fileRead(block, 1, sizeof block, file)) > 0) http_writeBytes(c, block, n);
    RA_fileClose(file);
    return 1;
}

void writeEscaped(HttpContext *c, const char *text)
{
    for (; *text; text++) {
        switch (*text) {
        case '<': http_writeString(c, "&lt;"); break;
        case '>': http_writeString(c, "&gt;"); break;
        case '&': http_writeString(c, "&amp;"); break;
        case '"': http_writeString(c, "&quot;"); break;
        default: http_writeChar(c, *text); break;
        }
    }
}

void samplePage(HttpContext *c, const char *path, const char *parameters)
{
    writeHTTPHeader4HtmlContent(c);
    http_writeln(c, "<html>");
    http_writeln(c, "<body>");
    http_writeln(c, "<P>Sample CGI function<P>");
    http_writeString(c, "<P>Page: ");
    writeEscaped(c, path);
    http_writeln(c, "<P>");
    http_writeString(c, "<P>Parameters received: ");
    writeEscaped(c, parameters);
    http_writeln(c, "<P>");
    http_writeln(c, "<br>");
    http_writeln(c, "<a href=\"javascript:history.back();\">Back<br>");
    http_writeln(c, "</body>");
    http_writeln(c, "</html>");
}

} // namespace

int CS_readValue(HttpContext *c, char *name)
{
    if (!http_percentDecode(name) || !name[0]) return 0;
    char value[DS_VALUE_SIZE];
    DS_clientReadVal(name, value, c->clientAddress);
    replyValue(c, value);
    return 1;
}

int CS_writeValue(HttpContext *c, char *name, char *value)
{
    if (!http_percentDecode(name) || !name[0] || !http_percentDecode(value)) return 0;
    value[DS_VALUE_SIZE - 1] = '\0';
    DS_writeVal(name, value, c);
    NX_remoteWake(); // a write that the panel carries out is taken at once
    replyValue(c, value);
    return 1;
}

int CS_OrderValues(HttpContext *c)
{
    Lock hold;
    const char *symbol = nextListSymbol(c);
    if (!symbol[0] || isVersion(symbol) || std::strlen(symbol) + 4 >= RA_NAME_SIZE) return 0;
    char fileName[RA_NAME_SIZE];
    std::snprintf(fileName, sizeof fileName, "%s.req", symbol);
    int file = RA_fileOpen(fileName, "w");
    int names = 0;
    for (;;) {
        symbol = nextListSymbol(c);
        if (isVersion(symbol)) break;
        if (!symbol[0]) {
            std::printf("Command '/cgi-bin/OrderValues.exe' not terninated as expected !!!\n");
            break;
        }
        if (stringcmp(symbol, "+")) continue;
        if (++names <= 2 || file < 0) continue; // the client's "dummy" and its refresh period
        RA_filePutString(symbol, file);
        RA_filePutString(" ", file);
    }
    if (file < 0) return 0;
    RA_fileClose(file);
    Done(c);
    return 1;
}

int CS_ReadFile(HttpContext *c, const char *file)
{
    if (!file[0]) return 0;
    {
        // the value file is made for this request alone: an existing file of
        // that name (an order list, an upload, another client's) stays as it is
        if (RA_fileExists(file) || SF_isPanelFileName(file)) return 0;
        Lock hold;
        DS_Refresh();
        char orderName[RA_NAME_SIZE];
        size_t stem = std::strcspn(file, ".");
        std::snprintf(orderName, sizeof orderName, "%.*s.req", static_cast<int>(stem), file);
        int order = RA_fileOpen(orderName, "r");
        if (order >= 0 && order < RA_HANDLE_BASE) {
            RA_fileClose(order); // a file on disk is no order list
            order = -1;
        }
        if (order < 0) return 0;
        int out = RA_fileOpen(file, "w");
        if (out >= 0) writeValueLines(c, order, out);
        RA_fileClose(order);
        if (out < 0) return 0;
        RA_fileClose(out);
    }
    c->noCache = 1;
    int sent = sendFile(c, file, 1);
    RA_fileDelete(file);
    return sent;
}

void ILR_entry(int *state, char *name, int *length, int ch)
{
    switch (*state) {
    case 0:
        if (ch == '<') {
            *state = 1;
            *length = 0;
            name[0] = '\0';
        }
        break;
    case 1: *state = ch == 'n' ? 2 : (ch == '/' ? 100 : 0); break;
    case 2: *state = ch == '>' ? 3 : 0; break;
    case 3:
        if (ch == '<') *state = 4;
        else appendName(name, length, state, ch);
        break;
    case 4:
        if (ch == '/') *state = 5;
        else takeBack(name, length, state, "<", ch);
        break;
    case 5:
        if (ch == 'n') *state = 6;
        else takeBack(name, length, state, "</", ch);
        break;
    case 6:
        if (ch == '>') *state = 7;
        else takeBack(name, length, state, "</n", ch);
        break;
    case 7: *state = 0; break;
    case 100: *state = ch == 'b' ? 101 : 0; break;
    case 101: *state = ch == 'o' ? 102 : 0; break;
    case 102: *state = ch == 'd' ? 103 : 0; break;
    case 103: *state = ch == 'y' ? 104 : 0; break;
    case 104: *state = ch == '>' ? 999 : 0; break;
    default: break;
    }
}

int ILR_ReadValues(HttpContext *c)
{
    if (c->contentLength <= 0) return 0;
    int file = RA_fileOpen(kIlrFile, "w");
    if (file < 0) {
        // no room in the RAM disk: the answer goes straight out, without a length
        http_writeln(c, "HTTP/1.0 200 OK");
        c->sandbox = 1;
        http_writeCommonHTTPHeaders(c);
        http_writeln(c, "Content-Type: text/xml");
        http_writeln(c, "");
        echoIlr(c, emitToClient, -1);
        return 1;
    }
    bool complete = echoIlr(c, emitToFile, file);
    RA_fileClose(file);
    if (!complete) {
        RA_fileDelete(kIlrFile);
        return 0;
    }
    return sendIlrFile(c);
}

int CGIGenerator(HttpContext *c, const char *path, char *parameters)
{
    c->noCache = 1;
    const char *dot = path[0] ? std::strchr(path + 1, '.') : nullptr;
    if (!dot || !prefixicmp(dot, ".htm")) {
        samplePage(c, path, parameters);
        return 1;
    }
    const char *name = prefixicmp(path, "cgi-bin/") ? path + 8 : path;
    cgiSendHtmlFile(c, name, parameters);
    return 1;
}
