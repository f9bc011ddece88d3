// Line objects: loading from the painter body, drawing with their repaints.
// Offers every line of a newer file to the navigation list.
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "input/navigation.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

namespace {

// The line is a diagonal of its box, chosen by the start point in the file.
void setEndPoints(LN_Line *line, int32_t startX, int32_t startY)
{
    const OB_Object &o = line->object;
    int left = o.x, top = o.y, right = o.x + o.width, bottom = o.y + o.height;
    bool sameX = startX == left, sameY = startY == top;
    int x1 = left, y1 = top, x2 = right, y2 = bottom;
    if (!sameX && sameY) {
        x1 = right, y1 = top, x2 = left, y2 = bottom;
    } else if (!sameX && !sameY) {
        x1 = right, y1 = bottom, x2 = left, y2 = top;
    } else if (sameX && !sameY) {
        x1 = left, y1 = bottom, x2 = right, y2 = top;
    }
    if (EditorVersion >= TEQ_VERSION_E && o.width != 0 && o.height != 0) {
        x2 += x2 > x1 ? -1 : 1;
        y2 += y2 > y1 ? -1 : 1;
    }
    line->x1 = static_cast<int16_t>(x1);
    line->y1 = static_cast<int16_t>(y1);
    line->x2 = static_cast<int16_t>(x2);
    line->y2 = static_cast<int16_t>(y2);
}

} // namespace

OB_Object *LN_loadDefaultLine(int file, OB_Object *defaults)
{
    auto *line = reinterpret_cast<LN_Line *>(PA_newObject(sizeof(LN_Line)));
    if (!line) return nullptr;
    if (EditorVersion >= TEQ_VERSION_D && !PA_readBlock(file, &line->object, &line->block, defaults)) return nullptr;
    PA_finishObject(&line->object, defaults, OB_KIND_LINE, LN_notify);
    int32_t startX = ReadJavaInt(file);
    int32_t startY = ReadJavaInt(file);
    setEndPoints(line, startX, startY);
    if (EditorVersion >= TEQ_VERSION_D &&
        NAV_isNavigationObject(line->object.id, &line->block, line->x1, line->y1, line->x2, line->y2))
        return nullptr;
    return &line->object;
}

int32_t LN_notify(int id, int message, int a, void *b)
{
    if (message != OB_MSG_DRAW && message != OB_MSG_REFRESH) return OB_SquareNotify(id, message, a, b);
    LN_drawObj(reinterpret_cast<LN_Line *>(OB_Get_Pointer(id)), message == OB_MSG_DRAW);
    return id;
}

void LN_drawObj(LN_Line *line, int full)
{
    RR_Look look;
    if (!RR_repaintPass(&line->object, &line->block, full, 1, &look)) return;
    int dx = look.x - line->object.x, dy = look.y - line->object.y;
    if (look.fill) G_FillRect(look.x, look.y, look.width, look.height, look.fillColor);
    G_DrawLine2(line->x1 + dx, line->y1 + dy, line->x2 + dx, line->y2 + dy, look.lineColor, line->object.lineStyle,
                line->object.lineWidth, look.arrows);
    if (look.border) G_DrawRect(look.x, look.y, look.width, look.height, look.lineColor);
}
