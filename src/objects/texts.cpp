// Static text objects: loading the text from the painter body and drawing it
// in the object's font on the bottom line of its box.
#include "data/process_points.h"
#include "draw/graphics.h"
#include "objects/shapes.h"
#include "view/painter_loader.h"
#include "view/teq_reader.h"

OB_Object *TX_loadDefaultText(int file, OB_Object *defaults)
{
    auto *text = reinterpret_cast<TX_Text *>(PA_newObject(sizeof(TX_Text)));
    if (!text) return nullptr;
    PA_finishObject(&text->object, defaults, OB_KIND_TEXT, textNotify);
    text->text = ReadUTF_Alloc(file, SourceType_STRING);
    text->value1 = ReadJavaInt(file);
    text->value2 = ReadJavaInt(file);
    return &text->object;
}

int32_t textNotify(int id, int message, int a, void *b)
{
    if (message == OB_MSG_REFRESH) return id;
    if (message != OB_MSG_DRAW) return OB_SquareNotify(id, message, a, b);
    TX_drawObj(reinterpret_cast<TX_Text *>(OB_Get_Pointer(id)), 1);
    return id;
}

void TX_drawObj(TX_Text *text, int)
{
    const OB_Object &o = text->object;
    if (OB_GetStatusBit(&o, OB_STATUS_FILL)) G_FillRect(o.x, o.y, o.width, o.height, o.fillColor);
    if (OB_GetStatusBit(&o, OB_STATUS_BORDER)) G_DrawRect(o.x, o.y, o.width, o.height, o.lineColor);
    G_SetFont(o.font);
    G_DrawText(text->text ? text->text : "", o.x + 2, o.y + 2, o.width - 4, o.height - 4, G_ALIGN_BOTTOM, o.lineColor);
}
