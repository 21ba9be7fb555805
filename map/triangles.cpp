// The triangle pool of the builder: new triangles with their circumcircle and
// bounding box, the triangle list (newest first) and the pending stack.
#include "map/builder.h"
#include <cmath>

namespace orvane {

namespace {
constexpr size_t trianglesPerBlock = 1024;
}  // namespace

Triangle* Triangulator::newTriangle(MapNode* a, MapNode* b, MapNode* c)
{
    if (!freeTriangles_) {
        triangleBlocks_.push_back(std::make_unique<Triangle[]>(trianglesPerBlock));
        Triangle* block = triangleBlocks_.back().get();
        for (size_t i = 0; i < trianglesPerBlock; ++i) {
            block[i].next = freeTriangles_;
            freeTriangles_ = &block[i];
        }
    }
    Triangle* t = freeTriangles_;
    freeTriangles_ = t->next;
    *t = Triangle{};
    t->corners[0] = a;
    t->corners[1] = b;
    t->corners[2] = c;
    // The numerators and the denominator are exact integers; only the division,
    // the radius and later the distance in the circle test are rounded.
    const int64_t pb = int64_t(b->x) * b->x - int64_t(a->x) * a->x + int64_t(b->y) * b->y - int64_t(a->y) * a->y;
    const int64_t pc = int64_t(c->x) * c->x - int64_t(a->x) * a->x + int64_t(c->y) * c->y - int64_t(a->y) * a->y;
    const int64_t d = int64_t(b->x - a->x) * (c->y - a->y) - int64_t(b->y - a->y) * (c->x - a->x);
    const double twoD = static_cast<double>(2 * d);
    t->centreX = static_cast<double>((c->y - a->y) * pb + (a->y - b->y) * pc) / twoD;
    t->centreY = static_cast<double>((a->x - c->x) * pb + (b->x - a->x) * pc) / twoD;
    const double rx = b->x - t->centreX;
    const double ry = b->y - t->centreY;
    t->radius = std::sqrt(rx * rx + ry * ry);
    t->minX = t->minY = 2147483647;
    t->maxX = t->maxY = -2147483647 - 1;
    for (const MapNode* n : t->corners) {
        if (n->x < t->minX) t->minX = n->x;
        if (n->y < t->minY) t->minY = n->y;
        if (n->x > t->maxX) t->maxX = n->x;
        if (n->y > t->maxY) t->maxY = n->y;
    }
    t->sequence = ++trianglesMade_;
    rememberCorners(t);
    t->next = triangleList_;
    if (triangleList_) triangleList_->prev = t;
    triangleList_ = t;
    return t;
}

// Takes a triangle off the list and back into the pool.
void Triangulator::unlinkTriangle(Triangle* t)
{
    if (t->prev) t->prev->next = t->next; else triangleList_ = t->next;
    if (t->next) t->next->prev = t->prev;
    t->next = freeTriangles_;
    freeTriangles_ = t;
}

void Triangulator::pushPending(Triangle* t)
{
    t->pendingNext = pendingStack_;
    pendingStack_ = t;
}

void Triangulator::rememberCorners(Triangle* t)
{
    if (cornerOf_.empty()) return;
    for (MapNode* c : t->corners)
        if (c->number > 0) cornerOf_[static_cast<size_t>(c - map_.nodeStorage())] = t;
}

int classifyPoint(const MapNode* q, const MapNode* a, const MapNode* b, const MapNode* c)
{
    const int64_t o0 = int64_t(b->x - a->x) * (q->y - b->y) - int64_t(b->y - a->y) * (q->x - b->x);
    const int64_t o1 = int64_t(c->x - b->x) * (q->y - c->y) - int64_t(c->y - b->y) * (q->x - c->x);
    const int64_t o2 = int64_t(a->x - c->x) * (q->y - a->y) - int64_t(a->y - c->y) * (q->x - a->x);
    if ((o0 > 0 && o1 > 0 && o2 > 0) || (o0 < 0 && o1 < 0 && o2 < 0)) return 1;
    if ((o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0)) return 0;
    return -1;
}

}  // namespace orvane
