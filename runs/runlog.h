// The batch run's pieces that the companion and a parallel run reuse: the run
// log writer, the work on one map, the time texts and the progress hook.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include "platform/platform.h"

// Folder in which the Log_YYYY folder is made; empty: beside the executable.
extern std::u16string runLogParent;
// Path of the run log the last batch run created; empty when it could not.
extern std::u16string runLogPath;

// The run log of one batch run. Every write is flushed at once and leaves the
// file made of whole lines: the error lines so far, then one in-progress line
// (or, once the run is over, the first-seed line and the summary).
struct RunLog {
    FILE* file;
    uint32_t firstSeed;
    int32_t nodes;
    long position;    // where the line of the map in progress starts
    long summaryAt;   // where the first-seed line goes when the run ends
    long lineBytes;   // length of an in-progress line without its line end
};

// The file's path from the start time and the normalised count texts; empty
// when it cannot be built (executable path unknown or too long).
std::u16string runLogFilePath(const LocalTime& start, const char16_t* nodeText, const char16_t* mapText);
// Creates the folder and the file; false when the file cannot be opened.
bool createRunLog(RunLog& log, const std::u16string& path, uint32_t firstSeed, int32_t nodes);
// The in-progress line of this seed, flushed before the map is built.
void logMapStarted(RunLog& log, uint32_t seed);
// Ends the map's line: a line end after success, the error line after failure.
void logMapFinished(RunLog& log, uint32_t seed, uint16_t result, bool lastMap);
// The first-seed line and the summary from the batch time texts; closes the log.
void logSummary(RunLog& log, int32_t mapCount);

// One map of a batch: seeded, built and fully coloured, with its timings.
struct BatchMap {
    uint16_t result;    // 0 for a correct colouring, else the first failing node
    uint32_t mapMs;
    uint32_t colourMs;
};
// Leaves the map in place; the caller releases it.
BatchMap colourBatchMap(uint32_t seed, int32_t nodes);

// Milliseconds from start to now on the wrapping clock.
uint32_t batchElapsed(uint32_t start, uint32_t now);
// batchTotalTime, batchMapTime and batchColourTime.
void formatBatchTimes(uint32_t elapsedMs, uint32_t mapMs, uint32_t colourMs);

// Called after each map of a batch run (not set: nothing is called).
struct BatchProgress {
    int32_t done, total;
    uint32_t successes, failures;
    uint32_t elapsedMs;
};
using BatchProgressFunction = void (*)(const BatchProgress& progress);
extern BatchProgressFunction batchProgress;

// Where the maps of a batch come from. Unset, each map is built and coloured
// in turn; the companion can hand in results that workers computed for the same
// seeds, and the run then writes exactly the same log and counters.
struct BatchMapSource {
    void (*start)(uint32_t firstSeed, int32_t maps, int32_t nodes);
    BatchMap (*next)(uint32_t seed);  // waits for the result of this seed
    void (*stop)();
};
extern const BatchMapSource* batchMapSource;
