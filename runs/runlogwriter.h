// The run's side of a batch: what happens around each map in seed order (the
// run log's lines, the counters, the progress) and at the end of the run.
// runBatch drives it with the maps it colours itself, FedBatchRun with maps
// coloured elsewhere.
#pragma once
#include <cstdint>
#include "runs/batch.h"
#include "runs/runlog.h"

namespace orvane {

class RunLogWriter final : public MapVisitor {
public:
    RunLogWriter(const BatchSettings& s, RunLog& log, BatchListener* listener, const Clock& runClock, uint32_t start);

    // A map is built only once its line is safely in the log.
    int mapStarting(uint32_t seed) override;
    int mapDone(int64_t index, uint32_t seed, const BatchMap& map, const BatchTally& tally) override;

private:
    const BatchSettings& settings_;
    RunLog& log_;
    BatchListener* listener_;
    const Clock& runClock_;
    const uint32_t start_;
};

// The outcome of a run whose maps ended as `end` says, with its time lines.
// After every map the summary is written; after an error, or when the run was
// stopped, the log is closed where it stands, as a killed run leaves it.
BatchOutcome closeBatchRun(const BatchSettings& settings, RunLog& log, BatchTexts& texts, const MapLoopEnd& end,
                           uint32_t elapsedMs, bool stopped, BatchOutcome out);

}  // namespace orvane
