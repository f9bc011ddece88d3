// Helpers for tests that run the programs themselves: a child process with
// its output captured in a file, free loopback ports, waiting for files and
// reading PNG screenshots back.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts program with args in dir, with extra environment variables;
    // standard output and error go to dir/<name>.out.
    ChildProcess(const std::string &program, const std::vector<std::string> &args, const std::string &dir,
                 const std::map<std::string, std::string> &env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool running();
    // Waits up to ms for the process to end; answers its exit status, or -1
    // when it still runs (or ended by a signal: -100 - signal).
    int wait(int ms);
    void signal(int sig);
    void stop();
    std::string output() const;
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int status_ = -1;
    std::string outPath_;
};

int freeLoopbackPort();
bool waitForFile(const std::string &path, int ms);
bool waitForText(const std::string &path, const std::string &text, int ms);

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xAABBGGRR
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Image readPng(const std::string &path);
// The program in the build directory, e.g. "Panterm_MW".
std::string buildProgram(const std::string &name);
