// The direct swaps' markings: the pivot's (4,c) chain is marked only until it
// is known which sides of the blocked arc it reaches, and a chain that is
// swapped later keeps its marks so the swap needs no second fill.
#include "engine/internal.h"

namespace orvane {

namespace {
enum class SideStep { goesOn, meetsChain, runsOut };

// One node of the second search: from the arcFirst side's nodes of colour c
// through the same two colours, without marks. It runs only while tracking,
// so it reads the packed copies.
SideStep stepSideSearch(Engine& e, ColourCode c)
{
    if (e.sideHead == e.sideQueue.size()) return SideStep::runsOut;
    const MapNode* x = e.sideQueue[e.sideHead++];
    const ColourCode follow = x->colour == colourB ? c : colourB;
    const size_t slot = e.slotOf(x);
    for (const uint16_t* k = e.borders.begin(slot), *end = e.borders.end(slot); k != end; ++k) {
        const HotNode h = e.hot[*k];
        if (h.colour != follow || e.sideSeen[*k] == e.sideRound) continue;
        if (h.chainMark != colourNone) return SideStep::meetsChain;
        e.sideSeen[*k] = e.sideRound;
        e.sideQueue.push_back(e.nodeAt(*k));
    }
    return SideStep::goesOn;
}

// Marks the pivot's (4,c) chain breadth first until it is known which sides
// of the arc it reaches. When it has reached the arcLast side, a second search
// from the arcFirst side answers whether it also reaches the arcFirst side, as
// soon as either search meets the other or runs out. `top` ends the queued
// (and marked) nodes.
struct SettledMarking {
    DirectMark reach;
    bool stoppedEarly;
};

SettledMarking markUntilSettled(Engine& e, ColourCode c, bool eitherSideEnds, size_t& top)
{
    uint32_t* const queue = e.startPackedFill(e.pivot);
    const PackedView v = e.packedView();
    const uint32_t* const arcSide = e.arcSide.data();
    const uint32_t round = e.arcRound;
    const ColourCode pair[2] = {e.fillFrom, e.fillTo};
    const uint32_t tested = packedWord({static_cast<ColourCode>(-1), static_cast<ColourCode>(-1), 0, 0});
    bool reachedLast = false;
    size_t head = 0, levelEnd = 0;
    int q = 0;  // the pair entry the next level follows (see spreadPacked)
    top = 1;
    while (head < top) {
        if (head == levelEnd) {
            levelEnd = top;
            q = 1 - q;
        }
        const uint32_t from = queue[head++];
        const ColourCode mark = pair[1 - q];
        const uint32_t wanted = packedWord({pair[q], colourNone, 0, 0});
        const size_t joined = top;
        top = queueJoiningNeighbours(v, queue, top, from, tested, wanted);
        for (size_t i = joined; i < top; ++i) {
            const uint32_t slot = queue[i];
            v.hot[slot].chainMark = mark;
            const uint32_t side = mark == colourB && arcSide[slot] >> 2 == round ? arcSide[slot] & 3u : 0u;
            if (side & 1u) {
                top = i + 1;
                return {eitherSideEnds ? DirectMark::reachesArcSide : DirectMark::reachesArcFirst, true};
            }
            if (side & 2u) {
                if (eitherSideEnds) {
                    top = i + 1;
                    return {DirectMark::reachesArcSide, true};
                }
                if (!reachedLast) {
                    reachedLast = true;
                    e.startSideSearch(c);
                }
            }
            if (reachedLast && e.sideSeen[slot] == e.sideRound) {
                top = i + 1;
                return {DirectMark::reachesArcFirst, true};
            }
        }
        if (!reachedLast) continue;
        const SideStep step = stepSideSearch(e, c);
        if (step == SideStep::goesOn) continue;
        return {step == SideStep::meetsChain ? DirectMark::reachesArcFirst : DirectMark::reachesArcLast, true};
    }
    return {reachedLast ? DirectMark::reachesArcLast : DirectMark::avoidsArc, false};
}
}  // namespace

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

DirectMark Engine::markDirectChain(ColourCode c, bool eitherSideEnds)
{
    if (!tracking) {
        markChain(pivot, c);
        if (arcFirstSideHasMark(colourB)) return DirectMark::reachesArcFirst;
        return arcLastSideHasMark(colourB) ? DirectMark::reachesArcLast : DirectMark::avoidsArc;
    }
    // Once the answer is settled, the marks are not read any more (the next
    // marking clears them first): the marking may stop there.
    // The marks go to the packed copies first and to the nodes only when the
    // marking ran to its end; a marking that stopped early leaves the nodes'
    // marks clear.
    fillFrom = pivot->colour;
    fillTo = c;
    clearChainMarks();
    hot[slotOf(pivot)].chainMark = c;
    note(markField, pivot);
    size_t top = 1;
    const SettledMarking m = markUntilSettled(*this, c, eitherSideEnds, top);
    noteQueued(markField, 1, top);
    marksPartial = m.stoppedEarly;
    nodeMarksBehind = m.stoppedEarly;
    if (!m.stoppedEarly)
        for (uint32_t slot : markField.touched) base[slot].chainMark = hot[slot].chainMark;
    return m.reach;
}

void Engine::rememberMarkedChain()
{
    chainRemembered = tracking && markField.clean && !marksPartial;
    rememberedChain.clear();
    if (!chainRemembered) return;
    for (uint32_t slot : markField.touched) rememberedChain.push_back({nodeAt(slot), base[slot].chainMark});
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
        setVisited(n, 1);
        noteVisited(n);
        setColour(n, colour);
    }
    chainRemembered = false;
}

}  // namespace orvane
