// Embedded HTTP server. Owns the listening socket, the stop request, the
// connections that wait for their request and the buffers of the one being
// served. Requests are taken strictly one after another; a connection counts
// as waiting until its request head has arrived, so clients that send nothing
// or dribble bytes never hold the server: they are cut off after a time-out,
// and when too many wait, the oldest is dropped. Runs on the server thread;
// touches the value store, the RAM disk, the log, the settings (read only)
// and the display's remote view.
#include "httpd/web_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "data/value_store.h"
#include "httpd/credentials.h"
#include "httpd/http_request.h"
#include "nanox/nx_remote.h"
#include "runtime/log.h"
#include "runtime/settings.h"

std::atomic<int> g_listen_socket{-1};
std::atomic<int> SRV_Initialized{0};

namespace {

constexpr int kSocketBuffer = 80000;
constexpr int kTimeoutSec = 3;         // receive and send time-out of one call
constexpr int kPollMs = 250;           // how often the stop request is looked at
constexpr int kHeadMs = 5000;          // a request head must have arrived by then
constexpr int kPauseMs = 200;          // a request line whose header does not end is served after this pause
constexpr int kServeMs = 10000;        // time for the rest of a request and its answer ...
constexpr int kBytesPerSecond = 16384; // ... plus one second per 16 KB moved
constexpr int kDrainMs = 200;          // unread input is taken this long before closing
constexpr int kDrainBytes = 65536;
constexpr int kBindRetrySec = 10;

std::atomic<int> srv_exit{0};

struct Pending {
    bool used;
    int fd;
    uint64_t sequence;
    int64_t acceptedMs;
    int64_t lastDataMs;
    int count;
    char buffer[HTTP_BUFFER_SIZE + 1];
};

struct Connection {
    int fd;
    int64_t startMs;
    long moved;
};

Pending pending[SRVC_PENDING];
uint64_t nextSequence;
char BufferIn[HTTP_BUFFER_SIZE + 1];
char BufferOut[HTTP_BUFFER_SIZE];
HttpContext http;

int64_t nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void closePending(Pending &p)
{
    close(p.fd);
    p.used = false;
    p.count = 0;
}

// Milliseconds the connection may still take, at most one call's time-out.
int remainingMs(const Connection *k)
{
    int64_t allowed = kServeMs + static_cast<int64_t>(k->moved) * 1000 / kBytesPerSecond;
    int64_t left = allowed - (nowMs() - k->startMs);
    if (left > int64_t{kTimeoutSec} * 1000) left = int64_t{kTimeoutSec} * 1000;
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitFor(int fd, short events, const Connection *k)
{
    int ms = remainingMs(k);
    if (ms <= 0) return false;
    pollfd p{fd, events, 0};
    return poll(&p, 1, ms) > 0 && (p.revents & (events | POLLHUP | POLLERR));
}

int readSocket(HttpContext *c)
{
    Connection *k = static_cast<Connection *>(c->connection);
    int room = c->inSize - c->inCount;
    if (room <= 0 || !waitFor(k->fd, POLLIN, k)) return 0;
    ssize_t n = recv(k->fd, c->in + c->inCount, static_cast<size_t>(room), 0);
    if (n <= 0) return 0;
    c->inCount += static_cast<int>(n);
    k->moved += n;
    return static_cast<int>(n);
}

int writeSocket(HttpContext *c, const char *data, int size)
{
    Connection *k = static_cast<Connection *>(c->connection);
    int sent = 0;
    while (sent < size) {
        if (!waitFor(k->fd, POLLOUT, k)) return -1;
        ssize_t n = send(k->fd, data + sent, static_cast<size_t>(size - sent), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return -1;
        sent += static_cast<int>(n);
        k->moved += n;
    }
    return sent;
}

// After the answer: the client's unread bytes are taken for a moment, so that
// closing does not reset the connection before the client has read it.
void closeGently(int fd)
{
    shutdown(fd, SHUT_WR);
    int64_t until = nowMs() + kDrainMs;
    char sink[4096];
    int drained = 0;
    while (drained < kDrainBytes) {
        int64_t left = until - nowMs();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
        ssize_t n = recv(fd, sink, sizeof sink, 0);
        if (n <= 0) break;
        drained += static_cast<int>(n);
    }
    if (close(fd) != 0) std::printf("SameTask(): Unable to closesocket socket. rc= %i !\n", errno);
}

void ServerTask(Pending &p)
{
    int fd = p.fd;
    std::memcpy(BufferIn, p.buffer, static_cast<size_t>(p.count));
    int count = p.count;
    p.used = false;
    p.count = 0;
    Connection k{fd, nowMs(), count};
    http_initContext(&http, BufferIn, count, HTTP_BUFFER_SIZE, BufferOut, HTTP_BUFFER_SIZE, readSocket, writeSocket,
                     &k);
    http_processRequest(&http);
    bool failed = http.writeError;
    http_flush(&http);
    if (!failed && http.writeError) std::printf("### SameTask(): send failed -> %i\n", -1);
    closeGently(fd);
}

bool holdsLineFeed(const Pending &p) { return std::memchr(p.buffer, '\n', static_cast<size_t>(p.count)) != nullptr; }

bool headComplete(Pending &p)
{
    p.buffer[p.count] = '\0';
    return std::strstr(p.buffer, "\r\n\r\n") || std::strstr(p.buffer, "\n\n");
}

// Takes what a waiting connection has sent.
void receive(Pending &p, int64_t now)
{
    if (p.count >= HTTP_BUFFER_SIZE) return;
    ssize_t n = recv(p.fd, p.buffer + p.count, static_cast<size_t>(HTTP_BUFFER_SIZE - p.count), MSG_DONTWAIT);
    if (n > 0) {
        p.count += static_cast<int>(n);
        p.lastDataMs = now;
    } else if (n == 0) {
        std::printf("SameTask: shutdown by peer detected !\n");
        closePending(p);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        shutdown(p.fd, SHUT_RDWR);
        std::printf("E! SameTask: recv failed !\n");
        closePending(p);
    }
}

enum class State { Waiting, Ready, Dropped };

// A request is there when its header has ended (or fills the buffer); a
// request line other than a POST's is also taken after a pause, for clients
// that send no header.
State stateOf(Pending &p, int64_t now)
{
    bool lineFeed = holdsLineFeed(p);
    bool post = p.count >= 5 && std::memcmp(p.buffer, "POST ", 5) == 0;
    bool complete = headComplete(p) || p.count >= HTTP_BUFFER_SIZE;
    if (lineFeed && (complete || (!post && now - p.lastDataMs >= kPauseMs))) return State::Ready;
    if (p.count >= HTTP_BUFFER_SIZE || now - p.acceptedMs >= kHeadMs) return State::Dropped;
    return State::Waiting;
}

// Serves the waiting connections whose request is there, oldest first;
// drops those that have not sent one in time.
void serveReady()
{
    for (;;) {
        int64_t now = nowMs();
        Pending *oldest = nullptr;
        for (Pending &p : pending) {
            if (!p.used) continue;
            State s = stateOf(p, now);
            if (s == State::Dropped) closePending(p);
            else if (s == State::Ready && (!oldest || p.sequence < oldest->sequence)) oldest = &p;
        }
        if (!oldest || srv_exit) return;
        ServerTask(*oldest);
    }
}

Pending *freeSlot()
{
    Pending *oldest = nullptr;
    for (Pending &p : pending) {
        if (!p.used) return &p;
        if (!oldest || p.sequence < oldest->sequence) oldest = &p;
    }
    closePending(*oldest); // too many wait: the oldest makes room
    return oldest;
}

void acceptAll(int listener)
{
    for (int i = 0; i < SRVC_PENDING && !srv_exit; i++) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        HitCounter++;
        Pending *p = freeSlot();
        int64_t now = nowMs();
        p->used = true;
        p->fd = fd;
        p->sequence = nextSequence++;
        p->acceptedMs = p->lastDataMs = now;
        p->count = 0;
    }
}

void pollOnce(int listener)
{
    pollfd fds[SRVC_PENDING + 1];
    Pending *owners[SRVC_PENDING + 1];
    int n = 0;
    fds[n] = {listener, POLLIN, 0};
    owners[n++] = nullptr;
    for (Pending &p : pending)
        if (p.used && p.count < HTTP_BUFFER_SIZE) {
            fds[n] = {p.fd, POLLIN, 0};
            owners[n++] = &p;
        }
    int ready = poll(fds, static_cast<nfds_t>(n), kPollMs);
    if (ready <= 0 || srv_exit) return;
    int64_t now = nowMs();
    for (int i = 1; i < n; i++)
        if (fds[i].revents) receive(*owners[i], now);
    if (fds[0].revents & POLLIN) {
        acceptAll(listener);
        now = nowMs();
        for (Pending &p : pending)
            if (p.used && p.count == 0) receive(p, now);
    }
}

void setOption(int fd, int level, int name, const void *value, socklen_t size, const char *failure)
{
    if (setsockopt(fd, level, name, value, size) != 0 && failure) std::printf("%s\n", failure);
}

void setOptions(int fd)
{
    int size = kSocketBuffer;
    setOption(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size, "ServerConnectTask: Unable set size of receive buffer");
    setOption(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size, nullptr);
    timeval timeout{kTimeoutSec, 0};
    setOption(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout, "ServerConnectTask: Unable set recv timeout");
    setOption(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout, "ServerConnectTask: Unable set send timeout");
}

// Sleeps up to seconds, ending early on a stop request.
void pause(int seconds)
{
    for (int i = 0; i < seconds * 10 && !srv_exit; i++) {
        timespec ts{0, 100000000L};
        nanosleep(&ts, nullptr);
    }
}

// All local addresses, or the one of PANTERM_HTTPD_BIND (tests keep to the
// loopback address with it).
in_addr bindAddress()
{
    in_addr address{};
    address.s_addr = htonl(INADDR_ANY);
    const char *text = std::getenv("PANTERM_HTTPD_BIND");
    if (text && *text && inet_pton(AF_INET, text, &address) != 1) {
        std::printf("PANTERM_HTTPD_BIND=\"%s\" is no IPv4 address; the server listens on all addresses\n", text);
        address.s_addr = htonl(INADDR_ANY);
    }
    return address;
}

bool bindPort(int fd, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = bindAddress();
    address.sin_port = htons(static_cast<uint16_t>(port));
    for (int attempt = 1; attempt <= SRVC_BIND_ATTEMPTS; attempt++) {
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return true;
        if (srv_exit || attempt == SRVC_BIND_ATTEMPTS) break;
        std::printf("ServerConnectTask: Unable to bind address using port %d, retry in 10 sec.\n", port);
        std::fflush(stdout);
        pause(kBindRetrySec);
        if (srv_exit) break;
    }
    return false;
}

void closeAllPending()
{
    for (Pending &p : pending)
        if (p.used) closePending(p);
}

} // namespace

void ServerConnectTask(int port)
{
    HitCounter = 0;
    SRV_Initialized = 0;
    closeAllPending();
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) std::printf("ServerConnectTask: Listen Socket Creation failed\n");
    g_listen_socket = fd;
    int on = 1;
    // address reuse before the bind, so that a restarted panel gets its port back at once
    if (fd >= 0) setOption(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "ServerConnectTask: Unable set SO_REUSEADDR");
    if (fd < 0 || !bindPort(fd, port)) {
        if (fd >= 0) close(fd);
        SRV_Initialized = -1;
        g_listen_socket = -1;
        srv_exit = 0;
        return;
    }
    setOptions(fd);
    if (listen(fd, 50) != 0) {
        close(fd);
        std::printf("ServerConnectTask: Unable to listen on socket\n");
        SRV_Initialized = -1;
        g_listen_socket = -1;
        srv_exit = 0;
        return;
    }
    SRV_Initialized = 1;
    while (!srv_exit && g_listen_socket >= 0) {
        pollOnce(fd);
        serveReady();
    }
    closeAllPending();
    std::fprintf(stderr, "ServerConnectTask() exit !\n");
    shutdown(fd, SHUT_RDWR);
    std::fprintf(stderr, "shutdown(%d)\n", fd);
    close(fd);
    std::fprintf(stderr, "close(%d)\n", fd);
    g_listen_socket = -1;
    srv_exit = 0;
}

void startEWebserver(int port)
{
    if (!DS_isInitialized()) DS_Initialize();
    AUTH_load();
    NX_remoteEnable(1);
    ServerConnectTask(port);
    NX_remoteEnable(0);
}

void *start_eweb_task(void *arg)
{
    int port = arg ? *static_cast<const int32_t *>(arg) : 80;
    startEWebserver(port);
    std::fprintf(stderr, "SRV exit !\n");
    pterm.httpd_enabled = 0;
    return nullptr;
}

void SRVC_Shutdown()
{
    if (g_listen_socket >= 0) srv_exit = 1;
}

void SRVC_reset()
{
    closeAllPending();
    srv_exit = 0;
    g_listen_socket = -1;
    SRV_Initialized = 0;
    HitCounter = 0;
    AUTH_reset();
}
