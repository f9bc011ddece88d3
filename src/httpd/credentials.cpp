// Optional credentials of the embedded server. Owns the accounts and the
// read-protection flag (filled once by the server thread at its start, read
// only afterwards) and the throttle of wrong credentials per client address
// (under its own lock). Passwords are never written anywhere.
#include "httpd/credentials.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "httpd/http_request.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/str_util.h"

namespace {

struct Credentials {
    bool enabled;
    bool readsProtected;
    int count;
    char accounts[AUTH_MAX_ACCOUNTS][AUTH_TEXT_SIZE];
};

Credentials credentials;

// Wrong credentials of one client address: after AUTH_FREE_FAILURES the
// client waits, 1 s and twice as long after every further failure, at most
// 60 s; a right answer or a quiet AUTH_BURST_END_MS ends the burst.
struct Throttle {
    char address[64];
    int failures;
    long delayMs;
    long untilMs;
    long lastFailureMs;
    bool logged;
};

constexpr int kFreeFailures = 5;
constexpr long kFirstDelayMs = 1000;
constexpr long kMaxDelayMs = 60000;
constexpr long kBurstEndMs = 600000;

std::mutex throttleLock;
Throttle throttles[AUTH_THROTTLE_CLIENTS];

long nowMs()
{
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The entry of an address; with create, a new one in the place of the
// entry that failed longest ago.
Throttle *throttleOf(const char *address, bool create)
{
    Throttle *oldest = &throttles[0];
    for (Throttle &t : throttles) {
        if (t.failures > 0 && stringcmp(t.address, address)) return &t;
        if (t.failures == 0 || (oldest->failures > 0 && t.lastFailureMs < oldest->lastFailureMs)) oldest = &t;
    }
    if (!create) return nullptr;
    *oldest = Throttle{};
    safe_strncpy(oldest->address, address, sizeof oldest->address);
    return oldest;
}

// Milliseconds the address still has to wait (0: none).
long waitLeft(const char *address)
{
    std::lock_guard<std::mutex> hold(throttleLock);
    Throttle *t = throttleOf(address, false);
    long left = t ? t->untilMs - nowMs() : 0;
    return left > 0 ? left : 0;
}

void recordFailure(const char *address)
{
    std::lock_guard<std::mutex> hold(throttleLock);
    long now = nowMs();
    Throttle *t = throttleOf(address, true);
    if (t->failures > 0 && now - t->lastFailureMs > kBurstEndMs) {
        *t = Throttle{};
        safe_strncpy(t->address, address, sizeof t->address);
    }
    t->lastFailureMs = now;
    if (++t->failures < kFreeFailures) return;
    t->delayMs = t->delayMs ? t->delayMs * 2 : kFirstDelayMs;
    if (t->delayMs > kMaxDelayMs) t->delayMs = kMaxDelayMs;
    t->untilMs = now + t->delayMs;
    if (t->logged) return;
    t->logged = true;
    log_append(0, "Embedded server: wrong credentials from \"%s\" again and again; answers slowed down\n",
               address[0] ? address : "an unknown address");
}

void recordSuccess(const char *address)
{
    std::lock_guard<std::mutex> hold(throttleLock);
    if (Throttle *t = throttleOf(address, false)) *t = Throttle{};
}

int base64Value(int ch)
{
    if (ch >= 'A' && ch <= 'Z') return ch - 'A';
    if (ch >= 'a' && ch <= 'z') return ch - 'a' + 26;
    if (ch >= '0' && ch <= '9') return ch - '0' + 52;
    if (ch == '+') return 62;
    if (ch == '/') return 63;
    return -1;
}

// Decodes base64 into dst (size bytes with the NUL); false when malformed or
// too long.
bool decodeBase64(const char *text, char *dst, size_t size)
{
    size_t n = 0;
    unsigned bits = 0;
    int held = 0;
    for (; *text && *text != '='; text++) {
        int v = base64Value(static_cast<unsigned char>(*text));
        if (v < 0) return false;
        bits = (bits << 6) | static_cast<unsigned>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            if (n + 1 >= size) return false;
            dst[n++] = static_cast<char>((bits >> held) & 0xFF);
        }
    }
    dst[n] = '\0';
    return std::strlen(dst) == n;
}

// Compares without stopping at the first difference.
bool sameText(const char *a, const char *b)
{
    size_t la = std::strlen(a), lb = std::strlen(b);
    unsigned diff = la != lb;
    for (size_t i = 0; i < la && i < lb; i++) diff |= static_cast<unsigned>(a[i] ^ b[i]);
    return diff == 0;
}

bool accepted(const char *authorization)
{
    if (!prefixicmp(authorization, "Basic ")) return false;
    const char *code = authorization + 6;
    while (*code == ' ') code++;
    char given[AUTH_TEXT_SIZE];
    if (!decodeBase64(code, given, sizeof given)) return false;
    bool match = false;
    for (int i = 0; i < credentials.count; i++) match |= sameText(given, credentials.accounts[i]);
    return match;
}

void readLine(char *line, int number)
{
    line[std::strcspn(line, "\r\n")] = '\0';
    str_trim(line);
    if (!line[0] || line[0] == '#') return;
    if (stringicmp(line, "reads=protected")) {
        credentials.readsProtected = true;
        return;
    }
    char *colon = std::strchr(line, ':');
    if (!colon || colon == line || std::strlen(line) >= AUTH_TEXT_SIZE || credentials.count == AUTH_MAX_ACCOUNTS) {
        log_append_int(0, AUTH_FILE_NAME " line %ld is no account NAME:PASSWORD (or one too many); ignored\n", number);
        return;
    }
    safe_strncpy(credentials.accounts[credentials.count++], line, AUTH_TEXT_SIZE);
}

void unauthorized(HttpContext *c)
{
    static const char kBody[] = "Unauthorized.";
    http_writeln(c, "HTTP/1.0 401 Unauthorized");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    http_writeln(c, "WWW-Authenticate: Basic realm=\"Panterm\"");
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, sizeof kBody - 1);
    http_writeln(c, "");
    http_writeString(c, kBody);
}

void tooManyTries(HttpContext *c, long waitMs)
{
    static const char kBody[] = "Too many wrong credentials; try again later.";
    char line[48];
    http_writeln(c, "HTTP/1.0 429 Too Many Requests");
    c->noCache = 1;
    http_writeCommonHTTPHeaders(c);
    std::snprintf(line, sizeof line, "Retry-After: %ld", (waitMs + 999) / 1000);
    http_writeln(c, line);
    http_writeln(c, "Content-Type: text/plain");
    http_writeContentLength(c, sizeof kBody - 1);
    http_writeln(c, "");
    http_writeString(c, kBody);
}

} // namespace

int AUTH_load()
{
    credentials = Credentials{};
    FILE *f = APP_FOPEN(AUTH_FILE_NAME, "r");
    if (!f) return 0;
    credentials.enabled = true;
    char line[512];
    int number = 0;
    while (std::fgets(line, sizeof line, f)) readLine(line, ++number);
    std::fclose(f);
    log_append_int(0, "Embedded server: " AUTH_FILE_NAME " has %ld account(s); writes need credentials\n",
                   credentials.count);
    if (credentials.readsProtected) log_append(0, "Embedded server: reads need credentials too\n", nullptr);
    return 1;
}

int AUTH_check(HttpContext *c, int write)
{
    if (!credentials.enabled || (!write && !credentials.readsProtected)) return 1;
    if (long left = waitLeft(c->clientAddress)) {
        tooManyTries(c, left);
        return 0;
    }
    if (accepted(c->authorization)) {
        recordSuccess(c->clientAddress);
        return 1;
    }
    if (c->authorization[0]) recordFailure(c->clientAddress);
    unauthorized(c);
    return 0;
}

int AUTH_inForce() { return credentials.enabled ? 1 : 0; }

void AUTH_reset()
{
    credentials = Credentials{};
    std::lock_guard<std::mutex> hold(throttleLock);
    for (Throttle &t : throttles) t = Throttle{};
}
