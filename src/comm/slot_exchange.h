// Replies of the drivers that talk to the target over a socket slot of the
// HTTP client (ILR, OPC XML-DA, S7): the reply header and its body, read into
// the caller's buffers with their limits. No state of its own.
#pragma once

#define SX_HEADER_SIZE 4096 // the largest reply header a driver reads

// One reply as far as it was read.
struct SxReply {
    char header[SX_HEADER_SIZE]; // the header alone, NUL-terminated
    int headerBytes;             // bytes received with the header; 0 when none arrived
    int status;                  // the reply status, 0 when unknown
    long contentLength;          // the announced body length, -1 when none
    int bodyLength;              // body bytes in the caller's buffer
    bool complete;               // the body was read to its announced length (or to its end)
    bool cut;                    // the body did not fit into the caller's buffer
};

// Reads the reply header on slot, at most headerLimit bytes (at most
// SX_HEADER_SIZE), and copies the body bytes that came with it into body
// (bodySize bytes, at least 1, kept NUL-terminated). False when no header
// arrived.
bool SX_readHeader(int slot, int headerLimit, SxReply *reply, char *body, int bodySize);
// Reads the rest of the body: up to its content length, or without one until
// the target closes the connection or the body ends with endMark (case
// ignored; null: none). A body that does not fit is cut at bodySize - 1
// bytes. Sets and answers reply->complete.
bool SX_readBody(int slot, SxReply *reply, char *body, int bodySize, const char *endMark);
// The header's first line without its line end into dst (size bytes); false,
// with dst emptied, when the header has no carriage return.
bool SX_statusLine(const SxReply *reply, char *dst, int size);
// Whether the header holds the text (case ignored).
bool SX_headerHas(const SxReply *reply, const char *text);
