// X bitmap reader: parses the published X bitmap text format (the "#define"
// width and height lines and the byte array after "char ... {") once into a
// bit array and draws the set bits through the graphics layer. Owns the cache
// of parsed bitmaps (by name; counted against the image budget, cleared with
// the image cache). Reads files through the target link.
#include "draw/xbitmap.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "transport/file_layer.h"
#include "draw/graphics.h"
#include "draw/images.h"
#include "runtime/str_util.h"

namespace {

constexpr long kMaxSide = 65536;

// Reads the whole file as a NUL-terminated text; null when it cannot be opened.
char *readText(const char *name)
{
    int handle = Tarsel_fileOpen(name, "rb");
    if (handle < 0) return nullptr;
    int length = Tarsel_fileSize(handle);
    if (length < 0) length = 0;
    char *text = static_cast<char *>(std::malloc(static_cast<size_t>(length) + 1));
    int got = text && length > 0 ? Tarsel_fileRead(text, 1, length, handle) : 0;
    Tarsel_fileClose(handle);
    if (text) text[got > 0 ? got : 0] = '\0';
    return text;
}

// Width and height from the "#define NAME VALUE" lines whose names end in
// "width" and "height".
void readSize(const char *text, long *width, long *height)
{
    for (const char *p = std::strstr(text, "#define"); p; p = std::strstr(p, "#define")) {
        p += 7;
        while (*p == ' ' || *p == '\t') p++;
        const char *nameStart = p;
        while (*p && !std::isspace(static_cast<unsigned char>(*p))) p++;
        size_t nameLength = static_cast<size_t>(p - nameStart);
        char *end = nullptr;
        long value = std::strtol(p, &end, 10);
        if (end == p) continue;
        if (nameLength >= 5 && std::strncmp(p - 5, "width", 5) == 0) *width = value;
        else if (nameLength >= 6 && std::strncmp(p - 6, "height", 6) == 0) *height = value;
    }
}

// A parsed bitmap: rows of (width + 7) / 8 bytes; no bits when it was empty,
// malformed or too big, so that it is not read again either.
struct Bitmap {
    char *name;
    long width, height;
    unsigned char *bits;
    Bitmap *next;
};

Bitmap *cache = nullptr;

Bitmap *findCached(const char *name)
{
    for (Bitmap *b = cache; b; b = b->next)
        if (std::strcmp(b->name, name) == 0) return b;
    return nullptr;
}

// The byte array's values, row after row, at most rowBytes x height of them.
void readBits(const char *p, Bitmap *b)
{
    long rowBytes = (b->width + 7) / 8, total = rowBytes * b->height;
    for (long k = 0; k < total; k++) {
        while (*p && (std::isspace(static_cast<unsigned char>(*p)) || *p == ',')) p++;
        if (*p == '\0' || *p == '}') return;
        char *end = nullptr;
        unsigned long byte = std::strtoul(p, &end, 16);
        if (end == p) return;
        p = end;
        b->bits[k] = static_cast<unsigned char>(byte);
    }
}

void parseInto(const char *name, const char *text, Bitmap *b)
{
    long width = 0, height = 0;
    readSize(text, &width, &height);
    const char *type = std::strstr(text, "char");
    const char *array = type ? std::strchr(type, '{') : nullptr;
    if (!array || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return;
    uint64_t bytes = static_cast<uint64_t>((width + 7) / 8) * static_cast<uint64_t>(height);
    if (!IMG_chargeDecoded(name, static_cast<int>(width), static_cast<int>(height), bytes)) return;
    b->bits = static_cast<unsigned char *>(std::calloc(bytes, 1));
    if (!b->bits) return;
    b->width = width, b->height = height;
    readBits(array + 1, b);
}

// Reads and parses a bitmap into the cache; null when it cannot be opened.
Bitmap *load(const char *name)
{
    char *text = readText(name);
    if (!text) return nullptr;
    Bitmap *b = static_cast<Bitmap *>(std::calloc(1, sizeof(Bitmap)));
    size_t nameSize = std::strlen(name) + 1;
    if (b) b->name = static_cast<char *>(std::malloc(nameSize));
    if (!b || !b->name) {
        std::free(b);
        std::free(text);
        return nullptr;
    }
    std::memcpy(b->name, name, nameSize);
    parseInto(name, text, b);
    std::free(text);
    b->next = cache;
    cache = b;
    return b;
}

// The part of a length drawn from offset that can be on the screen (all of it
// while the screen's size is not known).
long onScreen(long length, int offset, int screen)
{
    if (screen <= 0) return length;
    long room = static_cast<long>(screen) - offset;
    return room < length ? (room > 0 ? room : 0) : length;
}

void drawBits(const Bitmap *b, int x, int y)
{
    if (!b->bits) return;
    long rowBytes = (b->width + 7) / 8;
    long rows = onScreen(b->height, y, g_screenHeight), columns = onScreen(b->width, x, g_screenWidth);
    for (long row = 0; row < rows; row++)
        for (long column = 0; column < columns; column++)
            if (b->bits[row * rowBytes + column / 8] & (1u << (column % 8)))
                G_SetPixel(x + static_cast<int>(column), y + static_cast<int>(row), 0xFF000000);
}

} // namespace

int isXbmFile(const char *name) { return str_endsWithIgnoreCase(name, ".xbm"); }

int XB_drawXBitMap(const char *name, int x, int y)
{
    if (!isXbmFile(name)) return 0;
    Bitmap *b = findCached(name);
    if (!b) b = load(name);
    if (!b) return 0;
    drawBits(b, x, y);
    return 1;
}

void XB_clearCache()
{
    while (cache) {
        Bitmap *b = cache;
        cache = b->next;
        std::free(b->bits);
        std::free(b->name);
        std::free(b);
    }
}
