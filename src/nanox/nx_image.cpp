// Images: decodes picture files held in memory (GIF, PNG, JPEG, BMP, PNM) into
// image pixmaps that keep their alpha, describes them, and draws them scaled
// and blended onto a drawable. Image pixmaps live in the drawable table.
#include "nanox/nx_core.h"

#include <cstring>

#include <stb/stb_image.h>

namespace {

NX_Drawable *findImage(GR_IMAGE_ID id)
{
    NX_Drawable *d = NX_findDrawable(id);
    return d && d->isImage ? d : nullptr;
}

bool isJpeg(const void *buffer, int size)
{
    const unsigned char *b = static_cast<const unsigned char *>(buffer);
    return size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

} // namespace

GR_IMAGE_ID GrLoadImageFromBuffer(void *buffer, int size, int flags)
{
    if (!buffer || size <= 0 || !NX_screenPixels()) return 0;
    int width = 0, height = 0, channels = 0;
    bool grey = flags != 0 && isJpeg(buffer, size);
    stbi_uc *rgba = stbi_load_from_memory(static_cast<const stbi_uc *>(buffer), size, &width, &height, &channels, 4);
    if (!rgba) return 0;
    GR_ID id = NX_newDrawableId();
    NX_Drawable *image = NX_addDrawable(id);
    image->isImage = true;
    image->width = width;
    image->height = height;
    image->pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < image->pixels.size(); i++) {
        const stbi_uc *p = rgba + i * 4;
        uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
        if (grey) r = g = b = (r * 77 + g * 150 + b * 29 + 128) >> 8;
        image->pixels[i] = r | (g << 8) | (b << 16) | (a << 24);
    }
    stbi_image_free(rgba);
    return id;
}

int NX_imageSizeFromBuffer(const void *buffer, int size, int *width, int *height)
{
    int channels = 0;
    *width = *height = 0;
    if (!buffer || size <= 0) return 0;
    return stbi_info_from_memory(static_cast<const stbi_uc *>(buffer), size, width, height, &channels) ? 1 : 0;
}

void GrGetImageInfo(GR_IMAGE_ID id, GR_IMAGE_INFO *iip)
{
    if (!iip) return;
    std::memset(iip, 0, sizeof *iip);
    NX_Drawable *image = findImage(id);
    if (!image) return;
    iip->id = static_cast<int>(id);
    iip->width = image->width;
    iip->height = image->height;
    iip->planes = 1;
    iip->bpp = 32;
    iip->data_format = MWIF_RGBA8888;
    iip->pitch = static_cast<unsigned int>(image->width) * 4;
    iip->transcolor = MWNOCOLOR;
}

void GrDrawImagePartToFit(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD dx, GR_COORD dy, GR_SIZE dwidth, GR_SIZE dheight,
                          GR_COORD sx, GR_COORD sy, GR_SIZE swidth, GR_SIZE sheight, GR_IMAGE_ID imageid)
{
    NX_Drawable *image = findImage(imageid);
    NX_Target t;
    if (!image || !NX_prepareTarget(id, gc, &t)) return;
    if (swidth <= 0 || sheight <= 0) {
        sx = sy = 0;
        swidth = image->width;
        sheight = image->height;
    }
    if (dwidth < 0) dwidth = swidth;
    if (dheight < 0) dheight = sheight;
    if (dwidth == 0 || dheight == 0) return;
    NX_GC copy = *t.gc; // images are blended whatever the context's mode
    copy.mode = GR_MODE_COPY;
    t.gc = &copy;
    for (int row = 0; row < dheight; row++) {
        int srcY = sy + static_cast<int>(static_cast<int64_t>(row) * sheight / dheight);
        if (srcY < 0 || srcY >= image->height) continue;
        for (int col = 0; col < dwidth; col++) {
            int srcX = sx + static_cast<int>(static_cast<int64_t>(col) * swidth / dwidth);
            if (srcX < 0 || srcX >= image->width) continue;
            uint32_t p = image->pixels[static_cast<size_t>(srcY) * image->width + srcX];
            NX_blendPixel(t, dx + col, dy + row, p, static_cast<int>(p >> 24));
        }
    }
}

void GrFreeImage(GR_IMAGE_ID id)
{
    if (findImage(id)) GrDestroyWindow(id);
}
