// Off-line alarm history: line storage in heap1, a stable merge sort over
// the line order, and the history file in the RAM disk.
#include "alarms_trends/alarm_history.h"

#include <cstring>

#include "runtime/heap.h"
#include "runtime/ramdisk.h"
#include "runtime/str_util.h"

namespace {

// The sort works on positions: order[i] is the line that goes to place i.
int32_t order[AL_HISTORY_MAX];
int32_t scratch[AL_HISTORY_MAX];

int compareNumbers(int64_t a, int64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

// Takes memory for the history from heap1 and follows whether its part of
// heap1 still holds nothing but history data.
void *historyAlloc(AL_History *h, size_t size)
{
    uint32_t position = MU_getMyHeapSize();
    if (position != h->heapEnd) {
        if (h->heapEnd == h->heapMark) h->heapMark = position;
        else h->heapShared = 1;
    }
    void *memory = MU_alloc(size);
    if (memory) h->heapEnd = MU_getMyHeapSize();
    return memory;
}

char *keptText(AL_History *h, int32_t alarmNumber, const char *text)
{
    if (!text || !text[0]) return nullptr;
    AL_TextSlot *slot = nullptr;
    for (int i = 0; i < h->textCount && !slot; i++)
        if (h->texts[i].alarmNumber == alarmNumber) slot = &h->texts[i];
    if (slot && slot->text && std::strcmp(slot->text, text) == 0) return slot->text;
    size_t length = std::strlen(text);
    char *copy = static_cast<char *>(historyAlloc(h, length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length + 1);
    if (!slot && h->textCount < AL_TEXT_SLOTS) slot = &h->texts[h->textCount++];
    if (slot) *slot = {alarmNumber, copy};
    return copy;
}

// Whether the line at right goes before the one at left.
bool rightFirst(AL_History *h, int32_t left, int32_t right, int column)
{
    int c = AL_compareLines(AL_historyAt(h, right), AL_historyAt(h, left), column);
    return column > 0 ? c > 0 : c < 0;
}

void merge(AL_History *h, int32_t from, int32_t middle, int32_t to, int column)
{
    int32_t i = from, j = middle, k = from;
    while (i < middle && j < to) scratch[k++] = rightFirst(h, order[i], order[j], column) ? order[j++] : order[i++];
    while (i < middle) scratch[k++] = order[i++];
    while (j < to) scratch[k++] = order[j++];
    std::memcpy(&order[from], &scratch[from], (to - from) * sizeof order[0]);
}

// Puts every line at its place in order, following the cycles of the order.
void applyOrder(AL_History *h)
{
    for (int32_t start = 0; start < h->count; start++) {
        if (order[start] == start) continue;
        AL_Line held = *AL_historyAt(h, start);
        int32_t place = start;
        for (;;) {
            int32_t from = order[place];
            order[place] = place;
            if (from == start) {
                *AL_historyAt(h, place) = held;
                break;
            }
            *AL_historyAt(h, place) = *AL_historyAt(h, from);
            place = from;
        }
    }
}

} // namespace

int AL_historyAdd(AL_History *h, const AL_Line *line)
{
    if (h->count >= AL_HISTORY_MAX) return 0;
    int block = h->count / AL_BLOCK_LINES;
    if (block >= h->blockCount) {
        auto *lines = static_cast<AL_Line *>(historyAlloc(h, sizeof(AL_Line) * AL_BLOCK_LINES));
        if (!lines) return 0;
        h->blocks[h->blockCount++] = lines;
    }
    AL_Line copy = *line;
    copy.text = keptText(h, line->alarmNumber, line->text);
    if (line->text && line->text[0] && !copy.text) return 0;
    h->blocks[block][h->count % AL_BLOCK_LINES] = copy;
    h->count++;
    return 1;
}

AL_Line *AL_historyAt(AL_History *h, int32_t index)
{
    return index >= 0 && index < h->count ? &h->blocks[index / AL_BLOCK_LINES][index % AL_BLOCK_LINES] : nullptr;
}

void AL_historyClear(AL_History *h)
{
    h->count = 0;
    if (h->heapShared || MU_getMyHeapSize() != h->heapEnd) return;
    MU_setHeapPosition(h->heapMark);
    h->heapEnd = h->heapMark;
    h->blockCount = 0;
    h->textCount = 0;
}

int AL_compareLines(const AL_Line *a, const AL_Line *b, int column)
{
    switch (column < 0 ? -column : column) {
    case 1: return compareNumbers(a->historyNumber, b->historyNumber);
    case 2: return compareNumbers(a->alarmNumber, b->alarmNumber);
    case 3: {
        int c = std::strcmp(a->text ? a->text : "", b->text ? b->text : "");
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case 4: return compareNumbers(a->onTime, b->onTime);
    case 5: return compareNumbers(a->offTime, b->offTime);
    case 6: return compareNumbers(a->acknowledged, b->acknowledged);
    default: return 0;
    }
}

int AL_historySort(AL_History *h, int column)
{
    if (column == 0 || column > AL_SORT_COLUMNS || column < -AL_SORT_COLUMNS) return -1;
    for (int32_t i = 0; i < h->count; i++) order[i] = i;
    for (int32_t width = 1; width < h->count; width *= 2)
        for (int32_t from = 0; from + width < h->count; from += 2 * width) {
            int32_t to = from + 2 * width < h->count ? from + 2 * width : h->count;
            merge(h, from, from + width, to, column);
        }
    bool moved = false;
    for (int32_t i = 0; i < h->count && !moved; i++) moved = order[i] != i;
    if (moved) applyOrder(h);
    return moved ? 1 : 0;
}

int32_t AL_historyWrite(AL_History *h, const char *fileName, const AL_RowStyle *style)
{
    int file = RA_fileOpen(fileName, "w");
    if (file < 0) return -1;
    int32_t size = 0;
    char row[AL_ROW_SIZE + 64];
    for (int32_t i = 0; i < h->count; i++) {
        int length = AL_formatRow(AL_historyAt(h, i), 1, style, row, sizeof row);
        if (RA_fileWrite(row, 1, length, file) != length) break;
        size += length;
    }
    RA_fileClose(file);
    return size;
}

void AL_resetHistorySort()
{
    std::memset(order, 0, sizeof order);
    std::memset(scratch, 0, sizeof scratch);
}
