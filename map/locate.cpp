// Point location of the builder: the literal newest-first walk, and the fast
// walk from a nearby triangle that finds the same triangles.
#include "map/builder.h"
#include <algorithm>
#include <utility>

namespace orvane {

namespace {
int64_t orientation(Point a, Point b, Point c)
{
    return int64_t(b.x - a.x) * (c.y - a.y) - int64_t(b.y - a.y) * (c.x - a.x);
}

bool outsideBox(Point p, Point a, Point b, Point c)
{
    return p.x < std::min({a.x, b.x, c.x}) || p.x > std::max({a.x, b.x, c.x}) || p.y < std::min({a.y, b.y, c.y}) ||
           p.y > std::max({a.y, b.y, c.y});
}
}  // namespace

TriangleIndex Triangulator::locateLiteral(VertexIndex p, TriangleIndex* second) const
{
    if (!keepList_) return locateByScan(p, second);
    *second = noIndex;
    TriangleIndex first = noIndex;
    const Point q = at(p);
    for (TriangleIndex t = listHead_; t != noIndex; t = tri(t).listNext) {
        const Point a = at(tri(t).corners[0]), b = at(tri(t).corners[1]), c = at(tri(t).corners[2]);
        if (outsideBox(q, a, b, c)) continue;
        const int k = classifyPoint(q, a, b, c);
        if (k < 0) continue;
        if (first == noIndex) {
            first = t;
            if (k == 1) return first;
        } else {
            *second = t;
            return first;
        }
    }
    return first;
}

// The literal walk's answer without its list: of the triangles whose closed
// area holds p, the newest, and when p lies on its boundary the next newest.
TriangleIndex Triangulator::locateByScan(VertexIndex p, TriangleIndex* second) const
{
    *second = noIndex;
    TriangleIndex first = noIndex;
    int firstClass = 0;
    const Point q = at(p);
    for (TriangleIndex t = 0; t < static_cast<TriangleIndex>(triangles_.size()); ++t) {
        const Triangle& n = tri(t);
        const int k = classifyPoint(q, at(n.corners[0]), at(n.corners[1]), at(n.corners[2]));
        if (k < 0) continue;
        if (first == noIndex || n.sequence > tri(first).sequence) {
            *second = first;
            first = t;
            firstClass = k;
        } else if (*second == noIndex || n.sequence > tri(*second).sequence) {
            *second = t;
        }
    }
    if (firstClass == 1) *second = noIndex;
    return first;
}

// The start points of the fast walk are kept in a pyramid of grids over the
// sites' square: level L has 2^L x 2^L cells, each holding the last site
// inserted in it. Any live triangle gives the same location; a near one only
// makes the walk short. The finest level has about two sites a cell once all
// are in (finer cells would mostly stay empty and only cost their upkeep).
namespace {
constexpr int hintLevels = 7;

size_t hintCell(int level, Point p)
{
    const int shift = 15 - level;
    const size_t levelStart = ((size_t{1} << (2 * level)) - 1) / 3;
    return levelStart + (static_cast<size_t>(p.y >> shift) << level) + static_cast<size_t>(p.x >> shift);
}
}  // namespace

void Triangulator::startHints()
{
    hintFinest_ = 1;
    while (hintFinest_ < hintLevels - 1 && (size_t{1} << (2 * hintFinest_)) < static_cast<size_t>(siteCount_) / 2)
        ++hintFinest_;
    const size_t cells = ((size_t{1} << (2 * (hintFinest_ + 1))) - 1) / 3;
    pools_.cellSite.assign(options_.paths == Paths::fast ? cells : 0, noIndex);
}

void Triangulator::rememberSite(VertexIndex p)
{
    if (pools_.cellSite.empty()) return;
    for (int level = hintFinest_; level >= 0; --level) pools_.cellSite[hintCell(level, at(p))] = p;
}

// A corner of the last site inserted in the finest cell around p that holds
// one; the newest triangle while no site is in.
TriangleIndex Triangulator::startTriangle(VertexIndex p) const
{
    if (pools_.cellSite.empty()) return newest_;
    for (int level = hintFinest_; level >= 0; --level) {
        const VertexIndex near = pools_.cellSite[hintCell(level, at(p))];
        if (near != noIndex) return pools_.cornerOf[static_cast<size_t>(near)];
    }
    return newest_;
}

// Walks from a triangle near p towards it, never straight back, turning the
// edge order at every step; returns a triangle whose closed area holds p, or
// none when the walk runs too long.
TriangleIndex Triangulator::walkTowards(VertexIndex p) const
{
    static constexpr int following[5] = {1, 2, 0, 1, 2};  // following[i] = (i + 1) % 3, following[i + 1] = (i + 2) % 3
    TriangleIndex t = startTriangle(p);
    TriangleIndex from = noIndex;
    const Point q = at(p);
    const uint64_t limit = 4 * uint64_t{trianglesMade_} + 64;
    int turn = 0;  // step % 3: the first edge tried
    for (uint64_t step = 0; step < limit; ++step) {
        const Triangle& n = tri(t);
        const Point c[3] = {at(n.corners[0]), at(n.corners[1]), at(n.corners[2])};
        // The corner opposite each edge lies on the side of the edge that the
        // triangle's turning sense gives, the same for all three edges.
        const int64_t own = orientation(c[0], c[1], c[2]);
        TriangleIndex next = noIndex;
        for (int k = 0, i = turn; k < 3 && next == noIndex; ++k, i = following[i]) {
            const TriangleIndex across = n.neighbours[i];
            if (across == noIndex || across == from) continue;
            // Is p strictly on the far side of the edge opposite corner i?
            const int64_t side = orientation(c[following[i]], c[following[i + 1]], q);
            if ((side > 0 && own < 0) || (side < 0 && own > 0)) next = across;
        }
        if (next == noIndex) return t;
        from = t;
        t = next;
        turn = following[turn];
    }
    return noIndex;
}

// Same result as the literal walk: the triangles of a triangulation only meet
// at their edges, so p lies in one triangle, or on an edge of two; the literal
// walk meets the newer of the two first.
TriangleIndex Triangulator::locateSite(VertexIndex p, TriangleIndex* second) const
{
    if (options_.paths == Paths::reference) return locateLiteral(p, second);
    TriangleIndex t = walkTowards(p);
    if (t == noIndex) return locateLiteral(p, second);
    *second = noIndex;
    const Point q = at(p);
    const Point c[3] = {at(tri(t).corners[0]), at(tri(t).corners[1]), at(tri(t).corners[2])};
    if (classifyPoint(q, c[0], c[1], c[2]) == 1) return t;
    for (int i = 0; i < 3; ++i) {
        if (orientation(c[(i + 1) % 3], c[(i + 2) % 3], q) != 0) continue;
        TriangleIndex other = tri(t).neighbours[i];
        if (other == noIndex) break;
        if (tri(other).sequence > tri(t).sequence) std::swap(t, other);
        *second = other;
        return t;
    }
    return locateLiteral(p, second);
}

}  // namespace orvane
