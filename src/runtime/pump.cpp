// Waits that keep the panel operable. Owns, per thread, the time display
// events were last taken and the flag that keeps the pump from re-entering
// itself; calls the hook pumpEvents.
#include "runtime/pump.h"

#include <ctime>
#include <unistd.h>

#include "runtime/hooks.h"

namespace {

thread_local int64_t lastPumpMs;
thread_local bool pumping;

} // namespace

int64_t PUMP_nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void PUMP_events()
{
    if (pumping) return;
    int64_t now = PUMP_nowMs();
    if (now - lastPumpMs < PUMP_INTERVAL_MS) return;
    lastPumpMs = now;
    pumping = true;
    HK_hooks()->pumpEvents();
    pumping = false;
}

int PUMP_isPumping() { return pumping; }

void PUMP_sleep(int ms)
{
    int64_t until = PUMP_nowMs() + (ms > 0 ? ms : 0);
    for (;;) {
        int64_t left = until - PUMP_nowMs();
        if (left <= 0) return;
        usleep(static_cast<useconds_t>(left < PUMP_SLICE_MS ? left : PUMP_SLICE_MS) * 1000u);
        PUMP_events();
    }
}

void PUMP_reset()
{
    lastPumpMs = 0;
    pumping = false;
}
