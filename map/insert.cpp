// Inserting one site: the split of the triangle that holds it (three ways, or
// four when it lies on an edge), then flips of the edges opposite the site
// until they are locally Delaunay. Every border record is kept up to date on
// the way, so no separate pass extracts the edges.
#include "map/builder.h"
#include <cmath>

namespace orvane {

namespace {
constexpr int hintShift = 9, hintSide = 32768 >> hintShift;

int hintCell(const MapNode* n) { return (n->y >> hintShift) * hintSide + (n->x >> hintShift); }

bool isFrame(const MapNode* n) { return n->number < 0; }

void linkFront(MapNode* owner, NodeLink* link)
{
    link->next = owner->links;
    owner->links = link;
}

// Takes the first record for `to` out of owner's links and returns it.
NodeLink* takeLink(MapNode* owner, const MapNode* to)
{
    for (NodeLink** p = &owner->links; *p; p = &(*p)->next) {
        if ((*p)->node == to) {
            NodeLink* l = *p;
            *p = l->next;
            l->next = nullptr;
            return l;
        }
    }
    return nullptr;
}

void retarget(NodeLink* link, MapNode* newOwner, MapNode* to)
{
    link->node = to;
    linkFront(newOwner, link);
}

void repoint(Triangle* outside, const Triangle* from, Triangle* to)
{
    if (!outside) return;
    for (Triangle*& n : outside->neighbours)
        if (n == from) { n = to; return; }
}

// Index of a corner or neighbour known to be present.
int indexOf(const Triangle* t, const MapNode* corner)
{
    int i = 0;
    while (i < 2 && t->corners[i] != corner) ++i;
    return i;
}

int indexOfNeighbour(const Triangle* t, const Triangle* n)
{
    int i = 0;
    while (i < 2 && t->neighbours[i] != n) ++i;
    return i;
}

void setNeighbours(Triangle* t, Triangle* n0, Triangle* n1, Triangle* n2)
{
    t->neighbours[0] = n0;
    t->neighbours[1] = n1;
    t->neighbours[2] = n2;
}

double distanceTo(const MapNode* d, double cx, double cy)
{
    const double dx = d->x - cx;
    const double dy = d->y - cy;
    return std::sqrt(dx * dx + dy * dy);
}
}  // namespace

void Triangulator::addLink(MapNode* owner, MapNode* to)
{
    NodeLink* l = map_.newLink();
    l->node = to;
    linkFront(owner, l);
}

// New border pair, owner's record first.
void Triangulator::addBorder(MapNode* a, MapNode* b)
{
    addLink(a, b);
    addLink(b, a);
}

void Triangulator::splitInside(Triangle* t)
{
    MapNode* p = site_;
    MapNode* c0 = t->corners[0];
    MapNode* c1 = t->corners[1];
    MapNode* c2 = t->corners[2];
    addBorder(p, c0);
    addBorder(p, c1);
    addBorder(p, c2);
    Triangle* ta = newTriangle(p, c1, c2);
    Triangle* tb = newTriangle(p, c2, c0);
    Triangle* tc = newTriangle(p, c0, c1);
    setNeighbours(ta, t->neighbours[0], tb, tc);
    setNeighbours(tb, t->neighbours[1], tc, ta);
    setNeighbours(tc, t->neighbours[2], ta, tb);
    repoint(t->neighbours[0], t, ta);
    repoint(t->neighbours[1], t, tb);
    repoint(t->neighbours[2], t, tc);
    unlinkTriangle(t);
    ++counts_.insideSplits;
    pushPending(ta);
    pushPending(tb);
    pushPending(tc);
}

void Triangulator::splitOnEdge(Triangle* t1, Triangle* t2)
{
    MapNode* p = site_;
    const int a = indexOfNeighbour(t1, t2);
    const int b = indexOfNeighbour(t2, t1);
    MapNode* w1 = t1->corners[a];
    MapNode* w2 = t2->corners[b];
    // U is the shared corner with the greater index in t1, V the other.
    const int kU = a == 2 ? 1 : 2;
    MapNode* u = t1->corners[kU];
    const int kV = 3 - a - kU;
    MapNode* v = t1->corners[kV];
    const int jU = indexOf(t2, u);
    const int jV = 3 - b - jU;

    NodeLink* uv = takeLink(u, v);
    NodeLink* vu = takeLink(v, u);
    retarget(uv, u, p);
    retarget(vu, p, u);
    addBorder(p, v);
    addBorder(p, w1);
    addBorder(p, w2);

    Triangle* oppV1 = t1->neighbours[kV];
    Triangle* oppU1 = t1->neighbours[kU];
    Triangle* oppV2 = t2->neighbours[jV];
    Triangle* oppU2 = t2->neighbours[jU];
    Triangle* n1 = newTriangle(p, w1, u);
    Triangle* n2 = newTriangle(p, w1, v);
    Triangle* n3 = newTriangle(p, w2, u);
    Triangle* n4 = newTriangle(p, w2, v);
    setNeighbours(n1, oppV1, n3, n2);
    setNeighbours(n2, oppU1, n4, n1);
    setNeighbours(n3, oppV2, n1, n4);
    setNeighbours(n4, oppU2, n2, n3);
    repoint(oppU1, t1, n2);
    repoint(oppV1, t1, n1);
    repoint(oppU2, t2, n4);
    repoint(oppV2, t2, n3);
    unlinkTriangle(t1);
    unlinkTriangle(t2);
    ++counts_.edgeSplits;
    pushPending(n1);
    pushPending(n2);
    pushPending(n3);
    pushPending(n4);
}

// Index in the neighbour across the edge opposite P of the corner to flip to, or -1.
int Triangulator::needsFlip(const Triangle* t) const
{
    const Triangle* n = t->neighbours[0];
    if (!n) return -1;
    const int i = indexOfNeighbour(n, t);
    const MapNode* d = n->corners[i];
    const MapNode* g = t->corners[1];
    const MapNode* h = t->corners[2];
    // A border between two sites is never given up for an edge to a frame vertex.
    if (isFrame(d) && !isFrame(g) && !isFrame(h)) return -1;
    // An edge to a frame vertex is flipped whenever the flip is possible.
    const MapNode* f = isFrame(g) ? g : isFrame(h) ? h : nullptr;
    if (f) {
        const MapNode* q = f == g ? h : g;
        if (classifyPoint(q, f, site_, d) == -1) return i;
    }
    return t->radius > distanceTo(d, t->centreX, t->centreY) ? i : -1;
}

void Triangulator::flipEdge(Triangle* t, int i)
{
    MapNode* p = site_;
    Triangle* n = t->neighbours[0];
    MapNode* d = n->corners[i];
    MapNode* g = t->corners[1];
    MapNode* h = t->corners[2];
    const int iG = indexOf(n, g);
    const int iH = indexOf(n, h);

    NodeLink* gh = takeLink(g, h);
    NodeLink* hg = takeLink(h, g);
    retarget(gh, p, d);
    retarget(hg, d, p);

    Triangle* nG = n->neighbours[iG];
    Triangle* nH = n->neighbours[iH];
    Triangle* t1n = t->neighbours[1];
    Triangle* t2n = t->neighbours[2];
    Triangle* t1 = newTriangle(p, d, g);
    Triangle* t2 = newTriangle(p, d, h);
    setNeighbours(t1, nH, t2n, t2);
    setNeighbours(t2, nG, t1n, t1);
    repoint(t1n, t, t2);
    repoint(t2n, t, t1);
    repoint(nG, n, t2);
    repoint(nH, n, t1);
    unlinkTriangle(t);
    unlinkTriangle(n);
    ++counts_.flips;
    pushPending(t1);
    pushPending(t2);
}

void Triangulator::insertSite(MapNode* p)
{
    site_ = p;
    Triangle* t2 = nullptr;
    Triangle* t1 = locateSite(p, &t2);
    if (options_.checkLocation) {
        Triangle* literal2 = nullptr;
        Triangle* literal1 = locateLiteral(p, &literal2);
        if (literal1 != t1 || literal2 != t2) ++counts_.locationMismatches;
    }
    if (!cellSite_.empty()) cellSite_[static_cast<size_t>(hintCell(p))] = p;
    if (t2) splitOnEdge(t1, t2); else splitInside(t1);
    while (pendingStack_) {
        Triangle* t = pendingStack_;
        pendingStack_ = t->pendingNext;
        t->pendingNext = nullptr;
        const int i = needsFlip(t);
        if (i >= 0) flipEdge(t, i);
    }
}

}  // namespace orvane
