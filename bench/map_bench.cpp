// Map building and colouring times (median over seeds), printed by Google Benchmark.
#include "engine/engine.h"
#include "map/map.h"
#include <benchmark/benchmark.h>

namespace {
void buildMapOfSize(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    uint32_t seed = 1;
    for (auto _ : state) {
        seedGenerator(seed);
        buildMap(n);
        seed = seed % 5 + 1;
    }
    releaseMap();
}
BENCHMARK(buildMapOfSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->ReportAggregatesOnly(true);

void colourMapOfSize(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    uint32_t seed = 1;
    for (auto _ : state) {
        state.PauseTiming();
        seedGenerator(seed);
        buildMap(n);
        EnginePhase = phasePrepare;
        seed = seed % 5 + 1;
        state.ResumeTiming();
        engineStep(true);
    }
    releaseMap();
}
BENCHMARK(colourMapOfSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->ReportAggregatesOnly(true);
}  // namespace
