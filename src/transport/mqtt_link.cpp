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
#include <dlfcn.h>
#include <mosquitto.h>

#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/str_util.h"

namespace {

// The library's calls, found once a link is started: a panel without a broker
// never maps libmosquitto nor the TLS libraries it pulls in.
#define MQL_MOSQUITTO_CALLS(X)                                                                                         \
    X(mosquitto_connect_async)                                                                                         \
    X(mosquitto_connect_callback_set)                                                                                  \
    X(mosquitto_destroy)                                                                                               \
    X(mosquitto_disconnect)                                                                                            \
    X(mosquitto_disconnect_callback_set)                                                                               \
    X(mosquitto_lib_init)                                                                                              \
    X(mosquitto_loop_start)                                                                                            \
    X(mosquitto_loop_stop)                                                                                             \
    X(mosquitto_message_callback_set)                                                                                  \
    X(mosquitto_new)                                                                                                   \
    X(mosquitto_publish)                                                                                               \
    X(mosquitto_publish_callback_set)                                                                                  \
    X(mosquitto_reconnect_async)                                                                                       \
    X(mosquitto_reconnect_delay_set)                                                                                   \
    X(mosquitto_subscribe)                                                                                             \
    X(mosquitto_tls_set)                                                                                               \
    X(mosquitto_username_pw_set)                                                                                       \
    X(mosquitto_will_set)

struct MosquittoCalls {
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument names a member, which takes none
#define MQL_MEMBER(name) decltype(&::name) name;
    MQL_MOSQUITTO_CALLS(MQL_MEMBER)
#undef MQL_MEMBER
};

MosquittoCalls mq;
void *mosquittoLibrary;

// Loads the library and its calls once and initialises it; false, logged,
// when it or a call is missing.
bool loadMosquitto()
{
    if (mosquittoLibrary) return true;
    void *library = dlopen("libmosquitto.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        log_append(0, "MQTT: the libmosquitto library cannot be loaded: %s\n", dlerror());
        return false;
    }
    bool complete = true;
#define MQL_FIND(name)                                                                                                 \
    mq.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                              \
    complete = complete && mq.name;
    MQL_MOSQUITTO_CALLS(MQL_FIND)
#undef MQL_FIND
    if (!complete) {
        log_append(0, "MQTT: the libmosquitto library lacks a call the panel needs\n", nullptr);
        dlclose(library);
        return false;
    }
    mosquittoLibrary = library;
    mq.mosquitto_lib_init();
    return true;
}

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

Link *linkOf(void *data) { return static_cast<Link *>(data); }

void onConnect(mosquitto *client, void *data, int rc)
{
    if (rc != 0) return;
    Link *l = linkOf(data);
    for (const char *topic : l->subscribe)
        if (topic[0]) mq.mosquitto_subscribe(client, nullptr, topic, 1);
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
    l->firstPending = mq.mosquitto_reconnect_async(l->client) != MOSQ_ERR_SUCCESS;
}

// Credentials, TLS and the will; 0 when the library refused one of them.
int configure(mosquitto *client, const MQL_Config *c)
{
    if (c->user && c->user[0] && mq.mosquitto_username_pw_set(client, c->user, c->password) != MOSQ_ERR_SUCCESS)
        return 0;
    if (c->caFile && c->caFile[0] &&
        mq.mosquitto_tls_set(client, c->caFile, nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        return 0;
    if (c->willTopic && mq.mosquitto_will_set(client, c->willTopic, static_cast<int>(std::strlen(c->willPayload)),
                                              c->willPayload, 1, true) != MOSQ_ERR_SUCCESS)
        return 0;
    mq.mosquitto_reconnect_delay_set(client, 1, 2, false);
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
    if (!loadMosquitto()) return 0;
    Link *l = &links[link];
    mosquitto *client = mq.mosquitto_new(config->clientId, true, l);
    if (!client) return 0;
    for (int i = 0; i < 2; i++)
        safe_strncpy(l->subscribe[i], config->subscribe[i] ? config->subscribe[i] : "", MQL_TOPIC_SIZE);
    l->onMessage = config->onMessage;
    mq.mosquitto_connect_callback_set(client, onConnect);
    mq.mosquitto_disconnect_callback_set(client, onDisconnect);
    mq.mosquitto_publish_callback_set(client, onPublish);
    mq.mosquitto_message_callback_set(client, onMessage);
    if (!configure(client, config)) {
        log_append(0, "MQTT: the broker's credentials or TLS settings were refused\n", nullptr);
        mq.mosquitto_destroy(client);
        return 0;
    }
    // A broker that is not there yet is tried again from the main thread
    // (tryFirstConnection) until one attempt gets under way.
    l->firstPending = mq.mosquitto_connect_async(client, config->host, config->port, 30) != MOSQ_ERR_SUCCESS;
    l->nextTry = PUMP_nowMs() + kFirstRetryMs;
    if (mq.mosquitto_loop_start(client) != MOSQ_ERR_SUCCESS) {
        mq.mosquitto_destroy(client);
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
        mq.mosquitto_disconnect(l->client);
        mq.mosquitto_loop_stop(l->client, false); // the thread ends by itself after the disconnect
        mq.mosquitto_destroy(l->client);
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
        if (mq.mosquitto_publish(l->client, nullptr, topic, length, payload, 1, retain != 0) == MOSQ_ERR_SUCCESS)
            return 1;
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
