// Waits that keep the panel operable: while the main thread waits for the
// target (or sleeps between the screens of a sequence), it lets the layer
// above take the display events that are pending, through the hook
// pumpEvents, at most every PUMP_INTERVAL_MS and never from inside itself.
#pragma once
#include <cstdint>

#define PUMP_INTERVAL_MS 250 // pending display events are taken at least this often
#define PUMP_SLICE_MS 100    // longest single wait between two looks at the clock

// Milliseconds of a monotonic clock.
int64_t PUMP_nowMs();
// Takes the pending display events when PUMP_INTERVAL_MS have passed since
// this thread last did; nothing while it is already doing so.
void PUMP_events();
// True while this thread takes display events (an exchange with the target
// must not start then).
int PUMP_isPumping();
// Sleeps ms milliseconds in slices, taking display events between them.
void PUMP_sleep(int ms);
// Forgets when events were last taken.
void PUMP_reset();
