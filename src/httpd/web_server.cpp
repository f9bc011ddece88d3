// Embedded HTTP server. Owns the listening socket, the stop request and the
// table of open connections with their sockets. One poll loop serves every
// connection side by side: each one's bytes are collected until its request
// is complete (http_connection.h), the request is then answered at once on
// this thread, and the reply goes out as the client takes it. No client can
// hold another: heads, bodies and replies have time limits of their own, and
// when the table is full the longest-idle connection that has not yet sent
// its whole request makes room. Runs on the server thread; touches the value
// store, the RAM disk, the log, the settings (read only) and the display's
// remote view.
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
#include "httpd/http_connection.h"
#include "httpd/http_request.h"
#include "nanox/nx_remote.h"
#include "runtime/log.h"
#include "runtime/settings.h"

std::atomic<int> g_listen_socket{-1};
std::atomic<int> SRV_Initialized{0};

namespace {

constexpr int kSocketBuffer = 80000;
constexpr int kTimeoutSec = 3;   // receive and send time-out (the sockets do not block)
constexpr int kIdlePollMs = 250; // how often the stop request is looked at
constexpr int kBusyPollMs = 20;  // how often the time limits are looked at
constexpr int kBindRetrySec = 10;

std::atomic<int> srv_exit{0};

struct Slot {
    int fd;
    HcConnection k;
};

Slot slots[SRVC_MAX_CONNECTIONS];
uint64_t nextSequence;

int64_t nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool used(const Slot &s) { return s.k.phase != HC_FREE; }

void closeSlot(Slot &s)
{
    HC_close(&s.k);
    if (close(s.fd) != 0) std::printf("SameTask(): Unable to closesocket socket. rc= %i !\n", errno);
    s.fd = -1;
}

// Sends what the client takes of the reply; the whole reply sent, the
// connection stops writing and waits for the client's end.
void sendSome(Slot &s)
{
    long size = 0;
    const char *data = HC_unsent(&s.k, &size);
    if (size <= 0) return;
    ssize_t n = send(s.fd, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n < 0) {
        std::printf("### SameTask(): send failed -> %i\n", errno);
        closeSlot(s);
        return;
    }
    int before = s.k.phase;
    HC_sent(&s.k, n, nowMs());
    if (before != HC_DRAIN && s.k.phase == HC_DRAIN) shutdown(s.fd, SHUT_WR);
}

// Takes what the client has sent.
void receive(Slot &s)
{
    char sink[4096];
    char *where = sink;
    long room = s.k.phase == HC_DRAIN ? static_cast<long>(sizeof sink) : HC_room(&s.k, &where);
    if (room <= 0) return;
    ssize_t n = recv(s.fd, where, static_cast<size_t>(room), MSG_DONTWAIT);
    if (n > 0) {
        if (s.k.phase != HC_DRAIN) HC_received(&s.k, n, nowMs());
    } else if (n == 0) {
        if (s.k.phase == HC_HEAD) std::printf("SameTask: shutdown by peer detected !\n");
        if (!HC_peerClosed(&s.k)) closeSlot(s);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        shutdown(s.fd, SHUT_RDWR);
        std::printf("E! SameTask: recv failed !\n");
        closeSlot(s);
    }
}

// Answers the complete requests, oldest first, while memory is left.
void answerReady()
{
    for (;;) {
        Slot *oldest = nullptr;
        for (Slot &s : slots)
            if (s.k.phase == HC_READY && (!oldest || s.k.sequence < oldest->k.sequence)) oldest = &s;
        if (!oldest || srv_exit || !HC_canAnswer()) return;
        HC_answer(&oldest->k, nowMs());
        if (oldest->k.phase == HC_DRAIN) shutdown(oldest->fd, SHUT_WR);
        else sendSome(*oldest);
    }
}

void applyLimits()
{
    int64_t now = nowMs();
    for (Slot &s : slots)
        if (used(s) && !HC_check(&s.k, now)) closeSlot(s);
}

// Which connection gives up its slot first: an answered one, then one still
// receiving its head, then one receiving its body; of these the longest idle.
bool yieldsBefore(const Slot &a, const Slot &b)
{
    auto rank = [](int phase) { return phase == HC_DRAIN ? 0 : phase == HC_HEAD ? 1 : 2; };
    if (rank(a.k.phase) != rank(b.k.phase)) return rank(a.k.phase) < rank(b.k.phase);
    return a.k.lastDataMs < b.k.lastDataMs;
}

// A free slot, else the slot of the connection that yields first, judged by
// what each client has sent so far. Null when every connection has sent its
// request and waits for its answer.
Slot *freeSlot()
{
    for (Slot &s : slots)
        if (!used(s)) return &s;
    for (Slot &s : slots)
        if (s.k.phase == HC_HEAD || s.k.phase == HC_BODY) receive(s);
    Slot *victim = nullptr;
    for (Slot &s : slots) {
        if (!used(s)) return &s;
        bool yields = s.k.phase == HC_DRAIN || s.k.phase == HC_HEAD || s.k.phase == HC_BODY;
        if (yields && (!victim || yieldsBefore(s, *victim))) victim = &s;
    }
    if (victim) closeSlot(*victim);
    return victim;
}

bool roomForOneMore()
{
    for (const Slot &s : slots)
        if (!used(s) || s.k.phase == HC_DRAIN || s.k.phase == HC_HEAD || s.k.phase == HC_BODY) return true;
    return false;
}

void acceptAll(int listener)
{
    for (int i = 0; i < SRVC_MAX_CONNECTIONS && !srv_exit; i++) {
        if (!roomForOneMore()) return;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        int fd = accept4(listener, reinterpret_cast<sockaddr *>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        HitCounter++;
        char address[HC_ADDRESS_SIZE] = "";
        if (peer.sin_family == AF_INET) inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
        Slot *s = freeSlot();
        s->fd = fd;
        HC_open(&s->k, nextSequence++, address, nowMs());
        receive(*s);
    }
}

short eventsOf(Slot &s)
{
    char *where = nullptr;
    long size = 0;
    short events = 0;
    bool reading = s.k.phase == HC_DRAIN || HC_room(&s.k, &where) > 0;
    if (reading && !s.k.peerClosed) events |= POLLIN;
    HC_unsent(&s.k, &size);
    if (size > 0) events |= POLLOUT;
    return events;
}

void pollOnce(int listener)
{
    pollfd fds[SRVC_MAX_CONNECTIONS + 1];
    Slot *owners[SRVC_MAX_CONNECTIONS + 1];
    int n = 0;
    fds[n] = {listener, static_cast<short>(roomForOneMore() ? POLLIN : 0), 0};
    owners[n++] = nullptr;
    for (Slot &s : slots)
        if (used(s)) {
            fds[n] = {s.fd, eventsOf(s), 0};
            owners[n++] = &s;
        }
    int ready = poll(fds, static_cast<nfds_t>(n), n > 1 ? kBusyPollMs : kIdlePollMs);
    if (ready <= 0 || srv_exit) return;
    for (int i = 1; i < n; i++) {
        Slot &s = *owners[i];
        if (fds[i].revents & (POLLOUT | POLLERR)) sendSome(s);
        if (used(s) && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) receive(s);
    }
    if (fds[0].revents & POLLIN) acceptAll(listener);
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

void closeAll()
{
    for (Slot &s : slots)
        if (used(s)) closeSlot(s);
}

} // namespace

void ServerConnectTask(int port)
{
    HitCounter = 0;
    SRV_Initialized = 0;
    closeAll();
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
        answerReady();
        applyLimits();
    }
    closeAll();
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
    closeAll();
    srv_exit = 0;
    g_listen_socket = -1;
    SRV_Initialized = 0;
    HitCounter = 0;
    nextSequence = 0;
    AUTH_reset();
    HC_reset();
}
