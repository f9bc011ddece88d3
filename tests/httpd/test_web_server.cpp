// The server thread on a real socket of 127.0.0.1: answers, clients that send
// nothing or dribble, too many idle connections, the stop request, and the
// remote view's picture skipped by curl while the screen stays the same. The
// rest of the remote view is tested in test_http_security.cpp and the
// end-to-end tests.
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
#include "httpd/credentials.h"
#include "httpd/http_connection.h"
#include "httpd/remote_view.h"
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

class WebServer : public ServerTest {
protected:
    // curl on a thread of its own, this thread taking the display's events as
    // the panel's main thread does; the header block of the answer.
    string curlFrame(const string &options)
    {
        std::atomic<bool> done{false};
        string headers;
        std::thread client([&] {
            headers = srvRun("curl -s -m 5 -D - -o " + path("frame.png") + " " + options +
                             " http://127.0.0.1:" + std::to_string(port_) + "/_panel/frame.png");
            done = true;
        });
        GR_EVENT e;
        while (!done) GrGetNextEventTimeout(&e, 10);
        client.join();
        return headers;
    }
    static string header(const string &answer, const string &name)
    {
        size_t at = answer.find("\r\n" + name + ": ");
        if (at == string::npos) return "<none>";
        at += name.size() + 4;
        return answer.substr(at, answer.find("\r\n", at) - at);
    }
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

TEST_F(WebServer, RemoteViewPictureIsSkippedUntilTheScreenChanges)
{
    ASSERT_TRUE(srvHaveTool("curl")) << "curl is missing: install the Debian package curl";
    useHeadlessScreen("64x40");
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID win = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 64, 40, 0, WHITE, BLACK);
    GrMapWindow(win);
    GR_GC_ID gc = GrNewGC();
    GrFlush();
    // settings are read before the server's thread starts, as at the panel's start
    stopServer();
    pterm.remote_view = RV_SCREEN;
    startServer();
    const string tag = "--etag-save " + path("tag") + " ";
    string first = curlFrame(tag);
    EXPECT_EQ(first.substr(0, 15), "HTTP/1.0 200 OK") << first;
    EXPECT_EQ(readFile(path("frame.png")).substr(1, 3), "PNG");
    string again = curlFrame("--etag-compare " + path("tag"));
    EXPECT_EQ(again.substr(0, 16), "HTTP/1.0 304 Not") << again;
    EXPECT_EQ(header(again, "ETag"), header(first, "ETag"));
    EXPECT_EQ(header(again, "X-Frame"), header(first, "X-Frame"));

    GrSetGCForeground(gc, BLACK);
    GrFillRect(win, gc, 0, 0, 10, 10);
    GrFlush();
    string changed = curlFrame("--etag-compare " + path("tag"));
    EXPECT_EQ(changed.substr(0, 15), "HTTP/1.0 200 OK") << changed;
    EXPECT_NE(header(changed, "ETag"), header(first, "ETag"));
    EXPECT_NE(header(changed, "X-Frame"), header(first, "X-Frame"));
    EXPECT_EQ(header(curlFrame("-H 'If-None-Match: " + header(changed, "ETag") + "'"), "ETag"),
              header(changed, "ETag"));

    // with input on and a credentials file, a known tag opens nothing
    stopServer();
    writeFile(path(AUTH_FILE_NAME), "engineer:Pa55word\n");
    pterm.remote_view = RV_INPUT;
    startServer();
    string refused = curlFrame("-H 'If-None-Match: " + header(changed, "ETag") + "'");
    EXPECT_EQ(refused.substr(0, 25), "HTTP/1.0 401 Unauthorized") << refused;
}
