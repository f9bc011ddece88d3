// PNG encoder of the display layer. Owns the last picture, the table of its
// bands (where each band's deflated bytes lie in the picture, the hash of its
// pixels and the checksum of its filtered rows), one band's filtered rows and
// the deflate stream. Each band is a raw deflate stream of its own that ends on
// a byte boundary (full flush; the last band finishes the stream), so bands can
// be deflated apart and put together behind one zlib header; the zlib checksum
// is combined from the bands' checksums.
#include "nanox/nx_png.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace {

struct Band {
    uint64_t hash = 0;
    uLong adler = 1;               // of the band's filtered rows
    size_t offset = 0, length = 0; // of its deflated bytes in the picture
    bool redo = false;
};

struct Encoder {
    int width = 0, height = 0;
    std::vector<Band> bands;
    NX_PngBytes last;
    std::vector<unsigned char> rows; // one band's filtered rows
    z_stream stream{};
    bool streamOpen = false;
    long deflated = 0;
};

Encoder encoder;

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
// zlib header of a 32 KB window at the fastest level (its check bits included)
constexpr unsigned char kZlibHeader[2] = {0x78, 0x01};
constexpr size_t kIdatData = 8 + 25 + 8; // signature, IHDR chunk, IDAT length and name
constexpr int kFilterSub = 1;

void put32(std::vector<unsigned char> &out, uint32_t v)
{
    unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                          static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    out.insert(out.end(), b, b + 4);
}

// A hash of count pixels: four lanes of 64-bit words, mixed at the end.
uint64_t hashPixels(const uint32_t *pixels, size_t count)
{
    uint64_t lane[4] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, count};
    size_t words = count / 2;
    const auto *bytes = reinterpret_cast<const unsigned char *>(pixels);
    for (size_t i = 0; i < words; i++) {
        uint64_t w;
        std::memcpy(&w, bytes + i * 8, 8);
        uint64_t &h = lane[i & 3];
        h = (h ^ w) * 0x100000001B3ull;
        h ^= h >> 31;
    }
    if (count & 1) lane[0] = (lane[0] ^ pixels[count - 1]) * 0x100000001B3ull;
    uint64_t h = lane[0];
    for (int k = 1; k < 4; k++) h = (h ^ (lane[k] + (h << 6) + (h >> 2))) * 0x9E3779B97F4A7C15ull;
    return h;
}

int bandRows(int band) { return std::min(NX_PNG_BAND_ROWS, encoder.height - band * NX_PNG_BAND_ROWS); }

size_t rowBytes() { return 1 + static_cast<size_t>(encoder.width) * 3; }

const uint32_t *bandPixels(const uint32_t *pixels, int band)
{
    return pixels + static_cast<size_t>(band) * NX_PNG_BAND_ROWS * encoder.width;
}

// The band's rows as PNG rows of RGB bytes, each with the Sub filter (the
// difference to the pixel on the left), which turns flat areas into zeros.
void filterBand(const uint32_t *pixels, int band)
{
    int count = bandRows(band);
    encoder.rows.resize(rowBytes() * count);
    unsigned char *out = encoder.rows.data();
    const uint32_t *p = bandPixels(pixels, band);
    for (int y = 0; y < count; y++) {
        *out++ = kFilterSub;
        uint32_t left = 0;
        for (int x = 0; x < encoder.width; x++, p++) {
            uint32_t v = *p;
            out[0] = static_cast<unsigned char>(v - left);
            out[1] = static_cast<unsigned char>((v >> 8) - (left >> 8));
            out[2] = static_cast<unsigned char>((v >> 16) - (left >> 16));
            out += 3;
            left = v;
        }
    }
}

bool openStream()
{
    if (encoder.streamOpen) return true;
    encoder.stream = z_stream{};
    encoder.streamOpen = deflateInit2(&encoder.stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    return encoder.streamOpen;
}

// Deflates the filtered rows onto the end of png as a raw stream of their own;
// the last band finishes the stream, the others end byte-aligned.
bool deflateRows(std::vector<unsigned char> &png, bool last)
{
    z_stream &z = encoder.stream;
    if (deflateReset(&z) != Z_OK) return false;
    z.next_in = encoder.rows.data();
    z.avail_in = static_cast<uInt>(encoder.rows.size());
    size_t used = png.size();
    png.resize(used + deflateBound(&z, encoder.rows.size()) + 16);
    int flush = last ? Z_FINISH : Z_FULL_FLUSH;
    for (;;) {
        z.next_out = png.data() + used;
        z.avail_out = static_cast<uInt>(png.size() - used);
        int result = deflate(&z, flush);
        used = png.size() - z.avail_out;
        if (result == Z_STREAM_ERROR) return false;
        if (last ? result == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0) break;
        if (z.avail_out > 0 && result == Z_BUF_ERROR) return false;
        png.resize(png.size() + 4096);
    }
    png.resize(used);
    return true;
}

void startPicture(std::vector<unsigned char> &png)
{
    png.insert(png.end(), kSignature, kSignature + 8);
    put32(png, 13);
    size_t name = png.size();
    png.insert(png.end(), {'I', 'H', 'D', 'R'});
    put32(png, static_cast<uint32_t>(encoder.width));
    put32(png, static_cast<uint32_t>(encoder.height));
    png.insert(png.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filters per row, no interlace
    put32(png, static_cast<uint32_t>(crc32(0, png.data() + name, 17)));
    put32(png, 0); // the IDAT length, known at the end
    png.insert(png.end(), {'I', 'D', 'A', 'T'});
    png.insert(png.end(), kZlibHeader, kZlibHeader + 2);
}

void endPicture(std::vector<unsigned char> &png)
{
    uLong adler = 1;
    for (size_t b = 0; b < encoder.bands.size(); b++)
        adler = adler32_combine(adler, encoder.bands[b].adler,
                                static_cast<z_off_t>(rowBytes() * bandRows(static_cast<int>(b))));
    put32(png, static_cast<uint32_t>(adler));
    uint32_t length = static_cast<uint32_t>(png.size() - kIdatData);
    for (int i = 0; i < 4; i++) png[kIdatData - 8 + i] = static_cast<unsigned char>(length >> (24 - 8 * i));
    put32(png, static_cast<uint32_t>(crc32(0, png.data() + kIdatData - 4, length + 4)));
    png.insert(png.end(), kEnd, kEnd + 12);
}

// Marks the bands to deflate; false when none changed.
bool markChangedBands(const uint32_t *pixels, bool fresh, int firstRow, int lastRow)
{
    bool any = false;
    for (size_t b = 0; b < encoder.bands.size(); b++) {
        Band &band = encoder.bands[b];
        int top = static_cast<int>(b) * NX_PNG_BAND_ROWS, rows = bandRows(static_cast<int>(b));
        band.redo = fresh;
        if (!fresh && (top + rows - 1 < firstRow || top > lastRow)) continue;
        uint64_t hash = hashPixels(bandPixels(pixels, static_cast<int>(b)), static_cast<size_t>(rows) * encoder.width);
        band.redo = band.redo || hash != band.hash;
        band.hash = hash;
        any = any || band.redo;
    }
    return any;
}

bool encodeBands(const uint32_t *pixels, std::vector<unsigned char> &png)
{
    for (size_t b = 0; b < encoder.bands.size(); b++) {
        Band &band = encoder.bands[b];
        size_t offset = png.size();
        if (band.redo) {
            filterBand(pixels, static_cast<int>(b));
            band.adler = adler32(1, encoder.rows.data(), static_cast<uInt>(encoder.rows.size()));
            if (!deflateRows(png, b + 1 == encoder.bands.size())) return false;
            encoder.deflated++;
        } else {
            const unsigned char *old = encoder.last->data() + band.offset;
            png.insert(png.end(), old, old + band.length);
        }
        band.offset = offset;
        band.length = png.size() - offset;
    }
    return true;
}

} // namespace

NX_PngBytes NX_pngEncode(const uint32_t *pixels, int width, int height, int firstRow, int lastRow)
{
    if (!pixels || width <= 0 || height <= 0 || !openStream()) return nullptr;
    bool fresh = !encoder.last || width != encoder.width || height != encoder.height;
    if (fresh) {
        encoder.width = width;
        encoder.height = height;
        encoder.bands.assign((height + NX_PNG_BAND_ROWS - 1) / NX_PNG_BAND_ROWS, Band{});
    }
    if (!markChangedBands(pixels, fresh, firstRow, lastRow)) return encoder.last;
    auto png = std::make_shared<std::vector<unsigned char>>();
    png->reserve(encoder.last ? encoder.last->size() + 4096 : rowBytes() * height / 8);
    startPicture(*png);
    if (!encodeBands(pixels, *png)) {
        NX_pngReset();
        return nullptr;
    }
    endPicture(*png);
    encoder.last = png;
    return encoder.last;
}

long NX_pngBandsDeflated() { return encoder.deflated; }

void NX_pngReset()
{
    if (encoder.streamOpen) deflateEnd(&encoder.stream);
    encoder = Encoder{};
}
