// The per-node fields of a colouring, its node list and its working borders.
#include "engine/nodefields.h"
#include "map/neighbours.h"

namespace orvane {

void NodeFields::start(size_t nodes)
{
    hot.assign(nodes, HotNode{colourNone, colourNone, 0, TrimClass::unclassified});
    ringNext.assign(nodes, noNode);
    ringPrev.assign(nodes, noNode);
    ringContacts.assign(nodes, 0);
    pathPrev.assign(nodes, noNode);
    pathNext.assign(nodes, noNode);
    pathMark.assign(nodes, PathMark::none);
    swapCursor.assign(nodes, 0);
    chainTree.assign(nodes, ChainTreeNode{0, noNode});
}

void NodeList::start(const Map& map)
{
    const int n = map.nodeCount();
    next_.assign(static_cast<size_t>(n), noNode);
    for (int k = 1; k < n; ++k) next_[map.numbered(k)] = map.numbered(k + 1);
    head_ = n > 0 ? map.numbered(1) : noNode;
    deferredHead_ = noNode;
}

NodeIndex NodeList::defer(NodeIndex before, NodeIndex v)
{
    const NodeIndex following = next_[v];
    if (before == noNode) head_ = following; else next_[before] = following;
    next_[v] = deferredHead_;
    deferredHead_ = v;
    return following;
}

void NodeList::restoreDeferred()
{
    if (deferredHead_ == noNode) return;
    if (head_ == noNode) {
        head_ = deferredHead_;
    } else {
        NodeIndex last = head_;
        while (next_[last] != noNode) last = next_[last];
        next_[last] = deferredHead_;
    }
    deferredHead_ = noNode;
}

void NodeList::numberPositions()
{
    position_.assign(next_.size(), -1);
    int k = 0;
    forEach([&](NodeIndex v) { position_[v] = k++; });
}

void WorkingBorders::start(const Map& map)
{
    const std::span<const LinkRange> ranges = map.linkRanges();
    range_.assign(ranges.begin(), ranges.end());
    full_.resize(ranges.size());
    for (size_t v = 0; v < ranges.size(); ++v) full_[v] = ranges[v].end;
    links_.assign(map.linkRecords().begin(), map.linkRecords().end());
    around_.assign(map.aroundRecords().begin(), map.aroundRecords().end());
}

void WorkingBorders::park(NodeIndex owner, NodeIndex deferred)
{
    LinkRange& r = range_[owner];
    uint32_t k = r.begin;
    while (k != r.end && links_[k] != deferred) ++k;
    if (k == r.end) return;
    // The borders after it close up; it takes the freed place, which heads
    // the parked ones.
    for (; k + 1 != r.end; ++k) links_[k] = links_[k + 1];
    --r.end;
    links_[r.end] = deferred;
}

void WorkingBorders::orderAround(NodeIndex v, std::span<const Point> sites)
{
    orvane::orderAround(v, BorderLists{range_.data(), links_.data()}, sites, around_.data() + range_[v].begin);
}

uint32_t WorkingBorders::placeOf(NodeIndex v, NodeIndex n) const
{
    for (uint32_t k = range_[v].begin; k != range_[v].end; ++k)
        if (around_[k] == n) return k;
    return noPlace;
}

}  // namespace orvane
