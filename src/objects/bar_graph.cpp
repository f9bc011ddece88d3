// Bar graphs and circular gauges: loading, the repaint pass that gathers
// their parameters, and drawing the bar, scale, limit marks, frame, dial and
// needle.
#include "objects/bar_graph.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "draw/button_face.h"
#include "data/process_points.h"
#include "draw/graphics.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/painter_loader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMaxTicks = 4096; // more ticks than this cannot be told apart on a panel
constexpr double kPixelLimit = 1e6;

// What the repaint pass leaves for drawing.
struct Params {
    double min = 0.0, max = 100.0, low = 20.0, high = 80.0, step = 10.0;
    long long startAngle = 0, endAngle = 0;
    int gauge = 0, horizontal = 0, inverted = 0, scale = 0, lowMark = 0, highMark = 0, editFrame = 0;
    int border = 0;
    uint32_t fillColor = 0, lineColor = 0;
    int valueRepaint = -1;
    uint32_t mask = 0;
};

char changeText[BG_TEXT_SIZE];

BG_BarGraph *barOf(int id) { return reinterpret_cast<BG_BarGraph *>(OB_Get_Pointer(id)); }

// A position or size in pixels, truncated toward zero and kept where the
// display's coordinates can take it.
int pixels(double v)
{
    if (std::isnan(v)) return 0;
    if (v > kPixelLimit) v = kPixelLimit;
    if (v < -kPixelLimit) v = -kPixelLimit;
    return static_cast<int>(v);
}

void appendChange(const char *text)
{
    size_t used = std::strlen(changeText);
    std::snprintf(changeText + used, sizeof changeText - used, "+%s", text);
}

// The info's current text into text (256 bytes).
void readInfo(const MP_Info &info, char *text)
{
    text[0] = '\0';
    if (info.type == SourceType_COLOR) return;
    RW_readSource(text, info.name, info.type);
}

// A finite number read as "%lf", else the value stays.
void readDouble(const char *text, double *value)
{
    double v;
    if (std::sscanf(text, "%lf", &v) == 1 && std::isfinite(v)) *value = v;
}

// An integer read as "%i" (decimal, octal or hexadecimal), else the value stays.
void readAngle(const char *text, long long *value)
{
    char *end = nullptr;
    long long v = std::strtoll(text, &end, 0);
    if (end == text) return;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = v;
}

bool takesNumber(int code)
{
    switch (code) {
    case BG_RR_MIN:
    case BG_RR_MAX:
    case BG_RR_LOW_LIMIT:
    case BG_RR_HIGH_LIMIT:
    case BG_RR_STEP:
    case BG_RR_START_ANGLE:
    case BG_RR_END_ANGLE: return true;
    default: return false;
    }
}

void takeNumber(const MP_Repaint &r, Params *p, int isStatic)
{
    char text[BG_TEXT_SIZE];
    readInfo(r.info, text);
    switch (r.code) {
    case BG_RR_MIN: readDouble(text, &p->min); break;
    case BG_RR_MAX: readDouble(text, &p->max); break;
    case BG_RR_LOW_LIMIT: readDouble(text, &p->low); break;
    case BG_RR_HIGH_LIMIT: readDouble(text, &p->high); break;
    case BG_RR_STEP: readDouble(text, &p->step); break;
    case BG_RR_START_ANGLE: readAngle(text, &p->startAngle); break;
    default: readAngle(text, &p->endAngle); break;
    }
    if (!isStatic) appendChange(text);
}

void takeFlag(const MP_Repaint &r, int index, Params *p)
{
    switch (r.code) {
    case BG_RR_VALUE: p->valueRepaint = index; break;
    case BG_RR_GAUGE: p->gauge = 1; break;
    case RR_HORIZONTAL: p->horizontal = 1; break;
    case BG_RR_INVERTED: p->inverted = 1; break;
    case BG_RR_SCALE: p->scale = 1; break;
    case BG_RR_LOW_MARK: p->lowMark = 1; break;
    case BG_RR_HIGH_MARK: p->highMark = 1; break;
    case BG_RR_EDIT_FRAME: p->editFrame = 1; break;
    case RR_BORDER: p->border = 1; break;
    case RR_LINE_COLOR: p->lineColor = getColorInfo(&r.info); break;
    case RR_FILL_COLOR: p->fillColor = getColorInfo(&r.info); break;
    default: break;
    }
}

// The repaint pass; false when a hide repaint holds.
bool repaintPass(const BG_BarGraph *bar, int full, Params *p)
{
    const OB_Object &o = bar->object;
    int isStatic = OB_GetStatusBit(&o, OB_STATUS_STATIC_TEXT);
    p->fillColor = o.fillColor;
    p->lineColor = o.lineColor;
    p->border = OB_GetStatusBit(&o, OB_STATUS_BORDER);
    auto take = [&](const MP_Repaint &r, int i) {
        if (takesNumber(r.code)) takeNumber(r, p, isStatic);
        else takeFlag(r, i, p);
    };
    return RR_repaintPass(bar->block, full, &p->mask, take, [&](const MP_Repaint &r) {
        if (r.code == RR_BORDER) p->border = 0;
    });
}

// The value text of the value repaint (empty without one).
void readValueText(const BG_BarGraph *bar, const Params &p, char *text)
{
    text[0] = '\0';
    if (p.valueRepaint >= 0) readInfo(bar->block.repaints[p.valueRepaint].info, text);
}

double valueOf(const char *text)
{
    double v = 0.0;
    if (std::sscanf(text, "%lf", &v) != 1 || std::isnan(v)) v = 0.0;
    return v;
}

double clampInto(double v, double low, double high) { return v < low ? low : (v > high ? high : v); }

// The origin (0 clamped into the range) and the value prepared for drawing.
double originOf(const Params &p) { return clampInto(0.0, p.min, p.max); }

double preparedValue(double v, const Params &p)
{
    if (!(p.max > p.min)) return originOf(p);
    return clampInto(v, p.min, p.max);
}

bool validRange(const Params &p) { return p.max > p.min; }

// A value the target could not give: no bar or needle, the words instead.
bool notAvailable(const char *valueText) { return stringcmp(valueText, PPO_NOT_AVAILABLE); }

void drawNotAvailable(const OB_Object &o, uint32_t colour)
{
    G_SetFont(o.font);
    G_DrawText(PPO_NOT_AVAILABLE, o.x, o.y, o.width, o.height, G_ALIGN_CENTER | G_ALIGN_MIDDLE, colour);
}

// ---- bar -----------------------------------------------------------------------------

int scaleBand(const Params &p) { return p.scale ? BG_SCALE_BAND : 0; }

// The bar's box and the zero line (offset from the top or the left).
void barBox(const OB_Object &o, const Params &p, double v, int box[4], int *zero)
{
    double origin = originOf(p);
    int s = scaleBand(p);
    if (p.horizontal) {
        double k = o.width / (p.max - p.min);
        *zero = pixels((origin - p.min) * k);
        int left = pixels(std::fabs((v - p.min) * k));
        if (*zero < left) left = *zero;
        box[0] = o.x + left, box[1] = o.y + 2, box[2] = pixels(std::fabs(v - origin) * k), box[3] = o.height - 4 - s;
    } else {
        double k = o.height / (p.max - p.min);
        *zero = pixels((p.max - origin) * k);
        int top = pixels(std::fabs((p.max - v) * k));
        if (*zero < top) top = *zero;
        box[0] = o.x + 2, box[1] = o.y + top, box[2] = o.width - 4 - s, box[3] = pixels(std::fabs(v - origin) * k);
    }
}

bool contains(const int outer[4], const BG_BarGraph *bar)
{
    return bar->barX >= outer[0] && bar->barY >= outer[1] && bar->barX + bar->barWidth <= outer[0] + outer[2] &&
           bar->barY + bar->barHeight <= outer[1] + outer[3];
}

// Fills the bar. On a refresh, a bar that no longer covers the one drawn last
// (or that replaces the words "Not available") first clears its box (unless
// every refresh redraws the page) and has the page drawn anew; a full redraw
// has just drawn what lies beneath it, and leaves it alone. A value that is
// not live paints no bar.
void paintBar(BG_BarGraph *bar, const Params &p, double v, bool live, int full, int *zero)
{
    const OB_Object &o = bar->object;
    int box[4];
    barBox(o, p, v, box, zero);
    if (!live) box[2] = box[3] = 0;
    bool words = bar->wordsShown && live;
    if (!full && (words || (bar->barWidth > 0 && bar->barHeight > 0 && !contains(box, bar)))) {
        if (pterm.full_redraw == 0) G_FillRect(o.x, o.y, o.width, o.height, G_GetBackGroundColor());
        scheduleFullRedraw();
    }
    G_FillRect(box[0], box[1], box[2], box[3], p.fillColor);
    bar->barX = static_cast<int16_t>(box[0]);
    bar->barY = static_cast<int16_t>(box[1]);
    bar->barWidth = static_cast<int16_t>(box[2] > 0 ? box[2] : 0);
    bar->barHeight = static_cast<int16_t>(box[3] > 0 ? box[3] : 0);
}

// The first tick index and whether the ticks are at least a pixel apart.
bool firstTick(const Params &p, double k, double *index)
{
    if (!(p.step > 0.0)) return false;
    if (pixels(p.min * k) == pixels((p.min + p.step) * k)) return false;
    if ((p.max - p.min) / p.step > kMaxTicks) return false;
    *index = std::trunc((p.min - originOf(p)) / p.step);
    return true;
}

int tickLength(double index) { return std::fmod(index, 5.0) == 0.0 ? 8 : 4; }

void drawScale(const OB_Object &o, const Params &p, int zero)
{
    double i, origin = originOf(p);
    if (p.horizontal) {
        int sy = o.y + o.height - BG_SCALE_BAND;
        G_FillRect(o.x - 1, sy, o.width + 2, 2, p.lineColor);
        double k = o.width / (p.max - p.min);
        if (firstTick(p, k, &i))
            for (int n = 0; n <= kMaxTicks; n++, i += 1.0) {
                double t = origin + i * p.step;
                if (t > p.max) break;
                G_FillRect(o.x + pixels((t - p.min) * k) - 1, sy + 2, 2, tickLength(i), p.lineColor);
            }
        G_FillRect(o.x + zero - 1, sy - 3, 2, 3, p.lineColor);
        return;
    }
    int sx = o.x + o.width - BG_SCALE_BAND;
    G_FillRect(sx, o.y - 1, 2, o.height + 2, p.lineColor);
    double k = o.height / (p.max - p.min);
    if (firstTick(p, k, &i))
        for (int n = 0; n <= kMaxTicks; n++, i += 1.0) {
            double t = origin + i * p.step;
            if (t > p.max) break;
            G_FillRect(sx + 2, o.y + pixels((p.max - t) * k) - 1, tickLength(i), 2, p.lineColor);
        }
    G_FillRect(sx - 3, o.y + zero - 1, 3, 2, p.lineColor);
}

void drawLimit(const OB_Object &o, const Params &p, double limit)
{
    limit = clampInto(limit, p.min, p.max);
    int s = scaleBand(p);
    if (p.horizontal)
        G_FillRect(o.x + pixels((limit - p.min) * o.width / (p.max - p.min)) - 1, o.y, 2, o.height - s, p.lineColor);
    else G_FillRect(o.x, o.y + pixels((p.max - limit) * o.height / (p.max - p.min)) - 1, o.width - s, 2, p.lineColor);
}

void drawBar(BG_BarGraph *bar, Params p, const char *valueText, int full)
{
    const OB_Object &o = bar->object;
    bool live = !notAvailable(valueText);
    double v = valueOf(valueText), low = p.low, high = p.high;
    if (p.inverted) {
        double min = p.min;
        p.min = -p.max, p.max = -min, v = -v, low = -low, high = -high;
    }
    int zero = 0;
    if (validRange(p)) {
        if (p.valueRepaint >= 0) paintBar(bar, p, preparedValue(v, p), live, full, &zero);
        if (p.scale && p.step > 0.0) drawScale(o, p, zero);
        if (p.lowMark) drawLimit(o, p, low);
        if (p.highMark) drawLimit(o, p, high);
    }
    int w = o.width - (p.scale && !p.horizontal ? BG_SCALE_BAND : 0);
    int h = o.height - (p.scale && p.horizontal ? BG_SCALE_BAND : 0);
    if (p.editFrame) DM_DrawEditField("", o.x, o.y, w, h, p.lineColor);
    if (p.border) G_DrawRect2(o.x, o.y, w, h, p.lineColor, o.lineStyle, o.lineWidth);
    if (!live && p.valueRepaint >= 0) drawNotAvailable(o, p.lineColor);
    bar->wordsShown = !live && p.valueRepaint >= 0;
}

// ---- gauge ------------------------------------------------------------------------------

struct Dial {
    int cx, cy, r;
    double start, sweep;
};

Dial dialOf(const OB_Object &o, const Params &p)
{
    int r = o.width / 2 < o.height / 2 ? o.width / 2 : o.height / 2;
    long long start = BG_positiveAngle(p.startAngle), end = BG_positiveAngle(p.endAngle);
    return {o.x + o.width / 2, o.y + o.height / 2, r, static_cast<double>(start),
            static_cast<double>(BG_getAngleRange(start, end, p.inverted))};
}

void radialLine(const Dial &d, double degrees, int inner, int outer, uint32_t colour)
{
    double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    G_DrawLine(pixels(d.cx + inner * c), pixels(d.cy - inner * s), pixels(d.cx + outer * c), pixels(d.cy - outer * s),
               colour);
}

// The needle's angle from the start, in whole degrees.
double needleTurn(const Params &p, const Dial &d, const char *valueText)
{
    if (!validRange(p)) return 0.0;
    return std::trunc((preparedValue(valueOf(valueText), p) - p.min) * d.sweep / (p.max - p.min));
}

void drawNeedle(const OB_Object &o, const Params &p, const Dial &d, const char *valueText)
{
    if (p.border) G_DrawEllipse(o.x, o.y, o.width, o.height, o.lineColor);
    radialLine(d, d.start + needleTurn(p, d, valueText), 0, d.r, p.lineColor);
}

void drawDialScale(const Params &p, const Dial &d)
{
    if (!(p.step > 0.0) || !validRange(p) || (p.max - p.min) / p.step > kMaxTicks) return;
    for (int n = 0; n <= kMaxTicks; n++) {
        double t = p.min + n * p.step;
        if (t > p.max) break;
        radialLine(d, d.start + (t - p.min) * d.sweep / (p.max - p.min), d.r - 10, d.r, p.lineColor);
    }
}

// What the gauge is about to draw: the needle's end, the frame and the ticks.
BG_Dial dialDrawn(const Params &p, const Dial &d, const char *valueText)
{
    BG_Dial drawn = {};
    drawn.shown = 1;
    drawn.border = static_cast<uint8_t>(p.border);
    if (p.valueRepaint >= 0) {
        double a = (d.start + needleTurn(p, d, valueText)) * kPi / 180.0;
        drawn.needle = 1;
        drawn.needleX = pixels(d.cx + d.r * std::cos(a));
        drawn.needleY = pixels(d.cy - d.r * std::sin(a));
    }
    if (p.scale) {
        drawn.scale = 1;
        drawn.start = d.start, drawn.sweep = d.sweep;
        drawn.min = p.min, drawn.max = p.max, drawn.step = p.step;
    }
    return drawn;
}

bool sameDial(const BG_Dial &a, const BG_Dial &b)
{
    return a.shown == b.shown && a.needle == b.needle && a.border == b.border && a.scale == b.scale &&
           a.needleX == b.needleX && a.needleY == b.needleY && a.start == b.start && a.sweep == b.sweep &&
           a.min == b.min && a.max == b.max && a.step == b.step;
}

void drawGauge(BG_BarGraph *bar, const Params &p, const char *valueText, int full)
{
    Dial d = dialOf(bar->object, p);
    // The needle is drawn over what is there: on a refresh that changed the
    // gauge the old one goes with a full redraw of the page.
    bool live = !notAvailable(valueText);
    bool words = !live && p.valueRepaint >= 0;
    BG_Dial drawn = dialDrawn(p, d, valueText);
    if (!full && (!sameDial(drawn, bar->dial) || words != (bar->wordsShown != 0))) scheduleFullRedraw();
    bar->dial = drawn;
    if (p.valueRepaint >= 0 && live) drawNeedle(bar->object, p, d, valueText);
    if (p.scale) drawDialScale(p, d);
    if (words) drawNotAvailable(bar->object, p.lineColor);
    bar->wordsShown = words;
}

} // namespace

long long BG_positiveAngle(long long angle)
{
    if (angle >= 0) return angle;
    long long r = angle % 360;
    return r < 0 ? r + 360 : r;
}

long long BG_getAngleRange(long long start, long long end, int clockwise)
{
    long long d = end - start, r = d % 360;
    if (clockwise) return d > 0 ? (r == 0 ? 0 : r - 360) : d;
    return d < 0 ? (r == 0 ? 0 : r + 360) : d;
}

OB_Object *BG_loadBarGraphP(int file, OB_Object *defaults)
{
    auto *bar = reinterpret_cast<BG_BarGraph *>(PA_newObject(sizeof(BG_BarGraph)));
    if (!bar || !PA_readBlock(file, &bar->object, &bar->block, defaults)) return nullptr;
    PA_finishObject(&bar->object, defaults, OB_KIND_OWN_HANDLERS, BarGraphPNotify);
    int isStatic = 0;
    bar->text = MP_GetPointerToString(&bar->block, &isStatic);
    OB_SetStatusBit(&bar->object, OB_STATUS_STATIC_TEXT, isStatic);
    return &bar->object;
}

OB_Object *BG_loadCircularGaugeP(int file, OB_Object *defaults) { return BG_loadBarGraphP(file, defaults); }

int32_t BarGraphPNotify(int id, int message, int a, void *b)
{
    BG_BarGraph *bar = barOf(id);
    if (!bar) return OB_SquareNotify(id, message, a, b);
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: BG_drawObj(bar, message == OB_MSG_DRAW); return id;
    case OB_MSG_ACCEPT:
    case OB_MSG_FOCUS_GAINED: return id;
    case OB_MSG_CLASS_ID: return BG_CLASS_ID;
    default: return OB_SquareNotify(id, message, a, b);
    }
}

void BG_drawObj(BG_BarGraph *bar, int full)
{
    changeText[0] = '\0';
    Params p;
    if (!repaintPass(bar, full, &p)) return;
    char valueText[BG_TEXT_SIZE];
    readValueText(bar, p, valueText);
    int isStatic = OB_GetStatusBit(&bar->object, OB_STATUS_STATIC_TEXT);
    if (!isStatic) appendChange(valueText);
    bool force = full != 0;
    if (!full && p.mask != bar->block.repaintMask) {
        bar->block.repaintMask = static_cast<uint16_t>(p.mask);
        force = true;
    }
    if (!force && bar->text && std::strncmp(changeText, bar->text, BG_TEXT_SIZE) == 0) return;
    if (!isStatic && bar->text) safe_strncpy(bar->text, changeText, BG_TEXT_SIZE);
    if (p.gauge) drawGauge(bar, p, valueText, full);
    else drawBar(bar, p, valueText, full);
}
