// Font table: one record per distinct (name, style, size) of the pages, each
// with its display font, in a fixed table of 128 records that lives for the
// whole run. Measures characters in the graphics context's current font.
#pragma once
#include <cstdint>

#include "nanox/nano-X.h"

#define FO_MAX_FONTS 128
#define FO_NAME_SIZE 64

struct FO_FontRecord {
    int16_t size;
    int16_t style; // part of the key only
    char name[FO_NAME_SIZE];
    GR_FONT_ID fontId;
};

// The record for (name, style, size), made (with its display font) when new.
// When all records are used, the last record answers every new request.
FO_FontRecord *FO_findCorrespondingFont(const char *name, int style, int size);
// Height of "A" and width of one character, in the context's current font.
int FO_GetCharHeight(FO_FontRecord *font);
int FO_GetCharWidth(FO_FontRecord *font, int ch);
// Destroys the display fonts and empties the table (shutdown and tests).
void FO_releaseFonts();
