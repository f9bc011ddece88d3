// Plot files: reading the "#" commands of a file one character at a time and
// drawing what they say into a graph object.
#include "objects/plot_file.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "comm/target_link.h"
#include "draw/graphics.h"
#include "objects/graph.h"
#include "runtime/log.h"
#include "runtime/pump.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr int kEnd = -1;
constexpr int kAbsoluteTextHeight = 25;
constexpr int kOffsetLimit = 100000; // a text offset beyond any screen, kept clear of overflow

constexpr long kFileLimit = 1L << 20; // bytes of a plot file that are read
constexpr int64_t kDrawLimitMs = 500; // time a plot file may take
constexpr long kClockEvery = 1024;    // characters between two looks at the clock

// The file with one character of look-ahead. A file that passes its limits
// ends there, as if the file ended.
struct Reader {
    int file;
    int pushed;
    bool hasPushed;
    long taken;
    int64_t deadline;
    bool cut;
};

bool withinLimits(Reader *r)
{
    if (r->cut) return false;
    if (++r->taken > kFileLimit || (r->taken % kClockEvery == 0 && PUMP_nowMs() > r->deadline)) r->cut = true;
    return !r->cut;
}

int next(Reader *r)
{
    if (r->hasPushed) {
        r->hasPushed = false;
        return r->pushed;
    }
    return withinLimits(r) ? Tarsel_fileGetc(r->file) : kEnd;
}

void unget(Reader *r, int c)
{
    if (c == kEnd) return;
    r->pushed = c;
    r->hasPushed = true;
}

bool numberCharacter(int c, bool decimal)
{
    if (c >= '0' && c <= '9') return true;
    return decimal && (c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E');
}

// The characters of the next number field into text (GR_NUMBER_SIZE bytes).
// A field never reaches into the next command: false at a "#" or the end.
bool readNumberText(Reader *r, char *text, bool decimal)
{
    int c = next(r);
    while (c != kEnd && c != '#' && !numberCharacter(c, decimal)) c = next(r);
    if (c == kEnd || c == '#') {
        unget(r, c);
        return false;
    }
    int n = 0;
    while (c != kEnd && numberCharacter(c, decimal) && n < GR_NUMBER_SIZE - 1) {
        text[n++] = static_cast<char>(c);
        c = next(r);
    }
    unget(r, c);
    text[n] = '\0';
    return true;
}

bool readFloatFF(Reader *r, double *value)
{
    char text[GR_NUMBER_SIZE];
    return readNumberText(r, text, true) && std::sscanf(text, "%lf", value) == 1;
}

// An integer, -1 when none can be read.
int readIntFF(Reader *r)
{
    char text[GR_NUMBER_SIZE];
    if (!readNumberText(r, text, false)) return -1;
    long long v = std::strtoll(text, nullptr, 10);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

bool readPoint(Reader *r, double *x, double *y) { return readFloatFF(r, x) && readFloatFF(r, y); }

// A text into text (size bytes): leading separators skipped, then up to ";",
// a form feed or the end of the file, at most size - 1 characters.
void readText(Reader *r, char *text, int size)
{
    int c = next(r);
    while (c == ';' || c == '\n' || c == '\r' || c == '\f' || c == '\0') c = next(r);
    int n = 0;
    while (c != kEnd && c != ';' && c != '\f') {
        text[n++] = static_cast<char>(c);
        if (n >= size - 1) break;
        c = next(r);
    }
    text[n] = '\0';
}

void skipTo(Reader *r, int stop)
{
    int c;
    do c = next(r);
    while (c != kEnd && c != stop);
}

void readRange(GR_Graph *g, Reader *r)
{
    double v[4];
    for (double &d : v)
        if (!readFloatFF(r, &d)) return;
    GR_setXRange(g, v[0], v[1]);
    GR_setYRange(g, v[2], v[3]);
}

void readCurve(GR_Graph *g, Reader *r, const char *name)
{
    int count = readIntFF(r);
    double x0, y0, x, y;
    if (count <= 0 || !readPoint(r, &x0, &y0)) return;
    for (int k = 1; k < count; k++) {
        if (!readPoint(r, &x, &y)) {
            log_append_int(0, "Plot file: curve cut after %ld points\n", k);
            log_append(0, " %s\n", name);
            return;
        }
        GR_drawLineF(g, x0, y0, x, y);
        x0 = x, y0 = y;
    }
}

void readStep(GR_Graph *g, Reader *r)
{
    next(r);
    int axis = next(r);
    next(r);
    double step;
    if (!readFloatFF(r, &step)) return;
    if (axis == 'x' || axis == 'X') {
        g->xstep = step;
        g->autoXStep = 0;
    } else if (axis == 'y' || axis == 'Y') {
        g->ystep = step;
    }
}

void readUnit(GR_Graph *g, Reader *r)
{
    next(r);
    int axis = next(r);
    char caption[GR_LABEL_SIZE];
    readText(r, caption, sizeof caption);
    double low, high;
    if (!readFloatFF(r, &low) || !readFloatFF(r, &high)) return;
    bool x = axis == 'x' || axis == 'X';
    if (!x && axis != 'y' && axis != 'Y') return;
    safe_strncpy(x ? g->xlabel : g->ylabel, caption, GR_LABEL_SIZE);
    double *unit = x ? g->xunit : g->yunit;
    unit[0] = low, unit[1] = high;
}

int offsetOf(int v) { return v > kOffsetLimit ? kOffsetLimit : v; }

void readTextCommand(GR_Graph *g, Reader *r)
{
    next(r);
    int mode = next(r);
    int x = offsetOf(readIntFF(r)), y = offsetOf(readIntFF(r));
    char text[GR_TEXT_SIZE];
    readText(r, text, sizeof text);
    const OB_Object &o = g->object;
    if (mode == 'r') {
        GR_drawStringF(g, x, y, text);
    } else if (mode == 'a') {
        G_SetFont(o.font);
        G_DrawText(text, o.x + x, o.y + y, o.width - x, kAbsoluteTextHeight, 0, g->lineColor);
    }
}

// "#S": with the letter "C" a style follows; "f" with "R,G,B" is the colour.
void readStyle(Reader *r)
{
    next(r);
    int letter = next(r);
    next(r);
    if (letter != 'C') return;
    skipTo(r, ';');
    int style = next(r);
    next(r);
    char value[GR_STYLE_SIZE];
    int n = 0, c = next(r);
    while (c != kEnd && c != ';' && n < GR_STYLE_SIZE - 1) {
        value[n++] = static_cast<char>(c);
        c = next(r);
    }
    value[n] = '\0';
    unsigned red, green, blue;
    if (style == 'f' && std::sscanf(value, "%u,%u,%u", &red, &green, &blue) == 3)
        GR_setGrColor(0xFF000000u | (red & 0xFFu) | (green & 0xFFu) << 8 | (blue & 0xFFu) << 16);
}

void parseElement(GR_Graph *g, Reader *r, int command, const char *name)
{
    switch (command) {
    case 'r': readRange(g, r); break;
    case 'c': readCurve(g, r, name); break;
    case 's': readStep(g, r); break;
    case 'u': readUnit(g, r); break;
    case 't': readTextCommand(g, r); break;
    case 'S': readStyle(r); break;
    case 'q': next(r); break;
    case '!': break;
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "Plot file: unknown command \"#%c\" ignored\n", command);
        if (pterm.debug_level >= 2) log_append(0, "%s", text);
        break;
    }
    }
}

} // namespace

int GR_parseFile(GR_Graph *g, const char *name)
{
    const OB_Object &o = g->object;
    int file = Tarsel_fileOpen(name, "r");
    if (file < 0) {
        G_SetFont(o.font);
        G_DrawText(name, o.x + 2, o.y + 2, o.width - 4, o.height - 4, G_ALIGN_CENTER | G_ALIGN_MIDDLE, g->lineColor);
        err_fileNotFound(name);
        return 0;
    }
    GR_setGrColor(g->lineColor);
    Reader r = {file, 0, false, 0, PUMP_nowMs() + kDrawLimitMs, false};
    for (int c = next(&r); c != kEnd; c = next(&r)) {
        if (c != '#') continue;
        int command = next(&r);
        if (command == kEnd) break;
        if (command != '#') parseElement(g, &r, command, name);
    }
    Tarsel_fileClose(file);
    if (r.cut) {
        log_append_int(0, "Plot file: drawn up to byte %ld, the rest is left out (1 MB or half a second at most)\n",
                       r.taken - 1);
        log_append(0, " %s\n", name);
    }
    return 1;
}
