// The engine's internals: the phase routines, the scratch bookkeeping of the
// fast paths and the Kempe-chain toolkit, all working on one colouring's
// state. Only engine/ and the tests include this.
#pragma once
#include "engine/colouring.h"
#include <cstddef>
#include <set>
#include <utility>
#include <vector>

namespace orvane {

// Outcomes of the phase routines; the driver's transition table reads them.
enum class GrowthOutcome { inserted, needsResolution, finished };
enum class LocateOutcome { noColour4Left, pivotFound };
enum class FreePivotOutcome { pivotFreed, pathBuilt };
enum class WalkOutcome { pivotCleared, rerouted, cursorSet };
enum class CursorOutcome { recoloured, rerouted, noMove };
enum class CompletionOutcome { nothingDeferred, deferredRestored };

// Which sides of the blocked arc a direct marking of the pivot's chain reaches.
// With eitherSideEnds, reaching either side is all the caller needs to know.
enum class DirectMark { reachesArcFirst, reachesArcLast, reachesArcSide, avoidsArc };

// A scratch field cleared "on every node": between preparation and completion
// the fast paths remember which nodes they gave a value, so that a clear
// touches only those and leaves exactly the state a whole-list clear leaves.
struct ScratchField {
    std::vector<MapNode*> touched;
    bool clean = false;  // every node outside `touched` holds the cleared value
};

struct FillEntry {
    MapNode* node;
    int parity;  // the node's colour is the pair entry of this parity
};

struct TrimFrame {
    MapNode* s;
    MapNode* r;
    NodeLink* end;      // s's link to r, handled last
    NodeLink* current;  // the link being handled
    bool childReturned;
};

struct Engine : EngineState {
    Engine(Map& map, Clock clock, Paths paths);

    Map& map;
    Clock clock;
    Paths paths;
    uint64_t boundGeneration;

    // Driver.
    StepReport engineStep(bool runToEnd);
    void resetEngine(bool clearColours);
    void followMap();  // a rebuilt or released map: drop every reference into the old one

    // Phase routines.
    bool prepareColouring();  // false: the map has no start triangle
    void deferNodes();
    GrowthOutcome growRing();
    bool findContactArc(MapNode* node, MapNode** first, MapNode** last);
    LocateOutcome locateBlocker();
    FreePivotOutcome freePivot();
    bool trySwapPivot(int i);
    WalkOutcome walkPath();
    bool reroutePath(MapNode* s);
    bool recolourCursor();
    CursorOutcome clearCursor();
    void shakePivot();
    CompletionOutcome completeColouring();
    void restoreDeferred();
    uint16_t verifyColouring() const;

    // Shared by the phases.
    void insertIntoRing(MapNode* node, MapNode* first, MapNode* last);
    void countContact(MapNode* n);  // one more coloured neighbour
    void startFrontier();           // after the start triangle is counted
    bool arcFirstSideHasMark(ColourCode mark) const;
    bool arcLastSideHasMark(ColourCode mark) const;
    int walkLimit() const { return map.nodeStorageCount() + 1; }

    // Scratch bookkeeping.
    void beginScratchTracking();
    void endScratchTracking() { tracking = false; }
    bool scratchTracking() const { return tracking; }
    int nodeListPosition(const MapNode* n) const { return listPosition[slotOf(n)]; }
    size_t slotOf(const MapNode* n) const { return static_cast<size_t>(n - map.nodeStorage()); }
    void note(ScratchField& f, MapNode* n)
    {
        if (tracking && f.clean) f.touched.push_back(n);
    }
    template <typename Clear>
    void clearField(ScratchField& f, Clear clear);
    void clearVisited();
    void noteVisited(MapNode* n) { note(visitedField, n); }
    void clearSwapCursors();
    void noteSwapCursor(MapNode* n) { note(swapField, n); }
    void clearChainMarks();
    std::vector<MapNode*> markedInListOrder(ColourCode m, bool anyMark);

    // Kempe-chain toolkit: fills.
    void markChain(MapNode* s, ColourCode t);
    void swapChain(MapNode* s, ColourCode t);
    void swapMarkedChain(MapNode* s, ColourCode t);  // swapChain(s, t) right after markChain(s, t)
    void unmarkArcChains(ColourCode k);
    void unmarkFrom(MapNode* start);  // unmark fill from one start node with the current pair
    void recolourMarked(ColourCode c, ColourCode m, ColourCode t);
    void recolourAnyMarked(ColourCode c, ColourCode t);  // as recolourMarked, for any non-zero mark
    ColourCode pairEntry(int q) const { return q == 0 ? fillFrom : fillTo; }
    FillEntry* startFill(MapNode* start);
    void pushFill(FillEntry*& entries, size_t& top, FillEntry e);

    // The direct swaps' markings: markDirectChain(c) marks the pivot's (4,c)
    // chain and tells which sides of the arc it reaches; rememberMarkedChain
    // keeps the marks of a chain that swapRememberedChain swaps later.
    void beginDirectSwaps();
    DirectMark markDirectChain(ColourCode c, bool eitherSideEnds);
    void rememberMarkedChain();
    void swapRememberedChain(MapNode* s, ColourCode t);
    bool chainMarksComplete() const { return !marksPartial; }
    uint32_t sideOf(const MapNode* n) const;
    void startSideSearch(ColourCode c);
    bool seenFromSide(const MapNode* n) const { return sideSeen[slotOf(n)] == sideRound; }

    // Kempe-chain toolkit: trimming.
    void trimChain(MapNode* start);
    void setUpTrimming();
    void trimVisit(MapNode* s, MapNode* r);
    void setTrimClass(MapNode* n, int8_t cls);
    void countChainNeighbours(MapNode* n);

    // Scratch state of the fast paths.
    bool tracking = false;
    ScratchField markField, visitedField, trimField, swapField;
    std::vector<int> listPosition;  // node-list position by storage slot

    // Frontier of the fast candidate search: every uncoloured node with at
    // least two coloured neighbours, ordered as the whole-list scan ranks them.
    std::set<uint64_t> frontier;
    std::vector<MapNode*> frontierNode;  // by node-list position
    bool frontierActive = false;

    std::vector<FillEntry> fillQueue;
    bool marksPartial = false;  // the last mark fill stopped early

    // Arc sides of the direct swaps, by storage slot: a node is on the
    // arcFirst (arcLast) side of this round when its entry is 4 * round + 1 (+ 2).
    std::vector<uint32_t> arcSide;
    uint32_t arcRound = 0;

    // The direct marking's second search, from the arcFirst side.
    std::vector<MapNode*> sideQueue;
    std::vector<uint32_t> sideSeen;  // by storage slot: sideRound once reached
    uint32_t sideRound = 0;
    size_t sideHead = 0;

    std::vector<std::pair<MapNode*, ColourCode>> rememberedChain;
    bool chainRemembered = false;

    std::vector<TrimFrame> trimStack;
    std::vector<MapNode*> changedOwners;  // nodes whose border lists a restore changed
};

inline void prefetch(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// A breadth-first fill knows which nodes it visits next: it fetches their
// border records, then their neighbours' colours, a few visits early (chains
// are scattered over the whole map, and the fills are the engine's main cost).
inline void prefetchAhead(const FillEntry* entries, size_t head, size_t top)
{
    constexpr size_t linksAhead = 16, coloursAhead = 8;
    if (head + linksAhead < top) prefetch(entries[head + linksAhead].node->links);
    if (head + coloursAhead < top)
        for (const NodeLink* l = entries[head + coloursAhead].node->links; l; l = l->next) prefetch(&l->node->colour);
}

// The colour pairs of the shake (rows 0..5) and of the prepared swaps (rows 6..11).
inline constexpr ColourCode colourPairs[12][2] = {
    {colourR, colourG}, {colourG, colourR}, {colourG, colourY}, {colourY, colourG}, {colourY, colourR}, {colourR, colourY},
    {colourG, colourY}, {colourY, colourG}, {colourY, colourR}, {colourR, colourY}, {colourR, colourG}, {colourG, colourR},
};

}  // namespace orvane
