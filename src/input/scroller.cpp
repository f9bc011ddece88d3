// Scroll bar: drawing and hit tests of a bar record its owner keeps.
#include "input/scroller.h"

#include "draw/button_face.h"
#include "draw/graphics.h"

namespace {

bool inColumn(const SCROLLER_Bar *b, int x) { return x > b->x && x < b->x + b->width; }
bool inUpperHalf(const SCROLLER_Bar *b, int x, int y) { return inColumn(b, x) && y > b->y && y < b->y + b->height / 2; }
bool inLowerHalf(const SCROLLER_Bar *b, int x, int y)
{
    return inColumn(b, x) && y > b->y + b->height / 2 && y < b->y + b->height;
}

void drawButton(const SCROLLER_Bar *b, int top, int up, bool grey, bool pressed)
{
    int w = b->width;
    G_FillRect(b->x, top, w - 1, w - 1, b->background);
    DM_DrawButton(0, b->x, top, w, w, 0, b->frame);
    DM_DrawArrow(up, b->x + 3, top + 3, w - 6, grey ? DM_GREY : b->frame);
    if (pressed) G_InvertRect(0, b->x + 1, top + 1, w - 2, w - 2);
}

} // namespace

void SCROLLER_Draw(const SCROLLER_Bar *bar)
{
    if (!SCROLLER_IsEnabled(bar)) return;
    G_DrawRect(bar->x, bar->y, bar->width, bar->height, bar->frame);
    drawButton(bar, bar->y, 1, bar->flags & SCROLLER_UP_GREY, bar->flags & SCROLLER_UP_PRESSED);
    drawButton(bar, bar->y + bar->height - bar->width, 0, bar->flags & SCROLLER_DOWN_GREY,
               bar->flags & SCROLLER_DOWN_PRESSED);
}

int SCROLLER_IsEnabled(const SCROLLER_Bar *bar) { return bar && bar->width > 0 && bar->height > 0; }

void SCROLLER_SetEnabled(SCROLLER_Bar *bar, int enabled)
{
    if (!bar || enabled) return;
    bar->x = bar->y = bar->width = bar->height = 0;
}

int SCROLLER_IsPressed(const SCROLLER_Bar *bar, int x, int y)
{
    return SCROLLER_IsEnabled(bar) && inColumn(bar, x) && y > bar->y && y < bar->y + bar->height;
}

int SCROLLER_IsButtonUpPressed(SCROLLER_Bar *bar, int x, int y, int *step)
{
    if (!bar || !inUpperHalf(bar, x, y)) return 0;
    bar->flags |= SCROLLER_UP_PRESSED;
    if (step) *step = y < bar->y + bar->width ? SCROLLER_LINE_UP : SCROLLER_PAGE_UP;
    return 1;
}

int SCROLLER_IsButtonDownPressed(SCROLLER_Bar *bar, int x, int y, int *step)
{
    if (!bar || !inLowerHalf(bar, x, y)) return 0;
    bar->flags |= SCROLLER_DOWN_PRESSED;
    if (step) *step = y <= bar->y + bar->height - bar->width ? SCROLLER_PAGE_DOWN : SCROLLER_LINE_DOWN;
    return 1;
}

int SCROLLER_inBound(const SCROLLER_Bar *bar, int x, int y)
{
    return bar && (inUpperHalf(bar, x, y) || inLowerHalf(bar, x, y));
}

int SCROLLER_drawPressedButtons(SCROLLER_Bar *bar, int x, int y)
{
    int step = 0;
    int top;
    if (SCROLLER_IsButtonUpPressed(bar, x, y, &step)) top = bar->y;
    else if (SCROLLER_IsButtonDownPressed(bar, x, y, &step)) top = bar->y + bar->height - bar->width;
    else return 0;
    G_InvertRect(1, bar->x, top, bar->width, bar->width);
    G_InvertRect(1, bar->x + 1, top + 1, bar->width - 2, bar->width - 2);
    return step != 0;
}

void SCROLLER_resetEnabledState(SCROLLER_Bar *bar)
{
    if (bar) bar->flags &= ~(SCROLLER_UP_GREY | SCROLLER_DOWN_GREY);
}

void SCROLLER_resetPressedState(SCROLLER_Bar *bar)
{
    if (bar) bar->flags &= ~(SCROLLER_UP_PRESSED | SCROLLER_DOWN_PRESSED);
}
