// Conflict resolution, second stage: walk the conflict path around the pivot,
// reroute it along chains, recolour its cursor, or shake the pivot. Every walk
// along the path is bounded: a damaged path must never hang the engine.
#include "engine/internal.h"

namespace orvane {

namespace {
void setCursorPosition(const Engine& e, MapNode* s)
{
    int guard = e.walkLimit();
    for (MapNode* n = s; n && guard-- > 0; n = n->pathNext) n->pathMark = -1;
    guard = e.walkLimit();
    for (MapNode* n = s; n && guard-- > 0; n = n->pathPrev) n->pathMark = 1;
}

void placeCursor(Engine& e, MapNode* s)
{
    e.pathCursor = s;
    setCursorPosition(e, s);
}

bool anyMarkedFrom(const Engine& e, MapNode* from, bool forwards)
{
    int guard = e.walkLimit();
    for (MapNode* n = from; n && guard-- > 0; n = forwards ? n->pathNext : n->pathPrev)
        if (n->chainMark != colourNone) return true;
    return false;
}

bool markedBackFrom(const Engine& e, MapNode* from, ColourCode mark)
{
    int guard = e.walkLimit();
    for (MapNode* n = from; n && guard-- > 0; n = n->pathPrev)
        if (n->chainMark == mark) return true;
    return false;
}

// The old path's successor of x, from the untouched pathPrev links.
MapNode* oldSuccessor(const Engine& e, MapNode* x)
{
    if (x == e.pathTail) return e.pivot;
    MapNode* after = nullptr;
    int guard = e.walkLimit();
    for (MapNode* n = e.pathTail; n && n != x && guard-- > 0; n = n->pathPrev) after = n;
    return after;
}

void restoreOldPath(const Engine& e)
{
    MapNode* after = nullptr;
    int guard = e.walkLimit();
    for (MapNode* n = e.pathTail; n && guard-- > 0; n = n->pathPrev) {
        n->pathNext = after;
        after = n;
    }
}

void acceptNewPath(Engine& e)
{
    MapNode* before = nullptr;
    int guard = e.walkLimit();
    for (MapNode* n = e.pathHead; n && guard-- > 0; n = n->pathNext) {
        n->pathPrev = before;
        before = n;
    }
    e.pathCursor = nullptr;
    for (MapNode* n = e.map.nodeList; n; n = n->next) n->pathMark = 0;
}

// Does the turn around x backwards from q's link meet a before b?
bool meetsBefore(MapNode* x, MapNode* q, MapNode* a, MapNode* b)
{
    NodeLink* l = findLink(x, q);
    if (!l) return false;
    for (int guard = countLinks(x); guard > 0; --guard) {
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
        if (l->node->chainMark != colourNone) return l->node;
    }
    return nullptr;
}
}  // namespace

bool Engine::reroutePath(MapNode* s)
{
    MapNode* x = s->pathPrev;
    int guard = walkLimit();
    while (x && x->chainMark == colourNone && guard-- > 0) x = x->pathPrev;
    if (!x) {
        restoreOldPath(*this);
        return false;
    }
    MapNode* f = x == pathTail ? pivot : x->pathNext;
    MapNode* q = x;
    MapNode* end = nullptr;
    // A walk that cannot reach s or a later path node is refused.
    for (int steps = 4 * walkLimit(); steps > 0; --steps) {
        MapNode* y = nextMarkedBackwards(x, f);
        if (!y) break;
        x->pathNext = y;
        q = x;
        f = x;
        x = y;
        if (y == s || y->pathMark < 0) {
            end = y;
            break;
        }
    }
    if (!end) {
        restoreOldPath(*this);
        return false;
    }
    if (s == pathCursor) {
        MapNode* b = end == pathHead ? pivot : end->pathPrev;
        MapNode* a = oldSuccessor(*this, end);
        if (meetsBefore(end, q, a, b)) {
            restoreOldPath(*this);
            return false;
        }
    }
    acceptNewPath(*this);
    return true;
}

WalkOutcome Engine::walkPath()
{
    pathFlag = 0;
    pathCursor = nullptr;
    MapNode* s = pathHead;
    int guard = walkLimit();
    while (s && s->colour != colourY && guard-- > 0) s = s->pathNext;
    if (!s || s->colour != colourY) {
        swapChain(pivot, colourY);
        return WalkOutcome::pivotCleared;
    }
    markChain(pivot, colourY);
    trimChain(pivot);
    MapNode* p = s->pathPrev;
    if (s->chainMark == colourB || !p) {
        placeCursor(*this, s);
        return WalkOutcome::cursorSet;
    }
    markChain(p, colourCode(3 - p->colour));
    if (!anyMarkedFrom(*this, s, true)) {
        placeCursor(*this, s);
        return WalkOutcome::cursorSet;
    }
    trimChain(s);
    setCursorPosition(*this, s);
    reroutePath(s);
    return WalkOutcome::rerouted;
}

bool Engine::recolourCursor()
{
    MapNode* s = pathCursor;
    MapNode* p = s == pathHead ? s->pathNext : s->pathPrev;
    const ColourCode b = colourCode(3 - p->colour);
    const ColourCode c = colourCode(3 - b);
    markChain(s, b);
    if (markedBackFrom(*this, s, colourY)) {
        trimChain(s);
        // Protect the (c,b) chain of the cursor's path predecessor.
        fillFrom = c;
        fillTo = b;
        clearVisited();
        unmarkFrom(s->pathPrev);
        recolourAnyMarked(b, c);
        markChain(s, b);
        if (markedBackFrom(*this, s, colourY)) return false;
    }
    swapChain(s, b);
    return true;
}

CursorOutcome Engine::clearCursor()
{
    if (recolourCursor()) return CursorOutcome::recoloured;
    trimChain(pathCursor);
    if (reroutePath(pathCursor)) return CursorOutcome::rerouted;
    pathFlag = 1;
    return CursorOutcome::noMove;
}

void Engine::shakePivot()
{
    const int k = pathCursor->swapCursor;
    swapChain(pivot, colourPairs[k][0]);
    swapChain(pivot, colourPairs[k][1]);
    if (++pathCursor->swapCursor >= 6) pathCursor->swapCursor = 0;
    noteSwapCursor(pathCursor);
}

}  // namespace orvane
