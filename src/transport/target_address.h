// Target address and remote status of the HTTP client: the host the panel
// talks to, the Host header, the remote path, and the file and data modes
// that decide whether pages and values come from the target at all.
#pragma once
#include <cstdint>

#define SRVR_ADDRESS_SIZE 32
#define SRVR_HOST_NAME_SIZE 128
#define SRVR_PATH_SIZE 256

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

// Back to no target: address, host name, remote path and last resolved
// address empty, files and data local.
void SRVR_resetAddress();
