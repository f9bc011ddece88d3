// Image cache: picture files decoded once into pixmaps (BltImageList) and then
// copied to the drawing target. Reads files through the target link, keeps the
// decoded byte count in pterm.img_mem_used, logs through the log; clearing it
// clears the X bitmaps' cache too.
#include "draw/images.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/settings.h"
#include "transport/file_layer.h"
#include "draw/graphics.h"
#include "draw/xbitmap.h"
#include "runtime/log.h"

BltImage *BltImageList = nullptr;

namespace {

int clearPending = 0;
constexpr uint64_t kPixelBytes = 4; // a pixmap's bytes per pixel

BltImage *findCached(const char *name)
{
    for (BltImage *e = BltImageList; e; e = e->next)
        if (std::strcmp(e->name, name) == 0) return e;
    return nullptr;
}

void freeEntry(BltImage *e)
{
    if (e->pixmap) GrDestroyWindow(e->pixmap);
    std::free(e->fileData);
    std::free(e->name);
    std::free(e);
}

void append(BltImage *entry)
{
    BltImage **tail = &BltImageList;
    while (*tail) tail = &(*tail)->next;
    *tail = entry;
}

uint64_t pixmapBytes(int width, int height)
{
    return static_cast<uint64_t>(width > 0 ? width : 0) * static_cast<uint64_t>(height > 0 ? height : 0) * kPixelBytes;
}

// Whether a picture's decoded bytes alone pass the budget: then said in the log.
bool overBudget(const char *name, int width, int height, uint64_t bytes)
{
    if (bytes <= pterm.img_mem_max) return false;
    char text[ERR_BUFFER_SIZE];
    std::snprintf(text, sizeof text, "Image refused: %d x %d pixels take %llu bytes, more than img_mem_max (%lu): %s\n",
                  width, height, static_cast<unsigned long long>(bytes), static_cast<unsigned long>(pterm.img_mem_max),
                  name ? name : "");
    log_append(0, "%s", text);
    return true;
}

// Decodes the entry's file into its pixmap and draws it at (x, y); 1 on
// success. A picture whose header declares more pixels than the budget takes
// is refused before it is decoded.
int decodeInto(BltImage *e, int x, int y)
{
    int width, height;
    if (NX_imageSizeFromBuffer(e->fileData, e->fileSize, &width, &height) &&
        overBudget(e->name, width, height, pixmapBytes(width, height)))
        return 0;
    GR_IMAGE_ID image = GrLoadImageFromBuffer(e->fileData, e->fileSize, 0);
    if (!image) return 0;
    GR_IMAGE_INFO info;
    GrGetImageInfo(image, &info);
    e->width = info.width;
    e->height = info.height;
    e->pixmap = overBudget(e->name, info.width, info.height, pixmapBytes(info.width, info.height))
                    ? 0
                    : GrNewPixmap(info.width, info.height, nullptr);
    if (!e->pixmap) {
        GrFreeImage(image);
        return 0;
    }
    GrDrawImageToFit(e->pixmap, g_gc, 0, 0, info.width, info.height, image);
    G_NoteDrawn(x, y, info.width, info.height, 1);
    GrDrawImageToFit(g_main, g_gc, x, y, info.width, info.height, image);
    GrFreeImage(image);
    IMG_chargeDecoded(e->name, info.width, info.height, pixmapBytes(info.width, info.height));
    return 1;
}

} // namespace

unsigned char *LoadImageFromFile(const char *name, int *size)
{
    *size = 0;
    int handle = Tarsel_fileOpen(name, "rb");
    if (handle < 0) return nullptr;
    int length = Tarsel_fileSize(handle);
    // A picture file larger than the budget decodes larger still.
    if (length > 0 && static_cast<uint64_t>(length) > pterm.img_mem_max) {
        log_append_int(0, "Image refused: the file has %ld bytes, more than img_mem_max\n", length);
        log_append(0, " %s\n", name);
        length = 0;
    }
    unsigned char *data = length > 0 ? static_cast<unsigned char *>(std::malloc(static_cast<size_t>(length))) : nullptr;
    if (data && Tarsel_fileRead(data, 1, length, handle) != length) {
        std::free(data);
        data = nullptr;
    }
    Tarsel_fileClose(handle);
    if (data) *size = length;
    return data;
}

int drawBLTImage(const char *name, int x, int y, int w, int h)
{
    BltImage *e = name ? findCached(name) : nullptr;
    if (!e) return 0;
    G_NoteDrawn(x, y, w, h, 1);
    GrCopyArea(g_main, g_gc, x, y, w, h, e->pixmap, 0, 0, 0);
    return 1;
}

int DisplayGIFImage(const char *name, int x, int y, int w, int h)
{
    if (!name) return 0;
    if (drawBLTImage(name, x, y, w, h)) return 1;
    log_append(0, "Open Img File: %s\n", name);
    BltImage *e = static_cast<BltImage *>(std::calloc(1, sizeof(BltImage)));
    size_t nameSize = std::strlen(name) + 1;
    if (e) e->name = static_cast<char *>(std::malloc(nameSize));
    if (!e || !e->name) {
        std::free(e);
        return 0;
    }
    std::memcpy(e->name, name, nameSize);
    e->x = x;
    e->y = y;
    e->time = SYS_get10Milliseconds();
    e->fileData = LoadImageFromFile(name, &e->fileSize);
    int decoded = e->fileData ? decodeInto(e, x, y) : 0;
    std::free(e->fileData);
    e->fileData = nullptr;
    if (!decoded) {
        freeEntry(e);
        return 0;
    }
    append(e);
    return 1;
}

void clearCachedBltImages()
{
    int count = 0;
    while (BltImageList) {
        BltImage *e = BltImageList;
        BltImageList = e->next;
        freeEntry(e);
        count++;
    }
    if (count > 0 && pterm.debug_level >= 2) log_append_int(0, "Clear %d images from caches\n", count);
    XB_clearCache();
    pterm.img_mem_used = 0;
    clearPending = 0;
}

int IMG_chargeDecoded(const char *name, int width, int height, uint64_t bytes)
{
    if (overBudget(name, width, height, bytes)) return 0;
    uint64_t total = static_cast<uint64_t>(pterm.img_mem_used) + bytes;
    pterm.img_mem_used = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    if (pterm.img_mem_used > pterm.img_mem_max) clearPending = 1;
    return 1;
}

int bltImageCacheMarked() { return clearPending; }
