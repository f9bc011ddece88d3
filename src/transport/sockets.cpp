// TCP connections and socket slots of the HTTP client. Owns the socket slots
// with their deadlines and their pending output, the connection options
// (time-out), the waits on non-blocking sockets, the message of the last
// failed connection and the connection count. Reports through the log; main
// thread only.
#include "transport/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "runtime/command_age.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"
#include "transport/url_coding.h"

namespace {

constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kSlotOutputLimit = 65534;

struct SocketSlot {
    uint16_t inUse;
    SrvrAddress target;
    int sock;
    int64_t deadline; // of the slot's exchange, from its opening
};

SocketSlot shandles[SRVR_SOCKET_SLOTS];
bool slotsReady;
char slotOutput[SRVR_BUFFER_SIZE];
int slotOutputLength;
int slotOutputOwner;

int timeoutMs = SRVR_DEFAULT_TIMEOUT_MS;
unsigned connectCount;
char connectionMessage[128];

// Sets an option; a refusal is either stored as the connection message or
// reported, as the caller says.
void setOption(int sock, int name, const void *value, socklen_t length, const char *text, bool report)
{
    if (setsockopt(sock, SOL_SOCKET, name, value, length) == 0 || !text) return;
    if (report) err_append(0, text, nullptr);
    else safe_strncpy(connectionMessage, text, sizeof connectionMessage);
}

// Waits until sock is ready for events, in slices, taking the pending display
// events between them: 1 ready (or in error: the next call tells), 0 when the
// deadline passed, -1 on a failed wait.
int waitReady(int sock, short events, int64_t deadline)
{
    for (;;) {
        PUMP_events();
        int64_t left = deadline - PUMP_nowMs();
        if (left <= 0) return 0;
        pollfd p = {sock, events, 0};
        int n = poll(&p, 1, static_cast<int>(left < PUMP_SLICE_MS ? left : PUMP_SLICE_MS));
        if (n > 0) return 1;
        if (n < 0 && errno != EINTR) return -1;
    }
}

} // namespace

// ---- deadlines -------------------------------------------------------------

int64_t SRVR_deadline() { return CMD_limitDeadline(PUMP_nowMs() + timeoutMs); }

bool SRVR_exchangeAllowed(const char *what)
{
    if (!PUMP_isPumping()) return true;
    log_append(1, "%s: refused while the panel handles events during another exchange\n", what);
    return false;
}

// ---- reply headers ----------------------------------------------------------

int SRVR_getPointerToData(const char *text, int length, int *bodyStart, int *status)
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

long SRVR_headerContentLength(const char *header, int headerLength)
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

int SRV_getContentLength(const char *header)
{
    if (!header) return 0;
    const char *p = std::strstr(header, "Content-Length:");
    if (!p || !std::strchr(p, '\n')) return 0;
    long value = SRVR_headerContentLength(p, static_cast<int>(std::strlen(p)));
    return value < 0 ? 0 : static_cast<int>(value);
}

// ---- connections -------------------------------------------------------------

void SRVR_closeTcp(int sock)
{
    if (sock < 0) return;
    close(sock);
}

void SRVR_abortTcp(int sock)
{
    if (sock < 0) return;
    linger off = {1, 0};
    setsockopt(sock, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    close(sock);
}

int SRVR_startTcp(SrvrAddress target, bool relay)
{
    connectionMessage[0] = '\0';
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (sock < 0) {
        err_append(0, relay ? "Relay URL: socket creation failed !\n" : "OpenSocket: socket creation failed !\n",
                   nullptr);
        safe_strncpy(connectionMessage, "Socket: Unable to connect !", sizeof connectionMessage);
        return -1;
    }
    // No linger time: with one, a close waits on the main thread until the
    // target has taken all that was sent, ten seconds when it reads nothing.
    // Without it the system delivers the rest after the close.
    int on = 1, bufferSize = 65535;
    setOption(sock, SO_KEEPALIVE, &on, sizeof on,
              relay ? "Relay URL: Unable to set SO_KEEPALIVE\n" : "Socket: Unable to set SO_KEEPALIVE\n", !relay);
    setOption(sock, SO_SNDBUF, &bufferSize, sizeof bufferSize, relay ? nullptr : "Socket: Unable to set SO_SNDBUF !\n",
              true);
    if (target.ip == 0) {
        safe_strncpy(connectionMessage, "Socket: Unable to connect !", sizeof connectionMessage);
        close(sock);
        return -1;
    }
    sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(target.port));
    peer.sin_addr.s_addr = htonl(target.ip);
    if (connect(sock, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0 && errno != EINPROGRESS &&
        errno != EINTR) {
        SRVR_failedConnection(target);
        SRVR_abortTcp(sock);
        return -1;
    }
    return sock;
}

void SRVR_noteConnected() { connectCount++; }

const char *SRVR_failedConnection(SrvrAddress target)
{
    char dotted[20];
    SRVR_dottedAddress(target.ip, dotted, sizeof dotted);
    std::snprintf(connectionMessage, sizeof connectionMessage, "Connection to host \"%s\" failed !", dotted);
    return connectionMessage;
}

int SRVR_openTcp(SrvrAddress target, bool relay, int64_t deadline)
{
    int sock = SRVR_startTcp(target, relay);
    if (sock < 0) return -1;
    int error = 0;
    socklen_t length = sizeof error;
    if (waitReady(sock, POLLOUT, deadline) > 0 && getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
        error == 0) {
        SRVR_noteConnected();
        return sock;
    }
    SRVR_failedConnection(target);
    SRVR_abortTcp(sock);
    return -1;
}

bool SRVR_sendAll(int sock, const char *data, size_t length, int64_t deadline)
{
    while (length > 0) {
        ssize_t n = send(sock, data, length, kSendFlags);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitReady(sock, POLLOUT, deadline) <= 0) return false;
            continue;
        }
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

ssize_t SRVR_receiveSome(int sock, char *buffer, size_t length, int64_t deadline)
{
    for (;;) {
        ssize_t n = recv(sock, buffer, length, kSendFlags);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return SRVR_IO_ERROR;
        int ready = waitReady(sock, POLLIN, deadline);
        if (ready == 0) return SRVR_IO_DEADLINE;
        if (ready < 0) return SRVR_IO_ERROR;
    }
}

const char *SRVR_connectionMessage() { return connectionMessage; }

// ---- socket slots ----------------------------------------------------------------

void SRVR_Initialize()
{
    if (slotsReady) return;
    for (SocketSlot &s : shandles) s = {0, {0, 0}, -1, 0};
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
    SRVR_abortTcp(s.sock);
    s.sock = -1;
}

// The slot's exchange ran past its deadline: reported, and the connection
// dropped.
void cutAtDeadline(SocketSlot &s, int received)
{
    err_append_int(0, "Socket: exchange cut at the time-out after %d bytes !\n", received);
    dropSlotConnection(s);
}

bool hasControlCharacter(const char *text)
{
    for (; text && *text; text++)
        if (SRVR_isControl(static_cast<unsigned char>(*text))) return true;
    return false;
}

// "GET /" or "POST /", path and file, the protocol, the common header lines.
bool buildSlotHead(SrvrText &b, const SocketSlot &s, const char *method, const char *path, const char *file,
                   const char *protocol)
{
    if (hasControlCharacter(path) || hasControlCharacter(file)) return false;
    SRVR_appendText(b, method);
    SRVR_appendText(b, path ? path : "");
    SRVR_appendText(b, file ? file : "");
    SRVR_appendText(b, protocol);
    if (pterm.debug_level >= 2) SRV_printURL(s.target.ip, s.target.port, b.data);
    SRVR_appendCommonHttpHeadersKeepAlive(b, false);
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
    if (!SRVR_exchangeAllowed("OpenSocket")) return 0;
    SrvrAddress target = SRVR_lastResolved();
    if (hostText && !SRVR_resolveTarget(hostText, &target)) target = {0, 0};
    for (int slot = 1; slot < SRVR_SOCKET_SLOTS; slot++) {
        if (shandles[slot].inUse) continue;
        int64_t deadline = SRVR_deadline();
        int sock = SRVR_openTcp(target, false, deadline);
        if (sock < 0) {
            err_append(0, "%s\n", SRVR_connectionMessage());
            return 0;
        }
        shandles[slot] = {1, target, sock, deadline};
        return slot;
    }
    return 0;
}

int SRVR_WriteGetHeader(int slot, const char *path, const char *file, const char *extra, int extraLength)
{
    SocketSlot *s = openSlot(slot);
    if (!s) return 0;
    char head[4096];
    SrvrText b = {head, 0, sizeof head, false};
    head[0] = '\0';
    if (!buildSlotHead(b, *s, "GET /", path, file, " HTTP/1.0\r\n")) return 0;
    if (!extra || extraLength < 4) {
        SRVR_appendText(b, "\r\n");
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
    SrvrText b = {head, 0, sizeof head, false};
    head[0] = '\0';
    if (!buildSlotHead(b, *s, "POST /", path, file, " HTTP/1.1\r\n")) return 0;
    if (hasControlCharacter(contentType)) return 0;
    char lengthText[16];
    std::snprintf(lengthText, sizeof lengthText, "%i", contentLength);
    SRVR_appendText(b, "Content-Type: ");
    SRVR_appendText(b, contentType ? contentType : "");
    SRVR_appendText(b, "\r\nContent-Length: ");
    SRVR_appendText(b, lengthText);
    SRVR_appendText(b, "\r\n");
    if (extra && extraLength >= 4) SRVR_appendBytes(b, extra, static_cast<size_t>(extraLength));
    SRVR_appendText(b, "\r\n");
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
    if (SRVR_sendAll(s->sock, static_cast<const char *>(data), static_cast<size_t>(length), s->deadline)) return length;
    err_append(0, "SRVR_WriteBuffer: send failed !\n", nullptr);
    dropSlotConnection(*s);
    return -1;
}

int SRVR_ReadBuffer(int slot, void *buffer, int length)
{
    SocketSlot *s = openSlot(slot);
    if (!s || !buffer || length <= 0) return 0;
    ssize_t n = SRVR_receiveSome(s->sock, static_cast<char *>(buffer), static_cast<size_t>(length), s->deadline);
    if (n >= 0) return static_cast<int>(n);
    if (n == SRVR_IO_DEADLINE) cutAtDeadline(*s, 0);
    else dropSlotConnection(*s);
    return -1;
}

int SRVR_ReadHttpHeader(int slot, char *buffer, int size, int *bodyStart, int *bodyLength, int *status)
{
    SocketSlot *s = openSlot(slot);
    if (!s || !buffer || size < 2 || !bodyStart || !bodyLength || !status) return -1;
    int received = 0;
    buffer[0] = '\0';
    *status = 0;
    for (;;) {
        if (received >= size - 1) return -1;
        ssize_t n = SRVR_receiveSome(s->sock, buffer + received, static_cast<size_t>(size - 1 - received), s->deadline);
        if (n == SRVR_IO_DEADLINE) {
            cutAtDeadline(*s, received);
            return -1;
        }
        if (n <= 0) {
            if (n < 0) dropSlotConnection(*s);
            return -1;
        }
        received += static_cast<int>(n);
        buffer[received] = '\0';
        int start = 0, code = 0;
        if (SRVR_getPointerToData(buffer, received, &start, &code)) {
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
            if (received > 0 && SRVR_getPointerToData(buffer, received, &start, &code)) {
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
    SRVR_closeTcp(shandles[slot].sock);
    shandles[slot].sock = -1;
    shandles[slot].inUse = 0;
}

void SRVR_setTimeout(int milliseconds) { timeoutMs = milliseconds > 0 ? milliseconds : SRVR_DEFAULT_TIMEOUT_MS; }
int SRVR_getTimeout() { return timeoutMs; }
unsigned SRVR_getConnectCount() { return connectCount; }

void SRVR_resetSockets()
{
    for (SocketSlot &s : shandles) {
        if (s.inUse) SRVR_closeTcp(s.sock);
        s = {0, {0, 0}, -1, 0};
    }
    slotOutputLength = 0;
    slotOutputOwner = 0;
    slotsReady = false;
    timeoutMs = SRVR_DEFAULT_TIMEOUT_MS;
    connectCount = 0;
    connectionMessage[0] = '\0';
}
