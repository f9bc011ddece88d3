// Links to an MQTT broker (libmosquitto): connects in the background with its
// own network thread, reconnects by itself, and publishes without ever
// waiting for the broker. Owns the links' clients, their connection state and
// their counters of dropped messages.
#pragma once
#include <cstddef>

enum : int {
    MQL_PUBLISHER = 0, // the panel's own values, alarms and page
    MQL_SOURCE = 1,    // the values of another panel read by a page
    MQL_LINKS = 2,
};

#define MQL_HOST_SIZE 128
#define MQL_TOPIC_SIZE 320
// Messages not yet acknowledged by the broker beyond which new ones are dropped.
#define MQL_MAX_PENDING 1000

// Called on the link's network thread for every message received.
using MQL_MessageFn = void (*)(const char *topic, const char *payload, int length);

struct MQL_Config {
    char host[MQL_HOST_SIZE];
    int port;
    const char *user;        // null or empty: no user name
    const char *password;    // with the user name
    const char *caFile;      // null or empty: no TLS
    const char *clientId;    // null: the library makes one
    const char *willTopic;   // null: no will
    const char *willPayload; // retained
    const char *subscribe[2];
    MQL_MessageFn onMessage;
};

// "host:port" (port 1883 when left out, 8883 with a CA file); 0 for an empty
// or malformed text.
int MQL_parseBroker(const char *text, int tls, char *host, size_t size, int *port);
// Starts the link (stopping it first when it ran); 1 when its thread runs.
// The connection is made in the background.
int MQL_start(int link, const MQL_Config *config);
void MQL_stop(int link);
int MQL_isRunning(int link);
// 1 while the broker has the link connected.
int MQL_isConnected(int link);
// Counts the connections made; a change tells that the broker may have lost
// what was retained before.
int MQL_connections(int link);
// QoS 1; 1 when handed to the library. Without a connection, or with too
// many messages pending, the message is dropped, counted and the first drop
// of an outage is logged.
int MQL_publish(int link, const char *topic, const char *payload, int retain);
long MQL_dropped(int link);
// Messages handed to the library and not yet acknowledged by the broker.
int MQL_pending(int link);
// Stops every link and clears the counters.
void MQL_reset();
