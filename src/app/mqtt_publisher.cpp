// MQTT publisher: hashes of the values last published (so only changes go
// out, and everything again after a reconnect), the page last published,
// and the bounded queue of received writes; the alarms are mqtt_alarms'.
#include "app/mqtt_publisher.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>

#include "app/mqtt_alarms.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/mqtt_link.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr int kPpoSource = 1; // the source type of a process point

struct Published {
    uint64_t name, value;
};

struct Write {
    char name[PPO_VALUE_SIZE];
    char value[PPO_VALUE_SIZE];
};

char prefix[MQL_TOPIC_SIZE];
Published published[MQP_MAX_PUBLISHED];
int publishedCount;
uint64_t pageHash;
int connectionsSeen;
std::mutex writeLock;
Write writes[MQP_MAX_WRITES];
int writeCount;

uint64_t hashOf(const char *text, uint64_t h = 1469598103934665603ull)
{
    for (; *text; text++) h = (h ^ static_cast<unsigned char>(*text)) * 1099511628211ull;
    return h;
}

void publish(const char *kind, const char *name, const char *payload)
{
    char topic[MQL_TOPIC_SIZE + PPO_VALUE_SIZE];
    std::snprintf(topic, sizeof topic, "%s/%s%s%s", prefix, kind, name[0] ? "/" : "", name);
    MQL_publish(MQL_PUBLISHER, topic, payload, 1);
}

// ---- writes ---------------------------------------------------------------------

void takeWrite(const char *topic, const char *payload, int length)
{
    char head[MQL_TOPIC_SIZE + 8];
    std::snprintf(head, sizeof head, "%s/write/", prefix);
    if (!prefixcmp(topic, head) || !topic[std::strlen(head)]) return;
    std::lock_guard<std::mutex> guard(writeLock);
    if (writeCount >= MQP_MAX_WRITES) return;
    Write &w = writes[writeCount++];
    safe_strncpy(w.name, topic + std::strlen(head), sizeof w.name);
    size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    if (n >= sizeof w.value) n = sizeof w.value - 1;
    if (payload) std::memcpy(w.value, payload, n);
    w.value[n] = '\0';
}

// The point a write names: a point of the read list or of the format table
// (by its name on the target, or by its symbol); null for any other name.
const char *knownPoint(const char *name)
{
    if (const TcrEntry *entry = TCR_getTcrPointerWithSymbol(name)) return TCR_getFormatedName(entry);
    if (PPO_lookup(name) || TCR_getTcrPointer(name)) return name;
    return nullptr;
}

// The same road as an operator's write: conversion and range check of the
// point's format, then the target.
void performWrites()
{
    Write taken[MQP_MAX_WRITES];
    int count;
    {
        std::lock_guard<std::mutex> guard(writeLock);
        count = writeCount;
        std::memcpy(taken, writes, sizeof(Write) * static_cast<size_t>(count));
        writeCount = 0;
    }
    for (int i = 0; i < count; i++) {
        char line[MQL_TOPIC_SIZE + 2 * PPO_VALUE_SIZE + 64];
        const char *point = knownPoint(taken[i].name);
        int ok = pterm.mqtt_writes == 1 && point && RW_writeSource(taken[i].value, point, kPpoSource);
        std::snprintf(line, sizeof line, "MQTT write %s/write/%s = \"%s\": %s\n", prefix, taken[i].name, taken[i].value,
                      ok      ? "written"
                      : point ? "refused"
                              : "refused, not a point of the panel");
        log_append(1, "%s", line);
    }
    if (count) log_flushFile();
}

// ---- values and page --------------------------------------------------------------

Published *slotOf(uint64_t name)
{
    for (int i = 0; i < publishedCount; i++)
        if (published[i].name == name) return &published[i];
    if (publishedCount >= MQP_MAX_PUBLISHED) return nullptr;
    published[publishedCount] = {name, 0};
    return &published[publishedCount++];
}

void publishValues()
{
    for (PpoRecord *r = PPO_getList()->first; r; r = r->next) {
        if (!r->value[0]) continue;
        Published *p = slotOf(hashOf(r->name));
        uint64_t value = hashOf(r->value, 7);
        if (p && p->value == value) continue;
        if (p) p->value = value;
        publish("value", r->name, r->value);
    }
}

void publishPage()
{
    char page[3 * PPO_VALUE_SIZE];
    std::snprintf(page, sizeof page, "{\"page\":\"%s\",\"picture\":\"%s\",\"dialog\":\"%s\"}", VM_getHtmlFileName(),
                  VM_getOrderFileNameOfPicture(), VM_getDialogBoxName());
    if (!VM_getHtmlFileName()[0]) return;
    uint64_t h = hashOf(page);
    if (h == pageHash) return;
    pageHash = h;
    publish("page", "", page);
}

void makePrefix()
{
    if (pterm.mqtt_prefix[0]) {
        safe_strncpy(prefix, pterm.mqtt_prefix, sizeof prefix);
        return;
    }
    char host[64] = "";
    if (gethostname(host, sizeof host - 1) != 0 || !host[0]) safe_strncpy(host, "panel", sizeof host);
    std::snprintf(prefix, sizeof prefix, "panterm/%s", host);
}

} // namespace

int MQP_start()
{
    MQP_reset();
    if (!pterm.mqtt_broker[0]) return 0;
    makePrefix();
    MQL_Config c = {};
    if (!MQL_parseBroker(pterm.mqtt_broker, pterm.mqtt_cafile[0] != '\0', c.host, sizeof c.host, &c.port)) {
        err_append(0, "mqtt_broker is not host:port !\n %s\n", pterm.mqtt_broker);
        return 0;
    }
    char will[MQL_TOPIC_SIZE + 16], write[MQL_TOPIC_SIZE + 16];
    std::snprintf(will, sizeof will, "%s/status", prefix);
    std::snprintf(write, sizeof write, "%s/write/#", prefix);
    c.user = pterm.mqtt_user;
    c.password = pterm.mqtt_password;
    c.caFile = pterm.mqtt_cafile;
    c.willTopic = will;
    c.willPayload = "offline";
    c.subscribe[0] = pterm.mqtt_writes == 1 ? write : nullptr;
    c.onMessage = takeWrite;
    if (!MQL_start(MQL_PUBLISHER, &c)) return 0;
    log_append(0, "MQTT: publishing to %s", pterm.mqtt_broker);
    log_append(0, " under %s\n", prefix);
    return 1;
}

void MQP_turn()
{
    if (!MQL_isRunning(MQL_PUBLISHER)) return;
    performWrites();
    int connections = MQL_connections(MQL_PUBLISHER);
    if (MQL_isConnected(MQL_PUBLISHER) && connections != connectionsSeen) {
        // A new connection: the broker may have lost everything retained.
        if (connectionsSeen) {
            log_append_int(1, "MQTT: connected again, %ld messages dropped so far\n", MQL_dropped(MQL_PUBLISHER));
            log_flushFile();
        }
        connectionsSeen = connections;
        publishedCount = 0;
        pageHash = 0;
        MQA_republish();
        publish("status", "", "online");
    }
    // Without a broker the changes are dropped and counted; all goes out
    // again on the next connection.
    publishValues();
    publishPage();
    MQA_turn(prefix, PUMP_nowMs());
}

const char *MQP_prefix() { return prefix; }

void MQP_reset()
{
    MQL_stop(MQL_PUBLISHER);
    prefix[0] = '\0';
    MQA_reset();
    publishedCount = 0;
    pageHash = 0;
    connectionsSeen = 0;
    std::lock_guard<std::mutex> guard(writeLock);
    writeCount = 0;
}
