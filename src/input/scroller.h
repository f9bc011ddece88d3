// Scroll bar: the vertical bar with an up button at the top and a down button
// at the bottom that lists and file viewers draw and hit-test. The bar is a
// plain record of its owner; these functions draw it through the graphics
// layer and answer where a point lies on it.
#pragma once
#include <cstdint>

#define SCROLLER_UP_GREY 0x1u
#define SCROLLER_DOWN_GREY 0x2u
#define SCROLLER_UP_PRESSED 0x4u
#define SCROLLER_DOWN_PRESSED 0x8u

// Steps a press on the bar yields: a line or a page of four lines.
#define SCROLLER_LINE_UP (-1)
#define SCROLLER_PAGE_UP (-4)
#define SCROLLER_PAGE_DOWN 4
#define SCROLLER_LINE_DOWN 1

struct SCROLLER_Bar {
    int16_t x, y, width, height;
    uint32_t background; // fill of the button squares
    uint32_t frame;      // outline, button faces and arrows
    uint32_t flags;      // SCROLLER_UP_GREY ...
};

void SCROLLER_Draw(const SCROLLER_Bar *bar);
// Enabled while both sides are above 0; disabling sets the rectangle to 0.
int SCROLLER_IsEnabled(const SCROLLER_Bar *bar);
void SCROLLER_SetEnabled(SCROLLER_Bar *bar, int enabled);
// Inside the bar, edges excluded.
int SCROLLER_IsPressed(const SCROLLER_Bar *bar, int x, int y);
// In the upper (lower) half: marks that half pressed, *step gets the step
// (a line on the button, a page on the track); 0 when the point is not there.
int SCROLLER_IsButtonUpPressed(SCROLLER_Bar *bar, int x, int y, int *step);
int SCROLLER_IsButtonDownPressed(SCROLLER_Bar *bar, int x, int y, int *step);
// In either half.
int SCROLLER_inBound(const SCROLLER_Bar *bar, int x, int y);
// Inverts the button of the half pressed at (x, y) straight on the screen;
// answers whether a step was found there.
int SCROLLER_drawPressedButtons(SCROLLER_Bar *bar, int x, int y);
void SCROLLER_resetEnabledState(SCROLLER_Bar *bar);
void SCROLLER_resetPressedState(SCROLLER_Bar *bar);
