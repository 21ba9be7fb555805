// Ring growth: insert the uncoloured node nearest the centre whose coloured
// neighbours form one stretch of the ring.
#include "engine/internal.h"
#include <algorithm>
#include <bit>
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
    std::vector<uint64_t>& bits = e.frontier;
    while (e.frontierLow < bits.size() && bits[e.frontierLow] == 0) ++e.frontierLow;
    for (size_t w = e.frontierLow; w < bits.size(); ++w) {
        for (uint64_t word = bits[w]; word; word &= word - 1) {
            const int bit = std::countr_zero(word);
            MapNode* n = e.byRank[(w << 6) + static_cast<size_t>(bit)];
            if (n->colour != colourNone) {
                bits[w] &= ~(uint64_t{1} << bit);
                continue;
            }
            if (e.findContactArc(n, first, last)) return n;
        }
    }
    return nullptr;
}

// Ranks the list's nodes as the whole-list scan meets its candidates: by
// distance from the centre, and in list order on equal distances (a counting
// sort keeps list order within a distance).
void rankByDistance(Engine& e)
{
    int32_t farthest = 0;
    for (MapNode* n = e.map.nodeList; n; n = n->next) farthest = std::max(farthest, n->centreDistance);
    std::vector<uint32_t>& count = e.rankCount;
    count.assign(static_cast<size_t>(farthest) + 2, 0);
    for (MapNode* n = e.map.nodeList; n; n = n->next) ++count[static_cast<size_t>(n->centreDistance) + 1];
    for (size_t d = 1; d < count.size(); ++d) count[d] += count[d - 1];
    const size_t listed = count.back();
    e.byRank.resize(listed);
    e.frontierRank.resize(static_cast<size_t>(e.map.nodeStorageCount()));
    for (MapNode* n = e.map.nodeList; n; n = n->next) {
        const uint32_t r = count[static_cast<size_t>(n->centreDistance)]++;
        e.byRank[r] = n;
        e.frontierRank[e.slotOf(n)] = r;
    }
    e.frontier.assign((listed + 63) / 64, 0);
    e.frontierLow = 0;
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
    frontierActive = scratchTracking();
    if (!frontierActive) return;
    rankByDistance(*this);
    for (MapNode* n = map.nodeList; n; n = n->next)
        if (n->colour == colourNone && n->ringContacts >= 2) enterFrontier(n);
}

void Engine::countContact(MapNode* n)
{
    ++n->ringContacts;
    if (frontierActive && scratchTracking() && n->ringContacts == 2 && n->colour == colourNone) enterFrontier(n);
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
        setColour(best, colourBlocked);
        pivot = nullptr;
        arcFirst = bestFirst;
        arcLast = bestLast;
        clearSwapCursors();
        return GrowthOutcome::needsResolution;
    }
    setColour(best, leastFreeColour(mask));
    insertIntoRing(best, bestFirst, bestLast);
    return GrowthOutcome::inserted;
}

}  // namespace orvane
