// Conflict resolution, second stage: walk the conflict path around the pivot,
// reroute it along chains, recolour its cursor, or shake the pivot.
#include "engine/engine.h"

namespace {
// Every walk along the path is bounded: a damaged path must never hang the engine.
int walkLimit() { return nodeStorageCount + 1; }

void setCursorPosition(MapNode* s)
{
    int guard = walkLimit();
    for (MapNode* n = s; n && guard-- > 0; n = n->pathNext) n->pathMark = -1;
    guard = walkLimit();
    for (MapNode* n = s; n && guard-- > 0; n = n->pathPrev) n->pathMark = 1;
}

void placeCursor(MapNode* s)
{
    pathCursor = s;
    setCursorPosition(s);
}

bool markedFromTo(MapNode* from, bool forwards, int8_t mark, bool anyMark)
{
    int guard = walkLimit();
    for (MapNode* n = from; n && guard-- > 0; n = forwards ? n->pathNext : n->pathPrev)
        if (anyMark ? n->chainMark != 0 : n->chainMark == mark) return true;
    return false;
}

// The old path's successor of e, from the untouched pathPrev links.
MapNode* oldSuccessor(MapNode* e)
{
    if (e == pathTail) return pivot;
    MapNode* after = nullptr;
    int guard = walkLimit();
    for (MapNode* n = pathTail; n && n != e && guard-- > 0; n = n->pathPrev) after = n;
    return after;
}

void restoreOldPath()
{
    MapNode* after = nullptr;
    int guard = walkLimit();
    for (MapNode* n = pathTail; n && guard-- > 0; n = n->pathPrev) {
        n->pathNext = after;
        after = n;
    }
}

void acceptNewPath()
{
    MapNode* before = nullptr;
    int guard = walkLimit();
    for (MapNode* n = pathHead; n && guard-- > 0; n = n->pathNext) {
        n->pathPrev = before;
        before = n;
    }
    pathCursor = nullptr;
    for (MapNode* n = nodeList; n; n = n->next) n->pathMark = 0;
}

// Does the turn around e backwards from q's link meet a before b?
bool meetsBefore(MapNode* e, MapNode* q, MapNode* a, MapNode* b)
{
    NodeLink* l = findLink(e, q);
    if (!l) return false;
    for (int guard = countLinks(e); guard > 0; --guard) {
        l = l->aroundPrev;
        if (l->node == a) return true;
        if (l->node == b) return false;
    }
    return false;
}

// The next chain-marked neighbour of x, turning backwards from its link to f.
MapNode* nextMarkedBackwards(MapNode* x, MapNode* f)
{
    NodeLink* l = findLink(x, f);
    if (!l) return nullptr;
    for (int guard = countLinks(x); guard > 0; --guard) {
        l = l->aroundPrev;
        if (l->node->chainMark != 0) return l->node;
    }
    return nullptr;
}
}  // namespace

bool reroutePath(MapNode* s)
{
    MapNode* x = s->pathPrev;
    int guard = walkLimit();
    while (x && x->chainMark == 0 && guard-- > 0) x = x->pathPrev;
    if (!x) {
        restoreOldPath();
        return false;
    }
    MapNode* f = x == pathTail ? pivot : x->pathNext;
    MapNode* q = x;
    MapNode* e = nullptr;
    // A walk that cannot reach s or a later path node is refused.
    for (int steps = 4 * walkLimit(); steps > 0; --steps) {
        MapNode* y = nextMarkedBackwards(x, f);
        if (!y) break;
        x->pathNext = y;
        q = x;
        f = x;
        x = y;
        if (y == s || y->pathMark < 0) {
            e = y;
            break;
        }
    }
    if (!e) {
        restoreOldPath();
        return false;
    }
    if (s == pathCursor) {
        MapNode* b = e == pathHead ? pivot : e->pathPrev;
        MapNode* a = oldSuccessor(e);
        if (meetsBefore(e, q, a, b)) {
            restoreOldPath();
            return false;
        }
    }
    acceptNewPath();
    return true;
}

int walkPath()
{
    pathFlag = 0;
    pathCursor = nullptr;
    MapNode* s = pathHead;
    int guard = walkLimit();
    while (s && s->colour != colourY && guard-- > 0) s = s->pathNext;
    if (!s || s->colour != colourY) {
        swapChain(pivot, colourY);
        return 0;
    }
    markChain(pivot, colourY);
    trimChain(pivot);
    MapNode* p = s->pathPrev;
    if (s->chainMark == colourB || !p) {
        placeCursor(s);
        return 2;
    }
    markChain(p, static_cast<int8_t>(3 - p->colour));
    if (!markedFromTo(s, true, 0, true)) {
        placeCursor(s);
        return 2;
    }
    trimChain(s);
    setCursorPosition(s);
    reroutePath(s);
    return 1;
}

bool recolourCursor()
{
    MapNode* s = pathCursor;
    MapNode* p = s == pathHead ? s->pathNext : s->pathPrev;
    const int8_t b = static_cast<int8_t>(3 - p->colour);
    const int8_t c = static_cast<int8_t>(3 - b);
    markChain(s, b);
    if (markedFromTo(s, false, colourY, false)) {
        trimChain(s);
        // Protect the (c,b) chain of the cursor's path predecessor.
        fillFrom = c;
        fillTo = b;
        clearVisited();
        unmarkFrom(s->pathPrev);
        recolourAnyMarked(b, c);
        markChain(s, b);
        if (markedFromTo(s, false, colourY, false)) return false;
    }
    swapChain(s, b);
    return true;
}

int clearCursor()
{
    if (recolourCursor()) return 0;
    trimChain(pathCursor);
    if (reroutePath(pathCursor)) return 1;
    pathFlag = 1;
    return 2;
}

void shakePivot()
{
    const int k = pathCursor->swapCursor;
    swapChain(pivot, colourPairs[k][0]);
    swapChain(pivot, colourPairs[k][1]);
    if (++pathCursor->swapCursor >= 6) pathCursor->swapCursor = 0;
    noteSwapCursor(pathCursor);
}
