// A hostile controller against the real panel (built with the sanitizers), in
// every protocol: a proxy in front of the simulator passes the page files and
// answers every other value request with the next mutation of a fixed table
// (cut replies, 10 MB, wrong lengths, binary junk, unterminated XML, huge and
// negative numbers, NUL bytes, thousands of items, no reply head) once, then
// cuts every value reply. Throughout, the panel keeps writing
// its scripted snapshots (at most 2 s apart), logs a bounded number of lines
// per bad reply, ends cleanly, and at the end shows "Not available" rather
// than a value.
#include "test_support.h"

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

constexpr int kSnapshots = 12;
constexpr int kSnapshotEveryMs = 1000;
constexpr long kMaxSnapshotGapMs = 2000;
constexpr long kCutAllFromMs = 8000; // every value reply is cut from then on (or once the table is done)
constexpr int kIoTimeoutMs = 5000;
constexpr int kStartLines = 170;     // the log of the start (settings, network, time)
constexpr int kLinesPerBadReply = 8; // a time line and a few lines of report

// ---- the mutations -------------------------------------------------------------------

string replyOf(const string &status, size_t length, const string &body)
{
    return status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(length) +
           "\r\nConnection: close\r\n\r\n" + body;
}

string replaceDigitRuns(const string &body, const string &by)
{
    string out;
    for (size_t i = 0; i < body.size();) {
        if (body[i] >= '0' && body[i] <= '9') {
            while (i < body.size() && body[i] >= '0' && body[i] <= '9') i++;
            out += by;
        } else {
            out += body[i++];
        }
    }
    return out;
}

string junk(size_t size)
{
    string out(size, '\0');
    uint32_t x = 2463534242u;
    for (char &c : out) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return out;
}

struct Mutation {
    const char *name;
    std::function<string(const string &status, const string &body)> make;
};

const std::vector<Mutation> &mutations()
{
    static const std::vector<Mutation> table = {
        {"cut in half",
         [](const string &s, const string &b) { return replyOf(s, b.size(), b.substr(0, b.size() / 2)); }},
        {"10 MB", [](const string &s,
                     const string &b) { return replyOf(s, b.size() + (10u << 20), b + string(10u << 20, '7')); }},
        {"length too long", [](const string &s, const string &b) { return replyOf(s, b.size() + 1000, b); }},
        {"length too short", [](const string &s, const string &b) { return replyOf(s, b.size() / 2, b); }},
        {"binary junk", [](const string &s, const string &) { return replyOf(s, 4096, junk(4096)); }},
        {"unterminated XML",
         [](const string &s, const string &) {
             string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope><soap:Body><ReadResponse>"
                          "<RItemList><Items ItemName=\"Pump.Run\"><Value xsi:type=\"xsd:string\">1";
             return replyOf(s, xml.size(), xml);
         }},
        {"huge numbers",
         [](const string &s, const string &b) {
             string text = replaceDigitRuns(b, "99999999999999999999999999");
             return replyOf(s, text.size(), text);
         }},
        {"negative numbers",
         [](const string &s, const string &b) {
             string text = replaceDigitRuns(b, "-2147483648");
             return replyOf(s, text.size(), text);
         }},
        {"NUL bytes",
         [](const string &s, const string &b) {
             string text = b;
             for (size_t i = 0; i < text.size(); i += 5) text[i] = '\0';
             return replyOf(s, text.size(), text);
         }},
        {"thousands of items",
         [](const string &s, const string &b) {
             string text;
             for (int i = 0; i < 3000 && text.size() < (4u << 20); i++) text += b;
             return replyOf(s, text.size(), text);
         }},
        {"empty", [](const string &s, const string &) { return replyOf(s, 0, ""); }},
        {"no reply head", [](const string &, const string &) { return string("\x01\x02 junk without a head\r\n"); }},
    };
    return table;
}

// ---- the proxy -----------------------------------------------------------------------

long msBetween(std::chrono::system_clock::time_point from, std::chrono::system_clock::time_point to)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

bool sendAll(int fd, const string &data)
{
    for (size_t sent = 0; sent < data.size();) {
        ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Appends what comes until want bytes are there (or, with want 0, until the
// peer closes); false on a time-out or when the peer closed too early.
bool receive(int fd, string &data, size_t want)
{
    while (want == 0 || data.size() < want) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, kIoTimeoutMs) <= 0) return false;
        char chunk[8192];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return want == 0;
        data.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

size_t contentLength(const string &head)
{
    size_t at = head.find("Content-Length: ");
    return at == string::npos ? 0 : std::stoul(head.substr(at + 16));
}

// Value requests of every protocol; everything else is a page file.
bool isValueRequest(const string &line)
{
    size_t from = line.find(' ');
    string target = from == string::npos ? "" : line.substr(from + 1);
    for (const char *prefix : {"/cgi-bin/", "/opcxmlda", "/__S7Sys", "/TBox"})
        if (target.rfind(prefix, 0) == 0) return true;
    return false;
}

// The request with "Connection: close" in place of its own connection line.
string withConnectionClose(const string &request)
{
    size_t headEnd = request.find("\r\n\r\n");
    string head;
    for (size_t from = 0; from < headEnd;) {
        size_t end = request.find("\r\n", from);
        string line = request.substr(from, end - from);
        if (line.rfind("Connection:", 0) != 0) head += line + "\r\n";
        from = end + 2;
    }
    return head + "Connection: close\r\n" + request.substr(headEnd + 2);
}

int listenOnLoopback(int *port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), size) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

// Forwards each request to the simulator on its own connection and answers
// with the reply, mutated for every other value request.
class HostileProxy {
public:
    explicit HostileProxy(int targetPort) : targetPort_(targetPort)
    {
        listenFd_ = listenOnLoopback(&port_);
        if (listenFd_ >= 0) acceptor_ = std::thread([this] { run(); });
    }
    ~HostileProxy()
    {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        std::lock_guard<std::mutex> hold(lock_);
        for (std::thread &t : workers_) t.join();
        if (listenFd_ >= 0) close(listenFd_);
    }
    int port() const { return port_; }
    void cutEverything() { cutAll_ = true; }
    std::vector<string> applied()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return applied_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd p = {listenFd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) continue;
            std::lock_guard<std::mutex> hold(lock_);
            workers_.emplace_back([this, fd] {
                serve(fd);
                close(fd);
            });
        }
    }
    // The simulator's reply to the request, with Connection: close.
    string forward(const string &request)
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(targetPort_));
        string reply;
        if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
            if (sendAll(fd, withConnectionClose(request))) receive(fd, reply, 0);
        }
        close(fd);
        return reply;
    }
    // The reply the panel gets, and the mutation's name (empty: none).
    string answer(const string &line, const string &reply, string *name)
    {
        size_t headEnd = reply.find("\r\n\r\n");
        string status = reply.substr(0, reply.find("\r\n"));
        string body = headEnd == string::npos ? "" : reply.substr(headEnd + 4);
        if (!isValueRequest(line) || status.empty()) return reply;
        if (cutAll_) {
            *name = "cut (last seconds)";
            return replyOf(status, body.size() + 100, body.substr(0, body.size() / 3));
        }
        if (valueRequests_++ % 2 == 0) return reply;
        const Mutation &m = mutations()[next_++];
        if (next_ == mutations().size()) cutAll_ = true;
        *name = m.name;
        return m.make(status, body);
    }
    void serve(int fd)
    {
        string request;
        size_t headEnd;
        while ((headEnd = request.find("\r\n\r\n")) == string::npos)
            if (!receive(fd, request, request.size() + 1)) return;
        if (!receive(fd, request, headEnd + 4 + contentLength(request.substr(0, headEnd)))) return;
        string line = request.substr(0, request.find("\r\n"));
        string reply = forward(request), name;
        string sent;
        {
            std::lock_guard<std::mutex> hold(lock_);
            sent = answer(line, reply, &name);
            if (!name.empty())
                applied_.push_back(std::to_string(msBetween(started_, std::chrono::system_clock::now())) + " ms " +
                                   name + ": " + line);
        }
        sendAll(fd, sent);
    }

    std::chrono::system_clock::time_point started_ = std::chrono::system_clock::now();
    int targetPort_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> cutAll_{false};
    std::thread acceptor_;
    std::mutex lock_;
    std::vector<std::thread> workers_;
    std::vector<string> applied_;
    unsigned valueRequests_ = 0;
    size_t next_ = 0;
};

// ---- the runs ------------------------------------------------------------------------

struct Protocol {
    string name, page;
};

// The level of the tank, a process value: none when it is "Not available".
bool noLevelShown(const Image &img)
{
    return img.width > 0 && img.at(300, 5) == kHeader && countColour(img, kLevel, 42, 78, 100, 104) == 0;
}

class HostileE2E : public TempDirTest {
protected:
    void run(const Protocol &p)
    {
        SCOPED_TRACE(p.name);
        string root = path("root-" + p.name);
        copyDemo(root, 200);
        string page = readFile(root + "/" + p.page);
        size_t period = page.find("\"Period\" value=\"500\"");
        if (period != string::npos) page.replace(period, 20, "\"Period\" value=\"200\"");
        writeFile(root + "/" + p.page, page);
        std::vector<string> extra = {"--protocol", p.name};
        if (fileExists(root + "/plant-" + p.name + ".tcr"))
            extra.insert(extra.end(), {"--tcr", root + "/plant-" + p.name + ".tcr"});
        Target target(path("t-" + p.name), root, root + "/values.txt", 0, extra);
        ASSERT_TRUE(target.ok());
        HostileProxy proxy(target.port());
        ASSERT_GT(proxy.port(), 0);
        PanelSetup setup{"http://127.0.0.1:" + std::to_string(proxy.port()) + "/" + p.page, "",
                         snapshotScript(kSnapshots, kSnapshotEveryMs)};
        setup.timeoutMs = 1000;
        setup.screenAtEveryChange = false;
        Panel panel(path("p-" + p.name), setup);
        auto started = std::chrono::system_clock::now();
        EXPECT_TRUE(waitUntil([&] { return msBetween(started, std::chrono::system_clock::now()) >= kCutAllFromMs; },
                              kCutAllFromMs + 1000));
        proxy.cutEverything();
        EXPECT_EQ(panel.wait(kSnapshots * kSnapshotEveryMs + 30000), 0) << panel.output();
        std::vector<string> applied = proxy.applied();
        string list;
        for (const string &a : applied) list += a + "\n";
        SCOPED_TRACE("the mutations (ms since the proxy started):\n" + list);
        expectDrawingKept(panel, started);
        EXPECT_GE(applied.size(), 8u) << "the mutations reached the panel";
        string log = panel.log();
        EXPECT_LE(countOccurrences(log, "\n"), kStartLines + kLinesPerBadReply * static_cast<int>(applied.size()))
            << "a bounded report of each bad reply\n"
            << log;
        EXPECT_LT(log.size(), 200000u) << "no reply is copied into the log whole";
        EXPECT_EQ(panel.output().find("runtime error"), string::npos) << panel.output();
        Image last = readPng(panel.file("snapshot-" + std::to_string(kSnapshots) + ".png"));
        EXPECT_TRUE(noLevelShown(last)) << "\"Not available\": no level in the tank\n" << log;
    }
    // Every snapshot came, none more than kMaxSnapshotGapMs after the one before.
    void expectDrawingKept(const Panel &panel, std::chrono::system_clock::time_point started)
    {
        long worst = 0, at = 0;
        for (int i = 1; i <= kSnapshots; i++) {
            ASSERT_TRUE(fileExists(panel.file("snapshot-" + std::to_string(i) + ".png"))) << "snapshot " << i;
            auto written = writtenAt(panel.file("snapshot-" + std::to_string(i) + ".png"));
            long gap =
                i > 1 ? msBetween(writtenAt(panel.file("snapshot-" + std::to_string(i - 1) + ".png")), written) : 0;
            if (gap > worst) worst = gap, at = msBetween(started, written);
        }
        EXPECT_LE(worst, kMaxSnapshotGapMs) << "longest time between two snapshots, at " << at << " ms";
    }
};

} // namespace

TEST_F(HostileE2E, NativeController) { run({"native", "start.html"}); }
TEST_F(HostileE2E, IlrController) { run({"ilr", "start.html"}); }
TEST_F(HostileE2E, OpcController) { run({"opc", "start-opc.html"}); }
TEST_F(HostileE2E, S7Controller) { run({"s7", "start-s7.html"}); }
TEST_F(HostileE2E, WagoController) { run({"wago", "start-wago.html"}); }
TEST_F(HostileE2E, TboxController) { run({"tbox", "start-tbox.html"}); }
