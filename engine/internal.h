// The engine's internals: the phase routines, the scratch bookkeeping of the
// fast paths and the Kempe-chain toolkit, all working on one colouring's
// state. Only engine/ and the tests include this.
#pragma once
#include "engine/colouring.h"
#include <cstddef>
#include <cstdint>
#include <cstring>
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
    std::vector<uint32_t> touched;  // storage slots
    bool clean = false;             // every node outside `touched` holds the cleared value
};

struct FillEntry {
    MapNode* node;
    int parity;  // the node's colour is the pair entry of this parity
};

// The fields the fills and searches read of every neighbour they look at,
// packed four bytes a node by storage slot: the engine's working set fits the
// processor's caches where the nodes themselves (and their border records) do
// not. Every write goes to the node and to its packed copy alike, but for the
// marks of a direct marking that stops early (nodeMarksBehind), which nothing
// reads from the nodes before the next marking clears them.
struct HotNode {
    ColourCode colour;
    ColourCode chainMark;
    int8_t visited;
    int8_t unused;
};

// The packed fields as one word, so a fill tests a neighbour without a branch
// (whether a neighbour belongs to a chain is as good as random to the
// processor's branch predictor).
inline uint32_t packedWord(const HotNode& h)
{
    uint32_t w;
    std::memcpy(&w, &h, sizeof w);
    return w;
}

// Each node's current neighbours by storage slot (so at most 65536 nodes
// while tracking), in the order of its border list: the lists never change
// between preparation and completion.
struct CompactBorders {
    std::vector<uint32_t> start;       // by slot; start[slot + 1] ends the node's run
    std::vector<uint16_t> neighbours;  // slots
    const uint16_t* begin(size_t slot) const { return neighbours.data() + start[slot]; }
    const uint16_t* end(size_t slot) const { return neighbours.data() + start[slot + 1]; }
};

// Raw pointers into the packed state for the inner loops. Stores to the
// one-byte fields may alias anything, so a loop that read these through the
// engine would read them again after every store; it copies them instead.
struct PackedView {
    MapNode* nodes;
    HotNode* hot;
    const uint32_t* first;   // a node's neighbours run from around[first[slot]]
    const uint16_t* around;  // to around[first[slot + 1]]
};

// One step of a packed breadth-first fill: queues behind `top` the neighbours
// of slot `from` whose tested fields hold `wanted`, and returns the new top.
// Every neighbour is written behind the last queued one and kept only when it
// joins, so the test takes no branch.
inline size_t queueJoiningNeighbours(const PackedView& v, uint32_t* queue, size_t top, uint32_t from, uint32_t tested,
                                     uint32_t wanted)
{
    for (uint32_t k = v.first[from], end = v.first[from + 1]; k != end; ++k) {
        const uint32_t slot = v.around[k];
        queue[top] = slot;
        top += (packedWord(v.hot[slot]) & tested) == wanted;
    }
    return top;
}

// A frame of the trimming search over the nodes themselves.
struct TrimFrame {
    MapNode* s;
    MapNode* r;
    NodeLink* end;      // s's link to r, handled last
    NodeLink* current;  // the link being handled
    bool childReturned;
};

// The same over the packed copies: slots, and places in the compact rings
// (indices into CompactBorders::neighbours).
struct PackedTrimFrame {
    uint32_t s;
    uint32_t r;
    uint32_t end;
    uint32_t current;
    uint32_t ringBegin;  // s's ring
    uint32_t ringEnd;
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

    // Field writes: to the node, and to its packed copy while tracking.
    void setColour(MapNode* n, ColourCode c)
    {
        n->colour = c;
        if (tracking) hot[slotOf(n)].colour = c;
    }
    void setChainMark(MapNode* n, ColourCode m)
    {
        n->chainMark = m;
        if (tracking) hot[slotOf(n)].chainMark = m;
    }
    void setVisited(MapNode* n, int8_t v)
    {
        n->visited = v;
        if (tracking) hot[slotOf(n)].visited = v;
    }
    void setChainDegree(MapNode* n, int16_t d)
    {
        n->chainDegree = d;
        if (tracking) chainDegrees[slotOf(n)] = d;
    }
    // Trimming passes over every neighbour outside the chain: it tells them by
    // the packed degree without reading the node.
    bool outsideTrimmedChain(const MapNode* n) const
    {
        return (tracking ? chainDegrees[slotOf(n)] : n->chainDegree) < 0;
    }
    MapNode* nodeAt(size_t slot) const { return base + slot; }
    PackedView packedView() { return {base, hot.data(), borders.start.data(), borders.neighbours.data()}; }
    // A packed fill's queue: the slot of every node it reached, the start
    // first. Sized to the map and one more entry: a packed fill writes each
    // neighbour it tests behind the last queued one before it knows whether
    // it joins.
    uint32_t* startPackedFill(MapNode* start);
    // Notes the nodes a packed fill queued from entry `from` on (they were given a value).
    void noteQueued(ScratchField& f, size_t from, size_t top)
    {
        if (!(tracking && f.clean)) return;
        f.touched.insert(f.touched.end(), packedQueue.begin() + static_cast<long>(from),
                         packedQueue.begin() + static_cast<long>(top));
    }

    // Scratch bookkeeping.
    void beginScratchTracking();
    void packNodes();  // the packed copies and compact borders of the stored nodes
    void endScratchTracking() { tracking = false; }
    bool scratchTracking() const { return tracking; }
    int nodeListPosition(const MapNode* n) const { return listPosition[slotOf(n)]; }
    size_t slotOf(const MapNode* n) const { return static_cast<size_t>(n - base); }
    void note(ScratchField& f, MapNode* n)
    {
        if (tracking && f.clean) f.touched.push_back(static_cast<uint32_t>(slotOf(n)));
    }
    template <typename Clear>
    void clearField(ScratchField& f, Clear clear);
    void clearVisited();
    void noteVisited(MapNode* n) { note(visitedField, n); }
    void clearSwapCursors();
    void noteSwapCursor(MapNode* n) { note(swapField, n); }
    void clearChainMarks();
    const std::vector<MapNode*>& markedInListOrder(ColourCode m, bool anyMark);  // valid until the next call

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
    void pushFill(FillEntry*& entries, size_t& top, FillEntry e)
    {
        if (top == fillQueue.size()) growFillQueue(entries);
        entries[top++] = e;
    }
    void growFillQueue(FillEntry*& entries);

    // The direct swaps' markings: markDirectChain(c) marks the pivot's (4,c)
    // chain and tells which sides of the arc it reaches; rememberMarkedChain
    // keeps the marks of a chain that swapRememberedChain swaps later.
    void beginDirectSwaps();
    DirectMark markDirectChain(ColourCode c, bool eitherSideEnds);
    void rememberMarkedChain();
    void swapRememberedChain(MapNode* s, ColourCode t);
    bool chainMarksComplete() const { return !marksPartial; }
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
    MapNode* base = nullptr;  // the map's node storage, while tracking
    ScratchField markField, visitedField, trimField, swapField;
    std::vector<int> listPosition;  // node-list position by storage slot

    // Packed copies of the hot fields and the compact borders, while tracking.
    std::vector<HotNode> hot;
    std::vector<int16_t> chainDegrees;
    std::vector<uint32_t> chainParents;  // slots; UINT32_MAX for none
    CompactBorders borders;
    CompactBorders rings;                // each node's neighbours in aroundNext order from its first link

    // Frontier of the fast candidate search: every uncoloured node with at
    // least two coloured neighbours, as bits by the rank the whole-list scan
    // gives them (distance from the centre, then node-list position).
    std::vector<uint64_t> frontier;       // bit r: the node of rank r is in
    std::vector<uint32_t> frontierRank;   // by slot
    std::vector<MapNode*> byRank;
    std::vector<uint32_t> rankCount;      // scratch of the ranking
    size_t frontierLow = 0;               // no bit is set in the words below this one
    bool frontierActive = false;
    void enterFrontier(const MapNode* n)
    {
        const uint32_t r = frontierRank[slotOf(n)];
        frontier[r >> 6] |= uint64_t{1} << (r & 63);
        if ((r >> 6) < frontierLow) frontierLow = r >> 6;
    }

    std::vector<FillEntry> fillQueue;
    std::vector<uint32_t> packedQueue;
    std::vector<MapNode*> markedScratch;  // markedInListOrder's result
    bool marksPartial = false;     // the last mark fill stopped early
    bool nodeMarksBehind = false;  // ... and left its marks in the packed copies only

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
    std::vector<PackedTrimFrame> packedTrimStack;
    std::vector<MapNode*> changedOwners;  // nodes whose border lists a restore changed
};

// The colour pairs of the shake (rows 0..5) and of the prepared swaps (rows 6..11).
inline constexpr ColourCode colourPairs[12][2] = {
    {colourR, colourG}, {colourG, colourR}, {colourG, colourY}, {colourY, colourG}, {colourY, colourR}, {colourR, colourY},
    {colourG, colourY}, {colourY, colourG}, {colourY, colourR}, {colourR, colourY}, {colourR, colourG}, {colourG, colourR},
};

}  // namespace orvane
