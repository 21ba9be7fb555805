// Trimming a marked chain to the branches that join a root to its targets: a
// depth-first search on an explicit stack (chains can be as long as the map).
#include "engine/trim.h"

namespace orvane {

void ChainTrimming::setTrimClass(NodeIndex v, TrimClass c)
{
    fields_.hot[v].trimClass = c;
    trim_.note(v);
}

void ChainTrimming::countChainNeighbours(NodeIndex v)
{
    const HotNode* const hot = fields_.hot.data();
    int d = 0;
    for (const NodeIndex n : borders_.links(v)) d += hot[n].chainMark != colourNone;
    fields_.chainTree[v].chainDegree = static_cast<int16_t>(d);
    trim_.note(v);
}

// Every node outside the chain, with no parent and no class; every chain node
// counts its chain neighbours.
void ChainTrimming::setUpTrimming()
{
    HotNode* const hot = fields_.hot.data();
    ChainTreeNode* const tree = fields_.chainTree.data();
    const auto outside = [=](NodeIndex v) {
        tree[v] = {outsideChain, noNode};
        hot[v].trimClass = TrimClass::unclassified;
    };
    const std::vector<NodeIndex>* marked = fills_.markedNodes();
    if (trim_.tracked() && marked) {
        trim_.clear(list_, outside);
        for (const NodeIndex v : *marked)
            if (hot[v].chainMark != colourNone) countChainNeighbours(v);
        return;
    }
    trim_.clearedWholeList();
    list_.forEach([&](NodeIndex v) {
        outside(v);
        if (hot[v].chainMark != colourNone) countChainNeighbours(v);
    });
}

void ChainTrimming::trimChain(NodeIndex start, const EngineState& s)
{
    setUpTrimming();
    const NodeFields& f = fields_;
    if (start == s.pivot) {
        setTrimClass(s.pivot, TrimClass::root);
        for (NodeIndex n = s.arcFirst; n != noNode && n != s.pivot; n = f.ringPrev[n])
            if (f.chainMark(n) == colourB) setTrimClass(n, TrimClass::target);
        trimVisit(s.pivot, f.ringNext[s.pivot]);
    } else if (start == s.pathCursor) {
        setTrimClass(s.pathCursor, TrimClass::root);
        for (NodeIndex n = s.pathHead; n != noNode && n != s.pathCursor; n = f.pathNext[n])
            if (f.chainMark(n) == colourY) setTrimClass(n, TrimClass::target);
        trimVisit(s.pathCursor, s.pathCursor == s.pathHead ? s.pivot : f.pathPrev[s.pathCursor]);
    } else {
        NodeIndex root = start;
        while (root != noNode && f.chainMark(root) == colourNone) root = f.pathPrev[root];
        NodeIndex target = start;
        while (target != noNode && f.chainMark(target) == colourNone) target = f.pathNext[target];
        if (root == noNode || target == noNode) return;
        setTrimClass(root, TrimClass::root);
        setTrimClass(target, TrimClass::target);  // after the root: it wins when both are one node
        trimVisit(root, root == s.pathTail ? s.pivot : f.pathNext[root]);
    }
}

namespace {
// The search over the arrays themselves: the trimming's inner loop stores
// one- and two-byte fields, which may alias anything, so it reads the arrays
// through pointers of its own rather than through the containers.
struct TrimSearch {
    using Frame = ChainTrimming::Frame;
    enum class Outcome { skip, handled, descend };

    HotNode* hot;
    ChainTreeNode* tree;
    const LinkRange* ranges;
    const NodeIndex* around;
    ScratchField& classed;
    std::vector<Frame>& stack;

    bool inSearchTree(NodeIndex n) const
    {
        return tree[n].chainParent != noNode || hot[n].trimClass == TrimClass::root;
    }
    void unmark(NodeIndex v) { hot[v].chainMark = colourNone; }

    // Loop rule: s closes a loop back to its ancestor n through nodes with two
    // chain neighbours each; that loop leads nowhere and loses its marks.
    void dropLoopTo(NodeIndex s, NodeIndex n)
    {
        for (NodeIndex a = tree[s].chainParent; a != noNode; a = tree[a].chainParent) {
            if (a == n) {
                unmark(s);
                for (NodeIndex b = tree[s].chainParent; b != n; b = tree[b].chainParent) unmark(b);
                return;
            }
            if (tree[a].chainDegree != 2 || hot[a].trimClass != TrimClass::unclassified) return;
        }
    }

    // Join rule: s and its ancestors lie on a branch that reaches the root or a target.
    void joinBranch(NodeIndex s)
    {
        for (NodeIndex a = s; a != noNode && hot[a].trimClass == TrimClass::unclassified; a = tree[a].chainParent) {
            hot[a].trimClass = TrimClass::joined;
            classed.note(a);
        }
    }

    Outcome handleNeighbour(NodeIndex s, NodeIndex r, NodeIndex n)
    {
        if (tree[n].chainDegree < 0) return Outcome::skip;
        if (tree[n].chainDegree == 0) return Outcome::handled;
        if (inSearchTree(n)) {
            if (n == r) {
                // Leaf rule.
                if (tree[s].chainDegree == 1 && hot[s].trimClass == TrimClass::unclassified) unmark(s);
            } else if (tree[s].chainDegree == 2) {
                dropLoopTo(s, n);
            }
        }
        if (hot[s].chainMark != colourNone && n != r && hot[n].trimClass >= TrimClass::target) joinBranch(s);
        if (tree[n].chainParent == noNode && hot[n].trimClass != TrimClass::root) {
            tree[n].chainParent = s;
            return Outcome::descend;
        }
        return Outcome::handled;
    }

    // The frame of a visit of s that handles its neighbour r last; false when
    // r is not a neighbour (never the case: a visit never starts from a
    // missing border).
    bool startVisit(NodeIndex s, NodeIndex r, Frame& f) const
    {
        const uint32_t begin = ranges[s].begin, end = ranges[s].end;
        for (uint32_t place = begin; place != end; ++place) {
            if (around[place] != r) continue;
            f = {s, r, place, place + 1 == end ? begin : place + 1, begin, end, false};
            return true;
        }
        return false;
    }

    // Moves to the next place, or back to the waiting frame once the last
    // place is handled; false when no frame waits.
    bool advance(Frame& f)
    {
        if (f.current != f.end) {
            f.current = f.current + 1 == f.ringEnd ? f.ringBegin : f.current + 1;
            return true;
        }
        if (stack.empty()) return false;
        f = stack.back();
        stack.pop_back();
        return true;
    }

    // Around s from the neighbour after r, ending with r itself. The frame in
    // hand is kept out of the stack, which holds the frames waiting for a
    // child to return.
    void run(NodeIndex s, NodeIndex r)
    {
        stack.clear();
        Frame f;
        if (!startVisit(s, r, f)) return;
        for (;;) {
            if (!f.childReturned) {
                const NodeIndex n = around[f.current];
                const Outcome o = handleNeighbour(f.s, f.r, n);
                if (o == Outcome::descend) {
                    f.childReturned = true;
                    Frame child;
                    if (startVisit(n, f.s, child)) {
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
            --tree[f.s].chainDegree;
            if (!advance(f)) return;
        }
    }
};
}  // namespace

void ChainTrimming::trimVisit(NodeIndex s, NodeIndex r)
{
    TrimSearch search{fields_.hot.data(), fields_.chainTree.data(), borders_.ranges(), borders_.aroundRecords(), trim_,
                      stack_};
    search.run(s, r);
}

}  // namespace orvane
