// Portal login. Owns the portal cookie. Reads the portal user and password
// from the settings; connects through the socket slots.
#include "transport/login.h"

#include <cstdio>
#include <cstring>

#include "runtime/log.h"
#include "runtime/settings.h"
#include "transport/http_internal.h"
#include "transport/sockets.h"
#include "transport/target_address.h"

namespace {

constexpr int kHeaderSize = 1024;

char portalCookie[SRVR_COOKIE_LENGTH + 1];

// GETs path on a new slot; answers the status (0 when no header came, -1 when
// no connection) and copies the header into header.
int portalGet(const char *path, char *header, int size)
{
    int slot = SRVR_OpenSocket(GetRemoteIpAddress());
    if (!slot) return -1;
    int bodyStart = 0, bodyLength = 0, status = 0;
    header[0] = '\0';
    if (SRVR_WriteGetHeader(slot, "", path, nullptr, 0) <= 0 ||
        SRVR_ReadHttpHeader(slot, header, size, &bodyStart, &bodyLength, &status) <= 0)
        status = 0;
    SRVR_CloseSocket(slot);
    return status;
}

void takePortalCookie(const char *header)
{
    const char *cookie = std::strstr(header, "Set-Cookie:");
    if (cookie) cookie = std::strstr(cookie, "Session-ID=");
    if (!cookie) return;
    cookie += std::strlen("Session-ID=");
    size_t n = std::strcspn(cookie, ";\r\n");
    if (n > SRVR_COOKIE_LENGTH) n = SRVR_COOKIE_LENGTH;
    std::memcpy(portalCookie, cookie, n);
    portalCookie[n] = '\0';
}

} // namespace

int VpiLogin(const char *hostText)
{
    portalCookie[0] = '\0';
    SetRemoteHost(hostText);
    char path[SRVR_PATH_SIZE];
    std::snprintf(path, sizeof path, "servlet/vpilogin?user=%s&password=%s", pterm.vpi_user, pterm.vpi_pass);
    char header[kHeaderSize];
    int status = portalGet(path, header, sizeof header);
    if (status < 0) {
        err_append(0, "Unreachable host\n %s\n", hostText ? hostText : "");
        return 0;
    }
    if (status == 200) takePortalCookie(header);
    portalGet("servlet/vpihome", header, sizeof header);
    if (portalCookie[0]) return 1;
    err_append(0, "Login failed on VPI-Portal %s\n", hostText ? hostText : "");
    return 0;
}

const char *SRVR_getPortalCookie() { return portalCookie; }

void SRVR_resetLogin() { portalCookie[0] = '\0'; }
