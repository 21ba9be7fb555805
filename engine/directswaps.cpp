// The direct swaps' markings: the pivot's (4,c) chain is marked only until it
// is known which sides of the blocked arc it reaches, and a chain that is
// swapped later keeps its marks so the swap needs no second fill.
#include "engine/internal.h"

namespace orvane {

namespace {
enum class SideStep { goesOn, meetsChain, runsOut };

// One node of the second search: from the arcFirst side's nodes of colour c
// through the same two colours, without marks.
SideStep stepSideSearch(Engine& e, ColourCode c)
{
    if (e.sideHead == e.sideQueue.size()) return SideStep::runsOut;
    const MapNode* x = e.sideQueue[e.sideHead++];
    const ColourCode follow = x->colour == colourB ? c : colourB;
    for (NodeLink* l = x->links; l; l = l->next) {
        MapNode* n = l->node;
        if (n->colour != follow || e.seenFromSide(n)) continue;
        if (n->chainMark != colourNone) return SideStep::meetsChain;
        e.sideSeen[e.slotOf(n)] = e.sideRound;
        e.sideQueue.push_back(n);
    }
    return SideStep::goesOn;
}
}  // namespace

uint32_t Engine::sideOf(const MapNode* n) const
{
    const uint32_t e = arcSide[slotOf(n)];
    return e >> 2 == arcRound ? e & 3u : 0u;
}

void Engine::beginDirectSwaps()
{
    if (!tracking) return;
    const size_t count = static_cast<size_t>(map.nodeStorageCount());
    if (arcSide.size() != count || ++arcRound >= (1u << 30)) {
        arcSide.assign(count, 0);
        arcRound = 1;
    }
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev) arcSide[slotOf(n)] = 4 * arcRound + 1;
    for (MapNode* n = arcLast; n && n != pivot; n = n->ringNext) arcSide[slotOf(n)] = 4 * arcRound + 2;
}

void Engine::startSideSearch(ColourCode c)
{
    const size_t count = static_cast<size_t>(map.nodeStorageCount());
    if (sideSeen.size() != count || ++sideRound == 0) {
        sideSeen.assign(count, 0);
        sideRound = 1;
    }
    sideQueue.clear();
    sideHead = 0;
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev) {
        if (n->colour != c || seenFromSide(n)) continue;
        sideSeen[slotOf(n)] = sideRound;
        sideQueue.push_back(n);
    }
}

// When the pivot's chain has reached the arcLast side, a second search from
// the arcFirst side answers whether it also reaches the arcFirst side, as soon
// as either search meets the other or runs out.
DirectMark Engine::markDirectChain(ColourCode c, bool eitherSideEnds)
{
    if (!tracking) {
        markChain(pivot, c);
        if (arcFirstSideHasMark(colourB)) return DirectMark::reachesArcFirst;
        return arcLastSideHasMark(colourB) ? DirectMark::reachesArcLast : DirectMark::avoidsArc;
    }
    // Once the answer is settled, the marks are not read any more (the next
    // marking clears them first): the marking may stop there.
    fillFrom = pivot->colour;
    fillTo = c;
    clearChainMarks();
    marksPartial = false;
    pivot->chainMark = c;
    note(markField, pivot);
    FillEntry* entries = startFill(pivot);
    size_t head = 0, top = 1;
    bool reachedLast = false;
    while (head < top) {
        prefetchAhead(entries, head, top);
        const FillEntry e = entries[head++];
        const int q = 1 - e.parity;
        const ColourCode follow = pairEntry(q);
        for (NodeLink* l = e.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || n->chainMark != colourNone) continue;
            n->chainMark = pairEntry(1 - q);
            note(markField, n);
            pushFill(entries, top, {n, q});
            const uint32_t side = n->chainMark == colourB ? sideOf(n) : 0u;
            marksPartial = true;
            if (side & 1u) return eitherSideEnds ? DirectMark::reachesArcSide : DirectMark::reachesArcFirst;
            if ((side & 2u) && eitherSideEnds) return DirectMark::reachesArcSide;
            if ((side & 2u) && !reachedLast) {
                reachedLast = true;
                startSideSearch(c);
            }
            if (reachedLast && seenFromSide(n)) return DirectMark::reachesArcFirst;
            marksPartial = false;
        }
        if (!reachedLast) continue;
        const SideStep step = stepSideSearch(*this, c);
        if (step == SideStep::goesOn) continue;
        marksPartial = true;
        return step == SideStep::meetsChain ? DirectMark::reachesArcFirst : DirectMark::reachesArcLast;
    }
    return reachedLast ? DirectMark::reachesArcLast : DirectMark::avoidsArc;
}

void Engine::rememberMarkedChain()
{
    chainRemembered = tracking && markField.clean && !marksPartial;
    rememberedChain.clear();
    if (!chainRemembered) return;
    for (MapNode* n : markField.touched) rememberedChain.push_back({n, n->chainMark});
}

void Engine::swapRememberedChain(MapNode* s, ColourCode t)
{
    if (!chainRemembered) {
        swapChain(s, t);
        return;
    }
    // No colour changed since the chain was marked: its marks give the swap.
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    for (const auto& [n, colour] : rememberedChain) {
        n->visited = 1;
        noteVisited(n);
        n->colour = colour;
    }
    chainRemembered = false;
}

}  // namespace orvane
