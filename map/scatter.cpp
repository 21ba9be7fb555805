// The seeded generator and the scattering of a map's sites.
#include "map/map.h"
#include "map/triangulation.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
uint32_t generatorState = 0;

bool tooCloseLiteral(int32_t x, int32_t y)
{
    for (const MapNode* n = nodeList; n; n = n->next)
        if (std::abs(x - n->x) <= 1 && std::abs(y - n->y) <= 1) return true;
    return false;
}

// Accepted sites bucketed in cells of 128 x 128, chained through slot indices,
// so the closeness test looks at the few sites of at most four cells.
struct SiteGrid {
    static constexpr int shift = 7, side = 32768 >> shift;
    std::vector<int> head = std::vector<int>(side * side, -1);
    std::vector<int> next;

    static int cell(int32_t x, int32_t y) { return (y >> shift) * side + (x >> shift); }

    void add(int slot)
    {
        const int c = cell(nodeStorage[slot].x, nodeStorage[slot].y);
        next[slot] = head[c];
        head[c] = slot;
    }

    bool tooClose(int32_t x, int32_t y) const
    {
        const int x0 = std::max(x - 1, 0) >> shift, x1 = std::min(x + 1, 32767) >> shift;
        const int y0 = std::max(y - 1, 0) >> shift, y1 = std::min(y + 1, 32767) >> shift;
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx)
                for (int s = head[cy * side + cx]; s >= 0; s = next[s])
                    if (std::abs(x - nodeStorage[s].x) <= 1 && std::abs(y - nodeStorage[s].y) <= 1) return true;
        return false;
    }
};

// The first three sites must not be collinear.
bool collinearWithFirstTwo(int32_t x, int32_t y)
{
    const MapNode* h = nodeList;
    const MapNode* t = h->next;
    return (y - t->y) * (x - h->x) == (x - t->x) * (y - h->y);
}

int32_t roundedCentreDistance(int32_t x, int32_t y)
{
    const int32_t dx = x - 16383, dy = y - 16383;
    return static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5);
}
}  // namespace

void seedGenerator(uint32_t seed) { generatorState = seed; }

int drawRandom()
{
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int>((generatorState >> 16) & 0x7FFF);
}

void scatterSites(int n)
{
    nodeStorage = new MapNode[n]();
    nodeStorageCount = n;
    SiteGrid grid;
    grid.next.resize(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) {
        int32_t x, y;
        for (;;) {
            x = drawRandom();
            y = drawRandom();
            if (literalReference ? tooCloseLiteral(x, y) : grid.tooClose(x, y)) continue;
            if (i == 3 && collinearWithFirstTwo(x, y)) continue;
            break;
        }
        placeSite(i - 1, x, y);
        grid.add(i - 1);
    }
}

void placeSite(int slot, int32_t x, int32_t y)
{
    MapNode* node = &nodeStorage[slot];
    node->x = x;
    node->y = y;
    node->centreDistance = roundedCentreDistance(x, y);
    node->next = nodeList;
    nodeList = node;
}
