#include "bench_simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

BenchSimulator::BenchSimulator(const std::string &root, const std::vector<std::string> &extraArgs)
{
    std::vector<std::string> args = {PANTERM_TARGET_PROGRAM, "--root", root, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        execv(PANTERM_TARGET_PROGRAM, argv.data());
        _exit(127);
    }
    close(out[1]);
    char line[64] = "";
    FILE *in = fdopen(out[0], "r");
    int port = 0;
    if (!in || !std::fgets(line, sizeof line, in) || std::sscanf(line, "port %d", &port) != 1) std::abort();
    std::fclose(in);
    host_ = "127.0.0.1:" + std::to_string(port);
}

BenchSimulator &emptyRootSimulator()
{
    static BenchSimulator sim(
        [] {
            char root[] = "/tmp/panterm-bench-XXXXXX";
            if (!mkdtemp(root)) std::abort();
            return std::string(root);
        }(),
        {});
    return sim;
}

BenchSimulator::~BenchSimulator()
{
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}
