// Ring growth: insert the uncoloured node nearest the centre whose coloured
// neighbours form one stretch of the ring.
#include "engine/internal.h"
#include <climits>

namespace orvane {

namespace {
bool isColoured(const MapNode* n) { return n->colour != colourNone; }

// Walks around `node` from `from` in one direction over coloured neighbours,
// counting them; stops before an uncoloured one or after an outer one.
MapNode* runEnd(NodeLink* from, bool backwards, int limit, int& count)
{
    MapNode* end = from->node;
    NodeLink* l = from;
    for (int steps = 0; steps < limit; ++steps) {
        l = backwards ? l->aroundPrev : l->aroundNext;
        if (l == from || !isColoured(l->node)) break;
        ++count;
        end = l->node;
        if (l->node->outer) break;
    }
    return end;
}

bool arcThroughInnerNeighbour(MapNode* node, NodeLink* inner, MapNode** first, MapNode** last)
{
    const int limit = countLinks(node);
    int count = 1;
    *first = runEnd(inner, true, limit, count);
    *last = runEnd(inner, false, limit, count);
    return count == node->ringContacts;
}

// Every coloured neighbour is on the outer boundary.
bool arcOfOuterNeighbours(MapNode* node, MapNode** first, MapNode** last)
{
    MapNode* x = nullptr;
    MapNode* y = nullptr;
    for (NodeLink* l = node->links; l; l = l->next) {
        if (!isColoured(l->node)) continue;
        if (!x) x = l->node; else y = l->node;
    }
    if (!x || !y) return false;
    if (x->ringPrev == y) { *first = x; *last = y; }
    else if (x->ringNext == y) { *first = y; *last = x; }
    else return false;
    NodeLink* start = findLink(node, *first);
    const int limit = countLinks(node);
    NodeLink* l = start;
    for (int steps = 0; steps < limit; ++steps) {
        l = l->aroundNext;
        if (!isColoured(l->node)) return false;
        if (l->node == *last) return true;
    }
    return false;
}

bool outerBoundaryHasColour4(const Map& map)
{
    if (!map.outerStart) return false;
    const MapNode* n = map.outerStart;
    do {
        if (n->colour == colourB) return true;
        n = n->outer;
    } while (n && n != map.outerStart);
    return false;
}

unsigned arcColourMask(MapNode* first, MapNode* last, int limit)
{
    unsigned mask = 0;
    for (MapNode* n = first; n && limit-- > 0; n = n->ringPrev) {
        if (n->colour >= colourR && n->colour <= colourB) mask |= 1u << n->colour;
        if (n == last) break;
    }
    return mask;
}

ColourCode leastFreeColour(unsigned mask)
{
    for (int c = colourR; c <= colourY; ++c)
        if (!(mask & (1u << c))) return colourCode(c);
    return colourB;
}

// The fast candidate search keys the frontier by distance from the centre,
// then by node-list position, as the whole-list scan ranks its nodes.
uint64_t frontierKey(const Engine& e, const MapNode* n)
{
    return (static_cast<uint64_t>(n->centreDistance) << 32) | static_cast<uint32_t>(e.nodeListPosition(n));
}

// The uncoloured node nearest the centre (earliest in the list on equal
// distances) whose coloured neighbours form one stretch of the ring.
MapNode* scanForCandidate(Engine& e, MapNode** first, MapNode** last)
{
    MapNode* best = nullptr;
    int32_t bestDistance = INT32_MAX;
    for (MapNode* n = e.map.nodeList; n; n = n->next) {
        if (n->colour != colourNone || n->ringContacts < 2 || n->centreDistance >= bestDistance) continue;
        MapNode* f;
        MapNode* l;
        if (!e.findContactArc(n, &f, &l)) continue;
        best = n;
        *first = f;
        *last = l;
        bestDistance = n->centreDistance;
    }
    return best;
}

// Contacts only grow and coloured nodes stay coloured while a colouring runs,
// so a node enters the frontier once, when its second contact is counted, and
// leaves once coloured.
MapNode* frontierCandidate(Engine& e, MapNode** first, MapNode** last)
{
    for (auto it = e.frontier.begin(); it != e.frontier.end();) {
        MapNode* n = e.frontierNode[static_cast<size_t>(*it & 0xFFFFFFFFu)];
        if (n->colour != colourNone) {
            it = e.frontier.erase(it);
            continue;
        }
        if (e.findContactArc(n, first, last)) return n;
        ++it;
    }
    return nullptr;
}
}  // namespace

bool Engine::findContactArc(MapNode* node, MapNode** first, MapNode** last)
{
    bool anyColoured = false;
    for (NodeLink* l = node->links; l; l = l->next) {
        if (!isColoured(l->node)) continue;
        anyColoured = true;
        if (!l->node->outer) return arcThroughInnerNeighbour(node, l, first, last);
    }
    return anyColoured && arcOfOuterNeighbours(node, first, last);
}

// Puts an uncoloured node into the ring between the arc ends and counts its contacts.
void Engine::insertIntoRing(MapNode* node, MapNode* first, MapNode* last)
{
    node->ringNext = first;
    node->ringPrev = last;
    last->ringNext = node;
    first->ringPrev = node;
    ringEntry = node;
    for (NodeLink* l = node->links; l; l = l->next) countContact(l->node);
}

void Engine::startFrontier()
{
    frontier.clear();
    frontierActive = scratchTracking();
    if (!frontierActive) return;
    frontierNode.clear();
    for (MapNode* n = map.nodeList; n; n = n->next) {
        frontierNode.push_back(n);
        if (n->colour == colourNone && n->ringContacts >= 2) frontier.insert(frontierKey(*this, n));
    }
}

void Engine::countContact(MapNode* n)
{
    ++n->ringContacts;
    if (frontierActive && scratchTracking() && n->ringContacts == 2 && n->colour == colourNone)
        frontier.insert(frontierKey(*this, n));
}

GrowthOutcome Engine::growRing()
{
    if (growthDone) return GrowthOutcome::finished;
    candidate = nullptr;
    MapNode* bestFirst = nullptr;
    MapNode* bestLast = nullptr;
    const bool fast = frontierActive && scratchTracking();
    MapNode* best = fast ? frontierCandidate(*this, &bestFirst, &bestLast) : scanForCandidate(*this, &bestFirst, &bestLast);
    candidate = best;
    if (!best) {
        if (!outerBoundaryHasColour4(map)) return GrowthOutcome::finished;
        // The whole ring becomes the arc of the boundary's clean-up.
        arcFirst = ringEntry;
        arcLast = ringEntry->ringNext;
        clearSwapCursors();
        growthDone = 1;
        return GrowthOutcome::needsResolution;
    }
    const unsigned mask = arcColourMask(bestFirst, bestLast, walkLimit());
    if (mask == 0x1Eu) {
        best->colour = colourBlocked;
        pivot = nullptr;
        arcFirst = bestFirst;
        arcLast = bestLast;
        clearSwapCursors();
        return GrowthOutcome::needsResolution;
    }
    best->colour = leastFreeColour(mask);
    insertIntoRing(best, bestFirst, bestLast);
    return GrowthOutcome::inserted;
}

}  // namespace orvane
