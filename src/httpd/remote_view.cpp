// Remote view of the panel. No state of its own: frames are the display
// layer's shared pictures (encoded by the main thread, swapped under its lock),
// presses and keys go into its queue, which the main thread hands to the input
// handlers.
#include "httpd/remote_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "httpd/credentials.h"
#include "httpd/http_request.h"
#include "nanox/nx_remote.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr int kFrameWaitMs = 1000; // how long a request waits for a first frame
constexpr int kBodySize = 256;

const char kPage[] =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width\">\n"
    "<title>Panterm remote view</title>\n"
    "<style>body{margin:0;background:#2b2b2b;color:#ddd;font:14px sans-serif}"
    "#screen{display:block;margin:8px auto;max-width:100%;cursor:pointer;touch-action:none;user-select:none}"
    "#note{text-align:center;min-height:1.5em}#note a{color:#9cf}</style>\n"
    "</head><body>\n"
    "<img id=\"screen\" src=\"/_panel/frame.png\" alt=\"The panel's screen\" draggable=\"false\">\n"
    "<div id=\"note\"></div>\n"
    "<script>\n"
    "(function () {\n"
    "  var screen = document.getElementById('screen'), note = document.getElementById('note');\n"
    "  var frame = 0, pressed = false, sending = Promise.resolve(), width = 0, height = 0;\n"
    "  function say(html) { note.innerHTML = html; }\n"
    "  function again() { setTimeout(load, 250); }\n"
    "  function load() {\n"
    "    fetch('/_panel/frame.png?after=' + frame, {cache: 'no-store'}).then(function (r) {\n"
    "      if (r.status === 200) {\n"
    "        frame = parseInt(r.headers.get('X-Frame') || '0', 10);\n"
    "        return r.blob().then(function (b) {\n"
    "          var url = URL.createObjectURL(b);\n"
    "          screen.onload = function () { URL.revokeObjectURL(url); size(); };\n"
    "          screen.src = url;\n"
    "          say('');\n"
    "        });\n"
    "      }\n"
    "      if (r.status !== 204) say('No picture from the panel (' + r.status + ').');\n"
    "    }).catch(function () { say('The panel does not answer.'); }).then(again);\n"
    "  }\n"
    "  function post(path, body) {\n"
    "    sending = sending.then(function () {\n"
    "      return fetch(path, {method: 'POST', body: body,\n"
    "          headers: {'Content-Type': '" RV_INPUT_TYPE "'}}).then(function (r) {\n"
    "        if (r.status === 401) say('Operating the panel needs a <a href=\"/_panel/login\">login</a>.');\n"
    "        if (r.status === 403) say('Operating the panel from here is not allowed.');\n"
    "        if (r.status === 404) say('The panel shows its screen only.');\n"
    "        if (r.status === 429) say('Too many wrong logins: wait a little.');\n"
    "      }).catch(function () { say('The panel does not answer.'); });\n"
    "    });\n"
    "  }\n"
    "  function size() {\n"
    "    if (screen.naturalWidth) { width = screen.naturalWidth; height = screen.naturalHeight; }\n"
    "  }\n"
    "  screen.addEventListener('load', size);\n"
    "  function at(e) {\n"
    "    var box = screen.getBoundingClientRect();\n"
    "    size(); // while a new frame loads, the last frame's size holds\n"
    "    var x = Math.floor((e.clientX - box.left) * width / box.width);\n"
    "    var y = Math.floor((e.clientY - box.top) * height / box.height);\n"
    "    return 'x=' + x + '&y=' + y;\n"
    "  }\n"
    "  screen.addEventListener('pointerdown', function (e) {\n"
    "    if (e.button !== 0) return;\n"
    "    e.preventDefault();\n"
    "    pressed = true;\n"
    "    if (screen.setPointerCapture) screen.setPointerCapture(e.pointerId);\n"
    "    post('/_panel/press', at(e) + '&down=1');\n"
    "  });\n"
    "  function release(e) {\n"
    "    if (!pressed) return;\n"
    "    pressed = false;\n"
    "    post('/_panel/press', at(e) + '&down=0');\n"
    "  }\n"
    "  screen.addEventListener('pointerup', release);\n"
    "  screen.addEventListener('pointercancel', release);\n"
    "  function key(e, down) {\n"
    "    if (e.ctrlKey || e.altKey || e.metaKey) return;\n"
    "    e.preventDefault();\n"
    "    post('/_panel/key', 'key=' + encodeURIComponent(e.key) + '&down=' + down);\n"
    "  }\n"
    "  document.addEventListener('keydown', function (e) { key(e, 1); });\n"
    "  document.addEventListener('keyup', function (e) { key(e, 0); });\n"
    "  again();\n"
    "})();\n"
    "</script>\n"
    "</body></html>\n";

const struct {
    const char *name;
    int key;
} kKeys[] = {
    {"Enter", MWKEY_ENTER},    {"Escape", MWKEY_ESCAPE},
    {"Tab", MWKEY_TAB},        {"Backspace", MWKEY_BACKSPACE},
    {"ArrowLeft", MWKEY_LEFT}, {"ArrowRight", MWKEY_RIGHT},
    {"ArrowUp", MWKEY_UP},     {"ArrowDown", MWKEY_DOWN},
    {"Insert", MWKEY_INSERT},  {"Delete", MWKEY_DELETE},
    {"Home", MWKEY_HOME},      {"End", MWKEY_END},
    {"PageUp", MWKEY_PAGEUP},  {"PageDown", MWKEY_PAGEDOWN},
    {"F1", MWKEY_F1},          {"F2", MWKEY_F2},
    {"F3", MWKEY_F3},          {"F4", MWKEY_F4},
    {"F5", MWKEY_F5},          {"F6", MWKEY_F6},
    {"F7", MWKEY_F7},          {"F8", MWKEY_F8},
    {"F9", MWKEY_F9},          {"F10", MWKEY_F10},
    {"F11", MWKEY_F11},        {"F12", MWKEY_F12},
};

void replyStatus(HttpContext *c, const char *statusLine, const char *body)
{
    http_writeln(c, statusLine);
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, static_cast<long>(std::strlen(body)));
    http_writeln(c, "");
    http_writeString(c, body);
}

void page(HttpContext *c)
{
    http_writeln(c, "HTTP/1.0 200 OK");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/html; charset=utf-8");
    http_writeContentLength(c, sizeof kPage - 1);
    http_writeln(c, "");
    if (c->method != HTTP_METHOD_HEAD) http_writeString(c, kPage);
}

// The value of the request's "If-None-Match:" line into dst, at most size - 1
// characters (empty when there is none).
void ifNoneMatch(const HttpContext *c, char *dst, size_t size)
{
    static const char kName[] = "If-None-Match:";
    const size_t nameLength = sizeof kName - 1;
    dst[0] = '\0';
    int end = c->headerLength > 0 ? c->headerLength : c->inCount;
    for (int line = c->lineEnd + 1; line < end;) {
        int next = line;
        while (next < end && c->in[next] != '\n') next++;
        if (static_cast<size_t>(next - line) > nameLength && strncasecmp(c->in + line, kName, nameLength) == 0) {
            const char *value = c->in + line + nameLength;
            const char *stop = c->in + next;
            while (value < stop && (*value == ' ' || *value == '\t')) value++;
            while (stop > value && (stop[-1] == '\r' || stop[-1] == ' ' || stop[-1] == '\t')) stop--;
            size_t length = std::min(static_cast<size_t>(stop - value), size - 1);
            std::memcpy(dst, value, length);
            dst[length] = '\0';
            return;
        }
        line = next + 1;
    }
}

// The entity tag of a picture: its number within the series of this opening
// of the display, so that a tag of another run never matches.
void entityTag(const NX_RemoteFrame &f, char *dst, size_t size)
{
    std::snprintf(dst, size, "\"%08lx-%lu\"", static_cast<unsigned long>(f.series),
                  static_cast<unsigned long>(f.number));
}

void frameHeaders(HttpContext *c, const char *statusLine, const NX_RemoteFrame &f)
{
    char line[64], tag[32];
    http_writeln(c, statusLine);
    c->noCache = 1; // kept, but asked again each time: an unchanged frame costs a 304
    http_writeCommonHTTPHeaders(c);
    std::snprintf(line, sizeof line, "X-Frame: %lu", static_cast<unsigned long>(f.number));
    http_writeln(c, line);
    entityTag(f, tag, sizeof tag);
    std::snprintf(line, sizeof line, "ETag: %s", tag);
    http_writeln(c, line);
}

// "?after=N": no new frame since N answers 204 at once; an "If-None-Match:"
// naming the frame's tag answers 304. The bytes are the picture the main
// thread encoded once for every reader; nothing is encoded here.
void frame(HttpContext *c, const char *query)
{
    unsigned long after = 0;
    if (query) std::sscanf(query, "after=%lu", &after);
    NX_RemoteFrame f;
    if (!NX_remoteFrame(&f, kFrameWaitMs)) {
        replyStatus(c, "HTTP/1.0 503 Service Unavailable", "No picture yet.");
        return;
    }
    if (f.number == after) {
        frameHeaders(c, "HTTP/1.0 204 No Content", f);
        http_writeln(c, "");
        return;
    }
    char wanted[128], tag[32];
    ifNoneMatch(c, wanted, sizeof wanted);
    entityTag(f, tag, sizeof tag);
    if (stringcmp(wanted, "*") || (wanted[0] && std::strstr(wanted, tag))) {
        frameHeaders(c, "HTTP/1.0 304 Not Modified", f);
        http_writeln(c, "");
        return;
    }
    frameHeaders(c, "HTTP/1.0 200 OK", f);
    http_writeln(c, "Content-Type: image/png");
    http_writeContentLength(c, static_cast<long>(f.png->size()));
    http_writeln(c, "");
    if (c->method != HTTP_METHOD_HEAD) http_writeBytes(c, f.png->data(), static_cast<int>(f.png->size()));
}

// The form body of a POST, at most kBodySize - 1 bytes.
void readBody(HttpContext *c, char *body)
{
    int n = 0;
    long limit = c->contentLength < 0 ? 0 : c->contentLength;
    for (int ch; n < kBodySize - 1 && n < limit && (ch = http_getCharacter(c)) >= 0; n++)
        body[n] = static_cast<char>(ch);
    body[n] = '\0';
}

// The value of NAME in a form body, percent-decoded; false when missing.
bool field(const char *body, const char *name, char *dst, size_t size)
{
    size_t n = std::strlen(name);
    for (const char *p = body; p && *p; p = std::strchr(p, '&'), p = p ? p + 1 : nullptr) {
        if (std::strncmp(p, name, n) != 0 || p[n] != '=') continue;
        const char *value = p + n + 1;
        size_t length = std::strcspn(value, "&");
        if (length >= size) return false;
        std::memcpy(dst, value, length);
        dst[length] = '\0';
        return http_percentDecode(dst) != 0;
    }
    return false;
}

bool intField(const char *body, const char *name, int min, int max, int *value)
{
    char text[16];
    return field(body, name, text, sizeof text) && str_parseInt(text, value) && *value >= min && *value <= max;
}

int press(HttpContext *c)
{
    char body[kBodySize];
    readBody(c, body);
    int x = 0, y = 0, down = 0;
    if (!intField(body, "x", -100000, 100000, &x) || !intField(body, "y", -100000, 100000, &y) ||
        !intField(body, "down", 0, 1, &down))
        return 0;
    if (NX_remotePostButton(x, y, down)) Done(c);
    else replyStatus(c, "HTTP/1.0 503 Service Unavailable", "Busy.");
    return 1;
}

int keyPress(HttpContext *c)
{
    char body[kBodySize];
    readBody(c, body);
    char name[32];
    int down = 0;
    if (!field(body, "key", name, sizeof name) || !intField(body, "down", 0, 1, &down)) return 0;
    int key = RV_keyOf(name);
    if (key == 0) {
        Done(c); // keys the panel does not know are dropped
        return 1;
    }
    if (NX_remotePostKey(static_cast<GR_KEY>(key), down)) Done(c);
    else replyStatus(c, "HTTP/1.0 503 Service Unavailable", "Busy.");
    return 1;
}

void unsupportedType(HttpContext *c)
{
    static const char kBody[] = "Input is sent as " RV_INPUT_TYPE ".";
    http_writeln(c, "HTTP/1.0 415 Unsupported Media Type");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, sizeof kBody - 1);
    http_writeln(c, "");
    http_writeString(c, kBody);
}

// Presses and keys come only from the view's own page: its content type is
// none a form of another page can send without the browser asking first,
// a page of another server is refused, and an account is always needed.
bool mayOperate(HttpContext *c)
{
    const char *type = c->contentType;
    while (*type == ' ' || *type == '\t') type++;
    if (!prefixicmp(type, RV_INPUT_TYPE)) {
        unsupportedType(c);
        return false;
    }
    if (!AUTH_inForce()) {
        http_replyForbidden(c);
        return false;
    }
    return http_mayChange(c) != 0;
}

} // namespace

int RV_isPath(const char *path) { return stringcmp(path, "/_panel") || prefixcmp(path, "/_panel/"); }

int RV_keyOf(const char *name)
{
    for (const auto &k : kKeys)
        if (stringcmp(name, k.name)) return k.key;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(name);
    if (p[0] >= 0x20 && p[0] < 0x7F && p[1] == '\0') return p[0];
    if (p[0] >= 0xC2 && p[0] < 0xE0 && (p[1] & 0xC0) == 0x80 && p[2] == '\0') return (p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    if (p[0] >= 0xE0 && p[0] < 0xF0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 && p[3] == '\0') {
        int cp = (p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        return cp >= 0x800 && cp < 0xF800 ? cp : 0; // the special keys' range is not a character
    }
    return 0;
}

int RV_handle(HttpContext *c, const char *path)
{
    const char *rest = path + 7; // after "/_panel"
    const char *query = std::strchr(rest, '?');
    char name[32];
    size_t length = query ? static_cast<size_t>(query - rest) : std::strlen(rest);
    if (length >= sizeof name) return 0;
    std::memcpy(name, rest, length);
    name[length] = '\0';
    bool post = c->method == HTTP_METHOD_POST;
    if (!post) {
        // the symbol ended at "?": the query follows up to the next blank
        if (query) query = getValueToken(c, c->value, sizeof c->value, 0);
        if (!http_readVersion(c)) return 0;
    }
    if (pterm.remote_view < RV_SCREEN) return 0;
    if (post && (stringcmp(name, "/press") || stringcmp(name, "/key"))) {
        if (pterm.remote_view < RV_INPUT) return 0;
        if (!mayOperate(c)) return 1;
        return stringcmp(name, "/press") ? press(c) : keyPress(c);
    }
    if (post) return 0;
    // the screen shows what an operator may act on: it needs what input needs
    int screenNeedsLogin = pterm.remote_view >= RV_INPUT;
    if (stringcmp(name, "") || stringcmp(name, "/") || stringcmp(name, "/index.html")) {
        if (AUTH_check(c, screenNeedsLogin)) page(c);
        return 1;
    }
    if (stringcmp(name, "/login")) {
        if (AUTH_check(c, 1)) page(c);
        return 1;
    }
    if (stringcmp(name, "/frame.png")) {
        if (AUTH_check(c, screenNeedsLogin)) frame(c, query);
        return 1;
    }
    return 0;
}
