// The map builder's internals: scattering, the triangle pool, point location,
// splits and flips, and the frame. Only map/ and the tests include this.
#pragma once
#include "map/generator.h"
#include "map/map.h"
#include <cstdint>
#include <vector>

namespace orvane {

// Draws the n sites of a map from the seeded generator into pools.drawn.
void scatterSites(BuildPools& pools, Generator& generator, int n, Paths paths);
// The scattering's closeness test: whether `site` lies within 1 in both
// coordinates of a site of pools.drawn (by the grid, or by the literal walk).
bool siteTooClose(BuildPools& pools, Point site, Paths paths);
// Gives the map one node for each site of pools.drawn, with its distance from
// the centre and its number: the node list runs from the last site drawn
// (number 1) to the first. The paths choose the storage order (never the results).
void placeSites(Map& map, BuildPools& pools, Paths paths);
// A site's distance from the centre of the square (16383, 16383), rounded half up.
int32_t roundedCentreDistance(Point site);
// The map of given sites in insertion order with no check before or after
// the build: the sites must pass checkSites (map/sites.h), which keeps the
// triangulation from sites it cannot take, and what comes out is for
// checkBuiltMap to judge. MapBuilder::buildFromSites runs both around it; the
// tests call it alone to see what the check after the build refuses.
std::shared_ptr<Map> triangulateSites(BuildPools& pools, std::span<const Point> sites, BuildOptions options,
                                      BuildCounts& counts);

// Vertices are numbered by storage slot (0..N-1) and the three frame corners
// after them (N..N+2); triangles by their place in the pool; noIndex (-1) stands for none.
using VertexIndex = int32_t;
using TriangleIndex = int32_t;
inline constexpr int32_t noIndex = -1;

// One triangle of the pool. A border record's place in its owner's list is set
// by when its border was made (the newest first), so every edge carries the
// stamp of the split or flip that made it; the lists are written from the
// stamps once the triangulation is done.
struct Triangle {
    VertexIndex corners[3];
    TriangleIndex neighbours[3];  // across the edge opposite each corner; noIndex on the frame
    uint32_t edgeStamps[3];       // when the edge opposite each corner was made
    uint32_t sequence;            // creation order: newer triangles have greater values
    TriangleIndex listNext;       // newest-first list of the literal location walk
    TriangleIndex listPrev;
};

// The two sites of a border; noIndex for a stamp whose border was flipped away.
struct BorderEnds {
    VertexIndex a, b;
};

// Storage of the builder, owned by the map and kept between builds, so a map
// that is built again and again (a batch worker's) allocates nothing once it
// has built its largest map.
struct BuildPools {
    std::vector<Triangle> triangles;
    std::vector<TriangleIndex> pending;        // triangles whose edge opposite the new site is checked next
    std::vector<Point> points;                 // vertex positions by vertex index
    std::vector<TriangleIndex> cornerOf;       // fast location: a triangle each vertex is a corner of
    std::vector<VertexIndex> cellSite;         // fast location: the last site inserted in each cell of a grid pyramid
    std::vector<Point> drawn;                  // the sites in drawing order
    std::vector<int> scatterHead, scatterNext; // the scattering's closeness grid
    std::vector<uint32_t> placeSlot, placeStart;  // the placement: each drawn site's slot, each curve cell's first
    std::vector<uint32_t> borderFill;             // border records by owner while the lists are written
    std::vector<BorderEnds> bordersByStamp;       // the border each stamp made, while the lists are written
    std::vector<uint8_t> outerMark;               // by vertex: the site borders a frame vertex
};

// 1 strictly inside a, b, c; 0 on its boundary; -1 outside.
int classifyPoint(Point q, Point a, Point b, Point c);

// A map from its parts, for tests that need a graph no sites give: node i
// (number i + 1, list position i) at sites[i] with the border list links[i]
// (neighbour indices, the head first); outerCycle lists the outer boundary in
// `outer` order from outerStart. The rings are ordered as a build orders them.
struct MapAssembly {
    std::vector<Point> sites;
    std::vector<std::vector<NodeIndex>> links;
    std::vector<NodeIndex> outerCycle;

    std::shared_ptr<const Map> assemble() const;
};

// Triangulates a map's placed sites incrementally in node-list order inside a
// frame triangle, stamping every edge at the split or flip that makes it, then
// writes the border lists from the stamps (without the frame), orders the
// neighbours and links the outer cycle.
class Triangulator {
public:
    Triangulator(Map& map, BuildPools& pools, BuildOptions options);
    Triangulator(const Triangulator&) = delete;
    Triangulator& operator=(const Triangulator&) = delete;

    BuildCounts run();

    // Location of P: the first triangle in newest-first order that holds it,
    // and the next one when P lies on an edge. The literal walk is the reference.
    TriangleIndex locateLiteral(VertexIndex p, TriangleIndex* second) const;
    TriangleIndex locateSite(VertexIndex p, TriangleIndex* second) const;

private:
    Triangle& tri(TriangleIndex t) { return triangles_[static_cast<size_t>(t)]; }
    const Triangle& tri(TriangleIndex t) const { return triangles_[static_cast<size_t>(t)]; }
    Point at(VertexIndex v) const { return points_[static_cast<size_t>(v)]; }
    bool isFrame(VertexIndex v) const { return v >= siteCount_; }

    // Triangle pool.
    TriangleIndex newTriangle(VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1, uint32_t s2);
    void renewTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1,
                       uint32_t s2);
    void makeTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1,
                      uint32_t s2);
    void unlistTriangle(TriangleIndex t);
    void rememberCorners(TriangleIndex t);

    // Splits and flips, all acting on the site being inserted.
    void insertSite(VertexIndex p);
    void splitInside(TriangleIndex t);
    void splitOnEdge(TriangleIndex t1, TriangleIndex t2);
    void flipEdge(TriangleIndex t, int i);
    uint32_t newBorder() { return ++bordersMade_; }

    // The fast location's start points and walk, and the scan that stands in
    // for the literal walk when the newest-first list is not kept.
    void startHints();
    void rememberSite(VertexIndex p);
    TriangleIndex startTriangle(VertexIndex p) const;
    TriangleIndex walkTowards(VertexIndex p) const;
    TriangleIndex locateByScan(VertexIndex p, TriangleIndex* second) const;

    // The frame, the border lists and the outer boundary.
    void makeFrame();
    void writeBorderRecords();
    void orderRings();
    void linkOuterCycle();

    Map& map_;
    BuildPools& pools_;
    BuildOptions options_;
    BuildCounts counts_;
    std::vector<Triangle>& triangles_;
    std::vector<Point>& points_;
    VertexIndex siteCount_ = 0;
    bool keepList_ = false;              // the literal walk may run: keep the newest-first list
    TriangleIndex listHead_ = noIndex;   // newest triangle of the list
    TriangleIndex newest_ = noIndex;     // the triangle made last (it always lives on)
    VertexIndex site_ = noIndex;         // P, the site being inserted
    uint32_t trianglesMade_ = 0;
    uint32_t bordersMade_ = 0;
    TriangleIndex* cornerOf_ = nullptr;  // pools_.cornerOf while the fast location runs
    int hintFinest_ = 0;                 // the finest level of the start points' pyramid
};

// The triangle pool: new triangles with their edge stamps and the
// newest-first list of the literal walk.
inline TriangleIndex Triangulator::newTriangle(VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0,
                                               uint32_t s1, uint32_t s2)
{
    const TriangleIndex t = static_cast<TriangleIndex>(triangles_.size());
    triangles_.emplace_back();
    makeTriangle(t, a, b, c, s0, s1, s2);
    return t;
}

// A triangle that a split or flip replaces becomes one of the new ones in
// place: the same as dropping it and making a new one, with the neighbours
// that already point to it left alone. So no triangle is ever freed: the
// pool holds exactly the live triangles.
inline void Triangulator::renewTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0,
                                        uint32_t s1, uint32_t s2)
{
    unlistTriangle(t);
    makeTriangle(t, a, b, c, s0, s1, s2);
}

inline void Triangulator::makeTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0,
                                       uint32_t s1, uint32_t s2)
{
    Triangle& n = tri(t);
    n.corners[0] = a;
    n.corners[1] = b;
    n.corners[2] = c;
    n.neighbours[0] = n.neighbours[1] = n.neighbours[2] = noIndex;
    n.edgeStamps[0] = s0;
    n.edgeStamps[1] = s1;
    n.edgeStamps[2] = s2;
    n.sequence = ++trianglesMade_;
    n.listPrev = noIndex;
    n.listNext = noIndex;
    if (keepList_) {
        n.listNext = listHead_;
        if (listHead_ != noIndex) tri(listHead_).listPrev = t;
        listHead_ = t;
    }
    newest_ = t;
    rememberCorners(t);
}

inline void Triangulator::unlistTriangle(TriangleIndex t)
{
    if (!keepList_) return;
    Triangle& n = tri(t);
    if (n.listPrev != noIndex) tri(n.listPrev).listNext = n.listNext; else listHead_ = n.listNext;
    if (n.listNext != noIndex) tri(n.listNext).listPrev = n.listPrev;
}

// cornerOf has room for the frame vertices too, so no corner needs a test.
inline void Triangulator::rememberCorners(TriangleIndex t)
{
    if (!cornerOf_) return;
    const Triangle& n = tri(t);
    cornerOf_[n.corners[0]] = cornerOf_[n.corners[1]] = cornerOf_[n.corners[2]] = t;
}

}  // namespace orvane
