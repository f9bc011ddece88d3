// Focus navigation. Owns the list of navigation links (records in heap1) and
// the score tables; reads the objects' geometry and selectability from the
// object table, the screen size from the graphics layer, and moves the focus
// through the pointer and focus handling.
#include "input/navigation.h"

#include <cmath>

#include "data/containers.h"
#include "data/process_points.h"
#include "draw/graphics.h"
#include "input/input_events.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"
#include "view/object_table.h"
#include "view/painter_block.h"

const NAV_Table Mem_angle = {{64, 0}, {96, 32}, {128, 255}, {128, 255}, {160, 32}, {192, 0}};
const NAV_Table Mem_dist = {{0, 255}, {64, 50}, {128, 10}, {204, 2}, {254, 2}, {255, 2}};

namespace {

constexpr uint8_t kLinkMark = '/';

NAV_Link *firstLink;
NAV_Link *lastLink;

const struct {
    const char *name;
    uint32_t bit;
} kDirectionNames[] = {{"up", NAV_UP}, {"down", NAV_DOWN}, {"left", NAV_LEFT}, {"right", NAV_RIGHT}};

// The direction bit of a mark's text after the comma, 0 for none.
uint32_t directionBit(const char *text)
{
    for (const auto &d : kDirectionNames)
        if (stringicmp(text, d.name)) return d.bit;
    return 0;
}

// The directions of the marks "R,direction" among the repaints whose
// condition holds; the last mark's R is the reverse flag.
uint32_t linkDirections(const MPainter *block, int *reverse)
{
    uint32_t directions = 0;
    for (int i = 0; block && i < block->repaintCount; i++) {
        const MP_Repaint &r = block->repaints[i];
        const char *name = r.info.name;
        if (r.code != kLinkMark || !name || !name[0] || name[1] != ',') continue;
        if (!CO_evaluateLogicCondition(&r.condition)) continue;
        *reverse = name[0] >= '0' && name[0] <= '9' ? name[0] - '0' : 0;
        directions |= directionBit(name + 2);
    }
    return directions;
}

void centre(const OB_Object *o, int *x, int *y)
{
    *x = o->x + o->width / 2;
    *y = o->y + o->height / 2;
}

// The first link that starts on the focused object in exactly this direction
// and leads to another selectable object moves the focus there.
bool followLink(int direction)
{
    int focus = OB_getActualFocus();
    if (!OB_Get_Pointer(focus)) return false;
    for (const NAV_Link *link = firstLink; link; link = link->next) {
        if (link->directions != static_cast<uint32_t>(direction)) continue;
        if (OB_getSelectableObjectWithCoord(link->fromX, link->fromY) != focus) continue;
        int to = OB_getSelectableObjectWithCoord(link->toX, link->toY);
        if (to < 0 || to == focus) continue;
        MH_selectObject(to, 0);
        if (OB_getActualFocus() == to) return true;
    }
    return false;
}

} // namespace

void NAV_clearAll() { firstLink = lastLink = nullptr; }

int NAV_isNavigationObject(int id, const MPainter *block, int x1, int y1, int x2, int y2)
{
    // The objects of the container-initialisation page vanish, and heap1 with
    // them, right after loading: their lines make no links.
    if (CO_isITQloading()) return 0;
    int reverse = 0;
    uint32_t directions = linkDirections(block, &reverse);
    if (directions == 0) return 0;
    // The line's memory goes back to heap1 unless process points that its
    // conditions named were put on the read list behind it.
    auto line = reinterpret_cast<uintptr_t>(OB_Get_Pointer(id));
    auto lastPoint = reinterpret_cast<uintptr_t>(PPO_getList()->last);
    OB_Delete_Object(id);
    if (!line || lastPoint < line) OB_restoreMemFromDeletedObject(id);
    auto *link = static_cast<NAV_Link *>(MU_alloc(sizeof(NAV_Link)));
    if (!link) return static_cast<int>(directions);
    NAV_initObject(link, x1, y1, x2, y2, directions, reverse);
    NAV_addNewObject(link);
    return static_cast<int>(directions);
}

void NAV_initObject(NAV_Link *link, int x1, int y1, int x2, int y2, uint32_t directions, int reverse)
{
    bool firstStarts = x1 <= x2;
    int fromX = firstStarts ? x1 : x2, fromY = firstStarts ? y1 : y2;
    int toX = firstStarts ? x2 : x1, toY = firstStarts ? y2 : y1;
    if (reverse == 1) {
        int tx = fromX, ty = fromY;
        fromX = toX, fromY = toY, toX = tx, toY = ty;
    }
    link->directions = directions;
    link->fromX = static_cast<int16_t>(fromX);
    link->fromY = static_cast<int16_t>(fromY);
    link->toX = static_cast<int16_t>(toX);
    link->toY = static_cast<int16_t>(toY);
    link->next = nullptr;
}

void NAV_addNewObject(NAV_Link *link)
{
    if (lastLink) lastLink->next = link;
    else firstLink = link;
    lastLink = link;
}

const NAV_Link *NAV_firstLink() { return firstLink; }

void NAV_navigate(int direction)
{
    pterm.show_selection = 1;
    if (!followLink(direction)) NAV_navigate_fuzzy(direction);
}

void NAV_navigate_fuzzy(int direction)
{
    switch (direction) {
    case NAV_UP: navigate(NAV_ANGLE_UP); break;
    case NAV_DOWN: navigate(NAV_ANGLE_DOWN); break;
    case NAV_LEFT: navigate(NAV_ANGLE_LEFT); break;
    case NAV_RIGHT: navigate(NAV_ANGLE_RIGHT); break;
    default: break;
    }
}

void navigate(double angle)
{
    int count = OB_HowManyObjetcs();
    if (count == 0) return;
    int focus = OB_getActualFocus();
    bool started = !OB_Get_Pointer(focus);
    if (started) {
        focus = 0;
        OB_setActualFocus(0);
    }
    const OB_Object *from = OB_Get_Pointer(focus);
    if (!from) return;
    int cx, cy;
    centre(from, &cx, &cy);
    int best = -1;
    long bestScore = 0;
    for (int id = OB_GetFirstObject(); id < count; id++) {
        const OB_Object *o = OB_Get_Pointer(id);
        if (id == focus || !o || !OB_IsSelectable(id)) continue;
        int ox, oy, distance = 0;
        centre(o, &ox, &oy);
        long score = static_cast<long>(calculateDistMatch(cx, cy, ox, oy, &distance)) *
                     calculateAngleMatch(cx, cy, ox, oy, distance, angle);
        if (score > bestScore) best = id, bestScore = score;
    }
    // A search that started from object 0 only for want of a focus and found
    // nothing leaves no object in focus.
    if (best < 0 && started) OB_setActualFocus(-1);
    if (best >= 0) MH_selectObject(best, 0);
}

int calculateDistMatch(int x1, int y1, int x2, int y2, int *distance)
{
    double dx = x2 - x1, dy = y2 - y1;
    *distance = static_cast<int>(std::sqrt(dx * dx + dy * dy));
    int w, h;
    G_GetResolution(&w, &h);
    if (w == 0 && h == 0) return 0;
    int diagonal = static_cast<int>(std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h));
    if (diagonal == 0) return 0;
    return Interpolate_And_Fuzzify(Mem_dist, static_cast<int>(static_cast<long>(*distance) * 255 / diagonal));
}

int calculateAngleMatch(int x1, int y1, int x2, int y2, int distance, double angle)
{
    if (distance == 0) return 1;
    double ratio = static_cast<double>(x2 - x1) / distance;
    if (ratio > 1) ratio = 1;
    if (ratio < -1) ratio = -1;
    double theta = std::asin(ratio);
    if (y1 < y2) theta = 3.1416 - theta;
    if (theta < 0) theta += 6.2832;
    int index = static_cast<int>((theta + 9.4248 - angle) * 40.7436) % 256;
    return Interpolate_And_Fuzzify(Mem_angle, index);
}

int Interpolate_And_Fuzzify(const NAV_Table table, int x)
{
    if (table[0][0] != 0 && x <= table[0][0]) return table[0][1];
    for (int i = 1; i < 6; i++) {
        int x0 = table[i - 1][0], y0 = table[i - 1][1], x1 = table[i][0], y1 = table[i][1];
        if (x < x1) return static_cast<uint8_t>(y0 + (x - x0) * (y1 - y0) / (x1 - x0));
    }
    return table[5][1];
}
