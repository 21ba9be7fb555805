// Kempe-chain fills: marking, swapping and unmarking a two-colour chain, and
// the recolouring of marked nodes. Fills run breadth first on an explicit
// queue: chains can be as long as the map.
#include "engine/fills.h"
#include <algorithm>

namespace orvane {

void ChainFills::begin(bool tracking, size_t nodes)
{
    marks_.begin(tracking, nodes);
    reached_.begin(tracking, nodes);
    marksPartial_ = false;
    chainRemembered_ = false;
}

void ChainFills::end()
{
    marks_.end();
    reached_.end();
}

// The queue holds the start node as its first entry. Every node enters a fill
// at most once; a packed fill writes each neighbour it tests behind the last
// queued one before it knows whether it joins, so one more entry.
NodeIndex* ChainFills::startQueue(NodeIndex start)
{
    const size_t most = fields_.hot.size() + 2;
    if (queue_.size() < most) queue_.resize(most);
    queue_[0] = start;
    return queue_.data();
}

template <ChainFills::FillKind kind>
void ChainFills::spread(NodeIndex start)
{
    if (marks_.tracking()) spreadPacked<kind>(start);
    else spreadLiteral<kind>(start);
}

// Enters the fill at the neighbours of `start` whose colour is fillTo, then
// spreads through the chain with alternating colours, breadth first, reading
// the packed fields. A node's neighbours are tested first and the ones that
// join are queued (a node's neighbours are distinct, so they are given their
// values afterwards); every node is queued at most once, so the queue, sized
// to the map, needs no checks. The queued nodes are noted at the end, all at once.
template <ChainFills::FillKind kind>
void ChainFills::spreadPacked(NodeIndex start)
{
    NodeIndex* const queue = startQueue(start);
    HotNode* const hot = fields_.hot.data();
    const LinkRange* const ranges = borders_.ranges();
    const NodeIndex* const links = borders_.linkRecords();
    constexpr uint32_t tested = colourBits | (kind == FillKind::mark ? chainMarkBits : reachedBits);
    size_t head = 0, top = 1, levelEnd = 0;
    int q = 0;  // the pair entry the next level follows (see markChainWatched)
    while (head < top) {
        if (head == levelEnd) {
            levelEnd = top;
            q = 1 - q;
        }
        const NodeIndex from = queue[head++];
        const size_t joined = top;
        top = queueJoiningNeighbours(ranges, links, hot, queue, top, from, tested, unmarkedOfColour(pair_[q]));
        const ColourCode other = pair_[1 - q];
        for (size_t i = joined; i < top; ++i) {
            HotNode& h = hot[queue[i]];
            switch (kind) {
            case FillKind::mark: h.chainMark = other; break;
            case FillKind::swap: h.reached = 1; h.colour = other; break;
            case FillKind::unmark: h.chainMark = colourNone; h.reached = 1; break;
            }
        }
    }
    (kind == FillKind::mark ? marks_ : reached_).note(queue + 1, queue + top);
}

// The same fill as the method states it: each queued node carries the pair
// entry of its colour, and each neighbour is tested and treated in turn.
template <ChainFills::FillKind kind>
void ChainFills::spreadLiteral(NodeIndex start)
{
    std::vector<std::pair<NodeIndex, uint8_t>>& entries = literalQueue_;
    entries.clear();
    entries.push_back({start, 0});
    for (size_t head = 0; head < entries.size(); ++head) {
        const auto [from, parity] = entries[head];
        const uint8_t q = static_cast<uint8_t>(1 - parity);
        const ColourCode follow = pair_[q], other = pair_[1 - q];
        for (const NodeIndex n : borders_.links(from)) {
            HotNode& h = fields_.hot[n];
            const bool reached = kind == FillKind::mark ? h.chainMark != colourNone : h.reached != 0;
            if (h.colour != follow || reached) continue;
            switch (kind) {
            case FillKind::mark: h.chainMark = other; marks_.note(n); break;
            case FillKind::swap: h.reached = 1; h.colour = other; reached_.note(n); break;
            case FillKind::unmark: h.chainMark = colourNone; h.reached = 1; reached_.note(n); break;
            }
            entries.push_back({n, q});
        }
    }
}

void ChainFills::clearChainMarks()
{
    HotNode* const hot = fields_.hot.data();
    marks_.clear(list_, [hot](NodeIndex v) { hot[v].chainMark = colourNone; });
    marksPartial_ = false;
}

void ChainFills::clearReached()
{
    HotNode* const hot = fields_.hot.data();
    reached_.clear(list_, [hot](NodeIndex v) { hot[v].reached = 0; });
}

void ChainFills::markChain(NodeIndex s, ColourCode t)
{
    pair_[0] = fields_.colour(s);
    pair_[1] = t;
    clearChainMarks();
    fields_.hot[s].chainMark = t;
    marks_.note(s);
    spread<FillKind::mark>(s);
}

void ChainFills::swapChain(NodeIndex s, ColourCode t)
{
    pair_[0] = fields_.colour(s);
    pair_[1] = t;
    clearReached();
    setReached(s);
    fields_.hot[s].colour = t;
    spread<FillKind::swap>(s);
}

void ChainFills::swapMarkedChain(NodeIndex s, ColourCode t)
{
    if (!marks_.tracked() || marksPartial_) {
        swapChain(s, t);
        return;
    }
    // The marks name every node of the chain with the colour it takes.
    pair_[0] = fields_.colour(s);
    pair_[1] = t;
    clearReached();
    HotNode* const hot = fields_.hot.data();
    for (const NodeIndex v : marks_.touched()) {
        hot[v].reached = 1;
        hot[v].colour = hot[v].chainMark;
    }
    reached_.note(marks_.touched().data(), marks_.touched().data() + marks_.touched().size());
}

void ChainFills::unmarkFrom(NodeIndex start)
{
    fields_.hot[start].chainMark = colourNone;
    setReached(start);
    spread<FillKind::unmark>(start);
}

void ChainFills::unmarkArcChains(ColourCode k, NodeIndex arcFirst, NodeIndex pivot)
{
    pair_[0] = k;
    pair_[1] = colourB;
    for (NodeIndex n = arcFirst; n != noNode && n != pivot; n = fields_.ringPrev[n]) {
        if (fields_.colour(n) != k) continue;
        clearReached();
        unmarkFrom(n);
    }
}

void ChainFills::unmarkChainOf(NodeIndex start, ColourCode from, ColourCode to)
{
    pair_[0] = from;
    pair_[1] = to;
    clearReached();
    unmarkFrom(start);
}

// The nodes with chain mark m (any non-zero mark with anyMark), in node-list order.
void ChainFills::gatherMarked(ColourCode m, bool anyMark)
{
    const auto wanted = [m, anyMark](ColourCode mark) { return anyMark ? mark != colourNone : mark == m; };
    marked_.clear();
    if (marks_.tracked()) {
        for (const NodeIndex v : marks_.touched())
            if (wanted(fields_.chainMark(v))) marked_.push_back(v);
        std::sort(marked_.begin(), marked_.end(),
                  [this](NodeIndex a, NodeIndex b) { return list_.position(a) < list_.position(b); });
        marked_.erase(std::unique(marked_.begin(), marked_.end()), marked_.end());
    } else {
        list_.forEach([&](NodeIndex v) {
            if (wanted(fields_.chainMark(v))) marked_.push_back(v);
        });
    }
}

void ChainFills::recolourMarked(ColourCode c, ColourCode m, ColourCode t)
{
    // Swaps change colours, never marks: the marked nodes are known up front.
    gatherMarked(m, false);
    for (const NodeIndex v : marked_)
        if (fields_.colour(v) == c) swapChain(v, t);
}

void ChainFills::recolourAnyMarked(ColourCode c, ColourCode t)
{
    gatherMarked(colourNone, true);
    for (const NodeIndex v : marked_)
        if (fields_.colour(v) == c) swapChain(v, t);
}

void ChainFills::rememberMarkedChain()
{
    chainRemembered_ = marks_.tracked() && !marksPartial_;
    remembered_.clear();
    rememberedColours_.clear();
    if (!chainRemembered_) return;
    const HotNode* const hot = fields_.hot.data();
    remembered_.assign(marks_.touched().begin(), marks_.touched().end());
    rememberedColours_.resize(remembered_.size());
    for (size_t i = 0; i < remembered_.size(); ++i) rememberedColours_[i] = hot[remembered_[i]].chainMark;
}

void ChainFills::swapRememberedChain(NodeIndex s, ColourCode t)
{
    if (!chainRemembered_) {
        swapChain(s, t);
        return;
    }
    // No colour changed since the chain was marked: its marks give the swap.
    pair_[0] = fields_.colour(s);
    pair_[1] = t;
    clearReached();
    HotNode* const hot = fields_.hot.data();
    for (size_t i = 0; i < remembered_.size(); ++i) {
        hot[remembered_[i]].reached = 1;
        hot[remembered_[i]].colour = rememberedColours_[i];
    }
    reached_.note(remembered_.data(), remembered_.data() + remembered_.size());
    chainRemembered_ = false;
}

}  // namespace orvane
