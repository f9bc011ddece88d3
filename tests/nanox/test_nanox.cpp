// Display layer on the headless backend: primitives on real pixels, clipping,
// dashes, text metrics, images, exposure and close events, event scripts with
// their timing, snapshots and the screen-size setting.
#include "test_support.h"

#include <chrono>
#include <cstdlib>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "nanox/nano-X.h"

namespace {

class NanoX : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        useHeadlessScreen(nullptr);
    }
    // Opens the display with a mapped white window at (wx, wy) and a GC.
    void open(int wx = 0, int wy = 0, int w = 200, int h = 100)
    {
        ASSERT_GE(GrOpen(), 0);
        win = GrNewWindow(GR_ROOT_WINDOW_ID, wx, wy, w, h, 0, WHITE, BLACK);
        ASSERT_NE(win, 0u);
        GrSelectEvents(win, GR_EVENT_MASK_EXPOSURE | GR_EVENT_MASK_BUTTON_DOWN | GR_EVENT_MASK_BUTTON_UP |
                                GR_EVENT_MASK_KEY_DOWN | GR_EVENT_MASK_KEY_UP | GR_EVENT_MASK_CLOSE_REQ);
        GrMapWindow(win);
        gc = GrNewGC();
        GrSetGCForeground(gc, BLACK);
        drain();
    }
    void drain()
    {
        GR_EVENT e;
        do GrCheckNextEvent(&e);
        while (e.type != GR_EVENT_TYPE_NONE);
    }
    GR_PIXELVAL px(int x, int y, GR_DRAW_ID id = 0)
    {
        GR_PIXELVAL p = 0;
        GrReadArea(id ? id : win, x, y, 1, 1, &p);
        return p;
    }
    // Columns of row y (from x0, n pixels) that hold colour c, as a string of '#' and '.'.
    std::string row(int y, int x0, int n, GR_COLOR c = BLACK)
    {
        std::string s;
        for (int x = x0; x < x0 + n; x++) s += px(x, y) == c ? '#' : '.';
        return s;
    }
    GR_WINDOW_ID win = 0;
    GR_GC_ID gc = 0;
};

TEST_F(NanoX, RectanglesLinesAndPointsCoverExactlyTheirPixels)
{
    open();
    GrFillRect(win, gc, 10, 10, 3, 2);
    EXPECT_EQ(row(10, 9, 5), ".###.");
    EXPECT_EQ(row(11, 9, 5), ".###.");
    EXPECT_EQ(row(12, 9, 5), ".....");
    GrFillRect(win, gc, 50, 50, 0, 5); // empty size draws nothing
    EXPECT_EQ(px(50, 50), WHITE);

    GrLine(win, gc, 20, 30, 24, 30); // both end points
    EXPECT_EQ(row(30, 19, 7), ".#####.");
    GrPoint(win, gc, 40, 40);
    EXPECT_EQ(row(40, 39, 3), ".#.");

    // an exclusive-or outline touches each pixel once: the corners are inverted too
    GrSetGCMode(gc, GR_MODE_XOR);
    GrSetGCForeground(gc, 0xFFFFFF);
    GrRect(win, gc, 60, 60, 4, 3);
    EXPECT_EQ(row(60, 60, 4), "####");
    EXPECT_EQ(row(61, 60, 4), "#..#");
    EXPECT_EQ(row(62, 60, 4), "####");
    GrRect(win, gc, 60, 60, 4, 3);
    EXPECT_EQ(row(60, 60, 4, WHITE), "####");
    EXPECT_EQ(row(61, 60, 4, WHITE), "####");

    // a closed polyline draws its shared corners once
    GR_POINT tri[] = {{100, 10}, {110, 10}, {100, 20}, {100, 10}};
    GrPoly(win, gc, 4, tri);
    EXPECT_EQ(px(100, 10), BLACK);
    EXPECT_EQ(px(110, 10), BLACK);
    EXPECT_EQ(px(100, 20), BLACK);

    GrSetGCMode(gc, 27); // beyond the last mode: error, mode unchanged
    GR_EVENT e;
    GrCheckNextEvent(&e);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_ERROR);
    EXPECT_EQ(e.error.code, GR_ERROR_BAD_DRAWING_MODE);
}

TEST_F(NanoX, AbsurdCoordinatesAreClippedWithoutOverflowOrLongLoops)
{
    open();
    GrLine(win, gc, -2000000000, 50, 2000000000, 50);
    EXPECT_EQ(row(50, 0, 200), std::string(200, '#'));
    GrLine(win, gc, -2000000000, -2000000000, 2000000000, 2000000000); // the diagonal through (0, 0)
    EXPECT_EQ(px(10, 10), BLACK);
    EXPECT_EQ(px(11, 10), WHITE);
    GrFillRect(win, gc, 2147483640, 0, 100, 10);
    GrRect(win, gc, -5, 2147483640, 2147483647, 100);
    GrSetGCForeground(gc, RED);
    GrFillEllipse(win, gc, 100, 50, 1000000, 1000000);
    EXPECT_EQ(row(0, 0, 200, RED), std::string(200, '#'));
    EXPECT_EQ(row(99, 0, 200, RED), std::string(200, '#'));
}

TEST_F(NanoX, DashesRestartForEachSegmentAndFillsStaySolid)
{
    open();
    char pattern[] = {2, 3};
    GrSetGCLineAttributes(gc, GR_LINE_ONOFF_DASH);
    GrSetGCDash(gc, pattern, 2);
    GrLine(win, gc, 0, 5, 11, 5);
    EXPECT_EQ(row(5, 0, 12), "##...##...##");
    GrRect(win, gc, 20, 20, 7, 7); // top edge and left edge each start with "on"
    EXPECT_EQ(row(20, 20, 7), "##...##");
    EXPECT_EQ(px(20, 21), BLACK);
    EXPECT_EQ(px(20, 22), BLACK);
    EXPECT_EQ(px(20, 23), WHITE);
    GrFillRect(win, gc, 40, 40, 6, 1);
    EXPECT_EQ(row(40, 40, 6), "######");
}

TEST_F(NanoX, ClipRegionsLimitDrawingAndOverlapsAreDrawnOnce)
{
    open();
    GR_REGION_ID region = GrNewRegion();
    GR_RECT a = {10, 10, 5, 5}, b = {12, 12, 5, 5};
    GrUnionRectWithRegion(region, &a);
    GrUnionRectWithRegion(region, &b);
    GrSetGCRegion(gc, region);
    GrSetGCMode(gc, GR_MODE_XOR);
    GrSetGCForeground(gc, 0xFFFFFF);
    GrFillRect(win, gc, 0, 0, 50, 50);
    EXPECT_EQ(row(12, 8, 12), "..#######..."); // the overlap is inverted once, not twice
    EXPECT_EQ(row(16, 8, 12), "....#####...");
    EXPECT_EQ(px(9, 9), WHITE);
    GrDestroyRegion(region); // a destroyed region no longer clips
    GrSetGCMode(gc, GR_MODE_COPY);
    GrSetGCForeground(gc, BLACK);
    GrFillRect(win, gc, 30, 30, 2, 1);
    EXPECT_EQ(row(30, 30, 2), "##");
    GR_REGION_ID empty = GrNewRegion();
    GrSetGCRegion(gc, empty);
    GrFillRect(win, gc, 0, 0, 200, 100);
    EXPECT_EQ(px(1, 1), WHITE);
}

TEST_F(NanoX, EllipsesSpanTheirRadiiAndOutlinesDrawEachPixelOnce)
{
    open();
    GrFillEllipse(win, gc, 50, 50, 10, 5);
    EXPECT_EQ(px(40, 50), BLACK);
    EXPECT_EQ(px(60, 50), BLACK);
    EXPECT_EQ(px(39, 50), WHITE);
    EXPECT_EQ(px(61, 50), WHITE);
    EXPECT_EQ(px(50, 45), BLACK);
    EXPECT_EQ(px(50, 55), BLACK);
    EXPECT_EQ(px(50, 44), WHITE);
    EXPECT_EQ(px(50, 56), WHITE);
    EXPECT_EQ(px(40, 45), WHITE);

    GrSetGCMode(gc, GR_MODE_XOR);
    GrSetGCForeground(gc, 0xFFFFFF);
    for (int r : {0, 1, 7})
        for (int pass = 0; pass < 2; pass++) GrEllipse(win, gc, 150, 50, r, r + 3);
    for (int y = 40; y < 60; y++) EXPECT_EQ(row(y, 140, 20, WHITE), std::string(20, '#')) << y;
    GrEllipse(win, gc, 150, 50, 7, 4);
    EXPECT_EQ(px(143, 50), BLACK);
    EXPECT_EQ(px(150, 46), BLACK);
    EXPECT_EQ(px(150, 50), WHITE); // outline only
}

TEST_F(NanoX, CopyAreaClipsToTheSourceAndHandlesOverlap)
{
    open();
    GR_WINDOW_ID pix = GrNewPixmap(4, 4, nullptr);
    ASSERT_NE(pix, 0u);
    EXPECT_EQ(px(0, 0, pix), BLACK); // new pixmaps are black
    GrSetGCForeground(gc, RED);
    GrFillRect(pix, gc, 0, 0, 4, 4);
    GrCopyArea(win, gc, 10, 10, 10, 10, pix, 0, 0, 0); // only the 4 x 4 of the source
    EXPECT_EQ(row(10, 9, 6, RED), ".####.");
    EXPECT_EQ(px(10, 14), WHITE);

    GrSetGCForeground(gc, BLUE);
    GrFillRect(win, gc, 30, 30, 1, 1);
    GrCopyArea(win, gc, 31, 30, 5, 1, win, 30, 30, 0); // overlapping, to the right
    EXPECT_EQ(row(30, 30, 6, BLUE), "##....");
    GrCopyArea(win, gc, 30, 31, 1, 5, win, 30, 30, 0); // overlapping, downwards
    EXPECT_EQ(px(30, 31), BLUE);
    EXPECT_EQ(px(30, 32), WHITE);
    GrDestroyWindow(pix);
    GR_PIXELVAL gone = 1;
    GrReadArea(pix, 0, 0, 1, 1, &gone);
    EXPECT_EQ(gone, 0u);
}

TEST_F(NanoX, TextSitsOnItsBaselineAndFontsResolveToDejaVu)
{
    open();
    GR_SIZE w = 0, h = 0, base = 0;
    GrGetGCTextSize(gc, (void *)"AB", -1, 0, &w, &h, &base); // the built-in font
    EXPECT_EQ(h, 13);
    EXPECT_EQ(base, 11);
    GR_SIZE wa = 0, wb = 0;
    GrGetGCTextSize(gc, (void *)"A", 1, 0, &wa, &h, &base);
    GrGetGCTextSize(gc, (void *)"B", 1, 0, &wb, &h, &base);
    EXPECT_EQ(w, wa + wb);

    GR_FONT_ID dialog = GrCreateFont("Dialog", 20, nullptr);
    GR_FONT_ID unknown = GrCreateFont("NoSuchFamily", 20, nullptr);
    GR_FONT_ID mono = GrCreateFont("Courier", 20, nullptr);
    ASSERT_NE(dialog, 0u);
    EXPECT_EQ(GrCreateFont("Dialog", 0, nullptr), 0u); // no built-in font of that name
    GrSetGCUseBackground(gc, GR_FALSE);
    GrSetGCFont(gc, dialog);
    GrGetGCTextSize(gc, (void *)"HIT", -1, 0, &w, &h, &base);
    EXPECT_GT(w, 30);
    EXPECT_GE(h, 20);
    EXPECT_GT(base, 10);
    EXPECT_LT(base, h);

    GrText(win, gc, 10, 50, (void *)"HIT", -1, 0);
    int top = 1000, bottom = -1, left = 1000, right = -1;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 200; x++)
            if (px(x, y) != WHITE) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
    EXPECT_GE(top, 50 - base);
    EXPECT_EQ(bottom, 49); // "HIT" sits on the baseline: ink ends on the row above the baseline
    EXPECT_GE(left, 10);
    EXPECT_LE(right, 10 + w); // a glyph may reach a pixel past its advance

    GR_SIZE wu = 0, wi = 0, wm = 0;
    GrSetGCFont(gc, unknown);
    GrGetGCTextSize(gc, (void *)"HIT", -1, 0, &wu, &h, &base);
    EXPECT_EQ(wu, w); // unknown names fall back to DejaVu Sans
    GrSetGCFont(gc, mono);
    GrGetGCTextSize(gc, (void *)"i", -1, 0, &wi, &h, &base);
    GrGetGCTextSize(gc, (void *)"W", -1, 0, &wm, &h, &base);
    EXPECT_EQ(wi, wm);

    // with the background in use the whole text box is painted first
    GrSetGCFont(gc, 0);
    GrSetGCUseBackground(gc, GR_TRUE);
    GrSetGCBackground(gc, RED);
    GrText(win, gc, 100, 80, (void *)"  ", -1, GR_TFTOP);
    GrGetGCTextSize(gc, (void *)"  ", -1, 0, &w, &h, &base);
    EXPECT_EQ(px(100, 80), RED);
    EXPECT_EQ(px(100 + w - 1, 80 + h - 1), RED);
    EXPECT_EQ(px(100 + w, 80), WHITE);
    EXPECT_EQ(px(100, 80 + h), WHITE);
}

TEST_F(NanoX, MissingFontFilesFallBackToTheBuiltInFont)
{
    writeFile(path("fonts.conf"), "<?xml version=\"1.0\"?><fontconfig></fontconfig>\n");
    setenv("FONTCONFIG_FILE", path("fonts.conf").c_str(), 1);
    open();
    testing::internal::CaptureStderr();
    GR_FONT_ID font = GrCreateFont("Serif", 30, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    unsetenv("FONTCONFIG_FILE");
    ASSERT_NE(font, 0u);
    EXPECT_NE(err.find("DejaVu Serif"), std::string::npos) << err;
    GR_SIZE w = 0, h = 0, base = 0;
    GrSetGCFont(gc, font);
    GrGetGCTextSize(gc, (void *)"x", -1, 0, &w, &h, &base);
    EXPECT_EQ(h, 13);
    GrText(win, gc, 5, 20, (void *)"x", -1, 0);
}

void appendBytes(void *context, void *data, int size)
{
    auto *out = static_cast<std::vector<unsigned char> *>(context);
    out->insert(out->end(), static_cast<unsigned char *>(data), static_cast<unsigned char *>(data) + size);
}

TEST_F(NanoX, ImagesDecodeScaleAndBlend)
{
    open();
    // 2 x 1 PNG: opaque red, fully transparent
    unsigned char rgba[] = {255, 0, 0, 255, 0, 255, 0, 0};
    std::vector<unsigned char> png;
    ASSERT_TRUE(stbi_write_png_to_func(appendBytes, &png, 2, 1, 4, rgba, 8));
    GR_IMAGE_ID image = GrLoadImageFromBuffer(png.data(), static_cast<int>(png.size()), 0);
    ASSERT_NE(image, 0u);
    GR_IMAGE_INFO info;
    GrGetImageInfo(image, &info);
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.height, 1);
    GrDrawImageToFit(win, gc, 10, 10, 4, 2, image); // scaled twice
    EXPECT_EQ(row(10, 10, 4, LTRED), "##..");
    EXPECT_EQ(row(11, 10, 4, LTRED), "##..");
    EXPECT_EQ(row(10, 12, 2, WHITE), "##");           // transparent pixels leave the window alone
    GrDrawImageToFit(win, gc, 30, 30, -1, -1, image); // natural size
    EXPECT_EQ(row(30, 30, 3, LTRED), "#..");
    GrFreeImage(image);
    GrGetImageInfo(image, &info);
    EXPECT_EQ(info.width, 0);

    // a 1 x 1 GIF with a red palette entry
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0,  0,
                                 0,   ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 'D',  1, 0, ';'};
    image = GrLoadImageFromBuffer((void *)gif, sizeof gif, 0);
    ASSERT_NE(image, 0u);
    GrDrawImageToFit(win, gc, 50, 50, -1, -1, image);
    EXPECT_EQ(px(50, 50), LTRED);

    unsigned char garbage[] = "not a picture at all";
    EXPECT_EQ(GrLoadImageFromBuffer(garbage, sizeof garbage, 0), 0u);
    EXPECT_EQ(GrLoadImageFromBuffer(png.data(), 20, 0), 0u); // cut short
}

TEST_F(NanoX, ExposureMappingAndClosing)
{
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID w = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "Panterm", GR_ROOT_WINDOW_ID, 0, 0, 50, 40, LTGRAY);
    GrSelectEvents(w, GR_EVENT_MASK_EXPOSURE | GR_EVENT_MASK_CLOSE_REQ | GR_EVENT_MASK_UPDATE);
    GR_EVENT e;
    GrCheckNextEvent(&e);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_NONE); // not mapped yet
    GrMapWindow(w);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_UPDATE);
    EXPECT_EQ(e.update.utype, GR_UPDATE_MAP);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    ASSERT_EQ(e.type, GR_EVENT_TYPE_EXPOSURE);
    EXPECT_EQ(e.exposure.width, 50);
    GR_PIXELVAL p = 0;
    GrReadArea(w, 49, 39, 1, 1, &p);
    EXPECT_EQ(p, LTGRAY);

    GrClearArea(w, 40, 30, 0, 0, 0);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_TIMEOUT); // no exposure without the flag
    GrClearArea(w, 10, 10, 5, 5, 1);
    GrClearArea(w, 0, 0, 0, 0, 1); // covers the first: only the whole-window exposure stays
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    ASSERT_EQ(e.type, GR_EVENT_TYPE_EXPOSURE);
    EXPECT_EQ(e.exposure.x, 0);
    EXPECT_EQ(e.exposure.width, 50);
    EXPECT_EQ(e.exposure.height, 40);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_TIMEOUT);

    GR_WM_PROPERTIES props{};
    props.flags = GR_WM_FLAGS_BACKGROUND;
    props.background = BLUE;
    GrSetWMProperties(w, &props);
    GrReadArea(w, 0, 0, 1, 1, &p);
    EXPECT_EQ(p, BLUE);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_EXPOSURE);

    GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 0, 10, 0, WHITE, BLACK);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_ERROR);
    EXPECT_EQ(e.error.code, GR_ERROR_BAD_WINDOW_SIZE);

    GrCloseWindow(w);
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_CLOSE_REQ);
    EXPECT_EQ(e.general.wid, w);
}

TEST_F(NanoX, ScriptedEventsArriveInWindowCoordinatesAndBadLinesAreSkipped)
{
    // The first event comes late enough for open(), whose drain() would take
    // it, to finish on a slow machine too (a debug build under qemu-arm).
    writeFile(path("events.txt"), "# a comment\n"
                                  "\n"
                                  "wait 1000\n"
                                  "click 15 25\n"
                                  "down 1 2 3\n"
                                  "key FKEY_12\n"
                                  "key F13\n"
                                  "wait -5\n"
                                  "text a\xC3\xA9\n"
                                  "jump\n"
                                  "key ENTER\n"
                                  "wait 150\n"
                                  "close\n");
    setenv("PANTERM_EVENTS", path("events.txt").c_str(), 1);
    testing::internal::CaptureStderr();
    open(10, 20);
    std::string err = testing::internal::GetCapturedStderr();
    for (const char *bad : {"line 5:", "line 7:", "line 8:", "line 10:"})
        EXPECT_NE(err.find(bad), std::string::npos) << bad << "\n" << err;
    EXPECT_EQ(err.find("line 4:"), std::string::npos) << err;

    std::vector<GR_EVENT> got;
    GR_EVENT e;
    for (;;) {
        GrGetNextEventTimeout(&e, 2000);
        if (e.type == GR_EVENT_TYPE_TIMEOUT || e.type == GR_EVENT_TYPE_CLOSE_REQ) break;
        got.push_back(e);
    }
    EXPECT_EQ(e.type, GR_EVENT_TYPE_CLOSE_REQ);
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].type, GR_EVENT_TYPE_BUTTON_DOWN);
    EXPECT_EQ(got[0].button.x, 5); // window at (10, 20)
    EXPECT_EQ(got[0].button.y, 5);
    EXPECT_EQ(got[0].button.rootx, 15);
    EXPECT_EQ(got[0].button.changebuttons, (GR_BUTTON)GR_BUTTON_L);
    EXPECT_EQ(got[1].type, GR_EVENT_TYPE_BUTTON_UP);
    EXPECT_EQ(got[1].button.buttons, 0u);
    EXPECT_EQ(got[2].type, GR_EVENT_TYPE_KEY_DOWN);
    EXPECT_EQ(got[2].keystroke.ch, MWKEY_F12);
    EXPECT_EQ(got[3].type, GR_EVENT_TYPE_KEY_UP);
    EXPECT_EQ(got[4].keystroke.ch, 'a');
    EXPECT_EQ(got[6].keystroke.ch, 0xE9);
    EXPECT_EQ(got[8].keystroke.ch, MWKEY_ENTER);
}

TEST_F(NanoX, TimeOutsWaitAndScriptedEventsEndTheWaitEarly)
{
    writeFile(path("events.txt"), "wait 300\nclick 1 1\n");
    setenv("PANTERM_EVENTS", path("events.txt").c_str(), 1);
    open();
    using Clock = std::chrono::steady_clock;
    GR_EVENT e;
    auto start = Clock::now();
    GrGetNextEventTimeout(&e, GR_TIMEOUT_POLL);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_TIMEOUT);
    GrGetNextEventTimeout(&e, 50);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_TIMEOUT);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
    GrGetNextEventTimeout(&e, 20000); // the click is due about 250 ms later
    EXPECT_EQ(e.type, GR_EVENT_TYPE_BUTTON_DOWN);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::milliseconds(5000));
}

TEST_F(NanoX, SnapshotsAreCompletePngsOfTheScreen)
{
    setenv("PANTERM_SCREEN", "320x200", 1);
    setenv("PANTERM_SNAPSHOT", path("screen.png").c_str(), 1);
    writeFile(path("events.txt"), "wait 50\nsnapshot " + path("scripted.png") + "\n");
    setenv("PANTERM_EVENTS", path("events.txt").c_str(), 1);
    open(0, 0, 320, 200);
    GrFillRect(win, gc, 0, 0, 10, 10);
    GrFlush();
    int w = 0, h = 0, n = 0;
    unsigned char *pixels = stbi_load(path("screen.png").c_str(), &w, &h, &n, 4);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    EXPECT_EQ(pixels[0], 0);                // black corner
    EXPECT_EQ(pixels[(10 * 320) * 4], 255); // white below it
    stbi_image_free(pixels);
    EXPECT_FALSE(fileExists(path("screen.png.tmp")));

    GR_EVENT e;
    GrGetNextEventTimeout(&e, 300); // plays the script's snapshot line
    ASSERT_TRUE(stbi_info(path("scripted.png").c_str(), &w, &h, &n));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
}

TEST_F(NanoX, ScreenSizeComesFromTheEnvironmentWithSaneBounds)
{
    const struct {
        const char *value;
        int cols, rows;
        bool message;
    } cases[] = {{"800x480", 800, 480, false},      {"0x0", 640, 480, true},  {"garbage", 640, 480, true},
                 {"100000x100000", 640, 480, true}, {"320x", 640, 480, true}, {"-5x10", 640, 480, true}};
    for (const auto &c : cases) {
        setenv("PANTERM_SCREEN", c.value, 1);
        testing::internal::CaptureStderr();
        ASSERT_GE(GrOpen(), 0);
        std::string err = testing::internal::GetCapturedStderr();
        GR_SCREEN_INFO info;
        GrGetScreenInfo(&info);
        EXPECT_EQ(info.cols, c.cols) << c.value;
        EXPECT_EQ(info.rows, c.rows) << c.value;
        EXPECT_EQ(info.bpp, 32);
        EXPECT_EQ(!err.empty(), c.message) << c.value << ": " << err;
        GrClose();
    }
}

TEST_F(NanoX, CloseWithoutAConnectionStillLetsTheNextOneStartAfresh)
{
    GR_GC_ID stray = GrNewGC();
    GrSetGCForeground(stray + 1, BLACK); // an unknown context: an error is queued
    GrClose();
    ASSERT_GE(GrOpen(), 0);
    EXPECT_EQ(GrNewGC(), stray) << "contexts are numbered afresh";
    GR_EVENT e;
    GrCheckNextEvent(&e);
    EXPECT_EQ(e.type, GR_EVENT_TYPE_NONE) << "no error of the earlier use is delivered";
}

} // namespace
