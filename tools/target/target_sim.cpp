// panterm-target: a stand-in for the controller's web server, for tests and
// demos. Serves the files under a root directory and answers the target's
// native CGI programs (readVal.exe, writeVal.exe, OrderValues.exe,
// ReadFile.exe, GetSrvInfo.exe) from a value table with simulated signals,
// and the trend CGI (trend.exe) from their logs (trend_sim.cpp).
// Every request line is logged, and switches make it misbehave on purpose:
// answers "Error.", delays, hangs, closed connections, and faults within a
// time window (replies that stall, dribble or are reset halfway, paths that
// fail). What it keeps is bounded: the oldest order blocks and the oldest
// names created at run time are dropped first.
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "alarm_sim.h"
#include "../../src/runtime/version.h"
#include "protocols/protocols.h"
#include "trend_sim.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string root = ".";
    int port = 0;
    std::string valuesFile;
    std::string logFile;
    bool logPeer = false;
    int errorOrders = 0;   // first N orders answered "Error."
    int errorReads = 0;    // first N value-file reads answered "Error."
    int delayMs = 0;       // delay before every reply
    int closeAfter = 0;    // requests per connection before the server closes it
    int hangAfter = -1;    // requests answered before every further one hangs unanswered
    bool ilr = false;      // GetSrvInfo.exe offers ILR
    int maxSeconds = 0;    // ends the program after this time (0: never)
    bool logTimes = false; // log lines begin with the milliseconds since the start
    // Faults, in force from faultStart for faultSeconds seconds (0: for good).
    int faultStart = 0;
    int faultSeconds = 0;
    std::string faultPath;           // stalls, slow and reset replies only for targets beginning so
    int stallAfter = -1;             // body bytes sent before a reply stalls
    bool slow = false;               // replies sent one body byte per second
    int resetAfter = -1;             // body bytes sent before the connection is reset
    std::map<std::string, int> fail; // path -> requests still to fail (-1: all)
    int freezeAt = -1;               // the signals stay at their values of this second
};

constexpr size_t kMaxOrderBlocks = 256;   // order blocks kept; the oldest go first
constexpr size_t kMaxOrderNames = 1024;   // names kept of one order block
constexpr size_t kMaxCreatedNames = 4096; // names created by reads and writes; the oldest go first
constexpr int kThreads = 32;              // connections served at once
constexpr int kKeepAliveSeconds = 5;      // an idle kept-alive connection is closed after this

struct TargetState {
    std::mutex lock;
    std::map<std::string, std::string> values;
    std::map<std::string, std::vector<std::string>> orders; // order block name -> names as received
    std::deque<std::string> orderAge;                       // order block names, oldest first
    std::deque<std::string> createdAge;                     // names created at run time, oldest first
    std::atomic<int> errorOrdersLeft{0};
    std::atomic<int> errorReadsLeft{0};
    std::atomic<int> answersLeft{-1};
    std::atomic<bool> stopping{false};
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    FILE *log = nullptr;
    std::mutex logLock;
};

TargetState state;
Options options;
int listeningPort;

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes "%xx"; with plusIsBlank also "+" as a blank.
std::string decode(const std::string &text, bool plusIsBlank)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else if (text[i] == '+' && plusIsBlank) {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

double secondsSinceStart()
{
    if (options.freezeAt >= 0) return options.freezeAt;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - state.start).count();
}

// Simulated signals: names beginning "sim.", computed from the time (also
// before the start, for the made-up history of the trend logs).
bool simulatedAt(const std::string &name, double t, double *v)
{
    if (name == "sim.ramp") *v = std::round(std::fmod(std::fmod(t, 10.0) + 10.0, 10.0) * 100.0) / 10.0;
    else if (name == "sim.sine") *v = std::round(5000.0 + 5000.0 * std::sin(t * 2.0 * M_PI / 10.0)) / 100.0;
    else if (name == "sim.square") *v = static_cast<double>((static_cast<long>(std::floor(t / 2.0)) % 2 + 2) % 2);
    else if (name == "sim.counter") *v = std::floor(t);
    else return false;
    return true;
}

bool simulatedValue(const std::string &name, std::string &value)
{
    double v;
    if (name.rfind("sim.", 0) != 0 || !simulatedAt(name, secondsSinceStart(), &v)) return false;
    char text[64];
    if (name == "sim.ramp") std::snprintf(text, sizeof text, "%.1f", v);
    else if (name == "sim.sine") std::snprintf(text, sizeof text, "%.2f", v);
    else std::snprintf(text, sizeof text, "%ld", static_cast<long>(v));
    value = text;
    return true;
}

// Stores a value under lock; a name new to the table is remembered as created
// at run time, and the oldest such names go when there are too many.
void storeValue(const std::string &name, const std::string &value)
{
    auto [entry, added] = state.values.insert_or_assign(name, value);
    (void)entry;
    if (!added) return;
    state.createdAge.push_back(name);
    if (state.createdAge.size() <= kMaxCreatedNames) return;
    state.values.erase(state.createdAge.front());
    state.createdAge.pop_front();
}

// The value of a name; a name read for the first time is created with "0".
std::string readValue(const std::string &name)
{
    std::string value;
    if (simulatedValue(name, value) || ASIM_text(name, value)) return value;
    std::lock_guard<std::mutex> hold(state.lock);
    auto found = state.values.find(name);
    if (found != state.values.end()) return found->second;
    storeValue(name, "0");
    return "0";
}

long long millisecondsSinceStart()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - state.start)
        .count();
}

bool faultsInForce()
{
    double t = secondsSinceStart();
    return t >= options.faultStart && (options.faultSeconds == 0 || t < options.faultStart + options.faultSeconds);
}

// Stores a value the protocols write; the simulated signals are read-only.
bool writeProtocolValue(const std::string &name, const std::string &value)
{
    if (name.rfind("sim.", 0) == 0) return false;
    std::lock_guard<std::mutex> hold(state.lock);
    storeValue(name, value);
    return true;
}

// The simulated signals and every name of the value table.
std::vector<std::string> valueNames()
{
    std::vector<std::string> names = {"sim.ramp", "sim.sine", "sim.square", "sim.counter"};
    std::lock_guard<std::mutex> hold(state.lock);
    for (const auto &entry : state.values) names.push_back(entry.first);
    return names;
}

void logRequest(const httplib::Request &req)
{
    if (!state.log) return;
    std::lock_guard<std::mutex> hold(state.logLock);
    if (options.logTimes) std::fprintf(state.log, "%lld ", millisecondsSinceStart());
    if (options.logPeer) std::fprintf(state.log, "%d ", req.remote_port);
    std::fprintf(state.log, "%s %s %s\n", req.method.c_str(), req.target.c_str(), req.version.c_str());
    if (req.method == "POST") std::fprintf(state.log, "body %s\n", SIM_bodyForLog(req.body).c_str());
    std::fflush(state.log);
}

void reply(httplib::Response &res, int status, const std::string &body)
{
    res.status = status;
    res.set_content(body, "text/plain");
}

std::string queryOf(const httplib::Request &req)
{
    size_t mark = req.target.find('?');
    return mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void readVal(const std::string &query, httplib::Response &res) { reply(res, 200, readValue(decode(query, true))); }

void writeVal(const std::string &query, httplib::Response &res)
{
    size_t plus = query.find('+');
    if (plus == std::string::npos) return reply(res, 400, "Syntax Error.");
    std::string name = decode(query.substr(0, plus), false);
    std::string value = decode(query.substr(plus + 1), true);
    if (name.rfind("sim.", 0) == 0) return reply(res, 403, "read-only");
    std::lock_guard<std::mutex> hold(state.lock);
    storeValue(name, value);
    reply(res, 200, value);
}

void orderValues(const std::string &query, httplib::Response &res)
{
    if (state.errorOrdersLeft.fetch_sub(1) > 0) return reply(res, 200, "Error.");
    std::vector<std::string> parts = split(query, '+');
    if (parts.size() < 3 || parts[0].empty()) return reply(res, 200, "Syntax Error.");
    std::vector<std::string> names(parts.begin() + 3, parts.end());
    if (names.size() > kMaxOrderNames) names.resize(kMaxOrderNames);
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.orders.insert_or_assign(parts[0], names).second) {
        state.orderAge.push_back(parts[0]);
        if (state.orderAge.size() > kMaxOrderBlocks) {
            state.orders.erase(state.orderAge.front());
            state.orderAge.pop_front();
        }
    }
    reply(res, 200, "Done.");
}

void readFile(const std::string &query, httplib::Response &res)
{
    if (state.errorReadsLeft.fetch_sub(1) > 0) return reply(res, 200, "Error.");
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        auto found = state.orders.find(query);
        if (found == state.orders.end()) return reply(res, 404, "Not Found");
        names = found->second;
    }
    std::string body;
    for (const std::string &name : names) body += name + "=" + readValue(decode(name, false)) + "\n";
    reply(res, 200, body);
}

void srvInfo(httplib::Response &res)
{
    reply(res, 200,
          options.ilr || SIM_offersIlr() ? "Panterm target simulator\r\nILR=1, V.1.0\r\n"
                                         : "Panterm target simulator\r\n");
}

// A path below the root, or empty when it would leave it.
fs::path fileBelowRoot(const std::string &path)
{
    if (path.size() < 2 || path[0] != '/' || path[1] == '/' || path.find('\\') != std::string::npos ||
        path.find('\0') != std::string::npos)
        return {};
    for (const std::string &segment : split(path.substr(1), '/'))
        if (segment == "..") return {};
    std::error_code ec;
    fs::path root = fs::weakly_canonical(options.root, ec);
    fs::path file = fs::weakly_canonical(root / path.substr(1), ec);
    if (ec) return {};
    auto [rootEnd, unused] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    (void)unused;
    if (rootEnd != root.end() || !fs::is_regular_file(file, ec)) return {};
    return file;
}

void serveFile(const httplib::Request &req, httplib::Response &res)
{
    fs::path file = fileBelowRoot(req.path);
    if (file.empty()) return reply(res, req.path.find("..") != std::string::npos ? 403 : 404, "Not Found");
    std::ifstream in(file, std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    res.status = 200;
    res.set_content(body, "application/octet-stream");
}

// Holds a request unanswered until the program ends.
void hang()
{
    while (!state.stopping) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// ---- faults ----------------------------------------------------------------

// The connection of a request: the socket whose peer has the request's port.
int socketOfPeer(int peerPort)
{
    for (int fd = 3; fd < 1024; fd++) {
        sockaddr_in local = {}, peer = {};
        socklen_t length = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0 || local.sin_family != AF_INET)
            continue;
        length = sizeof peer;
        if (ntohs(local.sin_port) != listeningPort ||
            getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &length) != 0)
            continue;
        if (ntohs(peer.sin_port) == peerPort) return fd;
    }
    return -1;
}

// False once the client closed its end (or the program ends). A connection
// whose socket is no longer found has been reset by the client.
bool clientStays(int fd)
{
    if (state.stopping || fd < 0) return false;
    pollfd p = {fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) == 0;
}

// Waits ms while the faults are in force and the client stays; false when the
// client went.
bool holdWhileFaulty(int fd, int ms)
{
    for (int waited = 0; waited < ms && faultsInForce(); waited += 50) {
        if (!clientStays(fd)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return clientStays(fd);
}

// Drops the connection with a reset instead of an orderly end.
void resetConnection(int fd)
{
    if (fd < 0) return;
    linger abort = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    sockaddr unspecified = {};
    unspecified.sa_family = AF_UNSPEC;
    (void)connect(fd, &unspecified,
                  sizeof unspecified); // dissolving the association cannot fail in a way that matters here
}

enum class Fault { None, Stall, Slow, Reset };

struct ReplyFault {
    Fault kind;
    size_t after; // body bytes sent before the fault
};

ReplyFault faultFor(const httplib::Request &req)
{
    if (!faultsInForce() || req.target.rfind(options.faultPath, 0) != 0) return {Fault::None, 0};
    if (options.resetAfter >= 0) return {Fault::Reset, static_cast<size_t>(options.resetAfter)};
    if (options.stallAfter >= 0) return {Fault::Stall, static_cast<size_t>(options.stallAfter)};
    if (options.slow) return {Fault::Slow, 0};
    return {Fault::None, 0};
}

// Sends the body of a reply as the fault says: the bytes up to the fault at
// once, then a stall while the faults are in force, one byte per second, or a
// reset. Once the faults are over, the rest goes at once.
bool sendFaulty(const std::string &body, ReplyFault fault, int peerPort, size_t offset, httplib::DataSink &sink)
{
    if (offset < fault.after) {
        size_t n = std::min(fault.after, body.size()) - offset;
        return sink.write(body.data() + offset, n);
    }
    int fd = socketOfPeer(peerPort);
    if (fault.kind == Fault::Reset) {
        resetConnection(fd);
        return false;
    }
    if (fault.kind == Fault::Stall && !holdWhileFaulty(fd, 1 << 30)) return false;
    if (fault.kind == Fault::Slow && faultsInForce()) {
        if (!holdWhileFaulty(fd, 1000)) return false;
        return sink.write(body.data() + offset, 1);
    }
    return sink.write(body.data() + offset, body.size() - offset);
}

void applyFault(const httplib::Request &req, httplib::Response &res)
{
    ReplyFault fault = faultFor(req);
    if (fault.kind == Fault::None || res.body.empty()) return;
    std::string body = std::move(res.body);
    std::string type = res.get_header_value("Content-Type");
    res.body.clear();
    int peerPort = req.remote_port;
    res.set_content_provider(body.size(), type,
                             [body, fault, peerPort](size_t offset, size_t, httplib::DataSink &sink) {
                                 return sendFaulty(body, fault, peerPort, offset, sink);
                             });
}

// A path named by --fail, while the faults are in force and its count lasts.
bool failsNow(const std::string &path)
{
    if (!faultsInForce()) return false;
    std::lock_guard<std::mutex> hold(state.lock);
    auto found = options.fail.find(path);
    if (found == options.fail.end() || found->second == 0) return false;
    if (found->second > 0) found->second--;
    return true;
}

void answer(const httplib::Request &req, httplib::Response &res)
{
    const std::string path = req.target.substr(0, req.target.find('?'));
    const std::string query = queryOf(req);
    if (failsNow(path)) return reply(res, 404, "Not Found");
    if (SIM_protocolAnswers(req, res)) return;
    if (endsWith(path, "cgi-bin/readVal.exe")) return readVal(query, res);
    if (endsWith(path, "cgi-bin/writeVal.exe")) return writeVal(query, res);
    if (endsWith(path, "cgi-bin/OrderValues.exe")) return orderValues(query, res);
    if (endsWith(path, "cgi-bin/ReadFile.exe")) return readFile(query, res);
    if (endsWith(path, "cgi-bin/GetSrvInfo.exe")) return srvInfo(res);
    if (endsWith(path, "cgi-bin/alarm.exe")) return reply(res, 200, ASIM_answer(query));
    if (endsWith(path, "cgi-bin/trend.exe")) {
        std::string body;
        int status = trendsim::answer(query, body);
        return reply(res, status, body);
    }
    serveFile(req, res);
}

void handle(const httplib::Request &req, httplib::Response &res)
{
    logRequest(req);
    if (options.hangAfter >= 0 && state.answersLeft.fetch_sub(1) <= 0) return hang();
    if (options.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
    answer(req, res);
    SIM_protocolRewrite(req, res);
    applyFault(req, res);
}

void loadValues(const std::string &fileName)
{
    std::ifstream in(fileName);
    if (!in) {
        std::fprintf(stderr, "panterm-target: cannot read %s\n", fileName.c_str());
        std::exit(2);
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos || equals == 0) continue;
        state.values[line.substr(0, equals)] = line.substr(equals + 1); // kept for good
    }
}

// The usage on out; status 2 for a wrong command line, 0 for --help.
[[noreturn]] void usage(FILE *out = stderr, int status = 2)
{
    std::fprintf(out,
                 "usage: panterm-target --root DIR --port N [--values FILE] [--log FILE] [--log-peer] [--log-times]\n"
                 "       [--error-orders N] [--error-reads N] [--delay-ms N] [--close-after N] [--hang-after N]\n"
                 "       [--ilr] [--max-seconds N] [--freeze-signals N]\n"
                 "       [--fault-start S] [--fault-seconds S] [--fault-path PREFIX]\n"
                 "       [--stall-after N] [--slow] [--reset-after N] [--fail PATH[:K]]...\n"
                 "       [--alarms FILE] [--alarm-block N] [--alarm-history N]\n"
                 "       panterm-target --help | -h | --version\n"
                 "  --port 0 picks a free port and prints \"port N\" as the first line.\n"
                 "  --values FILE   name=value lines; names beginning \"sim.\" are simulated signals\n"
                 "                  (sim.ramp, sim.sine, sim.square, sim.counter)\n"
                 "  --log FILE      every request line, flushed per line (--log-peer: client port first,\n"
                 "                  --log-times: milliseconds since the start first)\n"
                 "  --error-orders N, --error-reads N  answer the first N orders or value files \"Error.\"\n"
                 "  --delay-ms N    delay every reply\n"
                 "  --close-after N close each connection after N requests\n"
                 "  --hang-after N  answer N requests, then accept requests and never answer\n"
                 "  --ilr           GetSrvInfo.exe offers the ILR protocol\n"
                 "  --max-seconds N end after N seconds\n"
                 "  --freeze-signals N  the simulated signals keep their values of second N\n"
                 "  cgi-bin/trend.exe answers with the signals' logs (trends 1 to 4, the last hour)\n"
                 "Faults act from second S of --fault-start (0) for --fault-seconds (0: for good); then\n"
                 "replies held back go on at once. Stalls, slow and reset replies concern the request\n"
                 "targets beginning with --fault-path (default: all):\n"
                 "  --stall-after N send N bytes of each reply's body, then hold the connection silent\n"
                 "  --slow          send each reply's body one byte per second\n"
                 "  --reset-after N send N bytes of each reply's body, then reset the connection\n"
                 "  --fail PATH[:K] answer 404 to requests of PATH (the next K only, when given)\n"
                 "Bounds: the newest 256 order blocks of 1024 names each, and the newest 4096 names\n"
                 "created by reads and writes, are kept (the values file's names are kept for good);\n"
                 "32 connections are served at once and an idle kept-alive one is closed after 5 s.\n%s%s",
                 SIM_protocolUsage(), ASIM_usage());
    std::exit(status);
}

int intArgument(int argc, char **argv, int &i)
{
    if (i + 1 >= argc) usage();
    char *end = nullptr;
    long value = std::strtol(argv[++i], &end, 10);
    if (*end || value < 0 || value > 1000000) usage();
    return static_cast<int>(value);
}

// "PATH" or "PATH:K".
void addFailure(Options &o, const std::string &text)
{
    size_t colon = text.rfind(':');
    int count = -1;
    std::string path = text;
    if (colon != std::string::npos) {
        char *end = nullptr;
        long k = std::strtol(text.c_str() + colon + 1, &end, 10);
        if (*end || k < 1 || k > 1000000 || colon == 0) usage();
        count = static_cast<int>(k);
        path = text.substr(0, colon);
    }
    if (path.empty() || path[0] != '/') usage();
    o.fail[path] = count;
}

Options parseOptions(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto text = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") usage(stdout, 0);
        if (arg == "--version") {
            std::printf("panterm-target %s\n", SYS_VERSION_TEXT);
            std::exit(0);
        }
        if (arg == "--root") o.root = text();
        else if (arg == "--port") o.port = intArgument(argc, argv, i);
        else if (arg == "--values") o.valuesFile = text();
        else if (arg == "--log") o.logFile = text();
        else if (arg == "--log-peer") o.logPeer = true;
        else if (arg == "--error-orders") o.errorOrders = intArgument(argc, argv, i);
        else if (arg == "--error-reads") o.errorReads = intArgument(argc, argv, i);
        else if (arg == "--delay-ms") o.delayMs = intArgument(argc, argv, i);
        else if (arg == "--close-after") o.closeAfter = intArgument(argc, argv, i);
        else if (arg == "--hang-after") o.hangAfter = intArgument(argc, argv, i);
        else if (arg == "--ilr") o.ilr = true;
        else if (arg == "--max-seconds") o.maxSeconds = intArgument(argc, argv, i);
        else if (arg == "--log-times") o.logTimes = true;
        else if (arg == "--freeze-signals") o.freezeAt = intArgument(argc, argv, i);
        else if (arg == "--fault-start") o.faultStart = intArgument(argc, argv, i);
        else if (arg == "--fault-seconds") o.faultSeconds = intArgument(argc, argv, i);
        else if (arg == "--fault-path") o.faultPath = text();
        else if (arg == "--stall-after") o.stallAfter = intArgument(argc, argv, i);
        else if (arg == "--slow") o.slow = true;
        else if (arg == "--reset-after") o.resetAfter = intArgument(argc, argv, i);
        else if (arg == "--fail") addFailure(o, text());
        else if (ASIM_option(arg, argc, argv, i) <= 0 && !SIM_protocolOption(argc, argv, i)) usage();
    }
    if (o.port > 65535) usage();
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    options = parseOptions(argc, argv);
    std::signal(SIGPIPE, SIG_IGN); // a client that went away ends its reply, not the program
    if (!options.valuesFile.empty()) loadValues(options.valuesFile);
    if (!ASIM_start(readValue)) return 2;
    if (!options.logFile.empty()) {
        state.log = std::fopen(options.logFile.c_str(), "a");
        if (!state.log) {
            std::fprintf(stderr, "panterm-target: cannot write %s\n", options.logFile.c_str());
            return 2;
        }
    }
    state.errorOrdersLeft = options.errorOrders;
    state.errorReadsLeft = options.errorReads;
    state.answersLeft = options.hangAfter;
    if (!SIM_protocolStart({readValue, writeProtocolValue, valueNames})) return 2;
    trendsim::start(simulatedAt, secondsSinceStart);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    server.Get(".*", handle);
    server.Post(".*", handle);
    server.set_tcp_nodelay(true);
    if (SIM_closesEachConnection()) options.closeAfter = 1;
    server.set_keep_alive_max_count(options.closeAfter > 0 ? static_cast<size_t>(options.closeAfter) : 1000000);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    int port = options.port;
    if (port == 0) port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port)) port = -1;
    if (port <= 0) {
        std::fprintf(stderr, "panterm-target: cannot listen on port %d\n", options.port);
        return 1;
    }
    listeningPort = port;
    std::printf("port %d\n", port);
    SIM_protocolAnnounce();
    std::fflush(stdout);
    if (options.maxSeconds > 0) {
        std::thread([&server] {
            std::this_thread::sleep_for(std::chrono::seconds(options.maxSeconds));
            state.stopping = true;
            server.stop();
        }).detach();
    }
    server.listen_after_bind();
    return 0;
}
