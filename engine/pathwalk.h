// Conflict resolution, second stage: the conflict path around the pivot (the
// pivot's neighbours inside the ring, from its ring successor to its ring
// predecessor), walked, rerouted along chains, its cursor recoloured, or the
// pivot shaken.
#pragma once
#include "engine/fills.h"
#include "engine/nodefields.h"
#include "engine/scratch.h"
#include "engine/trim.h"

namespace orvane {

// Outcomes of the phases of the path walk; the driver's transition table reads them.
enum class WalkOutcome { pivotCleared, rerouted, cursorSet };
enum class CursorOutcome { recoloured, rerouted, noMove };

struct ColourPair {
    ColourCode first, second;
};
// The pairs the shake swaps the pivot's chains with, one pair a shake, in turn.
inline constexpr ColourPair shakePairs[6] = {
    {colourR, colourG}, {colourG, colourR}, {colourG, colourY}, {colourY, colourG}, {colourY, colourR}, {colourR, colourY},
};

// Of the colours 1 and 2, the one that is not c.
inline ColourCode otherOfRedGreen(ColourCode c) { return colourCode(colourR + colourG - c); }

class ConflictPath {
public:
    ConflictPath(NodeFields& fields, const WorkingBorders& borders, const NodeList& list, ChainFills& fills,
                 ChainTrimming& trimming, EngineState& state)
        : fields_(fields), borders_(borders), list_(list), fills_(fills), trimming_(trimming), state_(state)
    {
    }

    // A colouring starts (tracking on the fast paths) or ends.
    void begin(bool tracking, size_t nodes) { swaps_.begin(tracking, nodes); }
    void end() { swaps_.end(); }

    // The path of the pivot; its flag and cursor cleared.
    void buildConflictPath();
    // Phase 2 drops the path: its marks, flag and ends.
    void dropPath();
    // A new conflict restarts every node's shake pairs.
    void clearSwapCursors();

    WalkOutcome walkPath();         // phase 4
    CursorOutcome clearCursor();    // phase 5
    void shakePivot();              // phase 6

    // The steps of the phases.
    bool reroutePath(NodeIndex s);  // false: refused, the old path restored
    bool recolourCursor();          // true: the cursor was recoloured

private:
    int walkLimit() const { return static_cast<int>(fields_.hot.size()) + 1; }
    void setCursorPosition(NodeIndex s);
    void placeCursor(NodeIndex s);
    bool anyMarkedFrom(NodeIndex from) const;
    bool markedBackFrom(NodeIndex from, ColourCode mark) const;
    NodeIndex oldSuccessor(NodeIndex x) const;
    void restoreOldPath();
    void acceptNewPath();
    bool meetsBefore(NodeIndex x, NodeIndex q, NodeIndex a, NodeIndex b) const;
    NodeIndex nextMarkedBackwards(NodeIndex x, NodeIndex f) const;

    NodeFields& fields_;
    const WorkingBorders& borders_;
    const NodeList& list_;
    ChainFills& fills_;
    ChainTrimming& trimming_;
    EngineState& state_;
    ScratchField swaps_;  // swapCursor
};

}  // namespace orvane
