// Bar graphs and circular gauges ("IBarGraphP", "CircularGaugeP"): a value
// shown as a filled bar between a minimum and a maximum, with a scale, two
// limit marks and a frame, or as a needle on a dial with ticks. Every
// parameter (value, range, limits, step, angles, orientation, direction) comes
// from the repaints, so it can follow process values. Owns the records
// (heap1) and their drawing; draws through the graphics layer and the button
// faces. The object takes no focus and has no actions.
#pragma once
#include <cstdint>

#include "view/object_table.h"
#include "view/painter_block.h"

#define BG_CLASS_ID 105
#define BG_TEXT_SIZE 256
#define BG_SCALE_BAND 10 // pixels the scale takes beside the bar

// Repaint property codes of the bar graph.
enum : uint8_t {
    BG_RR_VALUE = 5,
    BG_RR_MIN = 13,
    BG_RR_MAX = 14,
    BG_RR_LOW_MARK = 17,
    BG_RR_HIGH_MARK = 18,
    BG_RR_LOW_LIMIT = 19,
    BG_RR_HIGH_LIMIT = 20,
    BG_RR_STEP = 24,
    BG_RR_SCALE = 26,
    BG_RR_INVERTED = 31, // bar: inverted scale; gauge: clockwise
    BG_RR_GAUGE = 33,
    BG_RR_START_ANGLE = 34,
    BG_RR_END_ANGLE = 35,
    BG_RR_EDIT_FRAME = 44,
};

// What a gauge drew last: a refresh that changes it has the page drawn anew.
struct BG_Dial {
    uint8_t shown, needle, border, scale; // shown 0: nothing drawn yet
    int needleX, needleY;                 // the needle's outer end
    double start, sweep, min, max, step;  // the ticks, with the scale
};

struct BG_BarGraph {
    OB_Object object;
    MPainter block;
    int16_t barX, barY, barWidth, barHeight; // the bar last filled; width 0 when none
    char *text;                              // change-detection text of the last drawing (heap1)
    BG_Dial dial;                            // the gauge last drawn
    uint8_t wordsShown;                      // "Not available" is on the screen
};

// Loaders of "IBarGraphP" and "CircularGaugeP": the body is the painter block.
OB_Object *BG_loadBarGraphP(int file, OB_Object *defaults);
OB_Object *BG_loadCircularGaugeP(int file, OB_Object *defaults);
int32_t BarGraphPNotify(int id, int message, int a, void *b);
// full 1 for a full redraw (200), 0 for a refresh (218).
void BG_drawObj(BG_BarGraph *bar, int full);

// Gauge geometry, in degrees counted counter-clockwise from the positive x
// axis. The sweep from start to end: counter-clockwise 0 or more,
// clockwise 0 or less.
long long BG_getAngleRange(long long start, long long end, int clockwise);
// An angle brought to 0 or more by whole turns.
long long BG_positiveAngle(long long angle);
