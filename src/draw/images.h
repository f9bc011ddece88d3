// Image cache: every picture file drawn is read and decoded once into a pixmap
// and then copied from there. Owns the list BltImageList; counts the decoded
// bytes of the cached pictures (and of the X bitmaps) in pterm.img_mem_used
// and marks the cache for clearing at the end of the frame once they pass the
// setting img_mem_max; a picture whose decoded size alone passes it is refused.
#pragma once
#include <cstdint>

#include "nanox/nano-X.h"

struct BltImage {
    char *name; // the key, compared exactly
    int x, y;   // where it was first drawn
    int width, height;
    int fileSize;
    unsigned char *fileData; // released once decoded
    GR_WINDOW_ID pixmap;
    uint32_t time; // 10-millisecond tick when loaded
    BltImage *next;
};

extern BltImage *BltImageList;

// Draws a cached picture, else loads, decodes, caches and draws it at its own
// size. Answers 1, or 0 when the file cannot be read or decoded.
int DisplayGIFImage(const char *name, int x, int y, int w, int h);
// Copies w x h pixels of a cached picture to (x, y); 0 when not cached.
int drawBLTImage(const char *name, int x, int y, int w, int h);
void clearCachedBltImages();
// Whether the cache passed img_mem_max and is to be cleared at the frame's end.
int bltImageCacheMarked();
// Counts the bytes a decoded picture of width x height pixels takes against
// img_mem_max: 0, with a log line naming the picture, when they alone pass
// it; else 1, marking the cache once the total passes it.
int IMG_chargeDecoded(const char *name, int width, int height, uint64_t bytes);
// Reads a whole file through the target link; the caller frees the data.
// Null (and size 0) when the file cannot be read.
unsigned char *LoadImageFromFile(const char *name, int *size);
