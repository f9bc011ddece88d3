// The simulator's alarms. Rules ("alarm N while NAME OP NUMBER : TEXT") are
// evaluated every 100 ms: an alarm comes when its rule holds and goes when it
// no longer does. The current list holds every alarm that came, until it is
// acknowledged, gone and deleted; each coming adds a history entry. Tables
// are bounded: 256 rules, 1024 current alarms, 10000 history entries (the
// oldest dropped first).
#include "alarm_sim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr size_t kMaxRules = 256;
constexpr size_t kMaxCurrent = 1024;
constexpr size_t kMaxHistory = 10000;

struct Rule {
    int number;
    std::string name, op;
    double limit;
    std::string text;
};

struct Current {
    uint32_t on, off;
    bool acknowledged;
    uint32_t count;
};

struct Entry {
    int sequence;
    int number;
    uint32_t on, off;
    bool acknowledged;
};

struct Options {
    std::string rulesFile;
    int largestBlock = 100;
    int prefilled = 0;
};

Options options;
std::mutex lock;
std::vector<Rule> rules;
std::map<int, Current> current;
std::deque<Entry> history; // oldest first
int nextSequence = 1;
ASIM_ValueReader readValue;

uint32_t now() { return static_cast<uint32_t>(std::time(nullptr)); }

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

bool holds(const Rule &r)
{
    std::string value = readValue(r.name);
    char *end = nullptr;
    double v = std::strtod(value.c_str(), &end);
    if (end == value.c_str()) return false;
    if (r.op == ">") return v > r.limit;
    if (r.op == ">=") return v >= r.limit;
    if (r.op == "<") return v < r.limit;
    if (r.op == "<=") return v <= r.limit;
    if (r.op == "==") return v == r.limit;
    return v != r.limit;
}

void addHistory(int number, uint32_t on)
{
    history.push_back({nextSequence++, number, on, 0, false});
    if (history.size() > kMaxHistory) history.pop_front();
}

void come(int number)
{
    uint32_t t = now();
    auto found = current.find(number);
    if (found == current.end()) {
        if (current.size() >= kMaxCurrent) return;
        current[number] = {t, 0, false, 1};
    } else {
        found->second = {t, 0, false, found->second.count + 1};
    }
    addHistory(number, t);
}

void go(int number)
{
    uint32_t t = now();
    current[number].off = t;
    for (auto e = history.rbegin(); e != history.rend(); ++e)
        if (e->number == number && e->off == 0) {
            e->off = t;
            break;
        }
}

void evaluate()
{
    std::lock_guard<std::mutex> hold(lock);
    for (const Rule &r : rules) {
        bool on = holds(r);
        auto found = current.find(r.number);
        bool shownOn = found != current.end() && found->second.off == 0;
        if (on && !shownOn) come(r.number);
        else if (!on && shownOn) go(r.number);
    }
}

// "alarm N while NAME OP NUMBER : TEXT"
bool parseRule(const std::string &line, Rule &r)
{
    std::istringstream in(line);
    std::string word, whileWord;
    if (!(in >> word >> r.number >> whileWord >> r.name >> r.op >> r.limit) || word != "alarm" || whileWord != "while")
        return false;
    static const char *const ops[] = {">", ">=", "<", "<=", "==", "!="};
    if (std::find(std::begin(ops), std::end(ops), r.op) == std::end(ops) || r.number < 1) return false;
    std::string rest;
    std::getline(in, rest);
    size_t colon = rest.find(':');
    r.text = colon == std::string::npos ? "Alarm " + std::to_string(r.number) : rest.substr(colon + 1);
    r.text.erase(0, r.text.find_first_not_of(' '));
    return true;
}

bool loadRules()
{
    if (options.rulesFile.empty()) return true;
    std::ifstream in(options.rulesFile);
    if (!in) {
        std::fprintf(stderr, "panterm-target: cannot read %s\n", options.rulesFile.c_str());
        return false;
    }
    std::string line;
    for (int n = 1; std::getline(in, line); n++) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        Rule r;
        if (!parseRule(line, r))
            std::fprintf(stderr, "panterm-target: %s:%d: not a rule\n", options.rulesFile.c_str(), n);
        else if (rules.size() < kMaxRules) rules.push_back(r);
    }
    return true;
}

// History entries from the past, one a minute, every other one acknowledged.
void prefill()
{
    uint32_t t = now() - static_cast<uint32_t>(options.prefilled) * 60;
    for (int i = 0; i < options.prefilled; i++, t += 60) {
        int number = rules.empty() ? 1 + i % 5 : rules[i % rules.size()].number;
        addHistory(number, t);
        history.back().off = t + 30;
        history.back().acknowledged = i % 2 == 0;
    }
}

std::map<std::string, std::string> parameters(const std::string &query)
{
    std::map<std::string, std::string> out;
    std::istringstream in(query);
    for (std::string pair; std::getline(in, pair, '&');) {
        size_t equals = pair.find('=');
        if (equals == std::string::npos) continue;
        std::string value;
        for (size_t i = equals + 1; i < pair.size(); i++) {
            if (pair[i] == '%' && i + 2 < pair.size()) {
                value += static_cast<char>(std::strtol(pair.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                value += pair[i];
            }
        }
        out[pair.substr(0, equals)] = value;
    }
    return out;
}

int integer(const std::map<std::string, std::string> &p, const char *key, int otherwise)
{
    auto found = p.find(key);
    if (found == p.end()) return otherwise;
    char *end = nullptr;
    long value = std::strtol(found->second.c_str(), &end, 10);
    return end == found->second.c_str() ? otherwise : static_cast<int>(value);
}

// Lines start..end of the list, then "Done" when more follow, else "End".
std::string block(const std::vector<std::string> &lines, int start, int end)
{
    std::string out;
    if (start < 0) start = 0;
    for (int i = start; i <= end && i < static_cast<int>(lines.size()); i++) out += lines[i] + "\n";
    return out + (end + 1 < static_cast<int>(lines.size()) ? "Done\n" : "End\n");
}

std::string overview(const std::map<std::string, std::string> &p)
{
    std::vector<std::pair<int, Current>> shown(current.begin(), current.end());
    int filter = integer(p, "filter", 0), sort = integer(p, "sort", 0);
    shown.erase(std::remove_if(shown.begin(), shown.end(),
                               [filter](const std::pair<int, Current> &a) {
                                   return (filter == 1 && a.second.off != 0) || (filter == 2 && a.second.acknowledged);
                               }),
                shown.end());
    if (sort != 1)
        std::stable_sort(shown.begin(), shown.end(),
                         [](const auto &a, const auto &b) { return a.second.on > b.second.on; });
    std::vector<std::string> lines;
    lines.reserve(shown.size());
    for (const auto &[number, a] : shown)
        lines.push_back(std::to_string(number) + ";" + std::to_string(a.count) + ";" + hex(a.on) + ";" + hex(a.off) +
                        ";" + (a.acknowledged ? "1" : "0"));
    return block(lines, integer(p, "startLine", 0), integer(p, "endLine", -1));
}

std::string historyBlock(const std::map<std::string, std::string> &p)
{
    std::vector<std::string> lines;
    for (auto e = history.rbegin(); e != history.rend(); ++e)
        lines.push_back(std::to_string(e->sequence) + ";" + std::to_string(e->number) + ";" + hex(e->on) + ";" +
                        hex(e->off) + ";" + (e->acknowledged ? "1" : "0"));
    return block(lines, integer(p, "startLine", 0), integer(p, "endLine", -1));
}

bool matches(int number, const std::map<std::string, std::string> &p)
{
    if (p.count("completList")) return true;
    return number == integer(p, "type", integer(p, "item", -1));
}

int acknowledge(const std::map<std::string, std::string> &p)
{
    int n = 0;
    for (auto &[number, a] : current)
        if (matches(number, p) && !a.acknowledged) {
            a.acknowledged = true;
            n++;
        }
    for (Entry &e : history)
        if (matches(e.number, p)) e.acknowledged = true;
    return n;
}

// Deletes the acknowledged alarms that went.
int remove(const std::map<std::string, std::string> &p)
{
    int n = 0;
    for (auto a = current.begin(); a != current.end();) {
        if (matches(a->first, p) && a->second.acknowledged && a->second.off != 0) {
            a = current.erase(a);
            n++;
        } else {
            ++a;
        }
    }
    return n;
}

} // namespace

int ASIM_option(const std::string &arg, int argc, char **argv, int &i)
{
    if (arg != "--alarms" && arg != "--alarm-block" && arg != "--alarm-history") return 0;
    if (i + 1 >= argc) return -1;
    std::string value = argv[++i];
    if (arg == "--alarms") {
        options.rulesFile = value;
        return 1;
    }
    char *end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    if (*end || n < 0 || n > static_cast<long>(kMaxHistory)) return -1;
    if (arg == "--alarm-block") options.largestBlock = static_cast<int>(n);
    else options.prefilled = static_cast<int>(n);
    return 1;
}

bool ASIM_start(ASIM_ValueReader reader)
{
    readValue = reader;
    if (!loadRules()) return false;
    prefill();
    if (rules.empty()) return true;
    std::thread([] {
        for (;;) {
            evaluate();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }).detach();
    return true;
}

std::string ASIM_answer(const std::string &query)
{
    std::map<std::string, std::string> p = parameters(query);
    std::string action = p.count("action") ? p["action"] : "";
    std::lock_guard<std::mutex> hold(lock);
    if (action == "config")
        return "1.1;" + std::to_string(current.size()) + ";0;" + std::to_string(history.size()) + ";" +
               std::to_string(options.largestBlock) + ";0\n";
    if (action == "loadDefOverview") return overview(p);
    if (action == "loadHistory") return historyBlock(p);
    if (action == "acknowledge") return std::to_string(acknowledge(p)) + "\n";
    if (action == "delete") return std::to_string(remove(p)) + "\n";
    if (action == "clearLogFiles") {
        history.clear();
        return "Done\n";
    }
    if (action == "reinitAlarming") {
        history.clear();
        current.clear();
        return "Done\n";
    }
    return "-1\n";
}

bool ASIM_text(const std::string &name, std::string &text)
{
    unsigned index = 0;
    char tail[4] = "";
    if (std::sscanf(name.c_str(), "PDP,,TEXT%u,%3s", &index, tail) != 2 || std::string(tail) != "s") return false;
    std::lock_guard<std::mutex> hold(lock);
    text = "Alarm " + std::to_string(index + 1);
    for (const Rule &r : rules)
        if (r.number == static_cast<int>(index) + 1) text = r.text;
    return true;
}

const char *ASIM_usage()
{
    return "Alarms (alarm.exe; texts read as PDP,,TEXT<N-1>,s):\n"
           "  --alarms FILE   rules \"alarm N while NAME OP NUMBER : TEXT\" (OP > >= < <= == !=) on the\n"
           "                  values and simulated signals, checked every 100 ms; the current list keeps\n"
           "                  an alarm until it is acknowledged, gone and deleted\n"
           "  --alarm-block N the largest block the configuration names (100)\n"
           "  --alarm-history N  N history entries from the past to start with\n"
           "  Bounds: 256 rules, 1024 current alarms, 10000 history entries (the oldest go first).\n";
}
