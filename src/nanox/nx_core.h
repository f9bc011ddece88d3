// Display layer internals shared by its modules: drawables (the screen's
// windows and the pixmaps), graphics contexts, regions, the drawing target a
// primitive writes through, the event queue entry points of the backends, and
// the small interface every backend implements. Main thread only.
#pragma once
#include <cstdint>
#include <vector>

#include "nanox/nano-X.h"
#include "nanox/nx_png.h"

#define NX_DEFAULT_WIDTH 640
#define NX_DEFAULT_HEIGHT 480
#define NX_MAX_SIDE 8192 // largest screen side accepted from PANTERM_SCREEN
#define NX_OPAQUE 0xFF000000u

struct NX_Drawable {
    GR_ID id = 0;
    bool isWindow = false;
    // windows
    GR_ID parent = 0;
    int x = 0, y = 0; // relative to the parent
    bool mapped = false;
    GR_COLOR background = 0;
    GR_WM_PROPS props = 0;
    GR_EVENT_MASK events = 0;
    char title[64] = {};
    // both
    int width = 0, height = 0;
    // pixmaps and images: own pixels, 0xAABBGGRR; images keep their alpha
    std::vector<uint32_t> pixels;
    bool isImage = false;
};

struct NX_Region {
    std::vector<GR_RECT> rects;
};

struct NX_GC {
    int mode = GR_MODE_COPY;
    GR_COLOR foreground = WHITE;
    GR_COLOR background = BLACK;
    bool useBackground = true;
    GR_FONT_ID font = 0;
    GR_REGION_ID region = 0;
    int lineStyle = GR_LINE_SOLID;
    unsigned char dashes[32] = {};
    int dashCount = 0;
};

// Where a primitive writes: a pixel buffer, the drawable's visible rectangle in
// drawable coordinates, the origin of the drawable in that buffer, and the
// context's mode, colours and clip rectangles (drawable coordinates).
struct NX_Target {
    uint32_t *pixels = nullptr;
    int pitch = 0;                                        // pixels per row of the buffer
    int originX = 0;                                      // buffer x of drawable x 0
    int originY = 0;                                      // buffer y of drawable y 0
    int clipX1 = 0, clipY1 = 0, clipX2 = -1, clipY2 = -1; // visible area, inclusive
    const NX_GC *gc = nullptr;
    const std::vector<GR_RECT> *region = nullptr; // null: no clip region
    bool onScreen = false;
    bool opaque = true; // every pixel has alpha 0xFF (all but images)
};

// ---- drawables, contexts (nx_server.cpp, nx_raster.cpp) ----
NX_Drawable *NX_findDrawable(GR_ID id);
NX_GC *NX_findGC(GR_GC_ID gc);
GR_ID NX_newDrawableId();
NX_Drawable *NX_addDrawable(GR_ID id);
// Prepares a target for drawing into id with gc; false when nothing may be drawn
// (bad id, unmapped window, empty visible area). bounds, when given, is the
// rectangle (drawable coordinates) the operation writes into: only it counts
// as changed on the screen.
bool NX_prepareTarget(GR_DRAW_ID id, GR_GC_ID gc, NX_Target *target, const GR_RECT *bounds = nullptr);
// The same without a context (for reading a drawable, or for the server's own
// painting): no mode, no region, the screen is not marked as changed.
bool NX_prepareSource(GR_DRAW_ID id, NX_Target *target);
// Narrows a target for drawing into id to the write clip (nx_clip.cpp) when
// id is the clipped drawable; false when nothing is left to draw.
bool NX_applyWriteClip(GR_DRAW_ID id, NX_Target *target);
// Absolute screen position of a window and whether it and its ancestors are mapped.
bool NX_windowOnScreen(const NX_Drawable *window, int *absX, int *absY);
// Marks the whole screen as changed (the primitives mark what they may write).
void NX_markScreenChanged();
// The screen area (screen coordinates) written since the last take; false,
// with an empty area, when nothing was.
bool NX_takeScreenDamage(GR_RECT *area);
// Reports an error as the server does: to the error handler, else as an event.
void NX_reportError(const char *function, GR_ERROR code, GR_ID id);
// Rectangles of a region; null for an unknown (or destroyed) region.
const std::vector<GR_RECT> *NX_regionRects(GR_REGION_ID region);
// Frees contexts and regions (nx_raster.cpp) for GrClose.
void NX_resetRaster();

// ---- pixel writes (nx_raster.cpp) ----
// Writes colour with the target's mode to the pixels of row y from x1 to x2
// (drawable coordinates, inclusive) that lie in the visible area and region.
void NX_span(const NX_Target &t, int x1, int x2, int y, GR_COLOR colour);
void NX_fillRect(const NX_Target &t, int x, int y, int width, int height, GR_COLOR colour);
// Blends colour over the pixel with coverage 0..255 (copy mode), or applies
// the mode when coverage is at least 128 (other modes).
void NX_blendPixel(const NX_Target &t, int x, int y, GR_COLOR colour, int coverage);
// The same for count pixels of row y from x on, coverage[i] for pixel x + i.
void NX_blendSpan(const NX_Target &t, int x, int y, const uint8_t *coverage, int count, GR_COLOR colour);

// ---- fonts (nx_font.cpp) ----
void NX_resetFonts();

// ---- screen and events (nx_server.cpp) ----
uint32_t *NX_screenPixels();
int NX_screenWidth();
int NX_screenHeight();
uint32_t NX_elapsedMs(); // since the display was opened

// Input reported by a backend, in screen coordinates.
void NX_inputButton(int x, int y, bool down);
void NX_inputKey(GR_KEY ch, GR_KEYMOD modifiers, bool down);
void NX_inputClose();
void NX_inputExposeAll();
bool NX_eventPending();

// ---- remote view (nx_remote.cpp), main thread ----
// The screen as PNG, encoded now when it was written since its last encoding
// (only the bands of rows that changed), and published for the remote view;
// null when it cannot be encoded.
NX_PngBytes NX_screenPng();
// A finished frame is shown: encodes it at once when a viewer asked lately,
// else notes that the published picture is behind the screen.
void NX_remotePublish();
// Hands the queued remote input to the windows; encodes the screen when a
// viewer asked for a picture.
void NX_remoteDeliver();
// Waits up to ms milliseconds or until remote input or a frame request wakes it.
void NX_remoteSleep(int ms);
// Drops the picture, the encoder's bands and the queued input; remote input
// stays as switched.
void NX_remoteReset();
#define NX_REMOTE_POLL_MS 20 // the window's wait looks for remote input this often

// ---- backends ----
struct NX_Backend {
    const char *name;
    // Opens the output for a screen of width x height; false on failure.
    bool (*open)(int width, int height);
    void (*close)();
    // The screen changed and is to be shown now.
    void (*show)();
    // GrFlush after changes.
    void (*flushed)();
    // Waits up to timeoutMs (-1: without limit) for input, reporting it through
    // the NX_input functions; returns early once an event is queued.
    void (*wait)(int timeoutMs);
    void (*setTitle)(const char *title);
};

const NX_Backend *NX_sdlBackend();
const NX_Backend *NX_headlessBackend();
// SDL video can be started here (a display is reachable).
bool NX_sdlAvailable();
