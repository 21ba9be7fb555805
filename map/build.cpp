// Building a map: the seeded sites (or given ones), their triangulation, the
// neighbour order and the outer boundary cycle.
#include "map/builder.h"

namespace orvane {

namespace {
constexpr int hintSide = 32768 >> 9;

bool acceptableSites(const int32_t* xy, int n)
{
    if (n < 3 || n > 32767) return false;
    for (int i = 0; i < 2 * n; ++i)
        if (xy[i] < 0 || xy[i] > 32767) return false;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j)
            if (xy[2 * i] == xy[2 * j] && xy[2 * i + 1] == xy[2 * j + 1]) return false;
    // Not all on one line: some site off the line through the first two.
    const int64_t ax = xy[0], ay = xy[1], bx = xy[2] - ax, by = xy[3] - ay;
    for (int i = 2; i < n; ++i)
        if (bx * (xy[2 * i + 1] - ay) != by * (xy[2 * i] - ax)) return true;
    return false;
}
}  // namespace

Triangulator::Triangulator(Map& map, BuildOptions options) : map_(map), options_(options) {}
Triangulator::~Triangulator() = default;

BuildCounts Triangulator::run()
{
    makeFrame();
    triangleList_ = nullptr;
    newTriangle(&frame_[0], &frame_[1], &frame_[2]);
    pendingStack_ = nullptr;
    const bool fast = options_.paths == Paths::fast;
    cornerOf_.assign(fast ? static_cast<size_t>(map_.nodeStorageCount()) : 0, nullptr);
    cellSite_.assign(fast ? static_cast<size_t>(hintSide * hintSide) : 0, nullptr);
    int16_t k = 0;
    for (MapNode* node = map_.nodeList; node; node = node->next) {
        node->number = ++k;
        insertSite(node);
    }
    markOuterNodes();
    removeFrame();
    site_ = nullptr;
    map_.compactLinks();
    orderNeighbours(map_);
    linkOuterCycle();
    return counts_;
}

void Map::triangulate(BuildOptions options)
{
    Triangulator builder(*this, options);
    counts_ = builder.run();
}

void Map::build(uint32_t seed, int n, BuildOptions options)
{
    // A count outside 3..10000 would leave no proper map.
    if (n < leastNodes) n = leastNodes;
    if (n > mostNodes) n = mostNodes;
    Generator generator(seed);
    scatterSites(*this, generator, n, options.paths);
    seed_ = seed;
    triangulate(options);
}

bool Map::buildFromSites(const int32_t* xy, int n, BuildOptions options)
{
    release();
    if (!acceptableSites(xy, n)) return false;
    allocateNodes(n);
    for (int slot = 0; slot < n; ++slot) placeSite(*this, slot, xy[2 * (n - 1 - slot)], xy[2 * (n - 1 - slot) + 1]);
    seed_ = 0;
    triangulate(options);
    return true;
}

}  // namespace orvane
