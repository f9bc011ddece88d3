// Relay request of the HTTP client: one GET to a CGI program of the target,
// built from a command number and its arguments, over an optional kept-alive
// connection, or a run of reading requests side by side; the protocol drivers
// are built on it.
#pragma once

// Relay commands: what a relay request asks of the target.
enum {
    RLY_READ_VALUE = 0,
    RLY_WRITE_VALUE = 1,
    RLY_READ_FILE = 2,
    RLY_ORDER_VALUES = 3,
    RLY_ALARM = 6,
    RLY_TREND = 7,
    RLY_CGI_CALL = 8,
    RLY_CGI_READ = 9,
    RLY_TBOX_WRITE = 81,
    RLY_RAW = 82,
};

// Relay request. address is a host text ("a.b.c.d" or "a.b.c.d:port"), or
// null for the last resolved address. For RLY_WRITE_VALUE buffer holds the
// (already encoded) value on entry; for RLY_CGI_CALL it holds the request path
// and receives nothing. Otherwise buffer receives the reply body, at most
// size - 1 characters. Error texts are also left in buffer. Answers 1 when the
// reply status was 200, else 0. RelayURL waits while another caller is inside.
int RelayURL(const char *address, int command, const char *name, char *buffer, int size);
int RelayURL_synch(const char *address, int command, const char *name, char *buffer, int size);

#define SRVR_RELAY_WINDOW 4 // requests of SRVR_relayEach in flight at once

// Names request index into name (size bytes).
typedef void (*SrvrRelayName)(int index, char *name, int size, void *context);
// Takes the body of reply index (NUL-terminated; may be changed in place).
typedef void (*SrvrRelayTake)(int index, char *body, void *context);
// count relay requests of one reading command (RLY_READ_VALUE,
// RLY_READ_FILE), up to SRVR_RELAY_WINDOW of them in flight at once, each on
// a connection of its own (kept alive with keep-alive, as RelayURL keeps its
// one), each with the deadline of an exchange. The bodies are handed to take
// in the order of the requests, up to the first request that failed or was
// not answered with status 200. Answers 1 when every reply was taken, else 0.
int SRVR_relayEach(const char *address, int command, int count, SrvrRelayName nameOf, SrvrRelayTake take,
                   void *context);
// Start of the body in the last reply header scanned, or null.
const char *SRVR_getPointerToLastData();
// Closes the cached relay connection.
void SRVR_destroy();

// Keep-alive switch of the relay connection; switching it off closes the
// cached connection.
void SRVR_setKeepAlive(int on);
int SRVR_isKeepAliveEnabled();

// Closes the cached connection, empties the relay buffers, forgets the last
// reply and switches keep-alive off.
void SRVR_resetRelay();
