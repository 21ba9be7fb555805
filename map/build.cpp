// Building a map: the seeded sites (or given ones), their triangulation, the
// neighbour order and the outer boundary cycle.
#include "map/builder.h"

namespace orvane {

namespace {
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

Triangulator::Triangulator(Map& map, BuildPools& pools, BuildOptions options)
    : map_(map), pools_(pools), options_(options), triangles_(pools.triangles), points_(pools.points)
{
}

BuildCounts Triangulator::run()
{
    siteCount_ = map_.nodeStorageCount();
    const size_t sites = static_cast<size_t>(siteCount_);
    const bool fast = options_.paths == Paths::fast;
    keepList_ = !fast || options_.checkLocation;
    // A triangulation of V vertices has 2V - 5 triangles, all of them in the
    // pool (splits and flips renew the triangles they replace in place), so
    // the pool never reallocates while sites go in.
    triangles_.clear();
    triangles_.reserve(2 * sites + 16);
    pools_.pending.clear();
    points_.resize(sites + 3);
    for (size_t slot = 0; slot < sites; ++slot) {
        const MapNode& n = map_.nodeStorage()[slot];
        points_[slot] = Point{n.x, n.y};
    }
    makeFrame();
    pools_.cornerOf.assign(fast ? sites + 3 : 0, noIndex);
    cornerOf_ = fast ? pools_.cornerOf.data() : nullptr;
    startHints();
    newTriangle(siteCount_, siteCount_ + 1, siteCount_ + 2, 0, 0, 0);
    int16_t k = 0;
    for (MapNode* node = map_.nodeList; node; node = node->next) {
        node->number = ++k;
        insertSite(static_cast<VertexIndex>(node - map_.nodeStorage()));
    }
    site_ = noIndex;
    writeBorderRecords();
    // A node's ring depends on its own links only: storage order gives the
    // rings that list order gives, reading memory in sequence.
    MapNode* storage = map_.nodeStorage();
    for (VertexIndex v = 0; v < siteCount_; ++v) orderNeighboursOf(&storage[v]);
    linkOuterCycle();
    return counts_;
}

void Map::triangulate(BuildOptions options)
{
    Triangulator builder(*this, pools(), options);
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
    // The first pair becomes number 1, the head of the list: the last one placed.
    std::vector<Point>& drawn = pools().drawn;
    drawn.clear();
    for (int i = n - 1; i >= 0; --i) drawn.push_back({xy[2 * i], xy[2 * i + 1]});
    placeSites(*this, pools(), options.paths);
    seed_ = 0;
    triangulate(options);
    return true;
}

}  // namespace orvane
