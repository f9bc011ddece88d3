// Replies on socket slots: header and body into the caller's buffers. No
// state; the slots belong to the HTTP client.
#include "comm/slot_exchange.h"

#include <cstring>

#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr int kChunk = 4096;

// Position of text in header (case ignored), or null.
const char *findIgnoringCase(const char *header, const char *text)
{
    size_t n = std::strlen(text);
    for (const char *p = header; *p; p++)
        if (stringnicmp(p, text, n)) return p;
    return nullptr;
}

// "Content-Length:" followed by blanks and digits, and a line feed after it.
long announcedLength(const char *header)
{
    const char *p = findIgnoringCase(header, "Content-Length:");
    if (!p || !std::strchr(p, '\n')) return -1;
    p += 15;
    while (*p == ' ') p++;
    if (*p < '0' || *p > '9') return -1;
    long value = 0;
    for (; *p >= '0' && *p <= '9'; p++) value = value > 100000000L ? 1000000000L : value * 10 + (*p - '0');
    return value;
}

bool endsWithIgnoringCase(const char *body, int length, const char *mark)
{
    int n = static_cast<int>(std::strlen(mark));
    return length >= n && stringnicmp(body + length - n, mark, static_cast<size_t>(n));
}

} // namespace

bool SX_readHeader(int slot, int headerLimit, SxReply *reply, char *body, int bodySize)
{
    reply->header[0] = '\0';
    reply->headerBytes = 0;
    reply->status = 0;
    reply->contentLength = -1;
    reply->bodyLength = 0;
    reply->complete = false;
    reply->cut = false;
    body[0] = '\0';
    if (headerLimit > SX_HEADER_SIZE) headerLimit = SX_HEADER_SIZE;
    int bodyStart = 0, bodyBytes = 0, status = 0;
    int received = SRVR_ReadHttpHeader(slot, reply->header, headerLimit, &bodyStart, &bodyBytes, &status);
    if (received <= 0) {
        reply->header[0] = '\0';
        return false;
    }
    reply->headerBytes = received;
    reply->status = status;
    int copied = bodyBytes < bodySize - 1 ? bodyBytes : bodySize - 1;
    if (copied < 0) copied = 0;
    std::memcpy(body, reply->header + bodyStart, static_cast<size_t>(copied));
    body[copied] = '\0';
    reply->bodyLength = copied;
    reply->cut = bodyBytes > reply->bodyLength;
    reply->header[bodyStart] = '\0';
    reply->contentLength = announcedLength(reply->header);
    return true;
}

bool SX_readBody(int slot, SxReply *reply, char *body, int bodySize, const char *endMark)
{
    long want = reply->contentLength;
    for (;;) {
        if (want >= 0 && reply->bodyLength >= want) break;
        if (want < 0 && endMark && endsWithIgnoringCase(body, reply->bodyLength, endMark)) break;
        int room = bodySize - 1 - reply->bodyLength;
        if (room <= 0) {
            reply->cut = true;
            break;
        }
        int n = SRVR_ReadBuffer(slot, body + reply->bodyLength, room < kChunk ? room : kChunk);
        if (n <= 0) {
            body[reply->bodyLength] = '\0';
            reply->complete = want < 0; // without a length the end of the stream ends the body
            return reply->complete;
        }
        reply->bodyLength += n;
        body[reply->bodyLength] = '\0';
    }
    reply->complete = true;
    return true;
}

bool SX_statusLine(const SxReply *reply, char *dst, int size)
{
    dst[0] = '\0';
    const char *cr = std::strchr(reply->header, '\r');
    if (!cr) return false;
    size_t n = static_cast<size_t>(cr - reply->header);
    if (n >= static_cast<size_t>(size)) n = static_cast<size_t>(size) - 1;
    std::memcpy(dst, reply->header, n);
    dst[n] = '\0';
    return true;
}

bool SX_headerHas(const SxReply *reply, const char *text) { return findIgnoringCase(reply->header, text) != nullptr; }
