// The refresh cycle of a page of 1000 process points on loopback against the
// target simulator, side by side in the same run with libcurl sending the
// same requests to the same simulator. The requests of the cycles of one
// period (the steady reads, and the order sent again every so often) are
// recorded by wrapping the panel's send() at link time (--wrap, see
// CMakeLists.txt) and replayed with one reused curl handle, over one kept-alive
// connection or a new connection per request, as the panel sent them; and
// with curl's multi interface, up to as many connections at once as the panel
// uses (SRVR_RELAY_WINDOW). Each runs against a simulator that answers at once,
// its work sharing the two processors with the client's, and against one that
// takes a millisecond before every reply, as a controller's web server does at
// best. The counter targetCpu is the simulator's processor time per cycle,
// cpu the benchmark's own (all its threads, user and system).
//
// The live cycle is the panel's whole refresh cycle on a page of 1000 painters,
// each showing one of the 1000 points through a repaint condition: the view
// manager's cycle (values read, conditions evaluated, the page redrawn) against
// the same requests through libcurl's multi interface.
#include <benchmark/benchmark.h>

#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"
#include "bench_simulator.h"
#include "bench_temp_dir.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "teq_text.h"
#include "transport/relay.h"
#include "view/object_table.h"
#include "view/view_manager.h"

namespace {

bool recording = false;
std::string sent; // the bytes of the recorded cycle, request after request

} // namespace

extern "C" {
ssize_t __real_send(int sock, const void *data, size_t length, int flags);
ssize_t __wrap_send(int sock, const void *data, size_t length, int flags)
{
    ssize_t n = __real_send(sock, data, length, flags);
    if (recording && n > 0) sent.append(static_cast<const char *>(data), static_cast<size_t>(n));
    return n;
}
}

namespace {

struct Request {
    std::string method, path, body;
    bool http10 = false;
    std::vector<std::string> headers; // without Host and Content-Length, which curl writes
};

// Splits the recorded bytes into requests: head to the empty line, then the
// body of the length the head gives.
std::vector<Request> parseRequests(const std::string &bytes)
{
    std::vector<Request> out;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n\r\n", at);
        if (end == std::string::npos) break;
        std::string head = bytes.substr(at, end - at);
        at = end + 4;
        Request r;
        size_t lineEnd = head.find("\r\n");
        std::string first = head.substr(0, lineEnd);
        size_t s1 = first.find(' '), s2 = first.rfind(' ');
        r.method = first.substr(0, s1);
        r.path = first.substr(s1 + 1, s2 - s1 - 1);
        r.http10 = first.compare(s2 + 1, std::string::npos, "HTTP/1.0") == 0;
        size_t length = 0;
        for (size_t p = lineEnd; p != std::string::npos && p + 2 < head.size();) {
            size_t next = head.find("\r\n", p + 2);
            std::string line = head.substr(p + 2, next == std::string::npos ? std::string::npos : next - p - 2);
            p = next;
            if (line.rfind("Content-Length:", 0) == 0) length = std::strtoul(line.c_str() + 15, nullptr, 10);
            else if (line.rfind("Host:", 0) != 0) r.headers.push_back(line);
        }
        r.body = bytes.substr(at, length);
        at += length;
        out.push_back(r);
    }
    return out;
}

// What a benchmark runs against: the points of the page, keep-alive on or
// off, and the simulator's time before every reply.
struct Rig {
    int points;
    int keepAlive;
    BenchSimulator &target;

    explicit Rig(const benchmark::State &state)
        : points(static_cast<int>(state.range(0))), keepAlive(static_cast<int>(state.range(1))),
          target(emptyRootSimulator(static_cast<int>(state.range(2))))
    {
    }
};

// The requests of the cycles of one period of the page: every
// TARSEL_FORCE_EVERY + 1 cycles the panel sends its order again, one block
// after the other, before it reads.
std::vector<std::vector<Request>> recordPeriod(const Rig &rig)
{
    if (!openPointsPage(rig.target, rig.points, rig.keepAlive)) std::abort();
    std::vector<std::vector<Request>> cycles;
    for (int cycle = 0; cycle <= TARSEL_FORCE_EVERY; cycle++) {
        sent.clear();
        recording = true;
        bool ok = Tarsel_refresh(0);
        recording = false;
        if (!ok) std::abort();
        cycles.push_back(parseRequests(sent));
    }
    closePointsPage();
    return cycles;
}

size_t discard(char *, size_t size, size_t count, void *) { return size * count; }

// One recorded request as curl sends it: its header list and address.
struct CurlRequest {
    Request request;
    curl_slist *headers = nullptr;
    std::string url;

    CurlRequest(const Request &recorded, const std::string &host)
        : request(recorded), url("http://" + host + recorded.path)
    {
        for (const std::string &h : request.headers) headers = curl_slist_append(headers, h.c_str());
        headers = curl_slist_append(headers, "Expect:"); // the panel sends its bodies at once
    }
    ~CurlRequest() { curl_slist_free_all(headers); }
    CurlRequest(const CurlRequest &) = delete;
    CurlRequest &operator=(const CurlRequest &) = delete;

    // Sets handle up for the request; without keep-alive the panel opens a
    // connection per request, and so does curl then.
    void setUp(CURL *curl, bool keepAlive) const
    {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, keepAlive ? 0L : 1L);
        if (request.method == "POST") {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
    }
};

// The recorded period for curl: the requests of each cycle, in steps. The
// requests of one step may go at once: the value files of a cycle are one
// step, every other request (an order block, which waits for the answer to
// the one before) a step of its own.
struct CurlPeriod {
    std::vector<std::vector<std::vector<std::unique_ptr<CurlRequest>>>> cycles;
    double requests = 0; // per cycle

    CurlPeriod(const std::vector<std::vector<Request>> &recorded, const std::string &host)
    {
        size_t total = 0;
        for (const std::vector<Request> &cycle : recorded) {
            cycles.emplace_back();
            bool reading = false;
            for (const Request &r : cycle) {
                bool read = r.path.find("ReadFile.exe") != std::string::npos;
                if (!read || !reading) cycles.back().emplace_back();
                cycles.back().back().push_back(std::make_unique<CurlRequest>(r, host));
                reading = read;
                total++;
            }
        }
        requests = cycles.empty() ? 0 : static_cast<double>(total) / static_cast<double>(cycles.size());
    }
    const std::vector<std::vector<std::unique_ptr<CurlRequest>>> &cycle(size_t i) const
    {
        return cycles[i % cycles.size()];
    }
};

// The processor time of this process so far, user and system, in seconds.
double ownCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Processor times per cycle from the times start: the simulator's and ours.
void countCpu(benchmark::State &state, const BenchSimulator &target, double targetStart, double ownStart)
{
    state.counters["targetCpu"] =
        benchmark::Counter(target.cpuSeconds() - targetStart, benchmark::Counter::kAvgIterations);
    state.counters["cpu"] = benchmark::Counter(ownCpuSeconds() - ownStart, benchmark::Counter::kAvgIterations);
}

void countTargetCpu(benchmark::State &state, const Rig &rig, double start, double ownStart)
{
    countCpu(state, rig.target, start, ownStart);
}

void BM_RefreshCycle_Panel(benchmark::State &state)
{
    Rig rig(state);
    if (!openPointsPage(rig.target, rig.points, rig.keepAlive)) state.SkipWithError("first refresh failed");
    double start = rig.target.cpuSeconds(), own = ownCpuSeconds();
    for (auto _ : state)
        if (!Tarsel_refresh(0)) state.SkipWithError("refresh failed");
    countTargetCpu(state, rig, start, own);
    closePointsPage();
    state.counters["requests"] = CurlPeriod(recordPeriod(rig), rig.target.host()).requests;
}

// One reused easy handle, request after request.
void BM_RefreshCycle_Curl(benchmark::State &state)
{
    Rig rig(state);
    CurlPeriod period(recordPeriod(rig), rig.target.host());
    CURL *curl = curl_easy_init();
    size_t cycle = 0;
    double start = rig.target.cpuSeconds(), own = ownCpuSeconds();
    for (auto _ : state)
        for (const auto &step : period.cycle(cycle++))
            for (const auto &request : step) {
                request->setUp(curl, rig.keepAlive != 0);
                if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("curl failed");
            }
    countTargetCpu(state, rig, start, own);
    curl_easy_cleanup(curl);
    state.counters["requests"] = period.requests;
}

// Runs the requests of one step on the multi handle, all at once, up to the
// panel's number of connections at a time.
bool performStep(CURLM *multi, const std::vector<std::unique_ptr<CurlRequest>> &step, std::vector<CURL *> &handles,
                 bool keepAlive)
{
    for (size_t i = 0; i < step.size(); i++) {
        step[i]->setUp(handles[i], keepAlive);
        curl_multi_add_handle(multi, handles[i]);
    }
    bool ok = true;
    int running = 1;
    while (running && ok) {
        ok = curl_multi_perform(multi, &running) == CURLM_OK;
        if (running) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    int left = 0;
    while (CURLMsg *m = curl_multi_info_read(multi, &left))
        if (m->msg == CURLMSG_DONE && m->data.result != CURLE_OK) ok = false;
    for (size_t i = 0; i < step.size(); i++) curl_multi_remove_handle(multi, handles[i]);
    return ok;
}

// The multi interface: the requests of each step at once, on as many
// connections as the panel uses at a time.
void BM_RefreshCycle_CurlMulti(benchmark::State &state)
{
    Rig rig(state);
    CurlPeriod period(recordPeriod(rig), rig.target.host());
    std::vector<CURL *> handles;
    CURLM *multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(SRVR_RELAY_WINDOW));
    size_t cycle = 0;
    double start = rig.target.cpuSeconds(), own = ownCpuSeconds();
    for (auto _ : state)
        for (const auto &step : period.cycle(cycle++)) {
            while (handles.size() < step.size()) handles.push_back(curl_easy_init());
            if (!performStep(multi, step, handles, rig.keepAlive != 0)) state.SkipWithError("curl failed");
        }
    countTargetCpu(state, rig, start, own);
    for (CURL *h : handles) curl_easy_cleanup(h);
    curl_multi_cleanup(multi);
    state.counters["requests"] = period.requests;
}

// Points, keep-alive off and on, the simulator's milliseconds before a reply.
void rigs(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"points", "keepAlive", "answerMs"})->UseRealTime();
    for (int answerMs : {0, 1})
        for (int keepAlive : {0, 1}) b->Args({1000, keepAlive, answerMs});
}

// A page of points painters, painter i a rectangle whose fill follows
// "Plant.Point<i>" (the names of openPointsPage), on a simulator of its own
// that waits answerMs before every reply; started once per time.
const BenchSimulator &livePageSimulator(int points, int answerMs)
{
    static std::map<int, std::unique_ptr<BenchSimulator>> started;
    std::unique_ptr<BenchSimulator> &sim = started[answerMs];
    if (sim) return *sim;
    std::string root = benchTempDir("live");
    std::string text = "teq g\npage-size 800,480\nbackground 255,255,255\nfill on\n";
    for (int i = 0; i < points; i++) {
        char painter[320];
        std::snprintf(
            painter, sizeof painter,
            "painter \"XRectangleP\" at %d,%d size 16,8 plc 0 {\n  block \"XRectangleP\" id %d {\n"
            "    repaint 41 STRING \"0,160,0\" {\n      when compare ne PPO \"Plant.Point%04d\" STRING \"0\"\n"
            "    }\n  }\n}\n",
            (i % 40) * 20, (i / 40) * 12, i, i);
        text += painter;
    }
    std::ofstream(root + "/Live.teq", std::ios::binary) << teqc::buildTeq(text);
    std::ofstream(root + "/live.html") << "<html><applet code=\"IViewer.class\" width=\"800\" height=\"480\">\n"
                                          "<param name=\"ProjectName\" value=\"Live\">\n</applet></html>\n";
    std::vector<std::string> args;
    if (answerMs > 0) args = {"--delay-ms", std::to_string(answerMs)};
    sim = std::make_unique<BenchSimulator>(root, args);
    return *sim;
}

// The panel's state at start on an 800 x 480 headless display, the live page
// shown and its first values read.
bool openLivePage(const BenchSimulator &target, int points, int keepAlive)
{
    static bool started = false;
    if (!started) {
        initSettings();
        attachLayers();
        pterm.log_file[0] = '\0';
        static teqc::HeadlessDisplay display(800, 480); // closed at exit
        VM_init();
        started = true;
    }
    MU_init(); // the heaps again, should the exchange's benchmarks have released them
    MU_init2();
    pterm.debug_level = 0;
    SRVR_setKeepAlive(keepAlive);
    VM_requestLoadHtmlFile(("http://" + target.host() + "/live.html").c_str());
    VM_entry();
    return OB_HowManyObjetcs() == points && PPO_getList()->count == points && PPO_isReady();
}

// The view manager's cycle of the live page: what the panel does once per
// period.
void BM_LiveCycle_Panel(benchmark::State &state)
{
    int points = static_cast<int>(state.range(0)), answerMs = static_cast<int>(state.range(2));
    const BenchSimulator &target = livePageSimulator(points, answerMs);
    if (!openLivePage(target, points, static_cast<int>(state.range(1))))
        state.SkipWithError("the live page did not load");
    double start = target.cpuSeconds(), own = ownCpuSeconds();
    for (auto _ : state) {
        VM_refresh();
        if (!PPO_isReady()) state.SkipWithError("values not read");
    }
    countCpu(state, target, start, own);
    VM_ClearView(); // the objects and parameters go while their heaps are valid
    VM_ClearAll();
}

BENCHMARK(BM_LiveCycle_Panel)->Apply(rigs);
BENCHMARK(BM_RefreshCycle_Panel)->Apply(rigs);
BENCHMARK(BM_RefreshCycle_Curl)->Apply(rigs);
BENCHMARK(BM_RefreshCycle_CurlMulti)->Apply(rigs);

} // namespace
