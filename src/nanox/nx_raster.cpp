// Raster engine: graphics contexts, clip regions and every drawing primitive
// (points, lines with on-off dashes, rectangles, polygons, ellipses, area
// copies). Writes only through the targets that nx_server.cpp prepares; pixels
// keep alpha 0xFF, the modes act on the colour bits.
#include "nanox/nx_core.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <unordered_map>

namespace {

// An edge of a filled polygon, walked down its rows [top, bottom). Its
// crossing of row y is a.x + (y - a.y)(b.x - a.x) / (b.y - a.y), rounded to
// the nearest pixel with halves away from zero. It is kept as the exact
// fraction floor(n / d) = q, n - q d = r (d = 2 (b.y - a.y), n = 2 (crossing
// numerator) + d / 2), stepped by adding one row's change to n; an edge
// whose products would not fit 64 bits is computed in floating point.
struct Edge {
    GR_POINT a, b; // a.y < b.y
    int top, bottom;
    bool exact;
    int64_t q, r, d, stepQ, stepR;
};

struct Raster {
    std::unordered_map<GR_ID, NX_GC> gcs;
    std::unordered_map<GR_ID, NX_Region> regions;
    GR_ID nextGC = 1000;
    GR_ID nextRegion = 1000;
    std::vector<int> halfWidths; // scratch rows of the ellipse being drawn
    std::vector<int> crossings;  // scratch edge crossings of a polygon row
    std::vector<Edge> edges;     // scratch edges of a polygon
};

Raster raster;

uint32_t applyMode(int mode, uint32_t s, uint32_t d)
{
    uint32_t r;
    switch (mode) {
    case GR_MODE_XOR: r = s ^ d; break;
    case GR_MODE_OR: r = s | d; break;
    case GR_MODE_AND: r = s & d; break;
    case GR_MODE_CLEAR: r = 0; break;
    case GR_MODE_SET: r = 0xFFFFFF; break;
    case GR_MODE_EQUIV: r = ~(s ^ d); break;
    case GR_MODE_NOR: r = ~(s | d); break;
    case GR_MODE_NAND: r = ~(s & d); break;
    case GR_MODE_INVERT: r = ~d; break;
    case GR_MODE_COPYINVERTED: r = ~s; break;
    case GR_MODE_ORINVERTED: r = ~s | d; break;
    case GR_MODE_ANDINVERTED: r = ~s & d; break;
    case GR_MODE_ORREVERSE: r = s | ~d; break;
    case GR_MODE_ANDREVERSE: r = s & ~d; break;
    case GR_MODE_NOOP: r = d; break;
    default: r = s; break; // copy and the compositing modes
    }
    return (r & 0x00FFFFFF) | NX_OPAQUE;
}

constexpr int kLongLine = 1 << 17;    // longer lines are clipped before they are walked
constexpr int kExactRadius = 1 << 14; // larger radii are computed in floating point

int modeOf(const NX_Target &t) { return t.gc ? t.gc->mode : GR_MODE_COPY; }

// Last coordinate of a run of size pixels from start, without overflow.
int lastOf(int start, int size)
{
    int64_t end = static_cast<int64_t>(start) + size - 1;
    return static_cast<int>(std::clamp<int64_t>(end, INT32_MIN, INT32_MAX));
}

// Cuts a very long line to the part near the visible area (Liang-Barsky), so
// that walking it stays bounded; answers false when nothing is left.
bool clipLongLine(const NX_Target &t, int &x1, int &y1, int &x2, int &y2)
{
    int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
    if (std::max(std::abs(dx), std::abs(dy)) < kLongLine) return true;
    double lo = 0, hi = 1;
    const double p[4] = {-double(dx), double(dx), -double(dy), double(dy)};
    const double q[4] = {double(x1) - (t.clipX1 - 2), double(t.clipX2 + 2) - x1, double(y1) - (t.clipY1 - 2),
                         double(t.clipY2 + 2) - y1};
    for (int i = 0; i < 4; i++) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double r = q[i] / p[i];
        if (p[i] < 0) lo = std::max(lo, r);
        else hi = std::min(hi, r);
    }
    if (lo > hi) return false;
    int nx1 = static_cast<int>(std::lround(x1 + lo * double(dx)));
    int ny1 = static_cast<int>(std::lround(y1 + lo * double(dy)));
    x2 = static_cast<int>(std::lround(x1 + hi * double(dx)));
    y2 = static_cast<int>(std::lround(y1 + hi * double(dy)));
    x1 = nx1;
    y1 = ny1;
    return true;
}

uint32_t *pixelAt(const NX_Target &t, int x, int y)
{
    return t.pixels + static_cast<size_t>(y + t.originY) * t.pitch + x + t.originX;
}

// Sets count pixels to colour; the C library's wide-character fill stores
// 32-bit units with the widest stores the processor has.
static_assert(sizeof(wchar_t) == sizeof(uint32_t), "pixels are filled as wide characters");
void fillPixels(uint32_t *p, int count, uint32_t colour)
{
    constexpr int kShortRun = 16; // shorter runs are cheaper set in place than by a call
    if (count < kShortRun) {
        for (int i = 0; i < count; i++) p[i] = colour;
        return;
    }
    std::wmemset(reinterpret_cast<wchar_t *>(p), static_cast<wchar_t>(colour), static_cast<size_t>(count));
}

// Calls run(x1, x2) for the parts of row y between x1 and x2 that lie in the
// visible area and in the clip region, left to right, each pixel once.
template <typename Run> void forEachVisibleRun(const NX_Target &t, int x1, int x2, int y, Run run)
{
    if (y < t.clipY1 || y > t.clipY2) return;
    if (x1 > x2) std::swap(x1, x2);
    x1 = std::max(x1, t.clipX1);
    x2 = std::min(x2, t.clipX2);
    if (x1 > x2) return;
    if (!t.region) {
        run(x1, x2);
        return;
    }
    static std::vector<std::pair<int, int>> runs;
    runs.clear();
    for (const GR_RECT &r : *t.region) {
        if (y < r.y || y >= r.y + r.height || r.width <= 0) continue;
        int a = std::max(x1, r.x), b = std::min(x2, r.x + r.width - 1);
        if (a <= b) runs.emplace_back(a, b);
    }
    std::sort(runs.begin(), runs.end());
    int next = x1; // first pixel not yet written
    for (auto [a, b] : runs) {
        a = std::max(a, next);
        if (a > b) continue;
        run(a, b);
        next = b + 1;
    }
}

bool pointVisible(const NX_Target &t, int x, int y)
{
    bool inside = false;
    forEachVisibleRun(t, x, x, y, [&](int, int) { inside = true; });
    return inside;
}

// On-off dash pattern of a context; restarts for every segment.
struct Dash {
    const NX_GC *gc = nullptr;
    int index = 0, left = 0;
    bool on = true;
    explicit Dash(const NX_GC *g)
    {
        if (g && g->lineStyle == GR_LINE_ONOFF_DASH && g->dashCount > 0) {
            gc = g;
            left = g->dashes[0];
        }
    }
    bool active() const { return gc != nullptr; }
    // Whether the next pixel along the line is drawn.
    bool step()
    {
        if (!gc) return true;
        while (left == 0) {
            index = (index + 1) % gc->dashCount;
            left = gc->dashes[index];
            on = index % 2 == 0;
        }
        left--;
        return on;
    }
};

void plot(const NX_Target &t, int x, int y, GR_COLOR colour) { NX_span(t, x, x, y, colour); }

// Sets an opaque pixel when it lies in the visible area (no region, copy mode).
void setVisiblePixel(const NX_Target &t, int x, int y, uint32_t pixel)
{
    if (x >= t.clipX1 && x <= t.clipX2 && y >= t.clipY1 && y <= t.clipY2) *pixelAt(t, x, y) = pixel;
}

// The visible pixels of column x from row y1 to row y2 (either order), set
// to pixel (no region, copy mode).
void drawColumn(const NX_Target &t, int x, int y1, int y2, uint32_t pixel)
{
    if (x < t.clipX1 || x > t.clipX2) return;
    int top = std::max(std::min(y1, y2), t.clipY1), bottom = std::min(std::max(y1, y2), t.clipY2);
    if (top > bottom) return;
    uint32_t *p = pixelAt(t, x, top);
    for (int y = top; y <= bottom; y++, p += t.pitch) *p = pixel;
}

// Bresenham line; the end point is drawn when withEnd is set.
void drawLine(const NX_Target &t, int x1, int y1, int x2, int y2, GR_COLOR colour, bool withEnd)
{
    if (!clipLongLine(t, x1, y1, x2, y2)) return;
    Dash dash(t.gc);
    if (y1 == y2 && !dash.active()) {
        int end = withEnd ? x2 : (x2 > x1 ? x2 - 1 : x2 + 1);
        if (!withEnd && x1 == x2) return;
        NX_span(t, x1, end, y1, colour);
        return;
    }
    // plain copies without a region set the pixels directly
    bool direct = !t.region && modeOf(t) == GR_MODE_COPY;
    uint32_t s = (colour & 0x00FFFFFF) | NX_OPAQUE;
    if (x1 == x2 && direct && !dash.active()) {
        drawColumn(t, x1, y1, withEnd ? y2 : (y2 > y1 ? y2 - 1 : y2 + 1), s);
        return;
    }
    int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        bool last = x1 == x2 && y1 == y2;
        if (last && !withEnd) return;
        bool on = dash.step();
        if (on && direct) setVisiblePixel(t, x1, y1, s);
        else if (on) plot(t, x1, y1, colour);
        if (last) return;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

// Largest dx with (dx, dy) inside an ellipse of radii rx, ry whose boundary
// runs half a pixel outside the outermost pixel centres, for radii beyond
// kExactRadius (floating point; such ellipses reach far outside any screen).
int wideHalfWidth(int rx, int ry, int dy)
{
    if (dy > ry) return -1;
    double f = static_cast<double>(dy) / (ry + 0.5);
    return std::min(rx, static_cast<int>((rx + 0.5) * std::sqrt(std::max(0.0, 1.0 - f * f))));
}

// The same for radii up to kExactRadius, for the rows dy = 0 .. rows - 1 into
// raster.halfWidths: the largest dx with (2dx)^2 b^2 <= a^2 b^2 - (2dy)^2 a^2
// (a = 2rx + 1, b = 2ry + 1), -1 below the ellipse. The width only shrinks
// from row to row, so it is walked inwards from rx in integer steps.
const std::vector<int> &exactHalfWidths(int rx, int ry, int rows)
{
    std::vector<int> &widths = raster.halfWidths;
    widths.assign(static_cast<size_t>(rows), -1);
    int64_t a2 = (2LL * rx + 1) * (2LL * rx + 1), b2 = (2LL * ry + 1) * (2LL * ry + 1);
    int dx = rx;
    for (int dy = 0; dy < rows && dy <= ry; dy++) {
        int64_t limit = a2 * b2 - 4LL * dy * dy * a2;
        while (dx > 0 && 4LL * dx * dx * b2 > limit) dx--;
        widths[static_cast<size_t>(dy)] = dx;
    }
    return widths;
}

void ellipse(GR_DRAW_ID id, GR_GC_ID gc, int cx, int cy, int rx, int ry, bool fill)
{
    NX_Target t;
    if (rx < 0 || ry < 0 || !NX_prepareTarget(id, gc, &t)) return;
    GR_COLOR c = t.gc->foreground;
    int first = static_cast<int>(std::max<int64_t>(-ry, static_cast<int64_t>(t.clipY1) - cy));
    int last = static_cast<int>(std::min<int64_t>(ry, static_cast<int64_t>(t.clipY2) - cy));
    if (first > last) return;
    bool exact = rx <= kExactRadius && ry <= kExactRadius;
    const std::vector<int> *table = nullptr;
    if (exact) table = &exactHalfWidths(rx, ry, std::max(std::abs(first), std::abs(last)) + 2);
    auto halfWidth = [&](int dy) { return exact ? (*table)[static_cast<size_t>(dy)] : wideHalfWidth(rx, ry, dy); };
    for (int dy = first; dy <= last; dy++) {
        int ady = std::abs(dy);
        int hw = halfWidth(ady);
        if (fill || ady == ry) {
            NX_span(t, cx - hw, cx + hw, cy + dy, c);
            continue;
        }
        int inner = std::min(halfWidth(ady + 1) + 1, hw);
        if (inner <= 0) {
            NX_span(t, cx - hw, cx + hw, cy + dy, c);
            continue;
        }
        NX_span(t, cx - hw, cx - inner, cy + dy, c);
        NX_span(t, cx + inner, cx + hw, cy + dy, c);
    }
}

// Plain copy of opaque pixels without a clip region: one memmove per row of
// the part that lies in the target's visible area (rows in the order that
// keeps an overlapping copy within one buffer intact).
void copyRows(const NX_Target &dst, int x, int y, const NX_Target &src, int srcX, int srcY, int width, int height,
              bool upward)
{
    int x1 = std::max(x, dst.clipX1), x2 = std::min(lastOf(x, width), dst.clipX2);
    int y1 = std::max(y, dst.clipY1), y2 = std::min(lastOf(y, height), dst.clipY2);
    if (x1 > x2 || y1 > y2) return;
    size_t bytes = static_cast<size_t>(x2 - x1 + 1) * sizeof(uint32_t);
    for (int i = 0; i <= y2 - y1; i++) {
        int row = upward ? y2 - i : y1 + i;
        std::memmove(pixelAt(dst, x1, row), pixelAt(src, srcX + x1 - x, srcY + row - y), bytes);
    }
}

int64_t floorDiv(int64_t n, int64_t d) { return n / d - (n % d != 0 && (n < 0) != (d < 0)); }

Edge makeEdge(GR_POINT a, GR_POINT b, int firstRow)
{
    if (b.y < a.y) std::swap(a, b);
    constexpr int64_t kExact = 1 << 24;
    Edge e{a, b, a.y, b.y, false, 0, 0, 0, 0, 0};
    int64_t den = static_cast<int64_t>(b.y) - a.y, width = static_cast<int64_t>(b.x) - a.x;
    if (std::abs(static_cast<int64_t>(a.x)) >= kExact || std::abs(width) >= kExact || den >= kExact) return e;
    int64_t start = std::max(firstRow, a.y);
    int64_t n = 2 * (a.x * den + (start - a.y) * width) + den;
    e.exact = true;
    e.d = 2 * den;
    e.q = floorDiv(n, e.d);
    e.r = n - e.q * e.d;
    e.stepQ = floorDiv(2 * width, e.d);
    e.stepR = 2 * width - e.stepQ * e.d;
    return e;
}

// The crossing of row y (the edge's next row when exact), then one row on.
int crossing(Edge &e, int y)
{
    if (!e.exact) {
        double x = e.a.x + (static_cast<double>(y) - e.a.y) * (static_cast<double>(e.b.x) - e.a.x) /
                               (static_cast<double>(e.b.y) - e.a.y);
        return static_cast<int>(std::clamp<double>(std::round(x), INT32_MIN, INT32_MAX));
    }
    // below zero a half rounds down, away from zero
    bool negative = e.q < 0 || (e.q == 0 && 2 * e.r < e.d);
    int64_t x = e.q - (negative && e.r == 0);
    e.q += e.stepQ;
    e.r += e.stepR;
    if (e.r >= e.d) {
        e.r -= e.d;
        e.q++;
    }
    return static_cast<int>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
}

} // namespace

// ---- pixel writes ----

void NX_span(const NX_Target &t, int x1, int x2, int y, GR_COLOR colour)
{
    int mode = modeOf(t);
    uint32_t s = (colour & 0x00FFFFFF) | NX_OPAQUE;
    forEachVisibleRun(t, x1, x2, y, [&](int a, int b) {
        uint32_t *p = pixelAt(t, a, y);
        if (mode == GR_MODE_COPY) {
            fillPixels(p, b - a + 1, s);
            return;
        }
        for (int x = a; x <= b; x++, p++) *p = applyMode(mode, s, *p);
    });
}

void NX_fillRect(const NX_Target &t, int x, int y, int width, int height, GR_COLOR colour)
{
    if (width <= 0 || height <= 0) return;
    int y1 = std::max(y, t.clipY1), y2 = std::min(lastOf(y, height), t.clipY2);
    if (t.region || modeOf(t) != GR_MODE_COPY) {
        for (int row = y1; row <= y2; row++) NX_span(t, x, lastOf(x, width), row, colour);
        return;
    }
    // a plain fill: clipped once, then row by row
    int x1 = std::max(x, t.clipX1), x2 = std::min(lastOf(x, width), t.clipX2);
    uint32_t s = (colour & 0x00FFFFFF) | NX_OPAQUE;
    for (int row = y1; x1 <= x2 && row <= y2; row++) fillPixels(pixelAt(t, x1, row), x2 - x1 + 1, s);
}

namespace {

uint32_t blend(uint32_t colour, uint32_t d, int coverage)
{
    uint32_t out = NX_OPAQUE;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sc = (colour >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        out |= ((sc * coverage + dc * (255 - coverage) + 127) / 255) << shift;
    }
    return out;
}

// One pixel of a blend, its coverage above 0.
void blendInto(uint32_t *p, int mode, GR_COLOR colour, int coverage)
{
    if (mode != GR_MODE_COPY) {
        if (coverage >= 128) *p = applyMode(mode, colour, *p);
    } else if (coverage >= 255) {
        *p = (colour & 0x00FFFFFF) | NX_OPAQUE;
    } else {
        *p = blend(colour, *p, coverage);
    }
}

} // namespace

void NX_blendPixel(const NX_Target &t, int x, int y, GR_COLOR colour, int coverage)
{
    if (coverage <= 0 || !pointVisible(t, x, y)) return;
    blendInto(pixelAt(t, x, y), modeOf(t), colour, coverage);
}

void NX_blendSpan(const NX_Target &t, int x, int y, const uint8_t *coverage, int count, GR_COLOR colour)
{
    if (count <= 0) return;
    int mode = modeOf(t);
    forEachVisibleRun(t, x, lastOf(x, count), y, [&](int a, int b) {
        uint32_t *p = pixelAt(t, a, y);
        for (int i = a - x; i <= b - x; i++, p++)
            if (coverage[i]) blendInto(p, mode, colour, coverage[i]);
    });
}

const std::vector<GR_RECT> *NX_regionRects(GR_REGION_ID region)
{
    auto it = raster.regions.find(region);
    return it == raster.regions.end() ? nullptr : &it->second.rects;
}

NX_GC *NX_findGC(GR_GC_ID gc)
{
    auto it = raster.gcs.find(gc);
    return it == raster.gcs.end() ? nullptr : &it->second;
}

void NX_resetRaster() { raster = Raster{}; }

// ---- graphics contexts ----

GR_GC_ID GrNewGC(void)
{
    GR_GC_ID id = raster.nextGC++;
    raster.gcs[id] = NX_GC{};
    return id;
}

void GrDestroyGC(GR_GC_ID gc) { raster.gcs.erase(gc); }

static NX_GC *gcOrError(GR_GC_ID gc, const char *function)
{
    NX_GC *g = NX_findGC(gc);
    if (!g) NX_reportError(function, GR_ERROR_BAD_GC_ID, gc);
    return g;
}

void GrSetGCForeground(GR_GC_ID gc, GR_COLOR foreground)
{
    if (NX_GC *g = gcOrError(gc, "GrSetGCForeground")) g->foreground = foreground;
}

void GrSetGCBackground(GR_GC_ID gc, GR_COLOR background)
{
    if (NX_GC *g = gcOrError(gc, "GrSetGCBackground")) g->background = background;
}

void GrSetGCUseBackground(GR_GC_ID gc, GR_BOOL flag)
{
    if (NX_GC *g = gcOrError(gc, "GrSetGCUseBackground")) g->useBackground = flag != 0;
}

void GrSetGCFont(GR_GC_ID gc, GR_FONT_ID font)
{
    if (NX_GC *g = gcOrError(gc, "GrSetGCFont")) g->font = font;
}

void GrSetGCMode(GR_GC_ID gc, int mode)
{
    NX_GC *g = gcOrError(gc, "GrSetGCMode");
    if (!g) return;
    if ((mode & GR_MODE_DRAWMASK) > MWROP_SRCTRANSCOPY) {
        NX_reportError("GrSetGCMode", GR_ERROR_BAD_DRAWING_MODE, gc);
        return;
    }
    g->mode = mode & GR_MODE_DRAWMASK;
}

void GrSetGCLineAttributes(GR_GC_ID gc, int linestyle)
{
    NX_GC *g = gcOrError(gc, "GrSetGCLineAttributes");
    if (!g) return;
    if (linestyle != GR_LINE_SOLID && linestyle != GR_LINE_ONOFF_DASH) {
        NX_reportError("GrSetGCLineAttributes", GR_ERROR_BAD_LINE_ATTRIBUTE, gc);
        return;
    }
    g->lineStyle = linestyle;
}

void GrSetGCDash(GR_GC_ID gc, char *dashes, int count)
{
    NX_GC *g = gcOrError(gc, "GrSetGCDash");
    if (!g) return;
    g->dashCount = 0;
    int total = 0;
    for (int i = 0; dashes && i < count && i < 32; i++) {
        int run = static_cast<unsigned char>(dashes[i]);
        if (total + run > 32) run = 32 - total; // the pattern spans at most 32 pixels
        g->dashes[g->dashCount++] = static_cast<unsigned char>(run);
        total += run;
    }
    if (total == 0) g->dashCount = 0;
}

void GrSetGCRegion(GR_GC_ID gc, GR_REGION_ID region)
{
    if (NX_GC *g = gcOrError(gc, "GrSetGCRegion")) g->region = region;
}

// ---- regions ----

GR_REGION_ID GrNewRegion(void)
{
    GR_REGION_ID id = raster.nextRegion++;
    raster.regions[id] = NX_Region{};
    return id;
}

void GrUnionRectWithRegion(GR_REGION_ID region, GR_RECT *rect)
{
    auto it = raster.regions.find(region);
    if (it == raster.regions.end()) {
        NX_reportError("GrUnionRectWithRegion", GR_ERROR_BAD_REGION_ID, region);
        return;
    }
    if (rect && rect->width > 0 && rect->height > 0) it->second.rects.push_back(*rect);
}

void GrDestroyRegion(GR_REGION_ID region) { raster.regions.erase(region); }

// ---- primitives ----

void GrPoint(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y)
{
    NX_Target t;
    if (NX_prepareTarget(id, gc, &t)) plot(t, x, y, t.gc->foreground);
}

void GrLine(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x1, GR_COORD y1, GR_COORD x2, GR_COORD y2)
{
    NX_Target t;
    if (NX_prepareTarget(id, gc, &t)) drawLine(t, x1, y1, x2, y2, t.gc->foreground, true);
}

void GrRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height)
{
    NX_Target t;
    if (width <= 0 || height <= 0 || !NX_prepareTarget(id, gc, &t)) return;
    GR_COLOR c = t.gc->foreground;
    int x2 = lastOf(x, width), y2 = lastOf(y, height);
    drawLine(t, x, y, x2, y, c, true);
    if (height > 1) drawLine(t, x, y2, x2, y2, c, true);
    if (height > 2) {
        drawLine(t, x, y + 1, x, y2 - 1, c, true);
        if (width > 1) drawLine(t, x2, y + 1, x2, y2 - 1, c, true);
    }
}

void GrFillRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height)
{
    NX_Target t;
    if (NX_prepareTarget(id, gc, &t)) NX_fillRect(t, x, y, width, height, t.gc->foreground);
}

void GrPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT count, GR_POINT *points)
{
    NX_Target t;
    if (count < 2 || !points || !NX_prepareTarget(id, gc, &t)) return;
    bool closed = points[0].x == points[count - 1].x && points[0].y == points[count - 1].y;
    for (int i = 0; i + 1 < count; i++) {
        bool lastSegment = i + 2 == count;
        // shared corners are drawn once, so that exclusive-or outlines stay intact
        drawLine(t, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, t.gc->foreground,
                 lastSegment && !closed);
    }
}

void GrFillPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT count, GR_POINT *points)
{
    NX_Target t;
    if (count < 3 || !points || !NX_prepareTarget(id, gc, &t)) return;
    int minY = points[0].y, maxY = points[0].y;
    for (int i = 1; i < count; i++) {
        minY = std::min(minY, points[i].y);
        maxY = std::max(maxY, points[i].y);
    }
    minY = std::max(minY, t.clipY1);
    maxY = std::min(maxY, t.clipY2);
    if (minY > maxY) return;
    std::vector<Edge> &edges = raster.edges;
    edges.clear();
    for (int i = 0; i < count; i++)
        if (points[i].y != points[(i + 1) % count].y)
            edges.push_back(makeEdge(points[i], points[(i + 1) % count], minY));
    std::vector<int> &xs = raster.crossings;
    for (int y = minY; y <= maxY; y++) {
        xs.clear();
        for (Edge &e : edges)
            if (y >= e.top && y < e.bottom) xs.push_back(crossing(e, y));
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) NX_span(t, xs[i], xs[i + 1], y, t.gc->foreground);
    }
}

void GrEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry)
{
    ellipse(id, gc, x, y, rx, ry, false);
}

void GrFillEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry)
{
    ellipse(id, gc, x, y, rx, ry, true);
}

void GrCopyArea(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_DRAW_ID srcid,
                GR_COORD srcx, GR_COORD srcy, int op)
{
    NX_Target dst, src;
    GR_RECT bounds{x, y, width, height};
    if (width <= 0 || height <= 0 || !NX_prepareTarget(id, gc, &dst, &bounds) || !NX_prepareSource(srcid, &src)) return;
    // only the part whose source lies inside the source drawable is copied
    int left = std::max(0, src.clipX1 - srcx), top = std::max(0, src.clipY1 - srcy);
    int right = std::min(width - 1, src.clipX2 - srcx), bottom = std::min(height - 1, src.clipY2 - srcy);
    if (left > right || top > bottom) return;
    int mode = op == MWROP_USE_GC_MODE ? dst.gc->mode : GR_MODE_COPY;
    // a copy downwards within one buffer runs from the bottom row up
    bool upward = dst.pixels == src.pixels && y + dst.originY > srcy + src.originY;
    if (mode == GR_MODE_COPY && src.opaque && !dst.region) {
        copyRows(dst, x + left, y + top, src, srcx + left, srcy + top, right - left + 1, bottom - top + 1, upward);
        return;
    }
    std::vector<uint32_t> row(static_cast<size_t>(right - left + 1));
    for (int i = 0; i <= bottom - top; i++) {
        int r = upward ? bottom - i : top + i;
        const uint32_t *from = pixelAt(src, srcx + left, srcy + r);
        std::copy(from, from + row.size(), row.begin());
        forEachVisibleRun(dst, x + left, x + right, y + r, [&](int a, int b) {
            uint32_t *p = pixelAt(dst, a, y + r);
            const uint32_t *s = row.data() + (a - x - left);
            for (int xx = a; xx <= b; xx++, p++, s++)
                *p = mode == GR_MODE_COPY ? ((*s & 0x00FFFFFF) | NX_OPAQUE) : applyMode(mode, *s, *p);
        });
    }
}
