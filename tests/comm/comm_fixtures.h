// Test helpers for the target link: the target simulator as a child process,
// and a raw socket server that misbehaves as a script says.
#pragma once
#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "target_link_reset.h"
#include "test_support.h"

// build/panterm-target, started with --port (0: a free one) and a log file.
class TargetSim {
public:
    ~TargetSim() { stop(); }
    // Starts the simulator; extra arguments are passed on. Answers false when
    // it did not report its port.
    bool start(const std::string &root, const std::string &logFile, const std::vector<std::string> &extra = {},
               int port = 0);
    void stop();
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> logLines() const;

private:
    int pid_ = -1;
    int port_ = 0;
    std::string logFile_;
};

// A TCP server on 127.0.0.1 that reads each request (the head up to the empty
// line and the body its Content-Length announces) and lets a script answer it.
class RawServer {
public:
    enum class After { Close, KeepReading, Hold };
    using Script = std::function<After(int fd, const std::string &request)>;

    explicit RawServer(Script script);
    ~RawServer();
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests();
    int connections() const { return connections_; }
    static void sendText(int fd, const std::string &text);

private:
    void run();
    void serve(int fd);
    bool fill(int fd, std::string &pending, size_t want);

    Script script_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::vector<int> held_;
    std::thread thread_;
};

// An HTTP/1.1 reply with the status and a Content-Length for the content.
std::string httpReply(const std::string &content, const std::string &status = "200 OK");
// A script that answers every request with text.
RawServer::Script answer(const std::string &text, RawServer::After after = RawServer::After::Close);
// The body and the first line of a request.
std::string requestBody(const std::string &request);
std::string requestLine(const std::string &request);
// The lines that hold part.
std::vector<std::string> linesWith(const std::vector<std::string> &lines, const std::string &part);
// How often part occurs in text.
int countOf(const std::string &text, const std::string &part);
// The output of a shell command, and in *ok whether it succeeded.
std::string runCommand(const std::string &command, bool *ok = nullptr);

// A test in a fresh directory with fresh heaps, a log at debug level 1,
// network time-outs of 300 ms, and a simulator root "www" below it.
class CommTest : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string log() { return readFile(path("pterm.log")); }
    std::string root() const { return path("www"); }
    // Reads a whole RAM-disk (or disk) file through the RAM-disk store.
    static std::string ramFile(const std::string &name);
    // Makes the lines "name;value" the page parameters.
    void setPageParameters(const std::string &lines);
    // Loads a page of the target on host: an empty read list, a target not
    // yet known to fail, the page parameters ("Dummy;1" when none), a TCR
    // file when given, and the target class.
    void usePage(const std::string &host, const char *targetClass, const std::string &parameters = "",
                 const std::string &tcr = "");
    static void addPoints(std::initializer_list<const char *> names);
    // The value of a point, named as is or by its TCR symbol.
    static std::string pointValue(const char *name);
    // Sets the value of a point of the read list (named as it is stored).
    static void setPointValue(const char *stored, const char *text);
};
