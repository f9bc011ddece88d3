// Requests of the embedded HTTP server. Owns the hit counter; the context and
// the buffers belong to the caller. Reads the RAM disk and the page directory
// (the data server's copy), and hands the CGI programs to the data server,
// writes to the credentials check and the remote view to its module.
#include "httpd/http_request.h"

#include <cstdio>
#include <cstring>

#include "data/value_store.h"
#include "httpd/cgi_template.h"
#include "httpd/credentials.h"
#include "httpd/data_server.h"
#include "httpd/remote_view.h"
#include "httpd/served_files.h"
#include "runtime/platform.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

uint32_t HitCounter;

namespace {

const char kServerLine[] = "Server: Panterm_MW/1.0 (powered by Tarselkit TM)";
const char kSyntaxError[] = "Syntax Error.";

bool isBlank(int ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

int hexDigit(int ch)
{
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Case-insensitive search; the position in text, or null.
const char *findIgnoreCase(const char *text, const char *part)
{
    size_t n = std::strlen(part);
    for (const char *p = text; *p; p++)
        if (stringnicmp(p, part, n)) return p;
    return nullptr;
}

// The offset of a header's value: after its name and the blanks.
int valueStart(const char *line, int length, int offset)
{
    while (offset < length && (line[offset] == ' ' || line[offset] == '\t')) offset++;
    return offset;
}

// Copies a header value (the line from offset to its end) into dst.
void takeHeaderValue(const char *line, int lineLength, int offset, char *dst, size_t size)
{
    if (dst[0] || offset > lineLength) return;
    int n = lineLength - offset;
    if (n > 0 && line[offset + n - 1] == '\r') n--;
    if (static_cast<size_t>(n) >= size) n = static_cast<int>(size) - 1;
    if (n < 0) n = 0;
    std::memcpy(dst, line + offset, static_cast<size_t>(n));
    dst[n] = '\0';
}

void parseHeaderLine(HttpContext *c, const char *line, int length, bool *lengthSeen)
{
    char number[32];
    if (prefixcmp(line, "Content-Length:") || prefixcmp(line, "Content-length:") ||
        prefixcmp(line, "content-length:")) {
        if (*lengthSeen) return;
        *lengthSeen = true;
        number[0] = '\0';
        takeHeaderValue(line, length, 15, number, sizeof number);
        long value = 0;
        if (std::sscanf(number, "%li", &value) == 1) c->contentLength = value;
    } else if (prefixcmp(line, "Content-Type:") || prefixcmp(line, "Content-type:") ||
               prefixcmp(line, "content-type:")) {
        takeHeaderValue(line, length, 14, c->contentType, sizeof c->contentType);
    } else if (prefixcmp(line, "Cookie:") || prefixcmp(line, "cookie:")) {
        takeHeaderValue(line, length, 8, c->cookie, sizeof c->cookie);
    } else if (prefixcmp(line, "SOAPAction: \"")) {
        takeHeaderValue(line, length, 13, c->soapAction, sizeof c->soapAction);
    } else if (prefixcmp(line, "Expect:")) {
        std::sscanf(line + 7, "%d", &c->expect);
    } else if (prefixicmp(line, "Authorization:")) {
        takeHeaderValue(line, length, valueStart(line, length, 14), c->authorization, sizeof c->authorization);
    } else if (prefixicmp(line, "Host:")) {
        takeHeaderValue(line, length, valueStart(line, length, 5), c->host, sizeof c->host);
    } else if (prefixicmp(line, "Origin:")) {
        takeHeaderValue(line, length, valueStart(line, length, 7), c->origin, sizeof c->origin);
        if (!c->origin[0]) safe_strncpy(c->origin, "null", sizeof c->origin);
    } else if (prefixicmp(line, "Referer:")) {
        takeHeaderValue(line, length, valueStart(line, length, 8), c->referer, sizeof c->referer);
        if (!c->referer[0]) safe_strncpy(c->referer, "null", sizeof c->referer);
    }
}

// "host:port" of an address "scheme://host:port/...", without the scheme's
// own port, into dst; false when it has no scheme and host.
bool authorityOf(const char *address, char *dst, size_t size)
{
    const char *start = std::strstr(address, "://");
    if (!start || start == address) return false;
    bool https = prefixicmp(address, "https://");
    start += 3;
    size_t n = std::strcspn(start, "/?#");
    if (n == 0 || n >= size) return false;
    std::memcpy(dst, start, n);
    dst[n] = '\0';
    if (std::strchr(dst, '@')) return false; // credentials in the address: no origin of ours
    if (str_endsWith(dst, https ? ":443" : ":80")) dst[n - (https ? 4 : 3)] = '\0';
    return true;
}

// 1 when an address of the Origin or Referer line names the Host line's
// server (the host's default port written or not).
bool sameHost(const char *address, const char *host)
{
    char authority[128], own[128];
    if (!authorityOf(address, authority, sizeof authority) || !host[0]) return false;
    safe_strncpy(own, host, sizeof own);
    str_trim(own);
    if (str_endsWith(own, ":80")) own[std::strlen(own) - 3] = '\0';
    else if (str_endsWith(own, ":443")) own[std::strlen(own) - 4] = '\0';
    return stringicmp(authority, own);
}

void forbidden(HttpContext *c)
{
    static const char kBody[] = "Forbidden.";
    http_writeln(c, "HTTP/1.0 403 Forbidden");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, sizeof kBody - 1);
    http_writeln(c, "");
    http_writeString(c, kBody);
}

int findHeaderEnd(const HttpContext *c)
{
    for (int i = 0; i + 3 < c->inCount; i++)
        if (std::memcmp(c->in + i, "\r\n\r\n", 4) == 0) return i + 4;
    return 0;
}

// ---- dispatch ----

bool isVersion(const char *symbol) { return stringcmp(symbol, "HTTP/1.0") || stringcmp(symbol, "HTTP/1.1"); }

// A name symbol: longer than 63 characters it is taken as empty.
void takeName(HttpContext *c, char *dst)
{
    getNextSymbol(c);
    if (std::strlen(c->token) >= HTTP_NAME_SIZE) dst[0] = '\0';
    else safe_strncpy(dst, c->token, HTTP_NAME_SIZE);
}

// The path from "cgi-bin/" on, when it holds one.
const char *cgiPart(const char *path)
{
    const char *cgi = findIgnoreCase(path, "cgi-bin/");
    return cgi ? cgi : path;
}

int writeValue(HttpContext *c)
{
    takeName(c, c->varName);
    getNextSymbol(c);
    if (!stringcmp(c->token, "+")) return 0;
    getValueToken(c, c->value, sizeof c->value, 1);
    if (!http_readVersion(c)) return 0;
    if (!http_mayChange(c)) return 1;
    return CS_writeValue(c, c->varName, c->value);
}

int deleteFile(HttpContext *c)
{
    takeName(c, c->fileName);
    if (!http_readVersion(c)) return 0;
    if (!http_mayChange(c)) return 1;
    if (!http_percentDecode(c->fileName) || RA_fileDelete(c->fileName) < 0) return 0;
    Done(c);
    return 1;
}

// Any other "cgi-bin/" path: a page, with the parameters after its "?".
int cgiPage(HttpContext *c, const char *cgi)
{
    safe_strncpy(c->path, cgi, sizeof c->path);
    c->value[0] = '\0';
    if (str_endsWith(c->path, "?")) getValueToken(c, c->value, sizeof c->value, 0);
    if (!http_readVersion(c)) return 0;
    if (c->value[0] ? !http_mayChange(c) : !AUTH_check(c, 0)) return 1;
    return CGIGenerator(c, c->path, c->value);
}

int PathOp(HttpContext *c)
{
    getNextSymbol(c);
    safe_strncpy(c->path, c->token, sizeof c->path);
    if (RV_isPath(c->path)) return RV_handle(c, c->path);
    const char *cgi = cgiPart(c->path);
    if (stringicmp(cgi, "cgi-bin/readVal.exe?")) {
        takeName(c, c->varName);
        if (!http_readVersion(c)) return 0;
        if (!AUTH_check(c, 0)) return 1;
        return CS_readValue(c, c->varName);
    }
    if (stringicmp(cgi, "cgi-bin/writeVal.exe?")) return writeValue(c);
    if (stringicmp(cgi, "cgi-bin/OrderValues.exe?")) {
        if (!http_mayChange(c)) return 1;
        return CS_OrderValues(c);
    }
    if (stringicmp(cgi, "cgi-bin/ReadFile.exe?")) {
        takeName(c, c->fileName);
        if (!http_readVersion(c)) return 0;
        if (!AUTH_check(c, 0)) return 1;
        return CS_ReadFile(c, c->fileName);
    }
    if (stringicmp(cgi, "cgi-bin/DeleteFile.exe?")) return deleteFile(c);
    if (stringicmp(cgi, "cgi-bin/RefreshValues.exe?")) return http_readVersion(c);
    if (stringicmp(cgi, "cgi-bin/GetSrvInfo.exe") || stringicmp(cgi, "cgi-bin/GetSrvInfo.exe?")) {
        if (!http_readVersion(c)) return 0;
        if (!AUTH_check(c, 0)) return 1;
        GetSrvInfo(c);
        return 1;
    }
    if (prefixicmp(cgi, "cgi-bin/")) return cgiPage(c, cgi);
    if (!http_readVersion(c)) return 0;
    if (!AUTH_check(c, 0)) return 1;
    return sendFile(c, c->path, 0);
}

bool refusedUpload(const char *name)
{
    static const char *const kRefused[] = {".dll", ".exe", ".asp", ".pl", ".sh"};
    for (const char *ext : kRefused)
        if (str_endsWithIgnoreCase(name, ext)) return true;
    return !name[0] || stringcmp(name, ".") || stringcmp(name, "..");
}

// Writes the body into the RAM-disk file; a body that does not arrive whole
// or does not fit leaves no file behind.
int upload(HttpContext *c, const char *name)
{
    if (refusedUpload(name) || c->contentLength < 0) return 0;
    std::printf("> bufCntIn: %i\n", c->headerLength);
    int file = RA_fileOpen(name, "w");
    if (file < 0) return 0;
    char block[512];
    long left = c->contentLength;
    bool ok = true;
    while (ok && left > 0) {
        int n = 0;
        while (n < static_cast<int>(sizeof block) && n < left) {
            int ch = http_getCharacter(c);
            if (ch < 0) break;
            block[n++] = static_cast<char>(ch);
        }
        ok = n > 0 && RA_fileWrite(block, 1, n, file) == n;
        left -= n;
    }
    RA_fileClose(file);
    if (!ok) {
        RA_fileDelete(name);
        return 0;
    }
    Done(c);
    return 1;
}

int PathOpPOST(HttpContext *c)
{
    getNextSymbol(c);
    safe_strncpy(c->path, c->token, sizeof c->path);
    if (!http_readVersion(c) || c->headerLength == 0) return 0; // the header never ended
    if (c->expect == 100) Continue(c);
    c->inPos = c->headerLength;
    c->hasPushed = 0;
    if (RV_isPath(c->path)) return RV_handle(c, c->path);
    if (std::strlen(c->path) >= HTTP_NAME_SIZE) c->path[0] = '\0';
    const char *cgi = cgiPart(c->path);
    if (stringicmp(cgi, "cgi-bin/ILRReadValues.exe")) {
        if (!AUTH_check(c, 0)) return 1;
        DS_Refresh();
        return ILR_ReadValues(c);
    }
    if (prefixicmp(cgi, "cgi-bin/")) {
        if (!http_mayChange(c)) return 1;
        safe_strncpy(c->fileName, cgi, sizeof c->fileName);
        int n = 0;
        long limit = c->contentLength < 0 ? 0 : c->contentLength;
        for (int ch; n < HTTP_BUFFER_SIZE - 1 && n < limit && (ch = http_getCharacter(c)) >= 0; n++)
            c->token[n] = static_cast<char>(ch);
        c->token[n] = '\0';
        safe_strncpy(c->value, c->token, sizeof c->value);
        return CGIGenerator(c, c->fileName, c->value);
    }
    if (!http_mayChange(c)) return 1;
    const char *slash = std::strrchr(c->path, '/');
    const char *backslash = std::strrchr(c->path, '\\');
    const char *last = slash > backslash ? slash : backslash;
    return upload(c, last ? last + 1 : c->path);
}

const char *extensionOf(const char *name)
{
    const char *dot = std::strrchr(name, '.');
    const char *slash = std::strrchr(name, '/');
    return dot && (!slash || dot > slash) ? dot + 1 : "";
}

} // namespace

// ---- context and tokenizer ----

void http_initContext(HttpContext *c, char *in, int inCount, int inSize, char *out, int outSize, HttpReadFn read,
                      HttpWriteFn write, void *connection)
{
    std::memset(c, 0, sizeof *c);
    c->contentLength = -1;
    c->in = in;
    c->inCount = inCount;
    c->inSize = inSize;
    c->out = out;
    c->outSize = outSize;
    c->read = read;
    c->write = write;
    c->connection = connection;
    c->in[inCount] = '\0';
}

int http_getCharacter(HttpContext *c)
{
    if (c->hasPushed) {
        c->hasPushed = 0;
        return c->pushedChar;
    }
    if (c->inPos >= c->inCount) {
        // all received bytes are used: the buffer starts over
        if (c->inCount >= c->inSize) c->inPos = c->inCount = 0;
        int before = c->inCount;
        if (!c->read || c->read(c) <= 0 || c->inCount <= before) return -1;
        if (c->inCount > c->inSize) c->inCount = c->inSize;
        c->in[c->inCount] = '\0';
    }
    return static_cast<unsigned char>(c->in[c->inPos++]);
}

void http_ungetChar(HttpContext *c, int ch)
{
    if (ch < 0) return;
    c->pushedChar = ch;
    c->hasPushed = 1;
}

const char *getNextSymbol(HttpContext *c)
{
    static const char kEnd[] = "\r\n\r\n";
    c->token[0] = '\0';
    int ch = http_getCharacter(c);
    int matched = 0; // leading characters of the skipped run that match kEnd
    bool matching = true;
    while (ch >= 0 && isBlank(ch)) {
        if (matching && ch == kEnd[matched]) {
            if (++matched == 4) return c->token;
        } else {
            matching = false;
        }
        ch = http_getCharacter(c);
    }
    if (ch < 0) return c->token;
    int n = 0;
    if (ch == '+') {
        c->token[n++] = '+';
    } else {
        while (ch >= 0 && !isBlank(ch) && ch != '+' && n < HTTP_BUFFER_SIZE - 1) {
            if (ch == 0) c->status = 0; // a NUL byte would cut the symbol short
            c->token[n++] = static_cast<char>(ch);
            if (ch == '?') break;
            ch = http_getCharacter(c);
        }
        if (ch >= 0 && ch != '?') http_ungetChar(c, ch);
    }
    c->token[n] = '\0';
    return c->token;
}

char *getValueToken(HttpContext *c, char *dst, int size, int plusToBlank)
{
    int n = 0;
    bool tooLong = false;
    int ch = http_getCharacter(c);
    for (; ch >= 0 && !isBlank(ch); ch = http_getCharacter(c)) {
        if (n >= size - 1) {
            tooLong = true;
            continue;
        }
        dst[n++] = static_cast<char>(plusToBlank && ch == '+' ? ' ' : ch);
    }
    http_ungetChar(c, ch);
    dst[tooLong ? 0 : n] = '\0';
    return dst;
}

int http_readVersion(HttpContext *c) { return isVersion(getNextSymbol(c)) && c->status ? 1 : 0; }

void readHTTPHeader(HttpContext *c, int receive)
{
    int end = findHeaderEnd(c);
    while (receive && !end && c->inCount < c->inSize && c->read && c->read(c) > 0) {
        c->in[c->inCount] = '\0';
        end = findHeaderEnd(c);
    }
    c->headerLength = end;
    int limit = end ? end : c->inCount;
    bool lengthSeen = false;
    int line = c->lineEnd + 1;
    while (line < limit) {
        int next = line;
        while (next < limit && c->in[next] != '\n') next++;
        int length = next - line;
        if (length < 3) break;
        char saved = c->in[next];
        c->in[next] = '\0'; // the line as a text, for the prefix tests
        parseHeaderLine(c, c->in + line, length, &lengthSeen);
        c->in[next] = saved;
        line = next + 1;
    }
}

int http_percentDecode(char *text)
{
    if (std::strlen(text) < 3) return 1;
    char *out = text;
    for (const char *in = text; *in; in++) {
        if (*in == '%' && hexDigit(in[1]) >= 0 && hexDigit(in[2]) >= 0) {
            int byte = hexDigit(in[1]) * 16 + hexDigit(in[2]);
            if (byte == 0) return 0;
            *out++ = static_cast<char>(byte);
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
    return 1;
}

// ---- output ----

void http_flush(HttpContext *c)
{
    if (c->outCount > 0 && !c->writeError && c->write) {
        int sent = c->write(c, c->out, c->outCount);
        if (sent < 0) {
            c->writeError = 1;
            std::printf("> SRVR_writeTCP: send failed, -> %i\r\n", sent);
        }
    }
    c->outCount = 0;
}

void http_writeChar(HttpContext *c, int ch)
{
    c->out[c->outCount++] = static_cast<char>(ch);
    if (c->outCount >= c->outSize) http_flush(c);
}

void http_writeBytes(HttpContext *c, const void *data, int size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        int n = c->outSize - c->outCount;
        if (n > size) n = size;
        std::memcpy(c->out + c->outCount, p, static_cast<size_t>(n));
        c->outCount += n;
        p += n;
        size -= n;
        if (c->outCount >= c->outSize) http_flush(c);
    }
}

void http_writeString(HttpContext *c, const char *text)
{
    if (text) http_writeBytes(c, text, static_cast<int>(std::strlen(text)));
}

void http_writeln(HttpContext *c, const char *text)
{
    http_writeString(c, text);
    http_writeString(c, "\r\n");
}

void http_writeCommonHTTPHeaders(HttpContext *c)
{
    char line[64];
    http_writeln(c, kServerLine);
    std::snprintf(line, sizeof line, "X-HitCounter: %ld", static_cast<long>(HitCounter));
    http_writeln(c, line);
    if (c->noCache) {
        http_writeln(c, "Expires: Mon, 01 Jan 1990 00:00:00 GMT");
        http_writeln(c, "Cache-Control: no-cache");
        c->noCache = 0;
    }
    if (c->sandbox) {
        http_writeln(c, "X-Content-Type-Options: nosniff");
        http_writeln(c, "Content-Security-Policy: sandbox");
        c->sandbox = 0;
    }
    http_writeln(c, "Connection: close");
}

void http_writeContentType(HttpContext *c, const char *ext)
{
    static const struct {
        const char *ext;
        const char *type;
    } kTypes[] = {
        {"htm", "text/html"},
        {"html", "text/html"},
        {"req", "text/html"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},
        {"txt", "text/plain"},
        {"xml", "text/xml"},
        {"wsdl", "text/xml"},
        {"xsd", "text/xml"},
        {"csv", "application/x-unknown-content-type-Excel.CSV;charset=iso-8859-1"},
    };
    const char *type = "content/unknown";
    for (const auto &t : kTypes)
        if (stringicmp(ext, t.ext)) type = t.type;
    if (stringicmp(ext, "jar")) {
        http_writeln(c, "Last-Modified: Tue, 18 Jan 2005 02:00:00 GMT");
        type = "application/x-java-archive";
    }
    http_writeString(c, "Content-Type: ");
    http_writeln(c, type);
}

void http_writeContentLength(HttpContext *c, long length)
{
    if (length == -1) return;
    char line[48];
    std::snprintf(line, sizeof line, "Content-Length: %lu", static_cast<unsigned long>(length));
    http_writeln(c, line);
}

void writeHTTPHeader4HtmlContent(HttpContext *c)
{
    http_writeln(c, "HTTP/1.0 200 OK");
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/html");
    http_writeln(c, "");
}

// ---- replies ----

void http_replyText(HttpContext *c, const char *body, int length)
{
    http_writeln(c, "HTTP/1.0 200 OK");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, length);
    http_writeln(c, "");
    http_writeBytes(c, body, length);
}

void Done(HttpContext *c) { http_replyText(c, "Done.", 5); }

void ReportError(HttpContext *c, const char *text)
{
    http_writeln(c, "HTTP/1.0 404 Not Found");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/plain");
    http_writeln(c, "");
    http_writeln(c, text);
}

void GetSrvInfo(HttpContext *c)
{
    char body[128];
    int n = std::snprintf(body, sizeof body, "%s\r\nCGI=1\r\nILR=1, V.1.0\r\n", kServerLine);
    http_replyText(c, body, n);
}

void Continue(HttpContext *c)
{
    http_writeln(c, "HTTP/1.1 100 Continue");
    http_writeln(c, kServerLine);
    http_writeln(c, "");
    http_flush(c);
}

void http_documentBase(char *dst, int size)
{
    char base[DS_BASE_SIZE];
    DS_panelDocumentBase(base, sizeof base);
    std::snprintf(dst, static_cast<size_t>(size), "%s%s", HmiPath, base);
}

int http_isSafeFileName(const char *name)
{
    if (!name[0] || name[0] == '/' || std::strchr(name, '\\')) return 0;
    for (const char *p = name; *p; p++)
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F) return 0;
    for (const char *step = name; step; step = std::strchr(step, '/')) {
        if (*step == '/') step++;
        if (step[0] == '.' && step[1] == '.' && (step[2] == '/' || step[2] == '\0')) return 0;
    }
    return 1;
}

int sendFile(HttpContext *c, const char *requested, int ramOnly)
{
    char name[HTTP_BUFFER_SIZE];
    safe_strncpy(name, requested, sizeof name);
    if (!http_percentDecode(name)) return 0;
    if (stringcmp(name, "/") || !name[0]) safe_strncpy(name, "start.html", sizeof name);
    const char *file = name[0] == '/' || name[0] == '\\' ? name + 1 : name;
    int handle = SF_open(file, ramOnly);
    if (handle < 0) return 0;
    // files that clients put into the RAM disk are shown, never run
    if (handle >= RA_HANDLE_BASE) c->sandbox = 1;
    const char *ext = extensionOf(file);
    if (stringicmp(ext, "jar")) {
        http_writeln(c, "HTTP/1.1 200 OK");
        http_writeln(c, "Connection: close");
    } else {
        http_writeln(c, "HTTP/1.0 200 OK");
    }
    if (stringicmp(ext, "log")) c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeContentType(c, ext);
    http_writeContentLength(c, RA_fileSize(handle));
    http_writeln(c, "");
    if (c->method != HTTP_METHOD_HEAD) {
        char block[512];
        int n;
        while (!c->writeError && (n = RA_fileRead(block, 1, sizeof block, handle)) > 0) http_writeBytes(c, block, n);
    }
    RA_fileClose(handle);
    return 1;
}

int http_isForeignRequest(const HttpContext *c)
{
    if (c->origin[0]) return !sameHost(c->origin, c->host);
    if (c->referer[0]) return !sameHost(c->referer, c->host);
    return 0;
}

void http_replyForbidden(HttpContext *c) { forbidden(c); }

int http_mayChange(HttpContext *c)
{
    // the lines that decide may come in later packets than the request line
    if (c->method != HTTP_METHOD_POST && !findHeaderEnd(c)) readHTTPHeader(c, 1);
    if (http_isForeignRequest(c)) {
        forbidden(c);
        return 0;
    }
    return AUTH_check(c, 1);
}

int http_processRequest(HttpContext *c)
{
    if (prefixcmp(c->in, "GET ")) c->method = HTTP_METHOD_GET;
    else if (prefixcmp(c->in, "POST ")) c->method = HTTP_METHOD_POST;
    else if (prefixcmp(c->in, "HEAD ")) c->method = HTTP_METHOD_HEAD;
    else c->method = 0;
    const char *lf = std::strchr(c->in, '\n');
    c->lineEnd = lf ? static_cast<int>(lf - c->in) : c->inCount;
    readHTTPHeader(c, c->method == HTTP_METHOD_POST);
    c->status = 1;
    getNextSymbol(c);
    int ok = 1;
    if (c->method != 0 && (stringcmp(c->token, "GET") || stringcmp(c->token, "HEAD"))) ok = PathOp(c);
    else if (c->method == HTTP_METHOD_POST && stringcmp(c->token, "POST")) ok = PathOpPOST(c);
    else return c->outCount;
    if (!ok || !c->status) ReportError(c, kSyntaxError);
    return c->outCount;
}
