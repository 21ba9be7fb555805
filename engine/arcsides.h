// The blocked arc's two sides, as the direct swaps ask about them: the
// arcFirst side runs from arcFirst along ringPrev up to the pivot, the
// arcLast side from arcLast along ringNext up to the pivot (the pivot on
// neither). On the fast paths a marking of the pivot's (4,c) chain stops as
// soon as it is known which sides it reaches.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/fills.h"
#include "engine/nodefields.h"

namespace orvane {

// Which sides of the blocked arc a direct marking of the pivot's chain
// reaches. With either side ending the marking, reaching either side is all
// the caller learns.
enum class DirectMark { reachesArcFirst, reachesArcLast, reachesArcSide, avoidsArc };

class ArcSides {
public:
    ArcSides(const NodeFields& fields, const WorkingBorders& borders, ChainFills& fills)
        : fields_(fields), borders_(borders), fills_(fills)
    {
    }

    void setTracking(bool tracking) { tracking_ = tracking; }

    // The arc of the conflict at hand: notes which nodes lie on which side.
    void beginDirectSwaps(const EngineState& s);
    // Marks the pivot's (4,c) chain (markChain(pivot, c)) and tells which
    // sides of the arc it reaches; eitherSideEnds: reaching either side may
    // end the marking.
    DirectMark markDirectChain(const EngineState& s, ColourCode c, bool eitherSideEnds);

    // Whether a node of the side carries the mark.
    bool arcFirstSideHasMark(const EngineState& s, ColourCode mark) const;
    bool arcLastSideHasMark(const EngineState& s, ColourCode mark) const;

private:
    // A node's side in this round: side_[v] is sideBits * round plus its side.
    static constexpr uint32_t onArcFirstSide = 1, onArcLastSide = 2, sideBits = 4;
    enum class SideStep { goesOn, meetsChain, runsOut };
    struct SettlingWatch;

    void startSideSearch(const EngineState& s, ColourCode c);
    SideStep stepSideSearch(ColourCode c);

    const NodeFields& fields_;
    const WorkingBorders& borders_;
    ChainFills& fills_;
    bool tracking_ = false;
    std::vector<uint32_t> side_;
    uint32_t round_ = 0;
    // The second search of a marking that reached the arcLast side: from the
    // arcFirst side's nodes through the same two colours, without marks.
    std::vector<NodeIndex> sideQueue_;
    std::vector<uint32_t> sideSeen_;  // by node: sideRound_ once reached
    uint32_t sideRound_ = 0;
    size_t sideHead_ = 0;
};

}  // namespace orvane
