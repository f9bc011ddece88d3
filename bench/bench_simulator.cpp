#include "bench_simulator.h"

#include "bench_temp_dir.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/startup.h"
#include "comm/target_link.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "transport/relay.h"
#include "view/view_manager.h"

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

double BenchSimulator::cpuSeconds() const
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid_);
    FILE *in = std::fopen(path, "r");
    if (!in) return 0;
    unsigned long user = 0, system = 0;
    // Fields 14 and 15; the program name in field 2 holds no blank.
    int got = std::fscanf(in, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system);
    std::fclose(in);
    return got == 2 ? static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK)) : 0;
}

BenchSimulator &emptyRootSimulator(int answerMs)
{
    static std::map<int, std::unique_ptr<BenchSimulator>> started;
    std::unique_ptr<BenchSimulator> &sim = started[answerMs];
    if (!sim) {
        std::vector<std::string> args;
        if (answerMs > 0) args = {"--delay-ms", std::to_string(answerMs)};
        sim = std::make_unique<BenchSimulator>(benchTempDir("root"), args);
    }
    return *sim;
}

BenchSimulator::~BenchSimulator()
{
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

bool openPointsPage(const BenchSimulator &target, int points, int keepAlive)
{
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    SetRemoteHost(target.host().c_str());
    MU_init();
    MU_init2();
    std::snprintf(VM_RemoteServer, sizeof VM_RemoteServer, "%s", target.host().c_str());
    SetRemoteStatus(1);
    Tarsel_setServiceId("Other.class");
    Tarsel_loadHtmlParameters("");
    SRVR_setKeepAlive(keepAlive);
    Tarsel_clearView();
    for (int i = 0; i < points; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "Plant.Point%04d", i);
        Tarsel_addPPO(name, 0);
    }
    return Tarsel_refresh(0) != 0;
}

void closePointsPage()
{
    Tarsel_clearView();
    SRVR_destroy();
    MU_releaseAreas();
}
