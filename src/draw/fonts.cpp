// Font table: 128 records of (name, style, size) with their display fonts,
// made on first request and kept for the run. Draws nothing; measures through
// the graphics context of the graphics layer.
#include "draw/fonts.h"

#include <cstring>

#include "draw/graphics.h"
#include "runtime/str_util.h"

namespace {

FO_FontRecord fontTable[FO_MAX_FONTS];
int fontCount = 0;

GR_SIZE textWidth(const char *text, int length, GR_SIZE *height)
{
    GR_SIZE width = 0, h = 0, base = 0;
    GrGetGCTextSize(g_gc, const_cast<char *>(text), length, 0, &width, &h, &base);
    if (height) *height = h;
    return width;
}

} // namespace

FO_FontRecord *FO_findCorrespondingFont(const char *name, int style, int size)
{
    char key[FO_NAME_SIZE];
    safe_strncpy(key, name ? name : "", sizeof key);
    for (int i = 0; i < fontCount; i++) {
        FO_FontRecord &f = fontTable[i];
        if (f.size == static_cast<int16_t>(size) && f.style == static_cast<int16_t>(style) &&
            std::strcmp(f.name, key) == 0)
            return &f;
    }
    if (fontCount == FO_MAX_FONTS) return &fontTable[FO_MAX_FONTS - 1];
    FO_FontRecord &f = fontTable[fontCount++];
    f.size = static_cast<int16_t>(size);
    f.style = static_cast<int16_t>(style);
    std::memcpy(f.name, key, sizeof key);
    f.fontId = GrCreateFont(f.name, f.size, nullptr);
    return &f;
}

int FO_GetCharHeight(FO_FontRecord *)
{
    GR_SIZE height = 0;
    textWidth("A", 1, &height);
    return height;
}

int FO_GetCharWidth(FO_FontRecord *, int ch)
{
    char text[2] = {static_cast<char>(ch), 0};
    return textWidth(text, 1, nullptr);
}

void FO_releaseFonts()
{
    for (int i = 0; i < fontCount; i++)
        if (fontTable[i].fontId) GrDestroyFont(fontTable[i].fontId);
    std::memset(fontTable, 0, sizeof fontTable);
    fontCount = 0;
    G_SetFont(nullptr);
}
