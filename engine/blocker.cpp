// Conflict resolution, first stage: find the colour-4 pivot on the blocked arc
// and try chain swaps that take colour 4 off it; else build the conflict path.
#include "engine/work.h"

namespace orvane {

LocateOutcome ColouringWork::locateBlocker()
{
    if (state.pathHead != noNode) path.dropPath();
    // The arc is a stretch of the ring; the walk is bounded all the same.
    int guard = walkLimit();
    for (NodeIndex n = state.arcFirst; n != noNode && guard-- > 0; n = fields.ringPrev[n]) {
        if (fields.colour(n) == colourB) {
            state.pivot = n;
            return LocateOutcome::pivotFound;
        }
        if (n == state.arcLast) break;
    }
    if (!state.growthDone) {
        fields.hot[state.candidate].colour = colourB;
        insertIntoRing(state.candidate, state.arcFirst, state.arcLast);
    }
    state.arcFirst = state.arcLast = state.pivot = noNode;
    return LocateOutcome::noColour4Left;
}

bool ColouringWork::trySwapPivot(ColourCode i)
{
    fills.markChain(state.pivot, i);
    if (sides.arcFirstSideHasMark(state, colourB)) return false;
    fills.swapMarkedChain(state.pivot, i);
    return true;
}

// The direct swaps: the first of the pivot's (4,c) chains, c = 1..3, that
// reaches neither side of the arc is swapped; else the first that reaches the
// arcLast side only (a half swap).
bool ColouringWork::directSwaps()
{
    ColourCode remembered = colourNone;
    sides.beginDirectSwaps(state);
    for (const ColourCode c : {colourR, colourG, colourY}) {
        // Once a colour is remembered, a chain that reaches either side is passed over.
        const DirectMark reach = sides.markDirectChain(state, c, remembered != colourNone);
        if (reach == DirectMark::reachesArcFirst || reach == DirectMark::reachesArcSide) continue;
        if (reach == DirectMark::reachesArcLast) {
            if (remembered == colourNone) {
                remembered = c;
                fills.rememberMarkedChain();
            }
            continue;
        }
        fills.swapMarkedChain(state.pivot, c);
        return true;
    }
    if (remembered == colourNone) return false;
    fills.swapRememberedChain(state.pivot, remembered);  // half swap
    return true;
}

// One prepared attempt for colour i with the pair (x, y).
bool ColouringWork::preparedSwap(ColourCode i, ColourPair pair)
{
    trimming.trimChain(state.pivot, state);
    fills.unmarkArcChains(pair.first, state.arcFirst, state.pivot);
    fills.recolourMarked(colourB, i, pair.first);
    if (fields.colour(state.pivot) != colourB) return true;
    if (trySwapPivot(i)) return true;
    trimming.trimChain(state.pivot, state);
    fills.recolourMarked(i, colourB, pair.second);
    return trySwapPivot(i);
}

bool ColouringWork::preparedSwaps()
{
    for (const ColourCode i : {colourR, colourG, colourY}) {
        fills.markChain(state.pivot, i);
        for (const ColourPair pair : preparedPairs[i - 1])
            if (preparedSwap(i, pair)) return true;
    }
    return false;
}

FreePivotOutcome ColouringWork::freePivot()
{
    if (directSwaps() || preparedSwaps()) return FreePivotOutcome::pivotFreed;
    path.buildConflictPath();
    return FreePivotOutcome::pathBuilt;
}

}  // namespace orvane
