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

// The texts of a batch run that its page shows and its run log ends with.
inline constexpr int batchTextUnits = 64;
struct BatchTexts {
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
// Builds the map with `builder` and colours it with `colouring`, which
// keeps it until its next restart.
BatchMap colourBatchMap(MapBuilder& builder, Colouring& colouring, uint32_t seed, int32_t nodes, const Clock& clock);

struct BatchProgress {
    int64_t done = 0, total = 0;
    uint32_t successes = 0, failures = 0;
    uint32_t elapsedMs = 0;
};

// What the window (or the companion) learns while a batch runs, on the
// thread that called runBatch.
class BatchListener {
public:
    // The counter of slot 0 (successes) or 1 (failures) has counted one more map.
    virtual void counterChanged(int slot, uint32_t count) = 0;
    // After each map, in seed order.
    virtual void mapDone(const BatchProgress& progress) { (void)progress; }

protected:
    ~BatchListener() = default;
};

// Each worker's clock, for its timings and the engine's 10-second limit.
using ClockFactory = std::function<Clock()>;

// Counts and time sums of the maps run so far, exact in 64 bits.
struct BatchTally {
    uint64_t successes = 0, failures = 0;
    uint64_t mapMs = 0, colourMs = 0;
};

// Consecutive seeds (wrapping past ffffffff) of one node count, and how to colour them.
struct MapRange {
    uint32_t firstSeed = 0;
    int64_t maps = 0;  // up to 2^32
    int32_t nodes = leastNodes;
    int jobs = 1;      // worker threads; 1 runs the maps on the calling thread
    Paths paths = Paths::fast;
    ClockFactory workerClock;  // unset: the platform's millisecond clock
};

// What the loop over a range does around each map, in seed order. Each call
// gives 0, or an error number that stops the loop there.
class MapVisitor {
public:
    // Before the map is built; on worker threads it may be built already.
    virtual int mapStarting(uint32_t seed)
    {
        (void)seed;
        return 0;
    }
    // Its result, with the tally that counts it.
    virtual int mapDone(int64_t index, uint32_t seed, const BatchMap& map, const BatchTally& tally) = 0;

protected:
    ~MapVisitor() = default;
};

struct MapLoopEnd {
    BatchTally tally;
    int64_t mapsDone = 0;
    int error = 0;  // the visitor's error that stopped the loop (0: every map ran)
};

// Builds and colours the maps of the range in seed order (on worker threads
// when range.jobs > 1, each with its own clock) and shows each to the visitor.
MapLoopEnd runMapRange(const MapRange& range, MapVisitor& visitor);

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
// The same lines for a run put together from shards: the total time from a
// 64-bit count and the sums as given (formatBatchTimes shows them as signed
// 32-bit numbers).
void formatMergedBatchTimes(BatchTexts& texts, uint64_t elapsedMs, int64_t mapMs, int64_t colourMs);
// The same with the sums exact, as large as 64 bits unsigned take them.
void formatExactBatchTimes(BatchTexts& texts, uint64_t elapsedMs, uint64_t mapMs, uint64_t colourMs);
// The number of worker threads a batch uses when nothing else is said: the cores (at most 64).
int defaultBatchJobs();
// Milliseconds from start to now on the wrapping clock.
uint32_t batchElapsed(uint32_t start, uint32_t now);

}  // namespace orvane
