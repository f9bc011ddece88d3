// Display events taken while the main thread waits. Owns the ring of input
// events kept for the main loop and the thread that may take events; calls
// the view manager for exposures and the display connection, and redraws once
// when a value update has waited so long that its values are not live.
#include "app/event_pump.h"

#include <cstdlib>
#include <pthread.h>

#include "comm/ppo_update.h"
#include "draw/graphics.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/pump.h"
#include "view/view_manager.h"

namespace {

constexpr int kEventsPerPump = 64; // a pump ends after this many events

GR_EVENT kept[EP_KEPT_EVENTS];
int64_t keptAt[EP_KEPT_EVENTS]; // when each was taken from the display
int keptFirst;
int keptCount;
pthread_t mainThread;
bool attached;

void keep(const GR_EVENT &event)
{
    if (keptCount == EP_KEPT_EVENTS) {
        log_append_int(1, "Input event %d dropped while the panel waits for the target\n", event.type);
        return;
    }
    kept[(keptFirst + keptCount) % EP_KEPT_EVENTS] = event;
    keptAt[(keptFirst + keptCount) % EP_KEPT_EVENTS] = PUMP_nowMs();
    keptCount++;
}

// Handles one event; false when there was none.
bool takeOne()
{
    GR_EVENT event;
    GrCheckNextEvent(&event);
    switch (event.type) {
    case GR_EVENT_TYPE_NONE: return false;
    case GR_EVENT_TYPE_EXPOSURE: VM_redrawWhileWaiting(); break;
    case GR_EVENT_TYPE_CLOSE_REQ: EP_endProgram();
    case GR_EVENT_TYPE_ERROR:
    case GR_EVENT_TYPE_BUTTON_DOWN:
    case GR_EVENT_TYPE_BUTTON_UP:
    case GR_EVENT_TYPE_KEY_DOWN:
    case GR_EVENT_TYPE_KEY_UP: keep(event); break;
    default: break;
    }
    return true;
}

} // namespace

void EP_pumpEvents()
{
    if (!attached || !pthread_equal(pthread_self(), mainThread)) return;
    for (int n = 0; n < kEventsPerPump && takeOne(); n++) {}
    if (PPO_markStaleWhileWaiting()) VM_redrawWhileWaiting();
    if (g_GrFlushNotified > 0) {
        GrFlush();
        g_GrFlushNotified = 0;
    }
}

int EP_takeKeptEvent(GR_EVENT *event, int64_t *madeMs)
{
    if (keptCount == 0 || !event) return 0;
    *event = kept[keptFirst];
    if (madeMs) *madeMs = keptAt[keptFirst];
    keptFirst = (keptFirst + 1) % EP_KEPT_EVENTS;
    keptCount--;
    return 1;
}

void EP_endProgram()
{
    log_closeFile();
    GrClose();
    std::exit(0);
}

void EP_attachHooks()
{
    mainThread = pthread_self();
    attached = true;
    HK_hooks()->pumpEvents = EP_pumpEvents;
}

void EP_reset()
{
    keptFirst = 0;
    keptCount = 0;
}
