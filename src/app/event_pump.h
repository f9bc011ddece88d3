// Display events taken while the main thread waits for the target or sleeps
// between the screens of a sequence (the hook pumpEvents). Exposures redraw
// when the view allows it (and once when a value update waits so long that
// its values are shown "Not available"), a close request ends the program, and input events
// are kept for the main loop, which handles them, in their order, once the
// event it is handling is done: so no handler starts a target exchange while
// one is in flight, and refresh cycles never nest.
#pragma once
#include <cstdint>

#include "nanox/nano-X.h"

#define EP_KEPT_EVENTS 64 // input events kept while the main thread waits

// Takes the pending display events (main thread only; nothing elsewhere).
void EP_pumpEvents();
// The oldest input event kept by the pump: 1 and the event (and, when madeMs
// is given, the PUMP_nowMs time it was taken from the display), or 0 when none.
int EP_takeKeptEvent(GR_EVENT *event, int64_t *madeMs = nullptr);
// Ends the program as a close request does: the log closed, the display
// connection closed, exit status 0.
[[noreturn]] void EP_endProgram();
// Fills the hook pumpEvents; the calling thread is the one that may pump.
void EP_attachHooks();
// Forgets the kept events.
void EP_reset();
