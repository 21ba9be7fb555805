// Kempe-chain toolkit: fills that mark, swap and unmark two-colour chains, and
// the trimming of a marked chain to the branches joining a root to its targets.
// Fills and the trimming search use explicit stacks: chains can be as long as
// the map.
#include "engine/engine.h"
#include <vector>

namespace {
struct FillEntry {
    MapNode* node;
    int parity;  // the node's colour is the pair entry of this parity
};

std::vector<FillEntry> fillStack;

int8_t pairEntry(int q) { return q == 0 ? fillFrom : fillTo; }

enum FillKind { fillMark, fillSwap, fillUnmark };

bool reached(FillKind kind, const MapNode* n) { return kind == fillMark ? n->chainMark != 0 : n->visited != 0; }

// Treats a node reached with parity p: it takes the colour of the other pair entry.
void treat(FillKind kind, MapNode* n, int p)
{
    const int8_t other = pairEntry(1 - p);
    switch (kind) {
    case fillMark: n->chainMark = other; break;
    case fillSwap: n->visited = 1; n->colour = other; break;
    case fillUnmark: n->chainMark = 0; n->visited = 1; break;
    }
}

// Enters the fill at the neighbours of `start` whose colour is fillTo, then
// spreads through the chain with alternating colours.
void spread(FillKind kind, MapNode* start)
{
    fillStack.clear();
    fillStack.push_back({start, 0});
    while (!fillStack.empty()) {
        const FillEntry e = fillStack.back();
        fillStack.pop_back();
        const int q = 1 - e.parity;
        const int8_t follow = pairEntry(q);
        for (NodeLink* l = e.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || reached(kind, n)) continue;
            treat(kind, n, q);
            fillStack.push_back({n, q});
        }
    }
}

void clearChainMarks()
{
    for (MapNode* n = nodeList; n; n = n->next) n->chainMark = 0;
}

void clearVisited()
{
    for (MapNode* n = nodeList; n; n = n->next) n->visited = 0;
}
}  // namespace

void markChain(MapNode* s, int8_t t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearChainMarks();
    s->chainMark = t;
    spread(fillMark, s);
}

void swapChain(MapNode* s, int8_t t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    s->visited = 1;
    s->colour = t;
    spread(fillSwap, s);
}

void unmarkFrom(MapNode* start)
{
    start->chainMark = 0;
    start->visited = 1;
    spread(fillUnmark, start);
}

void unmarkArcChains(int8_t k)
{
    fillFrom = k;
    fillTo = colourB;
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev) {
        if (n->colour != k) continue;
        clearVisited();
        unmarkFrom(n);
    }
}

void recolourMarked(int8_t c, int8_t m, int8_t t)
{
    for (MapNode* n = nodeList; n; n = n->next)
        if (n->chainMark == m && n->colour == c) swapChain(n, t);
}

namespace {
constexpr int16_t outsideChain = -32768;

struct TrimFrame {
    MapNode* s;
    MapNode* r;
    NodeLink* end;      // s's link to r, handled last
    NodeLink* current;  // the link being handled
    bool childReturned;
};

std::vector<TrimFrame> trimStack;

bool inSearchTree(const MapNode* n) { return n->chainParent || n->visited == 3; }

// Loop rule: s closes a loop back to its ancestor n through nodes with two
// chain neighbours each; that loop leads nowhere and loses its marks.
void dropLoopTo(MapNode* s, MapNode* n)
{
    for (MapNode* a = s->chainParent; a; a = a->chainParent) {
        if (a == n) {
            s->chainMark = 0;
            for (MapNode* b = s->chainParent; b != n; b = b->chainParent) b->chainMark = 0;
            return;
        }
        if (a->chainDegree != 2 || a->visited != 0) return;
    }
}

// Join rule: s and its ancestors lie on a branch that reaches the root or a target.
void joinBranch(MapNode* s)
{
    for (MapNode* a = s; a && a->visited == 0; a = a->chainParent) a->visited = 1;
}

enum NeighbourOutcome { skipNeighbour, neighbourHandled, descendInto };

NeighbourOutcome handleNeighbour(MapNode* s, MapNode* r, MapNode* n)
{
    if (n->chainDegree < 0) return skipNeighbour;
    if (n->chainDegree == 0) return neighbourHandled;
    if (inSearchTree(n)) {
        if (n == r) {
            if (s->chainDegree == 1 && s->visited == 0) s->chainMark = 0;
        } else if (s->chainDegree == 2) {
            dropLoopTo(s, n);
        }
    }
    if (s->chainMark != 0 && n != r && n->visited >= 2) joinBranch(s);
    if (!n->chainParent && n->visited != 3) {
        n->chainParent = s;
        return descendInto;
    }
    return neighbourHandled;
}

void pushVisit(MapNode* s, MapNode* r)
{
    NodeLink* end = findLink(s, r);
    if (!end) return;  // r is always a neighbour; never walk from a missing link
    trimStack.push_back({s, r, end, end->aroundNext, false});
}

// Depth-first search from s, whose link to r is handled last.
void trimVisit(MapNode* s, MapNode* r)
{
    trimStack.clear();
    pushVisit(s, r);
    while (!trimStack.empty()) {
        TrimFrame& f = trimStack.back();
        if (!f.childReturned) {
            MapNode* n = f.current->node;
            const NeighbourOutcome o = handleNeighbour(f.s, f.r, n);
            if (o == descendInto) {
                f.childReturned = true;
                pushVisit(n, f.s);  // invalidates f
                continue;
            }
            if (o == skipNeighbour) {
                if (f.current == f.end) trimStack.pop_back(); else f.current = f.current->aroundNext;
                continue;
            }
        }
        f.childReturned = false;
        --f.s->chainDegree;
        if (f.current == f.end) trimStack.pop_back(); else f.current = f.current->aroundNext;
    }
}

void setUpTrimming()
{
    for (MapNode* n = nodeList; n; n = n->next) {
        n->chainDegree = outsideChain;
        n->visited = 0;
        n->chainParent = nullptr;
        if (n->chainMark == 0) continue;
        int16_t d = 0;
        for (const NodeLink* l = n->links; l; l = l->next)
            if (l->node->chainMark != 0) ++d;
        n->chainDegree = d;
    }
}
}  // namespace

void trimChain(MapNode* start)
{
    setUpTrimming();
    if (start == pivot) {
        pivot->visited = 3;
        for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev)
            if (n->chainMark == colourB) n->visited = 2;
        trimVisit(pivot, pivot->ringNext);
    } else if (start == pathCursor) {
        pathCursor->visited = 3;
        for (MapNode* n = pathHead; n && n != pathCursor; n = n->pathNext)
            if (n->chainMark == colourY) n->visited = 2;
        trimVisit(pathCursor, pathCursor == pathHead ? pivot : pathCursor->pathPrev);
    } else {
        MapNode* root = start;
        while (root && root->chainMark == 0) root = root->pathPrev;
        MapNode* target = start;
        while (target && target->chainMark == 0) target = target->pathNext;
        if (!root || !target) return;
        root->visited = 3;
        target->visited = 2;
        trimVisit(root, root == pathTail ? pivot : root->pathNext);
    }
}
