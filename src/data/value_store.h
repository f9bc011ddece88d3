// Value store of the data server: the panel's own store of named values. The
// native driver reads and writes it when no remote data server is set, and the
// embedded server's CGI programs serve it to other clients. Owns the store,
// its lock and the refresh counter; reads the client's target address and
// status, asks for a page load through the hooks and drives digital outputs
// (pseudo-values). The server thread reaches the panel only through this
// store: its reads of those pseudo-values see a copy that the main thread keeps
// current, and its writes wait in a queue that the main thread carries out.
#pragma once

#define DS_VALUE_SIZE 256        // value buffers: at most 255 characters and the NUL
#define DS_STORE_BYTES 262144    // the store's own area
#define DS_CLIENT_READ_NAMES 256 // names one client's reads may create and keep

// The data-server lock around every operation on the store and the order
// lists. The lock may be taken again by the thread that holds it.
void SYNC_CS_CRITICAL_ENTER();
void SYNC_CS_CRITICAL_EXIT();

// Empties the store; User becomes "Unknown" and Password empty.
void DS_Initialize();
// 1 once DS_Initialize has run (and no DS_resetAll since).
int DS_isInitialized();
// Advances the refresh counter: 0, 1, ... 100, 0 again.
void DS_Refresh();
// Counter back to 0 and the store emptied.
void DS_Reset();
// Back to before DS_Initialize: store empty, counter 0, not initialised (reads
// and writes of stored names answer 0), User and Password empty. DS_Reset only
// empties the store for a new page and keeps it usable.
void DS_resetAll();

#define DS_PANEL_WRITES 16 // pseudo-value writes of clients waiting for the main thread
#define DS_BASE_SIZE 1024  // the copy of the page directory

// Value of a name (pseudo-values first, then the store) into out, which holds
// DS_VALUE_SIZE bytes. A non-null context marks a call for a client of the
// embedded server (any thread): pseudo-values that reach into the panel then
// read the main thread's copy and their writes are queued for it. A stored name read for the first time is created with
// "0". Answers 1 when a value was delivered; 0 when the store is full (out then
// holds "<name> not found.\n").
int DS_readVal(const char *name, char *out, void *context);
// A client's read (as DS_readVal with a context) from the client address
// given (text, may be empty). The names its reads create are bounded: beyond
// DS_CLIENT_READ_NAMES the client's own oldest such name (never written) makes
// room, and a full store gives up the oldest such name of any client. Names
// the panel created or anybody wrote are never given up.
int DS_clientReadVal(const char *name, char *out, const char *client);
// Writes value (pseudo-values first, then the store). value is a buffer of
// DS_VALUE_SIZE bytes: a name that the store does not hold is refused, and the
// buffer then holds "<name> not found.\n". Answers 1 when written, 0 refused.
int DS_writeVal(const char *name, char *value, void *context);
// The store hands out no pointers: always null; callers use DS_readVal.
char *DS_readValPtr(const char *name);

// Main thread, once per turn of the event loop: carries out the queued writes
// of clients (target address and status, page loads, digital outputs) and
// renews the copy of the panel state that clients read (target address, path
// and status, the page directory).
void DS_exchangeWithPanel();
// Any thread: the page directory as of the last exchange.
void DS_panelDocumentBase(char *dst, int size);

// The store operations behind DS_readVal and DS_writeVal.
int DS_PPO_CACHE_readVal(const char *name, char *out);
int DS_PPO_CACHE_writeVal(const char *name, char *value);

extern char User[32];
extern char Password[32];
