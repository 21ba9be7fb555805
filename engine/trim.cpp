// Trimming a marked chain to the branches that join a root to its targets: a
// depth-first search on an explicit stack (chains can be as long as the map).
#include "engine/internal.h"

namespace orvane {

namespace {
constexpr int16_t outsideChain = -32768;

// The nodes as the search reads and writes them: the nodes themselves with
// their rings of border records, or (while tracking) their packed copies and
// the compact rings. The trimming rules below are written once for both.
struct LinkedNodes {
    using Node = MapNode*;
    using Frame = TrimFrame;
    static constexpr Node none = nullptr;
    Engine& e;

    int16_t degree(Node n) const { return n->chainDegree; }
    int8_t visited(Node n) const { return n->visited; }
    ColourCode mark(Node n) const { return n->chainMark; }
    Node parent(Node n) const { return n->chainParent; }
    void unmark(Node n) { e.setChainMark(n, colourNone); }
    void join(Node n)
    {
        e.setVisited(n, 1);
        e.noteVisited(n);
    }
    void setParent(Node n, Node p) { n->chainParent = p; }
    void lowerDegree(Node n) { --n->chainDegree; }

    // The frame of a visit of s that handles its link to r last; false when r
    // is not a neighbour (never the case; a visit never walks from a missing link).
    bool startVisit(Node s, Node r, Frame& f) const
    {
        NodeLink* end = findLink(s, r);
        if (!end) return false;
        f = {s, r, end, end->aroundNext, false};
        return true;
    }
    void turn(Frame& f) const { f.current = f.current->aroundNext; }
    Node at(const Frame& f) const { return f.current->node; }
};

struct PackedNodes {
    using Node = uint32_t;  // storage slot
    using Frame = PackedTrimFrame;
    static constexpr Node none = UINT32_MAX;
    Engine& e;
    MapNode* nodes;
    HotNode* hot;
    int16_t* degrees;
    uint32_t* parents;
    const uint32_t* first;
    const uint16_t* ring;

    explicit PackedNodes(Engine& engine)
        : e(engine), nodes(engine.base), hot(engine.hot.data()), degrees(engine.chainDegrees.data()),
          parents(engine.chainParents.data()), first(engine.rings.start.data()), ring(engine.rings.neighbours.data())
    {
    }
    int16_t degree(Node n) const { return degrees[n]; }
    int8_t visited(Node n) const { return hot[n].visited; }
    ColourCode mark(Node n) const { return hot[n].chainMark; }
    Node parent(Node n) const { return parents[n]; }
    void unmark(Node n) { nodes[n].chainMark = hot[n].chainMark = colourNone; }
    void join(Node n)
    {
        nodes[n].visited = hot[n].visited = 1;
        e.noteVisited(&nodes[n]);
    }
    void setParent(Node n, Node p)
    {
        parents[n] = p;
        nodes[n].chainParent = &nodes[p];
    }
    void lowerDegree(Node n) { nodes[n].chainDegree = --degrees[n]; }

    bool startVisit(Node s, Node r, Frame& f) const
    {
        for (uint32_t p = first[s]; p != first[s + 1]; ++p) {
            if (ring[p] != r) continue;
            f = {s, r, p, p, first[s], first[s + 1], false};
            turn(f);
            return true;
        }
        return false;
    }
    void turn(Frame& f) const { f.current = f.current + 1 == f.ringEnd ? f.ringBegin : f.current + 1; }
    Node at(const Frame& f) const { return ring[f.current]; }
};

template <typename Nodes>
struct TrimSearch {
    using Node = typename Nodes::Node;
    using Frame = typename Nodes::Frame;
    Nodes g;
    std::vector<Frame>& stack;

    bool inSearchTree(Node n) const { return g.parent(n) != Nodes::none || g.visited(n) == 3; }

    // Loop rule: s closes a loop back to its ancestor n through nodes with two
    // chain neighbours each; that loop leads nowhere and loses its marks.
    void dropLoopTo(Node s, Node n)
    {
        for (Node a = g.parent(s); a != Nodes::none; a = g.parent(a)) {
            if (a == n) {
                g.unmark(s);
                for (Node b = g.parent(s); b != n; b = g.parent(b)) g.unmark(b);
                return;
            }
            if (g.degree(a) != 2 || g.visited(a) != 0) return;
        }
    }

    // Join rule: s and its ancestors lie on a branch that reaches the root or a target.
    void joinBranch(Node s)
    {
        for (Node a = s; a != Nodes::none && g.visited(a) == 0; a = g.parent(a)) g.join(a);
    }

    enum class Outcome { skip, handled, descend };

    Outcome handleNeighbour(Node s, Node r, Node n)
    {
        if (g.degree(n) < 0) return Outcome::skip;
        if (g.degree(n) == 0) return Outcome::handled;
        if (inSearchTree(n)) {
            if (n == r) {
                // Leaf rule.
                if (g.degree(s) == 1 && g.visited(s) == 0) g.unmark(s);
            } else if (g.degree(s) == 2) {
                dropLoopTo(s, n);
            }
        }
        if (g.mark(s) != colourNone && n != r && g.visited(n) >= 2) joinBranch(s);
        if (g.parent(n) == Nodes::none && g.visited(n) != 3) {
            g.setParent(n, s);
            return Outcome::descend;
        }
        return Outcome::handled;
    }

    // Depth-first search from s, whose place of r is handled last. The frame
    // in hand is kept out of the stack, which holds the frames waiting for a
    // child to return.
    void run(Node s, Node r)
    {
        stack.clear();
        Frame f;
        if (!g.startVisit(s, r, f)) return;
        for (;;) {
            if (!f.childReturned) {
                const Node n = g.at(f);
                const Outcome o = handleNeighbour(f.s, f.r, n);
                if (o == Outcome::descend) {
                    f.childReturned = true;
                    Frame child;
                    if (g.startVisit(n, f.s, child)) {
                        stack.push_back(f);
                        f = child;
                    }
                    continue;
                }
                if (o == Outcome::skip) {
                    if (!advance(f)) return;
                    continue;
                }
            }
            f.childReturned = false;
            g.lowerDegree(f.s);
            if (!advance(f)) return;
        }
    }

    // Moves to the next place, or back to the waiting frame once the last
    // place is handled; false when no frame waits.
    bool advance(Frame& f)
    {
        if (f.current != f.end) {
            g.turn(f);
            return true;
        }
        if (stack.empty()) return false;
        f = stack.back();
        stack.pop_back();
        return true;
    }
};
}  // namespace

// Depth-first search from s, whose link to r is handled last.
void Engine::trimVisit(MapNode* s, MapNode* r)
{
    if (tracking) {
        TrimSearch<PackedNodes> search{PackedNodes(*this), packedTrimStack};
        search.run(static_cast<uint32_t>(slotOf(s)), static_cast<uint32_t>(slotOf(r)));
        return;
    }
    TrimSearch<LinkedNodes> search{LinkedNodes{*this}, trimStack};
    search.run(s, r);
}

// Trimming classes live in visited: 2 target, 3 root.
void Engine::setTrimClass(MapNode* n, int8_t cls)
{
    setVisited(n, cls);
    noteVisited(n);
}

void Engine::countChainNeighbours(MapNode* n)
{
    int16_t d = 0;
    if (tracking) {
        const size_t slot = slotOf(n);
        for (const uint16_t* k = borders.begin(slot), *end = borders.end(slot); k != end; ++k)
            d = static_cast<int16_t>(d + (hot[*k].chainMark != colourNone));
    } else {
        for (const NodeLink* l = n->links; l; l = l->next)
            if (l->node->chainMark != colourNone) ++d;
    }
    setChainDegree(n, d);
    note(trimField, n);
}

void Engine::setUpTrimming()
{
    if (tracking && trimField.clean && markField.clean) {
        for (uint32_t slot : trimField.touched) {
            base[slot].chainDegree = chainDegrees[slot] = outsideChain;
            base[slot].chainParent = nullptr;
            chainParents[slot] = UINT32_MAX;
        }
        trimField.touched.clear();
        clearVisited();
        for (uint32_t slot : markField.touched)
            if (hot[slot].chainMark != colourNone) countChainNeighbours(nodeAt(slot));
        return;
    }
    trimField.touched.clear();
    visitedField.touched.clear();
    trimField.clean = visitedField.clean = tracking;
    for (MapNode* n = map.nodeList; n; n = n->next) {
        setChainDegree(n, outsideChain);
        setVisited(n, 0);
        n->chainParent = nullptr;
        if (tracking) chainParents[slotOf(n)] = UINT32_MAX;
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
