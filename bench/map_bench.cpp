// Map building and colouring times (median over seeds), printed by Google Benchmark.
#include <benchmark/benchmark.h>
#include "engine/colouring.h"
#include "map/map.h"

namespace {
using namespace orvane;

void buildMapOfSize(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    MapBuilder builder;
    uint32_t seed = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(builder.build(seed, n));
        seed = seed % 5 + 1;
    }
}
BENCHMARK(buildMapOfSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->ReportAggregatesOnly(true);

void colourMapOfSize(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    MapBuilder builder;
    Colouring colouring(nullptr);
    uint32_t seed = 1;
    for (auto _ : state) {
        state.PauseTiming();
        colouring.restart(builder.build(seed, n));
        seed = seed % 5 + 1;
        state.ResumeTiming();
        colouring.run();
    }
}
BENCHMARK(colourMapOfSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)
    ->ReportAggregatesOnly(true);
}  // namespace
