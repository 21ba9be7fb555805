// The run's side of a batch: the run log's lines, the counters and the
// progress after each map, and the end of the run.
#include "runs/runlogwriter.h"
#include "runs/texts.h"

namespace orvane {

RunLogWriter::RunLogWriter(const BatchSettings& s, RunLog& log, BatchListener* listener, const Clock& runClock,
                           uint32_t start)
    : settings_(s), log_(log), listener_(listener), runClock_(runClock), start_(start)
{
}

int RunLogWriter::mapStarting(uint32_t seed) { return log_.mapStarted(seed); }

int RunLogWriter::mapDone(int64_t index, uint32_t seed, const BatchMap& map, const BatchTally& tally)
{
    const int slot = map.result == 0 ? 0 : 1;
    const uint64_t counted = slot == 0 ? tally.successes : tally.failures;
    if (listener_) listener_->counterChanged(slot, static_cast<uint32_t>(counted));
    const int error = log_.mapFinished(seed, map.result, index + 1 == settings_.maps);
    if (listener_)
        listener_->mapDone({index + 1, settings_.maps, static_cast<uint32_t>(tally.successes),
                            static_cast<uint32_t>(tally.failures), batchElapsed(start_, runClock_())});
    return error;
}

BatchOutcome closeBatchRun(const BatchSettings& settings, RunLog& log, BatchTexts& texts, const MapLoopEnd& end,
                           uint32_t elapsedMs, bool stopped, BatchOutcome out)
{
    out.logError = end.error;
    out.mapsDone = static_cast<int32_t>(end.mapsDone);
    out.successes = static_cast<uint32_t>(end.tally.successes);
    out.failures = static_cast<uint32_t>(end.tally.failures);
    // The run's sums wrap as 32-bit sums do.
    out.mapMs = static_cast<uint32_t>(end.tally.mapMs);
    out.colourMs = static_cast<uint32_t>(end.tally.colourMs);
    out.elapsedMs = elapsedMs;
    formatBatchTimes(texts, out.elapsedMs, out.mapMs, out.colourMs);
    if (out.logError || stopped) {
        log.close();
        return out;
    }
    out.logError = log.summary(settings.maps, texts);
    out.completed = out.logError == 0;
    return out;
}

}  // namespace orvane
