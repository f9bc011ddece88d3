// The raster engine's quick paths against their definitions: ellipse rows of
// every small size against the exact inside test, area copies by rows against
// a pixel-wise model (clipped, overlapping, with regions and modes), and text
// blended by spans against text blended pixel by pixel.
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "nanox/nano-X.h"

namespace {

constexpr int kSide = 90;

class RasterPaths : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        useHeadlessScreen("320x240");
        ASSERT_GE(GrOpen(), 0);
        win = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 320, 240, 0, WHITE, BLACK);
        GrMapWindow(win);
        gc = GrNewGC();
    }
    void TearDown() override
    {
        GrClose();
        TempDirTest::TearDown();
    }
    std::vector<GR_PIXELVAL> read(GR_DRAW_ID id, int w, int h)
    {
        std::vector<GR_PIXELVAL> p(static_cast<size_t>(w) * h);
        GrReadArea(id, 0, 0, w, h, p.data());
        return p;
    }
    void clear(GR_DRAW_ID id, int w, int h, GR_COLOR c = WHITE)
    {
        GrSetGCMode(gc, GR_MODE_COPY);
        GrSetGCForeground(gc, c);
        GrFillRect(id, gc, 0, 0, w, h);
    }
    GR_WINDOW_ID win = 0;
    GR_GC_ID gc = 0;
};

// Half width of row dy by the definition: the largest dx whose pixel centre
// lies in the ellipse through the outer edges of the pixels at rx and ry,
// (2dx / (2rx + 1))^2 + (2dy / (2ry + 1))^2 <= 1, found by a square root and
// corrected to the exact integer answer.
int definedHalfWidth(int rx, int ry, int dy)
{
    if (dy > ry) return -1;
    int64_t a = 2LL * rx + 1, b = 2LL * ry + 1;
    int64_t limit = a * a * b * b - 4LL * dy * dy * a * a;
    int dx = static_cast<int>(std::sqrt(static_cast<double>(limit) / (4.0 * b * b)));
    while (dx > 0 && 4LL * dx * dx * b * b > limit) dx--;
    while (4LL * (dx + 1) * (dx + 1) * b * b <= limit) dx++;
    return std::min(dx, rx);
}

// The pixels an ellipse at (cx, cy) should cover in a kSide x kSide area.
std::vector<bool> expectedEllipse(int cx, int cy, int rx, int ry, bool fill)
{
    std::vector<bool> on(kSide * kSide, false);
    auto set = [&](int x1, int x2, int y) {
        for (int x = x1; x <= x2; x++)
            if (x >= 0 && x < kSide && y >= 0 && y < kSide) on[y * kSide + x] = true;
    };
    for (int dy = -ry; dy <= ry; dy++) {
        int ady = std::abs(dy), hw = definedHalfWidth(rx, ry, ady);
        int inner = std::min(definedHalfWidth(rx, ry, ady + 1) + 1, hw);
        if (fill || ady == ry || inner <= 0) {
            set(cx - hw, cx + hw, cy + dy);
        } else {
            set(cx - hw, cx - inner, cy + dy);
            set(cx + inner, cx + hw, cy + dy);
        }
    }
    return on;
}

TEST_F(RasterPaths, EllipsesOfEverySmallSizeCoverExactlyTheirDefinedRows)
{
    GR_WINDOW_ID pix = GrNewPixmap(kSide, kSide, nullptr);
    ASSERT_NE(pix, 0u);
    // centred, and cut by the top and the left edge (rows start mid-ellipse)
    for (auto [cx, cy] : {std::pair{44, 44}, std::pair{5, -7}})
        for (int rx = 0; rx <= 40; rx++)
            for (int ry = 0; ry <= 40; ry++)
                for (bool fill : {true, false}) {
                    clear(pix, kSide, kSide);
                    GrSetGCForeground(gc, BLACK);
                    if (fill) GrFillEllipse(pix, gc, cx, cy, rx, ry);
                    else GrEllipse(pix, gc, cx, cy, rx, ry);
                    std::vector<GR_PIXELVAL> got = read(pix, kSide, kSide);
                    std::vector<bool> want = expectedEllipse(cx, cy, rx, ry, fill);
                    int wrong = 0;
                    for (int i = 0; i < kSide * kSide; i++) wrong += (got[i] == BLACK) != want[i];
                    ASSERT_EQ(wrong, 0) << "rx " << rx << " ry " << ry << (fill ? " filled" : " outline") << " at "
                                        << cx << "," << cy;
                }
}

// Spans of a filled polygon by the even-odd rule, each edge crossing computed
// in floating point and rounded half away from zero.
std::vector<bool> expectedPolygon(const std::vector<GR_POINT> &p)
{
    std::vector<bool> on(kSide * kSide, false);
    for (int y = 0; y < kSide; y++) {
        std::vector<double> xs;
        for (size_t i = 0; i < p.size(); i++) {
            const GR_POINT &a = p[i], &b = p[(i + 1) % p.size()];
            if (a.y == b.y || y < std::min(a.y, b.y) || y >= std::max(a.y, b.y)) continue;
            xs.push_back(a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            for (long x = std::lround(xs[i]); x <= std::lround(xs[i + 1]); x++)
                if (x >= 0 && x < kSide) on[y * kSide + x] = true;
    }
    return on;
}

TEST_F(RasterPaths, FilledPolygonsRoundEveryEdgeCrossingAsDefined)
{
    GR_WINDOW_ID pix = GrNewPixmap(kSide, kSide, nullptr);
    uint32_t seed = 7;
    auto next = [&](int range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range)) - range / 6;
    };
    // random triangles and pentagons, many with crossings exactly half-way between pixels, partly outside
    for (int round = 0; round < 3000; round++) {
        std::vector<GR_POINT> p(round % 2 ? 5 : 3);
        for (GR_POINT &q : p) q = {next(kSide * 4 / 3), next(kSide * 4 / 3)};
        if (round % 5 == 0) p[1] = {p[0].x + 3, p[0].y + 2}; // slopes of halves
        clear(pix, kSide, kSide);
        GrSetGCForeground(gc, BLACK);
        GrFillPoly(pix, gc, static_cast<GR_COUNT>(p.size()), p.data());
        std::vector<GR_PIXELVAL> got = read(pix, kSide, kSide);
        std::vector<bool> want = expectedPolygon(p);
        int wrong = 0;
        for (int i = 0; i < kSide * kSide; i++) wrong += (got[i] == BLACK) != want[i];
        ASSERT_EQ(wrong, 0) << "round " << round;
    }
}

TEST_F(RasterPaths, AreaCopiesMatchAPixelWiseCopy)
{
    constexpr int W = 40, H = 30;
    GR_WINDOW_ID pix = GrNewPixmap(W, H, nullptr);
    auto pattern = [&] {
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                GrSetGCForeground(gc, static_cast<GR_COLOR>(0xFF000000u | (x * 5) | (y * 7) << 8 | ((x ^ y) << 16)));
                GrPoint(pix, gc, x, y);
            }
    };
    // model: every target pixel inside both areas takes the source pixel as it was before the copy
    auto model = [&](std::vector<GR_PIXELVAL> before, int dx, int dy, int w, int h, int sx, int sy) {
        std::vector<GR_PIXELVAL> after = before;
        for (int r = 0; r < h; r++)
            for (int c = 0; c < w; c++) {
                int fx = sx + c, fy = sy + r, tx = dx + c, ty = dy + r;
                if (fx < 0 || fy < 0 || fx >= W || fy >= H || tx < 0 || ty < 0 || tx >= W || ty >= H) continue;
                after[ty * W + tx] = before[fy * W + fx];
            }
        return after;
    };
    struct Copy {
        int dx, dy, w, h, sx, sy;
    };
    // within one buffer in every direction, and reaching past each edge of the source and the target
    for (Copy c :
         {Copy{3, 0, 30, 30, 0, 0}, Copy{0, 0, 30, 30, 3, 0}, Copy{0, 4, 40, 26, 0, 0}, Copy{0, 0, 40, 26, 0, 4},
          Copy{5, 6, 30, 20, 2, 1}, Copy{-5, -3, 50, 40, 0, 0}, Copy{10, 10, 50, 50, -8, -2}, Copy{0, 0, 0, 5, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " " << c.w << "x" << c.h << " from " << c.sx << ","
                                        << c.sy);
        GrSetGCMode(gc, GR_MODE_COPY);
        pattern();
        std::vector<GR_PIXELVAL> want = model(read(pix, W, H), c.dx, c.dy, c.w, c.h, c.sx, c.sy);
        GrCopyArea(pix, gc, c.dx, c.dy, c.w, c.h, pix, c.sx, c.sy, 0);
        EXPECT_EQ(read(pix, W, H), want);
    }

    // to the window, cut by a clip region; with the context's exclusive-or mode the copy inverts
    pattern();
    clear(win, 320, 240);
    GR_REGION_ID region = GrNewRegion();
    GR_RECT part = {105, 100, 10, 5};
    GrUnionRectWithRegion(region, &part);
    GrSetGCRegion(gc, region);
    GrCopyArea(win, gc, 100, 100, W, H, pix, 0, 0, 0);
    GrSetGCRegion(gc, 0);
    GrDestroyRegion(region);
    std::vector<GR_PIXELVAL> source = read(pix, W, H), screen = read(win, 320, 240);
    for (int y = 95; y < 140; y++)
        for (int x = 95; x < 145; x++) {
            bool inside = x >= 105 && x < 115 && y >= 100 && y < 105;
            EXPECT_EQ(screen[y * 320 + x], inside ? source[(y - 100) * W + x - 100] : WHITE) << x << "," << y;
        }
    GrSetGCMode(gc, GR_MODE_XOR);
    GrCopyArea(win, gc, 200, 0, W, H, pix, 0, 0, MWROP_USE_GC_MODE);
    GrCopyArea(win, gc, 200, 0, W, H, pix, 0, 0, MWROP_USE_GC_MODE);
    screen = read(win, 320, 240);
    for (int y = 0; y < H; y++)
        for (int x = 200; x < 200 + W; x++) ASSERT_EQ(screen[y * 320 + x], WHITE) << x << "," << y;
}

TEST_F(RasterPaths, TextBlendedBySpansMatchesTextClippedPixelByPixel)
{
    GR_FONT_ID font = GrCreateFont("SansSerif", 18, nullptr);
    GrSetGCFont(gc, font);
    GrSetGCUseBackground(gc, GR_FALSE);
    const char *text = "Wavy glyphs, jq 0123";
    clear(win, 320, 240, 0xFF3060A0);
    GrSetGCForeground(gc, 0xFFF0E0D0);
    GrText(win, gc, 7, 30, const_cast<char *>(text), -1, 0);
    std::vector<GR_PIXELVAL> whole = read(win, 320, 240);
    int touched = 0;
    for (GR_PIXELVAL p : whole) touched += p != 0xFF3060A0;
    ASSERT_GT(touched, 300); // anti-aliased glyphs on a coloured background

    // two overlapping strips of a region cut through the glyphs: inside them
    // the pixels are those of the whole text, outside the background stays
    clear(win, 320, 240, 0xFF3060A0);
    GR_REGION_ID region = GrNewRegion();
    GR_RECT strips[2] = {{20, 10, 60, 9}, {50, 15, 100, 30}};
    for (GR_RECT &r : strips) GrUnionRectWithRegion(region, &r);
    GrSetGCRegion(gc, region);
    GrSetGCForeground(gc, 0xFFF0E0D0);
    GrText(win, gc, 7, 30, const_cast<char *>(text), -1, 0);
    GrSetGCRegion(gc, 0);
    GrDestroyRegion(region);
    std::vector<GR_PIXELVAL> clipped = read(win, 320, 240);
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 320; x++) {
            bool inside = false;
            for (const GR_RECT &r : strips) inside |= x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            ASSERT_EQ(clipped[y * 320 + x], inside ? whole[y * 320 + x] : 0xFF3060A0u) << x << "," << y;
        }

    // exclusive-or text drawn twice leaves the background as it was, also at the window's edge
    GrSetGCMode(gc, GR_MODE_XOR);
    for (int pass = 0; pass < 2; pass++) GrText(win, gc, 280, 236, const_cast<char *>(text), -1, 0);
    std::vector<GR_PIXELVAL> after = read(win, 320, 240);
    for (int y = 200; y < 240; y++)
        for (int x = 270; x < 320; x++) ASSERT_EQ(after[y * 320 + x], 0xFF3060A0u) << x << "," << y;
    GrDestroyFont(font);
}

} // namespace
