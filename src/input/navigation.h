// Focus navigation: the navigation links that the page draws as marked lines,
// and the geometric search that moves the focus with the arrow keys. Links
// live in heap1 and are forgotten with it. Main thread only.
#pragma once
#include <cstdint>

struct MPainter;

// Direction codes.
#define NAV_UP 1
#define NAV_DOWN 2
#define NAV_LEFT 4
#define NAV_RIGHT 8

// Direction angles in radians, clockwise from up.
#define NAV_ANGLE_UP 0.0
#define NAV_ANGLE_RIGHT 1.5708
#define NAV_ANGLE_DOWN 3.141
#define NAV_ANGLE_LEFT 4.7124

struct NAV_Link {
    uint32_t directions;
    int16_t fromX, fromY, toX, toY;
    NAV_Link *next;
};

// Empties the navigation list (its records live in heap1).
void NAV_clearAll();
// A line of a newer file, object id with its painter block and end points:
// when its repaints mark it as a navigation link, the line is removed from the
// page and the link added; answers the direction bits found, 0 for an ordinary
// line (kept).
int NAV_isNavigationObject(int id, const MPainter *block, int x1, int y1, int x2, int y2);
void NAV_initObject(NAV_Link *link, int x1, int y1, int x2, int y2, uint32_t directions, int reverse);
void NAV_addNewObject(NAV_Link *link);
// The first link of the list, null when there is none.
const NAV_Link *NAV_firstLink();

// One arrow key press: links first, then the geometric search.
void NAV_navigate(int direction);
void NAV_navigate_fuzzy(int direction);
// The geometric search for a direction angle.
void navigate(double angle);

// Scoring: tables of six (x, y) points of a curve over 0..255.
typedef uint8_t NAV_Table[6][2];
extern const NAV_Table Mem_angle;
extern const NAV_Table Mem_dist;
int calculateDistMatch(int x1, int y1, int x2, int y2, int *distance);
int calculateAngleMatch(int x1, int y1, int x2, int y2, int distance, double angle);
int Interpolate_And_Fuzzify(const NAV_Table table, int x);
