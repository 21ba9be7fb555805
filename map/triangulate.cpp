// Incremental Delaunay triangulation of the sites, kept as border records
// while it is built, then the outer boundary cycle.
#include "map/map.h"
#include "map/triangulation.h"
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {
Triangle* triangleList = nullptr;
Triangle* pendingStack = nullptr;
MapNode* site = nullptr;  // P, the site being inserted
uint64_t trianglesMade = 0;

// Start points of the fast location: for every site a triangle it is a corner
// of (the last one made), and for every cell of a coarse grid the last site
// inserted there.
constexpr int hintShift = 9, hintSide = 32768 >> hintShift;
std::vector<Triangle*> cornerOf;
std::vector<MapNode*> cellSite;

int hintCell(const MapNode* n) { return (n->y >> hintShift) * hintSide + (n->x >> hintShift); }

void rememberCorners(Triangle* t)
{
    if (cornerOf.empty()) return;
    for (MapNode* c : t->corners)
        if (c->number > 0) cornerOf[static_cast<size_t>(c - nodeStorage)] = t;
}

bool isFrame(const MapNode* n) { return n->number < 0; }

void linkFront(MapNode* owner, NodeLink* link)
{
    link->next = owner->links;
    owner->links = link;
}

void addLink(MapNode* owner, MapNode* to)
{
    NodeLink* l = newLink();
    l->node = to;
    linkFront(owner, l);
}

// New border pair, owner's record first.
void addBorder(MapNode* a, MapNode* b)
{
    addLink(a, b);
    addLink(b, a);
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

void unlinkTriangle(Triangle* t)
{
    if (t->prev) t->prev->next = t->next; else triangleList = t->next;
    if (t->next) t->next->prev = t->prev;
    delete t;
}

void pushPending(Triangle* t)
{
    t->pendingNext = pendingStack;
    pendingStack = t;
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

void splitInside(Triangle* t)
{
    MapNode* p = site;
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
    ++buildCounts.insideSplits;
    pushPending(ta);
    pushPending(tb);
    pushPending(tc);
}

void splitOnEdge(Triangle* t1, Triangle* t2)
{
    MapNode* p = site;
    const int a = indexOfNeighbour(t1, t2);
    const int b = indexOfNeighbour(t2, t1);
    MapNode* w1 = t1->corners[a];
    MapNode* w2 = t2->corners[b];
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
    ++buildCounts.edgeSplits;
    pushPending(n1);
    pushPending(n2);
    pushPending(n3);
    pushPending(n4);
}

double distanceTo(const MapNode* d, double cx, double cy)
{
    const double dx = d->x - cx;
    const double dy = d->y - cy;
    return std::sqrt(dx * dx + dy * dy);
}

// Index in the neighbour across the edge opposite P of the corner to flip to, or -1.
int needsFlip(const Triangle* t)
{
    const Triangle* n = t->neighbours[0];
    if (!n) return -1;
    const int i = indexOfNeighbour(n, t);
    const MapNode* d = n->corners[i];
    const MapNode* g = t->corners[1];
    const MapNode* h = t->corners[2];
    // A border between two sites is never given up for an edge to a frame vertex.
    if (isFrame(d) && !isFrame(g) && !isFrame(h)) return -1;
    const MapNode* f = isFrame(g) ? g : isFrame(h) ? h : nullptr;
    if (f) {
        const MapNode* q = f == g ? h : g;
        if (classifyPoint(q, f, site, d) == -1) return i;
    }
    return t->radius > distanceTo(d, t->centreX, t->centreY) ? i : -1;
}

void flipEdge(Triangle* t, int i)
{
    MapNode* p = site;
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
    ++buildCounts.flips;
    pushPending(t1);
    pushPending(t2);
}

void insertSite(MapNode* p)
{
    site = p;
    Triangle* t2 = nullptr;
    Triangle* t1 = locateSite(p, &t2);
    if (checkLocation) {
        Triangle* literal2 = nullptr;
        Triangle* literal1 = locateLiteral(p, &literal2);
        if (literal1 != t1 || literal2 != t2) ++buildCounts.locationMismatches;
    }
    if (!cellSite.empty()) cellSite[static_cast<size_t>(hintCell(p))] = p;
    if (t2) splitOnEdge(t1, t2); else splitInside(t1);
    while (pendingStack) {
        Triangle* t = pendingStack;
        pendingStack = t->pendingNext;
        t->pendingNext = nullptr;
        const int i = needsFlip(t);
        if (i >= 0) flipEdge(t, i);
    }
}

void markOuterNodes(MapNode* const frame[3])
{
    for (MapNode* n = nodeList; n; n = n->next) n->visited = 0;
    for (int v = 0; v < 3; ++v)
        for (NodeLink* l = frame[v]->links; l; l = l->next) l->node->visited = 1;
}

void removeFrame(MapNode* const frame[3])
{
    for (int v = 0; v < 3; ++v) {
        NodeLink* l = frame[v]->links;
        while (l) {
            NodeLink* following = l->next;
            MapNode* n = l->node;
            disposeLink(takeLink(frame[v], n));
            disposeLink(takeLink(n, frame[v]));
            l = following;
        }
        delete frame[v];
    }
}

void freeTriangles()
{
    while (triangleList) {
        Triangle* next = triangleList->next;
        delete triangleList;
        triangleList = next;
    }
}

MapNode* makeFrameVertex(int32_t x, int32_t y, int16_t number)
{
    MapNode* v = new MapNode();
    v->x = x;
    v->y = y;
    v->number = number;
    return v;
}
}  // namespace

Triangle* newTriangle(MapNode* a, MapNode* b, MapNode* c)
{
    Triangle* t = new Triangle();
    t->corners[0] = a;
    t->corners[1] = b;
    t->corners[2] = c;
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
    t->sequence = ++trianglesMade;
    rememberCorners(t);
    t->next = triangleList;
    if (triangleList) triangleList->prev = t;
    triangleList = t;
    return t;
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

Triangle* newestTriangle() { return triangleList; }

Triangle* locateLiteral(const MapNode* p, Triangle** second)
{
    *second = nullptr;
    Triangle* first = nullptr;
    for (Triangle* t = triangleList; t; t = t->next) {
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

void linkOuterCycle()
{
    MapNode* s = nullptr;
    for (MapNode* n = nodeList; n; n = n->next)
        if (n->visited == 1 && (!s || n->y < s->y)) s = n;
    MapNode* p = nullptr;
    int64_t best = 0;
    for (NodeLink* l = s->links; l; l = l->next) {
        if (l->node->visited != 1) continue;
        const int64_t key = angleKey(l->node->x - s->x, l->node->y - s->y);
        if (!p || key < best) { p = l->node; best = key; }
    }
    outerStart = s;
    MapNode* cur = s;
    MapNode* prev = p;
    for (;;) {
        NodeLink* l = findLink(cur, prev)->aroundNext;
        while (l->node->visited != 1) l = l->aroundNext;
        cur->outer = l->node;
        if (l->node == s) break;
        prev = cur;
        cur = l->node;
    }
}

namespace {
// Triangulates the node list as scattered, then orders the neighbours and links
// the outer cycle.
void triangulateNodeList()
{
    buildCounts = BuildCounts{};
    MapNode* frame[3] = {makeFrameVertex(-24573, -8191, -1), makeFrameVertex(57337, -8191, -2),
                         makeFrameVertex(16382, 65528, -3)};
    triangleList = nullptr;
    newTriangle(frame[0], frame[1], frame[2]);
    pendingStack = nullptr;
    cornerOf.assign(literalReference ? 0 : static_cast<size_t>(nodeStorageCount), nullptr);
    cellSite.assign(literalReference ? 0 : static_cast<size_t>(hintSide * hintSide), nullptr);
    int16_t k = 0;
    for (MapNode* node = nodeList; node; node = node->next) {
        node->number = ++k;
        insertSite(node);
    }
    markOuterNodes(frame);
    removeFrame(frame);
    freeTriangles();
    site = nullptr;
    cornerOf.clear();
    cellSite.clear();
    compactLinks();
    orderNeighbours();
    linkOuterCycle();
}

bool acceptableSites(const int32_t* xy, int n)
{
    if (n < 3 || n > 32767) return false;
    for (int i = 0; i < 2 * n; ++i)
        if (xy[i] < 0 || xy[i] > 32767) return false;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j)
            if (xy[2 * i] == xy[2 * j] && xy[2 * i + 1] == xy[2 * j + 1]) return false;
    // Not all on one line: some site off the line through the first two.
    const int64_t ax = xy[0], ay = xy[1], bx = xy[2] - ax, by = xy[3] - ay;
    for (int i = 2; i < n; ++i)
        if (bx * (xy[2 * i + 1] - ay) != by * (xy[2 * i] - ax)) return true;
    return false;
}
}  // namespace

BuildCounts buildCounts{};
bool checkLocation = false;

void buildMap(int n)
{
    // The callers clamp n; a count outside 3..10000 would leave no proper map.
    if (n < 3) n = 3;
    if (n > 10000) n = 10000;
    releaseMap();
    scatterSites(n);
    triangulateNodeList();
}

bool buildMapFromSites(const int32_t* xy, int n)
{
    releaseMap();
    if (!acceptableSites(xy, n)) return false;
    nodeStorage = new MapNode[n]();
    nodeStorageCount = n;
    for (int slot = 0; slot < n; ++slot) placeSite(slot, xy[2 * (n - 1 - slot)], xy[2 * (n - 1 - slot) + 1]);
    triangulateNodeList();
    return true;
}


namespace {
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

// The site last inserted in p's cell, or else in the nearest ring of cells
// around it that holds one; the newest triangle when none is near.
Triangle* startTriangle(const MapNode* p)
{
    if (cellSite.empty()) return triangleList;
    const int cx = p->x >> hintShift, cy = p->y >> hintShift;
    for (int r = 0; r <= 4; ++r) {
        for (int y = cy - r; y <= cy + r; ++y) {
            if (y < 0 || y >= hintSide) continue;
            for (int x = cx - r; x <= cx + r; ++x) {
                if (x < 0 || x >= hintSide || (std::abs(x - cx) != r && std::abs(y - cy) != r)) continue;
                if (const MapNode* near = cellSite[static_cast<size_t>(y * hintSide + x)])
                    return cornerOf[static_cast<size_t>(near - nodeStorage)];
            }
        }
    }
    return triangleList;
}

// Walks from a triangle near p towards it, never straight back, turning the
// edge order at every step; returns a triangle whose closed area holds p, or
// null when the walk runs too long.
Triangle* walkTowards(const MapNode* p)
{
    Triangle* t = startTriangle(p);
    const Triangle* from = nullptr;
    const uint64_t limit = 4 * trianglesMade + 64;
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
}  // namespace

// Same result as the literal walk: the triangles of a triangulation only meet
// at their edges, so p lies in one triangle, or on an edge of two; the literal
// walk meets the newer of the two first.
Triangle* locateSite(const MapNode* p, Triangle** second)
{
    if (literalReference) return locateLiteral(p, second);
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
