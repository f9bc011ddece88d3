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
