// The triangle pool of the builder: new triangles with their edge stamps, the
// newest-first list of the literal walk, and the predicates on vertex positions.
#include "map/builder.h"

namespace orvane {

TriangleIndex Triangulator::newTriangle(VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1,
                                        uint32_t s2)
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
void Triangulator::renewTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1,
                                 uint32_t s2)
{
    unlistTriangle(t);
    makeTriangle(t, a, b, c, s0, s1, s2);
}

void Triangulator::makeTriangle(TriangleIndex t, VertexIndex a, VertexIndex b, VertexIndex c, uint32_t s0, uint32_t s1,
                                uint32_t s2)
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

void Triangulator::unlistTriangle(TriangleIndex t)
{
    if (!keepList_) return;
    Triangle& n = tri(t);
    if (n.listPrev != noIndex) tri(n.listPrev).listNext = n.listNext; else listHead_ = n.listNext;
    if (n.listNext != noIndex) tri(n.listNext).listPrev = n.listPrev;
}

// cornerOf has room for the frame vertices too, so no corner needs a test.
void Triangulator::rememberCorners(TriangleIndex t)
{
    if (!cornerOf_) return;
    const Triangle& n = tri(t);
    cornerOf_[n.corners[0]] = cornerOf_[n.corners[1]] = cornerOf_[n.corners[2]] = t;
}

int classifyPoint(Point q, Point a, Point b, Point c)
{
    const int64_t o0 = int64_t(b.x - a.x) * (q.y - b.y) - int64_t(b.y - a.y) * (q.x - b.x);
    const int64_t o1 = int64_t(c.x - b.x) * (q.y - c.y) - int64_t(c.y - b.y) * (q.x - c.x);
    const int64_t o2 = int64_t(a.x - c.x) * (q.y - a.y) - int64_t(a.y - c.y) * (q.x - a.x);
    if ((o0 > 0 && o1 > 0 && o2 > 0) || (o0 < 0 && o1 < 0 && o2 < 0)) return 1;
    if ((o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0)) return 0;
    return -1;
}

int classifyPoint(const MapNode* q, const MapNode* a, const MapNode* b, const MapNode* c)
{
    return classifyPoint(Point{q->x, q->y}, Point{a->x, a->y}, Point{b->x, b->y}, Point{c->x, c->y});
}

}  // namespace orvane
