// Preparation: inner nodes with three neighbours are set aside, and the start
// triangle near the centre is coloured as the first ring.
#include "engine/internal.h"
#include <cmath>
#include <utility>

namespace orvane {

namespace {
bool hasExactlyThreeLinks(const MapNode* n)
{
    int c = 0;
    for (const NodeLink* l = n->links; l && c <= 3; l = l->next) ++c;
    return c == 3;
}

void parkLinkTo(MapNode* owner, MapNode* deferred)
{
    for (NodeLink** p = &owner->links; *p; p = &(*p)->next) {
        if ((*p)->node == deferred) {
            NodeLink* l = *p;
            *p = l->next;
            l->next = owner->parkedLinks;
            owner->parkedLinks = l;
            return;
        }
    }
}

// One pass over the node list; returns whether it deferred anything. Nodes
// later in the pass see the reduced link counts.
bool deferPass(Map& map)
{
    bool deferred = false;
    MapNode** before = &map.nodeList;
    while (MapNode* n = *before) {
        if (n->outer || !hasExactlyThreeLinks(n)) {
            before = &n->next;
            continue;
        }
        *before = n->next;
        n->next = map.deferredList;
        map.deferredList = n;
        for (NodeLink* l = n->links; l; l = l->next) parkLinkTo(l->node, n);
        deferred = true;
    }
    return deferred;
}

int32_t nearestDistance(const MapNode* a, const MapNode* b)
{
    const int32_t dx = a->x - b->x, dy = a->y - b->y;
    return static_cast<int32_t>(std::floor(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5));
}

// Pseudo-angle of q seen from p (p has the least y): 0 towards +x, growing through +y.
int32_t pseudoAngle(const MapNode* p, const MapNode* q)
{
    const int32_t dx = q->x - p->x, dy = q->y - p->y;
    int32_t h = mulDiv(dy * dy, 0x1FFFFFFF, dx * dx + dy * dy);
    if (dx < 0) h = 0x3FFFFFFE - h;
    return h;
}

MapNode* nearestToCentre(MapNode* list)
{
    MapNode* best = list;
    for (MapNode* n = list; n; n = n->next)
        if (n->centreDistance < best->centreDistance) best = n;
    return best;
}

MapNode* nearestNeighbourToCentre(const MapNode* a)
{
    MapNode* best = nullptr;
    for (NodeLink* l = a->links; l; l = l->next)
        if (!best || l->node->centreDistance < best->centreDistance) best = l->node;
    return best;
}

// The common neighbour of a and b with the least rounded distance sum.
MapNode* closestCommonNeighbour(Engine& e, MapNode* a, MapNode* b)
{
    e.clearVisited();
    for (NodeLink* l = a->links; l; l = l->next) {
        e.setVisited(l->node, 1);
        e.noteVisited(l->node);
    }
    MapNode* best = nullptr;
    int32_t bestSum = 0;
    for (NodeLink* l = b->links; l; l = l->next) {
        MapNode* n = l->node;
        if (!n->visited) continue;
        const int32_t sum = nearestDistance(a, n) + nearestDistance(b, n);
        if (!best || sum < bestSum) { best = n; bestSum = sum; }
    }
    return best;
}

void countContacts(const MapNode* n)
{
    for (NodeLink* l = n->links; l; l = l->next) ++l->node->ringContacts;
}
}  // namespace

void Engine::deferNodes()
{
    map.deferredList = nullptr;
    bool any = false;
    while (deferPass(map)) any = true;
    if (!any) return;
    if (paths == Paths::reference) {
        orderNeighbours(map);
        return;
    }
    for (MapNode* n = map.nodeList; n; n = n->next)
        if (n->parkedLinks) orderNeighboursOf(n);
}

bool Engine::prepareColouring()
{
    deferNodes();
    beginScratchTracking();
    MapNode* a = nearestToCentre(map.nodeList);
    MapNode* b = nearestNeighbourToCentre(a);
    MapNode* t = b ? closestCommonNeighbour(*this, a, b) : nullptr;
    if (!t) return false;

    MapNode* p = a;
    if (a->y > b->y) p = b;
    if (p->y > t->y) p = t;
    MapNode* u = p == a ? t : a;
    MapNode* v = p == b ? t : b;
    if (pseudoAngle(p, u) < pseudoAngle(p, v)) std::swap(u, v);

    p->ringNext = u; u->ringNext = v; v->ringNext = p;
    p->ringPrev = v; v->ringPrev = u; u->ringPrev = p;
    setColour(p, colourR);
    setColour(u, colourG);
    setColour(v, colourY);
    ringEntry = p;
    countContacts(p);
    countContacts(u);
    countContacts(v);
    startFrontier();
    return true;
}

}  // namespace orvane
