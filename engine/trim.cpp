// Trimming a marked chain to the branches that join a root to its targets: a
// depth-first search on an explicit stack (chains can be as long as the map).
#include "engine/internal.h"

namespace orvane {

namespace {
constexpr int16_t outsideChain = -32768;

bool inSearchTree(const MapNode* n) { return n->chainParent || n->visited == 3; }

// Loop rule: s closes a loop back to its ancestor n through nodes with two
// chain neighbours each; that loop leads nowhere and loses its marks.
void dropLoopTo(MapNode* s, MapNode* n)
{
    for (MapNode* a = s->chainParent; a; a = a->chainParent) {
        if (a == n) {
            s->chainMark = colourNone;
            for (MapNode* b = s->chainParent; b != n; b = b->chainParent) b->chainMark = colourNone;
            return;
        }
        if (a->chainDegree != 2 || a->visited != 0) return;
    }
}

// Join rule: s and its ancestors lie on a branch that reaches the root or a target.
void joinBranch(Engine& e, MapNode* s)
{
    for (MapNode* a = s; a && a->visited == 0; a = a->chainParent) {
        a->visited = 1;
        e.noteVisited(a);
    }
}

enum class NeighbourOutcome { skip, handled, descend };

NeighbourOutcome handleNeighbour(Engine& e, MapNode* s, MapNode* r, MapNode* n)
{
    if (n->chainDegree < 0) return NeighbourOutcome::skip;
    if (n->chainDegree == 0) return NeighbourOutcome::handled;
    if (inSearchTree(n)) {
        if (n == r) {
            // Leaf rule.
            if (s->chainDegree == 1 && s->visited == 0) s->chainMark = colourNone;
        } else if (s->chainDegree == 2) {
            dropLoopTo(s, n);
        }
    }
    if (s->chainMark != colourNone && n != r && n->visited >= 2) joinBranch(e, s);
    if (!n->chainParent && n->visited != 3) {
        n->chainParent = s;
        return NeighbourOutcome::descend;
    }
    return NeighbourOutcome::handled;
}

void pushVisit(std::vector<TrimFrame>& stack, MapNode* s, MapNode* r)
{
    NodeLink* end = findLink(s, r);
    if (!end) return;  // r is always a neighbour; never walk from a missing link
    stack.push_back({s, r, end, end->aroundNext, false});
}
}  // namespace

// Depth-first search from s, whose link to r is handled last.
void Engine::trimVisit(MapNode* s, MapNode* r)
{
    trimStack.clear();
    pushVisit(trimStack, s, r);
    while (!trimStack.empty()) {
        TrimFrame& f = trimStack.back();
        if (!f.childReturned) {
            MapNode* n = f.current->node;
            const NeighbourOutcome o = handleNeighbour(*this, f.s, f.r, n);
            if (o == NeighbourOutcome::descend) {
                f.childReturned = true;
                pushVisit(trimStack, n, f.s);  // invalidates f
                continue;
            }
            if (o == NeighbourOutcome::skip) {
                if (f.current == f.end) trimStack.pop_back(); else f.current = f.current->aroundNext;
                continue;
            }
        }
        f.childReturned = false;
        --f.s->chainDegree;
        if (f.current == f.end) trimStack.pop_back(); else f.current = f.current->aroundNext;
    }
}

// Trimming classes live in visited: 2 target, 3 root.
void Engine::setTrimClass(MapNode* n, int8_t cls)
{
    n->visited = cls;
    noteVisited(n);
}

void Engine::countChainNeighbours(MapNode* n)
{
    int16_t d = 0;
    for (const NodeLink* l = n->links; l; l = l->next)
        if (l->node->chainMark != colourNone) ++d;
    n->chainDegree = d;
    note(trimField, n);
}

void Engine::setUpTrimming()
{
    if (tracking && trimField.clean && markField.clean) {
        for (MapNode* n : trimField.touched) {
            n->chainDegree = outsideChain;
            n->chainParent = nullptr;
        }
        trimField.touched.clear();
        clearVisited();
        for (MapNode* n : markField.touched)
            if (n->chainMark != colourNone) countChainNeighbours(n);
        return;
    }
    trimField.touched.clear();
    visitedField.touched.clear();
    trimField.clean = visitedField.clean = tracking;
    for (MapNode* n = map.nodeList; n; n = n->next) {
        n->chainDegree = outsideChain;
        n->visited = 0;
        n->chainParent = nullptr;
        if (n->chainMark != colourNone) countChainNeighbours(n);
    }
}

void Engine::trimChain(MapNode* start)
{
    setUpTrimming();
    if (start == pivot) {
        setTrimClass(pivot, 3);
        for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev)
            if (n->chainMark == colourB) setTrimClass(n, 2);
        trimVisit(pivot, pivot->ringNext);
    } else if (start == pathCursor) {
        setTrimClass(pathCursor, 3);
        for (MapNode* n = pathHead; n && n != pathCursor; n = n->pathNext)
            if (n->chainMark == colourY) setTrimClass(n, 2);
        trimVisit(pathCursor, pathCursor == pathHead ? pivot : pathCursor->pathPrev);
    } else {
        MapNode* root = start;
        while (root && root->chainMark == colourNone) root = root->pathPrev;
        MapNode* target = start;
        while (target && target->chainMark == colourNone) target = target->pathNext;
        if (!root || !target) return;
        setTrimClass(root, 3);
        setTrimClass(target, 2);
        trimVisit(root, root == pathTail ? pivot : root->pathNext);
    }
}

}  // namespace orvane
