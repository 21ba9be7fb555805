// Point location of the builder: the literal newest-first walk, and the fast
// walk from a nearby triangle that finds the same triangles.
#include "map/builder.h"
#include <cstdlib>
#include <utility>

namespace orvane {

namespace {
constexpr int hintShift = 9;

int64_t orientation(const MapNode* a, const MapNode* b, const MapNode* c)
{
    return int64_t(b->x - a->x) * (c->y - a->y) - int64_t(b->y - a->y) * (c->x - a->x);
}

// Is p strictly on the far side of t's edge opposite corner i?
bool beyondEdge(const Triangle* t, int i, const MapNode* p)
{
    const MapNode* a = t->corners[(i + 1) % 3];
    const MapNode* b = t->corners[(i + 2) % 3];
    const int64_t side = orientation(a, b, p);
    const int64_t own = orientation(a, b, t->corners[i]);
    return (side > 0 && own < 0) || (side < 0 && own > 0);
}
}  // namespace

Triangle* Triangulator::locateLiteral(const MapNode* p, Triangle** second) const
{
    *second = nullptr;
    Triangle* first = nullptr;
    for (Triangle* t = triangleList_; t; t = t->next) {
        if (p->x < t->minX || p->x > t->maxX || p->y < t->minY || p->y > t->maxY) continue;
        const int c = classifyPoint(p, t->corners[0], t->corners[1], t->corners[2]);
        if (c < 0) continue;
        if (!first) {
            first = t;
            if (c == 1) return first;
        } else {
            *second = t;
            return first;
        }
    }
    return first;
}

// The site last inserted in p's cell, or else in the nearest ring of cells
// around it that holds one; the newest triangle when none is near.
Triangle* Triangulator::startTriangle(const MapNode* p) const
{
    if (cellSite_.empty()) return triangleList_;
    constexpr int side = 32768 >> hintShift;
    const int cx = p->x >> hintShift, cy = p->y >> hintShift;
    for (int r = 0; r <= 4; ++r) {
        for (int y = cy - r; y <= cy + r; ++y) {
            if (y < 0 || y >= side) continue;
            for (int x = cx - r; x <= cx + r; ++x) {
                if (x < 0 || x >= side || (std::abs(x - cx) != r && std::abs(y - cy) != r)) continue;
                if (const MapNode* near = cellSite_[static_cast<size_t>(y * side + x)])
                    return cornerOf_[static_cast<size_t>(near - map_.nodeStorage())];
            }
        }
    }
    return triangleList_;
}

// Walks from a triangle near p towards it, never straight back, turning the
// edge order at every step; returns a triangle whose closed area holds p, or
// null when the walk runs too long.
Triangle* Triangulator::walkTowards(const MapNode* p) const
{
    Triangle* t = startTriangle(p);
    const Triangle* from = nullptr;
    const uint64_t limit = 4 * trianglesMade_ + 64;
    for (uint64_t step = 0; step < limit; ++step) {
        Triangle* next = nullptr;
        for (int k = 0; k < 3 && !next; ++k) {
            const int i = static_cast<int>((k + step) % 3);
            Triangle* n = t->neighbours[i];
            if (n && n != from && beyondEdge(t, i, p)) next = n;
        }
        if (!next) return t;
        from = t;
        t = next;
    }
    return nullptr;
}

// Same result as the literal walk: the triangles of a triangulation only meet
// at their edges, so p lies in one triangle, or on an edge of two; the literal
// walk meets the newer of the two first.
Triangle* Triangulator::locateSite(const MapNode* p, Triangle** second) const
{
    if (options_.paths == Paths::reference) return locateLiteral(p, second);
    Triangle* t = walkTowards(p);
    if (!t) return locateLiteral(p, second);
    *second = nullptr;
    if (classifyPoint(p, t->corners[0], t->corners[1], t->corners[2]) == 1) return t;
    for (int i = 0; i < 3; ++i) {
        if (orientation(t->corners[(i + 1) % 3], t->corners[(i + 2) % 3], p) != 0) continue;
        Triangle* other = t->neighbours[i];
        if (!other) break;
        if (other->sequence > t->sequence) std::swap(t, other);
        *second = other;
        return t;
    }
    return locateLiteral(p, second);
}

}  // namespace orvane
