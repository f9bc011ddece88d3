// Graphics layer: every drawing of the panel goes through these G_ calls, in
// page coordinates, into one graphics context. A frame is drawn into an
// off-screen pixmap and shown with one copy at its end. Owns the drawing state
// below and the boxes saved beneath objects drawn without fill; the main
// program opens the display and sets g_screen, g_main, g_gc and the screen
// size. Uses the font table, the image cache and the X bitmap reader of this
// folder; the focus frame is drawn through the hooks.
#pragma once
#include <cstdint>

#include "nanox/nano-X.h"

struct FO_FontRecord;

// Alignment bits of G_DrawText.
#define G_ALIGN_CENTER 1
#define G_ALIGN_RIGHT 2
#define G_ALIGN_MIDDLE 4
#define G_ALIGN_BOTTOM 8

// Line styles of G_DrawRect2, G_DrawPolygon2, G_DrawEllipse2 and G_DrawLine2.
#define G_STYLE_SOLID 0
#define G_STYLE_DASH 1 // 6 on, 4 off
#define G_STYLE_DOT 2  // 2 on, 2 off

extern GR_WINDOW_ID g_screen;    // the full-screen window
extern GR_WINDOW_ID g_offscreen; // the screen-sized pixmap of the frame
extern GR_DRAW_ID g_main;        // where the G_ calls draw: the pixmap during a frame, else the window
extern GR_GC_ID g_gc;
extern uint32_t g_color;           // foreground last set on g_gc
extern uint32_t g_BackgroundColor; // page background
extern int teqWidth, teqHeight;    // page size
extern int32_t g_screenWidth, g_screenHeight;
extern int g_GrFlushNotified; // frames ended since the last flush

int G_InitGraphDrv();
void G_FreeGraphDrv();
// Drops the frame's pixmap and the scratch points and sets every drawing
// variable back to its value before start-up (no window, context or font).
void G_reset();
void G_SetDirectWrite();
FO_FontRecord *G_GetFont();

void G_DrawViewBegin();
void G_DrawViewEnd();
// Ends a frame copying only box (and all of it when something was drawn
// onto the window outside a frame since the last whole copy); null: all.
void G_DrawViewEndArea(const GR_RECT *box);
// Whether the frame's pixmap is there for the current screen size, so that
// the next G_DrawViewBegin keeps its pixels.
int G_FrameKept();
// Whether something was drawn onto the window outside a frame since the
// frame was last copied whole (the next G_DrawViewEndArea copies it whole).
int G_WindowTouched();
// While set, drawing into the frame changes only the pixels inside box
// (null: no clip). Reading the frame is not clipped.
void G_SetFrameClip(const GR_RECT *box);

// The extent of what is drawn: between G_BeginExtent and G_EndExtent every
// drawing call adds the box its pixels lie in, unclipped (a text its clip box).
#define G_EXTENT_DRAWN 1    // something was drawn; box holds the bounding box
#define G_EXTENT_STATEFUL 2 // drew through state of its own (a decoded picture, a saved box)
void G_BeginExtent();
// Stops collecting; answers the G_EXTENT_ bits, box the bounding box.
int G_EndExtent(GR_RECT *box);
// Adds a box drawn by the layer's helpers (pictures); stateful as above.
void G_NoteDrawn(int x, int y, int w, int h, int stateful);

void G_SetSize(int width, int height);
void G_GetSize(int *width, int *height);
void G_GetResolution(int *width, int *height);
void G_ClearScreen();
void G_SetBackGroundColor(uint32_t c);
uint32_t G_GetBackGroundColor();
void G_SetColor(uint32_t c);
void G_SetFont(FO_FontRecord *font);

void G_SetPixel(int x, int y, uint32_t c);
void G_DrawLine(int x1, int y1, int x2, int y2, uint32_t c);
void G_DrawRect(int x, int y, int w, int h, uint32_t c);
void G_FillRect(int x, int y, int w, int h, uint32_t c);
void G_DrawRect2(int x, int y, int w, int h, uint32_t c, int style, int width);
void G_DrawPolygon(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c);
void G_FillPolygon(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c);
void G_DrawPolygon2(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t c, int style);
void G_DrawEllipse(int x, int y, int w, int h, uint32_t c);
void G_FillEllipse(int x, int y, int w, int h, uint32_t c);
void G_DrawEllipse2(int x, int y, int w, int h, uint32_t c, int style);
void G_Ellipse2(int x, int y, int w, int h, int fill, uint32_t fillColor, int border, uint32_t borderColor, int style);
void G_DrawXORRect(int direct, int x, int y, int w, int h);
// Inverts the pixels of the box (exclusive-or fill); direct as G_DrawXORRect.
void G_InvertRect(int direct, int x, int y, int w, int h);
// Thick, dashed and arrow-headed line; arrows: 1 at (x1, y1), 2 at (x2, y2), 3 both.
void G_DrawLine2(int x1, int y1, int x2, int y2, uint32_t c, int style, int width, int arrows);

// Saved boxes: what lies beneath an object that draws without a fill, copied
// from the frame by its owner's full drawing and put back before the owner
// draws again on a refresh. At most G_SAVED_AREAS owners at a time.
#define G_SAVED_AREAS 32
// Copies the box for owner (replacing its earlier copy); 0 when no room is left.
int G_SaveArea(const void *owner, int x, int y, int w, int h);
// Puts owner's copy back where it was taken; 0 when owner has none.
int G_RestoreArea(const void *owner);
void G_FreeArea(const void *owner);

void G_DrawText(const char *text, int x, int y, int w, int h, int align, uint32_t c);
int G_GetStringWidth(const char *text, FO_FontRecord *font);
// Draws a picture or X bitmap file; 1 when drawn, else 0 (a placeholder is drawn).
int G_DrawImage(const char *name, int x, int y, int w, int h);
