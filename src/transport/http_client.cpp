// HTTP client to the target. Owns the relay buffers and the cached relay
// connection, the socket and file slots, the target address, the remote status
// and the portal cookie.
#include "transport/http_client.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "runtime/network.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

namespace {

constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr uint32_t kIdleTicks = 1000;     // 10 s in 10 ms ticks
constexpr int kEmptyReceiveLimit = 12;    // interrupted receives before giving up
constexpr int kStaleReconnectLimit = 2;   // reconnects after a stale kept-alive connection
constexpr int kHeaderReadAttempts = 4;    // interrupted receives per header read
constexpr int kDownloadRetries = 12;
constexpr int kDownloadHeaderSize = 1024;
constexpr int kSlotOutputLimit = 65534;
constexpr int kBeckhoffTarget = 103;

struct Address {
    uint32_t ip;
    int port;
};

struct CachedConnection {
    Address target;
    int sock;
    uint32_t lastUse;
};

struct SocketSlot {
    uint16_t inUse;
    Address target;
    int sock;
};

struct FileSlot {
    uint16_t inUse;
    uint16_t counted; // downloaded by this open, so it counts as an open remote file
    int size;
    int ramHandle;
};

char BufferOutRly[SRVR_BUFFER_SIZE];
char BufferInRly[SRVR_BUFFER_SIZE];
char slotOutput[SRVR_BUFFER_SIZE];
int slotOutputLength;
int slotOutputOwner;

CachedConnection CD = {{0, 0}, -1, 0};
SocketSlot shandles[SRVR_SOCKET_SLOTS];
FileSlot fhandles[SRVR_FILE_SLOTS];
bool slotsReady;

char remoteIpAddress[SRVR_ADDRESS_SIZE];
char wwwHostName[SRVR_HOST_NAME_SIZE];
char remotePath[SRVR_PATH_SIZE];
Address lastResolved;
int useRemoteFileServer;
int useRemoteDataServer;
int isKeepAliveEnabled;
int timeoutMs = SRVR_DEFAULT_TIMEOUT_MS;
unsigned connectCount;

int nOpenFile;
char lastDestFileName[260];
char portalCookie[SRVR_COOKIE_LENGTH + 1];
char connectionMessage[128];
const char *lastDataPointer;

std::atomic_flag relayBusy = ATOMIC_FLAG_INIT;

void sleepMs(int ms)
{
    if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000u);
}

// Wait before the n-th retry (1-based): none for the first 3, then 10 ms,
// 100 ms and 1000 ms for three retries each.
void waitBeforeRetry(int n)
{
    if (n <= 3) return;
    sleepMs(n <= 6 ? 10 : n <= 9 ? 100 : 1000);
}

void dottedAddress(uint32_t ip, char *dst, size_t size)
{
    std::snprintf(dst, size, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255u, (ip >> 8) & 255u, ip & 255u);
}

// ---- request texts ----------------------------------------------------------

struct TextBuffer {
    char *data;
    size_t length;
    size_t capacity;
    bool overflow;
};

void append(TextBuffer &b, const char *text, size_t n)
{
    if (b.overflow || n >= b.capacity - b.length) {
        b.overflow = true;
        return;
    }
    std::memcpy(b.data + b.length, text, n);
    b.length += n;
    b.data[b.length] = '\0';
}

void append(TextBuffer &b, const char *text) { append(b, text, std::strlen(text)); }

// How the variable parts of a request are written.
enum class Coding {
    Plain,    // as given (control characters escaped)
    Page,     // URL_encode: the page's choice
    Order,    // order string: like Page, but "+" separates names and stays
};

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool escapes(unsigned char c, Coding coding, bool special)
{
    if (isControl(c)) return true;
    if (coding == Coding::Plain || !special) return false;
    return c == '%' || c == ' ' || c == '/' || c == '\\' || c == '=' || (c == '+' && coding == Coding::Page);
}

void appendCoded(TextBuffer &b, const char *text, Coding coding)
{
    static const char digits[] = "0123456789abcdef";
    bool special = coding != Coding::Plain && SRVR_isSpecialCharEncoding();
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++) {
        if (escapes(*p, coding, special)) {
            char code[3] = {'%', digits[*p >> 4], digits[*p & 15]};
            append(b, code, 3);
        } else if (*p == ' ' && coding != Coding::Plain) {
            append(b, "+", 1);
        } else {
            append(b, reinterpret_cast<const char *>(p), 1);
        }
    }
}

void appendCommonHttpHeadersKeepAlive(TextBuffer &b, bool keepAlive)
{
    append(b, "User-Agent: Tarselkit/1.0 (Brasko-Werke GmbH)\r\n");
    if (portalCookie[0]) {
        append(b, "Cookie: Session-ID=");
        append(b, portalCookie);
        append(b, "\r\n");
    }
    if (wwwHostName[0]) {
        append(b, "Host: ");
        append(b, wwwHostName);
        append(b, "\r\n");
    }
    if (keepAlive) append(b, "Connection: keep-alive\r\n");
}

// ---- reply headers ----------------------------------------------------------

// Finds the end of the header in text: the first "\n\n", "\r\n\r\n" or
// "\r\r". Answers 1 with *bodyStart and *status set when a header is complete;
// a status of 400 or more counts as complete at once, "100 Continue" never.
int getPointerToData(const char *text, int length, int *bodyStart, int *status)
{
    int i = 0, found = -1;
    for (; i < length && text[i]; i++) {
        if (text[i] == '\n' && i + 1 < length && text[i + 1] == '\n') {
            found = i + 2;
            break;
        }
        if (text[i] == '\r' && i + 3 < length && text[i + 1] == '\n' && text[i + 2] == '\r' && text[i + 3] == '\n') {
            found = i + 4;
            break;
        }
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\r') {
            found = i + 2;
            break;
        }
    }
    int minor = 0, code = 0;
    bool statusLine = length >= 12 && std::sscanf(text, "HTTP/1.%d %d", &minor, &code) == 2;
    if (statusLine) *status = code;
    if (statusLine && code == 100) return 0;
    if (statusLine && code >= 400 && found < 0) found = i;
    if (found < 0) return 0;
    *bodyStart = found;
    return 1;
}

// Content length announced in header[0 .. headerLength): -1 when there is no
// usable one (missing, no line feed after it, negative or not a number).
long headerContentLength(const char *header, int headerLength)
{
    static const char key[] = "content-length:";
    const int keyLength = sizeof key - 1;
    for (int i = 0; i + keyLength <= headerLength; i++) {
        if (!stringnicmp(header + i, key, keyLength)) continue;
        int p = i + keyLength;
        while (p < headerLength && header[p] == ' ') p++;
        if (!std::memchr(header + p, '\n', headerLength - p)) return -1;
        if (p >= headerLength || header[p] < '0' || header[p] > '9') return -1;
        long value = 0;
        for (; p < headerLength && header[p] >= '0' && header[p] <= '9'; p++)
            value = value > 100000000L ? 1000000000L : value * 10 + (header[p] - '0');
        return value;
    }
    return -1;
}

// ---- connections -------------------------------------------------------------

void closeSocket(int sock)
{
    if (sock < 0) return;
    shutdown(sock, SHUT_RD);
    shutdown(sock, SHUT_WR);
    shutdown(sock, SHUT_RDWR);
    close(sock);
}

void closeCached()
{
    closeSocket(CD.sock);
    CD.sock = -1;
}

// Sets an option; a refusal is either stored as the connection message or
// reported, as the caller says.
void setOption(int sock, int name, const void *value, socklen_t length, const char *text, bool report)
{
    if (setsockopt(sock, SOL_SOCKET, name, value, length) == 0 || !text) return;
    if (report) err_append(0, text, nullptr);
    else safe_strncpy(connectionMessage, text, sizeof connectionMessage);
}

// Opens a TCP connection; -1 with the connection message set on failure.
int openTcp(Address target, bool relay)
{
    connectionMessage[0] = '\0';
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) {
        err_append(0, relay ? "Relay URL: socket creation failed !\n" : "OpenSocket: socket creation failed !\n",
                   nullptr);
        safe_strncpy(connectionMessage, "Socket: Unable to connect !", sizeof connectionMessage);
        return -1;
    }
    linger lingerOn = {1, 10};
    int on = 1, bufferSize = 65535;
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setOption(sock, SO_LINGER, &lingerOn, sizeof lingerOn, "Socket: Unable to set SO_LINGER\n", false);
    setOption(sock, SO_KEEPALIVE, &on, sizeof on,
              relay ? "Relay URL: Unable to set SO_KEEPALIVE\n" : "Socket: Unable to set SO_KEEPALIVE\n", !relay);
    setOption(sock, SO_SNDBUF, &bufferSize, sizeof bufferSize, relay ? nullptr : "Socket: Unable to set SO_SNDBUF !\n",
              true);
    setOption(sock, SO_RCVTIMEO, &limit, sizeof limit,
              relay ? "Failed to set socket option SO_RCVTIMEO\n" : "Socket: Unable to set SO_RCVTIMEO\n", true);
    setOption(sock, SO_SNDTIMEO, &limit, sizeof limit,
              relay ? "Failed to set socket option SO_SNDTIMEO\n" : "Socket: Unable to set SO_SNDTIMEO\n", true);
    if (target.ip == 0) {
        safe_strncpy(connectionMessage, "Socket: Unable to connect !", sizeof connectionMessage);
        close(sock);
        return -1;
    }
    sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(target.port));
    peer.sin_addr.s_addr = htonl(target.ip);
    if (connect(sock, reinterpret_cast<sockaddr *>(&peer), sizeof peer) < 0) {
        char dotted[20];
        dottedAddress(target.ip, dotted, sizeof dotted);
        std::snprintf(connectionMessage, sizeof connectionMessage, "Connection to host \"%s\" failed !", dotted);
        close(sock);
        return -1;
    }
    connectCount++;
    return sock;
}

bool sendAll(int sock, const char *data, size_t length)
{
    while (length > 0) {
        ssize_t n = send(sock, data, length, kSendFlags);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// One receive: bytes, 0 at the end of the stream, -1 on a time-out or an
// error, -2 when interrupted.
ssize_t receiveSome(int sock, char *buffer, size_t length)
{
    ssize_t n = recv(sock, buffer, length, kSendFlags);
    if (n < 0 && errno == EINTR) return -2;
    return n < 0 ? -1 : n;
}

bool resolveText(const char *hostText, Address *target)
{
    uint32_t ip = 0;
    int port = 80;
    if (!SRV_resolveHostName(hostText, &ip, &port)) return false;
    *target = {ip, port};
    lastResolved = *target;
    return true;
}

// ---- relay request -------------------------------------------------------------

bool usesBody(int command) { return command != RLY_CGI_CALL; }
bool readsToEnd(int command) { return command == RLY_TBOX_WRITE || command == RLY_RAW; }

// Builds the request for a relay command into BufferOutRly. Answers false for
// an unknown command (text in buffer) or a request that does not fit.
bool buildRelayRequest(int command, const char *name, const char *input, bool keepAlive, char *buffer, int size)
{
    TextBuffer b = {BufferOutRly, 0, sizeof BufferOutRly, false};
    BufferOutRly[0] = '\0';
    const char *path = HK_hooks()->documentBase();
    append(b, "GET /");
    if ((command == RLY_ALARM || command == RLY_TREND) && pterm.target_type == kBeckhoffTarget)
        append(b, "trendingAlarming.dll?");
    else
        appendCoded(b, path ? path : "", Coding::Plain);
    const char *safeName = name ? name : "";
    switch (command) {
    case RLY_READ_VALUE:
        append(b, "cgi-bin/readVal.exe?");
        appendCoded(b, HK_hooks()->resolvePointName(safeName), Coding::Page);
        break;
    case RLY_WRITE_VALUE:
        append(b, "cgi-bin/writeVal.exe?");
        appendCoded(b, HK_hooks()->resolvePointName(safeName), Coding::Page);
        append(b, "+");
        appendCoded(b, input, Coding::Plain);
        break;
    case RLY_READ_FILE:
        append(b, "cgi-bin/ReadFile.exe?");
        appendCoded(b, safeName, Coding::Page);
        break;
    case RLY_ORDER_VALUES:
        append(b, "cgi-bin/OrderValues.exe?");
        appendCoded(b, safeName, Coding::Order);
        break;
    case RLY_ALARM:
        append(b, "cgi-bin/alarm.exe?");
        appendCoded(b, safeName, Coding::Plain);
        break;
    case RLY_TREND:
        append(b, "cgi-bin/trend.exe?");
        appendCoded(b, safeName, Coding::Plain);
        break;
    case RLY_CGI_CALL:
        appendCoded(b, input, Coding::Plain);
        break;
    case RLY_CGI_READ:
    case RLY_RAW:
        appendCoded(b, safeName, Coding::Plain);
        break;
    case RLY_TBOX_WRITE:
        append(b, "TBoxWriteReturn.html?");
        appendCoded(b, HK_hooks()->resolvePointName(safeName), Coding::Plain);
        append(b, "=");
        appendCoded(b, input, Coding::Plain);
        append(b, "&%24=");
        break;
    default:
        safe_strncpy(buffer, "Relay URL: Undefined command !\n", static_cast<size_t>(size));
        err_append(0, "%s", buffer);
        return false;
    }
    append(b, " HTTP/1.1\r\n");
    appendCommonHttpHeadersKeepAlive(b, keepAlive);
    append(b, "\r\n");
    if (b.overflow) {
        safe_strncpy(buffer, "Relay URL: request too long !", static_cast<size_t>(size));
        err_append(0, "%s\n", buffer);
        return false;
    }
    return true;
}

// The relay connection of one request: the cached one when it may be used,
// else a new one (kept as the cached one with keep-alive).
struct RelayLink {
    Address target;
    bool keepAlive;
    int sock;
    bool viaCached;
};

int relayConnect(RelayLink &link)
{
    link.sock = openTcp(link.target, true);
    link.viaCached = false;
    if (link.sock >= 0 && link.keepAlive) CD = {link.target, link.sock, SYS_get10Milliseconds()};
    return link.sock;
}

void relayClose(RelayLink &link)
{
    if (link.sock >= 0 && link.sock == CD.sock) CD.sock = -1;
    closeSocket(link.sock);
    link.sock = -1;
}

void takeCachedConnection(RelayLink &link)
{
    link.sock = -1;
    link.viaCached = false;
    if (!link.keepAlive) {
        closeCached();
        return;
    }
    if (CD.sock < 0) return;
    if (CD.target.ip != link.target.ip || CD.target.port != link.target.port) {
        closeCached();
        return;
    }
    uint32_t now = SYS_get10Milliseconds();
    if (now - CD.lastUse >= kIdleTicks) {
        closeCached();
        return;
    }
    CD.lastUse = now;
    link.sock = CD.sock;
    link.viaCached = true;
}

bool reportConnectFailure(char *buffer, int size)
{
    safe_strncpy(buffer, connectionMessage, static_cast<size_t>(size));
    err_append(0, "%s\n", connectionMessage);
    return false;
}

bool reportSendFailure(RelayLink &link, char *buffer, int size)
{
    std::printf("Relay URL: send failed ");
    std::fflush(stdout);
    safe_strncpy(buffer, "Relay URL: send failed !", static_cast<size_t>(size));
    err_append(0, "%s\n", buffer);
    relayClose(link);
    return false;
}

// Sends the request; on failure connects once more and sends again.
bool relaySend(RelayLink &link, size_t length, char *buffer, int size)
{
    if (sendAll(link.sock, BufferOutRly, length)) return true;
    err_append(0, "send() failed, try again...\n", nullptr);
    relayClose(link);
    if (relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    if (sendAll(link.sock, BufferOutRly, length)) return true;
    return reportSendFailure(link, buffer, size);
}

// A kept-alive connection gave nothing: connect again and send again.
bool relayResend(RelayLink &link, size_t length, char *buffer, int size)
{
    relayClose(link);
    if (relayConnect(link) < 0) {
        err_append(0, "connect() failed, try connect() again...\n", nullptr);
        if (relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    }
    if (sendAll(link.sock, BufferOutRly, length)) return true;
    err_append(0, "send() failed, try again...\n", nullptr);
    if (!sendAll(link.sock, BufferOutRly, length)) return reportSendFailure(link, buffer, size);
    err_append(0, "2nd send() done.\n", nullptr);
    return true;
}

struct ReplyState {
    int received;
    int status;
    long expected; // -1 while undetermined
    bool unlimited;
};

// Notes what a receive brought; answers false when the reply is complete
// enough to stop receiving.
bool takeReceived(ReplyState &r, int command)
{
    if (r.status == 0 && r.received >= 12) {
        int minor = 0;
        if (std::sscanf(BufferInRly, "HTTP/1.%d %d", &minor, &r.status) != 2) r.status = -1;
    }
    if (readsToEnd(command) || r.unlimited || r.expected >= 0) return true;
    const char *end = std::strstr(BufferInRly, "\r\n\r\n");
    int endLength = 4;
    if (!end) {
        end = std::strstr(BufferInRly, "\n\n");
        endLength = 2;
    }
    if (end) {
        int headerLength = static_cast<int>(end - BufferInRly) + endLength;
        long contentLength = headerContentLength(BufferInRly, headerLength);
        if (contentLength < 0) r.unlimited = true;
        else r.expected = headerLength + contentLength;
        return true;
    }
    return r.status == 200 || r.received < 12;
}

void reportShortReply(const ReplyState &r)
{
    err_append_int(0, "recv() quit with %d bytes in buffer\n", r.received);
    err_append_int(0, "  instead of %d bytes\n", r.expected);
    int bodyStart = 0, status = 0;
    if (getPointerToData(BufferInRly, r.received, &bodyStart, &status))
        err_append_int(0, "  Content-Length: %d\n", r.expected - bodyStart);
}

enum class Receive { Done, Failed };

Receive relayReceive(RelayLink &link, int command, size_t requestLength, ReplyState &r, char *buffer, int size)
{
    int interrupted = 0, reconnects = 0;
    r = {0, 0, -1, false};
    const int room = SRVR_BUFFER_SIZE - 1;
    while (r.received < room && (r.expected < 0 || r.received < r.expected)) {
        ssize_t n = receiveSome(link.sock, BufferInRly + r.received, static_cast<size_t>(room - r.received));
        if (n > 0) {
            r.received += static_cast<int>(n);
            BufferInRly[r.received] = '\0';
            if (!takeReceived(r, command)) break;
            continue;
        }
        if (n == -2 && ++interrupted <= kEmptyReceiveLimit) {
            waitBeforeRetry(interrupted);
            continue;
        }
        if (r.received > 0) {
            if (r.expected >= 0 && !readsToEnd(command)) reportShortReply(r);
            break;
        }
        if (link.viaCached && reconnects++ < kStaleReconnectLimit) {
            if (!relayResend(link, requestLength, buffer, size)) return Receive::Failed;
            link.viaCached = link.keepAlive;
            interrupted = 0;
            continue;
        }
        safe_strncpy(buffer, "Relay URL: E! recv failed !", static_cast<size_t>(size));
        err_append(0, "%s\n", buffer);
        relayClose(link);
        return Receive::Failed;
    }
    BufferInRly[r.received] = '\0';
    return Receive::Done;
}

} // namespace

// ---- relay ---------------------------------------------------------------------

int RelayURL_synch(const char *address, int command, const char *name, char *buffer, int size)
{
    if (!buffer || size < 1) return 0;
    SRVR_Initialize();
    char input[SRVR_PATH_SIZE * 4] = "";
    if (command == RLY_WRITE_VALUE || command == RLY_CGI_CALL || command == RLY_TBOX_WRITE)
        safe_strncpy(input, buffer, sizeof input);
    BufferOutRly[0] = '\0';
    BufferInRly[0] = '\0';
    buffer[0] = '\0';
    RelayLink link = {lastResolved, isKeepAliveEnabled != 0, -1, false};
    if (address && !resolveText(address, &link.target)) link.target = {0, 0};
    if (!buildRelayRequest(command, name, input, link.keepAlive, buffer, size)) return 0;
    size_t requestLength = std::strlen(BufferOutRly);

    takeCachedConnection(link);
    if (link.sock < 0 && relayConnect(link) < 0 && relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    if (pterm.debug_level >= 2) SRV_printURL(link.target.ip, link.target.port, BufferOutRly);
    if (!relaySend(link, requestLength, buffer, size)) return 0;

    ReplyState reply;
    if (relayReceive(link, command, requestLength, reply, buffer, size) == Receive::Failed) return 0;
    bool cut = reply.received >= SRVR_BUFFER_SIZE - 1 && (reply.expected < 0 || reply.received < reply.expected);
    if (cut) log_append_int(1, "Relay URL: reply cut at %d bytes\n", reply.received);

    int bodyStart = 0, status = 0;
    if (!getPointerToData(BufferInRly, reply.received, &bodyStart, &status)) {
        safe_strncpy(buffer, "Relay URL: no reply header !", static_cast<size_t>(size));
        err_append(0, "%s\n", buffer);
        relayClose(link);
        return 0;
    }
    lastDataPointer = BufferInRly + bodyStart;
    if (usesBody(command)) safe_strncpy(buffer, BufferInRly + bodyStart, static_cast<size_t>(size));
    bool complete = reply.expected >= 0 && reply.received == reply.expected;
    if (!link.keepAlive || !complete) relayClose(link);
    else CD.lastUse = SYS_get10Milliseconds();
    return reply.status == 200 ? 1 : 0;
}

int RelayURL(const char *address, int command, const char *name, char *buffer, int size)
{
    while (relayBusy.test_and_set(std::memory_order_acquire)) sleepMs(10);
    int result = RelayURL_synch(address, command, name, buffer, size);
    relayBusy.clear(std::memory_order_release);
    return result;
}

const char *SRVR_getPointerToLastData() { return lastDataPointer; }

int SRV_getContentLength(const char *header)
{
    if (!header) return 0;
    const char *p = std::strstr(header, "Content-Length:");
    if (!p || !std::strchr(p, '\n')) return 0;
    long value = headerContentLength(p, static_cast<int>(std::strlen(p)));
    return value < 0 ? 0 : static_cast<int>(value);
}

// ---- socket slots ----------------------------------------------------------------

void SRVR_Initialize()
{
    if (slotsReady) return;
    for (SocketSlot &s : shandles) s = {0, {0, 0}, -1};
    for (FileSlot &f : fhandles) f = {0, 0, 0, -1};
    slotOutputLength = 0;
    slotOutputOwner = 0;
    slotsReady = true;
}

namespace {

SocketSlot *openSlot(int slot)
{
    SRVR_Initialize();
    if (slot < 1 || slot >= SRVR_SOCKET_SLOTS || !shandles[slot].inUse || shandles[slot].sock < 0) return nullptr;
    return &shandles[slot];
}

void dropSlotConnection(SocketSlot &s)
{
    closeSocket(s.sock);
    s.sock = -1;
}

bool hasControlCharacter(const char *text)
{
    for (; text && *text; text++)
        if (isControl(static_cast<unsigned char>(*text))) return true;
    return false;
}

// "GET /" or "POST /", path and file, the protocol, the common header lines.
bool buildSlotHead(TextBuffer &b, const SocketSlot &s, const char *method, const char *path, const char *file,
                   const char *protocol)
{
    if (hasControlCharacter(path) || hasControlCharacter(file)) return false;
    append(b, method);
    append(b, path ? path : "");
    append(b, file ? file : "");
    append(b, protocol);
    if (pterm.debug_level >= 2) SRV_printURL(s.target.ip, s.target.port, b.data);
    appendCommonHttpHeadersKeepAlive(b, false);
    return !b.overflow;
}

const char *headerClosing(const char *extra, int extraLength)
{
    if (extraLength >= 2 && extra[extraLength - 1] == '\n' &&
        (extra[extraLength - 2] == '\n' ||
         (extraLength >= 4 && extra[extraLength - 2] == '\r' && extra[extraLength - 3] == '\n')))
        return "";
    if (extraLength >= 1 && extra[extraLength - 1] == '\n') return "\r\n";
    return "\r\n\r\n";
}

} // namespace

int SRVR_OpenSocket(const char *hostText)
{
    SRVR_Initialize();
    Address target = lastResolved;
    if (hostText && !resolveText(hostText, &target)) target = {0, 0};
    for (int slot = 1; slot < SRVR_SOCKET_SLOTS; slot++) {
        if (shandles[slot].inUse) continue;
        int sock = openTcp(target, false);
        if (sock < 0) {
            err_append(0, "%s\n", connectionMessage);
            return 0;
        }
        shandles[slot] = {1, target, sock};
        return slot;
    }
    return 0;
}

int SRVR_WriteGetHeader(int slot, const char *path, const char *file, const char *extra, int extraLength)
{
    SocketSlot *s = openSlot(slot);
    if (!s) return 0;
    char head[4096];
    TextBuffer b = {head, 0, sizeof head, false};
    head[0] = '\0';
    if (!buildSlotHead(b, *s, "GET /", path, file, " HTTP/1.0\r\n")) return 0;
    if (!extra || extraLength < 4) {
        append(b, "\r\n");
        return SRVR_WriteBuffer(slot, head, static_cast<int>(b.length)) > 0 ? static_cast<int>(b.length) : 0;
    }
    const char *closing = headerClosing(extra, extraLength);
    int closingLength = static_cast<int>(std::strlen(closing));
    if (SRVR_WriteBuffer(slot, head, static_cast<int>(b.length)) <= 0) return 0;
    if (SRVR_WriteBuffer(slot, extra, extraLength) <= 0) return 0;
    if (closingLength && SRVR_WriteBuffer(slot, closing, closingLength) <= 0) return 0;
    return static_cast<int>(b.length) + extraLength + closingLength;
}

int SRVR_PutPostHeader(int slot, const char *path, const char *file, const char *contentType, int contentLength,
                       const char *extra, int extraLength)
{
    SocketSlot *s = openSlot(slot);
    if (!s) return 0;
    SRVR_Flush(slot);
    char head[4096];
    TextBuffer b = {head, 0, sizeof head, false};
    head[0] = '\0';
    if (!buildSlotHead(b, *s, "POST /", path, file, " HTTP/1.1\r\n")) return 0;
    if (hasControlCharacter(contentType)) return 0;
    char lengthText[16];
    std::snprintf(lengthText, sizeof lengthText, "%i", contentLength);
    append(b, "Content-Type: ");
    append(b, contentType ? contentType : "");
    append(b, "\r\nContent-Length: ");
    append(b, lengthText);
    append(b, "\r\n");
    if (extra && extraLength >= 4) append(b, extra, static_cast<size_t>(extraLength));
    append(b, "\r\n");
    if (b.overflow) return 0;
    return SRVR_PutBuffer(slot, head, static_cast<int>(b.length)) > 0 ? static_cast<int>(b.length) : 0;
}

int SRVR_PutBuffer(int slot, const void *data, int length)
{
    if (!openSlot(slot) || !data || length < 0) return 0;
    if (slotOutputLength > 0 && slotOutputOwner != slot) SRVR_Flush(slotOutputOwner);
    if (slotOutputLength + length > kSlotOutputLimit) {
        if (slotOutputLength > 0 && SRVR_Flush(slot) <= 0) return 0;
        if (length > kSlotOutputLimit) return SRVR_WriteBuffer(slot, data, length);
    }
    std::memcpy(slotOutput + slotOutputLength, data, static_cast<size_t>(length));
    slotOutputLength += length;
    slotOutputOwner = slot;
    return length;
}

int SRVR_Flush(int slot)
{
    if (slotOutputOwner != slot || slotOutputLength == 0) return 0;
    int length = slotOutputLength;
    slotOutputLength = 0;
    return SRVR_WriteBuffer(slot, slotOutput, length);
}

int SRVR_WriteBuffer(int slot, const void *data, int length)
{
    SocketSlot *s = openSlot(slot);
    if (!s || !data || length <= 0) return 0;
    if (sendAll(s->sock, static_cast<const char *>(data), static_cast<size_t>(length))) return length;
    err_append(0, "SRVR_WriteBuffer: send failed !\n", nullptr);
    dropSlotConnection(*s);
    return -1;
}

int SRVR_ReadBuffer(int slot, void *buffer, int length)
{
    SocketSlot *s = openSlot(slot);
    if (!s || !buffer || length <= 0) return 0;
    for (int attempt = 0;; attempt++) {
        ssize_t n = receiveSome(s->sock, static_cast<char *>(buffer), static_cast<size_t>(length));
        if (n >= 0) return static_cast<int>(n);
        if (n == -2 && attempt < kHeaderReadAttempts) continue;
        dropSlotConnection(*s);
        return -1;
    }
}

int SRVR_ReadHttpHeader(int slot, char *buffer, int size, int *bodyStart, int *bodyLength, int *status)
{
    SocketSlot *s = openSlot(slot);
    if (!s || !buffer || size < 2 || !bodyStart || !bodyLength || !status) return -1;
    int received = 0, interrupted = 0;
    buffer[0] = '\0';
    *status = 0;
    for (;;) {
        if (received >= size - 1) return -1;
        ssize_t n = receiveSome(s->sock, buffer + received, static_cast<size_t>(size - 1 - received));
        if (n == -2) {
            if (++interrupted >= kHeaderReadAttempts) return 0;
            continue;
        }
        if (n <= 0) {
            if (n < 0) dropSlotConnection(*s);
            return -1;
        }
        received += static_cast<int>(n);
        buffer[received] = '\0';
        int start = 0, code = 0;
        if (getPointerToData(buffer, received, &start, &code)) {
            *status = code;
            *bodyStart = start;
            *bodyLength = received - start;
            return received;
        }
        int minor = 0;
        if (received >= 12 && std::sscanf(buffer, "HTTP/1.%d %d", &minor, &code) == 2 && code == 100) {
            const char *end = std::strstr(buffer, "\r\n\r\n");
            int endLength = 4;
            if (!end) {
                end = std::strstr(buffer, "\n\n");
                endLength = 2;
            }
            if (!end) continue;
            int rest = received - static_cast<int>(end - buffer) - endLength;
            std::memmove(buffer, end + endLength, static_cast<size_t>(rest));
            received = rest;
            buffer[received] = '\0';
            if (received > 0 && getPointerToData(buffer, received, &start, &code)) {
                *status = code;
                *bodyStart = start;
                *bodyLength = received - start;
                return received;
            }
        }
    }
}

void SRVR_CloseSocket(int slot)
{
    SRVR_Initialize();
    if (slot < 1 || slot >= SRVR_SOCKET_SLOTS || !shandles[slot].inUse) return;
    if (slotOutputOwner == slot) slotOutputLength = 0;
    dropSlotConnection(shandles[slot]);
    shandles[slot].inUse = 0;
}

void SRVR_destroy() { closeCached(); }

// ---- downloads and remote files -------------------------------------------------

namespace {

int failDownload(int result, int file, const char *destination, int slot)
{
    if (slot) SRVR_CloseSocket(slot);
    if (file >= 0) RA_fileClose(file);
    RA_fileDelete(destination);
    return result;
}

void firstLine(const char *text, char *dst, size_t size)
{
    size_t n = std::strcspn(text, "\r\n");
    if (n >= size) n = size - 1;
    std::memcpy(dst, text, n);
    dst[n] = '\0';
}

// Reads the reply header of a download, retrying as long as the connection
// may still deliver one.
int readDownloadHeader(int slot, char *header, int *bodyStart, int *bodyLength, int *status)
{
    for (int retry = 0;; retry++) {
        int got = SRVR_ReadHttpHeader(slot, header, kDownloadHeaderSize, bodyStart, bodyLength, status);
        if (got != 0 || retry >= kDownloadRetries) return got;
        waitBeforeRetry(retry + 1);
    }
}

int TarselLinkGetFile_Impl(const char *address, const char *documentBase, const char *fileName,
                           const char *destination)
{
    const char *dest = destination && destination[0] ? destination : fileName;
    if (!dest || !dest[0]) return SRVR_GETFILE_NO_TEMP_FILE;
    safe_strncpy(lastDestFileName, dest, sizeof lastDestFileName);
    int file = RA_fileOpen(dest, "wb");
    if (file < 0) {
        err_append(0, "Failed to open temp file in write mode;\n %s\n", dest);
        return SRVR_GETFILE_NO_TEMP_FILE;
    }
    const char *host = address ? address : remoteIpAddress;
    int slot = SRVR_OpenSocket(address);
    if (!slot) {
        err_append(0, "Connection to the host failed !\n %s\n", host);
        return failDownload(SRVR_GETFILE_NO_CONNECTION, file, dest, 0);
    }
    if (SRVR_WriteGetHeader(slot, documentBase, fileName, nullptr, 0) <= 0) {
        err_append(0, "TarselLinkGetFile_Impl: SRVR_WriteGetHeader() Failed !\n %s\n", host);
        return failDownload(SRVR_GETFILE_SEND_FAILED, file, dest, slot);
    }
    char header[kDownloadHeaderSize];
    int bodyStart = 0, bodyLength = 0, status = 0;
    if (readDownloadHeader(slot, header, &bodyStart, &bodyLength, &status) <= 0) {
        err_append(0, "TarselLinkGetFile_Impl: no reply header !\n %s\n", host);
        return failDownload(SRVR_GETFILE_NO_HEADER, file, dest, slot);
    }
    if (status != 200) {
        char line[256];
        firstLine(header, line, sizeof line);
        err_append(0, "%s\n", line);
        return failDownload(status > 0 ? -status : SRVR_GETFILE_NO_HEADER, file, dest, slot);
    }
    long expected = headerContentLength(header, bodyStart);
    long written = 0;
    const char *chunk = header + bodyStart;
    int chunkLength = expected >= 0 && bodyLength > expected ? static_cast<int>(expected) : bodyLength;
    char block[1024];
    for (;;) {
        if (chunkLength > 0) {
            if (RA_fileWrite(chunk, 1, chunkLength, file) != chunkLength)
                return failDownload(SRVR_GETFILE_DISK_FULL, file, dest, slot);
            written += chunkLength;
        }
        if (expected >= 0 && written >= expected) break;
        long want = expected >= 0 && expected - written < static_cast<long>(sizeof block) ? expected - written
                                                                                         : static_cast<long>(sizeof block);
        chunkLength = SRVR_ReadBuffer(slot, block, static_cast<int>(want));
        if (chunkLength <= 0) break;
        chunk = block;
    }
    if (expected >= 0 && written < expected) {
        err_append(0, "TarselLinkGetFile_Impl: transfer incomplete !\n %s\n", fileName);
        return failDownload(SRVR_GETFILE_INCOMPLETE, file, dest, slot);
    }
    SRVR_CloseSocket(slot);
    RA_fileClose(file);
    return 0;
}

FileSlot *openFileSlot(int slot)
{
    SRVR_Initialize();
    if (slot < 1 || slot >= SRVR_FILE_SLOTS || !fhandles[slot].inUse) return nullptr;
    return &fhandles[slot];
}

void forgetOpenFile(bool counted, int keep)
{
    if (!counted) return;
    if (nOpenFile == 1 && !keep) TarselLinkRemoveLastTempFile();
    if (nOpenFile > 0) nOpenFile--;
}

} // namespace

int TarselLinkGetFile(const char *address, const char *documentBase, const char *fileName, const char *destination)
{
    SRVR_Initialize();
    return TarselLinkGetFile_Impl(address, documentBase, fileName, destination);
}

void RLY_fileName(const char *documentBase, const char *fileName, char *dst, size_t size)
{
    if (!dst || size == 0) return;
    char name[1024];
    if (documentBase && documentBase[0])
        std::snprintf(name, sizeof name, "%s.%s.%s", remoteIpAddress, documentBase, fileName ? fileName : "");
    else
        std::snprintf(name, sizeof name, "%s.%s", remoteIpAddress, fileName ? fileName : "");
    size_t length = std::strlen(name);
    safe_strncpy(dst, length >= size ? name + length - (size - 1) : name, size);
}

int SRVR_fileOpen(const char *fileName, const char *mode)
{
    SRVR_Initialize();
    if (!useRemoteFileServer || !mode || mode[0] != 'r' || !fileName || !fileName[0]) return -1;
    int slot = 1;
    while (slot < SRVR_FILE_SLOTS && fhandles[slot].inUse) slot++;
    if (slot >= SRVR_FILE_SLOTS) return -1;
    char temp[RA_NAME_SIZE];
    bool counted = !stringcmp(fileName, "MsgBox.teq");
    if (counted) {
        RLY_fileName(HK_hooks()->documentBase(), fileName, temp, sizeof temp);
        if (TarselLinkGetFile(remoteIpAddress, HK_hooks()->documentBase(), fileName, temp) != 0) return -1;
        nOpenFile++;
    } else {
        safe_strncpy(temp, fileName, sizeof temp);
    }
    int handle = RA_fileOpen(temp, "rb");
    if (handle < 0) {
        forgetOpenFile(counted, 0);
        return -1;
    }
    fhandles[slot] = {1, static_cast<uint16_t>(counted), RA_fileSize(handle), handle};
    return slot;
}

int SRVR_fileClose(int slot, int keep)
{
    FileSlot *f = openFileSlot(slot);
    if (!f) return -1;
    RA_fileClose(f->ramHandle);
    bool counted = f->counted != 0;
    *f = {0, 0, 0, -1};
    forgetOpenFile(counted, keep);
    return 0;
}

int SRVR_fileHandle(int slot)
{
    FileSlot *f = openFileSlot(slot);
    return f ? f->ramHandle : -1;
}

int SRVR_fileSize(int slot)
{
    FileSlot *f = openFileSlot(slot);
    return f ? f->size : -1;
}

void TarselLinkRemoveLastTempFile()
{
    if (lastDestFileName[0]) RA_fileDelete(lastDestFileName);
}

const char *Tarsel_getLastTempFile() { return lastDestFileName; }

// ---- address and status -----------------------------------------------------------

int SRV_resolveHostName(const char *hostText, uint32_t *address, int *port)
{
    if (!hostText || !address || !port) return 0;
    char text[SRVR_HOST_NAME_SIZE];
    host2ip(text, sizeof text, hostText);
    *port = 80;
    if (char *colon = std::strchr(text, ':')) {
        *colon = '\0';
        int number = 0;
        if (!str_parseInt(colon + 1, &number) || number < 0) return 0;
        if (number & 0xFFFF) *port = number & 0xFFFF;
    }
    in_addr parsed = {};
    if (inet_pton(AF_INET, text, &parsed) != 1) return 0;
    *address = ntohl(parsed.s_addr);
    return *address != 0;
}

void SetRemoteHost(const char *hostText)
{
    if (!hostText || hostText[0] == '\0') {
        SetRemoteStatus(0);
        return;
    }
    setHostName(hostText);
    host2ip(remoteIpAddress, sizeof remoteIpAddress, hostText);
    Address target;
    if (!resolveText(remoteIpAddress, &target)) return;
    if (useRemoteDataServer != 0) SetRemoteStatus(useRemoteDataServer);
}

const char *GetRemoteIpAddress() { return remoteIpAddress; }
const char *getHostName() { return wwwHostName[0] ? wwwHostName : nullptr; }

void setHostName(const char *text)
{
    if (!text || std::strlen(text) >= sizeof wwwHostName) wwwHostName[0] = '\0';
    else safe_strncpy(wwwHostName, text, sizeof wwwHostName);
}

void SetRemoteStatus(int mode)
{
    if (mode < 0 || mode > 2) return;
    useRemoteFileServer = mode > 0;
    useRemoteDataServer = mode;
    if (mode != 0 && pterm.remote_mode != 0) {
        useRemoteFileServer = 0;
        if (pterm.remote_mode == 2) useRemoteDataServer = 2;
    }
    HK_hooks()->forceOrder();
    HK_hooks()->scheduleFullRedraw();
}

int GetRemoteStatus() { return useRemoteDataServer; }
int GetRemoteDSStatus() { return useRemoteDataServer; }
int SRVR_isRemoteFileServer() { return useRemoteFileServer; }
void SetRemotePath(const char *text) { safe_strncpy(remotePath, text ? text : "", sizeof remotePath); }
const char *GetRemotePath() { return remotePath; }

void SRVR_setKeepAlive(int on)
{
    isKeepAliveEnabled = on != 0;
    if (!isKeepAliveEnabled) closeCached();
}

int SRVR_isKeepAliveEnabled() { return isKeepAliveEnabled; }
void SRVR_setTimeout(int milliseconds) { timeoutMs = milliseconds > 0 ? milliseconds : SRVR_DEFAULT_TIMEOUT_MS; }
unsigned SRVR_getConnectCount() { return connectCount; }

// ---- encoding, login, diagnostics ------------------------------------------------------

int SRVR_isSpecialCharEncoding()
{
    char value[256] = "";
    return HK_hooks()->readPageParameter("encodeSpecialChar", value) && stringicmp(value, "on");
}

size_t SRVR_orderEncodedLength(const char *text)
{
    if (!text) return 0;
    bool special = SRVR_isSpecialCharEncoding();
    size_t length = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
        length += escapes(*p, Coding::Order, special) ? 3 : 1;
    return length;
}

int URL_encode(char *text, size_t size)
{
    if (!text || size == 0) return 0;
    bool special = SRVR_isSpecialCharEncoding();
    size_t length = std::strlen(text), growth = 0;
    for (size_t i = 0; i < length; i++)
        if (escapes(static_cast<unsigned char>(text[i]), Coding::Page, special)) growth += 2;
    if (length + growth + 1 > size) return 0;
    static const char digits[] = "0123456789abcdef";
    size_t out = length + growth;
    text[out] = '\0';
    for (size_t i = length; i-- > 0;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (escapes(c, Coding::Page, special)) {
            text[--out] = digits[c & 15];
            text[--out] = digits[c >> 4];
            text[--out] = '%';
        } else {
            text[--out] = c == ' ' ? '+' : static_cast<char>(c);
        }
    }
    return 1;
}

namespace {

// GETs path on a new slot; answers the status (0 when no header came) and
// copies the header into header.
int portalGet(const char *path, char *header, int size)
{
    int slot = SRVR_OpenSocket(remoteIpAddress);
    if (!slot) return -1;
    int bodyStart = 0, bodyLength = 0, status = 0;
    header[0] = '\0';
    if (SRVR_WriteGetHeader(slot, "", path, nullptr, 0) <= 0 ||
        SRVR_ReadHttpHeader(slot, header, size, &bodyStart, &bodyLength, &status) <= 0)
        status = 0;
    SRVR_CloseSocket(slot);
    return status;
}

void takePortalCookie(const char *header)
{
    const char *cookie = std::strstr(header, "Set-Cookie:");
    if (cookie) cookie = std::strstr(cookie, "Session-ID=");
    if (!cookie) return;
    cookie += std::strlen("Session-ID=");
    size_t n = std::strcspn(cookie, ";\r\n");
    if (n > SRVR_COOKIE_LENGTH) n = SRVR_COOKIE_LENGTH;
    std::memcpy(portalCookie, cookie, n);
    portalCookie[n] = '\0';
}

} // namespace

int VpiLogin(const char *hostText)
{
    portalCookie[0] = '\0';
    SetRemoteHost(hostText);
    char path[SRVR_PATH_SIZE];
    std::snprintf(path, sizeof path, "servlet/vpilogin?user=%s&password=%s", pterm.vpi_user, pterm.vpi_pass);
    char header[kDownloadHeaderSize];
    int status = portalGet(path, header, sizeof header);
    if (status < 0) {
        err_append(0, "Unreachable host\n %s\n", hostText ? hostText : "");
        return 0;
    }
    if (status == 200) takePortalCookie(header);
    portalGet("servlet/vpihome", header, sizeof header);
    if (portalCookie[0]) return 1;
    err_append(0, "Login failed on VPI-Portal %s\n", hostText ? hostText : "");
    return 0;
}

void SRV_printURL(uint32_t address, int port, const char *request)
{
    char line[600], dotted[20];
    dottedAddress(address, dotted, sizeof dotted);
    int n = std::snprintf(line, sizeof line, "http://%s", dotted);
    if (port != 80) n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), ":%u", static_cast<unsigned>(port));
    const char *start = request ? std::strchr(request, ' ') : nullptr;
    if (start) {
        start++;
        size_t length = std::strcspn(start, " \r\n");
        size_t room = sizeof line - static_cast<size_t>(n) - 2;
        if (length > room) length = room;
        std::memcpy(line + n, start, length);
        n += static_cast<int>(length);
    }
    line[n++] = '\n';
    line[n] = '\0';
    log_append(pterm.debug_level >= 3, "%s", line);
}
