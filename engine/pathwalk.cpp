// Conflict resolution, second stage: walk the conflict path around the pivot,
// reroute it along chains, recolour its cursor, or shake the pivot. Every walk
// along the path is bounded: a damaged path must never hang the engine.
#include "engine/pathwalk.h"
#include <iterator>

namespace orvane {

void ConflictPath::clearSwapCursors()
{
    uint8_t* const cursors = fields_.swapCursor.data();
    swaps_.clear(list_, [cursors](NodeIndex v) { cursors[v] = 0; });
}

void ConflictPath::dropPath()
{
    int guard = walkLimit();
    for (NodeIndex n = state_.pathHead; n != noNode && guard-- > 0; n = fields_.pathNext[n])
        fields_.pathMark[n] = PathMark::none;
    state_.pathFlag = false;
    state_.pathHead = state_.pathTail = state_.pathCursor = noNode;
}

void ConflictPath::buildConflictPath()
{
    list_.forEach([this](NodeIndex v) { fields_.pathPrev[v] = fields_.pathNext[v] = noNode; });
    const NodeIndex pivot = state_.pivot;
    state_.pathHead = fields_.ringNext[pivot];
    state_.pathTail = fields_.ringPrev[pivot];
    uint32_t place = borders_.placeOf(pivot, state_.pathHead);
    NodeIndex last = noNode;
    for (size_t guard = borders_.links(pivot).size(); place != WorkingBorders::noPlace && guard > 0;
         --guard, place = borders_.nextPlace(pivot, place)) {
        const NodeIndex n = borders_.atPlace(place);
        if (last != noNode) {
            fields_.pathNext[last] = n;
            fields_.pathPrev[n] = last;
        }
        last = n;
        if (n == state_.pathTail) break;
    }
    state_.pathFlag = false;
    state_.pathCursor = noNode;
}

void ConflictPath::setCursorPosition(NodeIndex s)
{
    int guard = walkLimit();
    for (NodeIndex n = s; n != noNode && guard-- > 0; n = fields_.pathNext[n]) fields_.pathMark[n] = PathMark::after;
    guard = walkLimit();
    for (NodeIndex n = s; n != noNode && guard-- > 0; n = fields_.pathPrev[n]) fields_.pathMark[n] = PathMark::atOrBefore;
}

void ConflictPath::placeCursor(NodeIndex s)
{
    state_.pathCursor = s;
    setCursorPosition(s);
}

// Whether a node from `from` along pathNext carries a chain mark.
bool ConflictPath::anyMarkedFrom(NodeIndex from) const
{
    int guard = walkLimit();
    for (NodeIndex n = from; n != noNode && guard-- > 0; n = fields_.pathNext[n])
        if (fields_.chainMark(n) != colourNone) return true;
    return false;
}

bool ConflictPath::markedBackFrom(NodeIndex from, ColourCode mark) const
{
    int guard = walkLimit();
    for (NodeIndex n = from; n != noNode && guard-- > 0; n = fields_.pathPrev[n])
        if (fields_.chainMark(n) == mark) return true;
    return false;
}

// The old path's successor of x, from the untouched pathPrev links.
NodeIndex ConflictPath::oldSuccessor(NodeIndex x) const
{
    if (x == state_.pathTail) return state_.pivot;
    NodeIndex after = noNode;
    int guard = walkLimit();
    for (NodeIndex n = state_.pathTail; n != noNode && n != x && guard-- > 0; n = fields_.pathPrev[n]) after = n;
    return after;
}

void ConflictPath::restoreOldPath()
{
    NodeIndex after = noNode;
    int guard = walkLimit();
    for (NodeIndex n = state_.pathTail; n != noNode && guard-- > 0; n = fields_.pathPrev[n]) {
        fields_.pathNext[n] = after;
        after = n;
    }
}

void ConflictPath::acceptNewPath()
{
    NodeIndex before = noNode;
    int guard = walkLimit();
    for (NodeIndex n = state_.pathHead; n != noNode && guard-- > 0; n = fields_.pathNext[n]) {
        fields_.pathPrev[n] = before;
        before = n;
    }
    state_.pathCursor = noNode;
    list_.forEach([this](NodeIndex v) { fields_.pathMark[v] = PathMark::none; });
}

// Does the turn around x backwards from q's place meet a before b?
bool ConflictPath::meetsBefore(NodeIndex x, NodeIndex q, NodeIndex a, NodeIndex b) const
{
    uint32_t place = borders_.placeOf(x, q);
    if (place == WorkingBorders::noPlace) return false;
    for (size_t guard = borders_.links(x).size(); guard > 0; --guard) {
        place = borders_.previousPlace(x, place);
        const NodeIndex n = borders_.atPlace(place);
        if (n == a) return true;
        if (n == b) return false;
    }
    return false;
}

// The next chain-marked neighbour of x, turning backwards from its place of f.
NodeIndex ConflictPath::nextMarkedBackwards(NodeIndex x, NodeIndex f) const
{
    uint32_t place = borders_.placeOf(x, f);
    if (place == WorkingBorders::noPlace) return noNode;
    for (size_t guard = borders_.links(x).size(); guard > 0; --guard) {
        place = borders_.previousPlace(x, place);
        const NodeIndex n = borders_.atPlace(place);
        if (fields_.chainMark(n) != colourNone) return n;
    }
    return noNode;
}

bool ConflictPath::reroutePath(NodeIndex s)
{
    NodeIndex x = fields_.pathPrev[s];
    int guard = walkLimit();
    while (x != noNode && fields_.chainMark(x) == colourNone && guard-- > 0) x = fields_.pathPrev[x];
    if (x == noNode) {
        restoreOldPath();
        return false;
    }
    NodeIndex f = x == state_.pathTail ? state_.pivot : fields_.pathNext[x];
    NodeIndex q = x;
    NodeIndex end = noNode;
    // A walk that cannot reach s or a later path node is refused.
    for (int steps = 4 * walkLimit(); steps > 0; --steps) {
        const NodeIndex y = nextMarkedBackwards(x, f);
        if (y == noNode) break;
        fields_.pathNext[x] = y;
        q = x;
        f = x;
        x = y;
        if (y == s || fields_.pathMark[y] == PathMark::after) {
            end = y;
            break;
        }
    }
    if (end == noNode) {
        restoreOldPath();
        return false;
    }
    if (s == state_.pathCursor) {
        const NodeIndex b = end == state_.pathHead ? state_.pivot : fields_.pathPrev[end];
        const NodeIndex a = oldSuccessor(end);
        if (meetsBefore(end, q, a, b)) {
            restoreOldPath();
            return false;
        }
    }
    acceptNewPath();
    return true;
}

WalkOutcome ConflictPath::walkPath()
{
    state_.pathFlag = false;
    state_.pathCursor = noNode;
    NodeIndex s = state_.pathHead;
    int guard = walkLimit();
    while (s != noNode && fields_.colour(s) != colourY && guard-- > 0) s = fields_.pathNext[s];
    if (s == noNode || fields_.colour(s) != colourY) {
        fills_.swapChain(state_.pivot, colourY);
        return WalkOutcome::pivotCleared;
    }
    fills_.markChain(state_.pivot, colourY);
    trimming_.trimChain(state_.pivot, state_);
    const NodeIndex p = fields_.pathPrev[s];
    if (fields_.chainMark(s) == colourB || p == noNode) {
        placeCursor(s);
        return WalkOutcome::cursorSet;
    }
    fills_.markChain(p, otherOfRedGreen(fields_.colour(p)));
    if (!anyMarkedFrom(s)) {
        placeCursor(s);
        return WalkOutcome::cursorSet;
    }
    trimming_.trimChain(s, state_);
    setCursorPosition(s);
    reroutePath(s);
    return WalkOutcome::rerouted;
}

bool ConflictPath::recolourCursor()
{
    const NodeIndex s = state_.pathCursor;
    const NodeIndex p = s == state_.pathHead ? fields_.pathNext[s] : fields_.pathPrev[s];
    const ColourCode b = otherOfRedGreen(fields_.colour(p));
    const ColourCode c = otherOfRedGreen(b);
    fills_.markChain(s, b);
    if (markedBackFrom(s, colourY)) {
        trimming_.trimChain(s, state_);
        // Protect the (c,b) chain of the cursor's path predecessor.
        fills_.unmarkChainOf(fields_.pathPrev[s], c, b);
        fills_.recolourAnyMarked(b, c);
        fills_.markChain(s, b);
        if (markedBackFrom(s, colourY)) return false;
    }
    fills_.swapChain(s, b);
    return true;
}

CursorOutcome ConflictPath::clearCursor()
{
    if (recolourCursor()) return CursorOutcome::recoloured;
    trimming_.trimChain(state_.pathCursor, state_);
    if (reroutePath(state_.pathCursor)) return CursorOutcome::rerouted;
    state_.pathFlag = true;
    return CursorOutcome::noMove;
}

void ConflictPath::shakePivot()
{
    const NodeIndex cursor = state_.pathCursor;
    const ColourPair pair = shakePairs[fields_.swapCursor[cursor]];
    fills_.swapChain(state_.pivot, pair.first);
    fills_.swapChain(state_.pivot, pair.second);
    if (++fields_.swapCursor[cursor] >= std::size(shakePairs)) fields_.swapCursor[cursor] = 0;
    swaps_.note(cursor);
}

}  // namespace orvane
