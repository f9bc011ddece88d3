// Write clip: the one clipped drawable and its rectangle, applied to every
// target prepared for drawing into it.
#include "nanox/nx_clip.h"

#include <algorithm>
#include <cstdint>

#include "nanox/nx_core.h"

namespace {

struct WriteClip {
    GR_DRAW_ID id = 0; // 0: none
    int x1 = 0, y1 = 0, x2 = -1, y2 = -1;
};
WriteClip clip;

} // namespace

void NX_setWriteClip(GR_DRAW_ID id, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height)
{
    clip.id = id;
    clip.x1 = x;
    clip.y1 = y;
    clip.x2 = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(x) + width - 1, INT32_MIN, INT32_MAX));
    clip.y2 = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(y) + height - 1, INT32_MIN, INT32_MAX));
}

void NX_clearWriteClip() { clip = WriteClip{}; }

bool NX_applyWriteClip(GR_DRAW_ID id, NX_Target *t)
{
    if (!clip.id || id != clip.id) return true;
    t->clipX1 = std::max(t->clipX1, clip.x1);
    t->clipY1 = std::max(t->clipY1, clip.y1);
    t->clipX2 = std::min(t->clipX2, clip.x2);
    t->clipY2 = std::min(t->clipY2, clip.y2);
    return t->clipX1 <= t->clipX2 && t->clipY1 <= t->clipY2;
}
