// Batch runs from Python on the library's batch workers: with a run log
// (runBatch), or every map's result and times without one (runMapRange).
// Progress calls and Ctrl-C are taken on the calling thread between maps.
#include <cerrno>
#include <chrono>

#include <pybind11/stl.h>

#include "module.h"
#include "platform/platform.h"
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace orvane::python {

namespace {

// Thrown through the library's batch run to end it early; the run unwinds
// as a stopped run does (its workers joined, its log left as a killed run
// leaves it).
struct BatchStopped {};

// Progress calls and Ctrl-C, from the thread that runs the batch, at most
// every `intervalMs` and after the last map. Called with the GIL let go and
// no lock of the module held.
class PythonProgress {
public:
    PythonProgress(py::object callback, int intervalMs) : callback_(std::move(callback)), intervalMs_(intervalMs) {}

    // false when the batch must stop (the error is kept).
    bool report(int64_t done, int64_t total, uint32_t successes, uint32_t failures, uint32_t elapsedMs)
    {
        const auto now = std::chrono::steady_clock::now();
        if (done != total && now - last_ < std::chrono::milliseconds(intervalMs_)) return true;
        last_ = now;
        py::gil_scoped_acquire gil;
        try {
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (!callback_.is_none()) callback_(done, total, successes, failures, elapsedMs);
        } catch (py::error_already_set& e) {
            error_ = std::make_unique<py::error_already_set>(std::move(e));
            return false;
        }
        return true;
    }

    // With the GIL held.
    void raiseError()
    {
        if (!error_) return;
        py::error_already_set e = std::move(*error_);
        error_.reset();
        throw e;
    }

private:
    py::object callback_;
    int intervalMs_;
    std::chrono::steady_clock::time_point last_{};
    std::unique_ptr<py::error_already_set> error_;
};

class BatchWatcher : public BatchListener {
public:
    BatchWatcher(uint32_t firstSeed, PythonProgress& progress) : firstSeed_(firstSeed), progress_(progress) {}

    void counterChanged(int, uint32_t) override {}

    void mapDone(const BatchProgress& p) override
    {
        if (p.failures != failures_) {
            failures_ = p.failures;
            failedSeeds.push_back(firstSeed_ + static_cast<uint32_t>(p.done - 1));
        }
        if (!progress_.report(p.done, p.total, p.successes, p.failures, p.elapsedMs)) throw BatchStopped{};
    }

    std::vector<uint32_t> failedSeeds;

private:
    uint32_t firstSeed_;
    uint32_t failures_ = 0;
    PythonProgress& progress_;
};

ClockFactory workerClocks(int32_t clockStep)
{
    if (clockStep <= 0) return ClockFactory(platformClock);
    return [ms = static_cast<uint32_t>(clockStep)] { return steppingClock(ms); };
}

Clock runClock(int32_t clockStep)
{
    return clockStep > 0 ? steppingClock(static_cast<uint32_t>(clockStep)) : platformClock();
}

// runBatch with its run log in `folder` (made if missing; a name already
// taken gets the first free _2, _3 ... beside it).
py::dict runBatchInFolder(py::object seed, py::object nodes, py::object maps, py::object jobs, py::object folder,
                          py::object clockStep, py::object progress, int intervalMs)
{
    BatchSettings s;
    s.firstSeed = seedArgument(seed);
    s.nodes = countArgument(nodes, "nodes", leastNodes, mostNodes);
    s.maps = countArgument(maps, "maps", 1, mostBatchMaps);
    s.jobs = jobsArgument(jobs);
    const int32_t step = clockStepArgument(clockStep);
    if (step > 0) {
        s.workerClock = workerClocks(step);
        s.runClock = runClock(step);
    }
    const std::string where = folderArgument(folder, "run_log");
    s.logPath = runLogFilePath(localTime(), decimalText(s.nodes), decimalText(s.maps), utf8ToUtf16(where));

    BatchTexts texts;
    formatBatchHeader(texts, s.nodes, s.maps, s.firstSeed);
    PythonProgress reporter(std::move(progress), intervalMs);
    BatchWatcher watcher(s.firstSeed, reporter);
    BatchOutcome out;
    bool stopped = false;
    {
        py::gil_scoped_release released;
        try {
            out = runBatch(s, texts, &watcher);
        } catch (const BatchStopped&) {
            stopped = true;
        }
    }
    if (stopped) reporter.raiseError();

    py::dict d;
    d["first_seed"] = s.firstSeed;
    d["nodes"] = s.nodes;
    d["maps"] = s.maps;
    d["jobs"] = s.jobs;
    d["log_created"] = out.logCreated;
    d["log_error"] = out.logError;
    d["log_path"] = utf16ToUtf8(out.logPath);
    d["maps_done"] = out.mapsDone;
    d["successes"] = out.successes;
    d["failures"] = out.failures;
    d["map_ms"] = out.mapMs;
    d["colour_ms"] = out.colourMs;
    d["elapsed_ms"] = out.elapsedMs;
    d["failed_seeds"] = watcher.failedSeeds;
    return d;
}

// Keeps every map's result and times, and reports progress as the run log's
// writer does: the run's clock read once a map.
class MapRecorder final : public MapVisitor {
public:
    MapRecorder(int32_t maps, PythonProgress& progress, const Clock& clock, uint32_t start)
        : results(static_cast<size_t>(maps)), progress_(progress), clock_(clock), start_(start)
    {
    }

    int mapDone(int64_t index, uint32_t, const BatchMap& map, const BatchTally& tally) override
    {
        results[static_cast<size_t>(index)] = map;
        const uint32_t elapsed = batchElapsed(start_, clock_());
        const bool goOn = progress_.report(index + 1, static_cast<int64_t>(results.size()),
                                           static_cast<uint32_t>(tally.successes), static_cast<uint32_t>(tally.failures),
                                           elapsed);
        return goOn ? 0 : ECANCELED;
    }

    std::vector<BatchMap> results;

private:
    PythonProgress& progress_;
    const Clock& clock_;
    const uint32_t start_;
};

// Every map of a batch with its own result and times, without a run log.
py::dict colourMaps(py::object seed, py::object nodes, py::object maps, py::object jobs, py::object clockStep,
                    py::object progress, int intervalMs)
{
    MapRange range;
    range.firstSeed = seedArgument(seed);
    range.nodes = countArgument(nodes, "nodes", leastNodes, mostNodes);
    const int32_t count = countArgument(maps, "maps", 1, mostBatchMaps);
    range.maps = count;
    range.jobs = jobsArgument(jobs);
    const int32_t step = clockStepArgument(clockStep);
    range.workerClock = workerClocks(step);
    const Clock clock = runClock(step);

    PythonProgress reporter(std::move(progress), intervalMs);
    MapLoopEnd end;
    uint32_t elapsed = 0;
    std::unique_ptr<MapRecorder> recorder;
    {
        py::gil_scoped_release released;
        const uint32_t start = clock();
        recorder = std::make_unique<MapRecorder>(count, reporter, clock, start);
        end = runMapRange(range, *recorder);
        elapsed = batchElapsed(start, clock());
    }
    if (end.error) reporter.raiseError();

    py::array_t<uint16_t> resultArray(count);
    py::array_t<uint32_t> mapTimes(count), colourTimes(count);
    auto r = resultArray.mutable_unchecked<1>();
    auto mt = mapTimes.mutable_unchecked<1>();
    auto ct = colourTimes.mutable_unchecked<1>();
    std::vector<std::pair<uint32_t, int>> failed;
    for (int32_t i = 0; i < count; ++i) {
        const BatchMap& m = recorder->results[static_cast<size_t>(i)];
        r(i) = m.result;
        mt(i) = m.mapMs;
        ct(i) = m.colourMs;
        if (m.result != 0) failed.push_back({range.firstSeed + static_cast<uint32_t>(i), m.result});
    }
    py::dict d;
    d["first_seed"] = range.firstSeed;
    d["nodes"] = range.nodes;
    d["maps"] = count;
    d["jobs"] = range.jobs;
    d["successes"] = static_cast<uint32_t>(end.tally.successes);
    d["failures"] = static_cast<uint32_t>(end.tally.failures);
    d["map_ms"] = static_cast<uint32_t>(end.tally.mapMs);
    d["colour_ms"] = static_cast<uint32_t>(end.tally.colourMs);
    d["elapsed_ms"] = elapsed;
    d["failed"] = failed;
    d["results"] = resultArray;
    d["map_times"] = mapTimes;
    d["colour_times"] = colourTimes;
    return d;
}

}  // namespace

void bindBatches(py::module_& m)
{
    m.def("_run_batch", &runBatchInFolder, py::arg("seed"), py::arg("nodes"), py::arg("maps"), py::arg("jobs"),
          py::arg("folder"), py::arg("clock_step"), py::arg("progress"), py::arg("interval_ms"),
          "The library's batch run with its run log in folder (see orvane.batch).");
    m.def("_colour_maps", &colourMaps, py::arg("seed"), py::arg("nodes"), py::arg("maps"), py::arg("jobs"),
          py::arg("clock_step"), py::arg("progress"), py::arg("interval_ms"),
          "Every map of a batch with its own result and times, without a run log (see orvane.batch).");
}

}  // namespace orvane::python
