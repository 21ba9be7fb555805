// Map building beside a general Delaunay triangulation library: the time of
// Map::build(seed, N) and the time CGAL takes to insert the same sites one at
// a time in the map's insertion order (node list order, number 1 first), both
// measured in this run. Benchmark only: the product never uses CGAL.
#include "map/map.h"
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel>;
using Site = Kernel::Point_2;

struct Times {
    double wall;
    double cpu;
};

double threadCpuMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

template <typename Work>
Times timed(Work work)
{
    const auto w0 = std::chrono::steady_clock::now();
    const double c0 = threadCpuMilliseconds();
    work();
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count(),
            threadCpuMilliseconds() - c0};
}

// Median wall and processor time over `rounds` runs.
template <typename Work>
Times median(int rounds, Work work)
{
    std::vector<double> wall, cpu;
    for (int r = 0; r < rounds; ++r) {
        const Times t = timed(work);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

std::vector<Site> sitesInInsertionOrder(const orvane::Map& map)
{
    std::vector<Site> sites;
    for (int k = 1; k <= map.nodeCount(); ++k) sites.emplace_back(map.position(k).x, map.position(k).y);
    return sites;
}

void compare(uint32_t seed, int n, int rounds)
{
    orvane::MapBuilder builder;
    std::shared_ptr<const orvane::Map> map;
    const Times ours = median(rounds, [&] { map = builder.build(seed, n); });
    const std::vector<Site> sites = sitesInInsertionOrder(*map);
    // One call of insert per site, with no hint: the library locates each site itself.
    const Times plain = median(rounds, [&] {
        Delaunay dt;
        for (const Site& p : sites) dt.insert(p);
    });
    // The same with the last inserted vertex as the start of the location walk.
    const Times hinted = median(rounds, [&] {
        Delaunay dt;
        Delaunay::Vertex_handle last;
        for (const Site& p : sites) last = last == Delaunay::Vertex_handle() ? dt.insert(p) : dt.insert(p, last->face());
    });
    std::printf("  %6d %10.2f %10.2f %12.2f %10.2f %12.2f %10.2f %8.2f %8.2f\n", n, ours.wall, ours.cpu, plain.wall,
                plain.cpu, hinted.wall, hinted.cpu, ours.cpu / plain.cpu, ours.cpu / hinted.cpu);
}
}  // namespace

int main()
{
    std::printf("map build beside CGAL insertion of the same sites in node list order (seed 1, medians)\n");
    std::printf("  %6s %10s %10s %12s %10s %12s %10s %8s %8s\n", "N", "build ms", "build cpu", "CGAL ms", "CGAL cpu",
                "hinted ms", "hinted cpu", "ratio", "ratio h");
    for (int n : {1000, 3000, 10000}) compare(1, n, n >= 10000 ? 9 : 21);
    std::printf("  ratio: build cpu / CGAL cpu (below 1: the map builds faster); ratio h: against the hinted insertion\n");
    return 0;
}
