// Modbus TCP driver. Owns the page's device settings, the libmodbus context
// and its connection, the request plan of the read list, the reports made on
// this page and the request counter.
//
// libmodbus frames the requests and reads whole replies; the driver owns the
// socket and the waiting. It connects without blocking and hands the socket
// to libmodbus (modbus_set_socket); every request is sent raw
// (modbus_send_raw_request), the reply is waited for with poll in slices of
// PUMP_SLICE_MS with the display events taken between them (PUMP_events), up
// to the page's time-out, and only a socket with data is read
// (modbus_receive_confirmation). A reply late past the time-out closes the
// connection, so a stale reply is never taken for the next request's.
#include "comm/modbus_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/driver_table.h"
#include "comm/modbus_points.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "runtime/hooks.h"
#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "transport/http_client.h"

namespace {

constexpr int kRequestsMax = MB_POINTS_MAX;
constexpr int kReportsMax = 64;
constexpr int kReportSize = 64;
constexpr int kHostSize = 128;

struct DeviceSettings {
    char host[kHostSize]; // empty: the page's server
    int port;
    int unit;
    int timeoutMs; // 0: the target time-out
    int base;
};

struct Entry {
    PpoRecord *record;
    MbPoint point;
};

// One read request: a run of one table and the entries it serves.
struct Request {
    int table;
    int address;
    int count;
    int first; // entries [first, last)
    int last;
};

DeviceSettings device = {"", MB_DEFAULT_PORT, 1, 0, 0};
modbus_t *context;
bool connected;

Entry entries[MB_POINTS_MAX];
int entryCount;
Request requests[kRequestsMax];
int requestCount;
// The read list the plan was made for: its records and a hash of its names
// (a list made again in the same memory has the same records).
bool planned;
const PpoRecord *plannedFirst;
const PpoRecord *plannedLast;
int plannedCount;
uint32_t plannedNames;

char reports[kReportsMax][kReportSize];
int reportCount;
unsigned requestsSent;

bool lastAttempt() { return pterm.comm_err_count >= pterm.comm_err_limit; }

// True the first time key is reported on this page.
bool firstReport(const char *key)
{
    for (int i = 0; i < reportCount; i++)
        if (std::strcmp(reports[i], key) == 0) return false;
    if (reportCount < kReportsMax) safe_strncpy(reports[reportCount++], key, kReportSize);
    return true;
}

void markNotAvailable(PpoRecord *r) { PPO_storeValue(r, PPO_NOT_AVAILABLE); }

int readNumber(const char *name, int fallback)
{
    char value[PPO_VALUE_SIZE] = "";
    int number = 0;
    if (!HK_hooks()->readPageParameter(name, value) || !value[0]) return fallback;
    if (str_parseInt(value, &number)) return number;
    if (firstReport(name)) err_append(0, "Modbus: page parameter %s is no number\n", name);
    return fallback;
}

int timeoutMs() { return device.timeoutMs > 0 ? device.timeoutMs : SRVR_getTimeout(); }

// ---- connection ---------------------------------------------------------------------

void disconnect()
{
    if (context && connected) modbus_close(context);
    connected = false;
}

void reportFailure(const char *what)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s: %s", what, modbus_strerror(errno));
    if (lastAttempt()) err_append(0, "Modbus device failed!\n %s\n", text);
    else log_append(0, "Modbus: %s\n", text);
}

// Waits in slices, taking display events between them, until fd has events
// (POLLOUT or POLLIN) or the deadline passes.
bool waitFor(int fd, short events, int64_t deadline)
{
    for (;;) {
        int64_t left = deadline - PUMP_nowMs();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd p = {fd, events, 0};
        int ready = poll(&p, 1, static_cast<int>(left < PUMP_SLICE_MS ? left : PUMP_SLICE_MS));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
        PUMP_events();
    }
}

// A connected non-blocking socket, or -1.
int connectTcp(uint32_t ip, int port, int64_t deadline)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(ip);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    bool done = connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    if (!done && errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline)) {
        int error = 0;
        socklen_t length = sizeof error;
        done = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        if (!done) errno = error;
    }
    if (done) return fd;
    int kept = errno;
    close(fd);
    errno = kept;
    return -1;
}

const char *deviceHost()
{
    if (device.host[0]) return device.host;
    const char *server = HK_hooks()->remoteServer();
    return server && server[0] ? server : GetRemoteIpAddress();
}

bool ensureConnected()
{
    if (connected) return true;
    uint32_t ip = 0;
    int unusedPort = 0;
    if (!SRV_resolveHostName(deviceHost(), &ip, &unusedPort)) {
        if (firstReport("host")) err_append(0, "Modbus: cannot resolve the device host %s\n", deviceHost());
        return false;
    }
    // The context's own address is never used: the driver connects itself.
    if (!context) context = modbus_new_tcp("127.0.0.1", device.port);
    if (!context) return false;
    int fd = connectTcp(ip, device.port, PUMP_nowMs() + timeoutMs());
    if (fd < 0) {
        reportFailure("connect");
        return false;
    }
    modbus_set_socket(context, fd);
    modbus_set_slave(context, device.unit);
    modbus_set_response_timeout(context, 0, PUMP_SLICE_MS * 1000);
    modbus_set_byte_timeout(context, 0, PUMP_SLICE_MS * 1000);
    connected = true;
    return true;
}

// Sends a request (unit, function, data) and reads its reply into reply:
// the reply's length, or -1 when the connection failed (it is then closed).
int exchange(const uint8_t *request, int length, uint8_t *reply)
{
    if (PUMP_isPumping()) {
        log_append(0, "Modbus: refused while the panel handles events during another exchange\n", nullptr);
        return -1;
    }
    if (!ensureConnected()) return -1;
    requestsSent++;
    int n = -1;
    if (modbus_send_raw_request(context, request, length) < 0) reportFailure("send");
    else if (!waitFor(modbus_get_socket(context), POLLIN, PUMP_nowMs() + timeoutMs())) reportFailure("no reply");
    else if ((n = modbus_receive_confirmation(context, reply)) < 0) reportFailure("reply");
    if (n < 0) disconnect();
    return n;
}

enum class Reply { Good, Exception, Broken };

// Checks a reply to function: *exception is set for an exception reply.
Reply checkReply(const uint8_t *reply, int n, int function, int *exception)
{
    int h = modbus_get_header_length(context);
    if (n < h + 2) return Reply::Broken;
    if (reply[h] == (function | 0x80)) {
        *exception = reply[h + 1];
        return Reply::Exception;
    }
    return reply[h] == function ? Reply::Good : Reply::Broken;
}

// A reply that does not answer the request: the connection is out of step.
void brokenReply()
{
    errno = EMBBADDATA;
    reportFailure("reply");
    disconnect();
}

const char *tableName(int table)
{
    static const char *const names[] = {"coils", "discrete inputs", "holding registers", "input registers"};
    return table >= 0 && table < MB_TABLE_COUNT ? names[table] : "?";
}

void reportException(int table, int address, int count, int code)
{
    char key[kReportSize];
    std::snprintf(key, sizeof key, "x%d:%d:%d", table, address, code);
    if (!firstReport(key)) return;
    char text[200];
    std::snprintf(text, sizeof text, "%s %d to %d: %s", tableName(table), address, address + count - 1,
                  modbus_strerror(MODBUS_ENOBASE + code));
    err_append(0, "Modbus exception reply!\n %s\n", text);
}

// ---- the plan ------------------------------------------------------------------------

uint32_t hashNames(const PpoList *list)
{
    uint32_t hash = 2166136261u;
    for (const PpoRecord *r = list->first; r; r = r->next)
        for (const char *c = r->name ? r->name : ""; *c; c++)
            hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    return hash;
}

bool planIsCurrent(const PpoList *list)
{
    return planned && plannedFirst == list->first && plannedLast == list->last && plannedCount == list->count &&
           plannedNames == hashNames(list);
}

void takePoint(PpoRecord *r)
{
    const char *name = PPO_resolve(r->name);
    MbPoint p;
    if (!MB_parsePoint(name, device.base, &p)) {
        if (firstReport(name)) err_append(0, "Modbus: not a point name: %s\n", name);
        markNotAvailable(r);
        return;
    }
    if (entryCount == MB_POINTS_MAX) {
        if (firstReport("too many")) err_append_int(0, "Modbus: more than %ld points on the page\n", MB_POINTS_MAX);
        markNotAvailable(r);
        return;
    }
    entries[entryCount++] = {r, p};
}

// Whether entry e can join request q: the same table, a gap the request may
// bridge, and the request's size within the protocol's limit.
bool joins(const Request &q, const Entry &e)
{
    if (q.table != e.point.table) return false;
    bool bits = MB_isBitTable(q.table);
    int end = q.address + q.count;
    int newEnd = std::max(end, e.point.address + e.point.count);
    return e.point.address - end <= (bits ? MB_BIT_GAP : MB_REGISTER_GAP) &&
           newEnd - q.address <= (bits ? MB_BITS_MAX : MB_REGISTERS_MAX);
}

void makePlan(PpoList *list)
{
    entryCount = 0;
    requestCount = 0;
    for (PpoRecord *r = list->first; r; r = r->next)
        if (r->name && r->name[0]) takePoint(r);
    std::sort(entries, entries + entryCount, [](const Entry &a, const Entry &b) {
        return a.point.table != b.point.table ? a.point.table < b.point.table : a.point.address < b.point.address;
    });
    for (int i = 0; i < entryCount; i++) {
        const MbPoint &p = entries[i].point;
        Request *q = requestCount ? &requests[requestCount - 1] : nullptr;
        if (q && joins(*q, entries[i])) {
            q->count = std::max(q->address + q->count, p.address + p.count) - q->address;
            q->last = i + 1;
            continue;
        }
        requests[requestCount++] = {p.table, p.address, p.count, i, i + 1};
    }
    planned = true;
    plannedFirst = list->first;
    plannedLast = list->last;
    plannedCount = list->count;
    plannedNames = hashNames(list);
}

// ---- reading --------------------------------------------------------------------------

void storeValues(const Request &q, const uint8_t *data)
{
    char text[PPO_VALUE_SIZE];
    uint16_t registers[MB_REGISTERS_MAX];
    bool bits = MB_isBitTable(q.table);
    for (size_t i = 0; !bits && i < static_cast<size_t>(q.count); i++)
        registers[i] = static_cast<uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
    for (int i = q.first; i < q.last; i++) {
        int offset = entries[i].point.address - q.address;
        int bit = bits ? data[offset / 8] >> (offset % 8) & 1 : 0;
        MB_decode(entries[i].point, bits ? nullptr : registers + offset, bit, text, sizeof text);
        PPO_updateValue(entries[i].record, text);
    }
}

// One request of the plan: false when the connection failed.
bool readRequest(const Request &q)
{
    int function = MB_readFunction(q.table);
    uint8_t request[] = {static_cast<uint8_t>(device.unit),    static_cast<uint8_t>(function),
                         static_cast<uint8_t>(q.address >> 8), static_cast<uint8_t>(q.address & 0xFF),
                         static_cast<uint8_t>(q.count >> 8),   static_cast<uint8_t>(q.count & 0xFF)};
    uint8_t reply[MODBUS_TCP_MAX_ADU_LENGTH];
    int n = exchange(request, sizeof request, reply);
    if (n < 0) return false;
    int exception = 0;
    Reply checked = checkReply(reply, n, function, &exception);
    int h = modbus_get_header_length(context);
    int bytes = MB_isBitTable(q.table) ? (q.count + 7) / 8 : q.count * 2;
    if (checked == Reply::Good && (reply[h + 1] != bytes || n < h + 2 + bytes)) checked = Reply::Broken;
    if (checked == Reply::Broken) {
        brokenReply();
        return false;
    }
    if (checked == Reply::Good) {
        storeValues(q, reply + h + 2);
        return true;
    }
    reportException(q.table, q.address, q.count, exception);
    for (int i = q.first; i < q.last; i++) markNotAvailable(entries[i].record);
    return true;
}

// ---- writing --------------------------------------------------------------------------

// The name a point has on the device: a symbol of the text-conversion table
// becomes its formatted name.
const char *deviceName(const char *point)
{
    const TcrEntry *entry = PPO_lookup(point) ? nullptr : TCR_getTcrPointerWithSymbol(point);
    return entry ? TCR_getFormatedName(entry) : PPO_resolve(point);
}

// Sends a write request; 1 when the device confirmed it.
int sendWrite(const uint8_t *request, int length, int table, int address, int count)
{
    uint8_t reply[MODBUS_TCP_MAX_ADU_LENGTH];
    int n = exchange(request, length, reply);
    if (n < 0) return 0;
    int exception = 0;
    Reply checked = checkReply(reply, n, request[1], &exception);
    if (checked == Reply::Exception) reportException(table, address, count, exception);
    if (checked == Reply::Broken) brokenReply();
    return checked == Reply::Good;
}

// The register that holds a bit point, as the device has it now; -1 when it
// could not be read.
long readRegister(const MbPoint &p)
{
    uint8_t request[] = {static_cast<uint8_t>(device.unit),
                         static_cast<uint8_t>(MB_readFunction(p.table)),
                         static_cast<uint8_t>(p.address >> 8),
                         static_cast<uint8_t>(p.address & 0xFF),
                         0,
                         1};
    uint8_t reply[MODBUS_TCP_MAX_ADU_LENGTH];
    int n = exchange(request, sizeof request, reply);
    int exception = 0;
    if (n < 0) return -1;
    Reply checked = checkReply(reply, n, request[1], &exception);
    if (checked == Reply::Exception) reportException(p.table, p.address, 1, exception);
    int h = modbus_get_header_length(context);
    if (checked != Reply::Good || reply[h + 1] != 2 || n < h + 4) return -1;
    return reply[h + 2] << 8 | reply[h + 3];
}

int writeRegisters(const MbPoint &p, uint16_t *registers)
{
    if (p.type == MB_TYPE_BIT) {
        long now = readRegister(p);
        if (now < 0) return 0;
        uint16_t mask = static_cast<uint16_t>(1u << p.bit);
        registers[0] = static_cast<uint16_t>(registers[0] ? now | mask : now & ~mask);
    }
    uint8_t request[7 + 2 * MB_STRING_MAX] = {static_cast<uint8_t>(device.unit), 6,
                                              static_cast<uint8_t>(p.address >> 8),
                                              static_cast<uint8_t>(p.address & 0xFF)};
    int length = 4;
    if (p.count > 1) {
        request[1] = 16;
        request[length++] = static_cast<uint8_t>(p.count >> 8);
        request[length++] = static_cast<uint8_t>(p.count & 0xFF);
        request[length++] = static_cast<uint8_t>(p.count * 2);
    }
    for (int i = 0; i < p.count; i++) {
        request[length++] = static_cast<uint8_t>(registers[i] >> 8);
        request[length++] = static_cast<uint8_t>(registers[i] & 0xFF);
    }
    return sendWrite(request, length, p.table, p.address, p.count);
}

int writeCoil(const MbPoint &p, bool on)
{
    uint8_t request[] = {static_cast<uint8_t>(device.unit),    5,
                         static_cast<uint8_t>(p.address >> 8), static_cast<uint8_t>(p.address & 0xFF),
                         static_cast<uint8_t>(on ? 0xFF : 0),  0};
    return sendWrite(request, sizeof request, p.table, p.address, 1);
}

int succeed(const char *, const char *, char *, int, PpoList *) { return 1; }

const TargetDriver modbusDriver = {
    TARSEL_SERVICE_MODBUS, "Modbus", MB_loadHtmlParameters, succeed, succeed, MB_readList, MB_writeValue,
};

} // namespace

void MB_loadHtmlParameters(const char *)
{
    disconnect();
    planned = false;
    reportCount = 0;
    char host[PPO_VALUE_SIZE] = "";
    if (!HK_hooks()->readPageParameter("MODBUSHOST", host)) host[0] = '\0';
    safe_strncpy(device.host, host, sizeof device.host);
    device.port = readNumber("MODBUSPORT", MB_DEFAULT_PORT);
    device.unit = readNumber("MODBUSUNIT", 1);
    device.timeoutMs = readNumber("MODBUSTIMEOUT", 0);
    device.base = readNumber("MODBUSBASE", 0) == 1 ? 1 : 0;
}

int MB_readList(const char *, PpoList *list)
{
    if (!list) return 0;
    if (!planIsCurrent(list)) makePlan(list);
    if (requestCount == 0) return 1;
    for (int i = 0; i < requestCount; i++)
        if (!readRequest(requests[i])) return 0;
    return 1;
}

int MB_writeValue(const char *, const char *name, const char *value, int)
{
    if (!name || !value) return 0;
    const char *target = deviceName(name);
    MbPoint p;
    if (!MB_parsePoint(target, device.base, &p)) {
        if (firstReport(target)) err_append(0, "Modbus: not a point name: %s\n", target);
        return 0;
    }
    if (p.table == MB_TABLE_INPUT || p.table == MB_TABLE_DISCRETE) {
        err_append(0, "Modbus: %s cannot be written\n", target);
        return 0;
    }
    uint16_t registers[MB_STRING_MAX] = {};
    if (!MB_encode(p, value, registers)) {
        char text[PPO_VALUE_SIZE + 80];
        std::snprintf(text, sizeof text, "\"%s\" for %s", value, target);
        err_append(0, "Modbus: no value %s\n", text);
        return 0;
    }
    return p.table == MB_TABLE_COILS ? writeCoil(p, registers[0] != 0) : writeRegisters(p, registers);
}

unsigned MB_getRequestCount() { return requestsSent; }
int MB_getPlanSize() { return requestCount; }

int MB_getPlanRequest(int index, int *table, int *address, int *count)
{
    if (index < 0 || index >= requestCount || !table || !address || !count) return 0;
    *table = requests[index].table;
    *address = requests[index].address;
    *count = requests[index].count;
    return 1;
}

const TargetDriver *MB_getDriver() { return &modbusDriver; }

void MB_reset()
{
    disconnect();
    if (context) modbus_free(context);
    context = nullptr;
    device = {"", MB_DEFAULT_PORT, 1, 0, 0};
    entryCount = 0;
    requestCount = 0;
    planned = false;
    reportCount = 0;
    requestsSent = 0;
}
