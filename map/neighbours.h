// The angular order of a node's borders (aroundNext: falling angle key), for
// the builder's lists and for a colouring's working lists alike.
#pragma once
#include <cstdint>
#include <span>
#include "map/map.h"

namespace orvane {

// Border lists as a record array by node: the current neighbours of v are
// nodes[ranges[v].begin .. ranges[v].end).
struct BorderLists {
    const LinkRange* ranges;
    const NodeIndex* nodes;

    std::span<const NodeIndex> of(NodeIndex v) const
    {
        return {nodes + ranges[v].begin, nodes + ranges[v].end};
    }
    // Whether owner's current borders hold one to neighbour.
    bool holds(NodeIndex owner, NodeIndex neighbour) const;
};

// Writes v's current neighbours in aroundNext order to `around` (as many
// places as v has borders), starting with v's first border. A run of equal
// angle keys is kept when its last neighbour borders the one after the run,
// and reversed otherwise.
void orderAround(NodeIndex v, const BorderLists& lists, std::span<const Point> sites, NodeIndex* around);

}  // namespace orvane
