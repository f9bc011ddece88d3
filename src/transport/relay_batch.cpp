// Runs of reading relay requests side by side. Owns the exchanges in flight:
// their request texts, reply buffers, connections, deadlines and steps. Each
// request has a connection of its own, up to SRVR_RELAY_WINDOW at once, and
// the replies are handed on in the order of the requests, so a target sees
// what a browser's page load shows it: a few connections at a time, one
// request on each. Owns as well what it learnt of the target: a server that
// serves one connection at a time while keeping it alive would leave the
// others unanswered, so when the oldest request waits in vain while a kept
// connection of the run lies idle, the kept connections are closed and that
// target's reads go one after the other from then on. Main thread only,
// inside the relay's busy flag.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"
#include "transport/relay.h"
#include "transport/sockets.h"
#include "transport/url_coding.h"

namespace {

constexpr int kRequestSize = 4096;
constexpr int kNameSize = 512;
constexpr int kReplyRoom = SRVR_BUFFER_SIZE - 1;
constexpr int64_t kStallMs = 250; // the oldest request waits this long in vain: a one-connection server
                                  // (a quarter of the time-out when that is shorter)

enum class Step { Free, Connecting, Sending, Receiving, Complete, Failed };

struct Exchange {
    Step step;
    int index;
    int sock;
    bool viaKept; // the connection comes from an earlier exchange
    bool resent;  // sent again on a new connection after a kept one gave nothing
    bool keep;    // the connection may serve the next exchange
    int64_t deadline;
    int64_t sentAt; // when the request was sent whole
    size_t requestLength;
    size_t sent;
    int received;
    int bodyStart; // -1 until the reply head is complete
    int status;
    long expected; // length of the whole reply; -1 while unknown or when it runs to the end
    char request[kRequestSize];
    char reply[SRVR_BUFFER_SIZE];
};

struct Batch {
    SrvrAddress target;
    bool keepAlive;
    int command;
    int window; // requests in flight at once
    int64_t stallMs;
};

Exchange exchanges[SRVR_RELAY_WINDOW];
SrvrAddress oneAtATime; // a target that serves one connection at a time ({0, 0}: none known)

bool servesOneAtATime(SrvrAddress target) { return target.ip == oneAtATime.ip && target.port == oneAtATime.port; }

Exchange &slotOf(int index) { return exchanges[index % SRVR_RELAY_WINDOW]; }

bool inFlight(const Exchange &e)
{
    return e.step == Step::Connecting || e.step == Step::Sending || e.step == Step::Receiving;
}

bool isReadingCommand(int command) { return command == RLY_READ_VALUE || command == RLY_READ_FILE; }

void dropConnection(Exchange &e)
{
    SRVR_abortTcp(e.sock);
    e.sock = -1;
}

void fail(Exchange &e, const char *text)
{
    err_append(0, "%s\n", text);
    dropConnection(e);
    e.step = Step::Failed;
}

void restartReply(Exchange &e)
{
    e.sent = 0;
    e.received = 0;
    e.bodyStart = -1;
    e.status = 0;
    e.expected = -1;
    e.keep = false;
    e.reply[0] = '\0';
}

void sendSome(const Batch &b, Exchange &e);

// The request is sent as soon as the connection stands: a send on a socket
// still connecting waits (EAGAIN), one whose connection failed tells why.
void sendWhenConnected(const Batch &b, Exchange &e)
{
    ssize_t n = send(e.sock, e.request, e.requestLength, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n < 0) {
        fail(e, SRVR_failedConnection(b.target));
        return;
    }
    SRVR_noteConnected();
    e.sent = static_cast<size_t>(n);
    e.step = Step::Sending;
    sendSome(b, e);
}

void connectFresh(const Batch &b, Exchange &e)
{
    e.viaKept = false;
    e.sock = SRVR_startTcp(b.target, true);
    if (e.sock < 0) {
        err_append(0, "%s\n", SRVR_connectionMessage());
        e.step = Step::Failed;
        return;
    }
    e.step = Step::Connecting;
    sendWhenConnected(b, e);
}

// A kept connection that the target closed meanwhile gives nothing: the
// request goes once more on a new connection. False when that was done already.
bool resendFresh(const Batch &b, Exchange &e)
{
    if (!e.viaKept || e.resent) return false;
    dropConnection(e);
    e.resent = true;
    restartReply(e);
    connectFresh(b, e);
    return true;
}

void sendSome(const Batch &b, Exchange &e)
{
    while (e.sent < e.requestLength) {
        ssize_t n = send(e.sock, e.request + e.sent, e.requestLength - e.sent, MSG_NOSIGNAL);
        if (n > 0) {
            e.sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (!resendFresh(b, e)) fail(e, "Relay URL: send failed !");
        return;
    }
    e.step = Step::Receiving;
    e.sentAt = PUMP_nowMs();
}

void startExchange(const Batch &b, int index, SrvrRelayName nameOf, void *context)
{
    Exchange &e = slotOf(index);
    e.index = index;
    e.sock = -1;
    e.resent = false;
    e.request[0] = '\0';
    restartReply(e);
    char name[kNameSize] = "";
    nameOf(index, name, sizeof name, context);
    char text[128];
    SrvrText request = {e.request, 0, sizeof e.request, false};
    if (!SRVR_buildRelayRequest(request, b.command, name, "", b.keepAlive, text, sizeof text)) {
        e.step = Step::Failed;
        return;
    }
    e.requestLength = request.length;
    e.deadline = SRVR_deadline();
    if (pterm.debug_level >= 2) SRV_printURL(b.target.ip, b.target.port, e.request);
    e.sock = b.keepAlive ? SRVR_takeKept(b.target) : -1;
    e.viaKept = e.sock >= 0;
    if (!e.viaKept) {
        connectFresh(b, e);
        return;
    }
    e.step = Step::Sending;
    sendSome(b, e);
}

bool headSaysClose(const char *head, int length)
{
    static const char key[] = "connection: close";
    const int keyLength = sizeof key - 1;
    for (int i = 0; i + keyLength <= length; i++)
        if (stringnicmp(head + i, key, keyLength)) return true;
    return false;
}

bool othersInFlight(const Exchange &self)
{
    for (const Exchange &e : exchanges)
        if (&e != &self && inFlight(e)) return true;
    return false;
}

// The reply is complete: its connection is kept or closed at once, so that
// the next exchange may take it while this reply waits for its turn. A
// one-connection server serves the others once it is closed.
void complete(const Batch &b, Exchange &e)
{
    e.step = Step::Complete;
    if (e.keep && servesOneAtATime(b.target) && othersInFlight(e)) e.keep = false;
    if (e.keep) SRVR_keep(b.target, e.sock);
    else if (e.expected >= 0 && e.received >= e.expected) SRVR_closeTcp(e.sock);
    else SRVR_abortTcp(e.sock);
    e.sock = -1;
}

void takeHead(const Batch &b, Exchange &e)
{
    int bodyStart = 0, status = 0;
    if (e.bodyStart >= 0 || !SRVR_getPointerToData(e.reply, e.received, &bodyStart, &status)) return;
    e.bodyStart = bodyStart;
    e.status = status;
    long length = SRVR_headerContentLength(e.reply, bodyStart);
    e.expected = length >= 0 ? bodyStart + length : -1;
    e.keep = b.keepAlive && length >= 0 && !headSaysClose(e.reply, bodyStart);
}

// The stream ended (or broke) before the reply was complete.
void endOfStream(const Batch &b, Exchange &e)
{
    if (e.received == 0) {
        if (!resendFresh(b, e)) fail(e, "Relay URL: E! recv failed !");
        return;
    }
    if (e.bodyStart < 0) {
        fail(e, "Relay URL: no reply header !");
        return;
    }
    if (e.expected < 0) {
        complete(b, e);
        return;
    }
    err_append_int(0, "recv() quit with %d bytes in buffer\n", e.received);
    err_append_int(0, "  instead of %d bytes\n", static_cast<int>(e.expected));
    fail(e, "Relay URL: reply cut short !");
}

void receiveSome(const Batch &b, Exchange &e)
{
    for (;;) {
        ssize_t n = recv(e.sock, e.reply + e.received, static_cast<size_t>(kReplyRoom - e.received), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            endOfStream(b, e);
            return;
        }
        e.received += static_cast<int>(n);
        e.reply[e.received] = '\0';
        takeHead(b, e);
        if (e.bodyStart >= 0 && e.status != 200) {
            e.keep = false; // nothing more of it is needed
            complete(b, e);
            return;
        }
        if (e.bodyStart >= 0 && e.expected >= 0 && e.received >= e.expected) {
            complete(b, e);
            return;
        }
        if (e.received >= kReplyRoom) {
            log_append_int(1, "Relay URL: reply cut at %d bytes\n", e.received);
            e.keep = false;
            complete(b, e);
            return;
        }
    }
}

void progress(const Batch &b, Exchange &e)
{
    if (e.step == Step::Connecting) sendWhenConnected(b, e);
    else if (e.step == Step::Sending) sendSome(b, e);
    else if (e.step == Step::Receiving) receiveSome(b, e);
}

void cutAtDeadline(const Batch &b, Exchange &e)
{
    if (e.step == Step::Connecting) {
        fail(e, SRVR_failedConnection(b.target));
        return;
    }
    if (e.step == Step::Sending || e.received == 0) {
        fail(e, e.step == Step::Sending ? "Relay URL: send failed !" : "Relay URL: E! recv failed !");
        return;
    }
    err_append_int(0, "Relay URL: reply cut at the time-out after %d bytes\n", e.received);
    if (e.bodyStart < 0 || e.expected >= 0) fail(e, "Relay URL: reply cut at the time-out !");
    else complete(b, e);
}

// One wait for the exchanges in flight, of at most a slice and not past
// wakeBy, taking the pending display events first; exchanges past their
// deadline are cut.
void waitOnce(const Batch &b, int64_t wakeBy)
{
    PUMP_events();
    pollfd fds[SRVR_RELAY_WINDOW];
    Exchange *owners[SRVR_RELAY_WINDOW];
    int count = 0;
    int64_t now = PUMP_nowMs(), wait = PUMP_SLICE_MS;
    if (wakeBy - now < wait) wait = wakeBy > now ? wakeBy - now : 0;
    for (Exchange &e : exchanges) {
        if (!inFlight(e)) continue;
        if (e.deadline <= now) {
            cutAtDeadline(b, e);
            continue;
        }
        if (e.deadline - now < wait) wait = e.deadline - now;
        fds[count] = {e.sock, static_cast<short>(e.step == Step::Receiving ? POLLIN : POLLOUT), 0};
        owners[count++] = &e;
    }
    if (count == 0) return;
    int ready = poll(fds, static_cast<nfds_t>(count), static_cast<int>(wait));
    if (ready < 0 && errno != EINTR) {
        for (int i = 0; i < count; i++) fail(*owners[i], "Relay URL: E! recv failed !");
        return;
    }
    for (int i = 0; i < count && ready > 0; i++)
        if (fds[i].revents) progress(b, *owners[i]);
}

// The lowest request number that failed, of those below limit.
int firstFailure(int limit)
{
    for (const Exchange &e : exchanges)
        if (e.step == Step::Failed && e.index < limit) limit = e.index;
    return limit;
}

// Exchanges after a failed request are not needed any more.
void dropFrom(int first)
{
    for (Exchange &e : exchanges) {
        if (e.step == Step::Free || e.index < first) continue;
        if (inFlight(e)) dropConnection(e);
        e.step = Step::Free;
    }
}

bool mayStall(const Batch &b, const Exchange &oldest)
{
    return b.keepAlive && b.window > 1 && oldest.step == Step::Receiving && oldest.received == 0;
}

// The oldest request has waited in vain while a connection of the run lies
// kept and idle: the server is busy with that one. It is closed, the waiting
// requests start their time anew, and the target's reads go one at a time
// from now on.
void watchForOneConnectionServer(Batch &b, const Exchange &oldest)
{
    if (!mayStall(b, oldest) || PUMP_nowMs() - oldest.sentAt < b.stallMs || !SRVR_hasKept(b.target)) return;
    log_append(1, "Relay URL: the target serves one connection at a time; its reads go one after the other\n", nullptr);
    oneAtATime = b.target;
    b.window = 1;
    SRVR_closeKept();
    for (Exchange &e : exchanges)
        if (inFlight(e)) e.deadline = SRVR_deadline();
}

int runBatch(Batch &b, int count, SrvrRelayName nameOf, SrvrRelayTake take, void *context)
{
    int next = 0, delivered = 0, failedAt = count;
    while (delivered < failedAt) {
        while (next < failedAt && next < delivered + b.window) startExchange(b, next++, nameOf, context);
        failedAt = firstFailure(failedAt);
        if (failedAt < count) dropFrom(failedAt);
        Exchange &e = slotOf(delivered);
        if (delivered >= failedAt) break;
        if (e.step != Step::Complete) {
            int64_t stallDue = e.sentAt + b.stallMs, now = PUMP_nowMs();
            waitOnce(b, mayStall(b, e) && stallDue > now ? stallDue : now + PUMP_SLICE_MS);
            watchForOneConnectionServer(b, e);
            continue;
        }
        if (e.status != 200) {
            failedAt = delivered;
            break;
        }
        take(delivered, e.reply + e.bodyStart, context);
        e.step = Step::Free;
        delivered++;
    }
    dropFrom(0);
    return failedAt == count ? 1 : 0;
}

} // namespace

int SRVR_relayEach(const char *address, int command, int count, SrvrRelayName nameOf, SrvrRelayTake take, void *context)
{
    if (count < 1 || !nameOf || !take) return 0;
    if (!isReadingCommand(command)) {
        err_append(0, "Relay URL: Undefined command !\n", nullptr);
        return 0;
    }
    SRVR_Initialize();
    if (!SRVR_enterRelay(nullptr, 0)) return 0;
    int64_t timeout = SRVR_deadline() - PUMP_nowMs();
    Batch b = {SRVR_lastResolved(), SRVR_isKeepAliveEnabled() != 0, command, SRVR_RELAY_WINDOW,
               timeout / 4 < kStallMs ? timeout / 4 : kStallMs};
    if (address && !SRVR_resolveTarget(address, &b.target)) b.target = {0, 0};
    if (b.keepAlive && servesOneAtATime(b.target)) b.window = 1;
    if (!b.keepAlive) SRVR_closeKept();
    int result = runBatch(b, count, nameOf, take, context);
    SRVR_leaveRelay();
    return result;
}

void SRVR_resetRelayBatch() { oneAtATime = {0, 0}; }
