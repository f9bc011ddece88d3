// Relay request. Owns the relay request and reply buffers, the keep-alive
// switch, the busy flag that keeps a second caller out and the start of the
// last reply's body; kept-alive connections come from kept_links. Reads the settings
// (debug level, target type); through the hooks it reads the document base
// and resolves the names it sends. A request, with its reconnects and
// resends, is done by its deadline or cut there.
#include "transport/relay.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/platform.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"
#include "transport/sockets.h"
#include "transport/target_address.h"
#include "transport/url_coding.h"

namespace {

constexpr int kStaleReconnectLimit = 2; // reconnects after a stale kept-alive connection
constexpr int kBeckhoffTarget = 103;
constexpr int kBusyPollMs = 10;

char BufferOutRly[SRVR_BUFFER_SIZE];
char BufferInRly[SRVR_BUFFER_SIZE];
int isKeepAliveEnabled;
const char *lastDataPointer;
std::atomic_flag relayBusy = ATOMIC_FLAG_INIT;
thread_local bool insideRelay; // this thread runs a relay request

bool usesBody(int command) { return command != RLY_CGI_CALL; }
// The write-return page is read until the connection closes. A raw page ends
// at its announced length like a value file: a page cut before it fails.
bool readsToEnd(int command) { return command == RLY_TBOX_WRITE; }

} // namespace

bool SRVR_buildRelayRequest(SrvrText &b, int command, const char *name, const char *input, bool keepAlive, char *buffer,
                            int size)
{
    const char *path = HK_hooks()->documentBase();
    SRVR_appendText(b, "GET /");
    if ((command == RLY_ALARM || command == RLY_TREND) && pterm.target_type == kBeckhoffTarget)
        SRVR_appendText(b, "trendingAlarming.dll?");
    else SRVR_appendCoded(b, path ? path : "", SrvrCoding::Plain);
    const char *safeName = name ? name : "";
    switch (command) {
    case RLY_READ_VALUE:
        SRVR_appendText(b, "cgi-bin/readVal.exe?");
        SRVR_appendCoded(b, HK_hooks()->resolvePointName(safeName), SrvrCoding::Page);
        break;
    case RLY_WRITE_VALUE:
        SRVR_appendText(b, "cgi-bin/writeVal.exe?");
        SRVR_appendCoded(b, HK_hooks()->resolvePointName(safeName), SrvrCoding::Page);
        SRVR_appendText(b, "+");
        SRVR_appendCoded(b, input, SrvrCoding::Plain);
        break;
    case RLY_READ_FILE:
        SRVR_appendText(b, "cgi-bin/ReadFile.exe?");
        SRVR_appendCoded(b, safeName, SrvrCoding::Page);
        break;
    case RLY_ORDER_VALUES:
        SRVR_appendText(b, "cgi-bin/OrderValues.exe?");
        SRVR_appendCoded(b, safeName, SrvrCoding::Order);
        break;
    case RLY_ALARM:
        SRVR_appendText(b, "cgi-bin/alarm.exe?");
        SRVR_appendCoded(b, safeName, SrvrCoding::Plain);
        break;
    case RLY_TREND:
        SRVR_appendText(b, "cgi-bin/trend.exe?");
        SRVR_appendCoded(b, safeName, SrvrCoding::Plain);
        break;
    case RLY_CGI_CALL: SRVR_appendCoded(b, input, SrvrCoding::Plain); break;
    case RLY_CGI_READ:
    case RLY_RAW: SRVR_appendCoded(b, safeName, SrvrCoding::Plain); break;
    case RLY_TBOX_WRITE:
        SRVR_appendText(b, "TBoxWriteReturn.html?");
        SRVR_appendCoded(b, HK_hooks()->resolvePointName(safeName), SrvrCoding::Plain);
        SRVR_appendText(b, "=");
        SRVR_appendCoded(b, input, SrvrCoding::Plain);
        SRVR_appendText(b, "&%24=");
        break;
    default:
        safe_strncpy(buffer, "Relay URL: Undefined command !\n", static_cast<size_t>(size));
        err_append(0, "%s", buffer);
        return false;
    }
    SRVR_appendText(b, " HTTP/1.1\r\n");
    SRVR_appendCommonHttpHeadersKeepAlive(b, keepAlive);
    SRVR_appendText(b, "\r\n");
    if (b.overflow) {
        safe_strncpy(buffer, "Relay URL: request too long !", static_cast<size_t>(size));
        err_append(0, "%s\n", buffer);
        return false;
    }
    return true;
}

namespace {

// The relay connection of one request: a kept one when it may be used, else
// a new one.
struct RelayLink {
    SrvrAddress target;
    bool keepAlive;
    int sock;
    bool viaCached;
    int64_t deadline;
};

int relayConnect(RelayLink &link)
{
    link.sock = SRVR_openTcp(link.target, true, link.deadline);
    link.viaCached = false;
    return link.sock;
}

// Closes the connection after a complete exchange.
void relayClose(RelayLink &link)
{
    SRVR_closeTcp(link.sock);
    link.sock = -1;
}

// Drops the connection of a failed or cut exchange.
void relayAbort(RelayLink &link)
{
    SRVR_abortTcp(link.sock);
    link.sock = -1;
}

void takeKeptConnection(RelayLink &link)
{
    if (!link.keepAlive) SRVR_closeKept();
    link.sock = link.keepAlive ? SRVR_takeKept(link.target) : -1;
    link.viaCached = link.sock >= 0;
}

bool reportConnectFailure(char *buffer, int size)
{
    safe_strncpy(buffer, SRVR_connectionMessage(), static_cast<size_t>(size));
    err_append(0, "%s\n", SRVR_connectionMessage());
    return false;
}

bool reportSendFailure(RelayLink &link, char *buffer, int size)
{
    std::printf("Relay URL: send failed ");
    std::fflush(stdout);
    safe_strncpy(buffer, "Relay URL: send failed !", static_cast<size_t>(size));
    err_append(0, "%s\n", buffer);
    relayAbort(link);
    return false;
}

bool sendRequest(RelayLink &link, size_t length)
{
    return SRVR_sendAll(link.sock, BufferOutRly, length, link.deadline);
}

// Sends the request; on failure connects once more and sends again.
bool relaySend(RelayLink &link, size_t length, char *buffer, int size)
{
    if (sendRequest(link, length)) return true;
    err_append(0, "send() failed, try again...\n", nullptr);
    relayAbort(link);
    if (relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    if (sendRequest(link, length)) return true;
    return reportSendFailure(link, buffer, size);
}

// A kept-alive connection gave nothing: connect again and send again.
bool relayResend(RelayLink &link, size_t length, char *buffer, int size)
{
    relayAbort(link);
    if (relayConnect(link) < 0) {
        err_append(0, "connect() failed, try connect() again...\n", nullptr);
        if (relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    }
    if (sendRequest(link, length)) return true;
    err_append(0, "send() failed, try again...\n", nullptr);
    if (!sendRequest(link, length)) return reportSendFailure(link, buffer, size);
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
        long contentLength = SRVR_headerContentLength(BufferInRly, headerLength);
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
    if (SRVR_getPointerToData(BufferInRly, r.received, &bodyStart, &status))
        err_append_int(0, "  Content-Length: %d\n", r.expected - bodyStart);
}

enum class Receive { Done, Failed };

Receive failReceive(RelayLink &link, const char *text, char *buffer, int size)
{
    safe_strncpy(buffer, text, static_cast<size_t>(size));
    err_append(0, "%s\n", buffer);
    relayAbort(link);
    return Receive::Failed;
}

// The deadline passed while the reply came in: reported and the connection
// dropped. A reply whose length is known and not reached fails; one that runs
// to the end of the stream ends here with what came.
Receive cutAtDeadline(RelayLink &link, int command, const ReplyState &r, char *buffer, int size)
{
    if (r.received == 0) return failReceive(link, "Relay URL: E! recv failed !", buffer, size);
    err_append_int(0, "Relay URL: reply cut at the time-out after %d bytes\n", r.received);
    if (r.expected >= 0 && !readsToEnd(command))
        return failReceive(link, "Relay URL: reply cut at the time-out !", buffer, size);
    relayAbort(link);
    return Receive::Done;
}

Receive relayReceive(RelayLink &link, int command, size_t requestLength, ReplyState &r, char *buffer, int size)
{
    int reconnects = 0;
    r = {0, 0, -1, false};
    const int room = SRVR_BUFFER_SIZE - 1;
    while (r.received < room && (r.expected < 0 || r.received < r.expected)) {
        ssize_t n = SRVR_receiveSome(link.sock, BufferInRly + r.received, static_cast<size_t>(room - r.received),
                                     link.deadline);
        if (n > 0) {
            r.received += static_cast<int>(n);
            BufferInRly[r.received] = '\0';
            if (!takeReceived(r, command)) break;
            continue;
        }
        if (n == SRVR_IO_DEADLINE) {
            Receive cut = cutAtDeadline(link, command, r, buffer, size);
            BufferInRly[r.received] = '\0';
            return cut;
        }
        // A reply that ends before its announced length is not the reply:
        // taken whole, a cut value file would pass for current values.
        if (r.received > 0 && r.expected >= 0 && !readsToEnd(command)) {
            reportShortReply(r);
            BufferInRly[r.received] = '\0';
            return failReceive(link, "Relay URL: reply cut short !", buffer, size);
        }
        if (r.received > 0) break;
        if (link.viaCached && reconnects++ < kStaleReconnectLimit) {
            if (!relayResend(link, requestLength, buffer, size)) return Receive::Failed;
            link.viaCached = link.keepAlive;
            continue;
        }
        return failReceive(link, "Relay URL: E! recv failed !", buffer, size);
    }
    BufferInRly[r.received] = '\0';
    return Receive::Done;
}

} // namespace

int RelayURL_synch(const char *address, int command, const char *name, char *buffer, int size)
{
    if (!buffer || size < 1) return 0;
    SRVR_Initialize();
    if (!SRVR_exchangeAllowed("Relay URL")) {
        safe_strncpy(buffer, "Relay URL: busy !", static_cast<size_t>(size));
        return 0;
    }
    char input[SRVR_PATH_SIZE * 4] = "";
    if (command == RLY_WRITE_VALUE || command == RLY_CGI_CALL || command == RLY_TBOX_WRITE)
        safe_strncpy(input, buffer, sizeof input);
    BufferOutRly[0] = '\0';
    BufferInRly[0] = '\0';
    buffer[0] = '\0';
    RelayLink link = {SRVR_lastResolved(), isKeepAliveEnabled != 0, -1, false, SRVR_deadline()};
    if (address && !SRVR_resolveTarget(address, &link.target)) link.target = {0, 0};
    SrvrText request = {BufferOutRly, 0, sizeof BufferOutRly, false};
    if (!SRVR_buildRelayRequest(request, command, name, input, link.keepAlive, buffer, size)) return 0;
    size_t requestLength = request.length;

    takeKeptConnection(link);
    if (link.sock < 0 && relayConnect(link) < 0 && relayConnect(link) < 0) return reportConnectFailure(buffer, size);
    if (pterm.debug_level >= 2) SRV_printURL(link.target.ip, link.target.port, BufferOutRly);
    if (!relaySend(link, requestLength, buffer, size)) return 0;

    ReplyState reply;
    if (relayReceive(link, command, requestLength, reply, buffer, size) == Receive::Failed) return 0;
    bool cut = reply.received >= SRVR_BUFFER_SIZE - 1 && (reply.expected < 0 || reply.received < reply.expected);
    if (cut) log_append_int(1, "Relay URL: reply cut at %d bytes\n", reply.received);

    int bodyStart = 0, status = 0;
    if (!SRVR_getPointerToData(BufferInRly, reply.received, &bodyStart, &status)) {
        safe_strncpy(buffer, "Relay URL: no reply header !", static_cast<size_t>(size));
        err_append(0, "%s\n", buffer);
        relayAbort(link);
        return 0;
    }
    lastDataPointer = BufferInRly + bodyStart;
    if (usesBody(command)) safe_strncpy(buffer, BufferInRly + bodyStart, static_cast<size_t>(size));
    bool complete = reply.expected >= 0 && reply.received == reply.expected;
    if (link.sock >= 0 && (!link.keepAlive || !complete)) relayClose(link);
    else if (link.sock >= 0) SRVR_keep(link.target, link.sock);
    return reply.status == 200 ? 1 : 0;
}

bool SRVR_enterRelay(char *buffer, int size)
{
    // The flag is held by another thread, whose request ends by its deadline;
    // a request of this thread's own cannot be waited for.
    bool allowed = SRVR_exchangeAllowed("Relay URL");
    if (allowed && insideRelay) log_append(1, "Relay URL: a request while one is running is refused\n", nullptr);
    if (!allowed || insideRelay) {
        if (buffer && size > 0) safe_strncpy(buffer, "Relay URL: busy !", static_cast<size_t>(size));
        return false;
    }
    while (relayBusy.test_and_set(std::memory_order_acquire)) PUMP_sleep(kBusyPollMs);
    insideRelay = true;
    return true;
}

void SRVR_leaveRelay()
{
    insideRelay = false;
    relayBusy.clear(std::memory_order_release);
}

int RelayURL(const char *address, int command, const char *name, char *buffer, int size)
{
    if (!SRVR_enterRelay(buffer, size)) return 0;
    int result = RelayURL_synch(address, command, name, buffer, size);
    SRVR_leaveRelay();
    return result;
}

const char *SRVR_getPointerToLastData() { return lastDataPointer; }

void SRVR_destroy() { SRVR_closeKept(); }

void SRVR_setKeepAlive(int on)
{
    isKeepAliveEnabled = on != 0;
    if (!isKeepAliveEnabled) SRVR_closeKept();
}

int SRVR_isKeepAliveEnabled() { return isKeepAliveEnabled; }

void SRVR_resetRelay()
{
    SRVR_closeKept();
    SRVR_resetRelayBatch();
    BufferOutRly[0] = '\0';
    BufferInRly[0] = '\0';
    isKeepAliveEnabled = 0;
    lastDataPointer = nullptr;
    relayBusy.clear(std::memory_order_release);
}
