// Write clip of a drawable: while set, every primitive drawn into that
// drawable changes only the pixels inside the rectangle, on top of the
// context's own region; reading the drawable (as the source of a copy) is
// not clipped. The frame's partial redraw uses it. Main thread only.
#pragma once
#include "nanox/nano-X.h"

// Clips what is drawn into id to the rectangle; a rectangle without area
// lets nothing through. One drawable at a time: a new call replaces the clip.
void NX_setWriteClip(GR_DRAW_ID id, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height);
void NX_clearWriteClip();
