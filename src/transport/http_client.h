// HTTP client to the target: the relay request with its one kept-alive
// connection, socket slots for exchanges that need their own connection, file
// downloads into the RAM disk and remote files, the target address and remote
// status, URL encoding of names and values, the portal login.
// Owns the sockets, the relay and slot buffers, the file slots and the address
// state. Reads the settings; writes the RAM disk and the log. Through the
// hooks it reads the document base and the page parameters, resolves the
// names it sends, and asks for a fresh order and a redraw when the remote
// status changes. Main thread; the relay request is
// also guarded against a second caller.
#pragma once
#include <cstddef>
#include <cstdint>

#define SRVR_BUFFER_SIZE 65535
#define SRVR_SOCKET_SLOTS 4 // slot 0 is never handed out
#define SRVR_FILE_SLOTS 16  // slot 0 is never handed out
#define SRVR_ADDRESS_SIZE 32
#define SRVR_HOST_NAME_SIZE 128
#define SRVR_PATH_SIZE 256
#define SRVR_COOKIE_LENGTH 13
#define SRVR_DEFAULT_TIMEOUT_MS 10000

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

// Results of a file download besides 0 (done) and the negated HTTP status of
// a refused request (for example -404).
enum {
    SRVR_GETFILE_NO_TEMP_FILE = -1,
    SRVR_GETFILE_NO_CONNECTION = -2,
    SRVR_GETFILE_SEND_FAILED = -3,
    SRVR_GETFILE_NO_HEADER = -4,
    SRVR_GETFILE_DISK_FULL = -5,
    SRVR_GETFILE_INCOMPLETE = -6,
};

// Relay request. address is a host text ("a.b.c.d" or "a.b.c.d:port"), or
// null for the last resolved address. For RLY_WRITE_VALUE buffer holds the
// (already encoded) value on entry; for RLY_CGI_CALL it holds the request path
// and receives nothing. Otherwise buffer receives the reply body, at most
// size - 1 characters. Error texts are also left in buffer. Answers 1 when the
// reply status was 200, else 0. RelayURL waits while another caller is inside.
int RelayURL(const char *address, int command, const char *name, char *buffer, int size);
int RelayURL_synch(const char *address, int command, const char *name, char *buffer, int size);
// Start of the body in the last reply header scanned, or null.
const char *SRVR_getPointerToLastData();
// The integer after "Content-Length:"; 0 when missing or when no line feed
// follows it.
int SRV_getContentLength(const char *header);

// Socket slots.
void SRVR_Initialize();
int SRVR_OpenSocket(const char *hostText);
int SRVR_WriteGetHeader(int slot, const char *path, const char *file, const char *extra, int extraLength);
int SRVR_PutPostHeader(int slot, const char *path, const char *file, const char *contentType, int contentLength,
                       const char *extra, int extraLength);
int SRVR_PutBuffer(int slot, const void *data, int length);
int SRVR_Flush(int slot);
// Bytes sent; 0 for a slot that is not open; -1 when sending failed (the
// slot's connection is then closed).
int SRVR_WriteBuffer(int slot, const void *data, int length);
// Bytes received; 0 at the end of the reply or for a slot that is not open;
// -1 on an error or a time-out (the slot's connection is then closed).
int SRVR_ReadBuffer(int slot, void *buffer, int length);
// Reads a reply header into buffer (size bytes, NUL-terminated), skipping an
// interim "100 Continue" header. Answers the bytes received when a header was
// read, with *bodyStart the offset of the body, *bodyLength the body bytes
// already received and *status the reply status; 0 when no header arrived and
// the connection may still deliver one; -1 when the connection ended, failed
// or timed out, or the header does not fit into the buffer.
int SRVR_ReadHttpHeader(int slot, char *buffer, int size, int *bodyStart, int *bodyLength, int *status);
void SRVR_CloseSocket(int slot);
// Closes the cached relay connection.
void SRVR_destroy();

// Downloads documentBase + fileName into the RAM disk under destination (or
// under fileName when destination is null or empty). Answers 0 when the whole
// file arrived, else a negative result (above). A failed download leaves no
// file behind.
int TarselLinkGetFile(const char *address, const char *documentBase, const char *fileName, const char *destination);
// Remote files: downloaded on open and read from the RAM-disk copy. Only with
// files from the target and modes beginning with "r". Answers a file slot
// (1..15) or -1.
int SRVR_fileOpen(const char *fileName, const char *mode);
// With keep 0 the last downloaded copy is deleted when the last remote file
// closes. Answers 0, or -1 for a slot that is not open.
int SRVR_fileClose(int slot, int keep);
// The RAM-disk handle behind a file slot, -1 when the slot is not open.
int SRVR_fileHandle(int slot);
// The size recorded at open, -1 when the slot is not open.
int SRVR_fileSize(int slot);
// The temporary name of a downloaded file (at most size - 1 characters, the
// end of the name is kept).
void RLY_fileName(const char *documentBase, const char *fileName, char *dst, size_t size);
void TarselLinkRemoveLastTempFile();
const char *Tarsel_getLastTempFile();

// Target address and remote status.
void SetRemoteHost(const char *hostText);
const char *GetRemoteIpAddress();
// The host name sent as Host header, null when empty.
const char *getHostName();
void setHostName(const char *text);
// Resolves "host" or "host:port" to an address (first octet in the most
// significant byte) and a port (80 when none is given or when its low 16 bits
// are 0). Answers 1, or 0 when the host cannot be resolved.
int SRV_resolveHostName(const char *hostText, uint32_t *address, int *port);
// Mode 0 local, 1 values and files from the target, 2 local data server first.
void SetRemoteStatus(int mode);
int GetRemoteStatus();
int GetRemoteDSStatus();
// 1 when files come from the target.
int SRVR_isRemoteFileServer();
void SetRemotePath(const char *text);
const char *GetRemotePath();

// Keep-alive switch of the relay connection; switching it off closes the
// cached connection.
void SRVR_setKeepAlive(int on);
int SRVR_isKeepAliveEnabled();
// Send and receive time-out of new connections in milliseconds (10 s unless
// changed; values below 1 restore it).
void SRVR_setTimeout(int milliseconds);
// Connections opened so far (relay and slots), for diagnostics and tests.
unsigned SRVR_getConnectCount();

// Encodes text in place for a request to the target, within a buffer of size
// bytes. With the page parameter "encodeSpecialChar" "on", the percent sign,
// the blank, the plus sign, the slash, the backslash and the equals sign
// become "%xx"; otherwise blanks become "+". Control characters always become
// "%xx". Answers 1, or 0 when the result would not fit (text unchanged).
int URL_encode(char *text, size_t size);
// 1 when the page asks for percent-encoded request texts.
int SRVR_isSpecialCharEncoding();
// Length of a text of an order string once encoded for the request.
size_t SRVR_orderEncodedLength(const char *text);

// Portal login: answers 1 when a portal cookie was obtained.
int VpiLogin(const char *hostText);
void SRV_printURL(uint32_t address, int port, const char *request);
