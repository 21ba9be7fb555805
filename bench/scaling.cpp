// Side-by-side figures of the reference (literal) paths and the fast paths:
// map building and full colouring times (for each of seeds 1-5 the least of
// five rounds, then the median over the seeds) for several
// sizes, the fitted growth exponent, and the peak resident memory of one
// 10000-node map. scripts/instruction-counts.sh fits the exponents of the
// instruction counts of the same sizes (callgrind, or hardware counters where
// they work): a time exponent above the instruction exponent is time spent
// waiting for memory rather than working. Both are worth reading on an idle
// machine; other load stretches wall times (the processor times beside them
// stretch less).
#include "engine/colouring.h"
#include "map/map.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
using namespace orvane;
using WallClock = std::chrono::steady_clock;

// Processor time of this thread, for figures that other load on the machine
// disturbs less than wall time.
double threadCpuMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double millisecondsSince(WallClock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(WallClock::now() - t0).count();
}

struct Timing {
    double build;
    double buildCpu;
    double colour;
    double colourCpu;
};

// One map built and coloured with a builder and a colouring that earlier maps
// used, as a batch worker uses them.
Timing timeOneMap(MapBuilder& builder, Colouring& colouring, uint32_t seed, int n)
{
    const auto t0 = WallClock::now();
    const double c0 = threadCpuMilliseconds();
    std::shared_ptr<const Map> map = builder.build(seed, n, {colouring.paths()});
    const double build = millisecondsSince(t0), buildCpu = threadCpuMilliseconds() - c0;
    colouring.restart(std::move(map));
    const auto t1 = WallClock::now();
    const double c1 = threadCpuMilliseconds();
    colouring.run();
    return {build, buildCpu, millisecondsSince(t1), threadCpuMilliseconds() - c1};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The least of a few rounds of one map: other load on the machine only ever
// adds time, so the least is the figure it disturbs least.
Timing leastOfRounds(MapBuilder& builder, Colouring& colouring, uint32_t seed, int n, int rounds)
{
    Timing least = timeOneMap(builder, colouring, seed, n);
    for (int r = 1; r < rounds; ++r) {
        const Timing t = timeOneMap(builder, colouring, seed, n);
        least = {std::min(least.build, t.build), std::min(least.buildCpu, t.buildCpu),
                 std::min(least.colour, t.colour), std::min(least.colourCpu, t.colourCpu)};
    }
    return least;
}

Timing medianOverSeeds(int n, Paths paths)
{
    MapBuilder builder;
    Colouring colouring(nullptr, steadyClock(), paths);
    const int rounds = paths == Paths::fast ? 5 : 1;
    std::vector<double> build, buildCpu, colour, colourCpu;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const Timing t = leastOfRounds(builder, colouring, seed, n, rounds);
        build.push_back(t.build);
        buildCpu.push_back(t.buildCpu);
        colour.push_back(t.colour);
        colourCpu.push_back(t.colourCpu);
    }
    return {median(build), median(buildCpu), median(colour), median(colourCpu)};
}

// Least-squares slope of log(time) over log(n).
double fittedExponent(const std::vector<int>& sizes, const std::vector<double>& times)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double k = static_cast<double>(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const double x = std::log(sizes[i]), y = std::log(std::max(times[i], 1e-3));
        sx += x; sy += y; sxx += x * x; sxy += x * y;
    }
    return (k * sxy - sx * sy) / (k * sxx - sx * sx);
}

// The colour changes between one step of the colouring and the next, summed
// over a whole colouring: every one of them is work that any implementation
// giving the same steps does, so their growth bounds how slowly the colouring
// time can grow. (A node recoloured twice within one step counts once: a lower
// bound.)
long colourChangesBetweenSteps(uint32_t seed, int n)
{
    Colouring colouring(Map::build(seed, n));
    std::vector<ColourCode> before(static_cast<size_t>(n), colourNone);
    long changes = 0;
    while (colouring.step(false).ran && !colouring.finished()) {
        for (size_t i = 0; i < before.size(); ++i) {
            const ColourCode now = colouring.colour(static_cast<NodeIndex>(i));
            changes += before[i] >= colourR && before[i] <= colourB && now != before[i];
            before[i] = now;
        }
    }
    return changes;
}

void printMethodWork()
{
    const std::vector<int> sizes = {1000, 3000, 10000};
    std::vector<double> perMap;
    std::printf("\nthe method's own work: colour changes of coloured nodes between steps (mean over seeds 1-5)\n"
                "  %6s %14s %10s\n", "N", "changes", "per node");
    for (int n : sizes) {
        long sum = 0;
        for (uint32_t seed = 1; seed <= 5; ++seed) sum += colourChangesBetweenSteps(seed, n);
        perMap.push_back(static_cast<double>(sum) / 5);
        std::printf("  %6d %14.0f %10.2f\n", n, perMap.back(), perMap.back() / n);
    }
    std::printf("  exponent: %.2f\n", fittedExponent(sizes, perMap));
}

long residentPeakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void printTable(const char* title, Paths paths)
{
    const std::vector<int> sizes = {1000, 3000, 10000};
    std::vector<double> builds, colours;
    std::printf("%s (%s)\n  %6s %12s %14s %12s %16s\n", title,
                paths == Paths::fast ? "least of 5 rounds, median over seeds 1-5" : "medians over seeds 1-5", "N", "build ms", "build cpu ms",
                "colour ms", "colour cpu ms");
    for (int n : sizes) {
        const Timing t = medianOverSeeds(n, paths);
        builds.push_back(t.build);
        colours.push_back(t.colour);
        std::printf("  %6d %12.2f %14.2f %12.2f %16.2f\n", n, t.build, t.buildCpu, t.colour, t.colourCpu);
    }
    std::printf("  exponent: build %.2f, colour %.2f\n", fittedExponent(sizes, builds), fittedExponent(sizes, colours));
}
}  // namespace

int main()
{
    const long baseline = residentPeakKilobytes();
    long peak = 0;
    {
        MapBuilder builder;
        Colouring colouring(nullptr);
        timeOneMap(builder, colouring, 1, 10000);
        peak = residentPeakKilobytes();
    }
    std::printf("peak resident memory for one 10000-node map: %ld kB above a baseline of %ld kB\n\n", peak - baseline,
                baseline);
    printTable("reference paths (literal walks and clears)", Paths::reference);
    printTable("fast paths", Paths::fast);
    printMethodWork();
    std::printf("\ninstruction counts and their exponents: scripts/instruction-counts.sh [path/to/orvane-cli]\n");
    return 0;
}
