// The batch run: a range of consecutive seeds built and fully coloured with one
// node count, counted, timed and recorded in a run log.
#include "runs/batch.h"
#include <cerrno>
#include <memory>
#include <thread>
#include "platform/platform.h"
#include "runs/batchworkers.h"
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/runlogwriter.h"
#include "runs/strings.h"
#include "runs/texts.h"

namespace orvane {

namespace bs = batchstrings;

namespace {
std::u16string padded(int64_t value, size_t width, char16_t with)
{
    std::u16string d = decimalText(value);
    while (d.size() < width) d = with + d;
    return d;
}

// Where the results of a range's maps come from, in seed order: this
// thread, or the worker threads.
class MapSource {
public:
    explicit MapSource(const MapRange& r)
        : range_(r), clock_(r.workerClock ? r.workerClock() : platformClock()), colouring_(nullptr, clock_, r.paths)
    {
        if (r.jobs > 1)
            workers_ = std::make_unique<BatchWorkers>(r.firstSeed, r.maps, r.nodes, r.jobs, r.paths,
                                                      r.workerClock ? r.workerClock : ClockFactory(platformClock));
    }

    BatchMap next(uint32_t seed)
    {
        if (workers_) return workers_->next();
        return colourBatchMap(builder_, colouring_, seed, range_.nodes, clock_);
    }

private:
    const MapRange& range_;
    MapBuilder builder_;
    Clock clock_;
    Colouring colouring_;
    std::unique_ptr<BatchWorkers> workers_;
};

std::u16string sumText(int64_t ms) { return padded(ms, 8, u' '); }
}  // namespace

BatchMap colourBatchMap(MapBuilder& builder, Colouring& colouring, uint32_t seed, int32_t nodes, const Clock& clock)
{
    const uint32_t t0 = clock();
    std::shared_ptr<const Map> map = builder.build(seed, nodes, {colouring.paths()});
    const uint32_t t1 = clock();
    colouring.restart(std::move(map));
    const uint16_t result = colouring.run();
    const uint32_t t2 = clock();
    return {result, t1 - t0, t2 - t1};
}

int defaultBatchJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores > 64 ? 64 : cores);
}

uint32_t batchElapsed(uint32_t start, uint32_t now)
{
    return now >= start ? now - start : 0xFFFFFFFFu - start + now;
}

void formatBatchHeader(BatchTexts& texts, int32_t nodes, int32_t maps, uint32_t firstSeed)
{
    copyText(texts.batchHeader, batchTextUnits,
             bs::nodesOpen + decimalText(nodes) + bs::mapsOpen + decimalText(maps) + bs::close);
    const uint32_t last = firstSeed + static_cast<uint32_t>(maps) - 1;
    copyText(texts.batchSeedRange, batchTextUnits,
             bs::seedRangeOpen + seedDigits(firstSeed) + bs::seedRangeTo + seedDigits(last) + bs::seedRangeClose);
}

void formatBatchTimes(BatchTexts& texts, uint32_t elapsedMs, uint32_t mapMs, uint32_t colourMs)
{
    formatMergedBatchTimes(texts, elapsedMs, static_cast<int32_t>(mapMs), static_cast<int32_t>(colourMs));
}

namespace {
void formatTimeLines(BatchTexts& texts, uint64_t elapsedMs, const std::u16string& mapSum, const std::u16string& colourSum)
{
    const uint64_t seconds = elapsedMs / 1000 + (elapsedMs % 1000 >= 500 ? 1 : 0);
    copyText(texts.batchTotalTime, batchTextUnits,
             bs::totalTime + padded(static_cast<int64_t>(seconds / 60), 2, u'0') + bs::minutes +
                 padded(static_cast<int64_t>(seconds % 60), 2, u'0') + bs::seconds);
    copyText(texts.batchMapTime, batchTextUnits, bs::mapTime + mapSum + bs::milliseconds);
    copyText(texts.batchColourTime, batchTextUnits, bs::colourTime + colourSum + bs::milliseconds);
}

std::u16string exactSumText(uint64_t ms)
{
    std::u16string digits;
    do digits.insert(digits.begin(), static_cast<char16_t>(u'0' + ms % 10));
    while ((ms /= 10) != 0);
    while (digits.size() < 8) digits.insert(digits.begin(), u' ');
    return digits;
}
}  // namespace

void formatMergedBatchTimes(BatchTexts& texts, uint64_t elapsedMs, int64_t mapMs, int64_t colourMs)
{
    formatTimeLines(texts, elapsedMs, sumText(mapMs), sumText(colourMs));
}

void formatExactBatchTimes(BatchTexts& texts, uint64_t elapsedMs, uint64_t mapMs, uint64_t colourMs)
{
    formatTimeLines(texts, elapsedMs, exactSumText(mapMs), exactSumText(colourMs));
}

MapLoopEnd runMapRange(const MapRange& range, MapVisitor& visitor)
{
    MapLoopEnd end;
    MapSource source(range);
    BatchTally& tally = end.tally;
    for (int64_t i = 0; i < range.maps; ++i) {
        const uint32_t seed = range.firstSeed + static_cast<uint32_t>(i);
        if ((end.error = visitor.mapStarting(seed))) break;
        const BatchMap m = source.next(seed);
        tally.mapMs += m.mapMs;
        tally.colourMs += m.colourMs;
        ++(m.result == 0 ? tally.successes : tally.failures);
        end.mapsDone = i + 1;
        if ((end.error = visitor.mapDone(i, seed, m, tally))) break;
    }
    return end;
}

BatchOutcome runBatch(const BatchSettings& settings, BatchTexts& texts, BatchListener* listener)
{
    RunLog log;
    if (const int e = log.create(settings.logPath, settings.firstSeed, settings.nodes)) {
        BatchOutcome out;
        out.logError = e;
        out.logPath = log.path();
        return out;
    }
    return runBatch(settings, log, texts, listener);
}

BatchOutcome runBatch(const BatchSettings& settings, RunLog& log, BatchTexts& texts, BatchListener* listener)
{
    BatchOutcome out;
    out.logPath = log.path();
    out.logCreated = log.isOpen();
    if (!out.logCreated) {
        out.logError = EBADF;
        return out;
    }
    const Clock runClock = settings.runClock ? settings.runClock : platformClock();
    const uint32_t start = runClock();
    const MapRange range{settings.firstSeed, settings.maps, settings.nodes, settings.jobs, settings.paths,
                         settings.workerClock};
    RunLogWriter writer(settings, log, listener, runClock, start);
    const MapLoopEnd end = runMapRange(range, writer);
    return closeBatchRun(settings, log, texts, end, batchElapsed(start, runClock()), false, out);
}

}  // namespace orvane
