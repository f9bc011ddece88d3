// Graph objects ("IGraphicP"): a chart in a box of the page, with tick marks
// or grid lines, axis captions, and what the value source gives: a plot file
// (plot_file.h), the curves of a trend emitter, or a running line fed by a
// value "x,y". Owns the records (heap1), the mapping from values to pixels,
// the current drawing colour and the trend engine's entry points: the engine
// sits above the object kinds and registers them here at start-up; while
// none is registered a trend graph shows only its box and axes.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

#define GR_CLASS_ID 106
#define GR_LABEL_SIZE 41  // an axis caption: at most 40 characters
#define GR_RUN_POINTS 50  // points a running line keeps
#define GR_VALUE_SIZE 256 // a running line's value text
#define GR_TREND_PREFIX "@MACRO"

// Repaint property codes of the graph.
enum : uint8_t {
    GR_RR_SOURCE = 5,
    GR_RR_X_SCALE = 25,
    GR_RR_Y_SCALE = 26,
};

enum { GR_AXIS_X = 0, GR_AXIS_Y = 1 };

struct GR_Graph {
    OB_Object object;
    MPainter block;
    double xmin, xmax, ymin, ymax;
    double xspan, yspan;
    double xscale, yscale; // pixels per unit
    double xstep, ystep;   // tick or grid spacing
    double xunit[2], yunit[2];
    char xlabel[GR_LABEL_SIZE], ylabel[GR_LABEL_SIZE];
    uint8_t autoXStep; // the x step follows the x span (span / 10)
    uint8_t xScaleOn, yScaleOn, xGrid, yGrid;
    uint32_t lineColor, fillColor; // of the drawing in progress, after the repaints
    int32_t pointCapacity;         // points the running line keeps, at most GR_RUN_POINTS
    int32_t runCount;
    double runX[GR_RUN_POINTS], runY[GR_RUN_POINTS]; // the running line, oldest first
    char runText[GR_VALUE_SIZE];                     // the value the running line last took
    void *emitter;                                   // the trend engine's emitter, null when none
};

// The trend engine's entry points. width and height shrink the plot area by
// the room the engine's value scales take, adjust moves its origin.
struct GR_TrendEngine {
    void (*parse)(GR_Graph *graph, const char *name); // binds and parses, each draw
    void (*paint)(GR_Graph *graph);                   // commands, then curves, after the grid
    void (*mouse)(GR_Graph *graph, int x, int y);     // a touch on the graph
    void (*width)(const GR_Graph *graph, int *width);
    void (*height)(const GR_Graph *graph, int *height);
    void (*adjust)(const GR_Graph *graph, int *x, int *y);
    int (*hasNewData)(const GR_Graph *graph); // a refresh must draw the graph
};

// Registers the engine (null: none). Kept until GR_reset.
void GR_setTrendEngine(const GR_TrendEngine *engine);
// No engine, drawing colour black.
void GR_reset();

OB_Object *loadGraphicP(int file, OB_Object *defaults);
int32_t notifyGraphicP(int id, int message, int a, void *b);
void GR_InitDefaultValue(GR_Graph *graph);
// full 1 for a full redraw (200), 0 for a refresh (218).
void GR_drawObj(GR_Graph *graph, int full);
// Whether a source name names a trend emitter.
int GR_isTrendSource(int type, const char *name);

// Ranges. A range that is not finite is refused; a reversed one is swapped
// and an empty one is one unit wide. Spans and scales follow, and with the
// auto x step the x step.
void GR_setXRange(GR_Graph *graph, double xmin, double xmax);
void GR_setYRange(GR_Graph *graph, double ymin, double ymax);
// Spans and scales again, after the plot area changed.
void GR_updateScales(GR_Graph *graph);
// The plot area: the box as the trend engine adjusts it.
void GR_plotArea(const GR_Graph *graph, int *x, int *y, int *width, int *height);
// The pixel of a value pair; the x value of a pixel column.
void GR_computePointsInRange(const GR_Graph *graph, double vx, double vy, int *px, int *py);
double GR_xValueAt(const GR_Graph *graph, int px);
// A pixel coordinate of a computed position, truncated toward zero and kept
// within what the display can take.
int GR_pixel(double position);

// Drawing in values. A segment wholly outside one side of the ranges is left
// out; otherwise its ends are clamped into the ranges.
void GR_drawLineF(const GR_Graph *graph, double x1, double y1, double x2, double y2);
void GR_drawStringF(const GR_Graph *graph, double x, double y, const char *text);
void GR_drawScale(const GR_Graph *graph, int axis, double step, uint32_t colour);
uint32_t GR_getGrColor();
void GR_setGrColor(uint32_t colour);
