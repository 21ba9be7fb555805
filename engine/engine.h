// The colouring engine: phase machine globals, the driver and the Kempe-chain toolkit.
#pragma once
#include <cstdint>
#include "map/map.h"

// Phase to run next: 0..8, or 255 once the colouring is finished.
enum : uint8_t {
    phasePrepare = 0, phaseGrow = 1, phaseLocate = 2, phaseFreePivot = 3, phaseWalkPath = 4,
    phaseClearCursor = 5, phaseShake = 6, phaseComplete = 7, phaseVerify = 8, phaseFinished = 255
};
extern uint8_t EnginePhase;
inline bool engineFinished() { return static_cast<int8_t>(EnginePhase) < 0; }

extern uint8_t growthDone;
extern MapNode* ringEntry;
extern MapNode* candidate;
extern MapNode* arcFirst;
extern MapNode* arcLast;
extern MapNode* pivot;
extern MapNode* pathHead;
extern MapNode* pathTail;
extern MapNode* pathCursor;
extern uint8_t pathFlag;
extern int8_t fillFrom;
extern int8_t fillTo;

inline constexpr uint32_t engineTimeLimitMs = 10000;
extern const char16_t successText[];
extern const char16_t failureText[];

// Driver.
uint16_t engineStep(bool runToEnd);
void resetEngine(bool clearColours);
void clearColouring();        // the clear-colouring command sequence

// Phase routines, each returning the small code the transition table reads.
int prepareColouring();
void deferNodes();
int growRing();
bool findContactArc(MapNode* node, MapNode** first, MapNode** last);
int locateBlocker();
int freePivot();
bool trySwapPivot(int i);
int walkPath();
bool reroutePath(MapNode* s);
bool recolourCursor();
int clearCursor();
void shakePivot();
int completeColouring();
void restoreDeferred();
uint16_t verifyColouring();

// Shared by the phases: puts a node into the ring between the arc ends.
void insertIntoRing(MapNode* node, MapNode* first, MapNode* last);
void countContact(MapNode* n);  // one more coloured neighbour
void startFrontier();           // after the start triangle is counted
bool arcFirstSideHasMark(int8_t mark);
bool arcLastSideHasMark(int8_t mark);

// Scratch fields, cleared "on every node": between preparation and completion
// the fast paths clear only the nodes that were given a value (identical state).
void beginScratchTracking();
void endScratchTracking();
bool scratchTracking();
int nodeListPosition(const MapNode* n);  // while tracking
void clearVisited();
void noteVisited(MapNode* n);
void clearSwapCursors();
void noteSwapCursor(MapNode* n);

// Kempe-chain toolkit.
extern const int8_t colourPairs[12][2];
void markChain(MapNode* s, int8_t t);
void swapChain(MapNode* s, int8_t t);
void swapMarkedChain(MapNode* s, int8_t t);  // swapChain(s, t) right after markChain(s, t)
// The direct swaps' markings: markDirectChain(c) marks the pivot's (4,c) chain
// and tells which sides of the arc it reaches (with eitherSideEnds, reaching
// either side is all the caller needs to know); rememberMarkedChain keeps the
// marks of a chain that swapRememberedChain swaps later, colours unchanged.
enum DirectMark { reachesArcFirst, reachesArcLast, reachesArcSide, avoidsArc };
void beginDirectSwaps();
DirectMark markDirectChain(int8_t c, bool eitherSideEnds);
void rememberMarkedChain();
void swapRememberedChain(MapNode* s, int8_t t);
bool chainMarksComplete();  // false while the last marking stopped early
void unmarkArcChains(int8_t k);
void unmarkFrom(MapNode* start);  // unmark fill from one start node with the current pair
void recolourMarked(int8_t c, int8_t m, int8_t t);
void recolourAnyMarked(int8_t c, int8_t t);  // as recolourMarked, for any non-zero mark
void trimChain(MapNode* start);
