// Memory heaps. Owns the three areas and their counters; reads the heap sizes
// from the settings record and reports through the log.
#include "runtime/heap.h"

#include <cstdlib>
#include <cstring>

#include "runtime/settings.h"
#include "runtime/hooks.h"
#include "runtime/log.h"

uint32_t MU_TopHeap1, MU_TopHeap2, LR_TopHeap;
uint32_t HeapInBytes_1, HeapInBytes_2, LrHeapInBytes;

namespace {

constexpr uint32_t kDefaultHeapKB = 2048;
constexpr uint32_t kDefaultLRHeapKB = 512;

constexpr size_t kWord = MU_WORD_SIZE;

struct WordHeap {
    unsigned char *base;
    uint32_t maxWords;
    uint32_t position;
    uint32_t *inBytes;
    uint32_t *top;
    const char *initFailure;
    const char *fullMessage;
};

WordHeap heap1 = {
    nullptr, 0, 0, &HeapInBytes_1, &MU_TopHeap1, "Failed to initialize heap 1!\n", "Out of memory of heap 1\n"};
WordHeap heap2 = {
    nullptr, 0, 0, &HeapInBytes_2, &MU_TopHeap2, "Failed to initialize heap 2!\n", "Out of memory of heap 2\n"};

struct ByteHeap {
    unsigned char *base;
    uint32_t maxBytes;
    uint32_t used;
} lrHeap;

uint32_t sizeBytes(uint32_t kb, uint32_t defaultKb)
{
    uint64_t bytes = static_cast<uint64_t>(kb ? kb : defaultKb) * 1024u;
    return bytes > UINT32_MAX ? UINT32_MAX & ~7u : static_cast<uint32_t>(bytes);
}

[[noreturn]] void failInit(const char *message)
{
    err_append(0, message, nullptr);
    std::exit(-1);
}

void resetWordHeap(WordHeap &h, uint32_t kb)
{
    if (!h.base) {
        uint32_t bytes = sizeBytes(kb, kDefaultHeapKB);
        h.base = static_cast<unsigned char *>(std::malloc(bytes ? bytes : kWord));
        if (!h.base) failInit(h.initFailure);
        h.maxWords = static_cast<uint32_t>(bytes / kWord);
    }
    h.position = 0;
    *h.inBytes = 0;
    if (h.maxWords) std::memset(h.base, 0, kWord);
}

void *allocWords(WordHeap &h, size_t size)
{
    if (!h.base || size > SIZE_MAX - kWord) return nullptr;
    size_t words = (size + kWord - 1) / kWord;
    if (words > h.maxWords - h.position) {
        err_append(0, h.fullMessage, nullptr);
        return nullptr;
    }
    unsigned char *block = h.base + h.position * kWord;
    uint32_t bytes = static_cast<uint32_t>(words * kWord);
    std::memset(block, 0, bytes);
    *h.inBytes += bytes;
    if (*h.inBytes > *h.top) *h.top = *h.inBytes;
    h.position += static_cast<uint32_t>(words);
    return block;
}

} // namespace

void MU_init()
{
    resetWordHeap(heap1, pterm.mem_heap1_kb);
    HK_hooks()->clearNavigation();
}

void MU_init2() { resetWordHeap(heap2, pterm.mem_heap2_kb); }
void MU_freeAll() { MU_init(); }
void MU_freeAll2() { MU_init2(); }
void *MU_alloc(size_t size) { return allocWords(heap1, size); }
void *MU_alloc2(size_t size) { return allocWords(heap2, size); }
void MU_free() {}
void MU_free2() {}

uint32_t MU_getMyHeapSize() { return heap1.position; }

void MU_setHeapPosition(uint32_t mark)
{
    if (mark >= heap1.position) return;
    std::memset(heap1.base + mark * kWord, 0, (heap1.position - mark) * kWord);
    heap1.position = mark;
}

uint32_t MU_getDefaultHeapSizeKB(int n) { return (n == 1 || n == 2) ? kDefaultHeapKB : 0; }
uint32_t MU_getDefaultLRHeapSizeKB() { return kDefaultLRHeapKB; }
uint32_t MU_heapMaxBytes(int n) { return static_cast<uint32_t>((n == 1 ? heap1.maxWords : heap2.maxWords) * kWord); }
uint32_t LR_heapMaxBytes() { return lrHeap.maxBytes; }

void LR_memoryInit()
{
    if (!lrHeap.base) {
        uint32_t bytes = sizeBytes(pterm.mem_lrheap_kb, kDefaultLRHeapKB);
        lrHeap.base = static_cast<unsigned char *>(std::malloc(bytes ? bytes : kWord));
        if (!lrHeap.base) failInit("Failed to initialize LR heap!\n");
        lrHeap.maxBytes = bytes;
    }
    lrHeap.used = 0;
    LrHeapInBytes = 0;
    if (lrHeap.maxBytes >= kWord) std::memset(lrHeap.base, 0, kWord);
}

void *LR_malloc(size_t size)
{
    if (!lrHeap.base || size > SIZE_MAX - kWord) return nullptr;
    size_t bytes = (size + kWord - 1) / kWord * kWord;
    if (bytes > lrHeap.maxBytes - lrHeap.used) {
        err_append(0, "Out of memory for language resource\n", nullptr);
        return nullptr;
    }
    void *block = lrHeap.base + lrHeap.used;
    lrHeap.used += static_cast<uint32_t>(bytes);
    LrHeapInBytes = lrHeap.used;
    return block;
}

void LR_updateTopHeap()
{
    if (LrHeapInBytes > LR_TopHeap) LR_TopHeap = LrHeapInBytes;
}

void MU_releaseAreas()
{
    WordHeap *both[] = {&heap1, &heap2};
    for (WordHeap *h : both) {
        std::free(h->base);
        h->base = nullptr;
        h->maxWords = h->position = 0;
    }
    std::free(lrHeap.base);
    lrHeap = {};
    MU_TopHeap1 = MU_TopHeap2 = LR_TopHeap = 0;
    HeapInBytes_1 = HeapInBytes_2 = LrHeapInBytes = 0;
}
