// Rectangle and oval objects: loading from the painter body, drawing with
// their repaints.
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

OB_Object *RC_loadDefaultRectangle(int file, OB_Object *defaults)
{
    auto *rectangle = reinterpret_cast<RC_Rectangle *>(PA_newObject(sizeof(RC_Rectangle)));
    if (!rectangle) return nullptr;
    if (EditorVersion >= TEQ_VERSION_D && !(rectangle->block = PA_readBlockRef(file, &rectangle->object, defaults)))
        return nullptr;
    PA_finishObject(&rectangle->object, defaults, OB_KIND_RECTANGLE, rectangleNotify);
    return &rectangle->object;
}

OB_Object *OV_loadXOvalP(int file, OB_Object *defaults)
{
    auto *oval = reinterpret_cast<OV_Oval *>(PA_newObject(sizeof(OV_Oval)));
    if (!oval || !(oval->block = PA_readBlockRef(file, &oval->object, defaults))) return nullptr;
    PA_finishObject(&oval->object, defaults, OB_KIND_OVAL, ovalNotify);
    return &oval->object;
}

OB_Object *OV_loadDefaultOval(int, OB_Object *defaults)
{
    auto *oval = reinterpret_cast<OV_Oval *>(PA_newObject(sizeof(OV_Oval)));
    if (!oval) return nullptr;
    PA_finishObject(&oval->object, defaults, OB_KIND_OVAL, ovalNotify);
    return &oval->object;
}

int32_t rectangleNotify(int id, int message, int a, void *b)
{
    if (message != OB_MSG_DRAW && message != OB_MSG_REFRESH) return OB_SquareNotify(id, message, a, b);
    RC_drawObj(reinterpret_cast<RC_Rectangle *>(OB_Get_Pointer(id)), message == OB_MSG_DRAW);
    return id;
}

int32_t ovalNotify(int id, int message, int a, void *b)
{
    if (message != OB_MSG_DRAW && message != OB_MSG_REFRESH) return OB_SquareNotify(id, message, a, b);
    OV_drawObj(reinterpret_cast<OV_Oval *>(OB_Get_Pointer(id)), message == OB_MSG_DRAW);
    return id;
}

void RC_drawObj(RC_Rectangle *rectangle, int full)
{
    RR_Look look;
    const OB_Object &o = rectangle->object;
    if (!RR_repaintPass(&o, rectangle->block, full, 1, &look)) return;
    if (look.fill) G_FillRect(look.x, look.y, look.width, look.height, look.fillColor);
    if (look.border) G_DrawRect2(look.x, look.y, look.width, look.height, look.lineColor, o.lineStyle, o.lineWidth);
}

namespace {

void drawXOval(OV_Oval *oval, int full)
{
    RR_Look look;
    const OB_Object &o = oval->object;
    if (!RR_repaintPass(&o, oval->block, full, 1, &look)) return;
    int x = look.x, y = look.y, w = look.width, h = look.height, width = o.lineWidth;
    if (width < 2 || !look.border) {
        G_Ellipse2(x, y, w, h, look.fill, look.fillColor, look.border, look.lineColor, o.lineStyle);
        return;
    }
    if (look.fill) G_FillEllipse(x, y, w, h, look.fillColor);
    if (o.lineStyle == 0 && look.fill) {
        G_FillEllipse(x, y, w, h, look.lineColor);
        G_FillEllipse(x + width, y + width, w - 2 * width, h - 2 * width, look.fillColor);
    } else {
        G_DrawEllipse2(x, y, w, h, look.lineColor, o.lineStyle);
    }
}

void drawDefaultOval(const OB_Object &o)
{
    if (OB_GetStatusBit(&o, OB_STATUS_FILL)) G_FillEllipse(o.x, o.y, o.width, o.height, o.fillColor);
    if (OB_GetStatusBit(&o, OB_STATUS_BORDER)) G_DrawEllipse(o.x, o.y, o.width, o.height, o.lineColor);
}

} // namespace

void OV_drawObj(OV_Oval *oval, int full)
{
    if (oval->block) drawXOval(oval, full);
    else if (full) drawDefaultOval(oval->object);
}
