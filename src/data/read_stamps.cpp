// Read stamps: the change counter and the reader being noted into.
#include "data/read_stamps.h"

namespace {

uint32_t counter = 1; // stamps start above 0, the stamp of "never drawn"
uint32_t drops;
uint32_t writes;
RS_Reads *open;

} // namespace

uint32_t RS_touch()
{
    writes++;
    return ++counter;
}

uint32_t RS_newStamp() { return ++counter; }

uint32_t RS_writeCount() { return writes; }

uint32_t RS_now() { return counter; }

void RS_open(RS_Reads *reads)
{
    open = reads;
    if (!reads) return;
    reads->count = 0;
    reads->isVolatile = 0;
}

void RS_close() { open = nullptr; }

void RS_note(const uint32_t *stamp)
{
    if (!open || open->isVolatile) return;
    for (int i = 0; i < open->count; i++)
        if (open->stamps[i] == stamp) return;
    if (open->count == RS_MAX_READS) {
        open->isVolatile = 1;
        return;
    }
    open->stamps[open->count++] = stamp;
}

void RS_noteVolatile()
{
    if (open) open->isVolatile = 1;
}

int RS_changedSince(const RS_Reads *reads, uint32_t at)
{
    if (reads->isVolatile) return 1;
    for (int i = 0; i < reads->count; i++)
        if (*reads->stamps[i] > at) return 1;
    return 0;
}

void RS_dropStores()
{
    drops++;
    counter++;
}

uint32_t RS_dropCount() { return drops; }

void RS_reset()
{
    counter = 1;
    drops = 0;
    writes = 0;
    open = nullptr;
}
