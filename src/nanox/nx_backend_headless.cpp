// Headless backend: the screen lives only in memory. PANTERM_SNAPSHOT names a
// PNG file rewritten after every flush that changed the screen; PANTERM_EVENTS
// names a script of timed input events ("wait MS", "down X Y", "up X Y",
// "click X Y", "key NAME", "text STRING", "snapshot FILE.png", "close"),
// delivered when their time since the display's opening has come.
#include "nanox/nx_core.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

enum class Action { Down, Up, Click, Key, Text, Snapshot, Close };

struct ScriptLine {
    uint32_t due = 0; // milliseconds after the opening
    Action action = Action::Close;
    int x = 0, y = 0;
    GR_KEY key = 0;
    std::vector<GR_KEY> text;
    std::string file;
};

struct Headless {
    std::vector<ScriptLine> script;
    size_t next = 0;
    size_t textPosition = 0; // characters of the current text line already typed
    std::string snapshotFile;
    NX_PngBytes snapshotWritten; // the picture last written (or tried) to it
};

Headless headless;

const struct {
    const char *name;
    GR_KEY key;
} kKeyNames[] = {
    {"ENTER", MWKEY_ENTER},     {"ESC", MWKEY_ESCAPE},       {"TAB", MWKEY_TAB},       {"BACKSPACE", MWKEY_BACKSPACE},
    {"LWIN", NX_KEY_LWIN},      {"RWIN", NX_KEY_RWIN},       {"LEFT", MWKEY_LEFT},     {"RIGHT", MWKEY_RIGHT},
    {"UP", MWKEY_UP},           {"DOWN", MWKEY_DOWN},        {"INSERT", MWKEY_INSERT}, {"DELETE", MWKEY_DELETE},
    {"HOME", MWKEY_HOME},       {"END", MWKEY_END},          {"PG_UP", MWKEY_PAGEUP},  {"PG_DOWN", MWKEY_PAGEDOWN},
    {"FKEY_1", MWKEY_F1},       {"FKEY_2", MWKEY_F2},        {"FKEY_3", MWKEY_F3},     {"FKEY_4", MWKEY_F4},
    {"FKEY_5", MWKEY_F5},       {"FKEY_6", MWKEY_F6},        {"FKEY_7", MWKEY_F7},     {"FKEY_8", MWKEY_F8},
    {"FKEY_9", MWKEY_F9},       {"FKEY_10", MWKEY_F10},      {"FKEY_11", MWKEY_F11},   {"FKEY_12", MWKEY_F12},
    {"NUMLOCK", MWKEY_NUMLOCK}, {"CAPITAL", MWKEY_CAPSLOCK}, {"PRINT", MWKEY_PRINT},   {"SYSREQ", MWKEY_SYSREQ},
    {"PAUSE", MWKEY_PAUSE},     {"BREAK", MWKEY_BREAK},      {"APPS", MWKEY_APP1},
};

bool keyByName(const std::string &name, GR_KEY *key)
{
    for (const auto &k : kKeyNames)
        if (name == k.name) {
            *key = k.key;
            return true;
        }
    return false;
}

// Parses a decimal integer that fills the whole text.
bool parseInt(const std::string &text, long min, long max, long *value)
{
    if (text.empty()) return false;
    char *end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < min || v > max) return false;
    *value = v;
    return true;
}

// Splits off the first blank-separated word; rest keeps what follows one blank.
std::string firstWord(const std::string &line, std::string *rest)
{
    size_t end = line.find(' ');
    *rest = end == std::string::npos ? "" : line.substr(end + 1);
    return line.substr(0, end);
}

bool parseTwoInts(const std::string &args, int *x, int *y)
{
    std::string tail;
    std::string first = firstWord(args, &tail);
    long a = 0, b = 0;
    if (!parseInt(first, -100000, 100000, &a) || !parseInt(tail, -100000, 100000, &b)) return false;
    *x = static_cast<int>(a);
    *y = static_cast<int>(b);
    return true;
}

std::vector<GR_KEY> utf8Keys(const std::string &text)
{
    std::vector<GR_KEY> keys;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xE0 && c < 0xF0 ? 2 : (c >= 0xC0 && c < 0xE0 ? 1 : 0);
        unsigned cp = extra == 2 ? c & 0x0F : (extra == 1 ? c & 0x1F : c);
        bool valid = i + extra < text.size();
        for (int k = 1; valid && k <= extra; k++) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (extra && valid) i += extra;
        else cp = c;
        keys.push_back(static_cast<GR_KEY>(cp));
    }
    return keys;
}

// One script line; answers an error text, or null when the line is good
// (comments and waits add nothing to the script).
const char *parseLine(std::string line, uint32_t *clock)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return nullptr;
    line = line.substr(start);
    std::string args;
    std::string command = firstWord(line, &args);
    ScriptLine s;
    s.due = *clock;
    if (command == "wait") {
        long ms = 0;
        if (!parseInt(args, 0, 86400000, &ms)) return "wait needs a number of milliseconds";
        *clock += static_cast<uint32_t>(ms);
        return nullptr;
    }
    if (command == "down" || command == "up" || command == "click") {
        if (!parseTwoInts(args, &s.x, &s.y)) return "needs two integer coordinates X Y";
        s.action = command == "down" ? Action::Down : (command == "up" ? Action::Up : Action::Click);
    } else if (command == "key") {
        if (!keyByName(args, &s.key)) return "unknown key name";
        s.action = Action::Key;
    } else if (command == "text") {
        if (args.empty()) return "text needs the characters to type";
        s.text = utf8Keys(args);
        s.action = Action::Text;
    } else if (command == "snapshot") {
        if (args.empty()) return "snapshot needs a file name";
        s.file = args;
        s.action = Action::Snapshot;
    } else if (command == "close") {
        if (!args.empty()) return "close takes no argument";
        s.action = Action::Close;
    } else {
        return "unknown command";
    }
    headless.script.push_back(s);
    return nullptr;
}

void loadScript(const char *file)
{
    FILE *f = std::fopen(file, "r");
    if (!f) {
        std::fprintf(stderr, "PANTERM_EVENTS: cannot read %s; no scripted input\n", file);
        return;
    }
    uint32_t clock = 0;
    std::string line;
    int number = 0;
    char chunk[512];
    bool atEnd = false;
    while (!atEnd) {
        line.clear();
        for (;;) {
            if (!std::fgets(chunk, sizeof chunk, f)) {
                atEnd = true;
                break;
            }
            line += chunk;
            if (!line.empty() && line.back() == '\n') break;
        }
        if (atEnd && line.empty()) break;
        number++;
        if (const char *error = parseLine(line, &clock))
            std::fprintf(stderr, "PANTERM_EVENTS %s line %d: %s; line skipped\n", file, number, error);
    }
    std::fclose(f);
}

// Writes the screen's picture (encoded once for the screen file and the
// remote view) through a temporary file, so that a reader never sees half of it.
void writePng(const std::string &file, const NX_PngBytes &png)
{
    std::string temporary = file + ".tmp";
    FILE *f = std::fopen(temporary.c_str(), "wb");
    bool written = f && std::fwrite(png->data(), 1, png->size(), f) == png->size();
    if (f && std::fclose(f) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "nano-X: cannot write the snapshot %s\n", file.c_str());
        std::remove(temporary.c_str());
        return;
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::fprintf(stderr, "nano-X: cannot rename %s to %s\n", temporary.c_str(), file.c_str());
        std::remove(temporary.c_str());
    }
}

void writeScreen(const std::string &file)
{
    NX_PngBytes png = NX_screenPng();
    if (!png) std::fprintf(stderr, "nano-X: cannot encode the snapshot %s\n", file.c_str());
    else writePng(file, png);
}

// Plays the next due script line, or the next character of a text line.
// Answers false when nothing was due.
bool playNext()
{
    if (headless.next >= headless.script.size()) return false;
    ScriptLine &s = headless.script[headless.next];
    if (s.due > NX_elapsedMs()) return false;
    switch (s.action) {
    case Action::Down: NX_inputButton(s.x, s.y, true); break;
    case Action::Up: NX_inputButton(s.x, s.y, false); break;
    case Action::Click:
        NX_inputButton(s.x, s.y, true);
        NX_inputButton(s.x, s.y, false);
        break;
    case Action::Key:
        NX_inputKey(s.key, 0, true);
        NX_inputKey(s.key, 0, false);
        break;
    case Action::Text: {
        GR_KEY ch = s.text[headless.textPosition++];
        NX_inputKey(ch, 0, true);
        NX_inputKey(ch, 0, false);
        if (headless.textPosition < s.text.size()) return true;
        headless.textPosition = 0;
        break;
    }
    case Action::Snapshot: writeScreen(s.file); break;
    case Action::Close: NX_inputClose(); break;
    }
    headless.next++;
    return true;
}

void playDue()
{
    while (!NX_eventPending() && playNext()) {}
}

bool openHeadless(int, int)
{
    headless = Headless{};
    const char *snapshot = std::getenv("PANTERM_SNAPSHOT");
    if (snapshot && *snapshot) headless.snapshotFile = snapshot;
    const char *events = std::getenv("PANTERM_EVENTS");
    if (events && *events) loadScript(events);
    return true;
}

void closeHeadless() { headless = Headless{}; }

void showHeadless() {}

// The picture is encoded only from the bands of rows that changed, and the
// file is written only when the picture differs from the one last written.
void flushedHeadless()
{
    if (headless.snapshotFile.empty()) return;
    NX_PngBytes png = NX_screenPng();
    if (!png) {
        std::fprintf(stderr, "nano-X: cannot encode the snapshot %s\n", headless.snapshotFile.c_str());
        return;
    }
    if (png == headless.snapshotWritten) return;
    headless.snapshotWritten = png; // a failed write is reported once per picture
    writePng(headless.snapshotFile, png);
}

void waitHeadless(int timeoutMs)
{
    playDue();
    if (NX_eventPending() || timeoutMs == 0) return;
    int64_t sleep = 1000; // without a limit the wait goes on in steps
    if (headless.next < headless.script.size()) {
        uint32_t now = NX_elapsedMs(), due = headless.script[headless.next].due;
        sleep = due > now ? due - now : 0;
    }
    if (timeoutMs > 0 && timeoutMs < sleep) sleep = timeoutMs;
    NX_remoteSleep(static_cast<int>(sleep));
    playDue();
}

void setTitleHeadless(const char *) {}

const NX_Backend kHeadless = {"headless",      openHeadless, closeHeadless,   showHeadless,
                              flushedHeadless, waitHeadless, setTitleHeadless};

} // namespace

const NX_Backend *NX_headlessBackend() { return &kHeadless; }
