// Target communication on loopback against the target simulator: single relay
// requests and whole refresh cycles, with and without the kept-alive
// connection.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "app/startup.h"
#include "runtime/settings.h"
#include "bench_simulator.h"
#include "comm/target_link.h"

namespace {

void connectTo(int keepAlive)
{
    initSettings();
    attachLayers();
    pterm.debug_level = 0;
    SetRemoteHost(emptyRootSimulator().host().c_str());
    SRVR_setKeepAlive(keepAlive);
}

void BM_RelayReadValue(benchmark::State &state)
{
    connectTo(static_cast<int>(state.range(0)));
    char reply[256];
    for (auto _ : state) {
        if (!RelayURL(nullptr, RLY_READ_VALUE, "sim.counter", reply, sizeof reply)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(reply);
    }
    SRVR_destroy();
}
BENCHMARK(BM_RelayReadValue)->ArgName("keepAlive")->Arg(0)->Arg(1)->UseRealTime();

// One refresh cycle of a page with N points: after the first order, each
// cycle reads one value file per order block (every 21st cycle orders again).
void BM_RefreshCycle(benchmark::State &state)
{
    if (!openPointsPage(emptyRootSimulator(), static_cast<int>(state.range(0)), static_cast<int>(state.range(1))))
        state.SkipWithError("first refresh failed");
    for (auto _ : state) {
        if (!Tarsel_refresh(0)) state.SkipWithError("refresh failed");
    }
    state.counters["blocks"] = Tarsel_getBlockCount();
    closePointsPage();
}
BENCHMARK(BM_RefreshCycle)
    ->ArgNames({"points", "keepAlive"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->UseRealTime();

} // namespace
