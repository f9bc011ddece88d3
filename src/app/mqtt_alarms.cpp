// MQTT alarms: the current-alarm lists polled (named by the project's list
// parameters), the alarms held with their texts and the hash of what was last
// published for each, and the buffer of the target's answer. A pass over a
// list asks its configuration, then its alarms block by block, one request
// per refresh period; only a pass that read the whole list clears the alarms
// it did not see.
#include "app/mqtt_alarms.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "alarms_trends/alarm_list.h"
#include "comm/driver_table.h"
#include "comm/native_driver.h"
#include "data/containers.h"
#include "runtime/log.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/mqtt_link.h"
#include "transport/target_address.h"
#include "view/page_params.h"
#include "view/view_manager.h"

namespace {

const char *const kListParameter = "@MACROALRDEFONAlarmsListNr.";
const char *const kCsvParameter = "@MACROALRDEFONAlarmsTxtFromCSV.";
constexpr int kQuerySize = 3 * AL_NAME_SIZE + 128;
constexpr int kPayloadSize = 4 * HT_VALUE_SIZE;
// A pass gives up after this many blocks: a target that says "Done" forever.
constexpr int kMaxBlocks = MQA_MAX_ALARMS + 1;
constexpr int kShortestPeriodMs = 100;

enum : int { STEP_CONFIG = 0, STEP_BLOCK = 1 };
enum : int { MARKER_NONE = 0, MARKER_DONE = 1, MARKER_END = 2 };

struct List {
    char name[AL_NAME_SIZE];
    char suffix[AL_NAME_SIZE]; // of the list parameter that named it
    int step;
    int32_t start, largest;
    int blocks;
};

struct Held {
    int list;
    AL_Line line; // its text pointer is not used
    char text[HT_VALUE_SIZE];
    bool textRead, seen, gone;
    uint64_t published; // hash of the payload last published, 0 none
};

List lists[MQA_MAX_LISTS];
int listCount, polled;
Held held[MQA_MAX_ALARMS];
int heldCount;
char answer[AL_ANSWER_SIZE + 1];
int64_t nextPoll;
bool listsReported, alarmsReported;

uint64_t hashOf(const char *text)
{
    uint64_t h = 1469598103934665603ull;
    for (; *text; text++) h = (h ^ static_cast<unsigned char>(*text)) * 1099511628211ull;
    return h ? h : 1;
}

// ---- the lists ------------------------------------------------------------------------

int listIndex(const char *name)
{
    for (int i = 0; i < listCount; i++)
        if (stringcmp(lists[i].name, name)) return i;
    return -1;
}

void addList(const char *name, const char *suffix)
{
    if (listCount >= MQA_MAX_LISTS) {
        if (!listsReported) log_append(0, "MQTT: more than 8 alarm lists, %s is not published\n", name);
        listsReported = true;
        return;
    }
    List &l = lists[listCount++];
    l = {};
    safe_strncpy(l.name, name, sizeof l.name);
    safe_strncpy(l.suffix, suffix, sizeof l.suffix);
}

// The lists that the project's list parameters name; a list stays polled
// once named.
void findLists()
{
    size_t length = std::strlen(kListParameter);
    for (const ContainerRecord *r = CO_firstContainer(); r; r = r->next) {
        if (!r->value || !prefixcmp(r->name, kListParameter)) continue;
        char name[AL_NAME_SIZE];
        safe_strncpy(name, r->value, sizeof name);
        str_trim(name);
        if (name[0] && listIndex(name) < 0) addList(name, r->name + length);
    }
}

void nextList()
{
    lists[polled].step = STEP_CONFIG;
    polled = listCount ? (polled + 1) % listCount : 0;
}

// ---- the alarms ----------------------------------------------------------------------

void hold(int list, const AL_Line &line)
{
    Held *h = nullptr;
    for (int i = 0; i < heldCount && !h; i++)
        if (held[i].list == list && held[i].line.alarmNumber == line.alarmNumber) h = &held[i];
    if (!h && heldCount >= MQA_MAX_ALARMS) {
        if (!alarmsReported) log_append(0, "MQTT: more than 256 current alarms, the rest are not published\n", nullptr);
        alarmsReported = true;
        return;
    }
    if (!h) {
        h = &held[heldCount++];
        *h = {};
        h->list = list;
    }
    h->line = line;
    h->line.text = nullptr;
    h->seen = true;
    h->gone = false;
}

// A pass that read the whole list: the alarms it did not see went.
void endPass(bool whole)
{
    for (int i = 0; whole && i < heldCount; i++)
        if (held[i].list == polled && !held[i].seen) held[i].gone = true;
    nextList();
}

// The text as the alarm list would show it: from the page's parameters when
// the list's parameter says so, else from the target. 1 when it asked.
int readText(Held &h)
{
    h.textRead = true;
    int32_t number = h.line.alarmNumber;
    if (number < 1) return 0;
    char name[2 * AL_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s%s", kCsvParameter, lists[h.list].suffix);
    const char *csv = CO_readValPtr(name);
    if (csv && stringcmp(csv, "1")) {
        std::snprintf(name, sizeof name, "%s_%d", lists[h.list].name, static_cast<int>(number));
        if (!HT_readHtmlParameter(name, h.text)) h.text[0] = '\0';
        return 0;
    }
    std::snprintf(name, sizeof name, "PDP,,TEXT%u,s", static_cast<unsigned>(number - 1));
    if (!Tarsel_forceReadVal(name, h.text, sizeof h.text)) h.text[0] = '\0';
    return 1;
}

// ---- asking the target -------------------------------------------------------------

bool ask(const char *query)
{
    answer[0] = '\0';
    if (!Tarsel_readAlarm(query, answer, sizeof answer)) return false;
    long first;
    return !AL_leadingNumber(answer, &first) || first >= 0;
}

// The list's name percent-encoded but for letters, digits and "-._", as the
// alarm list sends it.
void listQuery(const List &l, const char *rest, char *query)
{
    static const char kHex[] = "0123456789ABCDEF";
    char name[3 * AL_NAME_SIZE];
    size_t n = 0;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(l.name); *c && n + 4 < sizeof name; c++) {
        if (std::isalnum(*c) || *c == '-' || *c == '.' || *c == '_') {
            name[n++] = static_cast<char>(*c);
            continue;
        }
        name[n++] = '%';
        name[n++] = kHex[*c >> 4];
        name[n++] = kHex[*c & 15];
    }
    name[n] = '\0';
    std::snprintf(query, kQuerySize, "list=%s&action=%s", name, rest);
}

bool askConfig(List &l)
{
    char query[kQuerySize];
    listQuery(l, "config", query);
    AL_Config config;
    if (!ask(query) || !AL_parseConfig(answer, &config)) {
        nextList();
        return false;
    }
    for (int i = 0; i < heldCount; i++)
        if (held[i].list == polled) held[i].seen = false;
    l.largest = config.largestBlock;
    l.start = 0;
    l.blocks = 0;
    l.step = STEP_BLOCK;
    if (config.current == 0) endPass(true);
    return true;
}

// The answer's lines up to "Done" or "End", at most asked of them; clean
// stays true while every line was read whole.
int takeLines(int32_t asked, int32_t *received, bool *clean)
{
    bool truncated = std::strlen(answer) >= sizeof answer - 1;
    for (char *p = answer; *p; p++)
        if (*p == ';') *p = '\t';
    for (char *line = answer; line && *line;) {
        char *end = std::strchr(line, '\n');
        if (!end && truncated) { // the last line was cut off
            *clean = false;
            break;
        }
        if (end) *end = '\0';
        size_t n = std::strlen(line);
        if (n > 0 && line[n - 1] == '\r') line[n - 1] = '\0';
        if (stringcmp(line, "Done")) return MARKER_DONE;
        if (stringcmp(line, "End")) return MARKER_END;
        AL_Line alarm;
        if (line[0] && *received < asked) {
            if (AL_parseLine(line, 0, &alarm)) hold(polled, alarm);
            else *clean = false;
            (*received)++;
        }
        line = end ? end + 1 : nullptr;
    }
    return MARKER_NONE;
}

bool askBlock(List &l)
{
    int32_t size = l.largest > 0 && l.largest < MQA_BLOCK_LINES ? l.largest : MQA_BLOCK_LINES;
    char rest[128], query[kQuerySize];
    std::snprintf(rest, sizeof rest, "loadDefOverview&startLine=%ld&endLine=%ld&sort=0&filter=0",
                  static_cast<long>(l.start), static_cast<long>(l.start) + size - 1);
    listQuery(l, rest, query);
    if (!ask(query)) {
        nextList();
        return false;
    }
    int32_t received = 0;
    bool clean = true;
    int marker = takeLines(size, &received, &clean);
    if (marker == MARKER_END || (marker == MARKER_NONE && received < size)) {
        endPass(clean);
    } else if (marker == MARKER_DONE && received > 0 && clean && ++l.blocks < kMaxBlocks) {
        l.start += received;
    } else {
        endPass(false);
    }
    return true;
}

// One request: a missing text first, else the next step of the list polled.
// False when a request failed.
bool pollOnce()
{
    for (int i = 0; i < heldCount; i++)
        if (!held[i].gone && !held[i].textRead && readText(held[i])) return true;
    if (!listCount) return true;
    List &l = lists[polled];
    return l.step == STEP_CONFIG ? askConfig(l) : askBlock(l);
}

bool maySend()
{
    return GetRemoteStatus() != 0 && Tarsel_getServiceId() != TARSEL_SERVICE_MQTT &&
           pterm.target_type != TARSEL_TARGET_SAIA && pterm.target_type != TARSEL_TARGET_XX7;
}

// ---- publishing ----------------------------------------------------------------------

void jsonText(const char *text, char *out, size_t size)
{
    size_t n = 0;
    for (; *text && n + 7 < size; text++) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c == '"' || c == '\\') out[n++] = '\\';
        if (c < 0x20) n += static_cast<size_t>(std::snprintf(out + n, size - n, "\\u%04x", c));
        else out[n++] = static_cast<char>(c);
    }
    out[n] = '\0';
}

void isoTime(uint32_t seconds, char *out, size_t size)
{
    out[0] = '\0';
    if (!seconds) return;
    time_t t = seconds;
    struct tm utc;
    gmtime_r(&t, &utc);
    std::strftime(out, size, "%Y-%m-%dT%H:%M:%SZ", &utc);
}

const char *stateName(int state)
{
    static const char *const names[] = {"none", "on-acked", "off-acked", "on-unacked", "off-unacked"};
    return state >= 0 && state < 5 ? names[state] : "none";
}

// A topic level of the list's name: no level separators or wildcards.
void topicOf(const char *prefix, const Held &h, char *topic, size_t size)
{
    char list[AL_NAME_SIZE];
    safe_strncpy(list, lists[h.list].name, sizeof list);
    for (char *c = list; *c; c++)
        if (*c == '/' || *c == '+' || *c == '#') *c = '_';
    std::snprintf(topic, size, "%s/alarm/%s/%ld", prefix, list, static_cast<long>(h.line.alarmNumber));
}

void payloadOf(const Held &h, char *payload, size_t size)
{
    char list[2 * AL_NAME_SIZE], text[2 * HT_VALUE_SIZE], on[32], off[32];
    jsonText(lists[h.list].name, list, sizeof list);
    jsonText(h.text, text, sizeof text);
    isoTime(h.line.onTime, on, sizeof on);
    isoTime(h.line.offTime, off, sizeof off);
    std::snprintf(payload, size,
                  "{\"list\":\"%s\",\"number\":%ld,\"state\":\"%s\",\"text\":\"%s\",\"on\":\"%s\",\"off\":\"%s\","
                  "\"acknowledged\":%d,\"count\":%lu}",
                  list, static_cast<long>(h.line.alarmNumber), stateName(AL_stateOf(&h.line)), text, on, off,
                  h.line.acknowledged ? 1 : 0, static_cast<unsigned long>(h.line.count));
}

// What changed goes out; an alarm that went is forgotten once its retained
// message is cleared (an empty retained message). What the link drops is
// tried again at the next poll.
void publishAll(const char *prefix)
{
    char topic[MQL_TOPIC_SIZE + AL_NAME_SIZE + 16], payload[kPayloadSize];
    for (int i = 0; i < heldCount;) {
        Held &h = held[i];
        topicOf(prefix, h, topic, sizeof topic);
        if (h.gone && MQL_publish(MQL_PUBLISHER, topic, "", 1)) {
            h = held[--heldCount];
            continue;
        }
        if (!h.gone && h.textRead) {
            payloadOf(h, payload, sizeof payload);
            uint64_t hash = hashOf(payload);
            if (hash != h.published && MQL_publish(MQL_PUBLISHER, topic, payload, 1)) h.published = hash;
        }
        i++;
    }
}

} // namespace

void MQA_turn(const char *prefix, int64_t now)
{
    if (now < nextPoll) return;
    int period = VM_getRefreshPeriod();
    nextPoll = now + (period > kShortestPeriodMs ? period : kShortestPeriodMs);
    if (!maySend()) return;
    findLists();
    if (!pollOnce()) nextPoll = now + MQA_RETRY_MS;
    publishAll(prefix);
}

void MQA_republish()
{
    for (int i = 0; i < heldCount; i++) held[i].published = 0;
}

int MQA_alarmCount()
{
    int count = 0;
    for (int i = 0; i < heldCount; i++) count += held[i].gone ? 0 : 1;
    return count;
}

void MQA_reset()
{
    listCount = polled = heldCount = 0;
    nextPoll = 0;
    listsReported = alarmsReported = false;
    answer[0] = '\0';
}
