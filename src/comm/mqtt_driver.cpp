// MQTT source driver: a table of the values that the gateway panel publishes,
// filled by the broker link's thread under a lock and read by the refresh
// cycle; the source's prefix and whether the gateway is online.
#include "comm/mqtt_driver.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "comm/driver_table.h"
#include "data/process_points.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/mqtt_link.h"

namespace {

struct Value {
    char name[PPO_VALUE_SIZE];
    char value[PPO_VALUE_SIZE];
};

std::mutex lock;
Value values[MQD_MAX_VALUES];
int valueCount;
bool gatewayOnline;
char source[PPO_VALUE_SIZE]; // the page parameter, as given
char prefix[MQL_TOPIC_SIZE];

Value *find(const char *name)
{
    for (int i = 0; i < valueCount; i++)
        if (stringcmp(values[i].name, name)) return &values[i];
    return nullptr;
}

void store(const char *name, const char *payload, int length)
{
    Value *v = find(name);
    if (!v && valueCount < MQD_MAX_VALUES) {
        v = &values[valueCount++];
        safe_strncpy(v->name, name, sizeof v->name);
    }
    if (!v) return;
    size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    if (n >= sizeof v->value) n = sizeof v->value - 1;
    std::memcpy(v->value, payload, n);
    v->value[n] = '\0';
}

void clearValues()
{
    std::lock_guard<std::mutex> guard(lock);
    valueCount = 0;
    gatewayOnline = false;
}

// "host:port/prefix" into the link's configuration and the prefix.
int startLink(const char *text)
{
    const char *slash = std::strchr(text, '/');
    if (!slash || !slash[1]) return 0;
    char broker[MQL_HOST_SIZE];
    size_t length = static_cast<size_t>(slash - text);
    if (length >= sizeof broker) return 0;
    std::memcpy(broker, text, length);
    broker[length] = '\0';
    MQL_Config c = {};
    if (!MQL_parseBroker(broker, pterm.mqtt_cafile[0] != '\0', c.host, sizeof c.host, &c.port)) return 0;
    safe_strncpy(prefix, slash + 1, sizeof prefix);
    char values[MQL_TOPIC_SIZE + 16], status[MQL_TOPIC_SIZE + 16];
    std::snprintf(values, sizeof values, "%s/value/#", prefix);
    std::snprintf(status, sizeof status, "%s/status", prefix);
    c.user = pterm.mqtt_user;
    c.password = pterm.mqtt_password;
    c.caFile = pterm.mqtt_cafile;
    c.subscribe[0] = values;
    c.subscribe[1] = status;
    c.onMessage = MQD_takeMessage;
    clearValues();
    return MQL_start(MQL_SOURCE, &c);
}

void loadParameters(const char *) {}
int succeed(const char *, const char *, char *, int, PpoList *) { return 1; }

const TargetDriver mqttDriver = {
    TARSEL_SERVICE_MQTT, nullptr, loadParameters, succeed, succeed, MQD_readList, MQD_writeValue,
};

} // namespace

int MQD_loadHtmlParameters()
{
    char value[PPO_VALUE_SIZE] = "";
    if (!HK_hooks()->readPageParameter("MQTTSOURCE", value) || !value[0]) {
        MQD_reset();
        return 0;
    }
    if (stringcmp(value, source) && MQL_isRunning(MQL_SOURCE)) return 1;
    safe_strncpy(source, value, sizeof source);
    MQL_stop(MQL_SOURCE); // its thread reads the prefix
    if (!startLink(value)) err_append(0, "MQTTSOURCE not usable (host:port/prefix):\n %s\n", value);
    return 1;
}

void MQD_takeMessage(const char *topic, const char *payload, int length)
{
    size_t n = std::strlen(prefix);
    if (std::strncmp(topic, prefix, n) != 0 || topic[n] != '/') return;
    const char *rest = topic + n + 1;
    std::lock_guard<std::mutex> guard(lock);
    if (stringcmp(rest, "status")) gatewayOnline = length == 6 && std::strncmp(payload, "online", 6) == 0;
    else if (prefixcmp(rest, "value/") && rest[6]) store(rest + 6, payload ? payload : "", length);
}

int MQD_readList(const char *, PpoList *list)
{
    if (!list || !MQL_isConnected(MQL_SOURCE)) return 0;
    std::lock_guard<std::mutex> guard(lock);
    if (!gatewayOnline) return 0;
    // The gateway publishes the values in their display form: they are
    // copied, not formatted again.
    for (PpoRecord *r = list->first; r; r = r->next) {
        const Value *v = find(r->name);
        PPO_storeValue(r, v ? v->value : PPO_NOT_AVAILABLE);
    }
    return 1;
}

int MQD_writeValue(const char *, const char *name, const char *value, int)
{
    if (!name || !name[0] || !value) return 0;
    char topic[MQL_TOPIC_SIZE + PPO_VALUE_SIZE];
    std::snprintf(topic, sizeof topic, "%s/write/%s", prefix, name);
    return MQL_publish(MQL_SOURCE, topic, value, 0);
}

const TargetDriver *MQD_getDriver() { return &mqttDriver; }

void MQD_reset()
{
    MQL_stop(MQL_SOURCE);
    clearValues();
    source[0] = '\0';
    prefix[0] = '\0';
}
