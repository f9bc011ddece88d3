// Colour gradient objects: horizontal and vertical gradients from the fill
// colour to the line colour; the repainted vertical gradient may turn
// horizontal.
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "view/painter_loader.h"

namespace {

uint32_t channel(uint32_t color, int shift) { return color >> shift & 0xFF; }

// Colour of step i of steps between start and end, per channel, truncated.
uint32_t gradientColor(uint32_t start, uint32_t end, int i, int steps)
{
    uint32_t color = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        int from = static_cast<int>(channel(start, shift));
        int difference = static_cast<int>(channel(end, shift)) - from;
        double value = from + static_cast<double>(i) * difference / steps;
        color |= (static_cast<uint32_t>(static_cast<int>(value)) & 0xFF) << shift;
    }
    return color;
}

OB_Object *loadGradient(int file, OB_Object *defaults, bool withBlock, OB_NotifyFunction notify, uint32_t size)
{
    OB_Object *object = PA_newObject(size);
    if (!object) return nullptr;
    auto *gradient = reinterpret_cast<DV_Gradient *>(object);
    if (withBlock && !(gradient->block = PA_readBlockRef(file, object, defaults))) return nullptr;
    PA_finishObject(object, defaults, OB_KIND_OWN_HANDLERS, notify);
    return object;
}

} // namespace

OB_Object *loadDegradeH(int file, OB_Object *defaults)
{
    return loadGradient(file, defaults, false, degradeHNotify, sizeof(OB_Object));
}

OB_Object *loadDegradeV(int file, OB_Object *defaults)
{
    return loadGradient(file, defaults, false, degradeVNotify, sizeof(DV_Gradient));
}

OB_Object *loadXDegradeV(int file, OB_Object *defaults)
{
    return loadGradient(file, defaults, true, degradeVNotify, sizeof(DV_Gradient));
}

int32_t degradeHNotify(int id, int message, int a, void *b)
{
    if (message == OB_MSG_REFRESH) return id;
    if (message != OB_MSG_DRAW) return OB_SquareNotify(id, message, a, b);
    DH_drawObj(OB_Get_Pointer(id), 1);
    return id;
}

int32_t degradeVNotify(int id, int message, int a, void *b)
{
    if (message != OB_MSG_DRAW && message != OB_MSG_REFRESH) return OB_SquareNotify(id, message, a, b);
    DV_drawObj(reinterpret_cast<DV_Gradient *>(OB_Get_Pointer(id)), message == OB_MSG_DRAW);
    return id;
}

void draw_vertical_gradient(const OB_Object *object, uint32_t startColor, uint32_t endColor)
{
    for (int i = 0; i < object->height; i++)
        G_FillRect(object->x, object->y + i, object->width, 1, gradientColor(startColor, endColor, i, object->height));
}

void draw_horizontal_gradient(const OB_Object *object, uint32_t startColor, uint32_t endColor)
{
    for (int i = 0; i < object->width; i++)
        G_FillRect(object->x + i, object->y, 1, object->height, gradientColor(startColor, endColor, i, object->width));
}

void DH_drawObj(OB_Object *gradient, int full)
{
    if (full) draw_horizontal_gradient(gradient, gradient->fillColor, gradient->lineColor);
}

void DV_drawObj(DV_Gradient *gradient, int full)
{
    const OB_Object &o = gradient->object;
    if (!gradient->block) {
        if (full) draw_vertical_gradient(&o, o.fillColor, o.lineColor);
        return;
    }
    RR_Look look;
    if (!RR_repaintPass(&o, gradient->block, full, 0, &look)) return;
    if (look.fill) G_FillRect(o.x, o.y, o.width, o.height, look.fillColor);
    if (look.horizontal) draw_horizontal_gradient(&o, look.fillColor, look.lineColor);
    else draw_vertical_gradient(&o, look.fillColor, look.lineColor);
    if (look.border) G_DrawRect2(o.x, o.y, o.width, o.height, look.lineColor, o.lineStyle, o.lineWidth);
}
