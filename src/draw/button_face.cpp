// Button faces: 3-D frames and arrow symbols, drawn with the graphics layer.
#include "draw/button_face.h"

#include "draw/graphics.h"

void DM_DrawButton(int pressed, int x, int y, int w, int h, int frame, uint32_t colour)
{
    if (frame > 0) G_DrawRect(x, y, w, h, colour);
    if (pressed) {
        G_DrawRect(x + 1, y + 1, w - 2, h - 2, DM_GREY);
        return;
    }
    G_DrawLine(x + 1, y + 1, x + w - 2, y + 1, 0xFFFFFFFFu);
    G_DrawLine(x + 1, y + 1, x + 1, y + h - 2, 0xFFFFFFFFu);
    G_DrawLine(x + w - 2, y + 2, x + w - 2, y + h - 2, DM_GREY);
    G_DrawLine(x + 2, y + h - 2, x + w - 3, y + h - 2, DM_GREY);
}

void DM_DrawEditField(const char *label, int x, int y, int w, int h, uint32_t colour)
{
    if (label && label[0]) G_DrawText(label, x + 3, y + 10, w - 3, h - 10, 0, colour);
    const uint32_t black = 0xFF000000u, light = 0xFFD3D3D3u, white = 0xFFFFFFFFu;
    G_DrawLine(x, y, x + w - 2, y, DM_GREY);
    G_DrawLine(x, y, x, y + h - 2, DM_GREY);
    G_DrawLine(x + 1, y + 1, x + w - 3, y + 1, black);
    G_DrawLine(x + 1, y + 1, x + 1, y + h - 3, black);
    G_DrawLine(x + 1, y + h - 2, x + w - 2, y + h - 2, light);
    G_DrawLine(x + w - 2, y + 1, x + w - 2, y + h - 3, light);
    G_DrawLine(x, y + h - 1, x + w - 1, y + h - 1, white);
    G_DrawLine(x + w - 1, y, x + w - 1, y + h - 1, white);
}

void DM_DrawArrow(int up, int x, int y, int size, uint32_t colour)
{
    if (size < 2) return;
    int16_t left = static_cast<int16_t>(x), right = static_cast<int16_t>(x + size - 1);
    int16_t middle = static_cast<int16_t>(x + (size - 1) / 2);
    int16_t top = static_cast<int16_t>(y + size / 4), bottom = static_cast<int16_t>(y + size - 1 - size / 4);
    int16_t tip = up ? top : bottom, base = up ? bottom : top;
    const int16_t xs[4] = {left, right, middle, left};
    const int16_t ys[4] = {base, base, tip, base};
    G_FillPolygon(xs, ys, 3, 0, 0, colour);
    G_DrawPolygon(xs, ys, 4, 0, 0, colour);
}

namespace {

// A triangle in the square at (x, y): its three corners as offsets in the square.
void drawTriangle(int x, int y, const int16_t (&corners)[6], int filled, uint32_t colour)
{
    const int16_t xs[4] = {static_cast<int16_t>(x + corners[0]), static_cast<int16_t>(x + corners[2]),
                           static_cast<int16_t>(x + corners[4]), static_cast<int16_t>(x + corners[0])};
    const int16_t ys[4] = {static_cast<int16_t>(y + corners[1]), static_cast<int16_t>(y + corners[3]),
                           static_cast<int16_t>(y + corners[5]), static_cast<int16_t>(y + corners[1])};
    if (filled) G_FillPolygon(xs, ys, 3, 0, 0, colour);
    G_DrawPolygon(xs, ys, 4, 0, 0, colour);
}

bool drawTriangleSymbol(int symbol, int x, int y, int low, int high, uint32_t colour)
{
    int16_t a = static_cast<int16_t>(low), b = static_cast<int16_t>(high), m = static_cast<int16_t>((low + high) / 2);
    switch (symbol) {
    case DM_SYMBOL_RIGHT_FILLED: drawTriangle(x, y, {a, a, a, b, b, m}, 1, colour); return true;
    case DM_SYMBOL_UP_FILLED: drawTriangle(x, y, {a, b, b, b, m, a}, 1, colour); return true;
    case DM_SYMBOL_DOWN_FILLED: drawTriangle(x, y, {a, a, b, a, m, b}, 1, colour); return true;
    case DM_SYMBOL_RIGHT: drawTriangle(x, y, {a, a, a, b, b, m}, 0, colour); return true;
    case DM_SYMBOL_LEFT: drawTriangle(x, y, {b, a, b, b, a, m}, 0, colour); return true;
    case DM_SYMBOL_UP: drawTriangle(x, y, {a, b, b, b, m, a}, 0, colour); return true;
    case DM_SYMBOL_DOWN: drawTriangle(x, y, {a, a, b, a, m, b}, 0, colour); return true;
    default: return false;
    }
}

} // namespace

void DM_DrawSymbolB(int symbol, int x, int y, int w, int h, uint32_t colour, int inset)
{
    int side = w < h ? w : h;
    if (side <= 0 || inset < 0 || 2 * inset >= side) return;
    int sx = x + (w - side) / 2, sy = y + (h - side) / 2;
    int low = inset, high = side - 1 - inset, span = high - low + 1;
    if (drawTriangleSymbol(symbol, sx, sy, low, high, colour)) return;
    switch (symbol) {
    case DM_SYMBOL_SQUARE: G_FillRect(sx + low, sy + low, span, span, colour); break;
    case DM_SYMBOL_BARS:
        G_FillRect(sx + low, sy + low, span / 3, span, colour);
        G_FillRect(sx + high + 1 - span / 3, sy + low, span / 3, span, colour);
        break;
    case DM_SYMBOL_POWER:
        G_FillEllipse(sx + low, sy + low, span, span, colour);
        G_DrawLine(sx + low + span / 2, sy + low + span / 4, sx + low + span / 2, sy + low + span / 2, 0xFFFFFFFFu);
        break;
    default: break;
    }
}

void DM_DrawSymbol(int symbol, int x, int y, int w, int h, uint32_t colour)
{
    DM_DrawSymbolB(symbol, x, y, w, h, colour, 0);
}
