// Shared by the protocol targets: a controller on 127.0.0.1 that answers the
// requests of one input with the replies the input holds, in order, and the
// page of that controller set up the way the panel loads one.
#pragma once
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comm/ilr_driver.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/opc_driver.h"
#include "comm/ppo_update.h"
#include "comm/s7_driver.h"
#include "comm/tbox_driver.h"
#include "comm/wago_driver.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "fuzz_support.h"
#include "runtime/heap.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "view/page_params.h"
#include "view/view_manager.h"

#include "../tests/comm/target_link_reset.h"

// An input holds the replies one after the other, each a whole HTTP reply
// (status line, header, body), separated by this line.
#define FUZZ_REPLY_SEPARATOR "\n--next--\n"

class FuzzPeer {
public:
    // Listens on a free port of 127.0.0.1; aborts when it cannot.
    void start()
    {
        listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            listen(listenFd_, 16) != 0 || getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &length) != 0)
            std::abort();
        host_ = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        std::thread([this] { run(); }).detach();
    }
    const char *host() const { return host_.c_str(); }
    // The replies of the next requests: the input cut at each separator.
    void setReplies(const std::string &input)
    {
        std::lock_guard<std::mutex> hold(lock_);
        replies_.clear();
        next_ = 0;
        size_t from = 0;
        for (size_t at; (at = input.find(FUZZ_REPLY_SEPARATOR, from)) != std::string::npos;
             from = at + std::strlen(FUZZ_REPLY_SEPARATOR))
            replies_.push_back(input.substr(from, at - from));
        replies_.push_back(input.substr(from));
    }

private:
    void run()
    {
        for (;;) {
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) continue;
            serve(fd);
            close(fd);
        }
    }
    // Reads the request (its head and the body its Content-Length announces,
    // waiting at most half a second for more), then sends the next reply;
    // past the last reply the connection is closed unanswered.
    void serve(int fd)
    {
        std::string request;
        size_t want = std::string::npos;
        while (request.size() < want) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 500) <= 0) break;
            char chunk[4096];
            ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            request.append(chunk, static_cast<size_t>(n));
            size_t end = request.find("\r\n\r\n");
            if (end != std::string::npos && want == std::string::npos) want = end + 4 + announced(request, end);
        }
        std::string reply;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (next_ >= replies_.size()) return;
            reply = replies_[next_++];
        }
        for (size_t sent = 0; sent < reply.size();) {
            ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }
    static size_t announced(const std::string &request, size_t end)
    {
        size_t at = request.find("Content-Length:");
        return at < end ? std::strtoul(request.c_str() + at + 15, nullptr, 10) : 0;
    }

    int listenFd_ = -1;
    std::string host_;
    std::mutex lock_;
    std::vector<std::string> replies_;
    size_t next_ = 0;
};

// Every module of the target link back to its state before start-up, the
// read list and the page parameters empty.
inline void fuzzResetTargetLink()
{
    resetTargetLink();
    resetPageState();
}

// A page of the controller on host, as the panel loads one: the page
// parameters (lines "name;value"), a TCR table when given, the target class,
// and the read list with the points.
inline void fuzzUsePage(const char *host, const char *targetClass, const char *parameters, const char *tcr,
                        const std::vector<const char *> &points)
{
    fuzzResetTargetLink();
    MU_init2();
    fuzzPutRamFile("params.csv", parameters);
    if (HT_loadCsvFile("params.csv") != 0) std::abort();
    if (tcr) {
        fuzzPutRamFile("page.tcr", tcr);
        if (TCR_parseTcrFile("page.tcr") != 0) std::abort();
    }
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", host);
    SetRemoteHost(host);
    SetRemoteStatus(1);
    Tarsel_setServiceId(targetClass);
    Tarsel_loadHtmlParameters("");
    for (const char *p : points) Tarsel_addPPO(p, 0);
}

// The panel with the target link ready: a short time-out, no kept links.
inline void fuzzStartLink(const char *prefix, FuzzPeer &peer)
{
    fuzzStartPanel(prefix);
    MU_init();
    SRVR_setTimeout(1000);
    pterm.keep_alive = 0;
    peer.start();
}

// What a protocol target loads: the page's target class, its parameters and
// TCR table (null: none), the points of its read list and the point the
// operator writes.
struct FuzzTargetPage {
    const char *targetClass;
    const char *parameters;
    const char *tcr;
    std::vector<const char *> points;
    const char *written;
};

// The controller the requests go to: the peer, or with FUZZ_SEED_HOST set
// (host:port) that one. Run once through a recording proxy in front of the
// simulator, that is how the seeds of fuzz/corpus/ were taken.
inline const char *fuzzControllerHost(const FuzzPeer &peer)
{
    const char *seedHost = std::getenv("FUZZ_SEED_HOST");
    return seedHost && *seedHost ? seedHost : peer.host();
}

// One input: the page loaded, two refresh cycles, a write and the reads of
// the points, with the peer answering each request with the input's next
// reply. Every value read stays within its buffer.
inline void fuzzRunPage(FuzzPeer &peer, const FuzzTargetPage &page, const std::string &input)
{
    peer.setReplies(input);
    fuzzUsePage(fuzzControllerHost(peer), page.targetClass, page.parameters, page.tcr, page.points);
    Tarsel_refresh(0);
    Tarsel_refresh(0);
    Tarsel_writeVal(page.written, "1", PPO_VALUE_SIZE);
    for (const char *p : page.points) {
        char value[PPO_VALUE_SIZE];
        value[0] = '\0';
        Tarsel_readVal(p, value, sizeof value);
        if (std::strlen(value) >= sizeof value) __builtin_trap();
    }
    SRVR_destroy();
}
