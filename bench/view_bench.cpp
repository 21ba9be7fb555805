// Paint time of the map page: recording the drawing calls of a coloured map
// (what every repaint does before the platform plays them), and the SVG writer.
#include "engine/engine.h"
#include "map/map.h"
#include "ui/draw.h"
#include "ui/ui.h"
#include "ui/view.h"
#include <benchmark/benchmark.h>

namespace {
void colouredMap(int n)
{
    seedGenerator(0x1a2b);
    buildMap(n);
    EnginePhase = phasePrepare;
    engineStep(true);
    displayMode = 0;
    viewWidth = 1800;
    viewHeight = 1000;
}

void paintMapPage(benchmark::State& state)
{
    colouredMap(static_cast<int>(state.range(0)));
    DrawList list;
    for (auto _ : state) {
        paintView(list);
        benchmark::DoNotOptimize(list.calls.data());
    }
    state.counters["calls"] = static_cast<double>(list.calls.size());
    releaseMap();
    displayMode = -1;
}
BENCHMARK(paintMapPage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void writeMapPageSvg(benchmark::State& state)
{
    colouredMap(static_cast<int>(state.range(0)));
    DrawList list;
    paintView(list);
    for (auto _ : state) benchmark::DoNotOptimize(svgOf(list).size());
    releaseMap();
    displayMode = -1;
}
BENCHMARK(writeMapPageSvg)->Arg(10000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
}  // namespace
