// Kept-alive connections to the target. Owns up to SRVR_KEPT_LINKS open
// connections with their address and the time of their last use; an exchange
// takes one out and gives it back when its reply came whole. Main thread only.
#include <cstdint>

#include "runtime/platform.h"
#include "transport/http_internal.h"

namespace {

constexpr uint32_t kIdleTicks = 1000; // 10 s in 10 ms ticks

struct KeptLink {
    bool open; // false: the place is free
    SrvrAddress target;
    int sock;
    uint32_t lastUse;
};

KeptLink kept[SRVR_KEPT_LINKS];

void closeLink(KeptLink &k)
{
    SRVR_closeTcp(k.sock);
    k.open = false;
}

} // namespace

int SRVR_takeKept(SrvrAddress target)
{
    uint32_t now = SYS_get10Milliseconds();
    int found = -1;
    for (KeptLink &k : kept) {
        if (!k.open) continue;
        if (k.target.ip != target.ip || k.target.port != target.port || now - k.lastUse >= kIdleTicks) closeLink(k);
        else if (found < 0) {
            found = k.sock;
            k.open = false;
        }
    }
    return found;
}

void SRVR_keep(SrvrAddress target, int sock)
{
    if (sock < 0) return;
    for (KeptLink &k : kept) {
        if (k.open) continue;
        k = {true, target, sock, SYS_get10Milliseconds()};
        return;
    }
    SRVR_closeTcp(sock);
}

bool SRVR_hasKept(SrvrAddress target)
{
    for (const KeptLink &k : kept)
        if (k.open && k.target.ip == target.ip && k.target.port == target.port) return true;
    return false;
}

void SRVR_closeKept()
{
    for (KeptLink &k : kept)
        if (k.open) closeLink(k);
}
