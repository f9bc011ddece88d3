// X bitmap reader: draws ".xbm" files (the published X bitmap text format)
// pixel by pixel through the graphics layer. Each file is read and parsed
// once and kept (against the image budget) until the image cache is cleared.
// Reads files through the file layer.
#pragma once

// 1 when the name ends in ".xbm" (any case).
int isXbmFile(const char *name);
// Draws the set bits in opaque black at (x + column, y + row). Answers 1, or 0
// when the file cannot be opened (or is not an X bitmap name).
int XB_drawXBitMap(const char *name, int x, int y);
// Forgets the parsed bitmaps (called when the image cache is cleared).
void XB_clearCache();
