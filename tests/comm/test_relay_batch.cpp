// Runs of reading requests side by side: every reply taken in the order of
// the requests, a failure stopping the run after the replies before it, kept
// connections that went stale, and a target that serves one connection at a
// time.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "comm_fixtures.h"
#include "transport/http_client.h"

namespace {

using After = RawServer::After;

// The gate holds a request longer than the client waits for a reply, and both
// are far beyond what a loaded machine needs.
constexpr auto kGateHold = std::chrono::seconds(60);
constexpr int kClientTimeoutMs = 20000;

// Holds the first `gate` requests until that many are open at once, then
// answers them newest first; later requests at once. A client that sent its
// requests one after the other would run into its deadline.
class GateServer {
public:
    explicit GateServer(int gate) : gate_(gate)
    {
        listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listenFd_, reinterpret_cast<sockaddr *>(&address), length) != 0 || listen(listenFd_, 16) != 0 ||
            getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { acceptAll(); });
    }
    ~GateServer()
    {
        shutdown(listenFd_, SHUT_RDWR);
        close(listenFd_);
        acceptor_.join();
        {
            std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
            changed_.notify_all();
            for (int fd : open_) shutdown(fd, SHUT_RDWR);
        }
        for (std::thread &t : workers_) t.join();
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_; }

private:
    void acceptAll()
    {
        for (;;) {
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) return;
            connections_++;
            {
                std::lock_guard<std::mutex> hold(lock_);
                open_.push_back(fd);
            }
            workers_.emplace_back([this, fd] { serve(fd); });
        }
    }
    void serve(int fd)
    {
        std::string pending;
        char chunk[1024];
        for (;;) {
            size_t end = pending.find("\r\n\r\n");
            if (end == std::string::npos) {
                ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                pending.append(chunk, static_cast<size_t>(n));
                continue;
            }
            std::string line = pending.substr(0, pending.find("\r\n"));
            pending.erase(0, end + 4);
            size_t query = line.find('?') + 1;
            waitForTurn();
            RawServer::sendText(fd, httpReply("value=" + line.substr(query, line.find(' ', query) - query) + "\n"));
            std::lock_guard<std::mutex> hold(lock_);
            answered_++;
            changed_.notify_all();
        }
        std::lock_guard<std::mutex> hold(lock_);
        std::erase(open_, fd);
        close(fd);
    }
    void waitForTurn()
    {
        std::unique_lock<std::mutex> hold(lock_);
        int arrival = arrived_++;
        if (arrival >= gate_) return;
        changed_.notify_all();
        changed_.wait_for(hold, kGateHold,
                          [&] { return stopping_ || (arrived_ >= gate_ && answered_ == gate_ - 1 - arrival); });
    }

    int gate_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::mutex lock_;
    std::condition_variable changed_;
    int arrived_ = 0;
    int answered_ = 0;
    bool stopping_ = false;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::vector<int> open_; // connections, shut down when the server stops
};

struct Taken {
    std::vector<int> order;
    std::vector<std::string> bodies;
};

void nameOf(int index, char *name, int size, void *) { std::snprintf(name, static_cast<size_t>(size), "v_%d", index); }

void takeInto(int index, char *body, void *context)
{
    Taken *taken = static_cast<Taken *>(context);
    taken->order.push_back(index);
    taken->bodies.emplace_back(body);
}

class RelayBatchTest : public CommTest {
protected:
    int run(const std::string &host, int count)
    {
        taken = {};
        return SRVR_relayEach(host.c_str(), RLY_READ_FILE, count, nameOf, takeInto, &taken);
    }
    static std::vector<int> upTo(int count)
    {
        std::vector<int> all;
        for (int i = 0; i < count; i++) all.push_back(i);
        return all;
    }

    Taken taken;
};

TEST_F(RelayBatchTest, RequestsGoSideBySideAndRepliesAreTakenInTheirOrder)
{
    // A client that sent one request after the other would wait at the gate
    // until its deadline; the generous time-out keeps a loaded machine out of it.
    SRVR_setTimeout(kClientTimeoutMs);
    GateServer target(SRVR_RELAY_WINDOW);
    auto started = std::chrono::steady_clock::now();
    int result = run(target.host(), 9);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_EQ(result, 1) << "the run failed after " << took.count() << " ms (client time-out " << kClientTimeoutMs
                         << " ms)\n"
                         << log();
    EXPECT_EQ(taken.order, upTo(9));
    ASSERT_EQ(taken.bodies.size(), 9u);
    EXPECT_EQ(taken.bodies[0], "value=v_0\n");
    EXPECT_EQ(taken.bodies[8], "value=v_8\n");
    EXPECT_EQ(target.connections(), 9);

    // With keep-alive the connections of one run serve the next.
    SRVR_setKeepAlive(1);
    ASSERT_EQ(run(target.host(), 9), 1);
    unsigned before = SRVR_getConnectCount();
    ASSERT_EQ(run(target.host(), 9), 1);
    EXPECT_EQ(SRVR_getConnectCount(), before);
    EXPECT_EQ(taken.order, upTo(9));
}

TEST_F(RelayBatchTest, AFailureEndsTheRunAfterTheRepliesBeforeIt)
{
    RawServer target([](int fd, const std::string &request) {
        if (request.find("v_2 ") != std::string::npos) {
            RawServer::sendText(fd, httpReply("", "404 Not Found"));
            return After::Close;
        }
        if (request.find("v_4 ") != std::string::npos) return After::Close; // no reply at all
        RawServer::sendText(fd, httpReply("ok\n\n"));
        return After::Close;
    });
    EXPECT_EQ(run(target.host(), 3), 0);
    EXPECT_EQ(taken.order, upTo(2));

    // A reply that never came fails its own request, the ones before it are taken.
    EXPECT_EQ(SRVR_relayEach(
                  target.host().c_str(), RLY_READ_FILE, 4,
                  [](int index, char *name, int size, void *) {
                      std::snprintf(name, static_cast<size_t>(size), "v_%d", index == 2 ? 4 : index);
                  },
                  takeInto, &taken),
              0);
    EXPECT_EQ(taken.order, std::vector<int>({0, 1, 0, 1}));
    EXPECT_EQ(countOf(log(), "Relay URL: E! recv failed !"), 1);

    // Only reading commands; nothing is sent for the others.
    size_t requests = target.requests().size();
    EXPECT_EQ(SRVR_relayEach(target.host().c_str(), RLY_WRITE_VALUE, 2, nameOf, takeInto, &taken), 0);
    EXPECT_EQ(target.requests().size(), requests);
}

TEST_F(RelayBatchTest, StaleKeptConnectionsAreOpenedAgainQuietly)
{
    RawServer target([](int fd, const std::string &) {
        RawServer::sendText(fd, httpReply("ok\n\n"));
        return After::Close;
    });
    SRVR_setKeepAlive(1);
    for (int round = 0; round < 3; round++) {
        ASSERT_EQ(run(target.host(), 6), 1) << log();
        EXPECT_EQ(taken.order, upTo(6));
    }
    EXPECT_EQ(target.requests().size(), 18u);
    EXPECT_EQ(log().find("failed"), std::string::npos) << log();
}

TEST_F(RelayBatchTest, AServerOfOneConnectionAtATimeIsReadOneRequestAfterTheOther)
{
    RawServer target([](int fd, const std::string &request) {
        std::string line = request.substr(0, request.find(' ', 5));
        std::string body = line.substr(line.find('?') + 1) + "\n";
        RawServer::sendText(fd, httpReply(body));
        return After::KeepReading;
    });
    SRVR_setKeepAlive(1);
    ASSERT_EQ(run(target.host(), 6), 1) << log();
    EXPECT_EQ(taken.order, upTo(6));
    EXPECT_EQ(taken.bodies[5], "v_5\n");
    EXPECT_EQ(countOf(log(), "serves one connection at a time"), 1);

    // From then on one kept connection carries the reads, without waiting.
    unsigned before = SRVR_getConnectCount();
    for (int round = 0; round < 3; round++) ASSERT_EQ(run(target.host(), 6), 1);
    EXPECT_EQ(SRVR_getConnectCount() - before, 0u);
    EXPECT_EQ(target.requests().size(), 24u);
    EXPECT_EQ(countOf(log(), "serves one connection at a time"), 1);
    EXPECT_EQ(log().find("failed"), std::string::npos) << log();
}

} // namespace
