#include "process_runner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <stb/stb_image.h> // the decoder is compiled into the display layer

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args, const std::string &dir,
                           const std::map<std::string, std::string> &env)
{
    std::string name = program.substr(program.find_last_of('/') + 1);
    outPath_ = dir + "/" + name + ".out";
    pid_ = fork();
    if (pid_ != 0) return;
    if (chdir(dir.c_str()) != 0) _exit(126);
    int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
        close(out);
    }
    for (const auto &[k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running() { return wait(0) == -1 && status_ == -1; }

int ChildProcess::wait(int ms)
{
    if (pid_ <= 0) return status_;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -100 - WTERMSIG(st);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= until) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChildProcess::signal(int sig)
{
    if (pid_ > 0) kill(pid_, sig);
}

void ChildProcess::stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (wait(2000) == -1 && pid_ > 0) {
        kill(pid_, SIGKILL);
        wait(2000);
    }
}

std::string ChildProcess::output() const
{
    std::ifstream in(outPath_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int freeLoopbackPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

static std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitForText(const std::string &path, const std::string &text, int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (slurp(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool waitForFile(const std::string &path, int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (access(path.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Image readPng(const std::string &path)
{
    Image img;
    int channels = 0;
    unsigned char *data = stbi_load(path.c_str(), &img.width, &img.height, &channels, 4);
    if (!data) return {};
    img.pixels.resize(static_cast<size_t>(img.width) * img.height);
    for (size_t i = 0; i < img.pixels.size(); i++)
        img.pixels[i] =
            data[4 * i] | data[4 * i + 1] << 8 | data[4 * i + 2] << 16 | static_cast<uint32_t>(data[4 * i + 3]) << 24;
    stbi_image_free(data);
    return img;
}

std::string buildProgram(const std::string &name) { return std::string(PANTERM_BUILD_DIR) + "/" + name; }
