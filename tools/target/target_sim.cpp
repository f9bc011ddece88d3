// panterm-target: a stand-in for the controller's web server, for tests and
// demos. Serves the files under a root directory and answers the target's
// native CGI programs (readVal.exe, writeVal.exe, OrderValues.exe,
// ReadFile.exe, GetSrvInfo.exe) from a value table with simulated signals,
// and the trend CGI (trend.exe) from their logs (trend_sim.cpp).
// Every request line is logged, and switches make it misbehave on purpose.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    int freezeAt = -1;     // the signals stay at their values of this second
};

struct TargetState {
    std::mutex lock;
    std::map<std::string, std::string> values;
    std::map<std::string, std::vector<std::string>> orders; // order block name -> names as received
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

// The value of a name; a name read for the first time is created with "0".
std::string readValue(const std::string &name)
{
    std::string value;
    if (simulatedValue(name, value)) return value;
    std::lock_guard<std::mutex> hold(state.lock);
    auto found = state.values.find(name);
    if (found == state.values.end()) found = state.values.emplace(name, "0").first;
    return found->second;
}

void logRequest(const httplib::Request &req)
{
    if (!state.log) return;
    std::lock_guard<std::mutex> hold(state.logLock);
    if (options.logPeer) std::fprintf(state.log, "%d ", req.remote_port);
    std::fprintf(state.log, "%s %s %s\n", req.method.c_str(), req.target.c_str(), req.version.c_str());
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
    state.values[name] = value;
    reply(res, 200, value);
}

void orderValues(const std::string &query, httplib::Response &res)
{
    if (state.errorOrdersLeft.fetch_sub(1) > 0) return reply(res, 200, "Error.");
    std::vector<std::string> parts = split(query, '+');
    if (parts.size() < 3 || parts[0].empty()) return reply(res, 200, "Syntax Error.");
    std::vector<std::string> names(parts.begin() + 3, parts.end());
    std::lock_guard<std::mutex> hold(state.lock);
    state.orders[parts[0]] = names;
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
    reply(res, 200, options.ilr ? "Panterm target simulator\r\nILR=1, V.1.0\r\n" : "Panterm target simulator\r\n");
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

void handle(const httplib::Request &req, httplib::Response &res)
{
    logRequest(req);
    if (options.hangAfter >= 0 && state.answersLeft.fetch_sub(1) <= 0) return hang();
    if (options.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
    const std::string path = req.target.substr(0, req.target.find('?'));
    const std::string query = queryOf(req);
    if (endsWith(path, "cgi-bin/readVal.exe")) return readVal(query, res);
    if (endsWith(path, "cgi-bin/writeVal.exe")) return writeVal(query, res);
    if (endsWith(path, "cgi-bin/OrderValues.exe")) return orderValues(query, res);
    if (endsWith(path, "cgi-bin/ReadFile.exe")) return readFile(query, res);
    if (endsWith(path, "cgi-bin/GetSrvInfo.exe")) return srvInfo(res);
    if (endsWith(path, "cgi-bin/trend.exe")) {
        std::string body;
        int status = trendsim::answer(query, body);
        return reply(res, status, body);
    }
    serveFile(req, res);
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
        state.values[line.substr(0, equals)] = line.substr(equals + 1);
    }
}

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: panterm-target --root DIR --port N [--values FILE] [--log FILE] [--log-peer]\n"
                 "       [--error-orders N] [--error-reads N] [--delay-ms N] [--close-after N] [--hang-after N]\n"
                 "       [--ilr] [--max-seconds N] [--freeze-signals N]\n"
                 "  --port 0 picks a free port and prints \"port N\" as the first line.\n"
                 "  --values FILE   name=value lines; names beginning \"sim.\" are simulated signals\n"
                 "                  (sim.ramp, sim.sine, sim.square, sim.counter)\n"
                 "  --log FILE      every request line, flushed per line (--log-peer: client port first)\n"
                 "  --error-orders N, --error-reads N  answer the first N orders or value files \"Error.\"\n"
                 "  --delay-ms N    delay every reply\n"
                 "  --close-after N close each connection after N requests\n"
                 "  --hang-after N  answer N requests, then accept requests and never answer\n"
                 "  --ilr           GetSrvInfo.exe offers the ILR protocol\n"
                 "  --max-seconds N end after N seconds\n"
                 "  --freeze-signals N  the simulated signals keep their values of second N\n"
                 "  cgi-bin/trend.exe answers with the signals' logs (trends 1 to 4, the last hour)\n");
    std::exit(2);
}

int intArgument(int argc, char **argv, int &i)
{
    if (i + 1 >= argc) usage();
    char *end = nullptr;
    long value = std::strtol(argv[++i], &end, 10);
    if (*end || value < 0 || value > 1000000) usage();
    return static_cast<int>(value);
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
        else if (arg == "--freeze-signals") o.freezeAt = intArgument(argc, argv, i);
        else usage();
    }
    if (o.port > 65535) usage();
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    options = parseOptions(argc, argv);
    if (!options.valuesFile.empty()) loadValues(options.valuesFile);
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
    trendsim::start(simulatedAt, secondsSinceStart);

    httplib::Server server;
    server.Get(".*", handle);
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(options.closeAfter > 0 ? static_cast<size_t>(options.closeAfter) : 1000000);
    server.set_keep_alive_timeout(30);
    int port = options.port;
    if (port == 0) port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port)) port = -1;
    if (port <= 0) {
        std::fprintf(stderr, "panterm-target: cannot listen on port %d\n", options.port);
        return 1;
    }
    std::printf("port %d\n", port);
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
