// A map: the countries of (seed, N) and the borders between them, built once
// and read-only after. Its nodes are addressed by index in flat arrays.
//
// Ownership: a map is built into a std::shared_ptr<const Map> and never
// changes after; nothing can rebuild or release it while anyone holds it. Any
// number of threads may read one map at once, and any number of colourings
// (engine/colouring.h) may work on it: each keeps its own working state and
// holds the map, so a colouring never outlives its map.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace orvane {

// The colour of a country; the letters " RGYB*" index it.
enum ColourCode : int8_t { colourNone = 0, colourR = 1, colourG = 2, colourY = 3, colourB = 4, colourBlocked = 5 };
inline constexpr char colourLetters[] = " RGYB*";
inline constexpr ColourCode colourCode(int c) { return static_cast<ColourCode>(c); }

// A node's place in its map's arrays (an order of storage, not of numbers).
using NodeIndex = uint16_t;
inline constexpr NodeIndex noNode = 0xFFFF;

// Which code paths the builder and the engine take. The reference paths are
// the method's literal whole-list walks and clears; the fast paths give
// identical maps, colourings and marks, and the reference stays for comparison.
enum class Paths : uint8_t { fast, reference };

// A map holds 3 to 10000 nodes, seeded or of given sites.
inline constexpr int leastNodes = 3, mostNodes = 10000;
static_assert(mostNodes < noNode);

// What a build did, for the tests and the benchmarks.
struct BuildCounts {
    int insideSplits = 0;        // sites strictly inside a triangle
    int edgeSplits = 0;          // sites on an edge: four-way splits
    int flips = 0;
    int locationMismatches = 0;  // with checkLocation: fast and literal location disagreed
};

struct BuildOptions {
    Paths paths = Paths::fast;
    bool checkLocation = false;  // also locate every site by the literal walk and compare
};

struct Point {
    int32_t x, y;
    bool operator==(const Point&) const = default;
};

// Where a node's border records lie in a record array: from begin to end.
struct LinkRange {
    uint32_t begin, end;
};

struct BuildPools;
struct SiteProblem;

class Map {
public:
    Map();  // the empty map: no nodes
    ~Map();
    Map(const Map&);
    Map& operator=(const Map&);
    Map(Map&&) noexcept;
    Map& operator=(Map&&) noexcept;

    // The map of (seed, n), n clamped to 3..10000. (MapBuilder keeps its
    // working storage from one map to the next.)
    [[nodiscard]] static std::shared_ptr<const Map> build(uint32_t seed, int n, BuildOptions options = {});
    // The map of given sites in insertion order (the first becomes number 1);
    // null when the checks of map/sites.h refuse them, before the build
    // (fewer than 3 or more than 10000, a coordinate outside 0..32767, two
    // sites that coincide, all on one line) or after it (a map the colouring
    // cannot take, such as rings the angle key cannot order).
    // buildMapFromSites (map/sites.h) says which check refused them.
    [[nodiscard]] static std::shared_ptr<const Map> buildFromSites(std::span<const Point> sites, BuildOptions options = {});

    bool empty() const { return sites_.empty(); }
    uint32_t seed() const { return seed_; }  // 0 for a map of given sites
    int nodeCount() const { return static_cast<int>(sites_.size()); }

    // By node index, 0 .. nodeCount() - 1.
    Point site(NodeIndex v) const { return sites_[v]; }
    int32_t centreDistance(NodeIndex v) const { return centreDistance_[v]; }  // rounded, from (16383, 16383)
    int number(NodeIndex v) const { return number_[v]; }                     // 1..N, in node-list order
    // The node of a number; noNode when there is none.
    NodeIndex numbered(int number) const
    {
        return number >= 1 && number <= nodeCount() ? byNumber_[static_cast<size_t>(number - 1)] : noNode;
    }
    // The node's neighbours in the order of its border list: the border made
    // last first.
    std::span<const NodeIndex> links(NodeIndex v) const { return {linkNodes_.data() + ranges_[v].begin, degree(v)}; }
    // The same neighbours around the node (aroundNext: falling angle key),
    // from the first of links(v).
    std::span<const NodeIndex> around(NodeIndex v) const { return {aroundNodes_.data() + ranges_[v].begin, degree(v)}; }
    size_t degree(NodeIndex v) const { return ranges_[v].end - ranges_[v].begin; }
    // The next node along the outer boundary cycle, or noNode inside the map.
    NodeIndex outer(NodeIndex v) const { return outer_[v]; }
    bool isOuter(NodeIndex v) const { return outer_[v] != noNode; }
    NodeIndex outerStart() const { return outerStart_; }  // noNode for the empty map

    // The record arrays behind links() and around(), by LinkRange: a
    // colouring copies them into working lists of its own.
    std::span<const LinkRange> linkRanges() const { return ranges_; }
    std::span<const NodeIndex> linkRecords() const { return linkNodes_; }
    std::span<const NodeIndex> aroundRecords() const { return aroundNodes_; }
    std::span<const Point> sites() const { return sites_; }

    // Read access by number, for library callers (zeros or empty lists for a
    // number that is not in the map).
    Point position(int number) const;
    std::vector<int> neighbours(int number) const;     // around the node, from its first border
    std::vector<int> outerCycle() const;               // from outerStart along outer
    std::vector<std::pair<int, int>> borders() const;  // each border once, lower number first

private:
    friend class MapBuilder;
    friend class Triangulator;
    friend void placeSites(Map& map, BuildPools& pools, Paths paths);
    friend struct MapAssembly;

    uint32_t seed_ = 0;
    std::vector<Point> sites_;
    std::vector<int32_t> centreDistance_;
    std::vector<int16_t> number_;
    std::vector<NodeIndex> byNumber_;     // the node list as built: number k is byNumber_[k - 1]
    std::vector<LinkRange> ranges_;
    std::vector<NodeIndex> linkNodes_;    // every node's border list, by ranges_
    std::vector<NodeIndex> aroundNodes_;  // every node's ring, by ranges_
    std::vector<NodeIndex> outer_;
    NodeIndex outerStart_ = noNode;
};

// Builds maps one after another, keeping its working storage (triangles,
// frame, location grid) between builds: a batch worker allocates little but
// the maps themselves. One builder serves one thread at a time.
class MapBuilder {
public:
    MapBuilder();
    ~MapBuilder();
    MapBuilder(const MapBuilder&) = delete;
    MapBuilder& operator=(const MapBuilder&) = delete;

    // The maps as Map::build and Map::buildFromSites give them. (A caller that
    // only wants the counts may drop the map.)
    std::shared_ptr<const Map> build(uint32_t seed, int n, BuildOptions options = {});
    std::shared_ptr<const Map> buildFromSites(std::span<const Point> sites, BuildOptions options = {});
    // The same, with what refused the sites in `problem` (none for a map).
    std::shared_ptr<const Map> buildFromSites(std::span<const Point> sites, BuildOptions options, SiteProblem& problem);
    // What the last build did.
    const BuildCounts& lastBuild() const { return counts_; }

private:
    std::shared_ptr<const Map> triangulate(std::shared_ptr<Map> map, BuildOptions options);

    std::unique_ptr<BuildPools> pools_;
    BuildCounts counts_;
};

int64_t angleKey(int32_t dx, int32_t dy);

// a * b / c with a 64-bit intermediate, rounded to nearest, halves away from zero
// (-1 when c is 0, as the platform's routine gives).
inline int32_t mulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0) return -1;
    const int64_t p = int64_t(a) * b;
    int64_t q = p / c;
    const int64_t r = p % c;
    const int64_t ar = r < 0 ? -r : r, ac = c < 0 ? -int64_t(c) : int64_t(c);
    if (2 * ar >= ac) q += ((p < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int32_t>(q);
}

}  // namespace orvane
