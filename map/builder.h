// The map builder's internals: scattering, the triangle pool, point location,
// splits and flips, and the frame. Only map/ and the tests include this.
#pragma once
#include "map/generator.h"
#include "map/map.h"
#include <array>
#include <memory>
#include <vector>

namespace orvane {

// Draws the n sites of a map from the seeded generator into the map's node
// storage and node list (the newest site at the head).
void scatterSites(Map& map, Generator& generator, int n, Paths paths);
// Puts a site into storage slot `slot` and at the head of the node list, with
// its distance from the centre.
void placeSite(Map& map, int slot, int32_t x, int32_t y);

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

// 1 strictly inside a, b, c; 0 on its boundary; -1 outside.
int classifyPoint(const MapNode* q, const MapNode* a, const MapNode* b, const MapNode* c);

// Triangulates a map's scattered node list incrementally inside a frame
// triangle, keeping the border records up to date at every split and flip,
// then removes the frame, orders the neighbours and links the outer cycle.
class Triangulator {
public:
    Triangulator(Map& map, BuildOptions options);
    ~Triangulator();
    Triangulator(const Triangulator&) = delete;
    Triangulator& operator=(const Triangulator&) = delete;

    BuildCounts run();

    // Location of P: the first triangle in newest-first order that holds it,
    // and the next one when P lies on an edge. The literal walk is the reference.
    Triangle* locateLiteral(const MapNode* p, Triangle** second) const;
    Triangle* locateSite(const MapNode* p, Triangle** second) const;

private:
    // Triangle pool: triangles are reused from a free list, never freed one by one.
    Triangle* newTriangle(MapNode* a, MapNode* b, MapNode* c);
    void unlinkTriangle(Triangle* t);
    void pushPending(Triangle* t);
    void rememberCorners(Triangle* t);

    // Splits and flips, all acting on the site being inserted.
    void insertSite(MapNode* p);
    void splitInside(Triangle* t);
    void splitOnEdge(Triangle* t1, Triangle* t2);
    int needsFlip(const Triangle* t) const;
    void flipEdge(Triangle* t, int i);
    void addBorder(MapNode* a, MapNode* b);
    void addLink(MapNode* owner, MapNode* to);

    // The fast location's start points and walk.
    Triangle* startTriangle(const MapNode* p) const;
    Triangle* walkTowards(const MapNode* p) const;

    // The frame and the outer boundary.
    void makeFrame();
    void markOuterNodes();
    void removeFrame();
    void linkOuterCycle();

    Map& map_;
    BuildOptions options_;
    BuildCounts counts_;
    std::array<MapNode, 3> frame_{};
    Triangle* triangleList_ = nullptr;
    Triangle* pendingStack_ = nullptr;
    Triangle* freeTriangles_ = nullptr;
    std::vector<std::unique_ptr<Triangle[]>> triangleBlocks_;
    MapNode* site_ = nullptr;  // P, the site being inserted
    uint64_t trianglesMade_ = 0;
    // Start points of the fast location: for every site a triangle it is a
    // corner of (the last one made), and for every cell of a coarse grid the
    // last site inserted there.
    std::vector<Triangle*> cornerOf_;
    std::vector<MapNode*> cellSite_;
};

}  // namespace orvane
