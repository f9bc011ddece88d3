// Graphics layer on the headless display: nested and dashed rectangles,
// aligned text, the font table's limit, the image cache, the missing-picture
// placeholder, X bitmaps, exclusive-or rectangles, frames, thick, dashed and
// arrow lines, and the GPIO calls on a machine without the device.
#include "test_support.h"

#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

#include <stb/stb_image_write.h>

#include "runtime/settings.h"
#include "draw/button_face.h"
#include "draw/fonts.h"
#include "runtime/gpio.h"
#include "draw/graphics.h"
#include "draw/images.h"
#include "draw/xbitmap.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

class Graphics : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        useHeadlessScreen("320x240");
        ASSERT_GE(GrOpen(), 0);
        g_screenWidth = 320;
        g_screenHeight = 240;
        g_screen = g_main = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "Panterm", GR_ROOT_WINDOW_ID, 0, 0, 320, 240, WHITE);
        GrMapWindow(g_screen);
        g_gc = GrNewGC();
        GrSetGCForeground(g_gc, kBlack);
        GrSetGCBackground(g_gc, kWhite);
        GrSetGCUseBackground(g_gc, GR_FALSE);
        g_color = kBlack;
        g_BackgroundColor = kWhite;
        g_GrFlushNotified = 0;
    }
    uint32_t px(int x, int y, GR_DRAW_ID id = 0)
    {
        GR_PIXELVAL p = 0;
        GrReadArea(id ? id : g_screen, x, y, 1, 1, &p);
        return p;
    }
    std::string row(int y, int x0, int n, uint32_t c = kBlack)
    {
        std::string s;
        for (int x = x0; x < x0 + n; x++) s += px(x, y) == c ? '#' : '.';
        return s;
    }
    int countColour(int x, int y, int w, int h, uint32_t c = kBlack)
    {
        int n = 0;
        for (int j = y; j < y + h; j++)
            for (int i = x; i < x + w; i++) n += px(i, j) == c;
        return n;
    }
    // Whether the w x h areas at (x1, y1) and (x2, y2) hold the same pixels.
    bool sameArea(int x1, int y1, int x2, int y2, int w, int h)
    {
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++)
                if (px(x1 + i, y1 + j) != px(x2 + i, y2 + j)) return false;
        return true;
    }
};

TEST_F(Graphics, Rect2DrawsNestedRectanglesAndDashStyles)
{
    G_DrawRect2(10, 10, 20, 16, kBlack, G_STYLE_SOLID, 3);
    EXPECT_EQ(row(18, 9, 22), ".###..............###."); // innermost at (12, 12, 16, 12)
    EXPECT_EQ(row(12, 12, 16), std::string(16, '#'));
    EXPECT_EQ(row(13, 13, 14), std::string(14, '.'));
    EXPECT_EQ(px(27, 23), kBlack);
    EXPECT_EQ(px(26, 22), kWhite);

    G_DrawRect2(50, 50, 10, 10, kBlack, G_STYLE_SOLID, 0); // width 0: nothing
    EXPECT_EQ(countColour(50, 50, 10, 10), 0);
    G_DrawRect2(10, 60, 12, 5, kBlack, G_STYLE_DOT, 1);
    EXPECT_EQ(row(60, 10, 12), "##..##..##..");
    G_DrawRect2(10, 80, 20, 5, kBlack, G_STYLE_DASH, 1);
    EXPECT_EQ(row(80, 10, 20), "######....######....");
    G_DrawRect(10, 100, 12, 5, kBlack); // solid lines again afterwards
    EXPECT_EQ(row(100, 10, 12), std::string(12, '#'));

    // each outline is drawn once: an exclusive-or frame of width 1 shows
    GrSetGCMode(g_gc, GR_MODE_XOR);
    G_DrawRect2(100, 10, 10, 6, kWhite, G_STYLE_SOLID, 1);
    GrSetGCMode(g_gc, GR_MODE_COPY);
    EXPECT_EQ(row(10, 100, 10), std::string(10, '#'));
    EXPECT_EQ(row(12, 99, 12), ".#........#.");
}

TEST_F(Graphics, TextAlignmentTruncatesTowardZero)
{
    FO_FontRecord *font = FO_findCorrespondingFont("Dialog", 0, 14);
    G_SetFont(font);
    int tw = G_GetStringWidth("AB", font);
    GR_SIZE w = 0, th = 0, base = 0;
    GrGetGCTextSize(g_gc, (void *)"AB", 2, 0, &w, &th, &base);
    ASSERT_EQ(w, tw);
    ASSERT_GT(tw, 6);

    // a box 7 pixels wider: the text starts 3 pixels in
    G_DrawText("AB", 0, 0, tw + 7, 30, G_ALIGN_CENTER, kBlack);
    GrText(g_screen, g_gc, 3, 100 + base, (void *)"AB", -1, 0);
    EXPECT_TRUE(sameArea(0, 0, 0, 100, tw + 7, 30));
    // a box 5 pixels narrower: (w - tw) / 2 = -2, not -3
    G_DrawText("AB", 200, 0, tw - 5, 30, G_ALIGN_CENTER, kBlack);
    GrText(g_screen, g_gc, 198, 100 + base, (void *)"AB", -1, 0);
    EXPECT_TRUE(sameArea(200, 0, 200, 100, tw - 5, 30));
    EXPECT_EQ(countColour(190, 0, 10, 30, kWhite), 300); // clipped to the box
    // right and bottom
    G_DrawText("AB", 0, 40, tw + 10, th + 9, G_ALIGN_RIGHT | G_ALIGN_BOTTOM, kBlack);
    GrText(g_screen, g_gc, 10, 140 + base + 9, (void *)"AB", -1, 0);
    EXPECT_TRUE(sameArea(0, 40, 0, 140, tw + 10, th + 9));
    // middle with an odd remainder: (h - th) / 2 rounds toward zero
    G_DrawText("AB", 100, 40, tw, th + 5, G_ALIGN_MIDDLE, kBlack);
    GrText(g_screen, g_gc, 100, 140 + base + 2, (void *)"AB", -1, 0);
    EXPECT_TRUE(sameArea(100, 40, 100, 140, tw, th + 5));
}

TEST_F(Graphics, FontTableKeepsOneRecordPerKeyAndAnswersTheLastWhenFull)
{
    FO_FontRecord *first = FO_findCorrespondingFont("System", 0, 1);
    EXPECT_EQ(FO_findCorrespondingFont("System", 0, 1), first);
    EXPECT_NE(FO_findCorrespondingFont("System", 1, 1), first); // style is part of the key
    EXPECT_NE(FO_findCorrespondingFont("system", 0, 1), first); // names compare exactly
    FO_FontRecord *last = nullptr;
    for (int size = 2; size <= 126; size++) last = FO_findCorrespondingFont("System", 0, size);
    EXPECT_EQ(last, first + 127); // the 128th record
    EXPECT_EQ(FO_findCorrespondingFont("Dialog", 0, 40), last);
    EXPECT_EQ(FO_findCorrespondingFont("Serif", 3, 9), last);
    G_SetFont(first);
    EXPECT_EQ(FO_GetCharHeight(first), 13);
    EXPECT_EQ(FO_GetCharWidth(first, 'A') + FO_GetCharWidth(first, 'B'), G_GetStringWidth("AB", first));
}

TEST_F(Graphics, PicturesAreLoadedOnceThenCopiedFromTheCache)
{
    unsigned char green[4 * 3 * 4];
    for (int i = 0; i < 12; i++) {
        green[i * 4] = 0;
        green[i * 4 + 1] = 255;
        green[i * 4 + 2] = 0;
        green[i * 4 + 3] = 255;
    }
    ASSERT_TRUE(stbi_write_png(path("pic.png").c_str(), 4, 3, 4, green, 16));
    const uint32_t kGreen = GR_RGB(0, 255, 0);

    EXPECT_EQ(G_DrawImage("pic.png", 10, 10, 4, 3), 1);
    EXPECT_EQ(countColour(10, 10, 4, 3, kGreen), 12);
    EXPECT_EQ(countColour(9, 9, 6, 5, kGreen), 12);
    EXPECT_EQ(pterm.img_mem_used, 4u * 3u * 4u) << "the decoded pixels count, four bytes each";
    ASSERT_NE(BltImageList, nullptr);
    EXPECT_STREQ(BltImageList->name, "pic.png");
    EXPECT_EQ(BltImageList->width, 4);
    EXPECT_EQ(BltImageList->fileData, nullptr);

    unlink(path("pic.png").c_str()); // the second draw copies from the cache
    EXPECT_EQ(G_DrawImage("pic.png", 50, 50, 4, 3), 1);
    EXPECT_EQ(countColour(50, 50, 4, 3, kGreen), 12);
    EXPECT_EQ(drawBLTImage("pic.png", 60, 60, 2, 2), 1);
    EXPECT_EQ(countColour(60, 60, 4, 3, kGreen), 4);
    EXPECT_EQ(drawBLTImage("other.png", 60, 60, 2, 2), 0);
    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("Open Img File: pic.png"), std::string::npos) << log;
    EXPECT_EQ(log.find("Open Img File: pic.png"), log.rfind("Open Img File: pic.png"));

    // passing img_mem_max clears the cache at the end of the frame
    ASSERT_TRUE(stbi_write_png(path("pic2.png").c_str(), 4, 3, 4, green, 16));
    pterm.img_mem_max = 4 * 3 * 4 + 40; // more than the file, less than two pictures
    G_DrawViewBegin();
    EXPECT_EQ(G_DrawImage("pic2.png", 0, 0, 4, 3), 1);
    EXPECT_EQ(bltImageCacheMarked(), 1);
    G_DrawViewEnd();
    EXPECT_EQ(BltImageList, nullptr);
    EXPECT_EQ(pterm.img_mem_used, 0u);

    writeFile(path("broken.gif"), "GIF89a but nothing else");
    EXPECT_EQ(DisplayGIFImage("broken.gif", 0, 0, 10, 10), 0);
    EXPECT_EQ(BltImageList, nullptr);
}

// A decompression bomb: a small file of many pixels. Its header is read
// before it is decoded, and a picture whose pixels alone pass img_mem_max is
// refused with a log line; the placeholder shows instead.
TEST_F(Graphics, PicturesWhoseDecodedSizePassesTheBudgetAreRefused)
{
    pterm.img_mem_max = 500000;
    std::vector<unsigned char> grey(400 * 400, 128);
    ASSERT_TRUE(stbi_write_png(path("bomb.png").c_str(), 400, 400, 1, grey.data(), 400));
    ASSERT_LT(readFile(path("bomb.png")).size(), 5000u) << "a small file";
    EXPECT_EQ(G_DrawImage("bomb.png", 10, 10, 40, 40), 0);
    EXPECT_EQ(BltImageList, nullptr);
    EXPECT_EQ(pterm.img_mem_used, 0u);
    EXPECT_EQ(px(10, 10), kBlack) << "the placeholder's frame";
    std::string log = readFile(path("pterm.log"));
    EXPECT_NE(log.find("Image refused: 400 x 400 pixels take 640000 bytes, more than img_mem_max (500000): bomb.png"),
              std::string::npos)
        << log;

    writeFile(path("big.png"), std::string(600000, 'x'));
    EXPECT_EQ(G_DrawImage("big.png", 10, 10, 40, 40), 0) << "a file larger than the budget is not even read";
    EXPECT_NE(
        readFile(path("pterm.log")).find("Image refused: the file has 600000 bytes, more than img_mem_max\n big.png"),
        std::string::npos);

    // 300 x 300 pixels: the budget takes one (360000 bytes decoded), the
    // second passes it and marks the cache.
    ASSERT_TRUE(stbi_write_png(path("a.png").c_str(), 300, 300, 1, grey.data(), 300));
    ASSERT_TRUE(stbi_write_png(path("b.png").c_str(), 300, 300, 1, grey.data(), 300));
    EXPECT_EQ(G_DrawImage("a.png", 0, 0, 10, 10), 1);
    EXPECT_EQ(pterm.img_mem_used, 300u * 300u * 4u);
    EXPECT_EQ(bltImageCacheMarked(), 0);
    EXPECT_EQ(G_DrawImage("b.png", 0, 0, 10, 10), 1);
    EXPECT_EQ(bltImageCacheMarked(), 1);
}

TEST_F(Graphics, MissingPictureShowsACrossedBoxWithItsName)
{
    EXPECT_EQ(G_DrawImage(nullptr, 0, 0, 10, 10), 0);
    EXPECT_EQ(G_DrawImage("", 0, 0, 10, 10), 0);
    EXPECT_EQ(countColour(0, 0, 10, 10), 0);

    EXPECT_EQ(G_DrawImage("missing.gif", 20, 20, 120, 60), 0);
    for (auto [x, y] : {std::pair{20, 20}, {139, 20}, {20, 79}, {139, 79}, {79, 49}})
        EXPECT_EQ(px(x, y), kBlack) << x << "," << y;
    EXPECT_EQ(countColour(21, 21, 118, 12, kBlack) > 0, true); // the diagonals
    EXPECT_GT(countColour(47, 46, 19, 10), 10);                // the name, centred, clear of the diagonals
    EXPECT_NE(readFile(path("pterm.log")).find("missing.gif"), std::string::npos);
}

TEST_F(Graphics, XBitmapsSetOnlyTheirBits)
{
    writeFile(path("b.xbm"), "#define b_width 8\n#define b_height 2\nstatic unsigned char b_bits[] = {\n"
                             "   0x01, 0x80 };\n");
    EXPECT_EQ(G_DrawImage("b.xbm", 50, 50, 8, 2), 1);
    EXPECT_EQ(px(50, 50), kBlack);
    EXPECT_EQ(px(57, 51), kBlack);
    EXPECT_EQ(countColour(48, 48, 12, 6), 2);

    // 10 pixels a row: the padding bits of each row's second byte are skipped
    writeFile(path("w.XBM"), "#define w_width 10\n#define w_height 2\nstatic char w_bits[] = {0xff,0xff,0x01,0x00};");
    EXPECT_EQ(XB_drawXBitMap("w.XBM", 100, 100), 1);
    EXPECT_EQ(row(100, 99, 12), ".##########.");
    EXPECT_EQ(row(101, 99, 12), ".#..........");

    writeFile(path("bad.xbm"), "#define bad_width 100000000\n#define bad_height 3\nchar x[] = { 0xzz, 0x01 }");
    EXPECT_EQ(XB_drawXBitMap("bad.xbm", 0, 150), 1);
    writeFile(path("empty.xbm"), "");
    EXPECT_EQ(XB_drawXBitMap("empty.xbm", 0, 150), 1);
    EXPECT_EQ(countColour(0, 150, 40, 10), 0);
    EXPECT_EQ(XB_drawXBitMap("none.xbm", 0, 0), 0);
    EXPECT_EQ(isXbmFile("a.gif"), 0);

    // read once and kept, like pictures, until the image cache is cleared
    unlink(path("b.xbm").c_str());
    EXPECT_EQ(G_DrawImage("b.xbm", 150, 50, 8, 2), 1);
    EXPECT_EQ(px(150, 50), kBlack) << "drawn from the cache";
    EXPECT_EQ(px(157, 51), kBlack);
    EXPECT_EQ(pterm.img_mem_used, 2u + 4u) << "the bytes of b.xbm and w.XBM";
    clearCachedBltImages();
    EXPECT_EQ(XB_drawXBitMap("b.xbm", 0, 0), 0) << "gone with the image cache";

    writeFile(path("huge.xbm"), "#define h_width 60000\n#define h_height 60000\nchar h[] = { 0xff }");
    EXPECT_EQ(XB_drawXBitMap("huge.xbm", 0, 150), 1);
    EXPECT_EQ(countColour(0, 150, 40, 10), 0) << "450 MB of bits: refused";
    EXPECT_NE(readFile(path("pterm.log")).find("Image refused: 60000 x 60000 pixels"), std::string::npos);
}

TEST_F(Graphics, FramesAreDrawnOffScreenAndShownAtTheEnd)
{
    G_DrawViewBegin();
    ASSERT_NE(g_offscreen, 0u);
    EXPECT_EQ(g_main, g_offscreen);
    G_SetBackGroundColor(GR_RGB(0, 0, 255));
    G_ClearScreen();
    G_FillRect(10, 10, 5, 5, kBlack);
    EXPECT_EQ(px(12, 12), GR_RGB(0, 0, 255)); // the window shows its new background only
    G_DrawXORRect(1, 100, 100, 10, 10);       // straight onto the window
    EXPECT_EQ(px(100, 100), GR_RGB(255, 255, 0));
    EXPECT_EQ(g_main, g_offscreen);
    G_DrawViewEnd();
    EXPECT_EQ(g_main, g_screen);
    EXPECT_EQ(g_GrFlushNotified, 1);
    EXPECT_EQ(px(12, 12), kBlack);
    EXPECT_EQ(px(100, 100), GR_RGB(0, 0, 255));
    GR_WINDOW_ID pixmap = g_offscreen;
    G_DrawViewBegin(); // same screen size: the pixmap is reused
    EXPECT_EQ(g_offscreen, pixmap);
    G_DrawXORRect(0, 20, 20, 6, 4); // into the frame: an outline, each pixel once
    EXPECT_EQ(px(20, 20, g_offscreen), GR_RGB(255, 255, 0));
    EXPECT_EQ(px(25, 23, g_offscreen), GR_RGB(255, 255, 0));
    EXPECT_EQ(px(22, 22, g_offscreen), GR_RGB(0, 0, 255));
    G_DrawXORRect(0, 20, 20, 6, 4);
    G_DrawViewEnd();
    EXPECT_EQ(countColour(20, 20, 6, 4, GR_RGB(0, 0, 255)), 24);

    G_SetSize(200, 100);
    int w = 0, h = 0;
    G_GetSize(&w, &h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    G_SetSize(0, 50); // ignored
    G_GetSize(&w, &h);
    EXPECT_EQ(w, 200);
}

TEST_F(Graphics, ThickDashedAndArrowLines)
{
    G_DrawLine2(10, 50, 40, 50, kBlack, G_STYLE_SOLID, 3, 0);
    EXPECT_EQ(row(48, 10, 31), std::string(31, '.'));
    for (int y = 49; y <= 51; y++) EXPECT_EQ(row(y, 10, 31), std::string(31, '#')) << y;
    EXPECT_EQ(row(52, 10, 31), std::string(31, '.'));
    G_DrawLine2(10, 60, 20, 60, kBlack, G_STYLE_SOLID, 2, 0); // even width: offsets 0 and 1
    EXPECT_EQ(px(15, 59), kWhite);
    EXPECT_EQ(px(15, 61), kBlack);
    G_DrawLine2(60, 10, 60, 30, kBlack, G_STYLE_SOLID, 3, 0); // steep: strokes side by side
    EXPECT_EQ(row(20, 58, 5), ".###.");
    G_DrawLine2(10, 70, 30, 70, kBlack, G_STYLE_DASH, 1, 0);
    EXPECT_EQ(row(70, 10, 21), "####.....####.....###");
    G_DrawLine2(10, 80, 22, 80, kBlack, G_STYLE_DOT, 1, 0);
    EXPECT_EQ(row(80, 10, 13), "#..#..#..#..#");
    G_DrawLine2(5, 5, 5, 5, kBlack, G_STYLE_SOLID, 5, 3); // equal end points: nothing
    EXPECT_EQ(px(5, 5), kWhite);

    // arrow asked at the start of a right-to-left line stays at that start
    G_DrawLine2(160, 100, 110, 100, kBlack, G_STYLE_SOLID, 1, 1);
    EXPECT_EQ(px(160, 100), kBlack);
    EXPECT_EQ(px(156, 99), kBlack);
    EXPECT_EQ(px(156, 101), kBlack);
    EXPECT_EQ(px(114, 99), kWhite);
    EXPECT_EQ(px(114, 101), kWhite);
    // upward line with the head at its end
    G_DrawLine2(200, 140, 200, 100, kBlack, G_STYLE_SOLID, 1, 2);
    EXPECT_EQ(px(200, 100), kBlack);
    EXPECT_EQ(px(199, 104), kBlack);
    EXPECT_EQ(px(201, 104), kBlack);
    EXPECT_EQ(px(199, 136), kWhite);

    int16_t xs[] = {250, 270, 250}, ys[] = {150, 150, 170};
    G_FillPolygon(xs, ys, 3, 0, 10, kBlack);
    EXPECT_EQ(px(252, 162), kBlack);
    EXPECT_EQ(px(268, 178), kWhite);
}

TEST_F(Graphics, PolygonOutlinesAreClosed)
{
    int16_t xs[] = {10, 30, 30, 10}, ys[] = {10, 10, 30, 30};
    G_DrawPolygon(xs, ys, 4, 0, 0, kBlack);
    EXPECT_EQ(countColour(10, 11, 1, 19), 19) << "the edge from the last point back to the first";
    EXPECT_EQ(countColour(30, 11, 1, 19), 19);
    EXPECT_EQ(countColour(11, 11, 19, 19), 0) << "an outline only";

    G_DrawPolygon(xs, ys, 4, 40, 0, kBlack); // moved
    EXPECT_EQ(countColour(50, 10, 1, 21), 21);

    int16_t closedXs[] = {10, 30, 30, 10, 10}, closedYs[] = {50, 50, 70, 70, 50};
    G_DrawPolygon(closedXs, closedYs, 5, 0, 0, kBlack);
    EXPECT_EQ(countColour(10, 50, 21, 21), 80) << "a list that repeats its first point: the same outline";
    GrSetGCMode(g_gc, GR_MODE_XOR);
    G_DrawPolygon(xs, ys, 4, 40, 40, kWhite);
    GrSetGCMode(g_gc, GR_MODE_COPY);
    EXPECT_EQ(countColour(50, 50, 21, 21), 80) << "exclusive-or: every corner drawn once";

    G_DrawPolygon2(xs, ys, 4, 0, 80, kBlack, G_STYLE_DOT);
    EXPECT_GT(countColour(10, 91, 1, 19), 4) << "dashed outlines close too";
    EXPECT_LT(countColour(10, 91, 1, 19), 19);
    G_DrawLine(100, 100, 110, 100, kBlack);
    EXPECT_EQ(row(100, 100, 11), std::string(11, '#')) << "solid lines again after the dashed outline";
}

TEST_F(Graphics, GpioWithoutTheDevice)
{
    if (access("/dev/misc/gpio", F_OK) == 0) GTEST_SKIP() << "this machine has a GPIO device";
    testing::internal::CaptureStdout();
    EXPECT_EQ(set_gpio(3, 1), -1);
    EXPECT_EQ(get_gpio(3), 0);
    EXPECT_EQ(write_gpio("gpio3", "1"), 0); // the device failed: not reported as set
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\nopen /dev/misc/gpio failed!\nopen /dev/misc/gpio failed!");
    testing::internal::CaptureStdout();
    for (auto [name, value] : {std::pair{"gpio256", "1"},
                               {"gpio3", "2"},
                               {"gpio", "0"},
                               {"gpiox", "1"},
                               {"gpio-1", "1"},
                               {"GPIO3", "1"},
                               {nullptr, "1"},
                               {"gpio3", nullptr}})
        EXPECT_EQ(write_gpio(name, value), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // rejected before the device
}

} // namespace

TEST_F(Graphics, EditFieldFrameAndListSymbols)
{
    DM_DrawEditField("", 10, 10, 40, 20, kBlack);
    EXPECT_EQ(px(20, 10), DM_GREY) << "outer top line";
    EXPECT_EQ(px(10, 20), DM_GREY) << "outer left line";
    EXPECT_EQ(px(20, 11), kBlack) << "inner top line";
    EXPECT_EQ(px(20, 28), DM_LIGHT_GREY) << "inner bottom line";
    EXPECT_EQ(px(48, 20), DM_LIGHT_GREY) << "inner right line";
    EXPECT_EQ(px(20, 29), kWhite) << "outer bottom line";

    // A down arrow outline in a 20 x 30 box: the square of side 20 centred
    // vertically (y 15..34), with inset 2 the triangle spans 2..17.
    DM_DrawSymbolB(DM_SYMBOL_DOWN, 100, 10, 20, 30, kBlack, 2);
    EXPECT_EQ(px(102, 17), kBlack) << "top left corner";
    EXPECT_EQ(px(117, 17), kBlack) << "top right corner";
    EXPECT_EQ(px(109, 32), kBlack) << "the tip";
    EXPECT_EQ(px(109, 24), kWhite) << "outlined, not filled";
    EXPECT_EQ(countColour(100, 10, 20, 5, kBlack), 0) << "nothing above the square";
    DM_DrawSymbolB(DM_SYMBOL_DOWN_FILLED, 140, 10, 20, 20, kBlack, 2);
    EXPECT_EQ(px(149, 15), kBlack) << "filled";
    DM_DrawSymbol(DM_SYMBOL_SQUARE, 180, 10, 10, 10, kBlack);
    EXPECT_EQ(countColour(180, 10, 10, 10), 100);
    DM_DrawSymbolB(DM_SYMBOL_UP, 200, 10, 4, 4, kBlack, 2);
    EXPECT_EQ(countColour(200, 10, 4, 4), 0) << "an inset that leaves nothing draws nothing";
}
