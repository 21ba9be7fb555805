// The direct swaps' markings: the pivot's (4,c) chain is marked only until it
// is known which sides of the blocked arc it reaches.
#include "engine/arcsides.h"

namespace orvane {

bool ArcSides::arcFirstSideHasMark(const EngineState& s, ColourCode mark) const
{
    for (NodeIndex n = s.arcFirst; n != noNode && n != s.pivot; n = fields_.ringPrev[n])
        if (fields_.chainMark(n) == mark) return true;
    return false;
}

bool ArcSides::arcLastSideHasMark(const EngineState& s, ColourCode mark) const
{
    for (NodeIndex n = s.arcLast; n != noNode && n != s.pivot; n = fields_.ringNext[n])
        if (fields_.chainMark(n) == mark) return true;
    return false;
}

void ArcSides::beginDirectSwaps(const EngineState& s)
{
    if (!tracking_) return;
    const size_t count = fields_.hot.size();
    if (side_.size() != count || ++round_ >= (1u << 30)) {
        side_.assign(count, 0);
        round_ = 1;
    }
    for (NodeIndex n = s.arcFirst; n != noNode && n != s.pivot; n = fields_.ringPrev[n])
        side_[n] = sideBits * round_ + onArcFirstSide;
    for (NodeIndex n = s.arcLast; n != noNode && n != s.pivot; n = fields_.ringNext[n])
        side_[n] = sideBits * round_ + onArcLastSide;
}

void ArcSides::startSideSearch(const EngineState& s, ColourCode c)
{
    const size_t count = fields_.hot.size();
    if (sideSeen_.size() != count || ++sideRound_ == 0) {
        sideSeen_.assign(count, 0);
        sideRound_ = 1;
    }
    sideQueue_.clear();
    sideHead_ = 0;
    for (NodeIndex n = s.arcFirst; n != noNode && n != s.pivot; n = fields_.ringPrev[n]) {
        if (fields_.colour(n) != c || sideSeen_[n] == sideRound_) continue;
        sideSeen_[n] = sideRound_;
        sideQueue_.push_back(n);
    }
}

// One node of the second search.
ArcSides::SideStep ArcSides::stepSideSearch(ColourCode c)
{
    if (sideHead_ == sideQueue_.size()) return SideStep::runsOut;
    const NodeIndex x = sideQueue_[sideHead_++];
    const ColourCode follow = fields_.colour(x) == colourB ? c : colourB;
    for (const NodeIndex n : borders_.links(x)) {
        const HotNode h = fields_.hot[n];
        if (h.colour != follow || sideSeen_[n] == sideRound_) continue;
        if (h.chainMark != colourNone) return SideStep::meetsChain;
        sideSeen_[n] = sideRound_;
        sideQueue_.push_back(n);
    }
    return SideStep::goesOn;
}

// Watches the marking of the pivot's (4,c) chain. When it has reached the
// arcLast side, a second search from the arcFirst side answers whether it also
// reaches the arcFirst side, as soon as either search meets the other or runs out.
struct ArcSides::SettlingWatch {
    ArcSides& sides;
    const EngineState& state;
    ColourCode c;
    bool eitherSideEnds;
    const uint32_t* sideOf = sides.side_.data();
    bool reachedLast = false;
    DirectMark reach = DirectMark::avoidsArc;

    bool settle(DirectMark r)
    {
        reach = r;
        return true;
    }

    // A node counts on a side of the arc when it takes the mark 4 (it has
    // colour c); once the arcLast side is reached, every node the marking
    // meets is looked for in the second search.
    bool watches(ColourCode mark) const { return mark == colourB || reachedLast; }

    bool marked(NodeIndex v, ColourCode mark)
    {
        const uint32_t stamp = sideOf[v];
        const uint32_t side = mark == colourB && stamp / sideBits == sides.round_ ? stamp % sideBits : 0;
        if (side == onArcFirstSide) return settle(eitherSideEnds ? DirectMark::reachesArcSide : DirectMark::reachesArcFirst);
        if (side == onArcLastSide) {
            if (eitherSideEnds) return settle(DirectMark::reachesArcSide);
            if (!reachedLast) {
                reachedLast = true;
                sides.startSideSearch(state, c);
            }
        }
        if (reachedLast && sides.sideSeen_[v] == sides.sideRound_) return settle(DirectMark::reachesArcFirst);
        return false;
    }

    bool nodeDone()
    {
        if (!reachedLast) return false;
        const SideStep step = sides.stepSideSearch(c);
        if (step == SideStep::goesOn) return false;
        return settle(step == SideStep::meetsChain ? DirectMark::reachesArcFirst : DirectMark::reachesArcLast);
    }
};

DirectMark ArcSides::markDirectChain(const EngineState& s, ColourCode c, bool eitherSideEnds)
{
    if (!tracking_) {
        fills_.markChain(s.pivot, c);
        if (arcFirstSideHasMark(s, colourB)) return DirectMark::reachesArcFirst;
        return arcLastSideHasMark(s, colourB) ? DirectMark::reachesArcLast : DirectMark::avoidsArc;
    }
    // Once the answer is settled, the marks are not read any more (the next
    // marking clears them first): the marking may stop there.
    SettlingWatch watch{*this, s, c, eitherSideEnds};
    if (fills_.markChainWatched(s.pivot, c, watch)) return watch.reach;
    return watch.reachedLast ? DirectMark::reachesArcLast : DirectMark::avoidsArc;
}

}  // namespace orvane
