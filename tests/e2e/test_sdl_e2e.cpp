// The operator's clicks and keys in a real SDL window: the panel runs under
// xvfb-run against the simulator and xdotool clicks its buttons and presses
// its keys, as a person at the desktop would. Both programs are required; the
// test fails when either is missing.
#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e_support.h"

using namespace e2e;
using std::string;

namespace {

bool haveProgram(const char *name)
{
    return std::system((string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts the panel in dir on the display, waits for its window and for the
// first value read (the page is up), then clicks Start, presses F2 (Stop),
// clicks Start, moves the focus right with the arrow key and presses Enter
// (Stop), waiting after each step until its write reached the simulator's
// request log (a slow machine only makes it wait longer), and ends the panel.
const char *const kDrive = R"SH(#!/bin/sh
cd "$1" || exit 2
log="$3"
PANTERM_DISPLAY=sdl PANTERM_SCREEN=480x272 ASAN_OPTIONS=detect_leaks=0 ./Panterm_MW "$2" > panel.out 2>&1 &
panel=$!
window=""
for i in $(seq 300); do
  window=$(xdotool search --name '^Panterm$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then echo "the panel's window did not appear"; kill $panel; exit 3; fi
# waits until the log holds at least $1 lines matching $2
await() {
  for i in $(seq 300); do
    [ "$(grep -c "$2" "$log" 2>/dev/null)" -ge "$1" ] && return 0
    sleep 0.1
  done
  echo "timed out waiting for $1 x $2"; kill $panel; exit 4
}
await 2 ReadFile.exe
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
click() { xdotool mousemove --window "$window" "$1" "$2" mousedown 1; sleep 0.2; xdotool mouseup 1; }
click 185 237
await 1 'writeVal.exe?Pump.Run+1'
xdotool key F2
await 1 'writeVal.exe?Pump.Run+0'
click 185 237
await 2 'writeVal.exe?Pump.Run+1'
xdotool key Right
sleep 0.5
xdotool key Return
await 2 'writeVal.exe?Pump.Run+0'
kill $panel
wait $panel
exit 0
)SH";

class SdlE2E : public TempDirTest {};

} // namespace

TEST_F(SdlE2E, ClicksAndKeysInTheWindowReachTheButtons)
{
    if (!haveProgram("xvfb-run")) FAIL() << "xvfb-run is missing: install the Debian package xvfb";
    if (!haveProgram("xdotool")) FAIL() << "xdotool is missing: install the Debian package xdotool";
    string root = path("root");
    copyDemo(root, 100);
    writeFile(path("values.txt"), "Pump.Fault=0\nPump.Run=0\n");
    Target target(path("t"), root, path("values.txt"));
    ASSERT_TRUE(target.ok());
    string panel = path("p");
    std::filesystem::create_directories(panel);
    std::filesystem::create_symlink(buildProgram("Panterm_MW"), panel + "/Panterm_MW");
    writeFile(panel + "/pterm.xml", settings({target.url("start.html"), "", "", 1}));
    writeFile(path("drive.sh"), kDrive);
    // Key repeat after a minute: on a busy machine a key press whose release
    // comes late must not repeat and move the focus twice.
    ChildProcess drive("/usr/bin/xvfb-run",
                       {"-a", "-s", "-screen 0 800x600x24 -ardelay 60000", "sh", path("drive.sh"), panel,
                        target.url("start.html"), path("t") + "/requests.log"},
                       dir_);
    ASSERT_EQ(drive.wait(110000), 0) << drive.output() << readFile(panel + "/panel.out");
    string requests = target.requests();
    string writes;
    for (size_t at = requests.find("writeVal.exe?"); at != string::npos; at = requests.find("writeVal.exe?", at + 1))
        writes += requests.substr(at + 13, requests.find(' ', at) - at - 13) + ";";
    EXPECT_EQ(writes, "Pump.Run+1;Pump.Run+0;Pump.Run+1;Pump.Run+0;")
        << "click Start, F2, click Start, RIGHT and ENTER\n"
        << requests << readFile(panel + "/pterm.log");
}
