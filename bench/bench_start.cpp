// The start of the panel side by side with its peer in the same run: the time
// from starting the headless panel on a local page to its first frame that
// shows the page (its snapshot file equals what teqc renders), against
// `teqc render` of the same picture from start to exit; and the resident
// memory of the headless panel once the page is shown, with whether the SDL
// library is mapped. PANTERM_BENCH_PANEL names another panel program to
// measure instead (an older build, for the figures before a change).
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench_temp_dir.h"
#include "teq_sample.h"
#include "teq_text.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string readWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The directory of the runs: the panel linked in (it keeps its settings and
// log next to itself), the page, its picture and teqc's rendering of it.
struct StartRig {
    std::string dir, picture, rendered;
    StartRig()
    {
        dir = benchTempDir("start");
        picture = dir + "/Plant.teq";
        std::ofstream(picture, std::ios::binary) << teqc::buildTeq(teqc::samplePicture(1000));
        std::ofstream(dir + "/page.html") << "<html><applet code=\"IViewer.class\" width=\"800\" height=\"480\">\n"
                                             "<param name=\"ProjectName\" value=\"Plant\">\n</applet></html>\n";
        const char *other = std::getenv("PANTERM_BENCH_PANEL"); // another build of the panel, to compare
        symlink(other && *other ? other : PANTERM_BUILD_DIR "/Panterm_MW", (dir + "/Panterm_MW").c_str());
        rendered = dir + "/teqc.png";
    }
};

// The panel writes its settings at its first start; the window then covers the
// screen (kiosk), as teqc's picture does.
bool makeKioskSettings();

StartRig &rig()
{
    static StartRig r;
    return r;
}

// Starts program in the rig's directory with extra environment entries; the
// process id, or -1.
pid_t start(const std::vector<std::string> &args, const std::vector<std::string> &env)
{
    std::vector<std::string> all = env;
    for (char **e = environ; *e; e++) all.emplace_back(*e);
    std::vector<char *> argv, envp;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    for (const std::string &e : all) envp.push_back(const_cast<char *>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    std::string cwd = get_current_dir_name();
    if (chdir(rig().dir.c_str()) != 0) return -1;
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    if (chdir(cwd.c_str()) != 0) return -1;
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool renderWithTeqc()
{
    pid_t pid =
        start({PANTERM_BUILD_DIR "/teqc", "render", rig().picture, "-o", rig().rendered, "--size", "800x480"}, {});
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts the headless panel on the page with its snapshot file; the process id.
pid_t startPanel(const std::string &snapshot)
{
    unlink(snapshot.c_str());
    return start({rig().dir + "/Panterm_MW", "page.html"},
                 {"PANTERM_DISPLAY=headless", "PANTERM_SCREEN=800x480", "PANTERM_SNAPSHOT=" + snapshot});
}

// Waits up to ms for the snapshot to show what teqc rendered: seconds from
// since, or -1.
double waitForPage(const std::string &snapshot, const std::string &expected, Clock::time_point since, int ms)
{
    struct stat seen {};
    while (Clock::now() - since < std::chrono::milliseconds(ms)) {
        struct stat now {};
        if (stat(snapshot.c_str(), &now) == 0 &&
            (now.st_mtim.tv_nsec != seen.st_mtim.tv_nsec || now.st_size != seen.st_size)) {
            seen = now;
            if (readWhole(snapshot) == expected) return std::chrono::duration<double>(Clock::now() - since).count();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return -1;
}

bool makeKioskSettings()
{
    std::string settings = rig().dir + "/pterm.xml", xml = readWhole(settings);
    if (xml.empty()) {
        pid_t pid = startPanel(rig().dir + "/screen.png");
        for (int i = 0; i < 500 && xml.find("</pterm>") == std::string::npos; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            xml = readWhole(settings);
        }
        stop(pid);
    }
    size_t at = xml.find("<kiosk>0<");
    if (at != std::string::npos) std::ofstream(settings) << xml.replace(at, 9, "<kiosk>1<");
    return readWhole(settings).find("<kiosk>1<") != std::string::npos;
}

void BM_FirstPageFrame_Panel(benchmark::State &state)
{
    if (!makeKioskSettings()) return state.SkipWithError("no settings file");
    if (!renderWithTeqc()) return state.SkipWithError("teqc render failed");
    std::string expected = readWhole(rig().rendered), snapshot = rig().dir + "/screen.png";
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        pid_t pid = startPanel(snapshot);
        double seconds = pid > 0 ? waitForPage(snapshot, expected, t0, 5000) : -1;
        stop(pid);
        if (seconds < 0) return state.SkipWithError("no frame showed the page");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstPageFrame_Panel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FirstPageFrame_TeqcRender(benchmark::State &state)
{
    for (auto _ : state)
        if (!renderWithTeqc()) state.SkipWithError("teqc render failed");
}
BENCHMARK(BM_FirstPageFrame_TeqcRender)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The resident set of the headless panel a second after its page is shown,
// and whether it maps the SDL library.
void BM_HeadlessResidentMemory(benchmark::State &state)
{
    if (!makeKioskSettings()) return state.SkipWithError("no settings file");
    if (!renderWithTeqc()) return state.SkipWithError("teqc render failed");
    std::string expected = readWhole(rig().rendered), snapshot = rig().dir + "/screen.png";
    double rssKb = 0, sdl = 0;
    for (auto _ : state) {
        pid_t pid = startPanel(snapshot);
        bool shown = pid > 0 && waitForPage(snapshot, expected, Clock::now(), 5000) >= 0;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::string status = readWhole("/proc/" + std::to_string(pid) + "/status");
        size_t at = status.find("VmRSS:");
        rssKb = at == std::string::npos ? 0 : std::atof(status.c_str() + at + 6);
        sdl = readWhole("/proc/" + std::to_string(pid) + "/maps").find("libSDL2") != std::string::npos;
        stop(pid);
        if (!shown) return state.SkipWithError("no frame showed the page");
    }
    state.counters["rssMB"] = rssKb / 1024;
    state.counters["sdlMapped"] = sdl;
}
BENCHMARK(BM_HeadlessResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
