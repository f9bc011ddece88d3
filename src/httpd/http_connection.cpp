// One client connection of the embedded server, without its socket. Owns the
// time limits, the count of memory held by all connections, and the request
// context and output buffer with which a complete request is answered. The
// request is answered only once all of it is in memory, so its handlers never
// wait for a client; the reply is collected and sent as the client takes it.
#include "httpd/http_connection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/str_util.h"

namespace {

constexpr HcLimits kDefaultLimits{5000, 200, 1000, 1024, 5000, 200};
constexpr long kBodyStep = 8192; // a body's buffer grows by at least this much
constexpr long kFirstReply = 4096;

HcLimits limits = kDefaultLimits;
long memoryInUse;
HttpContext context; // of the request being parsed or answered
char output[HTTP_BUFFER_SIZE];
char interim[160]; // the "100 Continue" reply as the handlers write it
int interimCount;

bool holdsLineFeed(const HcConnection *k)
{
    return std::memchr(k->head, '\n', static_cast<size_t>(k->headCount)) != nullptr;
}

bool headEnded(const HcConnection *k) { return std::strstr(k->head, "\r\n\r\n") || std::strstr(k->head, "\n\n"); }

bool isPost(const HcConnection *k) { return k->headCount >= 5 && std::memcmp(k->head, "POST ", 5) == 0; }

// Resizes a buffer of the connection, keeping the memory count.
bool resize(char **buffer, long *size, long wanted)
{
    char *grown = static_cast<char *>(std::realloc(*buffer, static_cast<size_t>(wanted)));
    if (!grown) return false;
    memoryInUse += wanted - *size;
    *buffer = grown;
    *size = wanted;
    return true;
}

void release(char **buffer, long *size)
{
    std::free(*buffer);
    memoryInUse -= *size;
    *buffer = nullptr;
    *size = 0;
}

// Appends to the reply; answers the bytes taken (all, or what fits under the
// reply's bound).
long appendReply(HcConnection *k, const char *data, long size)
{
    long room = HC_MAX_REPLY - k->replyCount;
    long n = size < room ? size : room;
    long wanted = k->replySize > 0 ? k->replySize : kFirstReply;
    while (wanted < k->replyCount + n) wanted *= 2;
    if (wanted > HC_MAX_REPLY) wanted = HC_MAX_REPLY;
    if (wanted > k->replySize && !resize(&k->reply, &k->replySize, wanted)) return 0;
    std::memcpy(k->reply + k->replyCount, data, static_cast<size_t>(n));
    k->replyCount += n;
    return n;
}

int captureInterim(HttpContext *, const char *data, int size)
{
    int n = size < static_cast<int>(sizeof interim) ? size : static_cast<int>(sizeof interim);
    std::memcpy(interim, data, static_cast<size_t>(n));
    interimCount = n;
    return size;
}

// The interim reply, written by the handlers' own call once.
void prepareInterim()
{
    if (interimCount > 0) return;
    char in[2] = "";
    http_initContext(&context, in, 0, 0, output, sizeof output, nullptr, captureInterim, nullptr);
    Continue(&context);
}

int readNothing(HttpContext *) { return 0; }

int writeReply(HttpContext *c, const char *data, int size)
{
    HcConnection *k = static_cast<HcConnection *>(c->connection);
    if (k->interimSent == 1 && size == interimCount && std::memcmp(data, interim, static_cast<size_t>(size)) == 0) {
        k->interimSent = 2; // went out when the head arrived
        return size;
    }
    if (appendReply(k, data, size) == size) return size;
    if (!k->replyCut) std::printf("SameTask(): reply cut at %ld bytes\n", k->replyCount);
    k->replyCut = 1;
    return -1;
}

void becomeReady(HcConnection *k)
{
    k->phase = HC_READY;
    if (!k->body) k->received = k->headCount;
}

// The head is there: a POST with a body goes on receiving it.
void headArrived(HcConnection *k, int64_t now)
{
    if (!isPost(k)) return becomeReady(k);
    http_initContext(&context, k->head, k->headCount, HTTP_BUFFER_SIZE, output, sizeof output, nullptr, nullptr,
                     nullptr);
    const char *lf = std::strchr(k->head, '\n');
    context.lineEnd = lf ? static_cast<int>(lf - k->head) : k->headCount;
    readHTTPHeader(&context, 0);
    long length = context.contentLength;
    if (context.headerLength == 0 || length <= 0) return becomeReady(k);
    if (length > HC_MAX_BODY) {
        k->tooLarge = 1;
        return becomeReady(k);
    }
    k->needed = context.headerLength + length;
    if (k->headCount >= k->needed) return becomeReady(k);
    k->phase = HC_BODY;
    k->phaseMs = now;
    k->received = k->headCount;
    if (context.expect == 100) {
        prepareInterim();
        appendReply(k, interim, interimCount);
        k->interimSent = 1;
    }
}

bool belowRate(long bytes, int64_t elapsed)
{
    if (elapsed <= limits.graceMs) return false;
    return bytes * 1000 < (elapsed - limits.graceMs) * limits.bytesPerSec;
}

int checkHead(HcConnection *k, int64_t now)
{
    bool lineFeed = holdsLineFeed(k);
    if (k->headCount >= HTTP_BUFFER_SIZE && !lineFeed) return 0;
    if (lineFeed && !isPost(k) && now - k->lastDataMs >= limits.pauseMs) {
        becomeReady(k);
        return 1;
    }
    return now - k->acceptedMs < limits.headMs;
}

int checkReply(HcConnection *k, int64_t now)
{
    if (k->replySent >= k->replyCount) return 1;
    if (now - k->lastSentMs >= limits.stallMs) return 0;
    return !belowRate(k->replySent, now - k->phaseMs);
}

// The request as the handlers see it: all of it received, nothing more to come.
void answerInto(HcConnection *k)
{
    char *in = k->body ? k->body : k->head;
    int count = static_cast<int>(k->received);
    http_initContext(&context, in, count, count, output, sizeof output, readNothing, writeReply, k);
    safe_strncpy(context.clientAddress, k->clientAddress, sizeof context.clientAddress);
    if (k->tooLarge) ReportError(&context, "Syntax Error.");
    else http_processRequest(&context);
    http_flush(&context);
}

} // namespace

const HcLimits *HC_limits() { return &limits; }

void HC_setLimits(const HcLimits *l) { limits = *l; }

long HC_memoryInUse() { return memoryInUse; }

void HC_open(HcConnection *k, uint64_t sequence, const char *address, int64_t now)
{
    std::memset(k, 0, sizeof *k);
    k->phase = HC_HEAD;
    k->sequence = sequence;
    k->acceptedMs = k->phaseMs = k->lastDataMs = k->lastSentMs = now;
    safe_strncpy(k->clientAddress, address ? address : "", sizeof k->clientAddress);
}

void HC_close(HcConnection *k)
{
    release(&k->body, &k->bodySize);
    release(&k->reply, &k->replySize);
    k->phase = HC_FREE;
}

long HC_room(HcConnection *k, char **where)
{
    if (k->peerClosed) return 0;
    if (k->phase == HC_HEAD) {
        *where = k->head + k->headCount;
        return HTTP_BUFFER_SIZE - k->headCount;
    }
    if (k->phase != HC_BODY) return 0;
    if (k->received >= k->bodySize - 1) {
        long wanted = k->received + (k->bodySize > kBodyStep ? k->bodySize : kBodyStep);
        if (wanted > k->needed) wanted = k->needed;
        wanted++; // the terminating NUL
        bool first = !k->body;
        if (memoryInUse + wanted - k->bodySize + HC_MAX_REPLY > HC_MEMORY_BUDGET) return 0;
        if (!resize(&k->body, &k->bodySize, wanted)) return 0;
        if (first) std::memcpy(k->body, k->head, static_cast<size_t>(k->headCount));
    }
    long end = k->needed < k->bodySize - 1 ? k->needed : k->bodySize - 1;
    *where = k->body + k->received;
    return end - k->received;
}

void HC_received(HcConnection *k, long n, int64_t now)
{
    if (n <= 0) return;
    k->lastDataMs = now;
    if (k->phase == HC_HEAD) {
        k->headCount += static_cast<int>(n);
        k->head[k->headCount] = '\0';
        if (headEnded(k) || (k->headCount >= HTTP_BUFFER_SIZE && holdsLineFeed(k))) headArrived(k, now);
    } else if (k->phase == HC_BODY) {
        k->received += n;
        if (k->received >= k->needed) becomeReady(k);
    }
}

int HC_peerClosed(HcConnection *k)
{
    k->peerClosed = 1;
    if (k->phase == HC_HEAD || k->phase == HC_DRAIN) return 0;
    if (k->phase == HC_BODY) becomeReady(k);
    return 1;
}

int HC_check(HcConnection *k, int64_t now)
{
    switch (k->phase) {
    case HC_HEAD: return checkHead(k, now);
    case HC_BODY: return !belowRate(k->received - k->headCount, now - k->phaseMs);
    case HC_REPLY: return checkReply(k, now);
    case HC_DRAIN: return now - k->phaseMs < limits.drainMs;
    default: return 1;
    }
}

int HC_canAnswer() { return memoryInUse + HC_MAX_REPLY <= HC_MEMORY_BUDGET; }

void HC_answer(HcConnection *k, int64_t now)
{
    answerInto(k);
    release(&k->body, &k->bodySize);
    k->phase = HC_REPLY;
    k->phaseMs = k->lastSentMs = now;
    HC_sent(k, 0, now);
}

const char *HC_unsent(const HcConnection *k, long *size)
{
    *size = k->replyCount - k->replySent;
    return k->reply ? k->reply + k->replySent : "";
}

void HC_sent(HcConnection *k, long n, int64_t now)
{
    if (n > 0) {
        k->replySent += n;
        k->lastSentMs = now;
    }
    if (k->phase != HC_REPLY || k->replySent < k->replyCount) return;
    release(&k->reply, &k->replySize);
    k->replyCount = k->replySent = 0;
    k->phase = HC_DRAIN;
    k->phaseMs = now;
}

void HC_reset()
{
    limits = kDefaultLimits;
    memoryInUse = 0;
}
