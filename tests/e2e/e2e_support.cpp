#include "e2e_support.h"
#include "netns_runner.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

// The elements after httpd_port at their defaults, up to remote_view.
std::string completeWithRemoteView(int level)
{
    return "\t<sip>1</sip>\n\t<img_mem_max>2097152</img_mem_max>\n\t<temp_dir>~pt~</temp_dir>\n"
           "\t<warn_btn>1;0;!;1,1,20,20;255,165,0;0,0,0;</warn_btn>\n\t<remote_mode>0</remote_mode>\n"
           "\t<teq_cache>0</teq_cache>\n\t<loading_msg>1;0;Loading...;0,0,0,0;0,0,0;0,0,0;</loading_msg>\n"
           "\t<show_selection>0</show_selection>\n\t<config_page></config_page>\n\t<config_file></config_file>\n"
           "\t<httpd_debug_level>0</httpd_debug_level>\n\t<boot_delay_sec>0</boot_delay_sec>\n"
           "\t<set_width>0</set_width>\n\t<set_height>0</set_height>\n\t<inactivity_to_sec>0</inactivity_to_sec>\n"
           "\t<inactivity_pts_ms>0</inactivity_pts_ms>\n\t<tmz_en>0</tmz_en>\n\t<mem_ramdisk_kb>0</mem_ramdisk_kb>\n"
           "\t<mem_heap1_kb>0</mem_heap1_kb>\n\t<mem_heap2_kb>0</mem_heap2_kb>\n\t<mem_lrheap_kb>0</mem_lrheap_kb>\n"
           "\t<remote_view>" +
           std::to_string(level) + "</remote_view>\n";
}

} // namespace

std::string settings(const PanelSetup &s)
{
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<pterm>\n"
           "\t<version>122</version>\n"
           "\t<start_page>" +
           s.startPage +
           "</start_page>\n"
           "\t<log_file>pterm.log</log_file>\n"
           "\t<proxy_host></proxy_host>\n\t<proxy_port>80</proxy_port>\n"
           "\t<vpi_user></vpi_user>\n\t<vpi_pass></vpi_pass>\n"
           "\t<prompt_url>1</prompt_url>\n\t<full_redraw>1</full_redraw>\n"
           "\t<debug_level>" +
           std::to_string(s.debugLevel) +
           "</debug_level>\n"
           "\t<kiosk>1</kiosk>\n" +
           (s.httpdPort ? "\t<keep_alive>0</keep_alive>\n\t<httpd_enabled>1</httpd_enabled>\n\t<httpd_port>" +
                              std::to_string(s.httpdPort) + "</httpd_port>\n"
                        : std::string()) +
           (s.httpdPort && s.remoteView ? completeWithRemoteView(s.remoteView) : s.moreSettings) + "</pterm>\n";
}

Target::Target(const std::string &dir, const std::string &root, const std::string &values, int port,
               const std::vector<std::string> &extra)
    : dir_(dir)
{
    fs::create_directories(dir);
    std::vector<std::string> args = {"--root", root, "--port", std::to_string(port), "--log", dir + "/requests.log"};
    if (!values.empty()) args.insert(args.end(), {"--values", values});
    args.insert(args.end(), extra.begin(), extra.end());
    process_ = std::make_unique<ChildProcess>(buildProgram("panterm-target"), args, dir);
    std::string out = dir + "/panterm-target.out";
    if (!waitForText(out, "\n", 10000)) return;
    std::istringstream first(readFile(out));
    std::string word;
    first >> word >> port_;
    if (word != "port") port_ = 0;
    started_ = std::chrono::system_clock::now();
}

std::vector<TimedRequest> Target::timedRequests() const
{
    std::vector<TimedRequest> lines;
    std::istringstream in(requests());
    for (std::string line; std::getline(in, line);) {
        size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        lines.push_back({std::atol(line.substr(0, blank).c_str()), line.substr(blank + 1)});
    }
    return lines;
}

std::string Target::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::string Target::requests() const { return readFile(dir_ + "/requests.log"); }

Panel::Panel(const std::string &dir, const PanelSetup &setup) : dir_(dir), setup_(setup)
{
    fs::create_directories(dir);
    std::string link = dir + "/Panterm_MW";
    if (!fs::exists(link)) fs::create_symlink(buildProgram("Panterm_MW"), link);
    writeFile(dir + "/pterm.xml", settings(setup));
    writeFile(dir + "/events.txt", setup.events);
    std::vector<std::string> args;
    if (!setup.address.empty()) args.push_back(setup.address);
    std::map<std::string, std::string> env = {{"PANTERM_DISPLAY", "headless"},
                                              {"PANTERM_SCREEN", "480x272"},
                                              {"PANTERM_EVENTS", "events.txt"},
                                              {"PANTERM_HTTPD_BIND", "127.0.0.1"}};
    if (setup.screenAtEveryChange) env["PANTERM_SNAPSHOT"] = file("screen.png");
    if (setup.timeoutMs > 0) env["PANTERM_TIMEOUT_MS"] = std::to_string(setup.timeoutMs);
    if (setup.ownNetwork.empty()) {
        process_ = std::make_unique<ChildProcess>(link, args, dir, env);
        return;
    }
    netns::writeStandIns(setup.ownNetwork);
    netns::Wrapped w = netns::wrap(setup.ownNetwork, link, args);
    missing_ = w.missing;
    if (!missing_.empty()) w = {"/bin/false", {}, {}, missing_};
    env.insert(w.env.begin(), w.env.end());
    process_ = std::make_unique<ChildProcess>(w.program, w.args, dir, env);
}

std::string snapshotScript(int count, int everyMs)
{
    std::string script;
    for (int i = 1; i <= count; i++)
        script += "wait " + std::to_string(everyMs) + "\nsnapshot snapshot-" + std::to_string(i) + ".png\n";
    return script + "close\n";
}

std::chrono::system_clock::time_point writtenAt(const std::string &file)
{
    struct stat info;
    if (stat(file.c_str(), &info) != 0) return {};
    auto since = std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(since));
}

std::string Panel::log() const { return readFile(file("pterm.log")); }

Image Panel::screen() const { return readPng(file("screen.png")); }

bool Panel::waitForScreen(const std::function<bool(const Image &)> &test, int ms) const
{
    return waitUntil(
        [&] {
            Image img = screen();
            return img.width > 0 && test(img);
        },
        ms);
}

bool waitUntil(const std::function<bool()> &done, int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return true;
}

int countColour(const Image &img, uint32_t colour, int x, int y, int w, int h)
{
    int n = 0;
    for (int row = y; row < y + h && row < img.height; row++)
        for (int col = x; col < x + w && col < img.width; col++) n += img.at(col, row) == colour;
    return n;
}

int countOccurrences(const std::string &text, const std::string &part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

void copyDemo(const std::string &dir, int periodMs)
{
    fs::create_directories(dir);
    for (const auto &entry : fs::directory_iterator(buildProgram("demo-root")))
        fs::copy_file(entry.path(), dir + "/" + entry.path().filename().string(), fs::copy_options::overwrite_existing);
    std::string start = readFile(dir + "/start.html");
    const std::string period = "\"Period\" value=\"500\"";
    start.replace(start.find(period), period.size(), "\"Period\" value=\"" + std::to_string(periodMs) + "\"");
    writeFile(dir + "/start.html", start);
}

std::string demoPage(const std::string &params)
{
    return "<html>\n<body>\n<applet code=\"IViewer.class\" archive=\"IViewer.jar\" width=\"480\" height=\"272\">\n" +
           params + "</applet>\n</body>\n</html>\n";
}

std::string param(const std::string &name, const std::string &value)
{
    return "<param name=\"" + name + "\" value=\"" + value + "\">\n";
}

int levelTop(const Image &img)
{
    for (int y = 78; y < 183; y++)
        if (img.at(90, y) == kLevel) return y;
    return 182;
}

} // namespace e2e
