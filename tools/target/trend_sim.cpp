// Trend logs of the target simulator: the logger thread, the bounded history
// and the answers of the trend CGI.
#include "trend_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace trendsim {

namespace {

constexpr size_t kHistory = 3600; // points kept per trend
constexpr int kMadeUp = 600;      // seconds of history before the start
constexpr int kBlock = 256;       // points per answer
const char *const kSignals[] = {"sim.ramp", "sim.sine", "sim.square", "sim.counter"};
constexpr int kTrends = 4;

struct Point {
    unsigned long time;
    double value;
};

std::mutex lock;
std::deque<Point> history[kTrends];
SignalAt signalAt = nullptr;
SignalClock signalClock = nullptr;
long startTime = 0; // wall clock at the start

long wallClock() { return static_cast<long>(std::time(nullptr)); }

void logNow()
{
    long now = wallClock();
    std::lock_guard<std::mutex> hold(lock);
    for (int i = 0; i < kTrends; i++) {
        double value;
        if (!signalAt(kSignals[i], signalClock(), &value)) continue;
        std::deque<Point> &h = history[i];
        if (!h.empty() && h.back().time >= static_cast<unsigned long>(now)) continue;
        h.push_back({static_cast<unsigned long>(now), value});
        while (h.size() > kHistory) h.pop_front();
    }
}

void madeUpHistory()
{
    std::lock_guard<std::mutex> hold(lock);
    for (int i = 0; i < kTrends; i++)
        for (int s = -kMadeUp; s < 0; s++) {
            double value;
            if (signalAt(kSignals[i], signalClock() + s, &value))
                history[i].push_back({static_cast<unsigned long>(startTime + s), value});
        }
}

// The trend a number (1 to 4) or a signal name names; -1 for none.
int trendOf(const std::string &text)
{
    for (int i = 0; i < kTrends; i++)
        if (text == kSignals[i] || text == std::to_string(i + 1)) return i;
    return -1;
}

std::map<std::string, std::string> parameters(const std::string &query)
{
    std::map<std::string, std::string> out;
    size_t from = 0;
    while (from <= query.size()) {
        size_t end = query.find('&', from);
        std::string pair = query.substr(from, end == std::string::npos ? std::string::npos : end - from);
        size_t equals = pair.find('=');
        if (equals != std::string::npos) out[pair.substr(0, equals)] = pair.substr(equals + 1);
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return out;
}

unsigned long hexOf(const std::map<std::string, std::string> &p, const char *name)
{
    auto found = p.find(name);
    return found == p.end() ? 0 : std::strtoul(found->second.c_str(), nullptr, 16);
}

long numberOf(const std::map<std::string, std::string> &p, const char *name)
{
    auto found = p.find(name);
    return found == p.end() ? 0 : std::strtol(found->second.c_str(), nullptr, 10);
}

std::string info(int trend)
{
    std::lock_guard<std::mutex> hold(lock);
    const std::deque<Point> &h = history[trend];
    char text[160];
    std::snprintf(text, sizeof text, "1.0;%s;1;0;0;0.0;%zu;%lx;%lx", kSignals[trend], h.size(),
                  h.empty() ? 0ul : h.front().time, h.empty() ? 0ul : h.back().time);
    return text;
}

// The points a load asks for, after the last one it has.
std::vector<Point> selection(int trend, const std::map<std::string, std::string> &p)
{
    long type = numberOf(p, "loadType"), count = numberOf(p, "nbrOfPoints");
    unsigned long start = hexOf(p, "startTimestamp"), end = hexOf(p, "endTimestamp");
    unsigned long last = hexOf(p, "lastLoadedTimestamp");
    std::lock_guard<std::mutex> hold(lock);
    const std::deque<Point> &h = history[trend];
    if (type == 3) {
        long before = 0;
        for (const Point &q : h) before += q.time <= end;
        long skip = before > count ? before - count : 0;
        start = skip < static_cast<long>(h.size()) ? h[static_cast<size_t>(skip)].time : end + 1;
    }
    std::vector<Point> out;
    for (const Point &q : h) {
        bool inRange = q.time >= start && (type == 2 || q.time <= end) && q.time > last;
        if (inRange) out.push_back(q);
        if (type == 2 && static_cast<long>(out.size()) >= count) break;
    }
    return out;
}

std::string points(int trend, const std::map<std::string, std::string> &p)
{
    std::vector<Point> wanted = selection(trend, p);
    std::string body;
    char line[64];
    size_t n = wanted.size() < static_cast<size_t>(kBlock) ? wanted.size() : static_cast<size_t>(kBlock);
    for (size_t i = 0; i < n; i++) {
        std::snprintf(line, sizeof line, "%lx;%g\n", wanted[i].time, wanted[i].value);
        body += line;
    }
    return body + (n < wanted.size() ? "Done\n" : "End\n");
}

} // namespace

void start(SignalAt signal, SignalClock clock)
{
    signalAt = signal;
    signalClock = clock;
    startTime = wallClock();
    madeUpHistory();
    std::thread([] {
        for (;;) {
            logNow();
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    }).detach();
}

int answer(const std::string &query, std::string &body)
{
    std::map<std::string, std::string> p = parameters(query);
    const std::string action = p.count("action") ? p["action"] : "";
    if (action == "config") {
        body = "1.0;SimLog;" + std::to_string(kTrends) + ";" + std::to_string(kBlock) + "\n";
        return 200;
    }
    if (action == "clearTrdLogFiles" || action == "reinitTrending") {
        if (action == "clearTrdLogFiles") {
            std::lock_guard<std::mutex> hold(lock);
            for (std::deque<Point> &h : history) h.clear();
        }
        body = "Done\n";
        return 200;
    }
    int trend = trendOf(p.count("trendNr") ? p["trendNr"] : "");
    if (trend < 0 || (action != "configNSta" && action != "loadTrend")) {
        body = "Syntax Error.";
        return 400;
    }
    body = action == "configNSta" ? info(trend) : points(trend, p);
    return 200;
}

} // namespace trendsim
