// S7 HTTP gateway of panterm-target: POSTs to "__S7Sys/get|put/bin/rs/R/S/sps7"
// carry S7 job PDUs (read or write variable, one S7ANY item in a data block)
// and are answered with acknowledgement PDUs from a simulated memory of data
// blocks. The page's TCR file (--tcr) says where the signals sit: before a
// read their values are written into the memory, after a write the values of
// the signals it touched are taken back from it. Data blocks the file does
// not name do not exist; --s7-errors N answers the first N jobs with an error
// class.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "sim_internal.h"

namespace {

constexpr size_t kBlockSize = 65536;

struct Point {
    std::string symbol;
    int type, count, db;
    long byte;
    int bit;
};

std::mutex lock;
std::map<int, std::vector<uint8_t>> memory; // data block number -> bytes
std::vector<Point> points;
std::atomic<int> errorsLeft{0};

unsigned get(const std::string &pdu, size_t at, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; i++) value = value << 8 | static_cast<uint8_t>(pdu[at + i]);
    return value;
}

void put(std::string &out, unsigned value, int bytes)
{
    for (int i = bytes - 1; i >= 0; i--) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

void putAt(std::vector<uint8_t> &m, long at, unsigned long value, int bytes)
{
    for (int i = 0; i < bytes; i++) m[at + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)) & 0xFF);
}

unsigned long getAt(const std::vector<uint8_t> &m, long at, int bytes)
{
    unsigned long value = 0;
    for (int i = 0; i < bytes; i++) value = value << 8 | m[at + i];
    return value;
}

int sizeOf(const Point &p)
{
    switch (p.type) {
    case 1:
    case 2:
    case 3: return 1;
    case 4:
    case 5: return 2;
    case 6:
    case 7:
    case 8: return 4;
    case 19: return p.count + 2;
    default: return 0;
    }
}

// The signal's value written into the memory in the point's type.
void store(const Point &p, const std::string &text)
{
    std::vector<uint8_t> &m = memory[p.db];
    double number = std::strtod(text.c_str(), nullptr);
    long whole = std::lround(number);
    switch (p.type) {
    case 1: m[p.byte] = static_cast<uint8_t>(number != 0 ? m[p.byte] | 1 << p.bit : m[p.byte] & ~(1 << p.bit)); break;
    case 2:
    case 3: m[p.byte] = static_cast<uint8_t>(whole); break;
    case 4:
    case 5: putAt(m, p.byte, static_cast<unsigned long>(whole), 2); break;
    case 6:
    case 7: putAt(m, p.byte, static_cast<unsigned long>(whole), 4); break;
    case 8: {
        float f = static_cast<float>(number);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        putAt(m, p.byte, bits, 4);
        break;
    }
    case 19: {
        size_t length = std::min(text.size(), static_cast<size_t>(p.count));
        m[p.byte] = static_cast<uint8_t>(p.count);
        m[p.byte + 1] = static_cast<uint8_t>(length);
        std::memcpy(&m[p.byte + 2], text.data(), length);
        break;
    }
    default: break;
    }
}

// The point's value as text, from the memory.
std::string load(const Point &p)
{
    const std::vector<uint8_t> &m = memory[p.db];
    char text[64];
    switch (p.type) {
    case 1: return (m[p.byte] >> p.bit & 1) ? "1" : "0";
    case 2:
    case 3: std::snprintf(text, sizeof text, "%u", m[p.byte]); break;
    case 4: std::snprintf(text, sizeof text, "%lu", getAt(m, p.byte, 2)); break;
    case 5: std::snprintf(text, sizeof text, "%d", static_cast<int16_t>(getAt(m, p.byte, 2))); break;
    case 6: std::snprintf(text, sizeof text, "%lu", getAt(m, p.byte, 4)); break;
    case 7: std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(getAt(m, p.byte, 4))); break;
    case 8: {
        uint32_t bits = static_cast<uint32_t>(getAt(m, p.byte, 4));
        float f;
        std::memcpy(&f, &bits, 4);
        std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
        break;
    }
    case 19: return std::string(reinterpret_cast<const char *>(&m[p.byte + 2]), std::min<int>(m[p.byte + 1], p.count));
    default: return {};
    }
    return text;
}

// An acknowledgement: header (with error class and code), parameter, data.
std::string ack(unsigned reference, const std::string &parameter, const std::string &data, unsigned error = 0)
{
    std::string out("\x32\x03\x00\x00", 4);
    put(out, reference, 2);
    put(out, static_cast<unsigned>(parameter.size()), 2);
    put(out, static_cast<unsigned>(data.size()), 2);
    put(out, error, 2);
    return out + parameter + data;
}

struct Job {
    unsigned reference, function, type, count, db, area, address;
    std::string data; // of a write: the value bytes after the data part's header
};

// Parses a job PDU; false when it is not one job with one S7ANY item.
bool parseJob(const std::string &pdu, Job &job)
{
    if (pdu.size() < 24 || static_cast<uint8_t>(pdu[0]) != 0x32 || pdu[1] != 1 || get(pdu, 6, 2) != 14 ||
        pdu[11] != 1 || static_cast<uint8_t>(pdu[12]) != 0x12 || pdu[13] != 10 || pdu[14] != 0x10)
        return false;
    job = {get(pdu, 4, 2),  get(pdu, 10, 1), get(pdu, 15, 1), get(pdu, 16, 2),
           get(pdu, 18, 2), get(pdu, 20, 1), get(pdu, 21, 3), {}};
    unsigned dataLength = get(pdu, 8, 2);
    if (pdu.size() != 24 + dataLength) return false;
    if (job.function == 4) return dataLength == 0;
    if (job.function != 5 || dataLength < 4) return false;
    job.data = pdu.substr(28);
    return true;
}

bool overlaps(const Point &p, unsigned db, long from, long to)
{
    return p.db == static_cast<int>(db) && p.byte < to && p.byte + sizeOf(p) > from;
}

long elementBytes(unsigned type) { return type == 4 || type == 5 ? 2 : type >= 6 && type <= 8 ? 4 : 1; }

std::string read(const Job &job)
{
    long from = job.address >> 3, length = job.type == 1 ? 1 : job.count * elementBytes(job.type);
    std::string parameter("\x04\x01", 2);
    std::lock_guard<std::mutex> hold(lock);
    if (!memory.count(static_cast<int>(job.db)) || from + length > static_cast<long>(kBlockSize))
        return ack(job.reference, parameter, std::string("\x0A\x00\x00\x00", 4));
    for (const Point &p : points)
        if (overlaps(p, job.db, from, from + length)) store(p, simValues().read(p.symbol));
    std::string data("\xFF\x04", 2);
    put(data, static_cast<unsigned>(length * 8), 2);
    data.append(reinterpret_cast<const char *>(&memory[static_cast<int>(job.db)][from]), static_cast<size_t>(length));
    return ack(job.reference, parameter, data);
}

std::string write(const Job &job)
{
    long from = job.address >> 3, length = static_cast<long>(job.data.size());
    std::string parameter("\x05\x01", 2);
    std::lock_guard<std::mutex> hold(lock);
    if (!memory.count(static_cast<int>(job.db)) || job.area != 0x84 || from + length > static_cast<long>(kBlockSize))
        return ack(job.reference, parameter, std::string("\x0A", 1));
    std::vector<uint8_t> &m = memory[static_cast<int>(job.db)];
    if (job.type == 1 && length == 1)
        m[from] =
            static_cast<uint8_t>(job.data[0] ? m[from] | 1 << (job.address & 7) : m[from] & ~(1 << (job.address & 7)));
    else std::memcpy(&m[from], job.data.data(), static_cast<size_t>(length));
    for (const Point &p : points)
        if (overlaps(p, job.db, from, from + length)) simValues().write(p.symbol, load(p));
    return ack(job.reference, parameter, std::string("\xFF", 1));
}

bool isGatewayPath(const std::string &path, const char *direction)
{
    std::string head = std::string("/__S7Sys/") + direction + "/bin/rs/";
    size_t at = path.find(head);
    return at != std::string::npos && path.size() > 5 && path.compare(path.size() - 5, 5, "/sps7") == 0;
}

} // namespace

bool S7SIM_option(const std::string &arg, const std::string &value)
{
    if (arg != "--s7-errors") return true;
    char *end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    errorsLeft = static_cast<int>(n);
    return *end == '\0' && n >= 0 && n <= 1000000;
}

bool S7SIM_start()
{
    for (const SimBinding &b : simBindings()) {
        if (b.field(4) != "1") continue;
        Point p{b.symbol,
                static_cast<int>(simFieldNumber(b, 6, 0)),
                static_cast<int>(simFieldNumber(b, 7, 1)),
                static_cast<int>(simFieldNumber(b, 9, 0)),
                simFieldNumber(b, 10, 0),
                static_cast<int>(simFieldNumber(b, 11, 0))};
        if (simFieldNumber(b, 8, 0) != 0x84 || p.byte < 0 || p.byte + sizeOf(p) > static_cast<long>(kBlockSize) ||
            p.bit < 0 || p.bit > 7 || p.count < 1 || p.count > 254) {
            std::fprintf(stderr, "panterm-target: %s is no S7 address in a data block\n", b.symbol.c_str());
            return false;
        }
        memory[p.db].resize(kBlockSize);
        points.push_back(p);
    }
    return true;
}

bool S7SIM_answer(const httplib::Request &req, httplib::Response &res)
{
    bool reading = isGatewayPath(req.path, "get"), writing = isGatewayPath(req.path, "put");
    if (req.method != "POST" || (!reading && !writing)) return false;
    Job job;
    if (!parseJob(req.body, job) || (job.function == 4) != reading) {
        simReply(res, 400, "Bad S7 job\r\n");
        return true;
    }
    std::string answer = errorsLeft.fetch_sub(1) > 0 ? ack(job.reference, {}, {}, 0x8104)
                         : reading                   ? read(job)
                                                     : write(job);
    simReply(res, 200, answer, "application/octet-stream");
    return true;
}
