// The server thread on a real socket of 127.0.0.1: answers, clients that send
// nothing or dribble, too many idle connections and the stop request. The
// remote view over a socket is in test_http_security_server.cpp.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/startup.h"
#include "data/value_store.h"
#include "httpd/web_server.h"
#include "nanox/nano-X.h"
#include "nanox/nx_remote.h"
#include "process_runner.h"
#include "runtime/settings.h"
#include "test_support.h"
#include "view/view_manager.h"

using std::string;

namespace {

int connectTo(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
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

// Everything the server sends until it closes (at most ms).
string readAll(int fd, int ms = 5000)
{
    string text;
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

string talk(int port, const string &request)
{
    int fd = connectTo(port);
    if (fd < 0) return "<no connection>";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    string answer = readAll(fd);
    close(fd);
    return answer;
}

class WebServer : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        std::filesystem::create_directory(path("www"));
        writeFile(path("www/start.html"), "<html>hello</html>");
        VM_SetDocumentBase("www/"); // the program's own directory is never served
        port_ = freeLoopbackPort();
        setenv("PANTERM_HTTPD_BIND", "127.0.0.1", 1);
        pterm.httpd_enabled = 1;
        pterm.httpd_port = port_;
        ASSERT_EQ(pthread_create(&thread_, nullptr, start_eweb_task, &pterm.httpd_port), 0);
        running_ = true;
        for (int i = 0; i < 200 && SRV_Initialized != 1; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(SRV_Initialized, 1);
        DS_exchangeWithPanel();
    }
    void TearDown() override
    {
        if (running_) {
            SRVC_Shutdown();
            pthread_join(thread_, nullptr);
        }
        TempDirTest::TearDown();
    }
    int port_ = 0;
    pthread_t thread_{};
    bool running_ = false;
};

} // namespace

TEST_F(WebServer, AnswersAndStopsOnRequest)
{
    string answer = talk(port_, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.0 200 OK");
    EXPECT_NE(answer.find("X-HitCounter: 1\r\n"), string::npos);
    EXPECT_NE(answer.find("\r\n\r\n<html>hello</html>"), string::npos);
    // a request line alone, without the header's end, is answered after a short pause
    EXPECT_EQ(talk(port_, "GET / HTTP/1.0\r\n").substr(0, 15), "HTTP/1.0 200 OK");

    auto start = std::chrono::steady_clock::now();
    SRVC_Shutdown();
    pthread_join(thread_, nullptr);
    running_ = false;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(pterm.httpd_enabled, 0);
    EXPECT_EQ(connectTo(port_), -1);
}

TEST_F(WebServer, IdleAndDribblingClientsDoNotHoldTheServer)
{
    std::vector<int> idle;
    for (int i = 0; i < 200; i++) idle.push_back(connectTo(port_));
    int dribbler = connectTo(port_);
    std::atomic<bool> stop{false};
    std::thread dribble([&] {
        const char *text = "GET /start.html HTTP/1.1\r\nHost: x\r\n";
        for (const char *p = text; *p && !stop; p++) {
            send(dribbler, p, 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    });
    auto start = std::chrono::steady_clock::now();
    string answer = talk(port_, "GET /start.html HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.0 200 OK");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // the dribbler is cut off once its time is up
    EXPECT_EQ(readAll(dribbler, 8000), "");
    stop = true;
    dribble.join();
    close(dribbler);
    for (int fd : idle) close(fd);
    EXPECT_EQ(talk(port_, "GET / HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.0 200 OK");
}

TEST_F(WebServer, OversizedAndBrokenRequestsAreClosedAndTheServerGoesOn)
{
    EXPECT_EQ(talk(port_, string(100000, 'A')), ""); // no line feed within the buffer
    EXPECT_EQ(talk(port_, "GET /" + string(100000, 'a') + " HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(talk(port_, string("GET /\0\0 HTTP/1.1\r\n\r\n", 20)).substr(0, 22), "HTTP/1.0 404 Not Found");
    // a body that ends before its length: no file, the syntax error
    int fd = connectTo(port_);
    string upload = "POST /a.txt HTTP/1.1\r\nContent-Length: 100000000\r\n\r\nshort";
    send(fd, upload.data(), upload.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    EXPECT_NE(readAll(fd).find("Syntax Error."), string::npos);
    close(fd);
    // headers that never end: the request is cut off with the head's time
    fd = connectTo(port_);
    string open = "POST /b.txt HTTP/1.1\r\nContent-Length: 3\r\nX-Long: ";
    send(fd, open.data(), open.size(), MSG_NOSIGNAL);
    EXPECT_EQ(talk(port_, "GET / HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.0 200 OK");
    close(fd);
}
