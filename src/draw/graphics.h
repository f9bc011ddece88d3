// Graphics layer: page size and background, fonts, and the drawing
// primitives that objects draw with, in page coordinates.
#pragma once
#include <cstdint>

struct FO_Font;

void G_SetSize(int width, int height);
void G_SetBackGroundColor(uint32_t color);
FO_Font *FO_findCorrespondingFont(const char *name, int style, int size);
void G_SetFont(FO_Font *font);

void G_DrawLine(int x1, int y1, int x2, int y2, uint32_t color);
void G_DrawLine2(int x1, int y1, int x2, int y2, uint32_t color, int style, int width, int arrows);
void G_DrawRect(int x, int y, int w, int h, uint32_t color);
void G_FillRect(int x, int y, int w, int h, uint32_t color);
void G_DrawRect2(int x, int y, int w, int h, uint32_t color, int style, int width);
void G_FillPolygon(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t color);
void G_DrawPolygon2(const int16_t *xs, const int16_t *ys, int n, int dx, int dy, uint32_t color, int style);
void G_DrawEllipse(int x, int y, int w, int h, uint32_t color);
void G_FillEllipse(int x, int y, int w, int h, uint32_t color);
void G_DrawEllipse2(int x, int y, int w, int h, uint32_t color, int style);
void G_Ellipse2(int x, int y, int w, int h, int fill, uint32_t fillColor, int border, uint32_t borderColor, int style);
void G_DrawText(const char *text, int x, int y, int w, int h, int align, uint32_t color);
