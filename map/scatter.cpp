// The seeded generator and the scattering of a map's sites.
#include "map/map.h"
#include "map/triangulation.h"
#include <cmath>
#include <cstdlib>

namespace {
uint32_t generatorState = 0;

bool tooCloseToAcceptedSite(int32_t x, int32_t y)
{
    for (const MapNode* n = nodeList; n; n = n->next)
        if (std::abs(x - n->x) <= 1 && std::abs(y - n->y) <= 1) return true;
    return false;
}

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
    for (int i = 1; i <= n; ++i) {
        int32_t x, y;
        for (;;) {
            x = drawRandom();
            y = drawRandom();
            if (tooCloseToAcceptedSite(x, y)) continue;
            if (i == 3 && collinearWithFirstTwo(x, y)) continue;
            break;
        }
        placeSite(i - 1, x, y);
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
