// Map records and the module-level state of the one current map.
#pragma once
#include <cstdint>

struct NodeLink;

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
    int8_t colour;           // ColourCode
    int8_t swapCursor;
    int8_t pathMark;
    int8_t chainMark;
    int8_t visited;
    int8_t drawn;
};

struct NodeLink {
    NodeLink* next;
    NodeLink* aroundNext;    // neighbour at the next smaller angle key, cyclic
    NodeLink* aroundPrev;
    MapNode* node;           // the neighbour
};

// ColourCode values.
enum : int8_t { colourNone = 0, colourR = 1, colourG = 2, colourY = 3, colourB = 4, colourBlocked = 5 };
inline constexpr char colourLetters[] = " RGYB*";

// When set, the builder and the engine take their reference paths: whole-list
// walks and clears, exactly as the method describes them. The fast paths give
// identical maps, colourings and marks; the reference stays for comparison.
extern bool literalReference;

// Map state.
extern MapNode* nodeList;       // nodes not deferred, in list order
extern MapNode* deferredList;   // deferred nodes, most recently deferred first
extern MapNode* nodeStorage;    // the one allocation holding all nodes
extern int nodeStorageCount;    // number of nodes in nodeStorage
extern MapNode* outerStart;     // start of the outer boundary cycle

// Frees every node and link, clears the map state and the engine references.
void releaseMap();

// The seeded generator: the only source of randomness of a map.
void seedGenerator(uint32_t seed);
int drawRandom();                // one draw, 0..32767
void scatterSites(int n);

// Releases the current map and builds a new one of n (3..10000) sites from the
// seeded generator: triangulation, neighbour order and outer cycle.
void buildMap(int n);

// Angular ring of every node's links (aroundNext by decreasing angle key).
void orderNeighbours();
// The same for one node. A node's ring depends only on its own links (and on
// whether its neighbours border each other), so after links were parked or
// restored only the nodes whose lists changed need it.
void orderNeighboursOf(MapNode* node);
int64_t angleKey(int32_t dx, int32_t dy);

// Border records: the builder takes them from blocks owned by the map, and
// packs each node's records together once the map is built (list orders kept).
NodeLink* newLink();
void disposeLink(NodeLink* l);   // frees a record of any origin
void compactLinks();             // every record of the node list must come from newLink

// Small helpers over link lists.
NodeLink* findLink(const MapNode* owner, const MapNode* neighbour);  // in links, or null
int countLinks(const MapNode* node);

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
