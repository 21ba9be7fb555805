// Building a map: the seeded sites (or given ones), their triangulation, the
// neighbour order and the outer boundary cycle.
#include "map/builder.h"
#include "map/neighbours.h"
#include "map/sites.h"

namespace orvane {

Triangulator::Triangulator(Map& map, BuildPools& pools, BuildOptions options)
    : map_(map), pools_(pools), options_(options), triangles_(pools.triangles), points_(pools.points)
{
}

BuildCounts Triangulator::run()
{
    siteCount_ = map_.nodeCount();
    const size_t sites = static_cast<size_t>(siteCount_);
    const bool fast = options_.paths == Paths::fast;
    keepList_ = !fast || options_.checkLocation;
    // A triangulation of V vertices has 2V - 5 triangles, all of them in the
    // pool (splits and flips renew the triangles they replace in place), so
    // the pool never reallocates while sites go in.
    triangles_.clear();
    triangles_.reserve(2 * sites + 16);
    pools_.pending.clear();
    points_.assign(map_.sites_.begin(), map_.sites_.end());
    points_.resize(sites + 3);
    makeFrame();
    pools_.cornerOf.assign(fast ? sites + 3 : 0, noIndex);
    cornerOf_ = fast ? pools_.cornerOf.data() : nullptr;
    startHints();
    newTriangle(siteCount_, siteCount_ + 1, siteCount_ + 2, 0, 0, 0);
    for (const NodeIndex v : map_.byNumber_) insertSite(v);
    site_ = noIndex;
    writeBorderRecords();
    orderRings();
    linkOuterCycle();
    return counts_;
}

// A node's ring depends on its own borders only: storage order gives the
// rings that list order gives, reading memory in sequence.
void Triangulator::orderRings()
{
    map_.aroundNodes_.resize(map_.linkNodes_.size());
    const BorderLists lists{map_.ranges_.data(), map_.linkNodes_.data()};
    for (VertexIndex v = 0; v < siteCount_; ++v) {
        const NodeIndex node = static_cast<NodeIndex>(v);
        orderAround(node, lists, map_.sites_, map_.aroundNodes_.data() + map_.ranges_[node].begin);
    }
}

MapBuilder::MapBuilder() : pools_(std::make_unique<BuildPools>()) {}
MapBuilder::~MapBuilder() = default;

std::shared_ptr<const Map> MapBuilder::triangulate(std::shared_ptr<Map> map, BuildOptions options)
{
    Triangulator builder(*map, *pools_, options);
    counts_ = builder.run();
    return map;
}

std::shared_ptr<const Map> MapBuilder::build(uint32_t seed, int n, BuildOptions options)
{
    // A count outside 3..10000 would leave no proper map.
    if (n < leastNodes) n = leastNodes;
    if (n > mostNodes) n = mostNodes;
    Generator generator(seed);
    scatterSites(*pools_, generator, n, options.paths);
    auto map = std::make_shared<Map>();
    map->seed_ = seed;
    placeSites(*map, *pools_, options.paths);
    return triangulate(std::move(map), options);
}

std::shared_ptr<Map> triangulateSites(BuildPools& pools, std::span<const Point> sites, BuildOptions options,
                                      BuildCounts& counts)
{
    // The first site becomes number 1, the head of the list: the last one placed.
    pools.drawn.assign(sites.rbegin(), sites.rend());
    auto map = std::make_shared<Map>();
    placeSites(*map, pools, options.paths);
    Triangulator builder(*map, pools, options);
    counts = builder.run();
    return map;
}

std::shared_ptr<const Map> MapBuilder::buildFromSites(std::span<const Point> sites, BuildOptions options,
                                                      SiteProblem& problem)
{
    counts_ = {};
    // Sites that fail the first checks never reach the triangulation (it
    // needs distinct sites, not all on one line, in the square).
    problem = checkSites(sites);
    if (problem) return nullptr;
    std::shared_ptr<const Map> map = triangulateSites(*pools_, sites, options, counts_);
    problem = checkBuiltMap(*map);
    if (problem) return nullptr;
    return map;
}

std::shared_ptr<const Map> MapBuilder::buildFromSites(std::span<const Point> sites, BuildOptions options)
{
    SiteProblem problem;
    return buildFromSites(sites, options, problem);
}

std::shared_ptr<const Map> Map::build(uint32_t seed, int n, BuildOptions options)
{
    return MapBuilder().build(seed, n, options);
}

std::shared_ptr<const Map> Map::buildFromSites(std::span<const Point> sites, BuildOptions options)
{
    return MapBuilder().buildFromSites(sites, options);
}

}  // namespace orvane
