// A batch run fed with results in seed order: the same steps as the loop of
// runMapRange, one map at a time.
#include "runs/fedbatch.h"
#include <cerrno>
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/runlogwriter.h"

namespace orvane {

FedBatchRun::FedBatchRun(const BatchSettings& settings, RunLog& log, BatchTexts& texts, BatchListener* listener)
    : settings_(settings), log_(log), texts_(texts),
      runClock_(settings.runClock ? settings.runClock : platformClock())
{
    outcome_.logPath = log.path();
    outcome_.logCreated = log.isOpen();
    start_ = runClock_();
    writer_ = std::make_unique<RunLogWriter>(settings_, log_, listener, runClock_, start_);
}

FedBatchRun::~FedBatchRun() = default;

bool FedBatchRun::over() const { return end_.error != 0 || end_.mapsDone >= settings_.maps; }

int FedBatchRun::start()
{
    if (!outcome_.logCreated) return end_.error = EBADF;
    return end_.error = writer_->mapStarting(settings_.firstSeed);
}

int FedBatchRun::mapDone(const BatchMap& m)
{
    if (over()) return end_.error;
    const int64_t i = end_.mapsDone;
    const uint32_t seed = settings_.firstSeed + static_cast<uint32_t>(i);
    BatchTally& tally = end_.tally;
    tally.mapMs += m.mapMs;
    tally.colourMs += m.colourMs;
    ++(m.result == 0 ? tally.successes : tally.failures);
    end_.mapsDone = i + 1;
    if ((end_.error = writer_->mapDone(i, seed, m, tally))) return end_.error;
    if (end_.mapsDone < settings_.maps) end_.error = writer_->mapStarting(seed + 1);
    return end_.error;
}

BatchOutcome FedBatchRun::finish()
{
    const uint32_t elapsed = batchElapsed(start_, runClock_());
    return closeBatchRun(settings_, log_, texts_, end_, elapsed, end_.mapsDone < settings_.maps, outcome_);
}

}  // namespace orvane
