// Graph objects: loading, ranges and the value-to-pixel mapping, scales and
// captions, the running line, the drawing pass with its repaints, presses,
// and the trend engine's registration.
#include "objects/graph.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "comm/target_link.h"
#include "draw/graphics.h"
#include "input/actions.h"
#include "objects/objects.h"
#include "objects/plot_file.h"
#include "runtime/str_util.h"
#include "view/painter_loader.h"
#include "view/value_sources.h"
#include "view/view_manager.h"

namespace {

constexpr double kPixelLimit = 1e6;
constexpr uint32_t kBlack = 0xFF000000u;

const GR_TrendEngine *engine = nullptr;
uint32_t drawColor = kBlack;

// What the repaint pass leaves for drawing.
struct Look {
    int fill, border, xScale, yScale;
    uint32_t fillColor, lineColor;
    int sourceType;
    const char *sourceName;
};

GR_Graph *graphOf(int id) { return reinterpret_cast<GR_Graph *>(OB_Get_Pointer(id)); }

// A range made drawable: false when it is not finite.
bool saneRange(double *low, double *high)
{
    if (!std::isfinite(*low) || !std::isfinite(*high)) return false;
    if (*high < *low) {
        double t = *low;
        *low = *high, *high = t;
    }
    // An empty range is widened by one unit, or by a millionth of its value
    // where one unit is lost in the value's precision.
    if (!(*high > *low)) *high = *low + std::fmax(1.0, std::fabs(*low) * 1e-6);
    return *high > *low && std::isfinite(*high - *low);
}

double clampInto(double v, double low, double high) { return v < low ? low : (v > high ? high : v); }

bool inBox(const OB_Object &o, const OB_Point *p)
{
    return p && p->x >= o.x && p->x < o.x + o.width && p->y >= o.y && p->y < o.y + o.height;
}

// ---- scales -------------------------------------------------------------------------------

// The step to use: 0 takes a tenth of the span; false when no tick is drawn.
bool usableStep(double span, int pixels, double *step)
{
    if (*step == 0.0) *step = span / 10.0;
    if (!(*step > 0.0) || !std::isfinite(*step)) return false;
    return span / *step <= pixels;
}

int tickLength(double index) { return std::fmod(index, 5.0) == 0.0 ? 4 : 2; }

void xTick(const GR_Graph *g, double v, double oy, int length, const int area[4], uint32_t colour)
{
    int px, py;
    if (g->xGrid) {
        GR_computePointsInRange(g, v, g->ymax, &px, &py);
        G_FillRect(px, py, 1, area[3], colour);
        return;
    }
    GR_computePointsInRange(g, v, oy, &px, &py);
    G_FillRect(px, py - length + 1, 1, length, colour);
}

void yTick(const GR_Graph *g, double v, double ox, int length, const int area[4], uint32_t colour)
{
    int px, py;
    if (g->yGrid) {
        GR_computePointsInRange(g, g->xmin, v, &px, &py);
        G_FillRect(px, py, area[2], 1, colour);
        return;
    }
    GR_computePointsInRange(g, ox, v, &px, &py);
    G_FillRect(px, py, length, 1, colour);
}

// ---- running line -------------------------------------------------------------------------

bool readPair(const char *text, double *x, double *y)
{
    return std::sscanf(text, "%lf,%lf", x, y) == 2 && std::isfinite(*x) && std::isfinite(*y);
}

void appendRunPoint(GR_Graph *g, double x, double y)
{
    int capacity = g->pointCapacity > 0 && g->pointCapacity <= GR_RUN_POINTS ? g->pointCapacity : GR_RUN_POINTS;
    if (g->runCount >= capacity) {
        int drop = g->runCount - capacity + 1;
        std::memmove(g->runX, g->runX + drop, sizeof(double) * static_cast<size_t>(g->runCount - drop));
        std::memmove(g->runY, g->runY + drop, sizeof(double) * static_cast<size_t>(g->runCount - drop));
        g->runCount -= drop;
    }
    g->runX[g->runCount] = x;
    g->runY[g->runCount] = y;
    g->runCount++;
}

// Takes the next point of the running line. A container's line pages: when
// x leaves the range, the range starts at x. A process point's line scrolls:
// the range ends at x. A value going back in x starts the line afresh.
void takeRunPoint(GR_Graph *g, const char *text, bool scrolls)
{
    safe_strncpy(g->runText, text, sizeof g->runText);
    double x, y;
    if (!readPair(text, &x, &y)) return;
    if (g->runCount > 0) {
        double last = g->runX[g->runCount - 1];
        if (x == last) return;
        if (x < last) g->runCount = 0;
    }
    appendRunPoint(g, x, y);
    if (x >= g->xmin && x <= g->xmax) return;
    double span = g->xspan;
    if (scrolls && x > g->xmax) GR_setXRange(g, x - span, x);
    else GR_setXRange(g, x, x + span);
}

void drawRunningLine(const GR_Graph *g)
{
    for (int i = 1; i < g->runCount; i++) GR_drawLineF(g, g->runX[i - 1], g->runY[i - 1], g->runX[i], g->runY[i]);
}

// The value text of a running line's source into text (GR_VALUE_SIZE bytes).
void readRunText(int type, const char *name, char *text)
{
    text[0] = '\0';
    if (type == SourceType_CO) RW_readSource(text, name, type);
    else Tarsel_readVal(name, text, GR_VALUE_SIZE);
}

// ---- drawing -----------------------------------------------------------------------------

// The repaint pass; false when a hide repaint holds.
bool repaintPass(const GR_Graph *g, Look *look)
{
    const OB_Object &o = g->object;
    *look = {OB_GetStatusBit(&o, OB_STATUS_FILL),
             OB_GetStatusBit(&o, OB_STATUS_BORDER),
             g->xScaleOn,
             g->yScaleOn,
             o.fillColor,
             o.lineColor,
             SourceType_UNDEFINED,
             nullptr};
    for (int i = 0; i < g->block.repaintCount; i++) {
        const MP_Repaint &r = g->block.repaints[i];
        if (!CO_evaluateLogicCondition(&r.condition)) continue;
        switch (r.code) {
        case RR_HIDE:
        case RR_HIDE_51: return false;
        case GR_RR_SOURCE:
            look->sourceType = r.info.type;
            look->sourceName = r.info.name;
            break;
        case GR_RR_X_SCALE: look->xScale = 1; break;
        case GR_RR_Y_SCALE: look->yScale = 1; break;
        case RR_LINE_COLOR: look->lineColor = getColorInfo(&r.info); break;
        case RR_FILL_COLOR: look->fillColor = getColorInfo(&r.info); break;
        default: break;
        }
    }
    return true;
}

void drawName(const OB_Object &o, const char *name, uint32_t colour)
{
    G_SetFont(o.font);
    G_DrawText(name, o.x + 2, o.y + 2, o.width - 4, o.height - 4, G_ALIGN_CENTER | G_ALIGN_MIDDLE, colour);
}

void paintSource(GR_Graph *g, const Look &look)
{
    const OB_Object &o = g->object;
    const char *name = look.sourceName ? look.sourceName : "";
    if (GR_isTrendSource(look.sourceType, name)) {
        if (engine && !VM_isGainingFocus()) engine->parse(g, name);
        return;
    }
    switch (look.sourceType) {
    case SourceType_FILE:
        if (look.fill) G_FillRect(o.x, o.y, o.width, o.height, look.fillColor);
        GR_parseFile(g, name);
        break;
    case SourceType_CO:
    case SourceType_PPO: {
        char text[GR_VALUE_SIZE];
        readRunText(look.sourceType, name, text);
        takeRunPoint(g, text, look.sourceType == SourceType_PPO);
        GR_setGrColor(look.lineColor);
        drawRunningLine(g);
        break;
    }
    default: drawName(o, name, look.lineColor); break;
    }
}

void drawAxes(const GR_Graph *g, const Look &look)
{
    const OB_Object &o = g->object;
    if (look.xScale) GR_drawScale(g, GR_AXIS_X, g->xstep, look.lineColor);
    if (look.yScale) GR_drawScale(g, GR_AXIS_Y, g->ystep, look.lineColor);
    G_SetFont(o.font);
    if (g->xlabel[0])
        G_DrawText(g->xlabel, o.x, o.y, o.width, o.height, G_ALIGN_RIGHT | G_ALIGN_BOTTOM, look.lineColor);
    if (g->ylabel[0]) G_DrawText(g->ylabel, o.x, o.y, o.width, o.height, 0, look.lineColor);
}

// What lies beneath a graph without fill: kept by the full drawing and put
// back by a refresh (the page background when it could not be kept).
void keepBackdrop(const GR_Graph *g, int full)
{
    const OB_Object &o = g->object;
    if (full) G_SaveArea(g, o.x, o.y, o.width, o.height);
    else if (!G_RestoreArea(g)) G_FillRect(o.x, o.y, o.width, o.height, G_GetBackGroundColor());
}

// Whether a refresh has to draw the graph: new trend data, or a running line
// whose value changed.
bool refreshWanted(GR_Graph *g)
{
    Look look;
    if (!repaintPass(g, &look)) return false;
    const char *name = look.sourceName ? look.sourceName : "";
    if (GR_isTrendSource(look.sourceType, name)) return g->emitter && engine && engine->hasNewData(g);
    if (look.sourceType != SourceType_CO && look.sourceType != SourceType_PPO) return false;
    char text[GR_VALUE_SIZE];
    readRunText(look.sourceType, name, text);
    return std::strncmp(text, g->runText, sizeof text) != 0;
}

// Runs the actions of the press trigger; 1 when any ran.
int executeAction(GR_Graph *g, const OB_Point *point)
{
    int counter = 0;
    for (int i = 0; i < g->block.actionCount; i++) {
        const MP_Action *action = &g->block.actions[i];
        if (action->trigger == AC_TRIGGER_PRESS && CO_evaluateLogicCondition(&action->condition))
            AC_executeActionBtnP(&g->object, action, &counter);
    }
    if (engine && g->emitter) engine->mouse(g, point->x, point->y);
    return counter > 0;
}

int pointerDown(GR_Graph *g, int id, const OB_Point *point)
{
    if (!inBox(g->object, point) || AC_isDisabled(&g->object, g->block.actions, g->block.actionCount)) return -1;
    return executeAction(g, point) ? id : -1;
}

} // namespace

void GR_setTrendEngine(const GR_TrendEngine *e) { engine = e; }

void GR_reset()
{
    engine = nullptr;
    drawColor = kBlack;
}

int GR_isTrendSource(int type, const char *name) { return type == SourceType_CO && prefixcmp(name, GR_TREND_PREFIX); }

uint32_t GR_getGrColor() { return drawColor; }
void GR_setGrColor(uint32_t colour) { drawColor = colour; }

int GR_pixel(double v)
{
    if (std::isnan(v)) return 0;
    if (v > kPixelLimit) v = kPixelLimit;
    if (v < -kPixelLimit) v = -kPixelLimit;
    return static_cast<int>(v);
}

void GR_plotArea(const GR_Graph *g, int *x, int *y, int *width, int *height)
{
    *x = g->object.x, *y = g->object.y, *width = g->object.width, *height = g->object.height;
    if (!engine || !g->emitter) return;
    engine->width(g, width);
    engine->height(g, height);
    engine->adjust(g, x, y);
}

// The range maps onto the plot's pixels, its ends onto the first and the
// last of them.
void GR_updateScales(GR_Graph *g)
{
    int x, y, w, h;
    GR_plotArea(g, &x, &y, &w, &h);
    g->xspan = g->xmax - g->xmin;
    g->yspan = g->ymax - g->ymin;
    g->xscale = w > 1 ? (w - 1) / g->xspan : 0.0;
    g->yscale = h > 1 ? (h - 1) / g->yspan : 0.0;
}

void GR_setXRange(GR_Graph *g, double xmin, double xmax)
{
    if (!saneRange(&xmin, &xmax)) return;
    g->xmin = xmin, g->xmax = xmax;
    GR_updateScales(g);
    if (g->autoXStep) g->xstep = g->xspan / 10.0;
}

void GR_setYRange(GR_Graph *g, double ymin, double ymax)
{
    if (!saneRange(&ymin, &ymax)) return;
    g->ymin = ymin, g->ymax = ymax;
    GR_updateScales(g);
}

void GR_computePointsInRange(const GR_Graph *g, double vx, double vy, int *px, int *py)
{
    *px = g->object.x + GR_pixel((vx - g->xmin) * g->xscale);
    *py = g->object.y + GR_pixel((g->ymax - vy) * g->yscale);
    if (engine && g->emitter) engine->adjust(g, px, py);
}

double GR_xValueAt(const GR_Graph *g, int px)
{
    int x, y, w, h;
    GR_plotArea(g, &x, &y, &w, &h);
    if (!(g->xscale > 0.0)) return g->xmin;
    return g->xmin + (px - x) / g->xscale;
}

void GR_drawLineF(const GR_Graph *g, double x1, double y1, double x2, double y2)
{
    if ((x1 < g->xmin && x2 < g->xmin) || (x1 > g->xmax && x2 > g->xmax) || (y1 < g->ymin && y2 < g->ymin) ||
        (y1 > g->ymax && y2 > g->ymax))
        return;
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return;
    int ax, ay, bx, by;
    GR_computePointsInRange(g, clampInto(x1, g->xmin, g->xmax), clampInto(y1, g->ymin, g->ymax), &ax, &ay);
    GR_computePointsInRange(g, clampInto(x2, g->xmin, g->xmax), clampInto(y2, g->ymin, g->ymax), &bx, &by);
    if (ax == bx && ay == by) {
        G_SetPixel(ax, ay, drawColor);
        return;
    }
    G_DrawLine2(ax, ay, bx, by, drawColor, g->object.lineStyle, g->object.lineWidth, 0);
}

void GR_drawStringF(const GR_Graph *g, double x, double y, const char *text)
{
    int px, py;
    GR_computePointsInRange(g, x, y, &px, &py);
    const OB_Object &o = g->object;
    G_SetFont(o.font);
    G_DrawText(text, px, py, o.x + o.width - px, o.y + o.height - py, 0, drawColor);
}

void GR_drawScale(const GR_Graph *g, int axis, double step, uint32_t colour)
{
    int area[4];
    GR_plotArea(g, &area[0], &area[1], &area[2], &area[3]);
    double ox = clampInto(0.0, g->xmin, g->xmax), oy = clampInto(0.0, g->ymin, g->ymax);
    bool x = axis == GR_AXIS_X;
    double low = x ? g->xmin : g->ymin, high = x ? g->xmax : g->ymax, origin = x ? ox : oy;
    if (!usableStep(high - low, x ? area[2] : area[3], &step)) return;
    // At most one tick per pixel and two more: a step below the precision of
    // the values would not move v.
    int ticks = (x ? area[2] : area[3]) + 2;
    double i = std::trunc((low - origin) / step);
    int length = tickLength(i);
    for (double v = origin + i * step; v <= high && ticks-- > 0; i += 1.0, v = origin + i * step) {
        length = tickLength(i);
        if (x) xTick(g, v, oy, length, area, colour);
        else yTick(g, v, ox, length, area, colour);
    }
    if (x) xTick(g, high, oy, length, area, colour);
    else yTick(g, high, ox, length, area, colour);
}

void GR_InitDefaultValue(GR_Graph *g)
{
    g->xmin = 0.0, g->xmax = 100.0, g->ymin = 0.0, g->ymax = 100.0;
    g->xstep = 10.0, g->ystep = 10.0;
    g->xunit[0] = g->xunit[1] = g->yunit[0] = g->yunit[1] = 0.0;
    g->xlabel[0] = g->ylabel[0] = '\0';
    g->autoXStep = 0;
    g->xScaleOn = g->yScaleOn = g->xGrid = g->yGrid = 0;
    g->pointCapacity = GR_RUN_POINTS;
    g->runCount = 0;
    g->runText[0] = '\0';
    g->emitter = nullptr;
    GR_updateScales(g);
}

OB_Object *loadGraphicP(int file, OB_Object *defaults)
{
    auto *g = reinterpret_cast<GR_Graph *>(OBJ_newObjectForDoubles(sizeof(GR_Graph)));
    if (!g || !PA_readBlock(file, &g->object, &g->block, defaults)) return nullptr;
    PA_finishObject(&g->object, defaults, OB_KIND_OWN_HANDLERS, notifyGraphicP);
    GR_InitDefaultValue(g);
    return &g->object;
}

int32_t notifyGraphicP(int id, int message, int a, void *b)
{
    GR_Graph *g = graphOf(id);
    if (!g) return OB_SquareNotify(id, message, a, b);
    switch (message) {
    case OB_MSG_DRAW: GR_drawObj(g, 1); return id;
    case OB_MSG_REFRESH:
        if (refreshWanted(g)) GR_drawObj(g, 0);
        return id;
    case OB_MSG_ACCEPT:
    case OB_MSG_FOCUS_GAINED:
    case OB_MSG_ENTER: return id;
    case OB_MSG_POINTER_DOWN: return pointerDown(g, id, static_cast<const OB_Point *>(b));
    case OB_MSG_CLASS_ID: return GR_CLASS_ID;
    case OB_MSG_DELETE: G_FreeArea(g); return OB_SquareNotify(id, message, a, b);
    default: return OB_SquareNotify(id, message, a, b);
    }
}

void GR_drawObj(GR_Graph *g, int full)
{
    Look look;
    if (!repaintPass(g, &look)) return;
    const OB_Object &o = g->object;
    g->lineColor = look.lineColor;
    g->fillColor = look.fillColor;
    GR_updateScales(g);
    if (look.fill) G_FillRect(o.x, o.y, o.width, o.height, look.fillColor);
    else keepBackdrop(g, full);
    paintSource(g, look);
    if (look.border) G_DrawRect(o.x, o.y, o.width, o.height, look.lineColor);
    drawAxes(g, look);
    if (engine && g->emitter && GR_isTrendSource(look.sourceType, look.sourceName)) engine->paint(g);
}
