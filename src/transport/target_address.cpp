// Target address and remote status. Owns the address text, the host name, the
// remote path, the last resolved address and the file and data modes. Reads
// the settings; through the hooks it asks for a fresh order and a redraw when
// the remote status changes.
#include "transport/target_address.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>

#include "runtime/hooks.h"
#include "runtime/network.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_internal.h"

namespace {

char remoteIpAddress[SRVR_ADDRESS_SIZE];
char wwwHostName[SRVR_HOST_NAME_SIZE];
char remotePath[SRVR_PATH_SIZE];
SrvrAddress lastResolved;
int useRemoteFileServer;
int useRemoteDataServer;

} // namespace

bool SRVR_resolveTarget(const char *hostText, SrvrAddress *target)
{
    uint32_t ip = 0;
    int port = 80;
    if (!SRV_resolveHostName(hostText, &ip, &port)) return false;
    *target = {ip, port};
    lastResolved = *target;
    return true;
}

SrvrAddress SRVR_lastResolved() { return lastResolved; }

void SRVR_dottedAddress(uint32_t ip, char *dst, size_t size)
{
    std::snprintf(dst, size, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255u, (ip >> 8) & 255u, ip & 255u);
}

int SRV_resolveHostName(const char *hostText, uint32_t *address, int *port)
{
    if (!hostText || !address || !port) return 0;
    char text[SRVR_HOST_NAME_SIZE];
    host2ip(text, sizeof text, hostText);
    *port = 80;
    if (char *colon = std::strchr(text, ':')) {
        *colon = '\0';
        int number = 0;
        if (!str_parseInt(colon + 1, &number) || number < 0) return 0;
        if (number & 0xFFFF) *port = number & 0xFFFF;
    }
    in_addr parsed = {};
    if (inet_pton(AF_INET, text, &parsed) != 1) return 0;
    *address = ntohl(parsed.s_addr);
    return *address != 0;
}

void SetRemoteHost(const char *hostText)
{
    if (!hostText || hostText[0] == '\0') {
        SetRemoteStatus(0);
        return;
    }
    setHostName(hostText);
    host2ip(remoteIpAddress, sizeof remoteIpAddress, hostText);
    SrvrAddress target;
    if (!SRVR_resolveTarget(remoteIpAddress, &target)) return;
    if (useRemoteDataServer != 0) SetRemoteStatus(useRemoteDataServer);
}

const char *GetRemoteIpAddress() { return remoteIpAddress; }
const char *getHostName() { return wwwHostName[0] ? wwwHostName : nullptr; }

void setHostName(const char *text)
{
    if (!text || std::strlen(text) >= sizeof wwwHostName) wwwHostName[0] = '\0';
    else safe_strncpy(wwwHostName, text, sizeof wwwHostName);
}

void SetRemoteStatus(int mode)
{
    if (mode < 0 || mode > 2) return;
    useRemoteFileServer = mode > 0;
    useRemoteDataServer = mode;
    if (mode != 0 && pterm.remote_mode != 0) {
        useRemoteFileServer = 0;
        if (pterm.remote_mode == 2) useRemoteDataServer = 2;
    }
    HK_hooks()->forceOrder();
    HK_hooks()->scheduleFullRedraw();
}

int GetRemoteStatus() { return useRemoteDataServer; }
int GetRemoteDSStatus() { return useRemoteDataServer; }
int SRVR_isRemoteFileServer() { return useRemoteFileServer; }
void SetRemotePath(const char *text) { safe_strncpy(remotePath, text ? text : "", sizeof remotePath); }
const char *GetRemotePath() { return remotePath; }

void SRVR_resetAddress()
{
    remoteIpAddress[0] = '\0';
    wwwHostName[0] = '\0';
    remotePath[0] = '\0';
    lastResolved = {0, 0};
    useRemoteFileServer = 0;
    useRemoteDataServer = 0;
}
