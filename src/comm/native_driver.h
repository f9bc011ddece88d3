// Native CGI protocol driver and file layer: the single entry to the target for
// the rest of the panel. Chooses the protocol for the target the page names,
// dispatches the order, read and write of process values to that protocol's
// driver, fires CGI calls, relays alarm and trend queries, and opens files
// that live on the target or locally (RAM disk, then disk).
// Owns the target choice, the order limit and block count, the refresh
// counter, the force-order flag and the text encoding of open files. Works on
// the process-point cache; reads page parameters; uses the HTTP client, the
// RAM disk, the local data server, the value formats and the log.
#pragma once

struct PpoList;

// Target type codes (settings record `target_type`).
enum {
    TARSEL_TARGET_OTHER = 100,
    TARSEL_TARGET_SAIA = 101,
    TARSEL_TARGET_WEBFACTORY = 102,
    TARSEL_TARGET_BECKHOFF = 103,
    TARSEL_TARGET_WAGO = 105,
    TARSEL_TARGET_SIMATIC = 107,
    TARSEL_TARGET_TBOX = 108,
    TARSEL_TARGET_PHOENIX = 109,
    TARSEL_TARGET_SAMSON = 111,
    TARSEL_TARGET_XX7 = 117,
};

// Service numbers: which driver serves the target.
enum {
    TARSEL_SERVICE_NATIVE = 1,
    TARSEL_SERVICE_OPC = 3,
    TARSEL_SERVICE_WAGO = 5,
    TARSEL_SERVICE_S7 = 7,
    TARSEL_SERVICE_TBOX = 8,
    TARSEL_SERVICE_ILR = 10,
};

#define TARSEL_ORDER_LIMIT 1500    // default characters of one order request
#define TARSEL_FORCE_EVERY 20      // refreshes between forced orders
#define TARSEL_ORDER_RESTARTS 3    // new starts of an order the target answered "Error."
#define TARSEL_VALUE_SIZE 256
#define TARSEL_MAX_BLOCKS 1024    // order blocks of one order
#define TARSEL_REMOTE_HANDLE_BASE 32 // remote file handles: 33..47

// Which driver serves the target (a service number below).
extern int remoteServiceId;

// Target selection at page load.
void Tarsel_setServiceId(const char *targetName);
void Tarsel_setTarget(const char *targetName);
void Tarsel_loadHtmlParameters(const char *buffer);
int Tarsel_getServiceId();
int Tarsel_getOrderLimit();
int Tarsel_getBlockCount();
// Makes the next refresh send a fresh order.
void Tarsel_setForceOrder();

// Values.
int Tarsel_readVal(const char *name, char *dst, int size);
char *Tarsel_readValPtr(const char *name);
int Tarsel_forceReadVal(const char *name, char *dst, int size);
int Tarsel_writeVal(const char *name, const char *value, int size);
int Tarsel_cgiCall(const char *text, int size);
int Tarsel_refresh(int force);
void Tarsel_clearView();
int Tarsel_addPPO(const char *name, int convertOnly);
const char *Tarsel_orderPPO(const char *name);
int Tarsel_readAlarm(const char *query, char *reply, int size);
int Tarsel_readTrend(const char *query, char *reply, int size);

// Files. Handles are those of the RAM disk (0..31) for local files and
// TARSEL_REMOTE_HANDLE_BASE + slot for files of the target; -1 is failure.
int Tarsel_fileOpen(const char *name, const char *mode);
// Next character, -1 at the end; in a UTF-16 text file two bytes, low first.
int Tarsel_fileGetc(int handle);
int Tarsel_fileRead(void *buffer, int size, int count, int handle);
// Reads one line into buffer (max bytes with the NUL), dropping the rest of a
// longer line and a carriage return at its end; *endFlag becomes 1 at the end
// of the file. Answers the stored length.
int Tarsel_fileReadln(char *buffer, int max, int handle, int *endFlag);
int Tarsel_filePutc(int character, int handle);
int Tarsel_fileSize(int handle);
int Tarsel_getFileHandle(int handle);
void Tarsel_fileClose(int handle);
void Tarsel_fileCloseLetFileInCache(int handle, int keep);
int Tarsel_loadFileTo(const char *destination, const char *fileName);
int Tarsel_loadMsgBox(const char *fileName);

// Driver dispatch by service number; host is the target's address text.
int SRVR_OrderValue(const char *host, const char *orderString, char *reply, int size, PpoList *list);
int SRVR_ReadFile(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
int SRVR_WriteVal(const char *host, const char *name, const char *value, int size);
int SRVR_ReadVal(const char *host, const char *name, char *dst, int size);
int SRVR_CgiCall(const char *host, const char *text, int size);
int SRVR_readCgiCall(const char *host, const char *path, char *dst, int size);

// The native protocol: order the read list in blocks, read the blocks' files.
int SP_orderValues(const char *host, const char *orderString, char *reply, int size, PpoList *list);
int SP_readValues(const char *host, const char *orderFileName, char *buffer, int size, PpoList *list);
