// Fonts and text: the built-in "System" and "SystemFixed" fonts (glyphs of
// stb_easy_font, 13 pixels high, ascent 11) and scalable fonts found through
// fontconfig and rendered with FreeType (anti-aliased, blended onto the
// target). Panel font names map to the DejaVu families; a missing font file
// gives one message and the built-in font. Owns the font table.
#include "nanox/nx_core.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

namespace {

constexpr int kBuiltinHeight = 13;
constexpr int kBuiltinAscent = 11;
constexpr int kBuiltinGlyphBaseline = 7; // rows of an easy-font capital above its baseline
constexpr int kBuiltinFixedWidth = 6;
constexpr int kMaxPixelSize = 1024;

struct Glyph {
    int advance = 0;
    int left = 0, top = 0; // bitmap origin relative to the pen position on the baseline
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage;
    std::vector<uint16_t> rowSpans; // per row: first covered column, one past the last (equal: none)
};

struct Font {
    bool builtin = true;
    bool fixed = false;
    FT_Face face = nullptr;
    int ascent = kBuiltinAscent, descent = kBuiltinHeight - kBuiltinAscent;
    std::unordered_map<uint32_t, Glyph> glyphs;
};

struct Fonts { // NOLINT(bugprone-reserved-identifier): clang-tidy 14 names the copy loop of builtin[] "__i0"
    bool builtinReady = false;
    Glyph builtin[128];
    Glyph builtinFixed[128]; // the same glyphs on the fixed advance
    FT_Library library = nullptr;
    bool fontconfigReady = false;
    std::unordered_map<GR_FONT_ID, Font> table;
    std::unordered_map<std::string, std::string> files; // family + weight -> file ("" = missing)
    GR_FONT_ID nextId = 1000;
    Font system;
    std::vector<uint32_t> text;
};

Fonts fonts;

// Finds the covered part of every row, so that blending skips the rest.
void measureRows(Glyph &g)
{
    g.rowSpans.assign(static_cast<size_t>(g.rows) * 2, 0);
    for (int r = 0; r < g.rows; r++) {
        const uint8_t *row = g.coverage.data() + static_cast<size_t>(r) * g.width;
        int first = 0, end = g.width;
        while (first < end && row[first] == 0) first++;
        while (end > first && row[end - 1] == 0) end--;
        g.rowSpans[2 * static_cast<size_t>(r)] = static_cast<uint16_t>(first);
        g.rowSpans[2 * static_cast<size_t>(r) + 1] = static_cast<uint16_t>(end);
    }
}

void buildBuiltinGlyphs()
{
    if (fonts.builtinReady) return;
    static char vertices[4096];
    for (int c = 32; c < 127; c++) {
        char s[2] = {static_cast<char>(c), 0};
        Glyph &g = fonts.builtin[c];
        g.advance = stb_easy_font_width(s);
        g.width = g.advance;
        g.rows = kBuiltinHeight;
        g.top = kBuiltinGlyphBaseline;
        g.coverage.assign(static_cast<size_t>(g.width) * g.rows, 0);
        int quads = stb_easy_font_print(0, 0, s, nullptr, vertices, sizeof vertices);
        for (int q = 0; q < quads; q++) {
            const float *v = reinterpret_cast<const float *>(vertices + static_cast<ptrdiff_t>(q) * 64);
            int x0 = static_cast<int>(v[0]), y0 = static_cast<int>(v[1]);
            int x1 = static_cast<int>(v[8]), y1 = static_cast<int>(v[9]); // the opposite corner
            for (int y = std::min(y0, y1); y < std::max(y0, y1) && y < g.rows; y++)
                for (int x = std::min(x0, x1); x < std::max(x0, x1) && x < g.width; x++)
                    g.coverage[static_cast<size_t>(y) * g.width + x] = 255;
        }
        measureRows(g);
        fonts.builtinFixed[c] = g;
        fonts.builtinFixed[c].advance = kBuiltinFixedWidth;
    }
    fonts.builtinReady = true;
}

const Glyph &builtinGlyph(const Font &font, uint32_t ch)
{
    buildBuiltinGlyphs();
    uint32_t index = ch >= 32 && ch < 127 ? ch : 32;
    return font.fixed ? fonts.builtinFixed[index] : fonts.builtin[index];
}

std::string lower(const char *text)
{
    std::string s(text ? text : "");
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The DejaVu family that stands in for a panel font name.
const char *familyFor(const std::string &name)
{
    static const struct {
        const char *alias, *family;
    } aliases[] = {
        {"dejavu sans mono", "DejaVu Sans Mono"},
        {"dejavu serif", "DejaVu Serif"},
        {"dejavu sans", "DejaVu Sans"},
        {"times new roman", "DejaVu Serif"},
        {"courier new", "DejaVu Sans Mono"},
        {"dialoginput", "DejaVu Sans Mono"},
        {"monospaced", "DejaVu Sans Mono"},
        {"sansserif", "DejaVu Sans"},
        {"timesroman", "DejaVu Serif"},
        {"helvetica", "DejaVu Sans"},
        {"courier", "DejaVu Sans Mono"},
        {"dialog", "DejaVu Sans"},
        {"serif", "DejaVu Serif"},
        {"arial", "DejaVu Sans"},
        {"times", "DejaVu Serif"},
    };
    for (const auto &a : aliases) {
        size_t n = std::strlen(a.alias);
        if (name.compare(0, n, a.alias) == 0 && (name.size() == n || std::strchr(" -.,_", name[n]))) return a.family;
    }
    return "DejaVu Sans";
}

std::string fontFile(const char *family, bool bold)
{
    std::string key = std::string(family) + (bold ? ":bold" : ":regular");
    auto it = fonts.files.find(key);
    if (it != fonts.files.end()) return it->second;
    std::string file;
    if (!fonts.fontconfigReady) fonts.fontconfigReady = FcInit() == FcTrue;
    if (fonts.fontconfigReady) {
        FcPattern *pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern *match = FcFontMatch(nullptr, pattern, &result);
        FcChar8 *matchedFamily = nullptr, *path = nullptr;
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
            lower(reinterpret_cast<char *>(matchedFamily)) == lower(family) &&
            FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
            file = reinterpret_cast<char *>(path);
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    if (file.empty())
        std::fprintf(stderr, "nano-X: no font file for %s%s (fonts-dejavu-core missing?); using the built-in font\n",
                     family, bold ? " Bold" : "");
    fonts.files[key] = file;
    return file;
}

FT_Face openFace(const std::string &file, int pixels)
{
    if (file.empty()) return nullptr;
    if (!fonts.library && FT_Init_FreeType(&fonts.library) != 0) {
        fonts.library = nullptr;
        std::fprintf(stderr, "nano-X: FreeType cannot start; using the built-in font\n");
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(fonts.library, file.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "nano-X: cannot read font file %s; using the built-in font\n", file.c_str());
        return nullptr;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return face;
}

GR_FONT_ID addFont(Font font)
{
    GR_FONT_ID id = fonts.nextId++;
    fonts.table[id] = std::move(font);
    return id;
}

GR_FONT_ID builtinFont(bool fixed)
{
    Font f;
    f.fixed = fixed;
    return addFont(std::move(f));
}

Font &fontOf(GR_FONT_ID id)
{
    auto it = fonts.table.find(id);
    return it == fonts.table.end() ? fonts.system : it->second;
}

const Glyph &scalableGlyph(Font &font, uint32_t ch)
{
    auto it = font.glyphs.find(ch);
    if (it != font.glyphs.end()) return it->second;
    Glyph &g = font.glyphs[ch];
    if (FT_Load_Char(font.face, ch, FT_LOAD_RENDER) != 0) return g;
    FT_GlyphSlot slot = font.face->glyph;
    const FT_Bitmap &bm = slot->bitmap;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.coverage.assign(static_cast<size_t>(g.width) * g.rows, 0);
    for (int y = 0; y < g.rows; y++) {
        const unsigned char *row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (int x = 0; x < g.width; x++) {
            uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
            g.coverage[static_cast<size_t>(y) * g.width + x] = v;
        }
    }
    measureRows(g);
    return g;
}

const Glyph &glyphOf(Font &font, uint32_t ch)
{
    return font.builtin ? builtinGlyph(font, ch) : scalableGlyph(font, ch);
}

// Blends the covered part of each row of a glyph whose pen position is (pen, baseline).
void blendGlyph(const NX_Target &t, const Glyph &g, int pen, int baseline)
{
    for (int r = 0; r < g.rows; r++) {
        int first = g.rowSpans[2 * static_cast<size_t>(r)], end = g.rowSpans[2 * static_cast<size_t>(r) + 1];
        if (first < end)
            NX_blendSpan(t, pen + g.left + first, baseline - g.top + r,
                         g.coverage.data() + static_cast<size_t>(r) * g.width + first, end - first, t.gc->foreground);
    }
}

// Decodes count units of str in the encoding of flags (count -1: up to a NUL).
const std::vector<uint32_t> &decode(const void *str, int count, GR_TEXTFLAGS flags)
{
    std::vector<uint32_t> &out = fonts.text;
    out.clear();
    if (!str) return out;
    GR_TEXTFLAGS encoding = flags & GR_TFPACKMASK;
    if (encoding == GR_TFUC16 || encoding == GR_TFXCHAR2B) {
        const uint16_t *u = static_cast<const uint16_t *>(str);
        for (int i = 0; count < 0 ? u[i] != 0 : i < count; i++)
            out.push_back(encoding == GR_TFUC16 ? u[i] : static_cast<uint32_t>((u[i] >> 8) | ((u[i] & 0xFF) << 8)));
        return out;
    }
    if (encoding == GR_TFUC32) {
        const uint32_t *u = static_cast<const uint32_t *>(str);
        for (int i = 0; count < 0 ? u[i] != 0 : i < count; i++) out.push_back(u[i]);
        return out;
    }
    const unsigned char *s = static_cast<const unsigned char *>(str);
    size_t n = count < 0 ? std::strlen(reinterpret_cast<const char *>(s)) : static_cast<size_t>(count);
    for (size_t i = 0; i < n; i++) {
        uint32_t c = s[i];
        if (encoding == GR_TFUTF8 && c >= 0xC0 && c < 0xF0) {
            int extra = c >= 0xE0 ? 2 : 1;
            uint32_t cp = c & (extra == 2 ? 0x0F : 0x1F);
            bool valid = i + extra < n;
            for (int k = 1; valid && k <= extra; k++) {
                valid = (s[i + k] & 0xC0) == 0x80;
                cp = (cp << 6) | (s[i + k] & 0x3F);
            }
            if (valid) {
                c = cp;
                i += extra;
            }
        }
        out.push_back(c); // plain 8-bit text is Latin-1
    }
    return out;
}

int textWidth(Font &font, const std::vector<uint32_t> &text)
{
    int width = 0;
    for (uint32_t ch : text) width += glyphOf(font, ch).advance;
    return width;
}

} // namespace

void NX_resetFonts()
{
    for (auto &entry : fonts.table)
        if (entry.second.face) FT_Done_Face(entry.second.face);
    if (fonts.library) FT_Done_FreeType(fonts.library);
    if (fonts.fontconfigReady) FcFini();
    fonts = Fonts{};
}

GR_FONT_ID GrCreateFontEx(const char *name, GR_COORD height, GR_COORD, GR_LOGFONT *plogfont)
{
    bool bold = false;
    if (plogfont) {
        name = plogfont->lfFaceName;
        height = plogfont->lfHeight;
        bold = plogfont->lfWeight >= 700;
    }
    if (!name || !*name) return builtinFont(false);
    std::string key = lower(name);
    if (key == "system" || key == "systemfixed") return builtinFont(key == "systemfixed");
    if (plogfont && plogfont->lfClass == MWLF_CLASS_BUILTIN) return builtinFont(false);
    if (height < 0) height = -height;
    if (height == 0) return 0; // no built-in font of that name
    height = std::min(height, kMaxPixelSize);
    bold = bold || key.find("bold") != std::string::npos;
    FT_Face face = openFace(fontFile(familyFor(key), bold), height);
    if (!face) return builtinFont(false);
    Font f;
    f.builtin = false;
    f.face = face;
    f.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    f.descent = static_cast<int>(-face->size->metrics.descender >> 6);
    return addFont(std::move(f));
}

void GrDestroyFont(GR_FONT_ID fontid)
{
    auto it = fonts.table.find(fontid);
    if (it == fonts.table.end()) return;
    if (it->second.face) FT_Done_Face(it->second.face);
    fonts.table.erase(it);
}

void GrGetGCTextSize(GR_GC_ID gc, void *str, int count, GR_TEXTFLAGS flags, GR_SIZE *retwidth, GR_SIZE *retheight,
                     GR_SIZE *retbase)
{
    NX_GC *g = NX_findGC(gc);
    Font &font = fontOf(g ? g->font : 0);
    int width = textWidth(font, decode(str, count, flags));
    if (retwidth) *retwidth = width;
    if (retheight) *retheight = font.ascent + font.descent;
    if (retbase) *retbase = font.ascent;
}

void GrText(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, void *str, GR_COUNT count, GR_TEXTFLAGS flags)
{
    NX_Target t;
    if (!str || !NX_prepareTarget(id, gc, &t)) return;
    Font &font = fontOf(t.gc->font);
    const std::vector<uint32_t> &text = decode(str, count, flags);
    int height = font.ascent + font.descent;
    int baseline = y;
    if (flags & GR_TFTOP) baseline = y + font.ascent;
    else if (flags & GR_TFBOTTOM) baseline = y - height + 1 + font.ascent;
    if (t.gc->useBackground) NX_fillRect(t, x, baseline - font.ascent, textWidth(font, text), height, t.gc->background);
    int pen = x;
    for (uint32_t ch : text) {
        const Glyph &g = glyphOf(font, ch);
        blendGlyph(t, g, pen, baseline);
        pen += g.advance;
    }
}
