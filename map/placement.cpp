// Placing drawn sites into the map's node storage. The node list keeps the
// drawing order (the newest site at its head). In a large map the storage
// slots follow a Hilbert curve over the square: nodes that border each other
// mostly sit near each other in memory, so the colouring's chain fills, which
// spread from node to neighbouring node, stay within a few cache lines at a
// time. A small map fits the processor's caches anyway; there the slots keep
// the drawing order, so the walks along the node list read memory in sequence,
// and so do they for the reference paths, which walk the whole list for
// every clear and search.
#include "map/builder.h"

namespace orvane {

namespace {
// Position of cell (x, y) along a Hilbert curve through a grid of 2^level
// cells a side, two bits a level from a table of the curve's four
// orientations (a table rather than branches: the quadrants of random sites
// are random to the processor's branch predictor).
uint32_t hilbertIndex(int level, uint32_t x, uint32_t y)
{
    // Indexed by orientation * 4 + quadrant (x bit, y bit).
    static constexpr uint8_t digit[16] = {0, 1, 3, 2, 0, 3, 1, 2, 2, 3, 1, 0, 2, 1, 3, 0};
    static constexpr uint8_t turn[16] = {1, 0, 3, 0, 0, 2, 1, 1, 2, 1, 2, 3, 3, 3, 0, 2};
    uint32_t d = 0, orientation = 0;
    for (int l = level - 1; l >= 0; --l) {
        const uint32_t k = orientation * 4 + (((x >> l) & 1u) << 1 | ((y >> l) & 1u));
        d = d * 4 + digit[k];
        orientation = turn[k];
    }
    return d;
}

// Measured on the benchmarks: below this count the curve costs more in the
// list walks than it saves in the chain fills.
constexpr int leastCurvedMap = 5000;

// A grid fine enough for about one site per cell, and at most 2^7 x 2^7; 0
// for drawing order.
int curveLevel(int n)
{
    if (n < leastCurvedMap) return 0;
    int level = 1;
    while (level < 7 && (1 << (2 * level)) < n) ++level;
    return level;
}

// Storage slot of each drawn site: its place along the curve, within a cell
// in drawing order.
void slotsAlongCurve(const std::vector<Point>& drawn, int level, BuildPools& pools)
{
    const uint32_t side = 1u << level;
    const int shift = 15 - level;
    std::vector<uint32_t>& slot = pools.placeSlot;
    std::vector<uint32_t>& start = pools.placeStart;
    slot.resize(drawn.size());
    start.assign(side * side + 1, 0);
    for (size_t i = 0; i < drawn.size(); ++i) {
        const uint32_t x = static_cast<uint32_t>(drawn[i].x) >> shift, y = static_cast<uint32_t>(drawn[i].y) >> shift;
        slot[i] = hilbertIndex(level, x, y);
        ++start[slot[i] + 1];
    }
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    for (size_t i = 0; i < drawn.size(); ++i) slot[i] = start[slot[i]]++;
}
}  // namespace

void placeSites(Map& map, BuildPools& pools, Paths paths)
{
    const std::vector<Point>& drawn = pools.drawn;
    const size_t n = drawn.size();
    const int level = paths == Paths::fast ? curveLevel(static_cast<int>(n)) : 0;
    if (level > 0) slotsAlongCurve(drawn, level, pools);
    map.sites_.resize(n);
    map.centreDistance_.resize(n);
    map.number_.resize(n);
    map.byNumber_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const NodeIndex v = static_cast<NodeIndex>(level > 0 ? pools.placeSlot[i] : i);
        map.sites_[v] = drawn[i];
        map.centreDistance_[v] = roundedCentreDistance(drawn[i]);
        // The newest site heads the node list: number 1.
        const size_t number = n - i;
        map.number_[v] = static_cast<int16_t>(number);
        map.byNumber_[number - 1] = v;
    }
}

}  // namespace orvane
