// The colouring engine's public face: one colouring of one map, stepped one
// visible phase at a time or run to the end under the 10-second limit.
//
// Ownership: a colouring holds its map through std::shared_ptr<const Map>, so
// the map lives at least as long as the colouring, and a built map never
// changes. Everything the colouring changes (colours, the ring, the path, the
// chain marks, which nodes are set aside, its own border lists and node-list
// order) belongs to the colouring alone. So any number of colourings of one
// map may exist at once and be stepped in any order, each on its own thread;
// one colouring is used by one thread at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include "map/map.h"

namespace orvane {

// The phase to run next; `finished` once the colouring is over.
enum class Phase : uint8_t {
    prepare = 0, grow = 1, locate = 2, freePivot = 3, walkPath = 4,
    clearCursor = 5, shake = 6, complete = 7, verify = 8, finished = 255
};
// Tested as a signed 8-bit value: 255, and any value from 128 up, is finished.
inline bool isFinished(Phase p) { return static_cast<int8_t>(p) < 0; }

// What a view or a trace reads of the engine between two steps. Nodes are
// indices into the colouring's map (noNode when unset).
struct EngineState {
    Phase EnginePhase = Phase::prepare;
    bool growthDone = false;  // growth ran out of candidates; the boundary needed its colour-4 clean-up
    NodeIndex ringEntry = noNode;
    NodeIndex candidate = noNode;
    NodeIndex arcFirst = noNode;
    NodeIndex arcLast = noNode;
    NodeIndex pivot = noNode;
    NodeIndex pathHead = noNode;
    NodeIndex pathTail = noNode;
    NodeIndex pathCursor = noNode;
    bool pathFlag = false;    // the path walk found no move at pathCursor
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
    bool ran = false;       // false: an empty map, or the colouring had finished already
    bool verified = false;  // verification ran in this call, and result is its result
    bool finished = false;  // the colouring is over
    uint16_t result = 0;    // 0, or the number of the first node that failed verification
};

class ColouringWork;

class Colouring {
public:
    // A fresh colouring of `map` (a null map counts as the empty map); the
    // clock serves the time limit.
    explicit Colouring(std::shared_ptr<const Map> map, Clock clock = steadyClock(), Paths paths = Paths::fast);
    ~Colouring();
    Colouring(const Colouring&) = delete;
    Colouring& operator=(const Colouring&) = delete;

    // One press of step colouring (runToEnd false), or a run to the end.
    StepReport step(bool runToEnd);
    uint16_t run() { return step(true).result; }
    // A fresh colouring of the same map, as a new Colouring would start.
    void restart();
    // A fresh colouring of another map; the working storage is kept, so a
    // batch worker allocates nothing per map once it has coloured its largest.
    void restart(std::shared_ptr<const Map> map);
    // Drops the engine's references; with clearColours also every colour,
    // contact count and path mark.
    void reset(bool clearColours);
    // The clear colouring command: phase 0, colours cleared, set-aside nodes
    // restored. The node list keeps the order completion gave it.
    void clear();

    bool finished() const;
    Phase phase() const;
    const EngineState& state() const;
    const Map& map() const { return *map_; }
    const std::shared_ptr<const Map>& sharedMap() const { return map_; }
    // The verification rules over the colouring as it stands: 0, or the first failing node.
    uint16_t verify() const;

    void setClock(Clock clock);
    Paths paths() const;
    void setPaths(Paths paths);

    // The colouring as it stands, by node index: what the view, the trace and
    // the export read between steps.
    ColourCode colour(NodeIndex v) const;
    ColourCode colourOf(int number) const;  // colourNone for a number not in the map
    NodeIndex ringNext(NodeIndex v) const;
    NodeIndex pathPrev(NodeIndex v) const;
    // The node list: the nodes not set aside, in the colouring's order.
    NodeIndex firstListed() const;
    NodeIndex nextListed(NodeIndex v) const;
    // The node's current borders in list order (the ones to set-aside nodes parked).
    std::span<const NodeIndex> links(NodeIndex v) const;

private:
    friend struct ColouringAccess;  // the engine's tests reach the parts through it (engine/work.h)

    std::shared_ptr<const Map> map_;
    std::unique_ptr<ColouringWork> work_;
};

}  // namespace orvane
