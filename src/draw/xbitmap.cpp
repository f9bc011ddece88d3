// X bitmap reader: parses the published X bitmap text format (the "#define"
// width and height lines and the byte array after "char ... {") and draws the
// set bits through the graphics layer. Reads files through the target link.
#include "draw/xbitmap.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "transport/file_layer.h"
#include "draw/graphics.h"
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

void drawBits(const char *bytes, long width, long height, int x, int y)
{
    long rowBytes = (width + 7) / 8;
    const char *p = bytes;
    for (long k = 0;; k++) {
        while (*p && (std::isspace(static_cast<unsigned char>(*p)) || *p == ',')) p++;
        if (*p == '\0' || *p == '}') return;
        char *end = nullptr;
        unsigned long byte = std::strtoul(p, &end, 16);
        if (end == p) return;
        p = end;
        long row = k / rowBytes, column = (k % rowBytes) * 8;
        if (row >= height) return;
        for (int bit = 0; bit < 8 && column + bit < width; bit++)
            if (byte & (1u << bit))
                G_SetPixel(x + static_cast<int>(column + bit), y + static_cast<int>(row), 0xFF000000);
    }
}

} // namespace

int isXbmFile(const char *name) { return str_endsWithIgnoreCase(name, ".xbm"); }

int XB_drawXBitMap(const char *name, int x, int y)
{
    if (!isXbmFile(name)) return 0;
    char *text = readText(name);
    if (!text) return 0;
    long width = 0, height = 0;
    readSize(text, &width, &height);
    const char *type = std::strstr(text, "char");
    const char *array = type ? std::strchr(type, '{') : nullptr;
    if (array && width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide)
        drawBits(array + 1, width, height, x, y);
    std::free(text);
    return 1;
}
