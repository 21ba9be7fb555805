// The scattering of a map's sites from the seeded generator.
#include "map/builder.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace orvane {

namespace {
bool tooCloseLiteral(const Map& map, int32_t x, int32_t y)
{
    for (const MapNode* n = map.nodeList; n; n = n->next)
        if (std::abs(x - n->x) <= 1 && std::abs(y - n->y) <= 1) return true;
    return false;
}

// Accepted sites bucketed in cells of 128 x 128, chained through slot indices,
// so the closeness test looks at the few sites of at most four cells. The
// cell heads live in the map's build storage and are left empty after each
// scattering, so the next one starts without clearing them all.
struct SiteGrid {
    static constexpr int shift = 7, side = 32768 >> shift;
    const MapNode* sites;
    int count = 0;
    std::vector<int>& head;
    std::vector<int>& next;

    SiteGrid(const MapNode* storage, int n, BuildPools& pools)
        : sites(storage), head(pools.scatterHead), next(pools.scatterNext)
    {
        if (head.size() != static_cast<size_t>(side * side)) head.assign(static_cast<size_t>(side * side), -1);
        if (next.size() < static_cast<size_t>(n)) next.resize(static_cast<size_t>(n));
    }
    SiteGrid(const SiteGrid&) = delete;
    SiteGrid& operator=(const SiteGrid&) = delete;
    ~SiteGrid()
    {
        for (int slot = 0; slot < count; ++slot) head[static_cast<size_t>(cell(sites[slot].x, sites[slot].y))] = -1;
    }

    static int cell(int32_t x, int32_t y) { return (y >> shift) * side + (x >> shift); }

    void add(int slot)
    {
        const int c = cell(sites[slot].x, sites[slot].y);
        next[static_cast<size_t>(slot)] = head[static_cast<size_t>(c)];
        head[static_cast<size_t>(c)] = slot;
        count = slot + 1;
    }

    bool tooClose(int32_t x, int32_t y) const
    {
        const int x0 = std::max(x - 1, 0) >> shift, x1 = std::min(x + 1, 32767) >> shift;
        const int y0 = std::max(y - 1, 0) >> shift, y1 = std::min(y + 1, 32767) >> shift;
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx)
                for (int s = head[static_cast<size_t>(cy * side + cx)]; s >= 0; s = next[static_cast<size_t>(s)])
                    if (std::abs(x - sites[s].x) <= 1 && std::abs(y - sites[s].y) <= 1) return true;
        return false;
    }
};

// The first three sites must not be collinear.
bool collinearWithFirstTwo(const Map& map, int32_t x, int32_t y)
{
    const MapNode* h = map.nodeList;
    const MapNode* t = h->next;
    return (y - t->y) * (x - h->x) == (x - t->x) * (y - h->y);
}

int32_t roundedCentreDistance(int32_t x, int32_t y)
{
    const int32_t dx = x - 16383, dy = y - 16383;
    return static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5);
}
}  // namespace

void scatterSites(Map& map, Generator& generator, int n, Paths paths)
{
    const MapNode* storage = map.allocateNodes(n);
    SiteGrid grid(storage, n, map.pools());
    for (int i = 1; i <= n; ++i) {
        int32_t x, y;
        for (;;) {
            x = generator.draw();
            y = generator.draw();
            if (paths == Paths::reference ? tooCloseLiteral(map, x, y) : grid.tooClose(x, y)) continue;
            if (i == 3 && collinearWithFirstTwo(map, x, y)) continue;
            break;
        }
        placeSite(map, i - 1, x, y);
        grid.add(i - 1);
    }
}

void placeSite(Map& map, int slot, int32_t x, int32_t y)
{
    MapNode* node = &map.nodeStorage()[slot];
    node->x = x;
    node->y = y;
    node->centreDistance = roundedCentreDistance(x, y);
    node->next = map.nodeList;
    map.nodeList = node;
}

}  // namespace orvane
