// Embedded HTTP server: the thread that serves the panel's files and values
// to many clients side by side, on the port of the setting httpd_port.
#pragma once
#include <atomic>
#include <cstdint>

#define SRVC_BIND_ATTEMPTS 30
#define SRVC_MAX_CONNECTIONS 64 // open connections served side by side

extern std::atomic<int> g_listen_socket; // -1 when none
extern std::atomic<int> SRV_Initialized; // 0 starting, 1 listening, -1 failed

// Thread entry; arg points to the port number (int32_t). Clears httpd_enabled
// when the server has ended.
void *start_eweb_task(void *arg);
// Asks the server to stop (when it has a listening socket); safe in a signal
// handler. The thread ends within a quarter of a second.
void SRVC_Shutdown();
// Starts the server and runs it until it stops: the thread's work.
void startEWebserver(int port);
// Listening and serving until a stop is requested.
void ServerConnectTask(int port);
// Back to before the start (the thread must have ended).
void SRVC_reset();
