// WAGO controller of panterm-target: OrderValues.exe, ReadFile.exe and
// writeVal.exe over memory names. The page's TCR file (--tcr) binds memory
// names to the signals; a binding whose format begins "String" holds a text
// in consecutive double words from its "MD" name on, four characters per word,
// the first in the lowest byte. Names that nothing binds are values of the
// simulator's table under the memory name itself.
#include <cstdlib>
#include <map>
#include <mutex>

#include "sim_internal.h"

namespace {

std::mutex lock;
std::map<std::string, std::vector<std::string>> orders; // order file -> names

bool isString(const SimBinding &b)
{
    const std::string &format = b.field(2);
    return format.size() >= 6 && (format.compare(0, 6, "String") == 0 || format.compare(0, 6, "string") == 0);
}

int stringSize(const SimBinding &b)
{
    long n = simFieldNumber(b, 1, 0);
    return n <= 0 ? 32 : n >= 251 ? 252 : static_cast<int>((n + 3) / 4 * 4);
}

unsigned wordOf(const std::string &name) { return static_cast<unsigned>(std::strtoul(name.c_str() + 2, nullptr, 10)); }

// The string binding whose words hold the double word name, and the word's
// index in it.
const SimBinding *stringHolding(const std::string &name, int *index)
{
    if (name.size() < 3 || name.compare(0, 2, "MD") != 0) return nullptr;
    for (const SimBinding &b : simBindings()) {
        if (!isString(b) || b.name.compare(0, 2, "MD") != 0) continue;
        long at = static_cast<long>(wordOf(name)) - static_cast<long>(wordOf(b.name));
        if (at >= 0 && at < stringSize(b) / 4) {
            *index = static_cast<int>(at);
            return &b;
        }
    }
    return nullptr;
}

std::string padded(const SimBinding &b)
{
    std::string text = simValues().read(b.symbol);
    text.resize(static_cast<size_t>(stringSize(b)), '\0');
    return text;
}

std::string readName(const std::string &name)
{
    int index = 0;
    if (const SimBinding *b = stringHolding(name, &index)) {
        std::string bytes = padded(*b);
        unsigned long word = 0;
        for (int i = 3; i >= 0; i--) word = word * 256 + static_cast<unsigned char>(bytes[4 * index + i]);
        return std::to_string(word);
    }
    const SimBinding *b = simBindingNamed(name);
    return simValues().read(b ? b->symbol : name);
}

bool writeName(const std::string &name, const std::string &value)
{
    int index = 0;
    if (const SimBinding *b = stringHolding(name, &index)) {
        std::string bytes = padded(*b);
        unsigned long word = std::strtoul(value.c_str(), nullptr, 10);
        for (int i = 0; i < 4; i++) bytes[4 * index + i] = static_cast<char>(word >> (8 * i) & 0xFF);
        return simValues().write(b->symbol, bytes.substr(0, bytes.find('\0')));
    }
    const SimBinding *b = simBindingNamed(name);
    return simValues().write(b ? b->symbol : name, value);
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    for (size_t from = 0;;) {
        size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

bool endsWith(const std::string &text, const char *suffix)
{
    std::string s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

std::string queryOf(const httplib::Request &req)
{
    size_t mark = req.target.find('?');
    return mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
}

} // namespace

bool WGSIM_answer(const httplib::Request &req, httplib::Response &res)
{
    std::string query = queryOf(req);
    if (endsWith(req.path, "cgi-bin/OrderValues.exe")) {
        std::vector<std::string> parts = split(query, '+');
        if (parts.size() < 3 || parts[0].empty()) {
            simReply(res, 200, "Syntax Error.");
            return true;
        }
        std::lock_guard<std::mutex> hold(lock);
        orders[parts[0]] = std::vector<std::string>(parts.begin() + 3, parts.end());
        simReply(res, 200, "Done.");
        return true;
    }
    if (endsWith(req.path, "cgi-bin/ReadFile.exe")) {
        std::vector<std::string> names;
        {
            std::lock_guard<std::mutex> hold(lock);
            auto found = orders.find(query);
            if (found == orders.end()) {
                simReply(res, 404, "Not Found");
                return true;
            }
            names = found->second;
        }
        std::string body;
        for (const std::string &name : names) body += name + "=" + readName(simPercentDecode(name, false)) + "\r\n";
        simReply(res, 200, body);
        return true;
    }
    if (endsWith(req.path, "cgi-bin/writeVal.exe")) {
        size_t plus = query.find('+');
        std::string name = simPercentDecode(query.substr(0, plus), false);
        std::string value = plus == std::string::npos ? std::string() : simPercentDecode(query.substr(plus + 1), true);
        if (plus == std::string::npos) simReply(res, 400, "Syntax Error.");
        else if (writeName(name, value)) simReply(res, 200, value);
        else simReply(res, 403, "read-only");
        return true;
    }
    return false;
}
