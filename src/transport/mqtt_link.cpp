// Links to an MQTT broker: one libmosquitto client per link, connected in the
// background by the library's network thread, which also reconnects once a
// first attempt got under way (until then the main thread tries again). The
// connection state and the counters are atomics read by the main thread;
// received messages go to the link's callback on the network thread.
#include "transport/mqtt_link.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mosquitto.h>

#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/str_util.h"

namespace {

struct Link {
    mosquitto *client;
    std::atomic<int> connected;
    std::atomic<int> connections;
    std::atomic<int> pending;
    std::atomic<long> dropped;
    bool outageLogged; // main thread
    // Main thread: the first connection attempt failed at once (a broker
    // not listening yet), and when to try again. The library's thread waits
    // for a first attempt that succeeded and only then reconnects by itself.
    bool firstPending;
    int64_t nextTry;
    MQL_MessageFn onMessage;
    char subscribe[2][MQL_TOPIC_SIZE];
};

Link links[MQL_LINKS];
bool libraryReady;

Link *linkOf(void *data) { return static_cast<Link *>(data); }

void onConnect(mosquitto *client, void *data, int rc)
{
    if (rc != 0) return;
    Link *l = linkOf(data);
    for (const char *topic : l->subscribe)
        if (topic[0]) mosquitto_subscribe(client, nullptr, topic, 1);
    l->pending = 0;
    l->connections++;
    l->connected = 1;
}

void onDisconnect(mosquitto *, void *data, int) { linkOf(data)->connected = 0; }

// The count goes up before a message is handed to the library, so its
// acknowledgement always finds it counted.
void countOff(Link *l)
{
    int n = l->pending.load();
    while (n > 0 && !l->pending.compare_exchange_weak(n, n - 1)) {}
}

void onPublish(mosquitto *, void *data, int) { countOff(linkOf(data)); }

void onMessage(mosquitto *, void *data, const mosquitto_message *m)
{
    Link *l = linkOf(data);
    if (l->onMessage && m->topic) l->onMessage(m->topic, static_cast<const char *>(m->payload), m->payloadlen);
}

bool validLink(int link) { return link >= 0 && link < MQL_LINKS; }

constexpr int kFirstRetryMs = 1000;

void tryFirstConnection(Link *l)
{
    if (!l->client || !l->firstPending || PUMP_nowMs() < l->nextTry) return;
    l->nextTry = PUMP_nowMs() + kFirstRetryMs;
    l->firstPending = mosquitto_reconnect_async(l->client) != MOSQ_ERR_SUCCESS;
}

// Credentials, TLS and the will; 0 when the library refused one of them.
int configure(mosquitto *client, const MQL_Config *c)
{
    if (c->user && c->user[0] && mosquitto_username_pw_set(client, c->user, c->password) != MOSQ_ERR_SUCCESS) return 0;
    if (c->caFile && c->caFile[0] &&
        mosquitto_tls_set(client, c->caFile, nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        return 0;
    if (c->willTopic && mosquitto_will_set(client, c->willTopic, static_cast<int>(std::strlen(c->willPayload)),
                                           c->willPayload, 1, true) != MOSQ_ERR_SUCCESS)
        return 0;
    mosquitto_reconnect_delay_set(client, 1, 2, false);
    return 1;
}

} // namespace

int MQL_parseBroker(const char *text, int tls, char *host, size_t size, int *port)
{
    if (!text || !text[0] || !host || size < 2 || !port) return 0;
    const char *colon = std::strrchr(text, ':');
    size_t length = colon ? static_cast<size_t>(colon - text) : std::strlen(text);
    if (length == 0 || length >= size) return 0;
    std::memcpy(host, text, length);
    host[length] = '\0';
    *port = tls ? 8883 : 1883;
    if (!colon) return 1;
    char *end = nullptr;
    long value = std::strtol(colon + 1, &end, 10);
    if (end == colon + 1 || *end || value < 1 || value > 65535) return 0;
    *port = static_cast<int>(value);
    return 1;
}

int MQL_start(int link, const MQL_Config *config)
{
    if (!validLink(link) || !config) return 0;
    MQL_stop(link);
    if (!libraryReady) mosquitto_lib_init();
    libraryReady = true;
    Link *l = &links[link];
    mosquitto *client = mosquitto_new(config->clientId, true, l);
    if (!client) return 0;
    for (int i = 0; i < 2; i++)
        safe_strncpy(l->subscribe[i], config->subscribe[i] ? config->subscribe[i] : "", MQL_TOPIC_SIZE);
    l->onMessage = config->onMessage;
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_message_callback_set(client, onMessage);
    if (!configure(client, config)) {
        log_append(0, "MQTT: the broker's credentials or TLS settings were refused\n", nullptr);
        mosquitto_destroy(client);
        return 0;
    }
    // A broker that is not there yet is tried again from the main thread
    // (tryFirstConnection) until one attempt gets under way.
    l->firstPending = mosquitto_connect_async(client, config->host, config->port, 30) != MOSQ_ERR_SUCCESS;
    l->nextTry = PUMP_nowMs() + kFirstRetryMs;
    if (mosquitto_loop_start(client) != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(client);
        return 0;
    }
    l->client = client;
    return 1;
}

void MQL_stop(int link)
{
    if (!validLink(link)) return;
    Link *l = &links[link];
    if (l->client) {
        mosquitto_disconnect(l->client);
        mosquitto_loop_stop(l->client, false); // the thread ends by itself after the disconnect
        mosquitto_destroy(l->client);
    }
    l->client = nullptr;
    l->connected = 0;
    l->pending = 0;
    l->onMessage = nullptr;
    l->outageLogged = false;
    l->firstPending = false;
}

int MQL_isRunning(int link) { return validLink(link) && links[link].client != nullptr; }
int MQL_isConnected(int link)
{
    if (!validLink(link)) return 0;
    tryFirstConnection(&links[link]);
    return links[link].connected;
}
int MQL_connections(int link) { return validLink(link) ? links[link].connections.load() : 0; }
long MQL_dropped(int link) { return validLink(link) ? links[link].dropped.load() : 0; }
int MQL_pending(int link) { return validLink(link) ? links[link].pending.load() : 0; }

int MQL_publish(int link, const char *topic, const char *payload, int retain)
{
    if (!validLink(link) || !topic || !payload || !links[link].client) return 0;
    Link *l = &links[link];
    tryFirstConnection(l);
    if (l->connected && l->pending < MQL_MAX_PENDING) {
        l->outageLogged = false;
        int length = static_cast<int>(std::strlen(payload));
        l->pending++;
        if (mosquitto_publish(l->client, nullptr, topic, length, payload, 1, retain != 0) == MOSQ_ERR_SUCCESS) return 1;
        countOff(l);
    }
    l->dropped++;
    if (!l->outageLogged) {
        log_append(1, "MQTT: broker not reachable or too slow, messages are dropped (first: %s)\n", topic);
        log_flushFile();
    }
    l->outageLogged = true;
    return 0;
}

void MQL_reset()
{
    for (int i = 0; i < MQL_LINKS; i++) {
        MQL_stop(i);
        links[i].dropped = 0;
        links[i].connections = 0;
    }
}
