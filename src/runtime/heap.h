// Memory heaps: heap1 (the page on screen), heap2 (the project) and the LR heap
// (the language table). Each is one fixed area taken once; memory is handed out
// by moving a top pointer and dropped only as a whole. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>

// The heaps hand out memory in words of the platform's pointer size, so that
// every block can hold any record: 4 bytes on the panel's 32-bit processors,
// 8 bytes on 64-bit machines.
#define MU_WORD_SIZE (sizeof(void *))

void MU_init();
void MU_init2();
void MU_freeAll();
void MU_freeAll2();
void *MU_alloc(size_t size);
void *MU_alloc2(size_t size);
void MU_free();
void MU_free2();

// Current position of heap1 in words, and the release back to such a mark.
uint32_t MU_getMyHeapSize();
void MU_setHeapPosition(uint32_t mark);

uint32_t MU_getDefaultHeapSizeKB(int n);
uint32_t MU_getDefaultLRHeapSizeKB();

void LR_memoryInit();
void *LR_malloc(size_t size);
// Raises the LR heap's high-water mark to the bytes now in use.
void LR_updateTopHeap();

// High-water marks in bytes and maximum sizes in bytes, for the memory report.
extern uint32_t MU_TopHeap1, MU_TopHeap2, LR_TopHeap;
extern uint32_t HeapInBytes_1, HeapInBytes_2, LrHeapInBytes;
uint32_t MU_heapMaxBytes(int n);
uint32_t LR_heapMaxBytes();

// Returns all three areas to the system and clears the counters and
// high-water marks; the next init takes the areas anew with the sizes then in
// the settings. For a controlled shutdown and for tests.
void MU_releaseAreas();
