// Inserting one site: the split of the triangle that holds it (three ways, or
// four when it lies on an edge; the split triangles become new ones in place),
// then flips of the edges opposite the site
// until they are locally Delaunay. Every new edge takes the next stamp, in
// the order its border records were once linked, so the border lists can be
// written from the stamps when the triangulation is done.
#include "map/builder.h"
#include <cmath>

namespace orvane {

namespace {
void repoint(std::vector<Triangle>& pool, TriangleIndex outside, TriangleIndex from, TriangleIndex to)
{
    if (outside == noIndex) return;
    for (TriangleIndex& n : pool[static_cast<size_t>(outside)].neighbours)
        if (n == from) { n = to; return; }
}

// Index of a corner or neighbour known to be present.
int indexOf(const Triangle& t, VertexIndex corner)
{
    int i = 0;
    while (i < 2 && t.corners[i] != corner) ++i;
    return i;
}

int indexOfNeighbour(const Triangle& t, TriangleIndex n)
{
    int i = 0;
    while (i < 2 && t.neighbours[i] != n) ++i;
    return i;
}

void setNeighbours(Triangle& t, TriangleIndex n0, TriangleIndex n1, TriangleIndex n2)
{
    t.neighbours[0] = n0;
    t.neighbours[1] = n1;
    t.neighbours[2] = n2;
}

// The circumcircle of a, b, c. The numerators and the denominator are exact
// integers; only the division, the squared radius and later the squared
// distance in the circle test are rounded.
struct Circle {
    double centreX, centreY, radiusSquared;
};

Circle circumcircle(Point a, Point b, Point c)
{
    const int64_t pb = int64_t(b.x) * b.x - int64_t(a.x) * a.x + int64_t(b.y) * b.y - int64_t(a.y) * a.y;
    const int64_t pc = int64_t(c.x) * c.x - int64_t(a.x) * a.x + int64_t(c.y) * c.y - int64_t(a.y) * a.y;
    const int64_t d = int64_t(b.x - a.x) * (c.y - a.y) - int64_t(b.y - a.y) * (c.x - a.x);
    const double twoD = static_cast<double>(2 * d);
    Circle k;
    k.centreX = static_cast<double>((c.y - a.y) * pb + (a.y - b.y) * pc) / twoD;
    k.centreY = static_cast<double>((a.x - c.x) * pb + (b.x - a.x) * pc) / twoD;
    const double rx = b.x - k.centreX;
    const double ry = b.y - k.centreY;
    k.radiusSquared = rx * rx + ry * ry;
    return k;
}

double squaredDistanceTo(Point d, double cx, double cy)
{
    const double dx = d.x - cx;
    const double dy = d.y - cy;
    return dx * dx + dy * dy;
}

// Whether D lies inside the circle: the rounded radius exceeds the rounded
// distance. A rounded square root never decreases as its argument grows, so
// when the squared radius does not exceed the squared distance neither does
// the radius the distance, and both roots are taken only when it does.
bool insideCircle(const Circle& k, Point d)
{
    const double distanceSquared = squaredDistanceTo(d, k.centreX, k.centreY);
    if (!(k.radiusSquared > distanceSquared)) return false;
    return std::sqrt(k.radiusSquared) > std::sqrt(distanceSquared);
}
}  // namespace

// The three borders to P are made in the order c0, c1, c2.
void Triangulator::splitInside(TriangleIndex t)
{
    const VertexIndex p = site_;
    const Triangle old = tri(t);
    const VertexIndex c0 = old.corners[0], c1 = old.corners[1], c2 = old.corners[2];
    const uint32_t b0 = newBorder(), b1 = newBorder(), b2 = newBorder();
    const TriangleIndex ta = t;
    renewTriangle(ta, p, c1, c2, old.edgeStamps[0], b2, b1);
    const TriangleIndex tb = newTriangle(p, c2, c0, old.edgeStamps[1], b0, b2);
    const TriangleIndex tc = newTriangle(p, c0, c1, old.edgeStamps[2], b1, b0);
    setNeighbours(tri(ta), old.neighbours[0], tb, tc);
    setNeighbours(tri(tb), old.neighbours[1], tc, ta);
    setNeighbours(tri(tc), old.neighbours[2], ta, tb);
    repoint(triangles_, old.neighbours[1], t, tb);
    repoint(triangles_, old.neighbours[2], t, tc);
    ++counts_.insideSplits;
    pools_.pending.push_back(ta);
    pools_.pending.push_back(tb);
    pools_.pending.push_back(tc);
}

// The border U-V becomes U-P (its records are reused, so it counts as made
// first), then the borders to V, W1 and W2 are made in that order.
void Triangulator::splitOnEdge(TriangleIndex i1, TriangleIndex i2)
{
    const VertexIndex p = site_;
    const Triangle t1 = tri(i1);
    const Triangle t2 = tri(i2);
    const int a = indexOfNeighbour(t1, i2);
    const int b = indexOfNeighbour(t2, i1);
    const VertexIndex w1 = t1.corners[a];
    const VertexIndex w2 = t2.corners[b];
    // U is the shared corner with the greater index in t1, V the other.
    const int kU = a == 2 ? 1 : 2;
    const VertexIndex u = t1.corners[kU];
    const int kV = 3 - a - kU;
    const VertexIndex v = t1.corners[kV];
    const int jU = indexOf(t2, u);
    const int jV = 3 - b - jU;

    const uint32_t up = newBorder(), vp = newBorder(), w1p = newBorder(), w2p = newBorder();

    const TriangleIndex oppV1 = t1.neighbours[kV];
    const TriangleIndex oppU1 = t1.neighbours[kU];
    const TriangleIndex oppV2 = t2.neighbours[jV];
    const TriangleIndex oppU2 = t2.neighbours[jU];
    const TriangleIndex n1 = i1;
    renewTriangle(n1, p, w1, u, t1.edgeStamps[kV], up, w1p);
    const TriangleIndex n2 = newTriangle(p, w1, v, t1.edgeStamps[kU], vp, w1p);
    const TriangleIndex n3 = i2;
    renewTriangle(n3, p, w2, u, t2.edgeStamps[jV], up, w2p);
    const TriangleIndex n4 = newTriangle(p, w2, v, t2.edgeStamps[jU], vp, w2p);
    setNeighbours(tri(n1), oppV1, n3, n2);
    setNeighbours(tri(n2), oppU1, n4, n1);
    setNeighbours(tri(n3), oppV2, n1, n4);
    setNeighbours(tri(n4), oppU2, n2, n3);
    repoint(triangles_, oppU1, i1, n2);
    repoint(triangles_, oppU2, i2, n4);
    ++counts_.edgeSplits;
    pools_.pending.push_back(n1);
    pools_.pending.push_back(n2);
    pools_.pending.push_back(n3);
    pools_.pending.push_back(n4);
}

namespace {
// Index in the neighbour across the edge opposite P (corner 0 of triangle ti)
// of the corner to flip to, or -1. Vertices from siteCount on are the frame's.
// (A function of this file: the insertion loop, its one caller, inlines it.)
int flipCorner(const std::vector<Triangle>& pool, const std::vector<Point>& points, VertexIndex siteCount,
               TriangleIndex ti)
{
    auto at = [&](VertexIndex v) { return points[static_cast<size_t>(v)]; };
    auto isFrame = [&](VertexIndex v) { return v >= siteCount; };
    const Triangle& t = pool[static_cast<size_t>(ti)];
    if (t.neighbours[0] == noIndex) return -1;
    const Triangle& n = pool[static_cast<size_t>(t.neighbours[0])];
    const int i = indexOfNeighbour(n, ti);
    const VertexIndex p = t.corners[0];
    const VertexIndex d = n.corners[i];
    const VertexIndex g = t.corners[1];
    const VertexIndex h = t.corners[2];
    // A border between two sites is never given up for an edge to a frame vertex.
    if (isFrame(d) && !isFrame(g) && !isFrame(h)) return -1;
    // An edge to a frame vertex is flipped whenever the flip is possible.
    const VertexIndex f = isFrame(g) ? g : isFrame(h) ? h : noIndex;
    if (f != noIndex) {
        const VertexIndex q = f == g ? h : g;
        if (classifyPoint(at(q), at(f), at(p), at(d)) == -1) return i;
    }
    return insideCircle(circumcircle(at(p), at(g), at(h)), at(d)) ? i : -1;
}
}  // namespace

// The border G-H becomes P-D.
void Triangulator::flipEdge(TriangleIndex ti, int i)
{
    const VertexIndex p = site_;
    const Triangle t = tri(ti);
    const TriangleIndex ni = t.neighbours[0];
    const Triangle n = tri(ni);
    const VertexIndex d = n.corners[i];
    const VertexIndex g = t.corners[1];
    const VertexIndex h = t.corners[2];
    const int iG = indexOf(n, g);
    const int iH = indexOf(n, h);
    const uint32_t pd = newBorder();

    const TriangleIndex nG = n.neighbours[iG];
    const TriangleIndex nH = n.neighbours[iH];
    const TriangleIndex t1n = t.neighbours[1];
    const TriangleIndex t2n = t.neighbours[2];
    const TriangleIndex t1 = ti;
    renewTriangle(t1, p, d, g, n.edgeStamps[iH], t.edgeStamps[2], pd);
    const TriangleIndex t2 = ni;
    renewTriangle(t2, p, d, h, n.edgeStamps[iG], t.edgeStamps[1], pd);
    setNeighbours(tri(t1), nH, t2n, t2);
    setNeighbours(tri(t2), nG, t1n, t1);
    repoint(triangles_, t1n, ti, t2);
    repoint(triangles_, nH, ni, t1);
    ++counts_.flips;
    pools_.pending.push_back(t1);
    pools_.pending.push_back(t2);
}

void Triangulator::insertSite(VertexIndex p)
{
    site_ = p;
    TriangleIndex t2 = noIndex;
    const TriangleIndex t1 = locateSite(p, &t2);
    if (options_.checkLocation) {
        TriangleIndex literal2 = noIndex;
        const TriangleIndex literal1 = locateLiteral(p, &literal2);
        if (literal1 != t1 || literal2 != t2) ++counts_.locationMismatches;
    }
    rememberSite(p);
    if (t2 != noIndex) splitOnEdge(t1, t2); else splitInside(t1);
    std::vector<TriangleIndex>& pending = pools_.pending;
    while (!pending.empty()) {
        const TriangleIndex t = pending.back();
        pending.pop_back();
        const int i = flipCorner(triangles_, points_, siteCount_, t);
        if (i >= 0) flipEdge(t, i);
    }
}

}  // namespace orvane
