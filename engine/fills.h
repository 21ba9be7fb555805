// The Kempe-chain fills: marking, swapping and unmarking a two-colour chain,
// the recolouring of marked nodes, and the memory of a marked chain that is
// swapped later. A chain pairs the fill colours fillFrom and fillTo; a node of
// one colour of the pair takes (as mark or as colour) the other, and the fill
// goes on into its neighbours of that other colour.
#pragma once
#include <utility>
#include <vector>
#include "engine/nodefields.h"
#include "engine/scratch.h"

namespace orvane {

class ChainFills {
public:
    ChainFills(NodeFields& fields, const WorkingBorders& borders, const NodeList& list)
        : fields_(fields), borders_(borders), list_(list)
    {
    }

    // A colouring starts (tracking on the fast paths) or ends.
    void begin(bool tracking, size_t nodes);
    void end();

    ColourCode fillFrom() const { return pair_[0]; }
    ColourCode fillTo() const { return pair_[1]; }

    // markChain(s, t): marks the (colour of s, t) chain of s.
    void markChain(NodeIndex s, ColourCode t);
    // swapChain(s, t): swaps the (colour of s, t) chain; s ends with colour t.
    void swapChain(NodeIndex s, ColourCode t);
    // swapChain(s, t) right after markChain(s, t): the marks name the chain.
    void swapMarkedChain(NodeIndex s, ColourCode t);
    // Unmarks the (k, 4) chains of the arcFirst side's nodes of colour k
    // (from arcFirst along ringPrev up to the pivot).
    void unmarkArcChains(ColourCode k, NodeIndex arcFirst, NodeIndex pivot);
    // Unmarks the (from, to) chain of `start` by the unmark fill.
    void unmarkChainOf(NodeIndex start, ColourCode from, ColourCode to);
    // Swaps, in node-list order, the (c, t) chain of each node whose mark is
    // m (any mark with recolourAnyMarked) and whose colour is c when reached.
    void recolourMarked(ColourCode c, ColourCode m, ColourCode t);
    void recolourAnyMarked(ColourCode c, ColourCode t);

    // Keeps the marks of the chain just marked, to swap it later with
    // swapRememberedChain(s, t) (as swapChain, while no colour changed since).
    void rememberMarkedChain();
    void swapRememberedChain(NodeIndex s, ColourCode t);

    // The last marking stopped early (markChainWatched): its marks are
    // partial, and nothing may read them before the next marking clears them.
    bool marksComplete() const { return !marksPartial_; }
    // Every node with a chain mark, when the fast paths know them all; else null.
    const std::vector<NodeIndex>* markedNodes() const { return marks_.tracked() ? &marks_.touched() : nullptr; }

    // The reached flag outside a fill: preparation marks the start node's neighbours.
    void clearReached();
    void setReached(NodeIndex v)
    {
        fields_.hot[v].reached = 1;
        reached_.note(v);
    }

    // markChain(s, t) breadth first on the fast paths, watched: after a node
    // is marked watch.marked(v, mark) is called (when watch.watches(mark)),
    // after a node's neighbours are queued watch.nodeDone(); either returning
    // true stops the marking there, with partial marks. Returns whether it
    // stopped.
    template <typename Watch>
    bool markChainWatched(NodeIndex s, ColourCode t, Watch& watch);

private:
    enum class FillKind { mark, swap, unmark };
    template <FillKind kind>
    void spread(NodeIndex start);
    template <FillKind kind>
    void spreadPacked(NodeIndex start);
    template <FillKind kind>
    void spreadLiteral(NodeIndex start);
    NodeIndex* startQueue(NodeIndex start);
    void clearChainMarks();
    void gatherMarked(ColourCode m, bool anyMark);
    void unmarkFrom(NodeIndex start);

    NodeFields& fields_;
    const WorkingBorders& borders_;
    const NodeList& list_;
    ColourCode pair_[2] = {colourNone, colourNone};  // fillFrom, fillTo
    ScratchField marks_, reached_;
    std::vector<NodeIndex> queue_;
    std::vector<std::pair<NodeIndex, uint8_t>> literalQueue_;  // nodes and the pair entry of their colour
    std::vector<NodeIndex> marked_;                            // gatherMarked's result
    bool marksPartial_ = false;
    std::vector<NodeIndex> remembered_;          // the nodes of the remembered chain
    std::vector<ColourCode> rememberedColours_;  // ... and the colour each takes
    bool chainRemembered_ = false;
};

// One step of a packed breadth-first fill: queues behind `top` the neighbours
// of `from` whose tested fields hold `wanted`, and returns the new top. Every
// neighbour is written behind the last queued one and kept only when it joins,
// so the test takes no branch.
inline size_t queueJoiningNeighbours(const LinkRange* ranges, const NodeIndex* links, const HotNode* hot,
                                     NodeIndex* queue, size_t top, NodeIndex from, uint32_t tested, uint32_t wanted)
{
    for (uint32_t k = ranges[from].begin, end = ranges[from].end; k != end; ++k) {
        const NodeIndex n = links[k];
        queue[top] = n;
        top += (packedWord(hot[n]) & tested) == wanted;
    }
    return top;
}

template <typename Watch>
bool ChainFills::markChainWatched(NodeIndex s, ColourCode t, Watch& watch)
{
    pair_[0] = fields_.colour(s);
    pair_[1] = t;
    clearChainMarks();
    HotNode* const hot = fields_.hot.data();
    hot[s].chainMark = t;
    marks_.note(s);
    NodeIndex* const queue = startQueue(s);
    const LinkRange* const ranges = borders_.ranges();
    const NodeIndex* const links = borders_.linkRecords();
    // Breadth first, the queue holds the chain level by level, and the levels
    // alternate between the two colours: q, the pair entry the next level
    // follows, turns at every level's end.
    size_t head = 0, top = 1, levelEnd = 0;
    int q = 0;
    bool stopped = false;
    while (head < top && !stopped) {
        if (head == levelEnd) {
            levelEnd = top;
            q = 1 - q;
        }
        const NodeIndex from = queue[head++];
        const ColourCode mark = pair_[1 - q];
        const size_t joined = top;
        top = queueJoiningNeighbours(ranges, links, hot, queue, top, from, colourBits | chainMarkBits,
                                     unmarkedOfColour(pair_[q]));
        if (!watch.watches(mark)) {
            for (size_t i = joined; i < top; ++i) hot[queue[i]].chainMark = mark;
        } else {
            for (size_t i = joined; i < top; ++i) {
                hot[queue[i]].chainMark = mark;
                if (watch.marked(queue[i], mark)) {
                    top = i + 1;
                    stopped = true;
                    break;
                }
            }
        }
        if (!stopped) stopped = watch.nodeDone();
    }
    marks_.note(queue + 1, queue + top);
    marksPartial_ = stopped;
    return stopped;
}

}  // namespace orvane
