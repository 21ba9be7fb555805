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
    int16_t d = 0;
    for (const NodeIndex n : borders_.links(v)) d = static_cast<int16_t>(d + (fields_.chainMark(n) != colourNone));
    fields_.chainDegree[v] = d;
    trim_.note(v);
}

// Every node outside the chain, with no parent and no class; every chain node
// counts its chain neighbours.
void ChainTrimming::setUpTrimming()
{
    NodeFields& f = fields_;
    const std::vector<NodeIndex>* marked = fills_.markedNodes();
    if (trim_.tracked() && marked) {
        trim_.clear(list_, [&f](NodeIndex v) {
            f.chainDegree[v] = outsideChain;
            f.chainParent[v] = noNode;
            f.hot[v].trimClass = TrimClass::unclassified;
        });
        for (const NodeIndex v : *marked)
            if (f.chainMark(v) != colourNone) countChainNeighbours(v);
        return;
    }
    trim_.clearedWholeList();
    list_.forEach([&](NodeIndex v) {
        f.chainDegree[v] = outsideChain;
        f.chainParent[v] = noNode;
        f.hot[v].trimClass = TrimClass::unclassified;
        if (f.chainMark(v) != colourNone) countChainNeighbours(v);
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

bool ChainTrimming::inSearchTree(NodeIndex n) const
{
    return fields_.chainParent[n] != noNode || fields_.hot[n].trimClass == TrimClass::root;
}

// Loop rule: s closes a loop back to its ancestor n through nodes with two
// chain neighbours each; that loop leads nowhere and loses its marks.
void ChainTrimming::dropLoopTo(NodeIndex s, NodeIndex n)
{
    const NodeFields& f = fields_;
    for (NodeIndex a = f.chainParent[s]; a != noNode; a = f.chainParent[a]) {
        if (a == n) {
            unmark(s);
            for (NodeIndex b = f.chainParent[s]; b != n; b = f.chainParent[b]) unmark(b);
            return;
        }
        if (f.chainDegree[a] != 2 || f.hot[a].trimClass != TrimClass::unclassified) return;
    }
}

// Join rule: s and its ancestors lie on a branch that reaches the root or a target.
void ChainTrimming::joinBranch(NodeIndex s)
{
    for (NodeIndex a = s; a != noNode && fields_.hot[a].trimClass == TrimClass::unclassified; a = fields_.chainParent[a])
        setTrimClass(a, TrimClass::joined);
}

ChainTrimming::Outcome ChainTrimming::handleNeighbour(NodeIndex s, NodeIndex r, NodeIndex n)
{
    NodeFields& f = fields_;
    if (f.chainDegree[n] < 0) return Outcome::skip;
    if (f.chainDegree[n] == 0) return Outcome::handled;
    if (inSearchTree(n)) {
        if (n == r) {
            // Leaf rule.
            if (f.chainDegree[s] == 1 && f.hot[s].trimClass == TrimClass::unclassified) unmark(s);
        } else if (f.chainDegree[s] == 2) {
            dropLoopTo(s, n);
        }
    }
    if (f.chainMark(s) != colourNone && n != r && f.hot[n].trimClass >= TrimClass::target) joinBranch(s);
    if (f.chainParent[n] == noNode && f.hot[n].trimClass != TrimClass::root) {
        f.chainParent[n] = s;
        return Outcome::descend;
    }
    return Outcome::handled;
}

// The frame of a visit of s that handles its neighbour r last; false when r
// is not a neighbour (never the case: a visit never starts from a missing border).
bool ChainTrimming::startVisit(NodeIndex s, NodeIndex r, Frame& f) const
{
    const uint32_t place = borders_.placeOf(s, r);
    if (place == WorkingBorders::noPlace) return false;
    f = {s, r, place, borders_.nextPlace(s, place), false};
    return true;
}

// Moves to the next place, or back to the waiting frame once the last place
// is handled; false when no frame waits.
bool ChainTrimming::advance(Frame& f)
{
    if (f.current != f.end) {
        f.current = borders_.nextPlace(f.s, f.current);
        return true;
    }
    if (stack_.empty()) return false;
    f = stack_.back();
    stack_.pop_back();
    return true;
}

// Around s from the neighbour after r, ending with r itself. The frame in
// hand is kept out of the stack, which holds the frames waiting for a child
// to return.
void ChainTrimming::trimVisit(NodeIndex s, NodeIndex r)
{
    stack_.clear();
    Frame f;
    if (!startVisit(s, r, f)) return;
    for (;;) {
        if (!f.childReturned) {
            const NodeIndex n = borders_.atPlace(f.current);
            const Outcome o = handleNeighbour(f.s, f.r, n);
            if (o == Outcome::descend) {
                f.childReturned = true;
                Frame child;
                if (startVisit(n, f.s, child)) {
                    stack_.push_back(f);
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
        --fields_.chainDegree[f.s];
        if (!advance(f)) return;
    }
}

}  // namespace orvane
