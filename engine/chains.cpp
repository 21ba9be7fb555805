// Kempe-chain toolkit: fills that mark, swap and unmark two-colour chains, and
// the trimming of a marked chain to the branches joining a root to its targets.
// Fills use an explicit queue and the trimming search an explicit stack: chains
// can be as long as the map.
#include "engine/engine.h"
#include <algorithm>
#include <utility>
#include <vector>

// Scratch bookkeeping of the fast paths. Between preparation and completion the
// engine remembers which nodes it gave a non-zero chainMark, visited or
// swapCursor, or a chainDegree and chainParent, so that clearing such a field
// "on every node" touches only those nodes and leaves exactly the state a
// whole-list clear leaves. The first clear of each field in a colouring walks
// the whole list (fields keep values from earlier colourings), and so does
// every clear in the reference mode or outside a colouring.
namespace {
struct ScratchField {
    std::vector<MapNode*> touched;
    bool clean = false;  // every node outside `touched` holds the cleared value
};

bool tracking = false;
ScratchField markField, visitedField, trimField, swapField;
std::vector<int> listPosition;  // node-list position by storage slot

inline void note(ScratchField& f, MapNode* n)
{
    if (tracking && f.clean) f.touched.push_back(n);
}

template <typename Clear>
void clearField(ScratchField& f, Clear clear)
{
    if (tracking && f.clean) {
        for (MapNode* n : f.touched) clear(n);
    } else {
        for (MapNode* n = nodeList; n; n = n->next) clear(n);
        f.clean = tracking;
    }
    f.touched.clear();
}

int positionOf(const MapNode* n) { return listPosition[static_cast<size_t>(n - nodeStorage)]; }

// Tracking needs every node of the list to sit in the map's node storage.
bool assignListPositions()
{
    listPosition.assign(static_cast<size_t>(nodeStorageCount), -1);
    int k = 0;
    for (const MapNode* n = nodeList; n; n = n->next, ++k) {
        if (n < nodeStorage || n >= nodeStorage + nodeStorageCount) return false;
        listPosition[static_cast<size_t>(n - nodeStorage)] = k;
    }
    return true;
}
}  // namespace

void beginScratchTracking()
{
    for (ScratchField* f : {&markField, &visitedField, &trimField, &swapField}) {
        f->touched.clear();
        f->clean = false;
    }
    tracking = !literalReference && assignListPositions();
}

void endScratchTracking() { tracking = false; }
bool scratchTracking() { return tracking; }
int nodeListPosition(const MapNode* n) { return positionOf(n); }

void clearVisited()
{
    clearField(visitedField, [](MapNode* n) { n->visited = 0; });
}

void noteVisited(MapNode* n) { note(visitedField, n); }

void clearSwapCursors()
{
    clearField(swapField, [](MapNode* n) { n->swapCursor = 0; });
}

void noteSwapCursor(MapNode* n) { note(swapField, n); }

namespace {
// The nodes whose chainMark satisfies `wanted`, in node-list order.
template <typename Wanted>
std::vector<MapNode*> markedInListOrder(Wanted wanted)
{
    std::vector<MapNode*> nodes;
    if (tracking && markField.clean) {
        for (MapNode* n : markField.touched)
            if (wanted(n->chainMark)) nodes.push_back(n);
        std::sort(nodes.begin(), nodes.end(), [](const MapNode* a, const MapNode* b) { return positionOf(a) < positionOf(b); });
        nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    } else {
        for (MapNode* n = nodeList; n; n = n->next)
            if (wanted(n->chainMark)) nodes.push_back(n);
    }
    return nodes;
}
}  // namespace

namespace {
struct FillEntry {
    MapNode* node;
    int parity;  // the node's colour is the pair entry of this parity
};

std::vector<FillEntry> fillQueue;

int8_t pairEntry(int q) { return q == 0 ? fillFrom : fillTo; }

enum FillKind { fillMark, fillSwap, fillUnmark };

template <FillKind kind>
bool reached(const MapNode* n)
{
    return kind == fillMark ? n->chainMark != 0 : n->visited != 0;
}

// Treats a node reached with parity p: it takes the colour of the other pair entry.
template <FillKind kind>
void treat(MapNode* n, int p)
{
    const int8_t other = pairEntry(1 - p);
    switch (kind) {
    case fillMark: n->chainMark = other; note(markField, n); break;
    case fillSwap: n->visited = 1; n->colour = other; note(visitedField, n); break;
    case fillUnmark: n->chainMark = 0; n->visited = 1; note(visitedField, n); break;
    }
}

// Arc sides of the direct swaps, by storage slot: a node is on the arcFirst
// (arcLast) side of this round when its entry is 4 * round + 1 (+ 2).
std::vector<uint32_t> arcSide;
uint32_t arcRound = 0;
uint32_t stopSides = 0;      // sides whose marked nodes end the direct marking
bool marksPartial = false;   // the last mark fill stopped early

uint32_t sideOf(const MapNode* n)
{
    const uint32_t e = arcSide[static_cast<size_t>(n - nodeStorage)];
    return e >> 2 == arcRound ? e & 3u : 0u;
}

// Did marking n give a node of a stopping side the mark 4?
bool stopsDirectMark(const MapNode* n) { return n->chainMark == colourB && (sideOf(n) & stopSides); }

inline void prefetch(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// A breadth-first fill knows which nodes it visits next: it fetches their
// border records, then their neighbours' colours, a few visits early (chains
// are scattered over the whole map, and the fills are the engine's main cost).
inline void prefetchAhead(const FillEntry* entries, size_t head, size_t top)
{
    constexpr size_t linksAhead = 16, coloursAhead = 8;
    if (head + linksAhead < top) prefetch(entries[head + linksAhead].node->links);
    if (head + coloursAhead < top)
        for (const NodeLink* l = entries[head + coloursAhead].node->links; l; l = l->next) prefetch(&l->node->colour);
}

// Enters the fill at the neighbours of `start` whose colour is fillTo, then
// spreads through the chain with alternating colours, breadth first. The
// direct swaps' markings so meet the arc, which lies next to the pivot, as early
// as they can, and stop there.
// The fill queue holds the start node as its first entry. Every node enters a
// fill at most once, so sized to the map it never grows during a fill; only
// hand-built maps outside node storage make it grow.
FillEntry* startFill(MapNode* start)
{
    const size_t most = static_cast<size_t>(nodeStorageCount) + 1;
    if (fillQueue.size() < most) fillQueue.resize(most);
    fillQueue[0] = {start, 0};
    return fillQueue.data();
}

inline void pushFill(FillEntry*& entries, size_t& top, FillEntry e)
{
    if (top == fillQueue.size()) {
        fillQueue.resize(2 * top);
        entries = fillQueue.data();
    }
    entries[top++] = e;
}

template <FillKind kind, bool stopAtArcFirst = false>
void spread(MapNode* start)
{
    FillEntry* entries = startFill(start);
    size_t head = 0, top = 1;
    while (head < top) {
        prefetchAhead(entries, head, top);
        const FillEntry e = entries[head++];
        const int q = 1 - e.parity;
        const int8_t follow = pairEntry(q);
        for (NodeLink* l = e.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || reached<kind>(n)) continue;
            treat<kind>(n, q);
            if (stopAtArcFirst && stopsDirectMark(n)) {
                marksPartial = true;
                return;
            }
            pushFill(entries, top, {n, q});
        }
    }
}

void clearChainMarks()
{
    clearField(markField, [](MapNode* n) { n->chainMark = 0; });
}
}  // namespace

void markChain(MapNode* s, int8_t t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearChainMarks();
    marksPartial = false;
    s->chainMark = t;
    note(markField, s);
    spread<fillMark>(s);
}

bool chainMarksComplete() { return !marksPartial; }

void beginDirectSwaps()
{
    if (!tracking) return;
    if (arcSide.size() != static_cast<size_t>(nodeStorageCount) || ++arcRound >= (1u << 30)) {
        arcSide.assign(static_cast<size_t>(nodeStorageCount), 0);
        arcRound = 1;
    }
    for (MapNode* n = arcFirst; n && n != pivot; n = n->ringPrev)
        arcSide[static_cast<size_t>(n - nodeStorage)] = 4 * arcRound + 1;
    for (MapNode* n = arcLast; n && n != pivot; n = n->ringNext)
        arcSide[static_cast<size_t>(n - nodeStorage)] = 4 * arcRound + 2;
}

namespace {
// The direct marking's second search: from the arcFirst side's nodes of colour
// c through the same two colours, without marks. When the pivot's chain has
// reached the arcLast side, this search answers whether it also reaches the
// arcFirst side as soon as either search meets the other or runs out.
std::vector<MapNode*> sideQueue;
std::vector<uint32_t> sideSeen;  // by storage slot: sideRound once reached
uint32_t sideRound = 0;
size_t sideHead = 0;

size_t slotOf(const MapNode* n) { return static_cast<size_t>(n - nodeStorage); }
bool seenFromSide(const MapNode* n) { return sideSeen[slotOf(n)] == sideRound; }

void startSideSearch(int8_t c)
{
    if (sideSeen.size() != static_cast<size_t>(nodeStorageCount) || ++sideRound == 0) {
        sideSeen.assign(static_cast<size_t>(nodeStorageCount), 0);
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

enum SideStep { sideGoesOn, sideMeetsChain, sideRunsOut };

SideStep stepSideSearch(int8_t c)
{
    if (sideHead == sideQueue.size()) return sideRunsOut;
    const MapNode* x = sideQueue[sideHead++];
    const int8_t follow = x->colour == colourB ? c : static_cast<int8_t>(colourB);
    for (NodeLink* l = x->links; l; l = l->next) {
        MapNode* n = l->node;
        if (n->colour != follow || seenFromSide(n)) continue;
        if (n->chainMark != 0) return sideMeetsChain;
        sideSeen[slotOf(n)] = sideRound;
        sideQueue.push_back(n);
    }
    return sideGoesOn;
}
}  // namespace

DirectMark markDirectChain(int8_t c, bool eitherSideEnds)
{
    if (!tracking) {
        markChain(pivot, c);
        if (arcFirstSideHasMark(colourB)) return reachesArcFirst;
        return arcLastSideHasMark(colourB) ? reachesArcLast : avoidsArc;
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
        const int8_t follow = pairEntry(q);
        for (NodeLink* l = e.node->links; l; l = l->next) {
            MapNode* n = l->node;
            if (n->colour != follow || n->chainMark != 0) continue;
            treat<fillMark>(n, q);
            pushFill(entries, top, {n, q});
            const uint32_t side = n->chainMark == colourB ? sideOf(n) : 0u;
            marksPartial = true;
            if (side & 1u) return eitherSideEnds ? reachesArcSide : reachesArcFirst;
            if ((side & 2u) && eitherSideEnds) return reachesArcSide;
            if ((side & 2u) && !reachedLast) {
                reachedLast = true;
                startSideSearch(c);
            }
            if (reachedLast && seenFromSide(n)) return reachesArcFirst;
            marksPartial = false;
        }
        if (!reachedLast) continue;
        const SideStep step = stepSideSearch(c);
        if (step == sideGoesOn) continue;
        marksPartial = true;
        return step == sideMeetsChain ? reachesArcFirst : reachesArcLast;
    }
    return reachedLast ? reachesArcLast : avoidsArc;
}

namespace {
std::vector<std::pair<MapNode*, int8_t>> rememberedChain;
bool chainRemembered = false;
}  // namespace

void rememberMarkedChain()
{
    chainRemembered = tracking && markField.clean && !marksPartial;
    rememberedChain.clear();
    if (!chainRemembered) return;
    for (MapNode* n : markField.touched) rememberedChain.push_back({n, n->chainMark});
}

void swapRememberedChain(MapNode* s, int8_t t)
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
        note(visitedField, n);
        n->colour = colour;
    }
    chainRemembered = false;
}

void swapChain(MapNode* s, int8_t t)
{
    fillFrom = s->colour;
    fillTo = t;
    clearVisited();
    s->visited = 1;
    note(visitedField, s);
    s->colour = t;
    spread<fillSwap>(s);
}

void swapMarkedChain(MapNode* s, int8_t t)
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
        note(visitedField, n);
        n->colour = n->chainMark;
    }
}

void unmarkFrom(MapNode* start)
{
    start->chainMark = 0;
    start->visited = 1;
    note(visitedField, start);
    spread<fillUnmark>(start);
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
    // Swaps change colours, never marks: the marked nodes are known up front.
    for (MapNode* n : markedInListOrder([m](int8_t mark) { return mark == m; }))
        if (n->colour == c) swapChain(n, t);
}

void recolourAnyMarked(int8_t c, int8_t t)
{
    for (MapNode* n : markedInListOrder([](int8_t mark) { return mark != 0; }))
        if (n->colour == c) swapChain(n, t);
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
    for (MapNode* a = s; a && a->visited == 0; a = a->chainParent) {
        a->visited = 1;
        note(visitedField, a);
    }
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

// Trimming classes live in visited: 2 target, 3 root.
void setTrimClass(MapNode* n, int8_t cls)
{
    n->visited = cls;
    note(visitedField, n);
}

void countChainNeighbours(MapNode* n)
{
    int16_t d = 0;
    for (const NodeLink* l = n->links; l; l = l->next)
        if (l->node->chainMark != 0) ++d;
    n->chainDegree = d;
    note(trimField, n);
}

void setUpTrimming()
{
    if (tracking && trimField.clean && markField.clean) {
        for (MapNode* n : trimField.touched) {
            n->chainDegree = outsideChain;
            n->chainParent = nullptr;
        }
        trimField.touched.clear();
        clearVisited();
        for (MapNode* n : markField.touched)
            if (n->chainMark != 0) countChainNeighbours(n);
        return;
    }
    trimField.touched.clear();
    visitedField.touched.clear();
    trimField.clean = visitedField.clean = tracking;
    for (MapNode* n = nodeList; n; n = n->next) {
        n->chainDegree = outsideChain;
        n->visited = 0;
        n->chainParent = nullptr;
        if (n->chainMark != 0) countChainNeighbours(n);
    }
}
}  // namespace

void trimChain(MapNode* start)
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
        while (root && root->chainMark == 0) root = root->pathPrev;
        MapNode* target = start;
        while (target && target->chainMark == 0) target = target->pathNext;
        if (!root || !target) return;
        setTrimClass(root, 3);
        setTrimClass(target, 2);
        trimVisit(root, root == pathTail ? pivot : root->pathNext);
    }
}
