// Everything one colouring works with: the engine state the view reads, the
// fields of every node, the node list and the working borders, and the parts
// of the method, each with its own data: the chain fills, trimming, the
// frontier search, the arc sides and the conflict path. The phase routines of
// preparation, growth, the blocked arc and completion, and the step driver
// that runs them all, live here. Only engine/ and the tests include this.
#pragma once
#include "engine/arcsides.h"
#include "engine/colouring.h"
#include "engine/fills.h"
#include "engine/frontier.h"
#include "engine/nodefields.h"
#include "engine/pathwalk.h"
#include "engine/trim.h"

namespace orvane {

// Outcomes of the phase routines; the driver's transition table reads them.
enum class GrowthOutcome { inserted, needsResolution, finished };
enum class LocateOutcome { noColour4Left, pivotFound };
enum class FreePivotOutcome { pivotFreed, pathBuilt };
enum class CompletionOutcome { nothingDeferred, deferredRestored };

// The pairs (x, y) of the two prepared attempts to free the pivot with
// colour i, by i - 1.
inline constexpr ColourPair preparedPairs[3][2] = {
    {{colourG, colourY}, {colourY, colourG}},
    {{colourY, colourR}, {colourR, colourY}},
    {{colourR, colourG}, {colourG, colourR}},
};

// Colours 1..4 as bits of a mask; an arc of all four blocks the insertion.
inline constexpr unsigned colourBit(ColourCode c) { return 1u << c; }
inline constexpr unsigned allFourColours = colourBit(colourR) | colourBit(colourG) | colourBit(colourY) | colourBit(colourB);

class ColouringWork {
public:
    ColouringWork(Clock clock, Paths paths);
    ColouringWork(const ColouringWork&) = delete;
    ColouringWork& operator=(const ColouringWork&) = delete;

    // A fresh colouring of `map`: phase 0, every node uncoloured, the map's
    // node list and borders.
    void start(const Map& map);
    const Map& map() const { return *map_; }

    // The driver.
    StepReport engineStep(bool runToEnd);
    void resetEngine(bool clearColours);

    // Phase routines and their steps.
    bool prepareColouring();  // false: the map has no start triangle
    void deferNodes();
    GrowthOutcome growRing();
    bool findContactArc(NodeIndex v, NodeIndex& first, NodeIndex& last) const;
    LocateOutcome locateBlocker();
    FreePivotOutcome freePivot();
    bool trySwapPivot(ColourCode i);
    CompletionOutcome completeColouring();
    void restoreDeferred();
    uint16_t verifyColouring() const;

    Clock clock;
    Paths paths;
    EngineState state;
    NodeFields fields;
    NodeList list;
    WorkingBorders borders;
    ChainFills fills{fields, borders, list};
    ChainTrimming trimming{fields, borders, list, fills};
    Frontier frontier;
    ArcSides sides{fields, borders, fills};
    ConflictPath path{fields, borders, list, fills, trimming, state};

private:
    void setTracking(bool on);
    bool tracking() const { return tracking_; }
    int walkLimit() const { return map_->nodeCount() + 1; }
    void insertIntoRing(NodeIndex v, NodeIndex first, NodeIndex last);
    void countContact(NodeIndex n);
    NodeIndex scanForCandidate(NodeIndex& first, NodeIndex& last) const;
    bool outerBoundaryHasColour4() const;
    bool directSwaps();
    bool preparedSwaps();
    bool preparedSwap(ColourCode i, ColourPair pair);

    const Map* map_ = nullptr;
    bool tracking_ = false;
    std::vector<NodeIndex> changedOwners_;  // nodes whose border lists a restore changed
};

// The engine's tests reach a colouring's parts through this.
struct ColouringAccess {
    static ColouringWork& work(Colouring& c) { return *c.work_; }
    static const ColouringWork& work(const Colouring& c) { return *c.work_; }
};

}  // namespace orvane
