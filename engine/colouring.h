// The colouring engine's public face: one colouring of one map, stepped one
// visible phase at a time or run to the end under the 10-second limit.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include "map/map.h"

namespace orvane {

// The phase to run next; `finished` once the colouring is over.
enum class Phase : uint8_t {
    prepare = 0, grow = 1, locate = 2, freePivot = 3, walkPath = 4,
    clearCursor = 5, shake = 6, complete = 7, verify = 8, finished = 255
};
// Tested as a signed 8-bit value: 255, and any value from 128 up, is finished.
inline bool isFinished(Phase p) { return static_cast<int8_t>(p) < 0; }

// What a view or a trace reads of the engine between two steps. The node
// references point into the bound map and are null when unset.
struct EngineState {
    Phase EnginePhase = Phase::prepare;
    uint8_t growthDone = 0;   // growth ran out of candidates; the boundary needed its colour-4 clean-up
    MapNode* ringEntry = nullptr;
    MapNode* candidate = nullptr;
    MapNode* arcFirst = nullptr;
    MapNode* arcLast = nullptr;
    MapNode* pivot = nullptr;
    MapNode* pathHead = nullptr;
    MapNode* pathTail = nullptr;
    MapNode* pathCursor = nullptr;
    uint8_t pathFlag = 0;     // the path walk found no move at pathCursor
    ColourCode fillFrom = colourNone;
    ColourCode fillTo = colourNone;
};

// A millisecond clock that may wrap after 2^32 ms. Clocks are copied: copies
// must read the same clock (a test clock keeps its state where they share it).
using Clock = std::function<uint32_t()>;
Clock steadyClock();
inline constexpr uint32_t engineTimeLimitMs = 10000;

// What one call of step did. The caller applies the display effects: the
// status text when verification ran, and the buttons and a repaint when the
// step ran at all.
struct StepReport {
    bool ran = false;       // false: no map, or the colouring had finished already
    bool verified = false;  // verification ran in this call, and result is its result
    bool finished = false;  // the colouring is over
    uint16_t result = 0;    // 0, or the number of the first node that failed verification
};

struct Engine;

class Colouring {
public:
    // Bound to one map for its whole life; the clock serves the time limit.
    explicit Colouring(Map& map, Clock clock = steadyClock(), Paths paths = Paths::fast);
    ~Colouring();
    Colouring(const Colouring&) = delete;
    Colouring& operator=(const Colouring&) = delete;

    // One press of step colouring (runToEnd false), or a run to the end.
    StepReport step(bool runToEnd);
    uint16_t run() { return step(true).result; }
    // A new colouring of the map as it stands: phase 0, references dropped.
    void restart();
    // Drops the references; with clearColours also every colour, contact count and path mark.
    void reset(bool clearColours);
    // The clear colouring command: phase 0, colours cleared, set-aside nodes restored.
    void clear();

    bool finished() const;
    Phase phase() const;
    const EngineState& state() const;
    Map& map() const;
    // The verification rules over the map as it stands: 0, or the first failing node.
    uint16_t verify() const;

    void setClock(Clock clock);
    Paths paths() const;
    void setPaths(Paths paths);

    // The engine's internals (engine/internal.h), for the tests.
    Engine& engine();

private:
    std::unique_ptr<Engine> engine_;
};

}  // namespace orvane
