// What the parts of the HTTP client share among themselves: addresses, request
// texts being built, the TCP connections and the reading of reply headers.
// Included only by the files of src/transport; callers use http_client.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "runtime/pump.h"
#include "transport/relay.h"

// A resolved target: the address with its first octet in the most significant
// byte, and the port.
struct SrvrAddress {
    uint32_t ip;
    int port;
};

// A request text built into a fixed buffer; overflow is set (and the text
// left as it was) when an append does not fit.
struct SrvrText {
    char *data;
    size_t length;
    size_t capacity;
    bool overflow;
};

// How the variable parts of a request are written.
enum class SrvrCoding {
    Plain, // as given (control characters escaped)
    Page,  // URL_encode: the page's choice
    Order, // order string: like Page, but "+" separates names and stays
};

// ---- request texts (url_coding.cpp) ----
void SRVR_appendBytes(SrvrText &b, const char *text, size_t n);
void SRVR_appendText(SrvrText &b, const char *text);
void SRVR_appendCoded(SrvrText &b, const char *text, SrvrCoding coding);
bool SRVR_isControl(unsigned char c);
// User-Agent, the portal cookie, the Host header and, with keepAlive, the
// keep-alive request.
void SRVR_appendCommonHttpHeadersKeepAlive(SrvrText &b, bool keepAlive);

// ---- connections and reply headers (sockets.cpp) ----
// Every exchange with the target has a deadline as a whole: the time of
// PUMP_nowMs() by which connecting, sending and receiving must be done. Every
// wait is a poll of at most PUMP_SLICE_MS, with the pending display events
// taken between the slices.
int64_t SRVR_deadline();
// False, with a log line, while the panel takes display events from inside a
// wait: a second exchange must not start then.
bool SRVR_exchangeAllowed(const char *what);
// Opens a non-blocking TCP connection with the options of a relay or a slot
// connection; -1 with the connection message set on failure (also when the
// deadline passes while connecting).
int SRVR_openTcp(SrvrAddress target, bool relay, int64_t deadline);
// Starts such a connection without waiting, for exchanges that wait for
// several at once: the socket, or -1 with the connection message set.
int SRVR_startTcp(SrvrAddress target, bool relay);
// Counts a connection found standing (for SRVR_getConnectCount).
void SRVR_noteConnected();
// Sets the connection message for a failed connection to target and answers it.
const char *SRVR_failedConnection(SrvrAddress target);
// Closes a connection after a complete exchange.
void SRVR_closeTcp(int sock);
// Drops a connection at once (reset), for exchanges that failed or were cut.
void SRVR_abortTcp(int sock);
// True when everything was sent before the deadline.
bool SRVR_sendAll(int sock, const char *data, size_t length, int64_t deadline);
enum {
    SRVR_IO_END = 0,       // the peer ended the stream
    SRVR_IO_ERROR = -1,    // an error, a reset
    SRVR_IO_DEADLINE = -2, // nothing arrived before the deadline
};
// One receive: bytes, or one of the SRVR_IO_ results.
ssize_t SRVR_receiveSome(int sock, char *buffer, size_t length, int64_t deadline);
// Why the last connection attempt failed.
const char *SRVR_connectionMessage();
// Finds the end of the header in text: the first "\n\n", "\r\n\r\n" or
// "\r\r". Answers 1 with *bodyStart and *status set when a header is complete;
// a status of 400 or more counts as complete at once, "100 Continue" never.
int SRVR_getPointerToData(const char *text, int length, int *bodyStart, int *status);
// Content length announced in header[0 .. headerLength): -1 when there is no
// usable one (missing, no line feed after it, negative or not a number).
long SRVR_headerContentLength(const char *header, int headerLength);

// ---- kept-alive connections (kept_links.cpp) ----
#define SRVR_KEPT_LINKS SRVR_RELAY_WINDOW // one per request in flight
// A kept connection to target, taken out for one exchange, or -1 when none
// is kept; connections idle for 10 s or to another address are closed.
int SRVR_takeKept(SrvrAddress target);
// Gives a connection back after a complete exchange; closed when every place
// is taken.
void SRVR_keep(SrvrAddress target, int sock);
// True when a connection to target is kept.
bool SRVR_hasKept(SrvrAddress target);
// Closes every kept connection.
void SRVR_closeKept();

// ---- relay requests (relay.cpp) ----
// Builds the request text of a relay command into b. False for an unknown
// command or a request that does not fit, with the text in buffer, reported.
bool SRVR_buildRelayRequest(SrvrText &b, int command, const char *name, const char *input, bool keepAlive, char *buffer,
                            int size);
// Lets one relay exchange in at a time: false (with "Relay URL: busy !" in
// buffer) when this thread is inside one or takes display events from inside
// a wait; waits while another thread is inside.
bool SRVR_enterRelay(char *buffer, int size);
void SRVR_leaveRelay();
// Forgets what the runs of reading requests learnt of targets.
void SRVR_resetRelayBatch();

// ---- target address (target_address.cpp) ----
// Resolves a host text into *target and remembers it as the last resolved
// address; false when it cannot be resolved.
bool SRVR_resolveTarget(const char *hostText, SrvrAddress *target);
SrvrAddress SRVR_lastResolved();
void SRVR_dottedAddress(uint32_t ip, char *dst, size_t size);

// ---- portal login (login.cpp) ----
// The portal cookie, empty when none is held.
const char *SRVR_getPortalCookie();
