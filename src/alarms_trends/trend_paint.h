// Trend drawing: an emitter's curves in its graph (each source in its colour
// and on its own value scale, runs of equal values as one line, status
// points as flags), the value scales beside the plot, the cursor and the
// text that a touch on the graph writes; and the room the value scales take
// from the plot. Draws through the graph object; keeps no state.
#pragma once

struct EM_Emitter;
struct GR_Graph;

#define EM_SCALE_WIDTH 30 // pixels of one value scale beside the plot

void EM_drawCurves(EM_Emitter *emitter);
// A touch at (x, y): the cursor moves there and "ActiveTrendsMouseDownVal."
// tells the values at it.
void EM_userClic(EM_Emitter *emitter, int x, int y);
// The plot area with the value scales taken off (EM_getWidth, EM_getHeight)
// and its origin moved past them (EM_adjustPoint).
void EM_getWidth(const GR_Graph *graph, int *width);
void EM_getHeight(const GR_Graph *graph, int *height);
void EM_adjustPoint(const GR_Graph *graph, int *x, int *y);
