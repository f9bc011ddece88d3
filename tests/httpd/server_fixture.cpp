#include "server_fixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "data/value_store.h"
#include "httpd/web_server.h"
#include "process_runner.h"
#include "runtime/settings.h"
#include "view/view_manager.h"

int srvConnect(int port, int rcvbuf)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (rcvbuf > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string srvReadAll(int fd, int ms)
{
    std::string text;
    char buffer[4096];
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

std::string srvTalk(int port, const std::string &request)
{
    int fd = srvConnect(port);
    if (fd < 0) return "<no connection>";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer = srvReadAll(fd);
    close(fd);
    return answer;
}

timespec srvNow()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

double srvMsSince(const timespec &start)
{
    timespec t = srvNow();
    return static_cast<double>(t.tv_sec - start.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec - start.tv_nsec) / 1e6;
}

std::string srvRun(const std::string &command)
{
    std::string text;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    pclose(p);
    return text;
}

bool srvHaveTool(const char *name)
{
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void ServerTest::SetUp()
{
    TempDirTest::SetUp();
    std::filesystem::create_directory(path("www"));
    writeFile(path("www/start.html"), "<html>hello</html>");
    VM_SetDocumentBase("www/"); // the program's own directory is never served
    startServer();
}

void ServerTest::startServer()
{
    port_ = freeLoopbackPort();
    setenv("PANTERM_HTTPD_BIND", "127.0.0.1", 1);
    pterm.httpd_enabled = 1;
    pterm.httpd_port = port_;
    SRV_Initialized = 0; // a server run before has left it at 1
    ASSERT_EQ(pthread_create(&thread_, nullptr, start_eweb_task, &pterm.httpd_port), 0);
    running_ = true;
    for (int i = 0; i < 200 && SRV_Initialized != 1; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(SRV_Initialized, 1);
    DS_exchangeWithPanel();
}

void ServerTest::stopServer()
{
    if (!running_) return;
    SRVC_Shutdown();
    pthread_join(thread_, nullptr);
    running_ = false;
}

void ServerTest::TearDown()
{
    stopServer();
    TempDirTest::TearDown();
}
