// Kempe-chain fills: marking, swapping and unmarking a two-colour chain, and
// the recolouring of marked nodes. Fills run breadth first on an explicit
// queue: chains can be as long as the map.
#include "engine/internal.h"

namespace orvane {

namespace {
enum class FillKind { mark, swap, unmark };

template <FillKind kind>
bool reached(ColourCode chainMark, int8_t visited)
{
    return kind == FillKind::mark ? chainMark != colourNone : visited != 0;
}

// Treats a node reached with parity p: it takes the colour of the other pair entry.
template <FillKind kind>
void treat(Engine& e, MapNode* n, int p)
{
    const ColourCode other = e.pairEntry(1 - p);
    switch (kind) {
    case FillKind::mark: e.setChainMark(n, other); e.note(e.markField, n); break;
    case FillKind::swap: e.setVisited(n, 1); e.setColour(n, other); e.noteVisited(n); break;
    case FillKind::unmark: e.setChainMark(n, colourNone); e.setVisited(n, 1); e.noteVisited(n); break;
    }
}

// Gives a node reached in a packed fill the value of its fill kind.
template <FillKind kind>
void treatPacked(MapNode& n, HotNode& h, ColourCode other)
{
    switch (kind) {
    case FillKind::mark: n.chainMark = h.chainMark = other; break;
    case FillKind::swap: n.visited = h.visited = 1; n.colour = h.colour = other; break;
    case FillKind::unmark: n.chainMark = h.chainMark = colourNone; n.visited = h.visited = 1; break;
    }
}

// The packed fields a fill of this kind tests: the colour, and the mark or
// the visited flag that tells the node was reached.
template <FillKind kind>
uint32_t testedFields()
{
    constexpr ColourCode all = static_cast<ColourCode>(-1);
    return kind == FillKind::mark ? packedWord({all, all, 0, 0}) : packedWord({all, colourNone, -1, 0});
}

// Enters the fill at the neighbours of `start` whose colour is fillTo, then
// spreads through the chain with alternating colours, breadth first. While
// tracking, the neighbours are read from the packed copies; both ways visit
// the same nodes in the same order. A node's neighbours are tested first and
// the ones that join are queued (a node's neighbours are distinct, so they are
// given their values afterwards); every node is queued at most once, so the
// queue, sized to the map, needs no checks. The queued nodes are noted at the
// end, all at once.
template <FillKind kind>
void spreadPacked(Engine& e, MapNode* start)
{
    uint32_t* const queue = e.startPackedFill(start);
    const PackedView v = e.packedView();
    const ColourCode pair[2] = {e.fillFrom, e.fillTo};
    const uint32_t tested = testedFields<kind>();
    // Breadth first, the queue holds the chain level by level, and the levels
    // alternate between the two colours: q, the pair entry the next level
    // follows, turns at every level's end.
    size_t head = 0, top = 1, levelEnd = 0;
    int q = 0;
    while (head < top) {
        if (head == levelEnd) {
            levelEnd = top;
            q = 1 - q;
        }
        const uint32_t from = queue[head++];
        const uint32_t wanted = packedWord({pair[q], colourNone, 0, 0});
        const size_t joined = top;
        top = queueJoiningNeighbours(v, queue, top, from, tested, wanted);
        for (size_t i = joined; i < top; ++i) treatPacked<kind>(v.nodes[queue[i]], v.hot[queue[i]], pair[1 - q]);
    }
    e.noteQueued(kind == FillKind::mark ? e.markField : e.visitedField, 1, top);
}

template <FillKind kind>
void spread(Engine& e, MapNode* start)
{
    if (e.scratchTracking()) {
        spreadPacked<kind>(e, start);
        return;
    }
    FillEntry* entries = e.startFill(start);
    size_t head = 0, top = 1;
    while (head < top) {
        const FillEntry f = entries[head++];
        const int q = 1 - f.parity;
        const ColourCode follow = e.pairEntry(q);
        for (NodeLink* l = f.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || reached<kind>(n->chainMark, n->visited)) continue;
            treat<kind>(e, n, q);
            e.pushFill(entries, top, {n, q});
        }
    }
}
}  // namespace

// The fill queue holds the start node as its first entry. Every node enters a
// fill at most once, so sized to the map it never grows during a fill; only
// hand-built maps outside node storage make it grow.
FillEntry* Engine::startFill(MapNode* start)
{
    const size_t most = static_cast<size_t>(map.nodeStorageCount()) + 1;
    if (fillQueue.size() < most) fillQueue.resize(most);
    fillQueue[0] = {start, 0};
    return fillQueue.data();
}

uint32_t* Engine::startPackedFill(MapNode* start)
{
    const size_t most = static_cast<size_t>(map.nodeStorageCount()) + 2;
    if (packedQueue.size() < most) packedQueue.resize(most);
    packedQueue[0] = static_cast<uint32_t>(slotOf(start));
    return packedQueue.data();
}

void Engine::growFillQueue(FillEntry*& entries)
{
    fillQueue.resize(2 * fillQueue.size());
    entries = fillQueue.data();
}

void Engine::markChain(MapNode* s, ColourCode t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearChainMarks();
    marksPartial = false;
    setChainMark(s, t);
    note(markField, s);
    spread<FillKind::mark>(*this, s);
}

void Engine::swapChain(MapNode* s, ColourCode t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    setVisited(s, 1);
    noteVisited(s);
    setColour(s, t);
    spread<FillKind::swap>(*this, s);
}

void Engine::swapMarkedChain(MapNode* s, ColourCode t)
{
    if (!(tracking && markField.clean)) {
        swapChain(s, t);
        return;
    }
    // The marks name every node of the chain with the colour it takes.
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    HotNode* const hotNodes = hot.data();
    MapNode* const nodes = base;
    for (uint32_t slot : markField.touched) {
        MapNode& n = nodes[slot];
        n.visited = hotNodes[slot].visited = 1;
        n.colour = hotNodes[slot].colour = n.chainMark;
    }
    if (visitedField.clean)
        visitedField.touched.insert(visitedField.touched.end(), markField.touched.begin(), markField.touched.end());
}

void Engine::unmarkFrom(MapNode* start)
{
    setChainMark(start, colourNone);
    setVisited(start, 1);
    noteVisited(start);
    spread<FillKind::unmark>(*this, start);
}

void Engine::unmarkArcChains(ColourCode k)
{
    fillFrom = k;
    fillTo = colourB;
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev) {
        if (n->colour != k) continue;
        clearVisited();
        unmarkFrom(n);
    }
}

void Engine::recolourMarked(ColourCode c, ColourCode m, ColourCode t)
{
    // Swaps change colours, never marks: the marked nodes are known up front.
    for (MapNode* n : markedInListOrder(m, false))
        if (n->colour == c) swapChain(n, t);
}

void Engine::recolourAnyMarked(ColourCode c, ColourCode t)
{
    for (MapNode* n : markedInListOrder(colourNone, true))
        if (n->colour == c) swapChain(n, t);
}

}  // namespace orvane
