// PNG pictures of the screen: every picture is a sound PNG (chunk checksums,
// zlib checksum) that decodes to exactly the frame's pixels, whatever the size
// and however the bands fall; a new frame re-deflates only the bands that
// changed and gives the same bytes as a first encoding; the screen file and
// the remote view share one encoding, and the remote view keeps no copy of
// the pixels.
#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

#include <stb/stb_image.h>
#include <zlib.h>

#include "nanox/nano-X.h"
#include "nanox/nx_core.h"
#include "nanox/nx_png.h"
#include "nanox/nx_remote.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer's own count
#endif

namespace {

using Frame = std::vector<uint32_t>;

// A frame with flat areas, a gradient and noise, as a screen has.
Frame makeFrame(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    Frame f(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t v = x < width / 3 ? 0xFF20C0E0u : (x < 2 * width / 3 ? 0xFF000000u | (x * 3 + y * 5) : random());
            f[static_cast<size_t>(y) * width + x] = v | 0xFF000000u;
        }
    return f;
}

uint32_t be32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

// Walks the chunks checking each checksum, inflates the image data (zlib
// checks its own checksum) and decodes the picture; compares it with the frame.
void expectPictureOf(const NX_PngBytes &png, const Frame &frame, int width, int height)
{
    ASSERT_TRUE(png);
    const std::vector<unsigned char> &b = *png;
    ASSERT_GT(b.size(), 8u);
    ASSERT_EQ(std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    std::string idat;
    for (size_t at = 8; at + 12 <= b.size();) {
        uint32_t length = be32(&b[at]);
        ASSERT_LE(at + 12 + length, b.size());
        EXPECT_EQ(crc32(0, &b[at + 4], length + 4), be32(&b[at + 8 + length])) << "chunk at " << at;
        if (std::memcmp(&b[at + 4], "IDAT", 4) == 0) idat.append(reinterpret_cast<const char *>(&b[at + 8]), length);
        at += 12 + length;
    }
    std::vector<unsigned char> raw((1 + static_cast<size_t>(width) * 3) * height + 1);
    uLongf rawLength = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawLength, reinterpret_cast<const Bytef *>(idat.data()), idat.size()), Z_OK);
    EXPECT_EQ(rawLength, raw.size() - 1);

    int w = 0, h = 0, n = 0;
    unsigned char *rgb = stbi_load_from_memory(b.data(), static_cast<int>(b.size()), &w, &h, &n, 3);
    ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    size_t wrong = 0;
    for (size_t i = 0; i < frame.size(); i++) {
        uint32_t v = frame[i];
        wrong +=
            rgb[i * 3] != (v & 0xFF) || rgb[i * 3 + 1] != ((v >> 8) & 0xFF) || rgb[i * 3 + 2] != ((v >> 16) & 0xFF);
    }
    stbi_image_free(rgb);
    EXPECT_EQ(wrong, 0u) << width << " x " << height;
}

size_t allocatedBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

class Png : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        NX_pngReset();
    }
    void TearDown() override
    {
        NX_remoteEnable(0);
        NX_pngReset();
        TempDirTest::TearDown();
    }
};

} // namespace

TEST_F(Png, PicturesDecodeToTheFramesPixelsAtEverySize)
{
    const struct {
        int width, height;
    } sizes[] = {{1, 1}, {2, 1}, {3, 17}, {17, 16}, {5, 48}, {481, 33}, {640, 1}, {1, 300}};
    for (const auto &s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height));
        Frame f = makeFrame(s.width, s.height, 7);
        expectPictureOf(NX_pngEncode(f.data(), s.width, s.height, 0, s.height - 1), f, s.width, s.height);
    }
}

TEST_F(Png, OnlyTheBandsThatChangedAreDeflatedAgain)
{
    const int width = 97, height = 3 * NX_PNG_BAND_ROWS + 1; // the last band is one row
    Frame f = makeFrame(width, height, 1);
    NX_PngBytes first = NX_pngEncode(f.data(), width, height, 0, height - 1);
    EXPECT_EQ(NX_pngBandsDeflated(), 4);
    const struct {
        int row, column;
        long bands; // deflated for the change
    } changes[] = {{0, 0, 1}, {height - 1, width - 1, 1}, {NX_PNG_BAND_ROWS, 50, 1}, {2 * NX_PNG_BAND_ROWS - 1, 3, 1}};
    NX_PngBytes before = first;
    for (const auto &c : changes) {
        SCOPED_TRACE("pixel " + std::to_string(c.column) + ", " + std::to_string(c.row));
        f[static_cast<size_t>(c.row) * width + c.column] ^= 0x00010203;
        long deflated = NX_pngBandsDeflated();
        NX_PngBytes after = NX_pngEncode(f.data(), width, height, c.row, c.row);
        EXPECT_EQ(NX_pngBandsDeflated() - deflated, c.bands);
        EXPECT_NE(after, before);
        expectPictureOf(after, f, width, height);
        before = after;
    }
    // the same pixels written again: the same picture, nothing deflated
    long deflated = NX_pngBandsDeflated();
    EXPECT_EQ(NX_pngEncode(f.data(), width, height, 0, height - 1), before);
    EXPECT_EQ(NX_pngBandsDeflated(), deflated);
    // a change over two bands, then a new size: all bands
    for (int x = 0; x < width; x++) f[static_cast<size_t>(20) * width + x] = f[static_cast<size_t>(40) * width + x] = 0;
    NX_PngBytes patched = NX_pngEncode(f.data(), width, height, 20, 40);
    expectPictureOf(patched, f, width, height);
    EXPECT_EQ(NX_pngBandsDeflated() - deflated, 2);
    // byte for byte what a first encoding of the same pixels gives (the screen
    // file of a running panel is compared with teqc render's)
    NX_pngReset();
    EXPECT_EQ(*NX_pngEncode(f.data(), width, height, 0, height - 1), *patched);
    Frame g = makeFrame(width, height - 1, 2);
    deflated = NX_pngBandsDeflated();
    expectPictureOf(NX_pngEncode(g.data(), width, height - 1, 5, 5), g, width, height - 1);
    EXPECT_EQ(NX_pngBandsDeflated() - deflated, 3);
}

TEST_F(Png, ScreenFileAndRemoteViewShareOneEncodingOfAChangedFrame)
{
    useHeadlessScreen("200x100");
    setenv("PANTERM_SNAPSHOT", path("screen.png").c_str(), 1);
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID win = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 200, 100, 0, WHITE, BLACK);
    GrMapWindow(win);
    GR_GC_ID gc = GrNewGC();
    GrFlush();
    NX_remoteEnable(1);
    NX_RemoteFrame frame;
    NX_remoteFrame(&frame, 0); // a viewer asks: the next frames are encoded as they are shown
    long deflated = NX_pngBandsDeflated();
    GrSetGCForeground(gc, BLACK);
    GrFillRect(win, gc, 10, 40, 5, 5); // in the third band of rows
    GrFlush();
    EXPECT_EQ(NX_pngBandsDeflated() - deflated, 1);
    ASSERT_TRUE(NX_remoteFrame(&frame, 0));
    EXPECT_EQ(readFile(path("screen.png")), std::string(frame.png->begin(), frame.png->end()));
    EXPECT_EQ(NX_pngBandsDeflated() - deflated, 1) << "the request took the shared picture";
}

// The display server marks the rows each write may reach; a window away from
// the corner, a clip region and a window taken away must all reach the picture.
TEST_F(Png, ScreenFileFollowsWritesAnywhereOnTheScreen)
{
    useHeadlessScreen("120x90");
    setenv("PANTERM_SNAPSHOT", path("screen.png").c_str(), 1);
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID top = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 120, 90, 0, WHITE, BLACK);
    GR_WINDOW_ID inner = GrNewWindow(top, 30, 50, 40, 30, 0, 0xFF00FF00, BLACK);
    GrMapWindow(top);
    GrMapWindow(inner);
    GR_GC_ID gc = GrNewGC();
    GrSetGCForeground(gc, BLACK);
    GR_REGION_ID region = GrNewRegion();
    GR_RECT clip{0, 20, 120, 4};
    GrUnionRectWithRegion(region, &clip);
    auto expectScreen = [&](const char *step) {
        SCOPED_TRACE(step);
        GrFlush();
        Frame f(120 * 90);
        GrReadArea(GR_ROOT_WINDOW_ID, 0, 0, 120, 90, f.data());
        std::string bytes = readFile(path("screen.png"));
        expectPictureOf(std::make_shared<const std::vector<unsigned char>>(bytes.begin(), bytes.end()), f, 120, 90);
    };
    expectScreen("first frame");
    GrFillRect(inner, gc, 0, 25, 40, 2); // screen rows 75 and 76
    expectScreen("inner window");
    GrSetGCRegion(gc, region);
    GrFillRect(top, gc, 0, 0, 120, 90); // only rows 20 to 23 pass the region
    GrSetGCRegion(gc, 0);
    expectScreen("clip region");
    GrUnmapWindow(inner);
    expectScreen("window taken away");
}

// A copy of a small area onto the screen (the redraw's copy of what changed)
// counts only that area as changed, so the picture hashes only its bands.
TEST_F(Png, ACopyOntoTheScreenChangesOnlyItsArea)
{
    useHeadlessScreen("120x90");
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID top = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 10, 120, 80, 0, WHITE, BLACK);
    GrMapWindow(top);
    GR_WINDOW_ID frame = GrNewPixmap(120, 80, nullptr);
    GR_GC_ID gc = GrNewGC();
    GrFlush();
    GR_RECT damage{};
    NX_takeScreenDamage(&damage);
    GrCopyArea(top, gc, 30, 40, 12, 6, frame, 30, 40, 0);
    ASSERT_TRUE(NX_takeScreenDamage(&damage));
    EXPECT_EQ(damage.x, 30);
    EXPECT_EQ(damage.y, 50) << "window coordinates moved to the screen's";
    EXPECT_EQ(damage.width, 12);
    EXPECT_EQ(damage.height, 6);
}

TEST_F(Png, RemoteViewKeepsNoCopyOfThePixels)
{
    useHeadlessScreen("1000x1000"); // 4 MB of pixels
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID win = GrNewWindow(GR_ROOT_WINDOW_ID, 0, 0, 1000, 1000, 0, WHITE, BLACK);
    GrMapWindow(win);
    GR_GC_ID gc = GrNewGC();
    NX_remoteEnable(1);
    NX_RemoteFrame frame;
    NX_remoteFrame(&frame, 0);
    GrFlush();
    size_t before = allocatedBytes();
    for (int i = 0; i < 5; i++) {
        GrSetGCForeground(gc, static_cast<GR_COLOR>(0xFF000000u | (i * 40)));
        GrFillRect(win, gc, 100 * i, 100 * i, 300, 300);
        GrFlush();
        ASSERT_TRUE(NX_remoteFrame(&frame, 0));
        EXPECT_EQ(frame.number, static_cast<uint32_t>(i + 2));
    }
    size_t after = allocatedBytes();
    EXPECT_LT(after, before + 1000000) << "grew by " << (after - before) << " bytes";
}
