// Trend drawing: curves, status flags, value scales, the cursor and its text.
#include "alarms_trends/trend_paint.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "alarms_trends/trend_store.h"
#include "alarms_trends/trend_time.h"
#include "draw/graphics.h"
#include "objects/graph.h"
#include "runtime/str_util.h"
#include "view/view_manager.h"

namespace {

constexpr int kMarginLeft = 5, kMarginRight = 10, kMarginTop = 13, kMarginHeight = 26;
constexpr int kFlagHeight = 12, kFlagWidth = 6;
constexpr unsigned char kLineMark = 0xA2;

const EM_Emitter *emitterOf(const GR_Graph *g) { return static_cast<const EM_Emitter *>(g->emitter); }

bool describesAxes(const EM_Emitter *e) { return e && e->axisDescriptions && e->sourceCount > 0; }

bool isStatus(const EM_Point &p) { return (p.time & EM_STATUS_BIT) != 0; }

// A status point: a flag standing on the bottom of the plot at its time,
// with its code.
void drawStatusFlag(const GR_Graph *g, const EM_Point &p, uint32_t colour)
{
    double t = p.time & EM_TIME_MASK;
    if (t < g->xmin || t > g->xmax) return;
    int x, y, w, h, px, py;
    GR_plotArea(g, &x, &y, &w, &h);
    GR_computePointsInRange(g, t, g->ymin, &px, &py);
    G_FillRect(px, py - kFlagHeight + 1, 1, kFlagHeight, colour);
    G_FillRect(px + 1, py - kFlagHeight + 1, kFlagWidth, kFlagWidth - 2, colour);
    char code[16];
    std::snprintf(code, sizeof code, "%d", static_cast<int>(p.value));
    G_SetFont(g->object.font);
    G_DrawText(code, px + kFlagWidth + 2, py - kFlagHeight - 2, x + w - px, kFlagHeight + 4, 0, colour);
}

// The first point to draw: the last one before the axis starts.
int firstVisible(const EM_Source *s, double start)
{
    const EM_Point *p = EM_pointAtTime(s, start > 0 ? static_cast<uint32_t>(start) : 0);
    return p ? static_cast<int>(p - EM_pointAt(s, 0)) : 0;
}

// Joins the points in time order; a run of equal values is one line.
void drawSource(const GR_Graph *g, const EM_Source *s)
{
    const EM_Point *run = nullptr, *last = nullptr;
    for (int i = firstVisible(s, g->xmin); i < s->count; i++) {
        const EM_Point &p = *EM_pointAt(s, i);
        if (isStatus(p)) {
            drawStatusFlag(g, p, s->colour);
            continue;
        }
        if (last && p.value == last->value) {
            last = &p;
            if ((p.time & EM_TIME_MASK) > g->xmax) break;
            continue;
        }
        if (last) {
            if (last != run) GR_drawLineF(g, run->time, run->value, last->time, last->value);
            GR_drawLineF(g, last->time, last->value, p.time, p.value);
        }
        run = last = &p;
        if ((p.time & EM_TIME_MASK) > g->xmax) break;
    }
    if (last && last != run) GR_drawLineF(g, run->time, run->value, last->time, last->value);
}

void drawValueScale(const GR_Graph *g, const EM_Source *s, int index)
{
    int x, y, w, h;
    GR_plotArea(g, &x, &y, &w, &h);
    bool left = index == 0;
    int band = left ? x - kMarginLeft - EM_SCALE_WIDTH : x + w + kMarginLeft + (index - 1) * EM_SCALE_WIDTH;
    int axis = left ? x - 2 : band + 1;
    G_FillRect(axis, y, 1, h, s->colour);
    int align = left ? G_ALIGN_RIGHT : 0;
    char text[32];
    const OB_Object &o = g->object;
    G_SetFont(o.font);
    std::snprintf(text, sizeof text, "%.4G", s->max);
    G_DrawText(text, band + 2, o.y, EM_SCALE_WIDTH - 4, o.height / 2, align, s->colour);
    std::snprintf(text, sizeof text, "%.4G", s->min);
    G_DrawText(text, band + 2, o.y + o.height / 2, EM_SCALE_WIDTH - 4, o.height / 2, align | G_ALIGN_BOTTOM, s->colour);
}

void drawCursor(EM_Emitter *e)
{
    GR_Graph *g = e->graph;
    if (!e->cursor || EM_paramIs(e, "ActiveTrendsMouseDownAction.", "DISABLE")) return;
    GR_setGrColor(e->cursorColour);
    GR_drawLineF(g, e->cursor, 0.0, e->cursor, 100.0);
}

void appendText(char *text, const char *part)
{
    size_t used = std::strlen(text);
    safe_strncpy(text + used, part, EM_LIST_SIZE - used);
}

void appendRow(char *text, uint32_t colour, const char *when, const char *what)
{
    char row[160];
    std::snprintf(row, sizeof row, "#sfc;%u,%u,%u\t%s\t%s\n", colour & 0xFFu, (colour >> 8) & 0xFFu,
                  (colour >> 16) & 0xFFu, when, what);
    appendText(text, row);
}

// The text of "ActiveTrendsMouseDownVal." for the cursor.
void writeCursorText(EM_Emitter *e)
{
    static char text[EM_LIST_SIZE];
    char header[EM_LIST_SIZE], when[2 * EM_DATE_SIZE], value[48];
    text[0] = '\0';
    EM_readParam(e, "ActiveTrendsMouseDownHeader.", header, sizeof header);
    for (char *p = header; *p; p++)
        if (static_cast<unsigned char>(*p) == kLineMark || *p == '\n') *p = '\0';
    if (header[0]) {
        appendText(text, header);
        appendText(text, "\n");
    }
    EM_dateTimeText(e->cursor, when);
    appendRow(text, e->cursorColour, when, "USER !");
    for (const EM_Source *s = e->sources; s; s = s->next) {
        if (s->stale) continue;
        const EM_Point *p = EM_pointAtTime(s, e->cursor);
        if (!p) {
            appendRow(text, s->colour, "--", "--");
            continue;
        }
        EM_dateTimeText(p->time, when);
        if (isStatus(*p)) std::snprintf(value, sizeof value, "S=%d", static_cast<int>(p->value));
        else std::snprintf(value, sizeof value, "%.6G", p->value);
        appendRow(text, s->colour, when, value);
    }
    EM_writeParam(e, "ActiveTrendsMouseDownVal.", text);
}

} // namespace

void EM_drawCurves(EM_Emitter *e)
{
    GR_Graph *g = e->graph;
    if (!g) return;
    double ymin = g->ymin, ymax = g->ymax;
    int index = 0;
    for (const EM_Source *s = e->sources; s; s = s->next) {
        if (s->stale) continue;
        GR_setGrColor(s->colour);
        GR_setYRange(g, s->min, s->max);
        drawSource(g, s);
        if (describesAxes(e)) drawValueScale(g, s, index);
        index++;
    }
    GR_setYRange(g, ymin, ymax);
    drawCursor(e);
}

void EM_userClic(EM_Emitter *e, int x, int)
{
    if (!e->graph || EM_paramIs(e, "ActiveTrendsMouseDownAction.", "DISABLE")) return;
    double t = std::trunc(GR_xValueAt(e->graph, x));
    if (t >= 1.0 && t <= EM_TIME_MASK) {
        e->cursor = static_cast<uint32_t>(t);
        writeCursorText(e);
        e->newData = 1;
    }
    scheduleFullRedraw();
}

void EM_getWidth(const GR_Graph *g, int *width)
{
    const EM_Emitter *e = emitterOf(g);
    if (describesAxes(e)) *width -= EM_SCALE_WIDTH * e->sourceCount + kMarginRight;
}

void EM_getHeight(const GR_Graph *g, int *height)
{
    if (describesAxes(emitterOf(g))) *height -= kMarginHeight;
}

void EM_adjustPoint(const GR_Graph *g, int *x, int *y)
{
    if (!describesAxes(emitterOf(g))) return;
    *x += EM_SCALE_WIDTH + kMarginLeft;
    *y += kMarginTop;
}
