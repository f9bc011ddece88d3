// Read stamps: what the drawing of one object read. Every stored value (a
// process point, a container, the page parameters, the language table) keeps
// the stamp of its last real change, taken from one counter that only grows;
// while a reader is open, each read of a value notes the address of its stamp,
// and a read of a value that is computed when read (clocks, counters, files,
// the panel's own value store) marks the reader volatile. The view's damage
// tracking opens a reader around each object it draws and later asks whether
// any noted stamp moved past the moment of drawing. Main thread only.
#pragma once
#include <cstdint>

#define RS_MAX_READS 8 // stamps one object may depend on; more make it volatile

// What one reader noted.
struct RS_Reads {
    const uint32_t *stamps[RS_MAX_READS];
    int count;
    int isVolatile; // read something without a stamp, or more than RS_MAX_READS stamps
};

// A new stamp for a value that really changed (its text differs); counted as
// a write.
uint32_t RS_touch();
// A new stamp for what is no write of a value (an empty container made by a
// read): readers of the name's absence are drawn again, nothing else.
uint32_t RS_newStamp();
// Writes counted so far.
uint32_t RS_writeCount();
// The stamp of the last change anywhere.
uint32_t RS_now();
// Starts noting into reads (emptied first); reads nested in it go to it too.
void RS_open(RS_Reads *reads);
void RS_close();
// Notes a read of the value whose change stamp is *stamp.
void RS_note(const uint32_t *stamp);
// Notes a read of something that keeps no stamp.
void RS_noteVolatile();
// Whether any stamp noted in reads is later than at.
int RS_changedSince(const RS_Reads *reads, uint32_t at);
// Stores are dropped wholesale (a new project, the read list emptied): every
// noted stamp address may be gone. Counted, so that a reader of the noted
// addresses can tell that they are no longer valid.
void RS_dropStores();
uint32_t RS_dropCount();
void RS_reset();
