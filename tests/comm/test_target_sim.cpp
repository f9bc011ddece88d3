// The target simulator's own promises: what it keeps is bounded, idle
// kept-alive connections do not keep new clients waiting, and its fault
// switches do what they say within their time window.
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "comm_fixtures.h"

namespace {

class TargetSimTest : public CommTest {
protected:
    void startSim(const std::vector<std::string> &extra)
    {
        writeFile(root() + "/a.txt", "0123456789");
        ASSERT_TRUE(sim.start(root(), path("sim.log"), extra));
    }
    int connectToSim()
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(sim.port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        timeval limit = {5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        return fd;
    }
    // One request on a connection of its own; the reply as far as it came,
    // and in *failed whether the connection ended in an error.
    std::string get(const std::string &target, bool *failed = nullptr)
    {
        int fd = connectToSim();
        std::string request = "GET " + target + " HTTP/1.0\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::string reply;
        char chunk[4096];
        ssize_t n;
        while ((n = recv(fd, chunk, sizeof chunk, 0)) > 0) reply.append(chunk, static_cast<size_t>(n));
        if (failed) *failed = n < 0;
        close(fd);
        return reply;
    }
    static std::string body(const std::string &reply)
    {
        size_t end = reply.find("\r\n\r\n");
        return end == std::string::npos ? "" : reply.substr(end + 4);
    }
    TargetSim sim;
};

long msSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

TEST_F(TargetSimTest, KeepsTheNewestOrdersAndServesNewClientsBesideIdleOnes)
{
    startSim({});
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(body(get("/cgi-bin/OrderValues.exe?p_" + std::to_string(i) + "+dummy+500+x.n" + std::to_string(i))),
                  "Done.");
    EXPECT_NE(get("/cgi-bin/ReadFile.exe?p_0").find(" 404 "), std::string::npos) << "the oldest blocks went";
    EXPECT_EQ(body(get("/cgi-bin/ReadFile.exe?p_299")), "x.n299=0\n");

    // Twenty clients that made one request each and keep their connection.
    std::vector<int> idle;
    const std::string keptAlive = "GET /a.txt HTTP/1.1\r\nConnection: keep-alive\r\n\r\n";
    char chunk[512];
    for (int i = 0; i < 20; i++) {
        idle.push_back(connectToSim());
        send(idle.back(), keptAlive.data(), keptAlive.size(), MSG_NOSIGNAL);
        ASSERT_GT(recv(idle.back(), chunk, sizeof chunk, 0), 0);
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(body(get("/a.txt")), "0123456789");
    EXPECT_LT(msSince(start), 1000) << "idle kept-alive connections do not hold up a new client";
    for (int fd : idle) close(fd);
}

TEST_F(TargetSimTest, FaultSwitchesActWithinTheirWindow)
{
    startSim({"--fault-seconds", "2", "--stall-after", "4", "--fail", "/b.txt:1", "--log-times"});
    writeFile(root() + "/b.txt", "b");
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(get("/b.txt").find(" 404 "), std::string::npos);
    EXPECT_EQ(body(get("/a.txt")), "0123456789") << "the stalled rest comes once the window is over";
    EXPECT_GE(msSince(start), 1500);
    EXPECT_EQ(body(get("/b.txt")), "b") << "after its one failure, and after the window";
    std::vector<std::string> lines = sim.logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(lines[0].find(' ') + 1), "GET /b.txt HTTP/1.0") << "milliseconds first";

    sim.stop();
    startSim({"--reset-after", "3"});
    bool failed = false;
    std::string cut = get("/a.txt", &failed);
    EXPECT_TRUE(failed) << "a reset, not an orderly end";
    EXPECT_EQ(body(cut), "012");
}

} // namespace
