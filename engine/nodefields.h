// The fields one colouring gives every node of its map, by node index: one
// copy of each, in compact arrays. The parts of the engine read and write
// them; which part writes which is noted beside each field.
#pragma once
#include <bit>
#include <cstdint>
#include <vector>
#include "engine/colouring.h"

namespace orvane {

// How the trimming of a marked chain classes a node.
enum class TrimClass : uint8_t { unclassified = 0, joined = 1, target = 2, root = 3 };

// A path node's place relative to the node a path walk stands at.
enum class PathMark : int8_t { after = -1, none = 0, atOrBefore = 1 };

// What a fill tests of every neighbour it looks at, side by side in four
// bytes, so that one load and one comparison test a neighbour (whether it
// joins a chain is as good as random to the processor's branch predictor).
struct HotNode {
    ColourCode colour;      // growth, the fills and completion
    ColourCode chainMark;   // the fills: 0, or the colour the node takes when its chain is swapped
    uint8_t reached;        // the swap and unmark fills: reached by the running fill
    TrimClass trimClass;    // trimming
};

// The four bytes as the word that one load of them gives.
inline constexpr uint32_t packedWord(HotNode h)
{
#ifdef __cpp_lib_bit_cast
    return std::bit_cast<uint32_t>(h);
#else
    // A standard library older than its compiler (the WebAssembly build's)
    // lacks std::bit_cast; the compiler's own gives the same word.
    return __builtin_bit_cast(uint32_t, h);
#endif
}

// Masks of the packed word: the colour, the chain mark, the reached flag.
inline constexpr ColourCode allBits = static_cast<ColourCode>(-1);
inline constexpr uint32_t colourBits = packedWord({allBits, colourNone, 0, TrimClass::unclassified});
inline constexpr uint32_t chainMarkBits = packedWord({colourNone, allBits, 0, TrimClass::unclassified});
inline constexpr uint32_t reachedBits = packedWord({colourNone, colourNone, 0xFF, TrimClass::unclassified});
// The packed word of a node of colour c, unmarked and not reached.
inline constexpr uint32_t unmarkedOfColour(ColourCode c) { return packedWord({c, colourNone, 0, TrimClass::unclassified}); }

// The chain degree of a node outside the chain being trimmed.
inline constexpr int16_t outsideChain = -32768;

// What trimming keeps of a node, side by side: its search reads both of
// every neighbour it looks at.
struct ChainTreeNode {
    int16_t chainDegree;    // the chain neighbours still to handle; outsideChain off the chain
    NodeIndex chainParent;  // the node's parent in the search tree
};

struct NodeFields {
    std::vector<HotNode> hot;
    std::vector<NodeIndex> ringNext, ringPrev;  // growth: the ring of coloured nodes
    std::vector<int16_t> ringContacts;          // growth: coloured neighbours through current borders
    std::vector<NodeIndex> pathPrev, pathNext;  // the path walk: the conflict path
    std::vector<PathMark> pathMark;             // the path walk
    std::vector<uint8_t> swapCursor;            // the path walk: the next pair of the shake
    std::vector<ChainTreeNode> chainTree;       // trimming

    // Every node as a fresh colouring finds it: uncoloured, unmarked, on no
    // ring or path.
    void start(size_t nodes);

    ColourCode colour(NodeIndex v) const { return hot[v].colour; }
    ColourCode chainMark(NodeIndex v) const { return hot[v].chainMark; }
};

// The node list and the deferred list (nodes set aside by preparation), both
// singly linked through one `next` field, as the engine walks them: every scan
// keeps the first of equal values in list order.
class NodeList {
public:
    // The node list as the map was built, nothing deferred.
    void start(const Map& map);

    NodeIndex head() const { return head_; }
    NodeIndex next(NodeIndex v) const { return next_[v]; }
    NodeIndex deferredHead() const { return deferredHead_; }

    // Calls f(v) for every node of the node list, in list order.
    template <typename F>
    void forEach(F f) const
    {
        for (NodeIndex v = head_; v != noNode; v = next_[v]) f(v);
    }

    // Sets v aside: it leaves the node list (`before` is its predecessor,
    // noNode at the head) for the front of the deferred list. Returns v's
    // former successor.
    NodeIndex defer(NodeIndex before, NodeIndex v);
    // Puts the deferred list, in its order, at the tail of the node list.
    void restoreDeferred();

    // Node-list positions, for the fast paths that gather nodes and sort them
    // into list order; valid until the list changes.
    void numberPositions();
    int position(NodeIndex v) const { return position_[v]; }

private:
    NodeIndex head_ = noNode;
    NodeIndex deferredHead_ = noNode;
    std::vector<NodeIndex> next_;
    std::vector<int32_t> position_;
};

// Each node's current borders and their angular ring, as this colouring has
// them: deferral parks the borders to set-aside nodes and completion puts
// them back at the end of the lists, while the map keeps its own. A node's
// records sit where the map keeps them: its current borders first, then the
// parked ones, the most recently parked in front.
class WorkingBorders {
public:
    // The map's lists and rings.
    void start(const Map& map);

    std::span<const NodeIndex> links(NodeIndex v) const { return {links_.data() + range_[v].begin, links_.data() + range_[v].end}; }
    std::span<const NodeIndex> around(NodeIndex v) const { return {around_.data() + range_[v].begin, around_.data() + range_[v].end}; }
    bool hasParked(NodeIndex v) const { return range_[v].end != full_[v]; }
    // v's parked borders, the most recently parked first.
    std::span<const NodeIndex> parked(NodeIndex v) const { return {links_.data() + range_[v].end, links_.data() + full_[v]}; }

    // Moves owner's first border to `deferred` to the front of its parked ones.
    void park(NodeIndex owner, NodeIndex deferred);
    // v's parked borders come back, in parked order, after its current ones.
    void restoreParked(NodeIndex v) { range_[v].end = full_[v]; }
    // Orders v's ring over its current borders.
    void orderAround(NodeIndex v, std::span<const Point> sites);

    // The place of neighbour n in v's ring (noPlace when v does not border
    // n), and the places after and before a place: the ring turns aroundNext
    // and aroundPrev.
    static constexpr uint32_t noPlace = UINT32_MAX;
    uint32_t placeOf(NodeIndex v, NodeIndex n) const;
    uint32_t nextPlace(NodeIndex v, uint32_t place) const
    {
        return place + 1 == range_[v].end ? range_[v].begin : place + 1;
    }
    uint32_t previousPlace(NodeIndex v, uint32_t place) const
    {
        return place == range_[v].begin ? range_[v].end - 1 : place - 1;
    }
    NodeIndex atPlace(uint32_t place) const { return around_[place]; }

    // The arrays themselves, for the inner loops.
    const LinkRange* ranges() const { return range_.data(); }
    const NodeIndex* linkRecords() const { return links_.data(); }
    const NodeIndex* aroundRecords() const { return around_.data(); }

private:
    std::vector<LinkRange> range_;  // the current borders
    std::vector<uint32_t> full_;    // where the parked borders end
    std::vector<NodeIndex> links_;
    std::vector<NodeIndex> around_;
};

}  // namespace orvane
