// Builder internals, exposed for the location tests and the benchmarks.
#pragma once
#include "map/map.h"

struct Triangle {
    Triangle* next;
    Triangle* prev;
    Triangle* pendingNext;
    Triangle* neighbours[3];  // across the edge opposite each corner; null on the frame
    MapNode* corners[3];
    double centreX;
    double centreY;
    double radius;
    int32_t minX, minY, maxX, maxY;
    uint64_t sequence;        // creation order: newer triangles have greater values
};

Triangle* newTriangle(MapNode* a, MapNode* b, MapNode* c);
// 1 strictly inside a, b, c; 0 on its boundary; -1 outside.
int classifyPoint(const MapNode* q, const MapNode* a, const MapNode* b, const MapNode* c);

// Locates P: the first triangle in newest-first order that holds it, and the
// next one when P lies on an edge. The literal walk is the reference.
Triangle* locateLiteral(const MapNode* p, Triangle** second);
Triangle* locateSite(const MapNode* p, Triangle** second);
Triangle* newestTriangle();

// Puts a site into node storage slot `slot` (storage already allocated) and at
// the head of the node list, with its distance from the centre.
void placeSite(int slot, int32_t x, int32_t y);

// What the last build did, for the tests and the benchmarks.
struct BuildCounts {
    int insideSplits;  // sites strictly inside a triangle
    int edgeSplits;    // sites on an edge: four-way splits
    int flips;
    int locationMismatches;  // with checkLocation: fast and literal location disagreed
};
extern BuildCounts buildCounts;
// When set, every site is also located by the literal walk and compared.
extern bool checkLocation;

// Builds a map from given sites instead of scattered ones: xy holds n (x, y)
// pairs in insertion order (the first becomes number 1). Everything after the
// scattering is buildMap's own code. Returns false and leaves no map when n is
// below 3, a coordinate lies outside 0..32767, two sites coincide or all sites
// lie on one line.
bool buildMapFromSites(const int32_t* xy, int n);
