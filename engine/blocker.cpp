// Conflict resolution, first stage: find the colour-4 pivot on the blocked arc
// and try chain swaps that take colour 4 off it; else build the conflict path.
#include "engine/engine.h"

const int8_t colourPairs[12][2] = {
    {1, 2}, {2, 1}, {2, 3}, {3, 2}, {3, 1}, {1, 3},
    {2, 3}, {3, 2}, {3, 1}, {1, 3}, {1, 2}, {2, 1},
};

namespace {
void dropPath()
{
    int guard = nodeStorageCount;
    for (MapNode* n = pathHead; n && guard-- > 0; n = n->pathNext) n->pathMark = 0;
    pathFlag = 0;
    pathHead = pathTail = pathCursor = nullptr;
}

void buildConflictPath()
{
    for (MapNode* n = nodeList; n; n = n->next) n->pathPrev = n->pathNext = nullptr;
    pathHead = pivot->ringNext;
    pathTail = pivot->ringPrev;
    NodeLink* l = findLink(pivot, pathHead);
    MapNode* last = nullptr;
    for (int guard = countLinks(pivot); l && guard > 0; --guard, l = l->aroundNext) {
        MapNode* n = l->node;
        if (last) {
            last->pathNext = n;
            n->pathPrev = last;
        }
        last = n;
        if (n == pathTail) break;
    }
    pathFlag = 0;
    pathCursor = nullptr;
}

bool directSwaps()
{
    int8_t remembered = 0;
    beginDirectSwaps();
    for (int8_t c = 1; c <= 3; ++c) {
        // Once a colour is remembered, a chain that reaches either side is passed over.
        const DirectMark reach = markDirectChain(c, remembered != 0);
        if (reach == reachesArcFirst || reach == reachesArcSide) continue;
        if (reach == reachesArcLast) {
            if (!remembered) {
                remembered = c;
                rememberMarkedChain();
            }
            continue;
        }
        swapMarkedChain(pivot, c);
        return true;
    }
    if (!remembered) return false;
    swapRememberedChain(pivot, remembered);  // half swap
    return true;
}

// One prepared attempt for colour i with the pair (x, y).
bool preparedSwap(int8_t i, int8_t x, int8_t y)
{
    trimChain(pivot);
    unmarkArcChains(x);
    recolourMarked(colourB, i, x);
    if (pivot->colour != colourB) return true;
    if (trySwapPivot(i)) return true;
    trimChain(pivot);
    recolourMarked(i, colourB, y);
    return trySwapPivot(i);
}

bool preparedSwaps()
{
    for (int8_t i = 1; i <= 3; ++i) {
        const int8_t* first = colourPairs[6 + 2 * (i - 1)];
        const int8_t* second = colourPairs[7 + 2 * (i - 1)];
        markChain(pivot, i);
        if (preparedSwap(i, first[0], first[1])) return true;
        if (preparedSwap(i, second[0], second[1])) return true;
    }
    return false;
}
}  // namespace

bool arcFirstSideHasMark(int8_t mark)
{
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev)
        if (n->chainMark == mark) return true;
    return false;
}

bool arcLastSideHasMark(int8_t mark)
{
    for (MapNode* n = arcLast; n && n != pivot; n = n->ringNext)
        if (n->chainMark == mark) return true;
    return false;
}

int locateBlocker()
{
    if (pathHead) dropPath();
    // The arc is a stretch of the ring; the walk is bounded all the same.
    int guard = nodeStorageCount + 1;
    for (MapNode* n = arcFirst; n && guard-- > 0; n = n->ringPrev) {
        if (n->colour == colourB) {
            pivot = n;
            return 1;
        }
        if (n == arcLast) break;
    }
    if (!growthDone) {
        candidate->colour = colourB;
        insertIntoRing(candidate, arcFirst, arcLast);
    }
    arcFirst = arcLast = pivot = nullptr;
    return 0;
}

bool trySwapPivot(int i)
{
    markChain(pivot, static_cast<int8_t>(i));
    if (arcFirstSideHasMark(colourB)) return false;
    swapMarkedChain(pivot, static_cast<int8_t>(i));
    return true;
}

int freePivot()
{
    if (directSwaps() || preparedSwaps()) return 0;
    buildConflictPath();
    return 1;
}
