// Graphics layer: the G_ drawing calls over the display layer, the frame's
// off-screen pixmap, the saved boxes and the drawing state. Touches the font
// table, the image cache, the X bitmap reader, the log, and the object
// table's focus frame.
#include "draw/graphics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "draw/fonts.h"
#include "draw/images.h"
#include "draw/xbitmap.h"
#include "nanox/nx_clip.h"
#include "runtime/hooks.h"
#include "runtime/log.h"

GR_WINDOW_ID g_screen = 0;
GR_WINDOW_ID g_offscreen = 0;
GR_DRAW_ID g_main = 0;
GR_GC_ID g_gc = 0;
uint32_t g_color = 0xFF000000;
uint32_t g_BackgroundColor = 0xFFFFFFFF;
int teqWidth = 320;
int teqHeight = 240;
int32_t g_screenWidth = 0;
int32_t g_screenHeight = 0;
int g_GrFlushNotified = 0;

namespace {

int pixmapWidth = 0, pixmapHeight = 0; // the screen size the pixmap was made for
GR_FONT_ID currentFont = 0;
GR_POINT *polygonPoints = nullptr; // scratch array, grown on demand and kept
int polygonCapacity = 0;

struct SavedArea {
    const void *owner; // null: free
    GR_WINDOW_ID pixmap;
    int x, y, w, h;
};
SavedArea savedAreas[G_SAVED_AREAS];

// The box of what is drawn while an extent is collected (inclusive corners).
struct Extent {
    bool on;
    int bits; // G_EXTENT_
    int x1, y1, x2, y2;
};
Extent extent;
bool windowTouched; // drawn onto the window outside a frame since the last whole copy

// Every drawing call passes the box of its pixels here, in any corner order.
void noteBox(int x1, int y1, int x2, int y2)
{
    if (g_main == g_screen) windowTouched = true;
    if (!extent.on) return;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (!(extent.bits & G_EXTENT_DRAWN)) {
        extent.bits |= G_EXTENT_DRAWN;
        extent.x1 = x1, extent.y1 = y1, extent.x2 = x2, extent.y2 = y2;
        return;
    }
    extent.x1 = std::min(extent.x1, x1);
    extent.y1 = std::min(extent.y1, y1);
    extent.x2 = std::max(extent.x2, x2);
    extent.y2 = std::max(extent.y2, y2);
}

void noteRect(int x, int y, int w, int h)
{
    if (w > 0 && h > 0) noteBox(x, y, x + w - 1, y + h - 1);
}

void noteEllipse(int x, int y, int w, int h)
{
    int cx = x + w / 2, cy = y + h / 2, rx = w / 2, ry = h / 2;
    if (rx >= 0 && ry >= 0) noteBox(cx - rx, cy - ry, cx + rx, cy + ry);
}

void notePoints(const GR_POINT *points, int n)
{
    for (int i = 0; i < n; i++) noteBox(points[i].x, points[i].y, points[i].x, points[i].y);
}

SavedArea *savedAreaOf(const void *owner)
{
    for (SavedArea &a : savedAreas)
        if (owner && a.owner == owner) return &a;
    return nullptr;
}

void freeSavedArea(SavedArea *a)
{
    if (a->pixmap) GrDestroyWindow(a->pixmap);
    *a = {};
}

constexpr double kArrowWing = 0.3490658503888889; // 20 degrees
constexpr double kUpwards = 4.71238898025;
constexpr int kMaxLineWidth = 255; // wider lines from a damaged page are drawn this wide

// Room for one point more than asked, so that an outline can be closed.
GR_POINT *buildPoints(const int16_t *xs, const int16_t *ys, int n, int dx, int dy)
{
    if (!xs || !ys || n <= 0) return nullptr;
    if (n + 1 > polygonCapacity) {
        void *grown = std::realloc(polygonPoints, sizeof(GR_POINT) * static_cast<size_t>(n + 1));
        if (!grown) return nullptr;
        polygonPoints = static_cast<GR_POINT *>(grown);
        polygonCapacity = n + 1;
    }
    for (int i = 0; i < n; i++) polygonPoints[i] = {xs[i] + dx, ys[i] + dy};
    return polygonPoints;
}

// Selects the on-off dashes of a style; answers whether dashes were set.
bool setDashStyle(int style)
{
    static char dots[2] = {2, 2}, dashes[2] = {6, 4};
    if (style != G_STYLE_DASH && style != G_STYLE_DOT) return false;
    GrSetGCLineAttributes(g_gc, GR_LINE_ONOFF_DASH);
    GrSetGCDash(g_gc, style == G_STYLE_DOT ? dots : dashes, 2);
    return true;
}

void setSolid() { GrSetGCLineAttributes(g_gc, GR_LINE_SOLID); }

void arrowHead(int tipX, int tipY, double direction, int length, uint32_t c)
{
    int16_t xs[4], ys[4];
    xs[0] = static_cast<int16_t>(tipX);
    ys[0] = static_cast<int16_t>(tipY);
    for (int side = 0; side < 2; side++) {
        double a = direction + (side == 0 ? -kArrowWing : kArrowWing);
        xs[side + 1] = static_cast<int16_t>(tipX + std::lround(length * std::cos(a)));
        ys[side + 1] = static_cast<int16_t>(tipY + std::lround(length * std::sin(a)));
    }
    xs[3] = xs[0];
    ys[3] = ys[0];
    G_FillPolygon(xs, ys, 3, 0, 0, c);
    G_DrawPolygon(xs, ys, 4, 0, 0, c);
}

// One stroke from (m1, n1) to (m2, n2) in main-axis / minor-axis coordinates,
// as dashes of dashLength along the main axis with gaps one pixel longer
// (dashLength 0: one line).
void stroke(int m1, int n1, int m2, int n2, bool flat, int dashLength)
{
    auto line = [flat](int ma, int na, int mb, int nb) {
        if (flat) GrLine(g_main, g_gc, ma, na, mb, nb);
        else GrLine(g_main, g_gc, na, ma, nb, mb);
    };
    int length = std::abs(m2 - m1), step = m2 >= m1 ? 1 : -1;
    if (dashLength <= 0 || length == 0) {
        line(m1, n1, m2, n2);
        return;
    }
    for (int s = 0; s <= length; s += 2 * dashLength + 1) {
        int e = std::min(s + dashLength - 1, length);
        line(m1 + step * s, n1 + (n2 - n1) * s / length, m1 + step * e, n1 + (n2 - n1) * e / length);
    }
}

void drawLine2(int x1, int y1, int x2, int y2, uint32_t c, int style, int width, int arrows)
{
    if (x1 == x2 && y1 == y2) return;
    if (width <= 0) width = 1;
    width = std::min(width, kMaxLineWidth);
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        arrows = ((arrows & 1) << 1) | ((arrows & 2) >> 1); // the heads stay at the ends they were asked for
    }
    if (arrows & 3) {
        double angle;
        if (x1 == x2) angle = y2 > y1 ? M_PI / 2 : kUpwards;
        else if (y1 == y2) angle = x2 > x1 ? 0.0 : M_PI;
        else angle = std::atan2(y2 - y1, x2 - x1);
        int length = 4 * width;
        long pullX = std::lround(3.0 * width * std::cos(angle)), pullY = std::lround(3.0 * width * std::sin(angle));
        if (arrows & 1) {
            arrowHead(x1, y1, angle, length, c);
            x1 += static_cast<int>(pullX);
            y1 += static_cast<int>(pullY);
        }
        if (arrows & 2) {
            arrowHead(x2, y2, angle + M_PI, length, c);
            x2 -= static_cast<int>(pullX);
            y2 -= static_cast<int>(pullY);
        }
    }
    G_SetColor(c);
    if (style == G_STYLE_SOLID && width == 1) {
        GrLine(g_main, g_gc, x1, y1, x2, y2);
        return;
    }
    int dashLength = style == G_STYLE_DASH ? 4 * width : (style == G_STYLE_DOT ? width : 0);
    bool flat = std::abs(x2 - x1) >= std::abs(y2 - y1);
    int low = width % 2 == 0 ? 1 - width / 2 : -(width / 2), high = width / 2;
    for (int o = low; o <= high; o++) {
        if (flat) stroke(x1, y1 + o, x2, y2 + o, true, dashLength);
        else stroke(y1, x1 + o, y2, x2 + o, false, dashLength);
    }
}

} // namespace

namespace {

void invalidateWindow()
{
    windowTouched = true;
    GrClearArea(g_screen, 0, 0, 0, 0, 1);
}

} // namespace

int G_InitGraphDrv()
{
    HK_hooks()->invalidateView = invalidateWindow;
    return 0;
}
void G_FreeGraphDrv() {}

void G_reset()
{
    for (SavedArea &a : savedAreas) freeSavedArea(&a);
    if (g_offscreen) GrDestroyWindow(g_offscreen);
    std::free(polygonPoints);
    polygonPoints = nullptr;
    polygonCapacity = 0;
    pixmapWidth = pixmapHeight = 0;
    currentFont = 0;
    g_screen = g_offscreen = 0;
    g_main = 0;
    g_gc = 0;
    g_color = 0xFF000000;
    g_BackgroundColor = 0xFFFFFFFF;
    teqWidth = 320;
    teqHeight = 240;
    g_screenWidth = g_screenHeight = 0;
    g_GrFlushNotified = 0;
    extent = Extent{};
    windowTouched = false;
    NX_clearWriteClip();
}
void G_SetDirectWrite() {}
FO_FontRecord *G_GetFont() { return nullptr; }

void G_DrawViewBegin()
{
    if (g_offscreen && pixmapWidth == g_screenWidth && pixmapHeight == g_screenHeight) {
        g_main = g_offscreen;
        return;
    }
    GrClearArea(g_screen, 0, 0, 0, 0, 0);
    windowTouched = true;
    pixmapWidth = g_screenWidth;
    pixmapHeight = g_screenHeight;
    if (g_offscreen) GrDestroyWindow(g_offscreen);
    g_offscreen = GrNewPixmap(g_screenWidth, g_screenHeight, nullptr);
    g_main = g_offscreen ? g_offscreen : g_screen;
}

// The focus frame is drawn into the frame only for its copy to the screen and
// taken out again afterwards, so that the off-screen image, which the next
// refresh draws over, never holds it (an exclusive-or frame left in it would
// vanish at every second frame).
void G_DrawViewEnd() { G_DrawViewEndArea(nullptr); }

void G_DrawViewEndArea(const GR_RECT *box)
{
    G_SetFrameClip(nullptr);
    HK_hooks()->drawFocusFrame();
    GR_DRAW_ID frame = g_main;
    g_main = g_screen;
    GR_RECT all = {0, 0, g_screenWidth, g_screenHeight};
    if (!box || windowTouched) box = &all;
    if (g_offscreen)
        GrCopyArea(g_screen, g_gc, box->x, box->y, box->width, box->height, g_offscreen, box->x, box->y, 0);
    if (box == &all) windowTouched = false;
    if (frame != g_screen) {
        g_main = frame;
        HK_hooks()->drawFocusFrame();
        g_main = g_screen;
    }
    g_GrFlushNotified++;
    if (bltImageCacheMarked()) clearCachedBltImages();
}

int G_FrameKept() { return g_offscreen && pixmapWidth == g_screenWidth && pixmapHeight == g_screenHeight; }

int G_WindowTouched() { return windowTouched; }

void G_SetFrameClip(const GR_RECT *box)
{
    if (box && g_offscreen) NX_setWriteClip(g_offscreen, box->x, box->y, box->width, box->height);
    else NX_clearWriteClip();
}

void G_BeginExtent() { extent = Extent{true, 0, 0, 0, 0, 0}; }

int G_EndExtent(GR_RECT *box)
{
    extent.on = false;
    if (box) {
        *box = {0, 0, 0, 0};
        if (extent.bits & G_EXTENT_DRAWN)
            *box = {extent.x1, extent.y1, extent.x2 - extent.x1 + 1, extent.y2 - extent.y1 + 1};
    }
    return extent.bits;
}

void G_NoteDrawn(int x, int y, int w, int h, int stateful)
{
    noteRect(x, y, w, h);
    if (stateful && extent.on) extent.bits |= G_EXTENT_STATEFUL;
}

void G_SetSize(int width, int height)
{
    if (width <= 0 || height <= 0) {
        log_append_int(0, "Page size ignored: width or height %ld is not positive\n", width <= 0 ? width : height);
        return;
    }
    teqWidth = width;
    teqHeight = height;
    GrResizeWindow(g_screen, width, height);
}

void G_GetSize(int *width, int *height)
{
    if (width) *width = teqWidth;
    if (height) *height = teqHeight;
}

void G_GetResolution(int *width, int *height)
{
    if (width) *width = g_screenWidth;
    if (height) *height = g_screenHeight;
}

void G_ClearScreen() { G_FillRect(0, 0, teqWidth, teqHeight, g_BackgroundColor); }

void G_SetBackGroundColor(uint32_t c)
{
    if (c == g_BackgroundColor) return;
    g_BackgroundColor = c;
    GR_WM_PROPERTIES props{};
    props.flags = GR_WM_FLAGS_BACKGROUND;
    props.background = c;
    GrSetWMProperties(g_screen, &props);
    GrSetGCBackground(g_gc, c);
}

uint32_t G_GetBackGroundColor() { return g_BackgroundColor; }

void G_SetColor(uint32_t c)
{
    if (c == g_color) return;
    g_color = c;
    GrSetGCForeground(g_gc, c);
}

void G_SetFont(FO_FontRecord *font)
{
    GR_FONT_ID id = font ? font->fontId : 0;
    if (id == currentFont) return;
    currentFont = id;
    GrSetGCFont(g_gc, id);
}

void G_SetPixel(int x, int y, uint32_t c)
{
    G_SetColor(c);
    noteBox(x, y, x, y);
    GrPoint(g_main, g_gc, x, y);
}

void G_DrawLine(int x1, int y1, int x2, int y2, uint32_t c)
{
    G_SetColor(c);
    noteBox(x1, y1, x2, y2);
    GrLine(g_main, g_gc, x1, y1, x2, y2);
}

void G_DrawRect(int x, int y, int w, int h, uint32_t c)
{
    G_SetColor(c);
    noteRect(x, y, w, h);
    GrRect(g_main, g_gc, x, y, w, h);
}

void G_FillRect(int x, int y, int w, int h, uint32_t c)
{
    G_SetColor(c);
    noteRect(x, y, w, h);
    GrFillRect(g_main, g_gc, x, y, w, h);
}

void G_DrawRect2(int x, int y, int w, int h, uint32_t c, int style, int width)
{
    if (width <= 0) return;
    G_SetColor(c);
    noteRect(x, y, w, h);
    bool dashed = setDashStyle(style);
    for (int k = 0; k < width && w - 2 * k > 0 && h - 2 * k > 0; k++)
        GrRect(g_main, g_gc, x + k, y + k, w - 2 * k, h - 2 * k);
    if (dashed) setSolid();
}

void G_DrawPolygon(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c)
{
    GR_POINT *points = buildPoints(xs, ys, n, dx, dy);
    if (!points) return;
    // The outline ends where it began: the closing edge is added unless the
    // points already repeat the first one.
    if (points[n - 1].x != points[0].x || points[n - 1].y != points[0].y) points[n++] = points[0];
    G_SetColor(c);
    notePoints(points, n);
    GrPoly(g_main, g_gc, n, points);
}

void G_FillPolygon(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c)
{
    GR_POINT *points = buildPoints(xs, ys, n, dx, dy);
    if (!points) return;
    G_SetColor(c);
    notePoints(points, n);
    GrFillPoly(g_main, g_gc, n, points);
}

void G_DrawPolygon2(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c, int style)
{
    bool dashed = setDashStyle(style);
    G_DrawPolygon(xs, ys, n, dx, dy, c);
    if (dashed) setSolid();
}

void G_DrawEllipse(int x, int y, int w, int h, uint32_t c)
{
    G_SetColor(c);
    noteEllipse(x, y, w, h);
    GrEllipse(g_main, g_gc, x + w / 2, y + h / 2, w / 2, h / 2);
}

void G_FillEllipse(int x, int y, int w, int h, uint32_t c)
{
    G_SetColor(c);
    noteEllipse(x, y, w, h);
    GrFillEllipse(g_main, g_gc, x + w / 2, y + h / 2, w / 2, h / 2);
}

void G_DrawEllipse2(int x, int y, int w, int h, uint32_t c, int style)
{
    bool dashed = setDashStyle(style);
    G_DrawEllipse(x, y, w, h, c);
    if (dashed) setSolid();
}

void G_Ellipse2(int x, int y, int w, int h, int fill, uint32_t fillColor, int border, uint32_t borderColor, int style)
{
    if (fill) G_FillEllipse(x, y, w, h, fillColor);
    if (border) G_DrawEllipse2(x, y, w, h, borderColor, style);
}

void G_DrawXORRect(int direct, int x, int y, int w, int h)
{
    GR_DRAW_ID target = g_main;
    if (direct) g_main = g_screen;
    GrSetGCMode(g_gc, GR_MODE_XOR);
    G_DrawRect(x, y, w, h, 0xFFFFFFFF);
    GrSetGCMode(g_gc, GR_MODE_COPY);
    g_main = target;
}

void G_InvertRect(int direct, int x, int y, int w, int h)
{
    GR_DRAW_ID target = g_main;
    if (direct) g_main = g_screen;
    GrSetGCMode(g_gc, GR_MODE_XOR);
    G_FillRect(x, y, w, h, 0xFFFFFFFF);
    GrSetGCMode(g_gc, GR_MODE_COPY);
    g_main = target;
}

void G_DrawLine2(int x1, int y1, int x2, int y2, uint32_t c, int style, int width, int arrows)
{
    // strokes lie within half the width of the line, arrow heads within four widths of its ends
    int margin = 5 * std::clamp(width, 1, kMaxLineWidth) + 2;
    if (x1 != x2 || y1 != y2)
        noteBox(std::min(x1, x2) - margin, std::min(y1, y2) - margin, std::max(x1, x2) + margin,
                std::max(y1, y2) + margin);
    drawLine2(x1, y1, x2, y2, c, style, width, arrows);
}

int G_SaveArea(const void *owner, int x, int y, int w, int h)
{
    if (!owner || w <= 0 || h <= 0) return 0;
    SavedArea *a = savedAreaOf(owner);
    for (int i = 0; !a && i < G_SAVED_AREAS; i++)
        if (!savedAreas[i].owner) a = &savedAreas[i];
    if (!a) return 0;
    if (a->pixmap && (a->w != w || a->h != h)) freeSavedArea(a);
    if (!a->pixmap) a->pixmap = GrNewPixmap(w, h, nullptr);
    if (!a->pixmap) {
        *a = {};
        return 0;
    }
    a->owner = owner;
    a->x = x, a->y = y, a->w = w, a->h = h;
    G_NoteDrawn(x, y, w, h, 1); // what is put back later belongs to the owner's pixels
    GrCopyArea(a->pixmap, g_gc, 0, 0, w, h, g_main, x, y, 0);
    return 1;
}

int G_RestoreArea(const void *owner)
{
    const SavedArea *a = savedAreaOf(owner);
    if (!a) return 0;
    G_NoteDrawn(a->x, a->y, a->w, a->h, 1);
    GrCopyArea(g_main, g_gc, a->x, a->y, a->w, a->h, a->pixmap, 0, 0, 0);
    return 1;
}

void G_FreeArea(const void *owner)
{
    if (SavedArea *a = savedAreaOf(owner)) freeSavedArea(a);
}

void G_DrawText(const char *text, int x, int y, int w, int h, int align, uint32_t c)
{
    if (!text) return;
    G_SetColor(c);
    noteRect(x, y, w, h);
    GR_REGION_ID region = GrNewRegion();
    GR_RECT box = {x, y, w, h};
    GrUnionRectWithRegion(region, &box);
    GrSetGCRegion(g_gc, region);
    GR_SIZE tw = 0, th = 0, base = 0;
    GrGetGCTextSize(g_gc, const_cast<char *>(text), static_cast<int>(std::strlen(text)), 0, &tw, &th, &base);
    int tx = x, ty = y + base;
    if (align & G_ALIGN_RIGHT) tx = x + w - tw;
    else if (align & G_ALIGN_CENTER) tx = x + (w - tw) / 2;
    if (align & G_ALIGN_BOTTOM) ty = y + base + h - th;
    else if (align & G_ALIGN_MIDDLE) ty = y + base + (h - th) / 2;
    GrText(g_main, g_gc, tx, ty, const_cast<char *>(text), -1, 0);
    GrSetGCRegion(g_gc, 0);
    GrDestroyRegion(region);
}

int G_GetStringWidth(const char *text, FO_FontRecord *)
{
    if (!text) return 0;
    GR_SIZE tw = 0, th = 0, base = 0;
    GrGetGCTextSize(g_gc, const_cast<char *>(text), static_cast<int>(std::strlen(text)), 0, &tw, &th, &base);
    return tw;
}

int G_DrawImage(const char *name, int x, int y, int w, int h)
{
    if (!name || !*name) return 0;
    if (extent.on) extent.bits |= G_EXTENT_STATEFUL; // the picture cache and the file decide the pixels
    if (isXbmFile(name) ? XB_drawXBitMap(name, x, y) : DisplayGIFImage(name, x, y, w, h)) return 1;
    G_DrawRect(x, y, w, h, 0);
    G_DrawLine(x, y, x + w - 1, y + h - 1, 0);
    G_DrawLine(x, y + h - 1, x + w - 1, y, 0);
    err_fileNotFound(name);
    G_SetFont(nullptr);
    G_DrawText(name, x, y, w, h, G_ALIGN_CENTER | G_ALIGN_MIDDLE, 0xFF000000);
    return 0;
}
