// Damage tracking of the frame: which objects a redraw must draw again and
// which part of the frame it must copy to the window. For every object it
// keeps what its last drawing read (read stamps, data/read_stamps.h) and the
// box its pixels lay in (graphics layer extents). A redraw with the setting
// full_redraw then clears and redraws only the union of the boxes of the
// objects whose inputs changed (every object that overlaps it drawn again in
// table order, the modal object last), giving the pixels of a complete
// redraw, and copies only that union; a refresh (message 218) skips the
// objects whose inputs did not change. Objects of kinds that keep state of
// their own or act when drawn are drawn on every pass. A new frame, object
// table, focus, modal object, selection setting, page size, background or
// value source, or stores dropped, take a complete pass. Main thread only.
#pragma once
#include "nanox/nano-X.h"
#include "view/object_table.h"

// Kinds whose drawing depends only on what it reads (registered by the layer
// that owns the kind); every other kind is drawn on every pass.
void DM_addPureKind(OB_NotifyFunction notify);
// Objects whose drawing may write stored values (event objects that act on
// drawing), as the layer that owns them tells: a page that holds one, or
// whose drawing wrote a value, is drawn completely on every pass, because a
// value written in the middle of a pass reaches only the objects after the
// writer.
void DM_setWriterTest(int (*mayWriteWhenDrawn)(int id));

// A complete pass inside an open frame: message to every object in table
// order (the modal object last), each drawing recorded. A message of 200
// (with the page cleared before) makes the records the base of later
// partial redraws.
void DM_drawAll(int message);
// The redraw of a cycle with full_redraw set, frame included: 1 when done
// (nothing drawn and nothing copied when nothing changed), 0 when the
// records cannot tell (the caller then draws everything).
int DM_redrawChanged();
// The refresh of a cycle (message 218), frame included: objects whose inputs
// did not change are skipped (on a page whose drawing writes values none is)
// and only what was drawn is copied.
void DM_refreshChanged();
// The frame no longer holds what the records say (drawn by someone else).
void DM_invalidate();
void DM_reset();

// What the last pass did, for tests and measurements.
struct DM_PassInfo {
    int complete;   // 1: a complete pass
    int drawn;      // objects sent a drawing message
    GR_RECT copied; // part of the frame copied to the window; width 0: none
};
DM_PassInfo DM_lastPass();
