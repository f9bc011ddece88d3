#include "test_support.h"

#include <cstdint>
#include <cstring>

#include "runtime/settings.h"
#include "runtime/heap.h"

class Heap : public TempDirTest {};

static const size_t W = MU_WORD_SIZE;

TEST_F(Heap, BlocksAreWordAlignedZeroedAndAdjacent)
{
    MU_init();
    auto *a = static_cast<unsigned char *>(MU_alloc(5));
    auto *b = static_cast<unsigned char *>(MU_alloc(5));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(static_cast<size_t>(b - a), 8u) << "5 bytes take 8 with 4- and with 8-byte words";
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(void *), 0u);
    EXPECT_EQ(MU_getMyHeapSize(), 16 / W);
    EXPECT_EQ(HeapInBytes_1, 16u);

    void *zero = MU_alloc(0);
    EXPECT_EQ(zero, b + 8);
    EXPECT_EQ(MU_getMyHeapSize(), 16 / W);

    std::memset(a, 0xAB, 16);
    MU_freeAll();
    auto *again = static_cast<unsigned char *>(MU_alloc(8));
    EXPECT_EQ(again, a);
    EXPECT_EQ(again[0] | again[7], 0);
    EXPECT_EQ(MU_TopHeap1, 16u) << "the high-water mark is never lowered";
}

TEST_F(Heap, OneKilobyteHeapFillsExactly)
{
    pterm.mem_heap1_kb = 1;
    MU_init();
    for (size_t i = 0; i < 1024 / W; i++) ASSERT_NE(MU_alloc(W), nullptr) << i;
    EXPECT_EQ(MU_alloc(1), nullptr);
    MU_freeAll();
    EXPECT_NE(MU_alloc(1024), nullptr);
    EXPECT_EQ(MU_alloc(1), nullptr);
    EXPECT_NE(readFile(path("pterm.log")).find("Out of memory of heap 1\n"), std::string::npos);
}

TEST_F(Heap, MarkReleasesAndZeroesOnlyWhatFollowsIt)
{
    MU_init();
    auto *kept = static_cast<uint32_t *>(MU_alloc(8));
    kept[0] = 11;
    uint32_t mark = MU_getMyHeapSize();
    auto *dropped = static_cast<uint32_t *>(MU_alloc(12));
    dropped[2] = 99;
    uint32_t top = MU_getMyHeapSize();
    MU_setHeapPosition(top + 3);
    EXPECT_EQ(MU_getMyHeapSize(), top) << "a mark above the position changes nothing";
    MU_setHeapPosition(mark);
    EXPECT_EQ(MU_getMyHeapSize(), mark);
    EXPECT_EQ(kept[0], 11u);
    EXPECT_EQ(dropped[2], 0u);
    EXPECT_EQ(MU_alloc(4), dropped);
}

TEST_F(Heap, SecondHeapAndLanguageHeapKeepTheirOwnPositions)
{
    pterm.mem_heap2_kb = 1;
    pterm.mem_lrheap_kb = 1;
    MU_init();
    MU_init2();
    LR_memoryInit();
    auto *h1 = static_cast<char *>(MU_alloc(4));
    auto *h2 = static_cast<char *>(MU_alloc2(4));
    EXPECT_NE(h1, h2);
    EXPECT_EQ(static_cast<size_t>(static_cast<char *>(MU_alloc2(4)) - h2), W);
    EXPECT_EQ(MU_heapMaxBytes(2), 1024u);

    auto *l = static_cast<char *>(LR_malloc(3));
    std::memset(l, 'x', W);
    EXPECT_EQ(static_cast<size_t>(static_cast<char *>(LR_malloc(1)) - l), W);
    EXPECT_EQ(LR_malloc(1024 - 2 * W + 1), nullptr);
    EXPECT_NE(LR_malloc(1024 - 2 * W), nullptr);
    LR_memoryInit();
    EXPECT_EQ(LR_malloc(4), l) << "after a reset the LR heap starts at the area's start";
}
