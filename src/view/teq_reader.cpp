// TEQ picture reader. Owns the editor version, the load error flag and the
// layer flag of the file being read, and the default object of that file.
// Painters go to the painter loader; page size, background colour and fonts to
// the graphics layer; every byte comes through the target link.
#include "view/teq_reader.h"

#include <cstdio>
#include <cstring>

#include "comm/target_link.h"
#include "data/process_points.h"
#include "data/value_format.h"
#include "draw/fonts.h"
#include "draw/graphics.h"
#include "runtime/heap.h"
#include "runtime/log.h"
#include "view/object_table.h"
#include "view/painter_loader.h"
#include "view/view_manager.h"

int EditorVersion;

namespace {

int loadError;
int layerLoading;

// Formats one integer into a message and logs it (the log's own integer
// entry takes a long, which some conversions here do not).
void logFormattedInt(const char *format, int value)
{
    char text[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, format, value);
#pragma GCC diagnostic pop
    log_append(0, text, nullptr);
}

bool skipPairs(int file, int count)
{
    int a, b;
    for (int i = 0; i < count; i++)
        if (readPair(file, &a, &b) < 0) return false;
    return true;
}

bool skipBytes(int file, int count)
{
    for (int i = 0; i < count; i++)
        if (teqReadByte(file) < 0) return false;
    return true;
}

void readFontElement(int file, OB_Object *defaults)
{
    char name[32];
    int style = -1, size = -1;
    if (readString(file, name, sizeof name) >= 0) {
        style = teqReadByte(file);
        if (style >= 0) size = teqReadByte(file);
    }
    if (size < 0) {
        teqSetLoadError();
        return;
    }
    defaults->font = FO_findCorrespondingFont(name, style, size);
}

void readPageSize(int file)
{
    int width, height;
    if (readPair(file, &width, &height) >= 0 && !layerLoading) G_SetSize(width, height);
}

void readBackground(int file)
{
    uint32_t color;
    if (readColor(file, &color) && !layerLoading) G_SetBackGroundColor(color);
}

void readElement(int file, int code, OB_Object *defaults)
{
    uint32_t color;
    int value;
    switch (code) {
    case 0x01: OB_SetStatusBit(defaults, OB_STATUS_BORDER, 0); break;
    case 0x02: OB_SetStatusBit(defaults, OB_STATUS_BORDER, 1); break;
    case 0x03:
        if (readColor(file, &color)) defaults->lineColor = color;
        break;
    case 0x04: OB_SetStatusBit(defaults, OB_STATUS_FILL, 0); break;
    case 0x05: OB_SetStatusBit(defaults, OB_STATUS_FILL, 1); break;
    case 0x06:
        if (readColor(file, &color)) defaults->fillColor = color;
        break;
    case 0x07:
    case 0x08: skipPairs(file, 2); break;
    case 0x09:
    case 0x0A:
    case 0x0C:
    case 0x15: break;
    case 0x0B: readFontElement(file, defaults); break;
    case 0x0D:
        if (skipPairs(file, 1)) dumpString(file);
        break;
    case 0x0E:
    case 0x0F:
    case 0x11:
    case 0x12:
    case 0x13:
        if (skipPairs(file, 2)) dumpString(file);
        break;
    case 0x10: readPageSize(file); break;
    case 0x14:
        if (skipPairs(file, 2) && readFloat(file) && readFloat(file)) skipPairs(file, 2);
        break;
    case 0x16: readBackground(file); break;
    case 0x17: PA_loadPainter(file, defaults); break;
    case 0x18:
        if (skipPairs(file, 3)) dumpString(file);
        break;
    case 0x19:
        if (skipPairs(file, 2) && skipBytes(file, 2)) dumpString(file);
        break;
    case 0x1B: PA_LoadLayerTeq(file); break;
    case 0x1E:
        if ((value = teqReadByte(file)) >= 0) defaults->lineStyle = static_cast<uint8_t>(value);
        break;
    case 0x1F:
        if ((value = teqReadByte(file)) >= 0) defaults->lineWidth = static_cast<uint8_t>(value);
        break;
    default:
        logFormattedInt("Parsing TEQ file failed,\n unknown element: %2.2X Hex\n", code);
        teqSetLoadError();
        break;
    }
}

} // namespace

void teqSetLoadError() { loadError = 1; }
void teqSetLayerLoading(int layer) { layerLoading = layer; }
int teqGetLayerLoading() { return layerLoading; }

void teqReset()
{
    EditorVersion = 0;
    loadError = 0;
    layerLoading = 0;
}

int teqFileReader(int file)
{
    int version = teqReadByte(file);
    if (version < 0) {
        log_append(0, "TEQ file is empty, \"%s\"\n", VM_getLoadingFileName());
        return -1;
    }
    if (version < 'c' || version > 'g') {
        logFormattedInt("Parsing TEQ file failed,\n invalid editor version: '%c'\n", version);
        return -1;
    }
    EditorVersion = version;
    OB_Object *defaults = newDefaultObject();
    if (!defaults) return -1;
    OB_CRITICAL_ENTER_LOADING_TEQ();
    loadError = 0;
    for (int code; !loadError && (code = teqReadByte(file)) >= 0;) readElement(file, code, defaults);
    OB_CRITICAL_EXIT_LOADING_TEQ();
    if (loadError) {
        log_append(0, "failed to load painter(s) from\n \"%s\"\n", VM_getLoadingFileName());
        return -1;
    }
    return 0;
}

int teqReadByte(int file) { return Tarsel_fileGetc(file); }

int readColor(int file, uint32_t *color)
{
    int r = teqReadByte(file), g = r < 0 ? -1 : teqReadByte(file), b = g < 0 ? -1 : teqReadByte(file);
    if (b < 0) return 0;
    *color = 0xFF000000u | static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16;
    return 1;
}

int readPair(int file, int *first, int *second)
{
    uint32_t value = 0;
    for (int i = 0; i < 3; i++) {
        int c = teqReadByte(file);
        if (c < 0) return -1;
        value = value << 8 | static_cast<uint32_t>(c);
    }
    *first = static_cast<int>(value >> 11 & 0x7FF);
    *second = static_cast<int>(value & 0x7FF);
    return static_cast<int>(value >> 22 & 1);
}

int32_t ReadJavaInt(int file)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; i++) {
        int c = teqReadByte(file);
        if (c < 0) return 0;
        value = value << 8 | static_cast<uint32_t>(c);
    }
    return static_cast<int32_t>(value);
}

int readFloat(int file) { return skipBytes(file, 4); }

int readString(int file, char *buffer, int size)
{
    if (buffer && size > 0) buffer[0] = '\0';
    int length = teqReadByte(file);
    if (length < 0) return -1;
    int kept = 0;
    for (int i = 0; i < length; i++) {
        int c = teqReadByte(file);
        if (c < 0) {
            log_append_int(0, "EOF in TeqIF.readString() !\n unreached size %ld bytes\n", length);
            if (buffer && size > 0) buffer[kept] = '\0';
            return -1;
        }
        if (buffer && kept < size - 1) buffer[kept++] = static_cast<char>(c);
    }
    if (buffer && size > 0) buffer[kept] = '\0';
    return length;
}

int dumpString(int file) { return readString(file, nullptr, 0); }

int ReadUTF_size(int file)
{
    int high = teqReadByte(file);
    if (high < 0) return -1;
    int low = teqReadByte(file);
    if (low < 0) return -1;
    return high << 8 | low;
}

// A sequence whose bytes would run past the byte count is not decoded: its
// lead byte stays one character, so the string never takes bytes of the next
// field.
int ReadUTF_bytes(int file, char *dst, int n)
{
    int consumed = 0, out = 0;
    while (consumed < n) {
        int b1 = teqReadByte(file);
        if (b1 < 0) break;
        consumed++;
        int extra = b1 >= 0xE0 ? 2 : b1 >= 0xC0 ? 1 : 0;
        if (extra > n - consumed) extra = 0;
        int character = b1;
        if (extra == 1) {
            int b2 = teqReadByte(file);
            if (b2 < 0) break;
            consumed++;
            character = ((b1 & 0x1F) << 6 | (b2 & 0x3F)) & 0xFF;
        } else if (extra == 2) {
            int b2 = teqReadByte(file);
            int b3 = b2 < 0 ? -1 : teqReadByte(file);
            if (b3 < 0) break;
            consumed += 2;
            character = (b2 & 0x03) << 6 | (b3 & 0x3F);
        }
        dst[out++] = static_cast<char>(character);
    }
    dst[out] = '\0';
    if (consumed < n) {
        log_append(0, "Reading UTF string failed;\n \"%s\"\n", dst);
        return 0;
    }
    return 1;
}

char *ReadUTF_Alloc(int file, int type)
{
    int n = ReadUTF_size(file);
    if (n < 0) return nullptr;
    auto *text = static_cast<char *>(MU_alloc(static_cast<uint32_t>(n) + 1));
    if (!text) return nullptr;
    if (!ReadUTF_bytes(file, text, n)) return nullptr;
    if (type == SourceType_PPO || type == SourceType_PASSWORDPPO) {
        if (TcrEntry *entry = TCR_getTcrPointerWithSymbol(text)) {
            size_t formatted = std::strlen(TCR_getFormatedName(entry));
            if (formatted > static_cast<size_t>(n) && !MU_alloc(static_cast<uint32_t>(formatted - n))) return nullptr;
        }
    }
    return text;
}

int dumpUTF(int file)
{
    int n = ReadUTF_size(file);
    return n >= 0 && skipBytes(file, n);
}
