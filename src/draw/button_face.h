// Button faces: the raised or sunken 3-D frame that image buttons, drop-down
// lists and scroll bars draw, and the arrow symbols of scroll buttons. Draws
// through the graphics layer.
#pragma once
#include <cstdint>

#define DM_GREY 0xFFBEBEBEu

// The 3-D frame of a button in the box (x, y, w, h): raised when pressed is 0,
// sunken otherwise; with frame above 0 the box is outlined in colour first.
void DM_DrawButton(int pressed, int x, int y, int w, int h, int frame, uint32_t colour);
// A filled triangle in the square (x, y, size, size) pointing up or down.
void DM_DrawArrow(int up, int x, int y, int size, uint32_t colour);
