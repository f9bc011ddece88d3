#include "comm_fixtures.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "comm/ilr_driver.h"
#include "comm/opc_driver.h"
#include "comm/s7_driver.h"
#include "comm/tbox_driver.h"
#include "comm/modbus_driver.h"
#include "comm/wago_driver.h"
#include "comm/native_driver.h"
#include "comm/native_protocol.h"
#include "comm/ppo_update.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "data/value_store.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"
#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "transport/http_client.h"
#include "view/page_params.h"
#include "view/view_manager.h"

bool TargetSim::start(const std::string &root, const std::string &logFile, const std::vector<std::string> &extra,
                      int port)
{
    stop();
    logFile_ = logFile;
    std::vector<std::string> args = {
        PANTERM_TARGET_PROGRAM, "--root", root, "--port", std::to_string(port), "--log", logFile,
        "--max-seconds",        "120"};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    pollfd p = {out[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (std::sscanf(line.c_str(), "port %d", &port_) != 1) {
        stop();
        return false;
    }
    return true;
}

void TargetSim::stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<std::string> TargetSim::logLines() const
{
    std::vector<std::string> lines;
    std::ifstream in(logFile_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

RawServer::RawServer(Script script) : script_(std::move(script))
{
    listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
    listen(listenFd_, 8);
    socklen_t length = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &length);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

RawServer::~RawServer()
{
    stop_ = true;
    thread_.join();
    for (int fd : held_) close(fd);
    close(listenFd_);
}

std::vector<std::string> RawServer::requests()
{
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

void RawServer::sendText(int fd, const std::string &text) { send(fd, text.data(), text.size(), MSG_NOSIGNAL); }

void RawServer::run()
{
    while (!stop_) {
        pollfd p = {listenFd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        int fd = accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        connections_++;
        serve(fd);
    }
}

namespace {

// Bytes of the body that the request head announces.
size_t announcedBody(const std::string &head)
{
    size_t at = head.find("Content-Length: ");
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
}

} // namespace

// Reads until pending holds at least want bytes; false when the peer closed
// or the server stops.
bool RawServer::fill(int fd, std::string &pending, size_t want)
{
    while (pending.size() < want) {
        if (stop_) return false;
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        pending.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

// Serves one connection at a time: requests (head and announced body) are
// answered in order.
void RawServer::serve(int fd)
{
    std::string pending;
    while (!stop_) {
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos)
            if (!fill(fd, pending, pending.size() + 1)) {
                close(fd);
                return;
            }
        size_t length = end + 4 + announcedBody(pending.substr(0, end + 4));
        if (!fill(fd, pending, length)) break;
        std::string request = pending.substr(0, length);
        pending.erase(0, length);
        {
            std::lock_guard<std::mutex> hold(lock_);
            requests_.push_back(request);
        }
        After after = script_(fd, request);
        if (after == After::Close) break;
        if (after == After::Hold) {
            held_.push_back(fd);
            return;
        }
    }
    close(fd);
}

void CommTest::SetUp()
{
    TempDirTest::SetUp();
    resetTargetLink();
    resetPageState();
    MU_init();
    MU_init2();
    pterm.debug_level = 1;
    SRVR_setTimeout(300);
    std::filesystem::create_directory(root());
}

void CommTest::TearDown()
{
    SRVR_destroy();
    TempDirTest::TearDown();
}

std::string CommTest::ramFile(const std::string &name)
{
    int handle = RA_fileOpen(name.c_str(), "r");
    if (handle < 0) return "<missing>";
    std::string text;
    for (int c; (c = RA_fileGetc(handle)) >= 0;) text += static_cast<char>(c);
    RA_fileClose(handle);
    return text;
}

void CommTest::setPageParameters(const std::string &lines)
{
    writeFile(path("params.csv"), lines);
    MU_init2();
    HT_resetParameters();
    ASSERT_EQ(HT_loadCsvFile("params.csv"), 0);
}

void CommTest::usePage(const std::string &host, const char *targetClass, const std::string &parameters,
                       const std::string &tcr)
{
    PPO_resetUpdate();
    Tarsel_clearView();
    SetRemoteStatus(0);
    setPageParameters(parameters.empty() ? "Dummy;1\n" : parameters);
    if (!tcr.empty()) {
        writeFile(path("page.tcr"), tcr);
        ASSERT_EQ(TCR_parseTcrFile("page.tcr"), 0);
    }
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", host.c_str());
    SetRemoteHost(host.c_str());
    SetRemoteStatus(1);
    Tarsel_setServiceId(targetClass);
    Tarsel_loadHtmlParameters("");
}

void CommTest::addPoints(std::initializer_list<const char *> names)
{
    for (const char *n : names) ASSERT_EQ(Tarsel_addPPO(n, 0), 1) << n;
}

std::string CommTest::pointValue(const char *name)
{
    char converted[TCR_NAME_SIZE], out[PPO_VALUE_SIZE] = "";
    if (!TCR_convertFormatedPPOName(converted, name)) std::snprintf(converted, sizeof converted, "%s", name);
    PPO_getValue(converted, out);
    return out;
}

void CommTest::setPointValue(const char *stored, const char *text)
{
    char copy[PPO_VALUE_SIZE];
    std::snprintf(copy, sizeof copy, "%s", text);
    PPO_updateValue(PPO_lookup(stored), copy);
}

std::string runCommand(const std::string &command, bool *ok)
{
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char chunk[512];
    while (pipe && std::fgets(chunk, sizeof chunk, pipe)) out += chunk;
    int status = pipe ? pclose(pipe) : -1;
    if (ok) *ok = status == 0;
    return out;
}

std::string httpReply(const std::string &content, const std::string &status)
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(content.size()) + "\r\n\r\n" + content;
}

RawServer::Script answer(const std::string &text, RawServer::After after)
{
    return [text, after](int fd, const std::string &) {
        RawServer::sendText(fd, text);
        return after;
    };
}

std::string requestBody(const std::string &request) { return request.substr(request.find("\r\n\r\n") + 4); }

std::string requestLine(const std::string &request) { return request.substr(0, request.find('\r')); }

std::vector<std::string> linesWith(const std::vector<std::string> &lines, const std::string &part)
{
    std::vector<std::string> found;
    for (const std::string &line : lines)
        if (line.find(part) != std::string::npos) found.push_back(line);
    return found;
}

int countOf(const std::string &text, const std::string &part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}
