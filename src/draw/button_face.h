// Button faces: the raised or sunken 3-D frame that image buttons, drop-down
// lists and scroll bars draw, the sunken frame of edit fields, and the arrow
// symbols of scroll buttons. Draws through the graphics layer.
#pragma once
#include <cstdint>

#define DM_GREY 0xFFBEBEBEu
#define DM_LIGHT_GREY 0xFFD3D3D3u

// The 3-D frame of a button in the box (x, y, w, h): raised when pressed is 0,
// sunken otherwise; with frame above 0 the box is outlined in colour first.
void DM_DrawButton(int pressed, int x, int y, int w, int h, int frame, uint32_t colour);
// The sunken frame of an edit field around the box (x, y, w, h); a label
// that is not empty is drawn at (x + 3, y + 10) in colour.
void DM_DrawEditField(const char *label, int x, int y, int w, int h, uint32_t colour);
// A filled triangle in the square (x, y, size, size) pointing up or down.
void DM_DrawArrow(int up, int x, int y, int size, uint32_t colour);

// Symbols of list buttons, drawn in the largest square centred in the box
// (x, y, w, h); triangles span from inset to the side minus inset.
enum : int {
    DM_SYMBOL_RIGHT_FILLED = 5,
    DM_SYMBOL_UP_FILLED = 7,
    DM_SYMBOL_DOWN_FILLED = 8,
    DM_SYMBOL_RIGHT = 9,
    DM_SYMBOL_LEFT = 10,
    DM_SYMBOL_UP = 11,
    DM_SYMBOL_DOWN = 12,
    DM_SYMBOL_SQUARE = 15,
    DM_SYMBOL_BARS = 16,
    DM_SYMBOL_POWER = 21,
};
void DM_DrawSymbolB(int symbol, int x, int y, int w, int h, uint32_t colour, int inset);
void DM_DrawSymbol(int symbol, int x, int y, int w, int h, uint32_t colour);
