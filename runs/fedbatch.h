// A batch run whose maps are coloured elsewhere: a web page colours them in
// workers of its own and hands the results over in seed order. They are
// counted, shown and written to the run log exactly as runBatch does with the
// maps it colours itself, so both runs leave the same log, times aside.
#pragma once
#include <cstdint>
#include <memory>
#include "runs/batch.h"

namespace orvane {

class RunLog;
class RunLogWriter;

class FedBatchRun {
public:
    // `log` is created and open; settings, log, texts and listener outlive the run.
    FedBatchRun(const BatchSettings& settings, RunLog& log, BatchTexts& texts, BatchListener* listener);
    ~FedBatchRun();
    FedBatchRun(const FedBatchRun&) = delete;
    FedBatchRun& operator=(const FedBatchRun&) = delete;

    // Writes the in-progress line of the first seed: 0, or the log's error
    // (the run is over then).
    int start();
    // The result of the seed awaited (firstSeed + mapsDone()); writes its line
    // and the next map's in-progress line. 0, or the log's error (the run is
    // over then). Results after the end are ignored.
    int mapDone(const BatchMap& map);

    int64_t mapsDone() const { return end_.mapsDone; }
    // Every map has its result, or an error stopped the run.
    bool over() const;
    // Ends the run: with every map done the summary is written; before that
    // (the page stopped it, or the log failed) the log stays as a killed run
    // leaves it, naming the map in progress.
    BatchOutcome finish();

private:
    const BatchSettings& settings_;
    RunLog& log_;
    BatchTexts& texts_;
    Clock runClock_;
    uint32_t start_ = 0;
    std::unique_ptr<RunLogWriter> writer_;
    MapLoopEnd end_;
    BatchOutcome outcome_;
};

}  // namespace orvane
