// The scattering of a map's sites from the seeded generator: every site is
// drawn first, then the nodes are placed (map/placement.cpp).
#include "map/builder.h"
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvane {

namespace {
bool tooCloseLiteral(const std::vector<Point>& drawn, int32_t x, int32_t y)
{
    for (const Point& p : drawn)
        if (std::abs(x - p.x) <= 1 && std::abs(y - p.y) <= 1) return true;
    return false;
}

// Accepted sites bucketed in cells of 128 x 128, chained through their draw
// indices, so the closeness test looks at the few sites of at most four cells.
// The cell heads live in the map's build storage and are left empty after
// each scattering, so the next one starts without clearing them all.
struct SiteGrid {
    static constexpr int shift = 7, side = 32768 >> shift;
    const std::vector<Point>& sites;
    std::vector<int>& head;
    std::vector<int>& next;

    SiteGrid(const std::vector<Point>& drawn, int n, BuildPools& pools)
        : sites(drawn), head(pools.scatterHead), next(pools.scatterNext)
    {
        if (head.size() != static_cast<size_t>(side * side)) head.assign(static_cast<size_t>(side * side), -1);
        if (next.size() < static_cast<size_t>(n)) next.resize(static_cast<size_t>(n));
    }
    SiteGrid(const SiteGrid&) = delete;
    SiteGrid& operator=(const SiteGrid&) = delete;
    ~SiteGrid()
    {
        for (const Point& p : sites) head[static_cast<size_t>(cell(p.x, p.y))] = -1;
    }

    static int cell(int32_t x, int32_t y) { return (y >> shift) * side + (x >> shift); }

    // The drawn site of this index.
    void add(size_t index)
    {
        const int c = cell(sites[index].x, sites[index].y);
        next[index] = head[static_cast<size_t>(c)];
        head[static_cast<size_t>(c)] = static_cast<int>(index);
    }

    bool tooClose(int32_t x, int32_t y) const
    {
        const int x0 = std::max(x - 1, 0) >> shift, x1 = std::min(x + 1, 32767) >> shift;
        const int y0 = std::max(y - 1, 0) >> shift, y1 = std::min(y + 1, 32767) >> shift;
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx)
                for (int s = head[static_cast<size_t>(cy * side + cx)]; s >= 0; s = next[static_cast<size_t>(s)]) {
                    const Point& p = sites[static_cast<size_t>(s)];
                    if (std::abs(x - p.x) <= 1 && std::abs(y - p.y) <= 1) return true;
                }
        return false;
    }
};

// The third site must not lie on the line through the first two.
bool collinearWithFirstTwo(const std::vector<Point>& drawn, int32_t x, int32_t y)
{
    const Point h = drawn[1], t = drawn[0];
    return (y - t.y) * (x - h.x) == (x - t.x) * (y - h.y);
}
}  // namespace

bool siteTooClose(BuildPools& pools, Point site, Paths paths)
{
    if (paths == Paths::reference) return tooCloseLiteral(pools.drawn, site.x, site.y);
    SiteGrid grid(pools.drawn, static_cast<int>(pools.drawn.size()), pools);
    for (size_t i = 0; i < pools.drawn.size(); ++i) grid.add(i);
    return grid.tooClose(site.x, site.y);
}

void scatterSites(BuildPools& pools, Generator& generator, int n, Paths paths)
{
    std::vector<Point>& drawn = pools.drawn;
    drawn.clear();
    drawn.reserve(static_cast<size_t>(n));
    {
        SiteGrid grid(drawn, n, pools);
        for (int i = 1; i <= n; ++i) {
            int32_t x, y;
            for (;;) {
                x = generator.draw();
                y = generator.draw();
                if (paths == Paths::reference ? tooCloseLiteral(drawn, x, y) : grid.tooClose(x, y)) continue;
                if (i == 3 && collinearWithFirstTwo(drawn, x, y)) continue;
                break;
            }
            drawn.push_back({x, y});
            grid.add(drawn.size() - 1);
        }
    }
}

}  // namespace orvane
