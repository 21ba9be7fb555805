// Conflict resolution, first stage: find the colour-4 pivot on the blocked arc
// and try chain swaps that take colour 4 off it; else build the conflict path.
#include "engine/internal.h"

namespace orvane {

namespace {
void dropPath(Engine& e)
{
    int guard = e.map.nodeStorageCount();
    for (MapNode* n = e.pathHead; n && guard-- > 0; n = n->pathNext) n->pathMark = 0;
    e.pathFlag = 0;
    e.pathHead = e.pathTail = e.pathCursor = nullptr;
}

// The pivot's neighbours inside the ring, in angular order from its ring
// successor to its ring predecessor.
void buildConflictPath(Engine& e)
{
    for (MapNode* n = e.map.nodeList; n; n = n->next) n->pathPrev = n->pathNext = nullptr;
    e.pathHead = e.pivot->ringNext;
    e.pathTail = e.pivot->ringPrev;
    NodeLink* l = findLink(e.pivot, e.pathHead);
    MapNode* last = nullptr;
    for (int guard = countLinks(e.pivot); l && guard > 0; --guard, l = l->aroundNext) {
        MapNode* n = l->node;
        if (last) {
            last->pathNext = n;
            n->pathPrev = last;
        }
        last = n;
        if (n == e.pathTail) break;
    }
    e.pathFlag = 0;
    e.pathCursor = nullptr;
}

bool directSwaps(Engine& e)
{
    ColourCode remembered = colourNone;
    e.beginDirectSwaps();
    for (int c = colourR; c <= colourY; ++c) {
        // Once a colour is remembered, a chain that reaches either side is passed over.
        const DirectMark reach = e.markDirectChain(colourCode(c), remembered != colourNone);
        if (reach == DirectMark::reachesArcFirst || reach == DirectMark::reachesArcSide) continue;
        if (reach == DirectMark::reachesArcLast) {
            if (remembered == colourNone) {
                remembered = colourCode(c);
                e.rememberMarkedChain();
            }
            continue;
        }
        e.swapMarkedChain(e.pivot, colourCode(c));
        return true;
    }
    if (remembered == colourNone) return false;
    e.swapRememberedChain(e.pivot, remembered);  // half swap
    return true;
}

// One prepared attempt for colour i with the pair (x, y).
bool preparedSwap(Engine& e, ColourCode i, ColourCode x, ColourCode y)
{
    e.trimChain(e.pivot);
    e.unmarkArcChains(x);
    e.recolourMarked(colourB, i, x);
    if (e.pivot->colour != colourB) return true;
    if (e.trySwapPivot(i)) return true;
    e.trimChain(e.pivot);
    e.recolourMarked(i, colourB, y);
    return e.trySwapPivot(i);
}

bool preparedSwaps(Engine& e)
{
    for (int i = colourR; i <= colourY; ++i) {
        const ColourCode* first = colourPairs[6 + 2 * (i - 1)];
        const ColourCode* second = colourPairs[7 + 2 * (i - 1)];
        e.markChain(e.pivot, colourCode(i));
        if (preparedSwap(e, colourCode(i), first[0], first[1])) return true;
        if (preparedSwap(e, colourCode(i), second[0], second[1])) return true;
    }
    return false;
}
}  // namespace

bool Engine::arcFirstSideHasMark(ColourCode mark) const
{
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev)
        if (n->chainMark == mark) return true;
    return false;
}

bool Engine::arcLastSideHasMark(ColourCode mark) const
{
    for (MapNode* n = arcLast; n && n != pivot; n = n->ringNext)
        if (n->chainMark == mark) return true;
    return false;
}

LocateOutcome Engine::locateBlocker()
{
    if (pathHead) dropPath(*this);
    // The arc is a stretch of the ring; the walk is bounded all the same.
    int guard = walkLimit();
    for (MapNode* n = arcFirst; n && guard-- > 0; n = n->ringPrev) {
        if (n->colour == colourB) {
            pivot = n;
            return LocateOutcome::pivotFound;
        }
        if (n == arcLast) break;
    }
    if (!growthDone) {
        setColour(candidate, colourB);
        insertIntoRing(candidate, arcFirst, arcLast);
    }
    arcFirst = arcLast = pivot = nullptr;
    return LocateOutcome::noColour4Left;
}

bool Engine::trySwapPivot(int i)
{
    markChain(pivot, colourCode(i));
    if (arcFirstSideHasMark(colourB)) return false;
    swapMarkedChain(pivot, colourCode(i));
    return true;
}

FreePivotOutcome Engine::freePivot()
{
    if (directSwaps(*this) || preparedSwaps(*this)) return FreePivotOutcome::pivotFreed;
    buildConflictPath(*this);
    return FreePivotOutcome::pathBuilt;
}

}  // namespace orvane
