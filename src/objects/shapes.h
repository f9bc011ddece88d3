// Basic shape objects: lines, rectangles, ovals, polygons, polylines, static
// texts and colour gradients. Each kind has its record (starting with the
// object record), a loader for its TEQ painter body, a notify function and a
// draw function. They draw through the graphics layer, evaluate their repaints
// through the painter blocks, and hand everything but drawing to the object
// table's default handler.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

struct LN_Line {
    OB_Object object;
    MPainter block; // all zero before version "d"
    int16_t x1, x2, y1, y2;
};

struct RC_Rectangle {
    OB_Object object;
    MPainter *block; // null before version "d"
};

struct OV_Oval {
    OB_Object object;
    MPainter *block; // null for "DefaultOvalP"
};

struct PG_Polygon {
    OB_Object object;
    MPainter *block; // null for "DefaultPolygoneP"
    uint16_t count;
    int16_t *xs, *ys; // count + 1 entries, the last repeating the first
};

struct PLN_Polyline {
    OB_Object object;
    uint16_t count;
    int16_t *xs, *ys;
};

struct TX_Text {
    OB_Object object;
    char *text;
    int32_t value1, value2; // stored from the file, not used for drawing
};

struct DV_Gradient {
    OB_Object object;
    MPainter *block; // null for "IDegradeVP"
};

OB_Object *LN_loadDefaultLine(int file, OB_Object *defaults);
OB_Object *RC_loadDefaultRectangle(int file, OB_Object *defaults);
OB_Object *OV_loadXOvalP(int file, OB_Object *defaults);
OB_Object *OV_loadDefaultOval(int file, OB_Object *defaults);
OB_Object *PG_loadXPolygoneP(int file, OB_Object *defaults);
OB_Object *PG_loadDefaultPolygone(int file, OB_Object *defaults);
OB_Object *PLN_loadDefaultPolyline(int file, OB_Object *defaults);
OB_Object *TX_loadDefaultText(int file, OB_Object *defaults);
OB_Object *loadDegradeH(int file, OB_Object *defaults);
OB_Object *loadDegradeV(int file, OB_Object *defaults);
OB_Object *loadXDegradeV(int file, OB_Object *defaults);

int32_t LN_notify(int id, int message, int a, void *b);
int32_t rectangleNotify(int id, int message, int a, void *b);
int32_t ovalNotify(int id, int message, int a, void *b);
int32_t polygoneNotify(int id, int message, int a, void *b);
int32_t PLN_notify(int id, int message, int a, void *b);
int32_t textNotify(int id, int message, int a, void *b);
int32_t degradeHNotify(int id, int message, int a, void *b);
int32_t degradeVNotify(int id, int message, int a, void *b);

// Draw functions: full 1 for a full redraw (200), 0 for a refresh (218).
void LN_drawObj(LN_Line *line, int full);
void RC_drawObj(RC_Rectangle *rectangle, int full);
void OV_drawObj(OV_Oval *oval, int full);
void PG_drawObj(PG_Polygon *polygon, int full);
void PLN_drawObj(PLN_Polyline *polyline, int full);
void TX_drawObj(TX_Text *text, int full);
void DH_drawObj(OB_Object *gradient, int full);
void DV_drawObj(DV_Gradient *gradient, int full);

void draw_vertical_gradient(const OB_Object *object, uint32_t startColor, uint32_t endColor);
void draw_horizontal_gradient(const OB_Object *object, uint32_t startColor, uint32_t endColor);
