// Heap allocation and RAM-disk throughput.
#include <benchmark/benchmark.h>

#include <string>

#include "runtime/settings.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"

static void BM_HeapAlloc(benchmark::State &state)
{
    initSettings();
    pterm.debug_level = 0;
    MU_init();
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void *p = MU_alloc(size);
        if (!p) {
            state.PauseTiming();
            MU_freeAll();
            state.ResumeTiming();
            p = MU_alloc(size);
        }
        benchmark::DoNotOptimize(p);
    }
    MU_releaseAreas();
}
BENCHMARK(BM_HeapAlloc)->Arg(16)->Arg(256);

static const int kMegabyte = 1 << 20;

static void BM_RamDiskWrite1MB(benchmark::State &state)
{
    initSettings();
    pterm.debug_level = 0;
    pterm.mem_ramdisk_kb = 2048;
    std::string data(kMegabyte, 'x');
    for (auto _ : state) {
        int h = RA_fileOpen("bench.bin", "w");
        benchmark::DoNotOptimize(RA_fileWrite(data.data(), 1, kMegabyte, h));
        RA_fileClose(h);
    }
    state.SetBytesProcessed(state.iterations() * kMegabyte);
    RA_releaseStore();
}
BENCHMARK(BM_RamDiskWrite1MB)->Unit(benchmark::kMillisecond);

static void BM_RamDiskRead1MB(benchmark::State &state)
{
    initSettings();
    pterm.debug_level = 0;
    pterm.mem_ramdisk_kb = 2048;
    std::string data(kMegabyte, 'x');
    int h = RA_fileOpen("bench.bin", "w");
    RA_fileWrite(data.data(), 1, kMegabyte, h);
    RA_fileClose(h);
    for (auto _ : state) {
        h = RA_fileOpen("bench.bin", "r");
        benchmark::DoNotOptimize(RA_fileRead(data.data(), 1, kMegabyte, h));
        RA_fileClose(h);
    }
    state.SetBytesProcessed(state.iterations() * kMegabyte);
    RA_releaseStore();
}
BENCHMARK(BM_RamDiskRead1MB)->Unit(benchmark::kMillisecond);
