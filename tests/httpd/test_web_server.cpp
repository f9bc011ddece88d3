// The server thread on a real socket of 127.0.0.1: answers, clients that send
// nothing or dribble, too many idle connections and the stop request. The
// remote view is tested in test_http_security.cpp and the end-to-end tests.
#include <atomic>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "httpd/http_connection.h"
#include "httpd/web_server.h"
#include "nanox/nano-X.h"
#include "nanox/nx_remote.h"
#include "runtime/settings.h"
#include "server_fixture.h"

using std::string;

namespace {

int connectTo(int port) { return srvConnect(port); }
string readAll(int fd, int ms = 5000) { return srvReadAll(fd, ms); }
string talk(int port, const string &request) { return srvTalk(port, request); }

class WebServer : public ServerTest {};

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
    stopServer();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(pterm.httpd_enabled, 0);
    EXPECT_EQ(connectTo(port_), -1);
}

TEST_F(WebServer, IdleAndDribblingClientsDoNotHoldTheServer)
{
    stopServer(); // a request head gets one second instead of five
    HcLimits limits = *HC_limits();
    limits.headMs = 1000;
    HC_setLimits(&limits);
    startServer();
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
    EXPECT_EQ(readAll(dribbler, 4000), "");
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
