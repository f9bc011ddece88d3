// Operator commands and their age: the input being handled, when it was made,
// whether its dropping was reported, and whether its command is being sent.
#include "runtime/command_age.h"

#include <cstdio>

#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/settings.h"

namespace {

thread_local bool handling;
thread_local bool reported;
thread_local bool sending;
thread_local int64_t madeAt;

} // namespace

int CMD_timeoutMs() { return pterm.cmd_timeout_ms > 0 ? pterm.cmd_timeout_ms : CMD_TIMEOUT_DEFAULT_MS; }

int64_t CMD_begin(int64_t madeMs)
{
    int64_t outer = handling ? madeAt : 0;
    handling = true;
    reported = false;
    madeAt = madeMs;
    return outer;
}

void CMD_end(int64_t outer)
{
    handling = outer > 0;
    madeAt = outer;
    sending = false;
}

int64_t CMD_madeMs() { return handling ? madeAt : PUMP_nowMs(); }

int CMD_maySend(const char *what)
{
    if (!handling) return 1;
    int64_t age = PUMP_nowMs() - madeAt;
    if (age <= CMD_timeoutMs()) return 1;
    if (reported) return 0;
    reported = true;
    char text[ERR_BUFFER_SIZE];
    std::snprintf(text, sizeof text, "Not sent: given %ld.%ld s ago, the target could not be reached in time !\n %s\n",
                  static_cast<long>(age / 1000), static_cast<long>(age % 1000 / 100), what ? what : "");
    err_append(0, "%s", text);
    return 0;
}

void CMD_beginSend() { sending = handling; }
void CMD_endSend() { sending = false; }

int64_t CMD_limitDeadline(int64_t deadline)
{
    if (!sending) return deadline;
    int64_t expiry = madeAt + CMD_timeoutMs();
    return expiry < deadline ? expiry : deadline;
}

void CMD_reset()
{
    handling = reported = sending = false;
    madeAt = 0;
}
