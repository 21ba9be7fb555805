// Paint time of the map page: recording the drawing calls of a coloured map
// (what every repaint does before the platform plays them), and the SVG writer.
#include <benchmark/benchmark.h>
#include "engine/colouring.h"
#include "map/map.h"
#include "ui/draw.h"
#include "ui/view.h"

namespace {
using namespace orvane;

constexpr ViewSize viewSize{1800, 1000};

void recordMapPage(benchmark::State& state)
{
    Colouring colouring(Map::build(0x1a2b, static_cast<int>(state.range(0))));
    colouring.run();
    DrawList list;
    for (auto _ : state) {
        paintMapPage(list, colouring, viewSize);
        benchmark::DoNotOptimize(list.calls.data());
    }
    state.counters["calls"] = static_cast<double>(list.calls.size());
}
BENCHMARK(recordMapPage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void writeMapPageSvg(benchmark::State& state)
{
    Colouring colouring(Map::build(0x1a2b, static_cast<int>(state.range(0))));
    colouring.run();
    DrawList list;
    paintMapPage(list, colouring, viewSize);
    for (auto _ : state) benchmark::DoNotOptimize(svgOf(list).size());
}
BENCHMARK(writeMapPageSvg)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
}  // namespace
