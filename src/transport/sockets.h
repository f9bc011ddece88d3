// TCP connections of the HTTP client and the socket slots: exchanges that need
// their own connection (file downloads, the POST exchanges of the XML-based
// drivers), and the reading of reply headers.
#pragma once

#define SRVR_BUFFER_SIZE 65535
#define SRVR_SOCKET_SLOTS 4 // slot 0 is never handed out
#define SRVR_DEFAULT_TIMEOUT_MS 10000

// Marks the socket slots free; done lazily by every entry point.
void SRVR_Initialize();
// Opens a slot's connection; its exchange has the time-out from now on.
// Answers the slot, or 0 when all are busy, the connection failed, or the
// panel is taking display events from inside another exchange's wait.
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
// already received and *status the reply status; -1 when the connection
// ended or failed, the slot's deadline passed (the connection is then
// dropped), or the header does not fit into the buffer.
int SRVR_ReadHttpHeader(int slot, char *buffer, int size, int *bodyStart, int *bodyLength, int *status);
void SRVR_CloseSocket(int slot);

// The integer after "Content-Length:"; 0 when missing or when no line feed
// follows it.
int SRV_getContentLength(const char *header);

// Time-out of an exchange as a whole in milliseconds (10 s unless changed;
// values below 1 restore it): a relay request, and a slot from its opening to
// its closing, must be done by then, or the exchange is cut and reported.
void SRVR_setTimeout(int milliseconds);
int SRVR_getTimeout();
// Connections opened so far (relay and slots), for diagnostics and tests.
unsigned SRVR_getConnectCount();

// Closes the slots' connections and frees the slots, drops pending output,
// and restores the time-out and the connection count.
void SRVR_resetSockets();
