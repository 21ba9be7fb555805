// Map records and the map object that owns them: nodes, border records and
// the state of one map, built from (seed, N).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace orvane {

// The colour of a country; the letters " RGYB*" index it.
enum ColourCode : int8_t { colourNone = 0, colourR = 1, colourG = 2, colourY = 3, colourB = 4, colourBlocked = 5 };
inline constexpr char colourLetters[] = " RGYB*";
inline constexpr ColourCode colourCode(int c) { return static_cast<ColourCode>(c); }

struct NodeLink;
struct BuildPools;
class Generator;

struct MapNode {
    MapNode* next;           // node list, or deferred list while deferred
    NodeLink* links;         // current borders, newest first
    NodeLink* parkedLinks;   // borders to deferred neighbours
    MapNode* ringNext;
    MapNode* ringPrev;
    MapNode* pathPrev;
    MapNode* pathNext;
    MapNode* outer;          // next node of the outer boundary cycle; null inside
    MapNode* chainParent;
    int32_t x;
    int32_t y;
    int32_t centreDistance;  // rounded distance from (16383, 16383)
    int16_t ringContacts;
    int16_t chainDegree;
    int16_t number;          // 1..N; frame vertices -1..-3 while building
    ColourCode colour;
    int8_t swapCursor;
    int8_t pathMark;
    ColourCode chainMark;
    int8_t visited;
    int8_t drawn;
};

struct NodeLink {
    NodeLink* next;
    NodeLink* aroundNext;    // neighbour at the next smaller angle key, cyclic
    NodeLink* aroundPrev;
    MapNode* node;           // the neighbour
};

// Which code paths the builder and the engine take. The reference paths are
// the method's literal whole-list walks and clears; the fast paths give
// identical maps, colourings and marks, and the reference stays for comparison.
enum class Paths : uint8_t { fast, reference };

inline constexpr int leastNodes = 3, mostNodes = 10000;

// What the last build did, for the tests and the benchmarks.
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
};

// One map. It owns its node storage and border records; the colouring engine
// works in place on their fields and moves nodes between the node list and the
// deferred list. Building a new map first releases the old one.
class Map {
public:
    Map();
    ~Map();
    Map(const Map&) = delete;
    Map& operator=(const Map&) = delete;

    // Builds the map of (seed, n) with n clamped to 3..10000.
    void build(uint32_t seed, int n, BuildOptions options = {});
    // Builds from given sites instead of scattered ones: xy holds n (x, y)
    // pairs in insertion order (the first becomes number 1). Returns false and
    // leaves no map when n is below 3, a coordinate lies outside 0..32767, two
    // sites coincide or all sites lie on one line.
    bool buildFromSites(const int32_t* xy, int n, BuildOptions options = {});
    // Drops every node and link; the map is empty afterwards. The node, border
    // and builder storage keep their capacity for the next build (a batch
    // worker builds map after map without allocating); the destructor frees it.
    void release();

    bool empty() const { return nodeList == nullptr; }
    uint32_t seed() const { return seed_; }
    int nodeCount() const { return storageCount_; }
    // Changes with every build and release: a colouring bound to the map
    // drops its references into an older map.
    uint64_t generation() const { return generation_; }
    const BuildCounts& lastBuild() const { return counts_; }

    // Every node, deferred ones included, by storage slot (in drawing order
    // in small maps, along the nodes' places in the square in large ones).
    MapNode* nodeStorage() const { return storageCount_ ? storage_.get() : nullptr; }
    int nodeStorageCount() const { return storageCount_; }
    // The node numbered `number` (1..N), deferred or not; null when none.
    MapNode* numbered(int number) const;

    // Read access by number, for library callers.
    Point position(int number) const;
    ColourCode colourOf(int number) const;
    std::vector<int> neighbours(int number) const;  // in ring order (aroundNext), from the first link
    std::vector<int> outerCycle() const;             // from outerStart along outer
    std::vector<std::pair<int, int>> borders() const;  // each border once, lower number first

    // Hand-built maps (tests): releases the map and gives n zeroed nodes in
    // storage; border records come from newLink. The caller links the lists.
    MapNode* allocateNodes(int n);
    // Border records live in blocks owned by the map and go with it.
    NodeLink* newLink();
    void compactLinks();  // packs each node's records together, list orders kept

    // Map state.
    MapNode* nodeList = nullptr;      // nodes not deferred, in list order
    MapNode* deferredList = nullptr;  // deferred nodes, most recently deferred first
    MapNode* outerStart = nullptr;    // start of the outer boundary cycle

private:
    friend class Triangulator;
    friend void scatterSites(Map& map, Generator& generator, int n, Paths paths);

    struct LinkBlock {
        std::unique_ptr<NodeLink[]> links;
        size_t size;
    };
    void triangulate(BuildOptions options);
    BuildPools& pools();
    // The border records of a built map, all in one block; newLink adds blocks.
    NodeLink* builtLinks(size_t count);

    std::unique_ptr<MapNode[]> storage_;
    int storageCount_ = 0;
    int storageCapacity_ = 0;
    std::vector<NodeLink> builtLinks_;
    std::vector<LinkBlock> linkBlocks_;
    size_t usedInLastBlock_ = 0;
    std::unique_ptr<BuildPools> pools_;
    uint32_t seed_ = 0;
    uint64_t generation_ = 0;
    BuildCounts counts_;
};

// Small helpers over link lists.
NodeLink* findLink(const MapNode* owner, const MapNode* neighbour);  // in links, or null
int countLinks(const MapNode* node);

// Angular ring of every node's links on the node list (aroundNext by
// decreasing angle key), and of one node. A node's ring depends only on its
// own links (and on whether its neighbours border each other), so after links
// were parked or restored only the nodes whose lists changed need it.
void orderNeighbours(const Map& map);
void orderNeighboursOf(MapNode* node);
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
