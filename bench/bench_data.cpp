// Process data: source-name resolution, container look-up and the update of
// the process-point cache from a values reply.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/startup.h"
#include "runtime/settings.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "data/source_names.h"
#include "runtime/heap.h"

namespace {

// A project with 200 containers, the last ones used by the names below.
void setUpProject()
{
    static bool done = false;
    if (done) return;
    done = true;
    initSettings();
    attachLayers();
    MU_init();
    MU_init2();
    HT_resetContainers();
    char name[32];
    for (int i = 0; i < 197; i++) {
        std::snprintf(name, sizeof name, "Recipe.%d", i);
        HT_writeContainer(name, "0");
    }
    HT_writeContainer("index", "3");
    HT_writeContainer("offs", "5");
    HT_writeContainer("3", "Tank3");
}

void resolve(benchmark::State &state, const char *name)
{
    setUpProject();
    for (auto _ : state) benchmark::DoNotOptimize(resolveInfoName(name));
}

void BM_ResolvePlainName(benchmark::State &state) { resolve(state, "Tank.Level"); }
void BM_ResolveContainerReference(benchmark::State &state) { resolve(state, "Motor#CO_index#.Speed"); }
void BM_ResolveOffsetReference(benchmark::State &state) { resolve(state, "R10+#COFF_offs#"); }
void BM_ResolveNestedReference(benchmark::State &state) { resolve(state, "@CO_#CO_index#@.Level"); }

void BM_ReadContainer(benchmark::State &state)
{
    setUpProject();
    char value[256];
    for (auto _ : state) benchmark::DoNotOptimize(HT_readContainer("offs", value));
}

// One refresh of a page with 1000 points: the reply "name=value" per line.
void BM_ParseValues1000(benchmark::State &state)
{
    setUpProject();
    PPO_destroyList();
    std::string reply;
    char name[32];
    for (int i = 0; i < 1000; i++) {
        std::snprintf(name, sizeof name, "Plant.Unit%03d.Value", i);
        PPO_addToList(name, nullptr);
        reply += std::string(name) + "=" + std::to_string(i * 37) + ".5\n";
    }
    std::string buffer;
    for (auto _ : state) {
        buffer = reply;
        benchmark::DoNotOptimize(PPO_parseValuesString(buffer.data(), -1));
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

} // namespace

BENCHMARK(BM_ResolvePlainName);
BENCHMARK(BM_ResolveContainerReference);
BENCHMARK(BM_ResolveOffsetReference);
BENCHMARK(BM_ResolveNestedReference);
BENCHMARK(BM_ReadContainer);
BENCHMARK(BM_ParseValues1000);
