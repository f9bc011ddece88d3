// The current alarms that the MQTT publisher sends, whatever page is shown:
// the panel polls the target's current-alarm lists itself, one request per
// refresh period, and publishes each alarm retained under
// "<prefix>/alarm/<list>/<number>", clearing the alarms that went. The lists
// are those that the project's list parameters ("AlarmsListNr." of the
// current-alarm lists) name. Owns the lists polled, the alarms last seen and
// published, and the answer buffer.
#pragma once
#include <cstdint>

#define MQA_MAX_LISTS 8
#define MQA_MAX_ALARMS 256
#define MQA_BLOCK_LINES 32 // lines asked per block (the target may allow fewer)
#define MQA_RETRY_MS 10000 // the pause after a request that failed

// One turn of the main loop (now in PUMP_nowMs time): at most one request to
// the target per refresh period (a list's configuration, a block of its
// alarms or one alarm's text), then what changed goes out under prefix.
void MQA_turn(const char *prefix, int64_t now);
// After a new connection: every alarm known goes out again.
void MQA_republish();
// The current alarms held (not those that went and wait to be cleared).
int MQA_alarmCount();
// Nothing polled, held or published.
void MQA_reset();
