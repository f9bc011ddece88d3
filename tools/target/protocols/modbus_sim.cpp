// Modbus TCP device of panterm-target: a libmodbus server on a port of its
// own (--modbus-port, 0 a free one; "modbus port N" follows the line of the
// HTTP port on standard output) beside the HTTP server that serves the pages. The page's TCR file (--tcr) places the
// signals: a binding whose controller name is a Modbus point ("IR0:f32",
// "CO0", "HR20:s6" ...) shows the signal's value there, and a write to a
// coil or holding register that a binding covers stores the value back.
// Registers that nothing binds keep what was written to them. Pages served
// while it runs carry its port in their MODBUSPORT parameter.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <modbus.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/modbus_points.h"
#include "sim_internal.h"

namespace {

constexpr int kTableSize = 10000; // addresses 0 to 9999 of every table
constexpr int kClientsMax = 16;

struct Bound {
    std::string symbol;
    MbPoint point;
};

int requestedPort;
int servingPort;
std::vector<Bound> bound;
modbus_mapping_t *mapping;
std::mutex lock; // the mapping

bool fits(const MbPoint &p) { return p.address + p.count <= kTableSize; }

// The signal values into the mapping, before a request is answered.
void showValues()
{
    for (const Bound &b : bound) {
        uint16_t registers[MB_STRING_MAX] = {};
        if (!MB_encode(b.point, simValues().read(b.symbol).c_str(), registers)) continue;
        const MbPoint &p = b.point;
        switch (p.table) {
        case MB_TABLE_COILS: mapping->tab_bits[p.address] = static_cast<uint8_t>(registers[0]); break;
        case MB_TABLE_DISCRETE: mapping->tab_input_bits[p.address] = static_cast<uint8_t>(registers[0]); break;
        default: {
            uint16_t *table = p.table == MB_TABLE_HOLDING ? mapping->tab_registers : mapping->tab_input_registers;
            if (p.type == MB_TYPE_BIT) {
                uint16_t mask = static_cast<uint16_t>(1u << p.bit);
                table[p.address] =
                    static_cast<uint16_t>(registers[0] ? table[p.address] | mask : table[p.address] & ~mask);
            } else {
                for (int i = 0; i < p.count; i++) table[p.address + i] = registers[i];
            }
        }
        }
    }
}

// The values of the bindings that a write of count items of table from
// address on touched, back into the simulator's table.
void takeWrite(int table, int address, int count)
{
    for (const Bound &b : bound) {
        const MbPoint &p = b.point;
        if (p.table != table || p.address + p.count <= address || p.address >= address + count) continue;
        char text[256];
        int bit = table == MB_TABLE_COILS ? mapping->tab_bits[p.address] : 0;
        const uint16_t *registers = table == MB_TABLE_HOLDING ? mapping->tab_registers + p.address : nullptr;
        MB_decode(p, registers, bit, text, sizeof text);
        simValues().write(b.symbol, text);
    }
}

void afterWrite(const uint8_t *query, int header)
{
    int function = query[header];
    int address = query[header + 1] << 8 | query[header + 2];
    int count = function == 15 || function == 16 ? query[header + 3] << 8 | query[header + 4] : 1;
    if (function == 5 || function == 15) takeWrite(MB_TABLE_COILS, address, count);
    if (function == 6 || function == 16) takeWrite(MB_TABLE_HOLDING, address, count);
}

// Answers one request on fd; false when the client went away.
bool serveOne(modbus_t *context, int fd)
{
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(context, fd);
    int n = modbus_receive(context, query);
    if (n < 0) return false;
    if (n == 0) return true;
    std::lock_guard<std::mutex> hold(lock);
    showValues();
    if (modbus_reply(context, query, n, mapping) < 0) return false;
    afterWrite(query, modbus_get_header_length(context));
    return true;
}

void serve(modbus_t *context, int listener)
{
    std::vector<int> clients;
    for (;;) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        int highest = listener;
        for (int fd : clients) {
            FD_SET(fd, &ready);
            highest = fd > highest ? fd : highest;
        }
        if (select(highest + 1, &ready, nullptr, nullptr, nullptr) < 0) continue;
        if (FD_ISSET(listener, &ready)) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd >= 0 && static_cast<int>(clients.size()) < kClientsMax) clients.push_back(fd);
            else if (fd >= 0) close(fd);
        }
        for (size_t i = 0; i < clients.size();) {
            if (FD_ISSET(clients[i], &ready) && !serveOne(context, clients[i])) {
                close(clients[i]);
                clients.erase(clients.begin() + static_cast<long>(i));
                continue;
            }
            i++;
        }
    }
}

int boundPort(int fd)
{
    sockaddr_in local = {};
    socklen_t length = sizeof local;
    return getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) == 0 ? ntohs(local.sin_port) : -1;
}

} // namespace

bool MBSIM_option(const std::string &arg, const std::string &value)
{
    if (arg != "--modbus-port") return true;
    char *end = nullptr;
    long port = std::strtol(value.c_str(), &end, 10);
    requestedPort = static_cast<int>(port);
    return end && *end == '\0' && port >= 0 && port <= 65535;
}

bool MBSIM_start()
{
    for (const SimBinding &b : simBindings()) {
        MbPoint p;
        if (!MB_parsePoint(b.name.c_str(), 0, &p) || !fits(p)) {
            std::fprintf(stderr, "panterm-target: %s is no Modbus point of the first %d addresses\n", b.name.c_str(),
                         kTableSize);
            return false;
        }
        bound.push_back({b.symbol, p});
    }
    mapping = modbus_mapping_new(kTableSize, kTableSize, kTableSize, kTableSize);
    modbus_t *context = modbus_new_tcp("127.0.0.1", requestedPort);
    int listener = mapping && context ? modbus_tcp_listen(context, 4) : -1;
    if (listener < 0) {
        std::fprintf(stderr, "panterm-target: cannot listen for Modbus on port %d: %s\n", requestedPort,
                     modbus_strerror(errno));
        return false;
    }
    servingPort = boundPort(listener);
    std::thread(serve, context, listener).detach();
    return true;
}

void MBSIM_announce() { std::printf("modbus port %d\n", servingPort); }

void MBSIM_rewritePage(const httplib::Request &req, httplib::Response &res)
{
    const std::string key = "name=\"MODBUSPORT\" value=\"";
    if (req.path.size() < 5 || req.path.compare(req.path.size() - 5, 5, ".html") != 0) return;
    size_t at = res.body.find(key);
    if (at == std::string::npos) return;
    at += key.size();
    size_t end = res.body.find('"', at);
    if (end != std::string::npos) res.body.replace(at, end - at, std::to_string(servingPort));
}
