// Graphics layer. Until the display exists nothing is drawn and no font is
// made.
#include "draw/graphics.h"

void G_SetSize(int, int) {}
void G_SetBackGroundColor(uint32_t) {}
FO_Font *FO_findCorrespondingFont(const char *, int, int) { return nullptr; }
void G_SetFont(FO_Font *) {}
void G_DrawLine(int, int, int, int, uint32_t) {}
void G_DrawLine2(int, int, int, int, uint32_t, int, int, int) {}
void G_DrawRect(int, int, int, int, uint32_t) {}
void G_FillRect(int, int, int, int, uint32_t) {}
void G_DrawRect2(int, int, int, int, uint32_t, int, int) {}
void G_FillPolygon(const int16_t *, const int16_t *, int, int, int, uint32_t) {}
void G_DrawPolygon2(const int16_t *, const int16_t *, int, int, int, uint32_t, int) {}
void G_DrawEllipse(int, int, int, int, uint32_t) {}
void G_FillEllipse(int, int, int, int, uint32_t) {}
void G_DrawEllipse2(int, int, int, int, uint32_t, int) {}
void G_Ellipse2(int, int, int, int, int, uint32_t, int, uint32_t, int) {}
void G_DrawText(const char *, int, int, int, int, int, uint32_t) {}
