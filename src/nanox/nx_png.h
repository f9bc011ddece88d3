// PNG pictures of the screen for the screen file and the remote view. One
// encoder, kept from frame to frame: the picture is cut into bands of rows,
// each deflated on its own; a new frame re-deflates only the bands whose
// pixels changed and copies the others from the last picture. Pictures are
// immutable buffers that readers on any thread may keep as long as they need.
// Encoding is for the main thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#define NX_PNG_BAND_ROWS 16

typedef std::shared_ptr<const std::vector<unsigned char>> NX_PngBytes;

// Encodes width x height pixels (0xAABBGGRR, alpha left out) as an RGB PNG.
// Rows outside firstRow..lastRow are known to be as at the last call (a new
// size, or the first call, encodes every row anyway). Answers the last picture
// itself when no band changed, null when it cannot encode.
NX_PngBytes NX_pngEncode(const uint32_t *pixels, int width, int height, int firstRow, int lastRow);
// Bands deflated since the reset.
long NX_pngBandsDeflated();
// Forgets the last picture and its bands.
void NX_pngReset();
