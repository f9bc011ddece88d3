// Process data: source-name resolution, container look-up, the update of the
// process-point cache from a values reply, and the value formats.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "runtime/settings.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "data/source_names.h"
#include "data/value_format.h"
#include "runtime/heap.h"
#include "runtime/ramdisk.h"

namespace {

// 200 containers, the last ones used by the names below.
void fillContainers()
{
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

void setUpProject()
{
    static bool done = false;
    if (done) return;
    done = true;
    initSettings();
    attachLayers();
    MU_init();
    MU_init2();
    fillContainers();
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

// Every point of a page of range(0) points looked up by name once, as the
// conditions of a page that shows each point do on every cycle: per look-up
// the time stays flat as the page grows.
void BM_LookupEveryPoint(benchmark::State &state)
{
    setUpProject();
    PPO_destroyList();
    int points = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < points; i++) {
        names.push_back("Plant.Unit" + std::to_string(i) + ".Value");
        PPO_addToList(names.back().c_str(), nullptr);
    }
    for (auto _ : state)
        for (const std::string &name : names) benchmark::DoNotOptimize(PPO_lookup(name.c_str()));
    state.SetItemsProcessed(state.iterations() * points);
    PPO_destroyList();
}

// The same look-ups as a walk of the read list comparing names, as they were
// made before the list had its index: the peer of the benchmark above.
void BM_LookupEveryPoint_ListWalk(benchmark::State &state)
{
    setUpProject();
    PPO_destroyList();
    int points = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < points; i++) {
        names.push_back("Plant.Unit" + std::to_string(i) + ".Value");
        PPO_addToList(names.back().c_str(), nullptr);
    }
    for (auto _ : state)
        for (const std::string &name : names) {
            PpoRecord *found = PPO_getList()->first;
            while (found && std::strcmp(found->name, name.c_str()) != 0) found = found->next;
            benchmark::DoNotOptimize(found);
        }
    state.SetItemsProcessed(state.iterations() * points);
    PPO_destroyList();
}

// A text-conversion table of 1000 points in six formats, each with a raw
// value from the target and a value as an operator types it.
struct FormatCase {
    const char *format, *minimum, *maximum, *raw, *typed;
};
const FormatCase kFormatMix[] = {
    {"dec.2", "0", "100000", "12345", "123.45"},
    {"flt2dec.1", "0", "100", "3.14159", "3.1"},
    {"int2hex", "0", "FFFF", "48879", "BEEF"},
    {"HH:MM", " ", " ", "930", "09:30"},
    {"DD.MM.YY", "000101", "991231", "070303", "03.03.07"},
    {"int", "-1000", "1000", "42", "-42"},
};
constexpr int kFormatMixSize = sizeof kFormatMix / sizeof kFormatMix[0];
constexpr int kFormatPoints = 1000;

std::string formatTable()
{
    std::string table;
    char line[128];
    for (int i = 0; i < kFormatPoints; i++) {
        const FormatCase &c = kFormatMix[i % kFormatMixSize];
        std::snprintf(line, sizeof line, "Plant.Point%03d;PLC.DB10.W%03d ;%s;%s;%s;unit;\n", i, i, c.minimum, c.maximum,
                      c.format);
        table += line;
    }
    return table;
}

void parseFormatTable()
{
    std::string table = formatTable();
    int file = RA_fileOpen("bench.tcr", "w");
    RA_fileWrite(table.data(), 1, static_cast<int>(table.size()), file);
    RA_fileClose(file);
    TCR_parseTcrFile("bench.tcr");
}

void loadFormatTable()
{
    static bool done = false;
    setUpProject();
    if (!done) parseFormatTable();
    done = true;
}

std::string formattedName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "PLC.DB10.W%03d", i);
    return name;
}

// Reading a page's TCR file of 1000 lines at page load. The table lives in
// heap2, which each pass empties first, as a new page does; the project's
// containers and the table are built again afterwards.
void BM_ParseTcrFile1000(benchmark::State &state)
{
    loadFormatTable();
    for (auto _ : state) {
        MU_freeAll2();
        benchmark::DoNotOptimize(TCR_parseTcrFile("bench.tcr"));
    }
    MU_freeAll2();
    fillContainers();
    parseFormatTable();
    state.SetItemsProcessed(state.iterations() * kFormatPoints);
}

// 1000 cached values formatted through their entries, as a refresh stores them.
void BM_FormatValues1000(benchmark::State &state)
{
    loadFormatTable();
    std::vector<TcrEntry *> entries;
    for (int i = 0; i < kFormatPoints; i++) entries.push_back(TCR_getTcrPointer(formattedName(i).c_str()));
    char value[TCR_VALUE_SIZE];
    for (auto _ : state) {
        for (int i = 0; i < kFormatPoints; i++) {
            std::strcpy(value, kFormatMix[i % kFormatMixSize].raw);
            TCR_readFormatedPPO(entries[static_cast<size_t>(i)], value);
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations() * kFormatPoints);
}

// The same values found by their formatted names first (the local value store).
void BM_FormatStoreValues1000(benchmark::State &state)
{
    loadFormatTable();
    std::vector<std::string> names;
    for (int i = 0; i < kFormatPoints; i++) names.push_back(formattedName(i));
    char value[TCR_VALUE_SIZE];
    for (auto _ : state) {
        for (int i = 0; i < kFormatPoints; i++) {
            std::strcpy(value, kFormatMix[i % kFormatMixSize].raw);
            TCR_readFormatedPPOValue(names[static_cast<size_t>(i)].c_str(), value);
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations() * kFormatPoints);
}

// 1000 typed entries checked against their ranges and converted to raw values.
void BM_ConvertEntries1000(benchmark::State &state)
{
    loadFormatTable();
    std::vector<std::string> names;
    for (int i = 0; i < kFormatPoints; i++) names.push_back(formattedName(i));
    char value[TCR_VALUE_SIZE];
    int ok = 0;
    for (auto _ : state) {
        for (int i = 0; i < kFormatPoints; i++) {
            std::strcpy(value, kFormatMix[i % kFormatMixSize].typed);
            TCR_writeFormatedPPOValue(names[static_cast<size_t>(i)].c_str(), value, &ok);
        }
        benchmark::DoNotOptimize(ok);
    }
    if (TCR_isInvalidEntry()) state.SkipWithError("an entry was refused");
    state.SetItemsProcessed(state.iterations() * kFormatPoints);
}

} // namespace

BENCHMARK(BM_ResolvePlainName);
BENCHMARK(BM_ResolveContainerReference);
BENCHMARK(BM_ResolveOffsetReference);
BENCHMARK(BM_ResolveNestedReference);
BENCHMARK(BM_ReadContainer);
BENCHMARK(BM_ParseValues1000);
BENCHMARK(BM_LookupEveryPoint)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_LookupEveryPoint_ListWalk)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ParseTcrFile1000);
BENCHMARK(BM_FormatValues1000);
BENCHMARK(BM_FormatStoreValues1000);
BENCHMARK(BM_ConvertEntries1000);
