// The refresh cycle of a page of 1000 process points on loopback against the
// target simulator, side by side in the same run with libcurl sending the
// same requests to the same simulator. The requests of one steady cycle are
// recorded by wrapping the panel's send() at link time (--wrap, see
// CMakeLists.txt) and replayed with one reused curl handle, over one kept-alive
// connection or a new connection per request, as the panel sent them; and
// with curl's multi interface, up to as many connections at once as the panel
// uses (SRVR_RELAY_WINDOW).
#include <benchmark/benchmark.h>

#include <curl/curl.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "bench_simulator.h"
#include "comm/target_link.h"
#include "data/process_points.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "transport/relay.h"
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

// A page of n points on the simulator, its first cycle (the order) done.
void openPage(int points, int keepAlive)
{
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    SetRemoteHost(emptyRootSimulator().host().c_str());
    MU_init();
    MU_init2();
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", emptyRootSimulator().host().c_str());
    SetRemoteStatus(1);
    Tarsel_setServiceId("Other.class");
    Tarsel_loadHtmlParameters("");
    SRVR_setKeepAlive(keepAlive);
    Tarsel_clearView();
    for (int i = 0; i < points; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "Plant.Point%04d", i);
        Tarsel_addPPO(name, 0);
    }
    if (!Tarsel_refresh(0)) std::abort();
}

void closePage()
{
    Tarsel_clearView();
    SRVR_destroy();
    MU_releaseAreas();
}

// The requests of one steady cycle of the page: of a few cycles after the
// order, the one with the fewest requests (no repeated order in it).
std::vector<Request> recordCycle(int points, int keepAlive)
{
    openPage(points, keepAlive);
    std::vector<Request> fewest;
    for (int cycle = 0; cycle < 3; cycle++) {
        sent.clear();
        recording = true;
        bool ok = Tarsel_refresh(0);
        recording = false;
        if (!ok) std::abort();
        std::vector<Request> requests = parseRequests(sent);
        if (fewest.empty() || requests.size() < fewest.size()) fewest = requests;
    }
    closePage();
    return fewest;
}

size_t discard(char *, size_t size, size_t count, void *) { return size * count; }

// The recorded requests as curl sends them: header lists and addresses.
struct CurlRequests {
    std::vector<Request> requests;
    std::vector<curl_slist *> headers;
    std::vector<std::string> urls;

    explicit CurlRequests(std::vector<Request> recorded) : requests(std::move(recorded))
    {
        for (const Request &r : requests) {
            curl_slist *list = nullptr;
            for (const std::string &h : r.headers) list = curl_slist_append(list, h.c_str());
            headers.push_back(curl_slist_append(list, "Expect:")); // the panel sends its bodies at once
            urls.push_back("http://" + emptyRootSimulator().host() + r.path);
        }
    }
    ~CurlRequests()
    {
        for (curl_slist *list : headers) curl_slist_free_all(list);
    }
    // Sets handle up for request i; without keep-alive the panel opens a
    // connection per request, and so does curl then.
    void setUp(CURL *curl, size_t i, bool keepAlive) const
    {
        const Request &r = requests[i];
        curl_easy_setopt(curl, CURLOPT_URL, urls[i].c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers[i]);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, r.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, keepAlive ? 0L : 1L);
        if (r.method == "POST") {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, r.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(r.body.size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
    }
};

void BM_RefreshCycle_Panel(benchmark::State &state)
{
    openPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        if (!Tarsel_refresh(0)) state.SkipWithError("refresh failed");
    state.counters["requests"] =
        static_cast<double>(recordCycle(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))).size());
    closePage();
}

// One reused easy handle, request after request.
void BM_RefreshCycle_Curl(benchmark::State &state)
{
    CurlRequests cycle(recordCycle(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    if (cycle.requests.empty()) state.SkipWithError("no requests recorded");
    CURL *curl = curl_easy_init();
    for (auto _ : state) {
        for (size_t i = 0; i < cycle.requests.size(); i++) {
            cycle.setUp(curl, i, state.range(1) != 0);
            if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("curl failed");
        }
    }
    curl_easy_cleanup(curl);
    state.counters["requests"] = static_cast<double>(cycle.requests.size());
}

// The multi interface: every request at once, on as many connections as the
// panel uses at a time.
void BM_RefreshCycle_CurlMulti(benchmark::State &state)
{
    CurlRequests cycle(recordCycle(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    if (cycle.requests.empty()) state.SkipWithError("no requests recorded");
    std::vector<CURL *> handles;
    for (size_t i = 0; i < cycle.requests.size(); i++) {
        handles.push_back(curl_easy_init());
        cycle.setUp(handles.back(), i, state.range(1) != 0);
    }
    CURLM *multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(SRVR_RELAY_WINDOW));
    for (auto _ : state) {
        for (CURL *h : handles) curl_multi_add_handle(multi, h);
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) state.SkipWithError("curl failed");
            if (running) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
        int left = 0;
        while (CURLMsg *m = curl_multi_info_read(multi, &left))
            if (m->msg == CURLMSG_DONE && m->data.result != CURLE_OK) state.SkipWithError("curl failed");
        for (CURL *h : handles) curl_multi_remove_handle(multi, h);
    }
    for (CURL *h : handles) curl_easy_cleanup(h);
    curl_multi_cleanup(multi);
    state.counters["requests"] = static_cast<double>(cycle.requests.size());
}

BENCHMARK(BM_RefreshCycle_Panel)->ArgNames({"points", "keepAlive"})->Args({1000, 0})->Args({1000, 1})->UseRealTime();
BENCHMARK(BM_RefreshCycle_Curl)->ArgNames({"points", "keepAlive"})->Args({1000, 0})->Args({1000, 1})->UseRealTime();
BENCHMARK(BM_RefreshCycle_CurlMulti)
    ->ArgNames({"points", "keepAlive"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->UseRealTime();

} // namespace
