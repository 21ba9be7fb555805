// The batch run: a range of consecutive seeds built and fully coloured with one
// node count, counted, timed and recorded in a run log.
#include "runs/batch.h"
#include <cerrno>
#include <memory>
#include <thread>
#include "platform/platform.h"
#include "runs/batchworkers.h"
#include "runs/runlog.h"
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

Clock platformClock()
{
    return [] { return clockMillis(); };
}

// Where the results of the run's maps come from, in seed order: this thread,
// or the worker threads.
class MapSource {
public:
    MapSource(const BatchSettings& s)
        : settings_(s), clock_(s.workerClock ? s.workerClock() : platformClock()), colouring_(map_, clock_, s.paths)
    {
        if (s.jobs > 1)
            workers_ = std::make_unique<BatchWorkers>(s.firstSeed, s.maps, s.nodes, s.jobs, s.paths,
                                                      s.workerClock ? s.workerClock : ClockFactory(platformClock));
    }

    BatchMap next(uint32_t seed)
    {
        if (workers_) return workers_->next();
        const BatchMap m = colourBatchMap(map_, colouring_, seed, settings_.nodes, clock_);
        map_.release();
        return m;
    }

private:
    const BatchSettings& settings_;
    Map map_;
    Clock clock_;
    Colouring colouring_;
    std::unique_ptr<BatchWorkers> workers_;
};

void showCounter(BatchTexts& texts, BatchListener* listener, int slot, uint32_t value)
{
    copyText(texts.counterText[slot], 16, decimalText(static_cast<int32_t>(value)));
    if (listener) listener->counterChanged(slot);
}
}  // namespace

BatchMap colourBatchMap(Map& map, Colouring& colouring, uint32_t seed, int32_t nodes, const Clock& clock)
{
    const uint32_t t0 = clock();
    map.build(seed, nodes, {colouring.paths()});
    const uint32_t t1 = clock();
    colouring.restart();
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
    const uint64_t seconds = (uint64_t{elapsedMs} + 500) / 1000;
    copyText(texts.batchTotalTime, batchTextUnits,
             bs::totalTime + padded(static_cast<int64_t>(seconds / 60), 2, u'0') + bs::minutes +
                 padded(static_cast<int64_t>(seconds % 60), 2, u'0') + bs::seconds);
    copyText(texts.batchMapTime, batchTextUnits,
             bs::mapTime + padded(static_cast<int32_t>(mapMs), 8, u' ') + bs::milliseconds);
    copyText(texts.batchColourTime, batchTextUnits,
             bs::colourTime + padded(static_cast<int32_t>(colourMs), 8, u' ') + bs::milliseconds);
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
    MapSource source(settings);
    uint32_t counts[2] = {0, 0};
    for (int32_t i = 0; i < settings.maps && !out.logError; ++i) {
        const uint32_t seed = settings.firstSeed + static_cast<uint32_t>(i);
        // A map is built only once its line is safely in the log.
        if ((out.logError = log.mapStarted(seed))) break;
        const BatchMap m = source.next(seed);
        out.mapMs += m.mapMs;
        out.colourMs += m.colourMs;
        const int slot = m.result == 0 ? 0 : 1;
        showCounter(texts, listener, slot, ++counts[slot]);
        out.logError = log.mapFinished(seed, m.result, i + 1 == settings.maps);
        out.mapsDone = i + 1;
        if (listener)
            listener->mapDone({i + 1, settings.maps, counts[0], counts[1], batchElapsed(start, runClock())});
    }
    out.successes = counts[0];
    out.failures = counts[1];
    out.elapsedMs = batchElapsed(start, runClock());
    formatBatchTimes(texts, out.elapsedMs, out.mapMs, out.colourMs);
    if (out.logError) {
        log.close();
        return out;
    }
    out.logError = log.summary(settings.maps, texts);
    out.completed = out.logError == 0;
    return out;
}

}  // namespace orvane
