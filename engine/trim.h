// Trimming a marked chain to the branches that join a root to its targets.
#pragma once
#include <vector>
#include "engine/fills.h"
#include "engine/nodefields.h"
#include "engine/scratch.h"

namespace orvane {

class ChainTrimming {
public:
    ChainTrimming(NodeFields& fields, const WorkingBorders& borders, const NodeList& list, const ChainFills& fills)
        : fields_(fields), borders_(borders), list_(list), fills_(fills)
    {
    }

    // A colouring starts (tracking on the fast paths) or ends.
    void begin(bool tracking, size_t nodes) { trim_.begin(tracking, nodes); }
    void end() { trim_.end(); }

    // trimChain(start) on the current chain marks. The root and the targets
    // depend on start: the pivot (targets: the arcFirst side's nodes marked
    // 4), the path cursor (targets: the path nodes before it marked 3), or any
    // other path node (root and target: the nearest marked path nodes before
    // and after it).
    void trimChain(NodeIndex start, const EngineState& state);

    // trimVisit(s, r): the depth-first search from s, whose neighbour r it
    // handles last.
    void trimVisit(NodeIndex s, NodeIndex r);

    // A frame of the search: s, its neighbour r handled last, and the place
    // in s's ring in hand.
    struct Frame {
        NodeIndex s;
        NodeIndex r;
        uint32_t end;
        uint32_t current;
        uint32_t ringBegin;
        uint32_t ringEnd;
        bool childReturned;
    };

private:
    void setUpTrimming();
    void countChainNeighbours(NodeIndex v);
    void setTrimClass(NodeIndex v, TrimClass c);

    NodeFields& fields_;
    const WorkingBorders& borders_;
    const NodeList& list_;
    const ChainFills& fills_;
    ScratchField trim_;  // chainDegree, chainParent and the trim class
    std::vector<Frame> stack_;
};

}  // namespace orvane
