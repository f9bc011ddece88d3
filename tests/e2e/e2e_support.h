// End-to-end runs: the target simulator and the real panel program, each in a
// directory of its own, on 127.0.0.1 with free ports; the panel headless with
// its screen written to PNG and an event script. Everything started is ended
// when its object goes.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "process_runner.h"

namespace e2e {

// A request line of the simulator's log, with the milliseconds since the
// simulator started (logged with --log-times).
struct TimedRequest {
    long ms;
    std::string line;
};

// build/panterm-target serving root, with a value file (may be empty) and a
// request log; port 0 takes a free port; extra switches are passed on.
class Target {
public:
    Target(const std::string &dir, const std::string &root, const std::string &values, int port = 0,
           const std::vector<std::string> &extra = {});
    int port() const { return port_; }
    bool ok() const { return port_ > 0; }
    std::string url(const std::string &path) const;
    // The request lines received so far.
    std::string requests() const;
    // The same with their times, when the log has them.
    std::vector<TimedRequest> timedRequests() const;
    // About when the simulator started (when it told its port).
    std::chrono::system_clock::time_point started() const { return started_; }
    void stop() { process_.reset(); }

private:
    std::string dir_;
    int port_ = 0;
    std::chrono::system_clock::time_point started_;
    std::unique_ptr<ChildProcess> process_;
};

struct PanelSetup {
    std::string address;   // the command-line URL, none when empty
    std::string startPage; // the settings' start page (also loaded after a failed load)
    std::string events;    // the event script; it should end with "close"
    int debugLevel = 1;
    int timeoutMs = 0;               // the time-out of an exchange with the target (PANTERM_TIMEOUT_MS), 0: the default
    bool screenAtEveryChange = true; // screen.png after every change (only the script's snapshots without)
    int httpdPort = 0;               // the embedded server on 127.0.0.1 when not 0
    std::string moreSettings = "";   // elements after those above, in the settings file's order
    int remoteView = 0; // remote_view (with httpdPort; the settings are then complete, moreSettings unused)
    // When set: the panel runs in a network namespace of its own with the
    // recording stand-ins of "ifconfig" and "route" of this directory
    // (netns_runner.h); it cannot reach a target then.
    std::string ownNetwork{};
};

// The settings file of a panel: up to the window mode (full screen); the
// panel completes the file itself.
std::string settings(const PanelSetup &setup);

// Panterm_MW through a link in dir, so that its settings and log stay there;
// 480 x 272 headless, full-screen window, the screen in dir/screen.png at
// every refresh.
class Panel {
public:
    Panel(const std::string &dir, const PanelSetup &setup);
    // Exit status once ended within ms, else -1.
    int wait(int ms) { return process_->wait(ms); }
    std::string log() const;
    std::string output() const { return process_->output(); }
    std::string file(const std::string &name) const { return dir_ + "/" + name; }
    // The screen as last written, or an empty image.
    Image screen() const;
    // Polls the screen until test answers true; false after ms.
    bool waitForScreen(const std::function<bool(const Image &)> &test, int ms) const;
    void signal(int sig) { process_->signal(sig); }
    const PanelSetup &setup() const { return setup_; }
    // The tool that kept the panel from starting in a network of its own, else empty.
    const std::string &missingTool() const { return missing_; }

private:
    std::string dir_;
    PanelSetup setup_;
    std::string missing_;
    std::unique_ptr<ChildProcess> process_;
};

// An event script that writes snapshot-1.png, snapshot-2.png ... count
// snapshots everyMs apart, then closes the panel.
std::string snapshotScript(int count, int everyMs);
// When a file was last written; the epoch when it is missing.
std::chrono::system_clock::time_point writtenAt(const std::string &file);

// Polls until done answers true (every 40 ms); false after ms.
bool waitUntil(const std::function<bool()> &done, int ms);

// Colour of an Image pixel from red, green and blue.
constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | b << 16 | g << 8 | r; }
// Pixels of the colour inside the rectangle.
int countColour(const Image &img, uint32_t colour, int x, int y, int w, int h);
int countOccurrences(const std::string &text, const std::string &part);

// The demo's colours and where its plant picture shows them.
constexpr uint32_t kHeader = rgb(20, 55, 105);
constexpr uint32_t kLevel = rgb(30, 110, 220);
constexpr uint32_t kRimFault = rgb(230, 0, 0);
constexpr uint32_t kRimNormal = rgb(40, 40, 40);
constexpr uint32_t kLampOff = rgb(90, 90, 90);
constexpr uint32_t kLampOn = rgb(255, 30, 30);
constexpr uint32_t kRunning = rgb(0, 170, 60);
// Row of the level's surface in the tank (182 when empty).
int levelTop(const Image &img);
// The pump symbol's face.
inline uint32_t pump(const Image &img) { return img.at(250, 155); }

// The demo project's pages and pictures (build/demo-root) copied to dir, with
// the refresh period of start.html set to periodMs.
void copyDemo(const std::string &dir, int periodMs);
// The demo's start page with its parameters replaced by params (lines of
// <param> tags).
std::string demoPage(const std::string &params);
std::string param(const std::string &name, const std::string &value);

} // namespace e2e
