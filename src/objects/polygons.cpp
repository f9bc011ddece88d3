// Polygon and polyline objects: loading their points from the painter body,
// drawing them (polygons with their repaints).
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "runtime/heap.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

namespace {

// Reads the point count and the points. When the arrays cannot be allocated
// the object keeps no points, and its pairs are skipped to stay in step with
// the file. closed: one more entry repeating the first point.
void loadPoints(int file, uint16_t *count, int16_t **xs, int16_t **ys, bool closed)
{
    int n = static_cast<uint16_t>(ReadJavaInt(file));
    int entries = n + (closed ? 1 : 0);
    *count = static_cast<uint16_t>(n);
    if (entries > 0) {
        *xs = static_cast<int16_t *>(MU_alloc(static_cast<uint32_t>(entries) * sizeof(int16_t)));
        *ys = *xs ? static_cast<int16_t *>(MU_alloc(static_cast<uint32_t>(entries) * sizeof(int16_t))) : nullptr;
        if (!*ys) *xs = nullptr;
    }
    for (int i = 0; i < n; i++) {
        int x = 0, y = 0;
        if (readPair(file, &x, &y) < 0) break;
        if (*xs) {
            (*xs)[i] = static_cast<int16_t>(x);
            (*ys)[i] = static_cast<int16_t>(y);
        }
    }
    if (closed && *xs) {
        (*xs)[n] = (*xs)[0];
        (*ys)[n] = (*ys)[0];
    }
}

OB_Object *loadPolygon(int file, OB_Object *defaults, bool withBlock)
{
    auto *polygon = reinterpret_cast<PG_Polygon *>(PA_newObject(sizeof(PG_Polygon)));
    if (!polygon) return nullptr;
    if (withBlock && !(polygon->block = PA_readBlockRef(file, &polygon->object, defaults))) return nullptr;
    PA_finishObject(&polygon->object, defaults, OB_KIND_POLYGON, polygoneNotify);
    loadPoints(file, &polygon->count, &polygon->xs, &polygon->ys, true);
    return &polygon->object;
}

void drawPolygon(const PG_Polygon *polygon, int fill, int border, uint32_t fillColor, uint32_t lineColor, int dx,
                 int dy)
{
    if (!polygon->xs || !polygon->ys || polygon->count == 0) return;
    if (fill) G_FillPolygon(polygon->xs, polygon->ys, polygon->count, dx, dy, fillColor);
    if (border) G_DrawPolygon2(polygon->xs, polygon->ys, polygon->count, dx, dy, lineColor, polygon->object.lineStyle);
}

} // namespace

OB_Object *PG_loadXPolygoneP(int file, OB_Object *defaults) { return loadPolygon(file, defaults, true); }

OB_Object *PG_loadDefaultPolygone(int file, OB_Object *defaults) { return loadPolygon(file, defaults, false); }

OB_Object *PLN_loadDefaultPolyline(int file, OB_Object *defaults)
{
    auto *polyline = reinterpret_cast<PLN_Polyline *>(PA_newObject(sizeof(PLN_Polyline)));
    if (!polyline) return nullptr;
    PA_finishObject(&polyline->object, defaults, OB_KIND_OWN_HANDLERS, PLN_notify);
    loadPoints(file, &polyline->count, &polyline->xs, &polyline->ys, false);
    return &polyline->object;
}

int32_t polygoneNotify(int id, int message, int a, void *b)
{
    if (message == OB_MSG_REFRESH) return id;
    if (message != OB_MSG_DRAW) return OB_SquareNotify(id, message, a, b);
    PG_drawObj(reinterpret_cast<PG_Polygon *>(OB_Get_Pointer(id)), 1);
    return id;
}

int32_t PLN_notify(int id, int message, int a, void *b)
{
    if (message != OB_MSG_DRAW && message != OB_MSG_REFRESH) return OB_SquareNotify(id, message, a, b);
    PLN_drawObj(reinterpret_cast<PLN_Polyline *>(OB_Get_Pointer(id)), message == OB_MSG_DRAW);
    return id;
}

void PG_drawObj(PG_Polygon *polygon, int full)
{
    const OB_Object &o = polygon->object;
    if (!polygon->block) {
        if (full)
            drawPolygon(polygon, OB_GetStatusBit(&o, OB_STATUS_FILL), OB_GetStatusBit(&o, OB_STATUS_BORDER),
                        o.fillColor, o.lineColor, 0, 0);
        return;
    }
    RR_Look look;
    if (!RR_repaintPass(&o, polygon->block, full, 1, &look)) return;
    drawPolygon(polygon, look.fill, look.border, look.fillColor, look.lineColor, look.x - o.x, look.y - o.y);
}

void PLN_drawObj(PLN_Polyline *polyline, int)
{
    if (!polyline->xs || !polyline->ys) return;
    for (int i = 0; i + 1 < polyline->count; i++)
        G_DrawLine(polyline->xs[i], polyline->ys[i], polyline->xs[i + 1], polyline->ys[i + 1],
                   polyline->object.lineColor);
}
