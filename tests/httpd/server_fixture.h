// The server thread on a free port of 127.0.0.1, and clients of it on real
// sockets: connecting, sending, reading the answer with a time limit.
#pragma once
#include <pthread.h>
#include <string>

#include "test_support.h"

// A connected socket to 127.0.0.1:port, or -1; rcvbuf > 0 sets the receive
// buffer first (a client that reads little).
int srvConnect(int port, int rcvbuf = 0);
// Everything the server sends until it closes, or until ms have passed.
std::string srvReadAll(int fd, int ms = 5000);
// One request on a connection of its own; its whole answer.
std::string srvTalk(int port, const std::string &request);
// Milliseconds since start.
double srvMsSince(const struct timespec &start);
struct timespec srvNow();
// The standard output of a shell command.
std::string srvRun(const std::string &command);
// 1 when the program is on the path.
bool srvHaveTool(const char *name);

class ServerTest : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the server thread on a new free port; answers when it listens.
    void startServer();
    // Stops the server and waits for its thread.
    void stopServer();
    int port_ = 0;
    pthread_t thread_{};
    bool running_ = false;
};
