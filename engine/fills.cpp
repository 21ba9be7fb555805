// Kempe-chain fills: marking, swapping and unmarking a two-colour chain, and
// the recolouring of marked nodes. Fills run breadth first on an explicit
// queue: chains can be as long as the map.
#include "engine/internal.h"

namespace orvane {

namespace {
enum class FillKind { mark, swap, unmark };

template <FillKind kind>
bool reached(const MapNode* n)
{
    return kind == FillKind::mark ? n->chainMark != colourNone : n->visited != 0;
}

// Treats a node reached with parity p: it takes the colour of the other pair entry.
template <FillKind kind>
void treat(Engine& e, MapNode* n, int p)
{
    const ColourCode other = e.pairEntry(1 - p);
    switch (kind) {
    case FillKind::mark: n->chainMark = other; e.note(e.markField, n); break;
    case FillKind::swap: n->visited = 1; n->colour = other; e.noteVisited(n); break;
    case FillKind::unmark: n->chainMark = colourNone; n->visited = 1; e.noteVisited(n); break;
    }
}

// Enters the fill at the neighbours of `start` whose colour is fillTo, then
// spreads through the chain with alternating colours, breadth first.
template <FillKind kind>
void spread(Engine& e, MapNode* start)
{
    FillEntry* entries = e.startFill(start);
    size_t head = 0, top = 1;
    while (head < top) {
        prefetchAhead(entries, head, top);
        const FillEntry f = entries[head++];
        const int q = 1 - f.parity;
        const ColourCode follow = e.pairEntry(q);
        for (NodeLink* l = f.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || reached<kind>(n)) continue;
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

void Engine::pushFill(FillEntry*& entries, size_t& top, FillEntry e)
{
    if (top == fillQueue.size()) {
        fillQueue.resize(2 * top);
        entries = fillQueue.data();
    }
    entries[top++] = e;
}

void Engine::markChain(MapNode* s, ColourCode t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearChainMarks();
    marksPartial = false;
    s->chainMark = t;
    note(markField, s);
    spread<FillKind::mark>(*this, s);
}

void Engine::swapChain(MapNode* s, ColourCode t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    s->visited = 1;
    noteVisited(s);
    s->colour = t;
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
    for (MapNode* n : markField.touched) {
        n->visited = 1;
        noteVisited(n);
        n->colour = n->chainMark;
    }
}

void Engine::unmarkFrom(MapNode* start)
{
    start->chainMark = colourNone;
    start->visited = 1;
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
