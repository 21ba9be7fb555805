// The batch run: a range of consecutive seeds built and fully coloured with one
// node count, on one or more worker threads, counted, timed and recorded in a
// run log exactly as one sequential run records it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "engine/colouring.h"
#include "map/map.h"

namespace orvane {

inline constexpr int32_t mostBatchMaps = 1000000;

// Texts of the batch page, written by the batch run and painted by the view.
inline constexpr int batchTextUnits = 64;
struct BatchTexts {
    char16_t counterText[2][16] = {};  // successes, failures
    char16_t batchHeader[batchTextUnits] = {};
    char16_t batchSeedRange[batchTextUnits] = {};
    char16_t batchTotalTime[batchTextUnits] = {};
    char16_t batchMapTime[batchTextUnits] = {};
    char16_t batchColourTime[batchTextUnits] = {};
};

// One map of a batch: seeded, built and fully coloured, with its timings.
struct BatchMap {
    uint16_t result = 0;  // 0 for a correct colouring, else the first failing node
    uint32_t mapMs = 0;
    uint32_t colourMs = 0;
};
// Leaves the map built; the caller releases it.
BatchMap colourBatchMap(Map& map, Colouring& colouring, uint32_t seed, int32_t nodes, const Clock& clock);

struct BatchProgress {
    int64_t done = 0, total = 0;
    uint32_t successes = 0, failures = 0;
    uint32_t elapsedMs = 0;
};

// What the window (or the companion) learns while a batch runs, on the
// thread that called runBatch.
class BatchListener {
public:
    // The counter of slot 0 (successes) or 1 (failures) has a new text.
    virtual void counterChanged(int slot) = 0;
    // After each map, in seed order.
    virtual void mapDone(const BatchProgress& progress) { (void)progress; }

protected:
    ~BatchListener() = default;
};

// Each worker's clock, for its timings and the engine's 10-second limit.
using ClockFactory = std::function<Clock()>;

struct BatchSettings {
    uint32_t firstSeed = 0;
    int32_t nodes = leastNodes;   // clamped to 3..10000 by the caller
    int32_t maps = 1;             // clamped to 1..1000000 by the caller
    int jobs = 1;                 // worker threads; 1 runs the maps on the calling thread
    Paths paths = Paths::fast;
    ClockFactory workerClock;     // unset: the platform's millisecond clock
    Clock runClock;               // the run's start and end; unset: the platform's clock
    std::u16string logPath;       // the run log to create
};

struct BatchOutcome {
    bool logCreated = false;
    bool completed = false;            // every map ran and the summary was written
    int logError = 0;                  // the error that stopped the run (0: none)
    std::u16string logPath;            // the run log, or the file or folder that failed
    int32_t mapsDone = 0;
    uint32_t successes = 0, failures = 0;
    uint32_t mapMs = 0, colourMs = 0;  // summed, wrapping as 32-bit sums do
    uint32_t elapsedMs = 0;
};

class RunLog;

// Creates the run log at settings.logPath (or the first free name beside it),
// runs the maps in seed order and writes the summary. When the log cannot be
// created nothing is built; when a write to it fails the run stops there.
BatchOutcome runBatch(const BatchSettings& settings, BatchTexts& texts, BatchListener* listener);
// The same with a run log the caller has created.
BatchOutcome runBatch(const BatchSettings& settings, RunLog& log, BatchTexts& texts, BatchListener* listener);

// The header and seed range lines of the batch page.
void formatBatchHeader(BatchTexts& texts, int32_t nodes, int32_t maps, uint32_t firstSeed);
// The three time lines of the finished batch page.
void formatBatchTimes(BatchTexts& texts, uint32_t elapsedMs, uint32_t mapMs, uint32_t colourMs);
// The number of worker threads a batch uses when nothing else is said: the cores (at most 64).
int defaultBatchJobs();
// Milliseconds from start to now on the wrapping clock.
uint32_t batchElapsed(uint32_t start, uint32_t now);

}  // namespace orvane
