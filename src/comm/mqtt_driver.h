// Driver that reads a page's values from an MQTT broker: the retained topics
// "<prefix>/value/<name>" that another panel (the gateway, which polls the
// target) publishes; writes go to "<prefix>/write/<name>". A page chooses it
// with the page parameter "MQTTSOURCE" ("host:port/prefix"). Owns the
// source's prefix and the values received, kept under a lock because the
// broker link's thread fills them; the refresh cycle reads them on the main
// thread.
#pragma once

struct PpoList;
struct TargetDriver;

#define MQD_MAX_VALUES 1024

// At every page load: 1 when the page names a source (its link is started,
// or kept when it is the same); else the link is stopped and 0.
int MQD_loadHtmlParameters();
// Values of the read list from what the broker delivered; points the
// gateway does not publish read "Not available". 0 while the broker or the
// gateway is away.
int MQD_readList(const char *host, PpoList *list);
// Publishes the value as an operator typed it; 1 when handed to the link.
int MQD_writeValue(const char *host, const char *name, const char *value, int size);
// Takes one message of the broker (the link's thread calls it).
void MQD_takeMessage(const char *topic, const char *payload, int length);

const TargetDriver *MQD_getDriver();
// No source, no values, link stopped.
void MQD_reset();
