// The panel's publisher on an MQTT broker (setting mqtt_broker): the values
// of the read list, the current alarms, the page shown and the panel's
// status, retained under the prefix; with mqtt_writes, writes of points
// from "<prefix>/write/<name>". Owns what was last published and the queue
// of writes received (filled by the broker link's thread, emptied on the
// main thread).
#pragma once

#define MQP_MAX_PUBLISHED 1024
#define MQP_MAX_WRITES 32

// Starts the link when mqtt_broker is set; 1 when started.
int MQP_start();
// One turn of the main loop: the writes received, then what changed.
void MQP_turn();
// The prefix in use ("panterm/<host name>" unless set).
const char *MQP_prefix();
// Link stopped, nothing published or queued.
void MQP_reset();
