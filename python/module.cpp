// orvane._orvane: the library's maps, colourings and batch runs for Python.
//
// Locking: a map and every colouring of it share one mutex. Whoever takes it
// first lets go of the interpreter lock, so a Python clock called from inside
// a step (which takes the interpreter lock back) can never wait on a thread
// that waits for the map. (A built map never changes and each colouring keeps
// its own state; the mutex guards the Python objects' own bookkeeping.)
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "include/orvane/orvane.h"
#include "map/sites.h"
#include "platform/platform.h"
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace py = pybind11;
using namespace orvane;

namespace {

// ---------------------------------------------------------------------------
// Arguments

bool isIntegral(py::handle h)
{
    return !PyBool_Check(h.ptr()) && !PyFloat_Check(h.ptr()) && PyIndex_Check(h.ptr());
}

std::string typeName(py::handle h) { return py::str(py::type::handle_of(h).attr("__name__")); }

// Whole number -> int64 saturated at the ends; TypeError for anything else.
int64_t saturatedInteger(py::handle h, const char* what)
{
    if (!isIntegral(h))
        throw py::type_error(std::string(what) + " must be an int, not " + typeName(h));
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(h.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow > 0) return INT64_MAX;
    if (overflow < 0) return INT64_MIN;
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A seed: an int 0..0xffffffff, or its hexadecimal text as the seed field
// takes it ("1a2b", "0x1A2B", " 00001a2b "); None reads the millisecond clock
// as an empty seed field does.
uint32_t seedArgument(py::handle h)
{
    if (h.is_none()) return clockMillis();
    if (PyUnicode_Check(h.ptr())) {
        const std::string text = py::cast<std::string>(h);
        size_t i = 0;
        const auto space = [&](size_t k) { return k < text.size() && (text[k] == ' ' || (text[k] >= '\t' && text[k] <= '\r')); };
        while (space(i)) ++i;
        if (i < text.size() && text[i] == '+') ++i;
        if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
        const size_t digitsStart = i;
        while (i < text.size() && isHexDigit(text[i])) ++i;
        const size_t digitsEnd = i;
        while (space(i)) ++i;
        if (digitsEnd == digitsStart || i != text.size())
            throw py::value_error("seed " + std::string(py::repr(h)) +
                                  " is not hexadecimal text such as '1a2b' or '0x1a2b'");
        size_t first = digitsStart;
        while (first + 1 < digitsEnd && text[first] == '0') ++first;
        if (digitsEnd - first > 8)
            throw py::value_error("seed " + std::string(py::repr(h)) + " does not fit in 32 bits (at most ffffffff)");
        return parseSeedText(utf8ToUtf16(text).c_str());
    }
    if (!isIntegral(h))
        throw py::type_error("seed must be an int or a hexadecimal str, not " + typeName(h));
    const int64_t v = saturatedInteger(h, "seed");
    if (v < 0 || v > 0xFFFFFFFFLL)
        throw py::value_error("seed " + std::string(py::repr(h)) + " is outside 0..0xffffffff");
    return static_cast<uint32_t>(v);
}

// A count clamped as the count fields clamp it: at or below `least` gives least.
int32_t countArgument(py::handle h, const char* what, int32_t least, int32_t most)
{
    const int64_t v = saturatedInteger(h, what);
    return v <= least ? least : v > most ? most : static_cast<int32_t>(v);
}

// A whole number that must lie in least..most.
int32_t rangeArgument(py::handle h, const char* what, int32_t least, int32_t most)
{
    const int64_t v = saturatedInteger(h, what);
    if (v < least || v > most)
        throw py::value_error(std::string(what) + " must be from " + std::to_string(least) + " to " +
                              std::to_string(most) + ", not " + std::string(py::repr(h)));
    return static_cast<int32_t>(v);
}

ViewSize viewSizeArgument(py::handle width, py::handle height)
{
    return {rangeArgument(width, "width", 1, 16384), rangeArgument(height, "height", 1, 16384)};
}

// ---------------------------------------------------------------------------
// Exceptions

PyObject* finishedError = nullptr;

[[noreturn]] void throwPython(PyObject* type, const std::string& message)
{
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

// ---------------------------------------------------------------------------
// Maps

// One map, what it was built as, and the colouring that shows it as it stands.
struct MapBox {
    std::shared_ptr<const Map> map;
    std::mutex mutex;
    std::atomic<std::thread::id> holder{};  // the thread that holds the mutex
    uint32_t seed = 0;
    int32_t nodes = 0;
    std::vector<Point> sites;  // of a map from given sites (Map.from_sites); empty for a seeded map
    // The newest colouring of the map: its colours, export and picture are
    // the map's as it stands. None before the first colouring.
    std::shared_ptr<const Colouring> shown;

    // The map as built, read once.
    std::vector<int32_t> xy;
    std::vector<std::pair<int, int>> borders;
    std::vector<std::vector<int>> rings;
    std::vector<int> outer;

    void build() { map = Map::build(seed, nodes); }

    void takeSnapshot()
    {
        const int n = map->nodeCount();
        xy.assign(static_cast<size_t>(2 * n), 0);
        rings.assign(static_cast<size_t>(n), {});
        for (int k = 1; k <= n; ++k) {
            const Point p = map->position(k);
            xy[static_cast<size_t>(2 * (k - 1))] = p.x;
            xy[static_cast<size_t>(2 * (k - 1) + 1)] = p.y;
            rings[static_cast<size_t>(k - 1)] = map->neighbours(k);
        }
        borders = map->borders();
        outer = map->outerCycle();
    }
};

// Runs f with the map's mutex held and the interpreter lock released.
// A clock or progress callback that reaches for the map its own step holds
// is refused instead of waiting for itself.
template <typename F>
auto withMap(MapBox& box, F&& f)
{
    if (box.holder.load() == std::this_thread::get_id())
        throw std::runtime_error("the map is busy: its colouring is in a step that called this code");
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> guard(box.mutex);
    struct Holding {
        MapBox& box;
        explicit Holding(MapBox& b) : box(b) { box.holder = std::this_thread::get_id(); }
        ~Holding() { box.holder = std::thread::id(); }
    } holding(box);
    return f();
}

std::shared_ptr<MapBox> makeMap(py::handle seed, py::handle nodes)
{
    auto box = std::make_shared<MapBox>();
    box->seed = seedArgument(seed);
    box->nodes = countArgument(nodes, "nodes", leastNodes, mostNodes);
    withMap(*box, [&] {
        box->build();
        box->takeSnapshot();
        return 0;
    });
    return box;
}

// Map.from_sites: the map of an (N, 2) int32 array of sites, the k-th row
// country k; a ValueError with the library's message, naming the sites by
// `names` (one text a row) or as points[i], when they give no map.
std::shared_ptr<MapBox> mapFromSites(py::handle points, py::object names)
{
    const auto shape = [&](const py::array& a) {
        return a.dtype().is(py::dtype::of<int32_t>()) && a.ndim() == 2 && a.shape(1) == 2;
    };
    if (!py::isinstance<py::array>(points) || !shape(py::reinterpret_borrow<py::array>(points)))
        throw py::type_error("points must be an int32 array of shape (N, 2)");
    const auto rows = py::array_t<int32_t, py::array::c_style | py::array::forcecast>::ensure(points);
    auto box = std::make_shared<MapBox>();
    for (py::ssize_t i = 0; i < rows.shape(0); ++i) box->sites.push_back({rows.at(i, 0), rows.at(i, 1)});
    box->nodes = static_cast<int32_t>(box->sites.size());
    const std::vector<std::string> named = names.is_none() ? std::vector<std::string>{} : names.cast<std::vector<std::string>>();
    const SiteProblem problem = withMap(*box, [&] {
        const SiteProblem p = buildMapFromSites(box->map, box->sites);
        if (!p) box->takeSnapshot();
        return p;
    });
    if (problem) {
        const auto name = [&](int i) {
            return static_cast<size_t>(i) < named.size() ? named[size_t(i)] : "points[" + std::to_string(i) + "]";
        };
        throw py::value_error(describeSiteProblem(problem, box->sites, name));
    }
    return box;
}

py::array_t<int32_t> pairArray(const std::vector<int32_t>& flat)
{
    const py::ssize_t rows = static_cast<py::ssize_t>(flat.size() / 2);
    py::array_t<int32_t> a({rows, py::ssize_t{2}});
    std::copy(flat.begin(), flat.end(), a.mutable_data());
    return a;
}

py::array_t<int32_t> bordersArray(const MapBox& box)
{
    std::vector<int32_t> flat;
    flat.reserve(2 * box.borders.size());
    for (const auto& [a, b] : box.borders) {
        flat.push_back(a);
        flat.push_back(b);
    }
    return pairArray(flat);
}

std::vector<int8_t> coloursByNumber(const Colouring& colouring)
{
    const int n = colouring.map().nodeCount();
    std::vector<int8_t> out(static_cast<size_t>(n), 0);
    for (int k = 1; k <= n; ++k) out[static_cast<size_t>(k - 1)] = colouring.colourOf(k);
    return out;
}

// The map as it stands: as its newest colouring leaves it, or as built.
std::vector<int8_t> mapColours(const MapBox& box)
{
    return box.shown ? coloursByNumber(*box.shown) : std::vector<int8_t>(static_cast<size_t>(box.map->nodeCount()), 0);
}
std::string mapExportText(const MapBox& box) { return box.shown ? exportText(*box.shown) : exportText(*box.map); }
std::string mapExportContent(const MapBox& box)
{
    return box.shown ? exportContent(*box.shown) : exportContent(*box.map);
}
std::string mapSvg(const MapBox& box, ViewSize size)
{
    return box.shown ? mapPageSvg(*box.shown, size, EngineMarks::hidden) : mapPageSvg(*box.map, size);
}

py::array_t<int8_t> int8Array(const std::vector<int8_t>& v)
{
    py::array_t<int8_t> a(static_cast<py::ssize_t>(v.size()));
    std::copy(v.begin(), v.end(), a.mutable_data());
    return a;
}

std::string mapRepr(const MapBox& box)
{
    if (!box.sites.empty()) return "orvane.Map.from_sites(<" + std::to_string(box.nodes) + " sites>)";
    char buf[64];
    std::snprintf(buf, sizeof buf, "orvane.Map(0x%08x, %d)", static_cast<unsigned>(box.seed), box.nodes);
    return buf;
}

// ---------------------------------------------------------------------------
// Colourings

// A clock written in Python. Its errors wait until the step that read it is
// over: the engine is never left half-way through a phase.
struct PythonClock {
    py::object function;
    std::unique_ptr<py::error_already_set> error;
    uint32_t last = 0;

    uint32_t read()
    {
        py::gil_scoped_acquire gil;
        if (error) return last;
        try {
            const py::object value = function();
            py::object whole;
            if (PyFloat_Check(value.ptr()))
                whole = py::reinterpret_steal<py::object>(PyNumber_Long(value.ptr()));
            else if (isIntegral(value))
                whole = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
            else
                throw py::type_error("the clock must return milliseconds as a number, not " + typeName(value));
            if (!whole) throw py::error_already_set();
            const unsigned long long bits = PyLong_AsUnsignedLongLongMask(whole.ptr());
            if (PyErr_Occurred()) throw py::error_already_set();
            last = static_cast<uint32_t>(bits & 0xFFFFFFFFu);
        } catch (py::error_already_set& e) {
            error = std::make_unique<py::error_already_set>(std::move(e));
        } catch (const py::builtin_exception& e) {
            e.set_error();
            error = std::make_unique<py::error_already_set>();
        }
        return last;
    }

    // With the interpreter lock held.
    void raiseError()
    {
        if (!error) return;
        py::error_already_set e = std::move(*error);
        error.reset();
        throw e;
    }
};

struct TraceRecord {
    long step = 0;
    int phaseBefore = 0, phaseAfter = 0;
    int result = 0;
    bool verified = false, finished = false;
    std::string colours;
    int ring = 0, candidate = 0, arcFirst = 0, arcLast = 0, pivot = 0, pathHead = 0, pathTail = 0, cursor = 0;
    int flag = 0;
    std::string line;
};

int numberOf(const Map& map, NodeIndex v) { return v == noNode ? 0 : map.number(v); }

struct PyColouring {
    std::shared_ptr<MapBox> box;
    std::shared_ptr<PythonClock> clock;
    std::shared_ptr<Colouring> colouring;  // shared with the map box while it is the newest
    long steps = 0;
    int result = -1;  // the verification result once verified
};

std::unique_ptr<PyColouring> makeColouring(const std::shared_ptr<MapBox>& box, py::object clockFunction)
{
    if (!clockFunction.is_none() && !PyCallable_Check(clockFunction.ptr()))
        throw py::type_error("clock must be a callable returning milliseconds, not " + typeName(clockFunction));
    auto c = std::make_unique<PyColouring>();
    c->box = box;
    Clock clock = steadyClock();
    if (!clockFunction.is_none()) {
        c->clock = std::make_shared<PythonClock>();
        c->clock->function = std::move(clockFunction);
        clock = [holder = c->clock] { return holder->read(); };
    }
    withMap(*box, [&] {
        // Every colouring starts from the map as built; the newest shows the map as it stands.
        c->colouring = std::make_shared<Colouring>(box->map, std::move(clock));
        box->shown = c->colouring;
        return 0;
    });
    return c;
}

enum class Refusal { none, finished };

void raiseRefusal(Refusal r, const char* what)
{
    if (r == Refusal::finished)
        throwPython(finishedError, std::string("cannot ") + what + ": the colouring has finished (result " +
                                 "available as .result); make a new one with map.colouring()");
}

// Runs f() on the colouring with the map held.
template <typename F>
auto withColouring(PyColouring& c, F&& f)
{
    return withMap(*c.box, std::forward<F>(f));
}

TraceRecord stepOnce(PyColouring& c, bool runToEnd)
{
    Refusal refusal = Refusal::none;
    TraceRecord rec = withMap(*c.box, [&] {
        TraceRecord r;
        if (c.colouring->finished()) {
            refusal = Refusal::finished;
            return r;
        }
        const Phase before = c.colouring->phase();
        const StepReport report = c.colouring->step(runToEnd);
        ++c.steps;
        if (report.verified) c.result = report.result;
        const EngineState& s = c.colouring->state();
        const Map& map = c.colouring->map();
        r.step = c.steps;
        r.phaseBefore = static_cast<int>(before);
        r.phaseAfter = static_cast<int>(s.EnginePhase);
        r.result = report.result;
        r.verified = report.verified;
        r.finished = report.finished;
        r.colours = colourRow(*c.colouring);
        r.ring = numberOf(map, s.ringEntry);
        r.candidate = numberOf(map, s.candidate);
        r.arcFirst = numberOf(map, s.arcFirst);
        r.arcLast = numberOf(map, s.arcLast);
        r.pivot = numberOf(map, s.pivot);
        r.pathHead = numberOf(map, s.pathHead);
        r.pathTail = numberOf(map, s.pathTail);
        r.cursor = numberOf(map, s.pathCursor);
        r.flag = s.pathFlag;
        r.line = traceLine(c.steps, before, report.result, *c.colouring);
        return r;
    });
    if (c.clock) c.clock->raiseError();
    raiseRefusal(refusal, runToEnd ? "run" : "step");
    return rec;
}

// A walk along one of the engine's cycles or paths, bounded by the node count.
template <typename Next>
std::vector<int> walk(const Map& map, NodeIndex from, NodeIndex until, Next next)
{
    std::vector<int> out;
    for (NodeIndex n = from; n != noNode && out.size() <= static_cast<size_t>(map.nodeCount()); n = next(n)) {
        out.push_back(map.number(n));
        if (n == until) break;
        if (next(n) == from) break;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Batch runs

// Thrown through the library's batch run to end it early; the run unwinds
// as a stopped run does (its workers joined, its log left as a killed run
// leaves it).
struct BatchStopped {};

// Progress calls and Ctrl-C, from the thread that runs the batch, at most
// every `intervalMs` and after the last map.
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

    void raiseError()
    {
        if (!error_) return;
        py::error_already_set e = std::move(*error_);
        error_.reset();
        throw e;
    }

    ~PythonProgress()
    {
        if (!error_) return;
        py::gil_scoped_acquire gil;
        error_.reset();
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

void applyClockStep(BatchSettings& s, int32_t clockStep)
{
    if (clockStep <= 0) return;
    const uint32_t ms = static_cast<uint32_t>(clockStep);
    s.workerClock = [ms] { return steppingClock(ms); };
    s.runClock = steppingClock(ms);
}

int32_t jobsArgument(py::handle jobs)
{
    return jobs.is_none() ? defaultBatchJobs() : rangeArgument(jobs, "jobs", 1, 64);
}

int32_t clockStepArgument(py::handle step)
{
    return step.is_none() ? 0 : rangeArgument(step, "clock_step", 1, 100000);
}

// runBatch with its run log in `folder` (made if missing; a name already
// taken gets the first free _2, _3 ... beside it).
py::dict runBatchInFolder(py::object seed, py::object nodes, py::object maps, py::object jobs, const std::string& folder,
                          py::object clockStep, py::object progress, int intervalMs)
{
    BatchSettings s;
    s.firstSeed = seedArgument(seed);
    s.nodes = countArgument(nodes, "nodes", leastNodes, mostNodes);
    s.maps = countArgument(maps, "maps", 1, mostBatchMaps);
    s.jobs = jobsArgument(jobs);
    applyClockStep(s, clockStepArgument(clockStep));
    if (folder.empty()) throw py::value_error("the run log needs a folder");
    s.logPath = runLogFilePath(localTime(), decimalText(s.nodes), decimalText(s.maps), utf8ToUtf16(folder));

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

// Every map of a batch with its own result and times, on `jobs` threads:
// each worker colours as the batch run's workers do (its own map, colouring
// and clock, colourBatchMap for each seed), without a run log.
py::dict colourMaps(py::object seed, py::object nodes, py::object maps, py::object jobs, py::object clockStep,
                    py::object progress, int intervalMs)
{
    const uint32_t firstSeed = seedArgument(seed);
    const int32_t n = countArgument(nodes, "nodes", leastNodes, mostNodes);
    const int32_t count = countArgument(maps, "maps", 1, mostBatchMaps);
    const int32_t jobCount = jobsArgument(jobs);
    const int32_t step = clockStepArgument(clockStep);
    const ClockFactory clocks = step > 0 ? ClockFactory([ms = static_cast<uint32_t>(step)] { return steppingClock(ms); })
                                         : ClockFactory(platformClock);
    const Clock runClock = step > 0 ? steppingClock(static_cast<uint32_t>(step)) : platformClock();

    std::vector<BatchMap> results(static_cast<size_t>(count));
    std::vector<uint8_t> ready(static_cast<size_t>(count), 0);
    std::mutex lock;
    std::condition_variable readyChanged;
    std::atomic<int64_t> nextIndex{0};
    std::atomic<bool> stopping{false};
    PythonProgress reporter(std::move(progress), intervalMs);
    uint32_t counts[2] = {0, 0};
    uint32_t elapsed = 0;
    bool stopped = false;
    {
        py::gil_scoped_release released;
        const uint32_t start = runClock();
        uint32_t lastElapsed = 0;  // read once per map, as the batch run reads its clock
        std::vector<std::thread> workers;
        for (int j = 0; j < jobCount; ++j) {
            workers.emplace_back([&, clock = clocks()] {
                MapBuilder builder;
                Colouring colouring(nullptr, clock);
                for (;;) {
                    const int64_t i = nextIndex.fetch_add(1);
                    if (i >= count || stopping) return;
                    const BatchMap m = colourBatchMap(builder, colouring, firstSeed + static_cast<uint32_t>(i), n, clock);
                    {
                        std::lock_guard<std::mutex> guard(lock);
                        results[static_cast<size_t>(i)] = m;
                        ready[static_cast<size_t>(i)] = 1;
                    }
                    readyChanged.notify_all();
                }
            });
        }
        // In seed order, as the batch run counts and reports them.
        for (int32_t i = 0; i < count && !stopped; ++i) {
            std::unique_lock<std::mutex> guard(lock);
            while (!ready[static_cast<size_t>(i)]) {
                readyChanged.wait_for(guard, std::chrono::milliseconds(intervalMs));
                if (ready[static_cast<size_t>(i)]) break;
                guard.unlock();
                const bool goOn = reporter.report(i, count, counts[0], counts[1], lastElapsed);
                guard.lock();
                if (!goOn) {
                    stopped = true;
                    break;
                }
            }
            if (stopped) break;
            const BatchMap m = results[static_cast<size_t>(i)];
            guard.unlock();
            ++counts[m.result == 0 ? 0 : 1];
            lastElapsed = batchElapsed(start, runClock());
            if (!reporter.report(i + 1, count, counts[0], counts[1], lastElapsed)) stopped = true;
        }
        elapsed = batchElapsed(start, runClock());
        stopping = true;
        for (std::thread& t : workers) t.join();
    }
    if (stopped) reporter.raiseError();

    py::array_t<uint16_t> resultArray(count);
    py::array_t<uint32_t> mapTimes(count), colourTimes(count);
    auto r = resultArray.mutable_unchecked<1>();
    auto mt = mapTimes.mutable_unchecked<1>();
    auto ct = colourTimes.mutable_unchecked<1>();
    uint32_t mapSum = 0, colourSum = 0;
    std::vector<std::pair<uint32_t, int>> failed;
    for (int32_t i = 0; i < count; ++i) {
        const BatchMap& m = results[static_cast<size_t>(i)];
        r(i) = m.result;
        mt(i) = m.mapMs;
        ct(i) = m.colourMs;
        mapSum += m.mapMs;
        colourSum += m.colourMs;
        if (m.result != 0) failed.push_back({firstSeed + static_cast<uint32_t>(i), m.result});
    }
    py::dict d;
    d["first_seed"] = firstSeed;
    d["nodes"] = n;
    d["maps"] = count;
    d["jobs"] = jobCount;
    d["successes"] = counts[0];
    d["failures"] = counts[1];
    d["map_ms"] = mapSum;
    d["colour_ms"] = colourSum;
    d["elapsed_ms"] = elapsed;
    d["failed"] = failed;
    d["results"] = resultArray;
    d["map_times"] = mapTimes;
    d["colour_times"] = colourTimes;
    return d;
}

}  // namespace

PYBIND11_MODULE(_orvane, m)
{
    m.doc() = "Maps, colourings and batch runs of the Orvane library (use the orvane package).";
    m.attr("__version__") = orvane::version;
    m.attr("least_nodes") = leastNodes;
    m.attr("most_nodes") = mostNodes;
    m.attr("most_batch_maps") = mostBatchMaps;
    m.attr("time_limit_ms") = engineTimeLimitMs;

    // Kept for the life of the process, as the module itself is.
    finishedError = PyErr_NewExceptionWithDoc("orvane.ColouringFinishedError",
                                              "Raised when a colouring that has finished is stepped or run again.",
                                              PyExc_RuntimeError, nullptr);
    if (!finishedError) throw py::error_already_set();
    m.attr("ColouringFinishedError") = py::handle(finishedError);

    // The classes are named as the package shows them (orvane.Map, not
    // orvane._orvane.Map) and all exist before any signature names them.
    const py::object moduleName = m.attr("__name__");
    m.attr("__name__") = "orvane";
    py::class_<TraceRecord> traceRecordClass(m, "TraceRecord");
    py::class_<MapBox, std::shared_ptr<MapBox>> mapClass(m, "Map");
    py::class_<PyColouring> colouringClass(m, "Colouring");
    m.attr("__name__") = moduleName;

    traceRecordClass.doc() = R"doc(
What one step of a colouring did and the engine's state after it.

``str(record)`` is the companion's trace line for that step, e.g.
``step 2 phase 1->1 result 0 colours .Y.GYR.. ring 5 cand 5 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0``.
Node references are node numbers (1..N), 0 when unset; ``colours`` has one
letter per node from ``.RGYB*`` (a dot for none, ``*`` for the blocked candidate).
)doc";
    traceRecordClass
        .def_readonly("step", &TraceRecord::step, "The number of this step on its colouring (from 1).")
        .def_readonly("phase_before", &TraceRecord::phaseBefore, "The phase the step started in (see orvane.Phase).")
        .def_readonly("phase_after", &TraceRecord::phaseAfter, "The phase to run next; 255 once finished.")
        .def_readonly("result", &TraceRecord::result, "0, or the first node that failed verification.")
        .def_readonly("verified", &TraceRecord::verified, "Verification ran in this step; result is its result.")
        .def_readonly("finished", &TraceRecord::finished, "The colouring is over.")
        .def_readonly("colours", &TraceRecord::colours, "The colour row after the step, one letter per node.")
        .def_readonly("ring", &TraceRecord::ring, "The ring entry.")
        .def_readonly("candidate", &TraceRecord::candidate, "The candidate to insert into the ring.")
        .def_property_readonly("arc", [](const TraceRecord& r) { return py::make_tuple(r.arcFirst, r.arcLast); },
                               "The candidate's contact arc on the ring: (first, last).")
        .def_readonly("pivot", &TraceRecord::pivot, "The pivot of the conflict being resolved.")
        .def_property_readonly("path", [](const TraceRecord& r) { return py::make_tuple(r.pathHead, r.pathTail); },
                               "The conflict path: (head, tail).")
        .def_readonly("cursor", &TraceRecord::cursor, "The path cursor.")
        .def_readonly("flag", &TraceRecord::flag, "1 when the path walk found no move at the cursor.")
        .def("__str__", [](const TraceRecord& r) { return r.line; })
        .def("__repr__",
             [](const TraceRecord& r) {
                 char buf[200];
                 std::snprintf(buf, sizeof buf,
                               "TraceRecord(step=%ld, phase %d->%d, result=%d, ring=%d, candidate=%d, arc=(%d, %d), "
                               "pivot=%d, path=(%d, %d), cursor=%d, flag=%d)",
                               r.step, r.phaseBefore, r.phaseAfter, r.result, r.ring, r.candidate, r.arcFirst,
                               r.arcLast, r.pivot, r.pathHead, r.pathTail, r.cursor, r.flag);
                 return std::string(buf);
             })
        .def("__eq__",
             [](const TraceRecord& a, py::object other) {
                 if (!py::isinstance<TraceRecord>(other)) return false;
                 const TraceRecord& b = other.cast<const TraceRecord&>();
                 return a.line == b.line && a.verified == b.verified && a.finished == b.finished;
             })
        .def("__hash__", [](const TraceRecord& r) { return py::hash(py::str(r.line)); });

    mapClass.doc() = R"doc(
Map(seed, nodes)

The random map of (seed, nodes), built exactly as the program and the
companion orvane-cli build it: a Delaunay triangulation of seeded sites,
every site a country numbered 1..N and every edge a border.

seed
    An int from 0 to 0xffffffff, or its hexadecimal text as the seed field
    reads it ('1a2b', '0x1A2B'); None takes the millisecond clock, as an
    empty seed field does. Other values raise TypeError or ValueError.
nodes
    The node count. Like the node count field it is clamped to 3..10000:
    Map(1, 2) has 3 nodes, Map(1, 50000) has 10000. It must be an int.

positions, borders, neighbours() and outer describe the map as built;
colours, export_text() and the picture show it as it stands: as its newest
colouring leaves it, or uncoloured before the first.
Map.from_sites(points) builds the map of sites of your own instead.
)doc";
    mapClass
        .def(py::init([](py::object seed, py::object nodes) { return makeMap(seed, nodes); }), py::arg("seed"),
             py::arg("nodes"))
        .def_property_readonly(
            "seed",
            [](const MapBox& b) { return b.sites.empty() ? py::object(py::int_(b.seed)) : py::object(py::none()); },
            "The seed (an int); None for a map from given sites.")
        .def_property_readonly("nodes", [](const MapBox& b) { return b.nodes; },
                               "The node count N after clamping to 3..10000.")
        .def_property_readonly("positions", [](const MapBox& b) { return pairArray(b.xy); },
                               "Node coordinates (0..32767) as an int32 array of shape (N, 2); row k-1 is node k.")
        .def_property_readonly("borders", [](const MapBox& b) { return bordersArray(b); },
                               "Every border once as an int32 array of node pairs (lower number first), sorted.")
        .def_property_readonly("outer", [](const MapBox& b) { return b.outer; },
                               "The nodes of the outer boundary in cycle order, as a list.")
        .def(
            "neighbours",
            [](const MapBox& b, py::object number) {
                const int64_t k = saturatedInteger(number, "node number");
                if (k < 1 || k > b.nodes)
                    throw py::index_error("node " + std::string(py::repr(number)) + " is outside 1.." +
                                          std::to_string(b.nodes));
                return b.rings[static_cast<size_t>(k - 1)];
            },
            py::arg("node"), "The neighbours of node (1..N) in ring order, as a list of node numbers.")
        .def_property_readonly(
            "colours",
            [](MapBox& b) { return int8Array(withMap(b, [&] { return mapColours(b); })); },
            "The colour of every node as it stands: an int8 array, entry k-1 for node k; 0 none, 1..4 the colours "
            "R, G, Y, B, 5 the blocked candidate.")
        .def(
            "export_text", [](MapBox& b) { return withMap(b, [&] { return mapExportText(b); }); },
            "The export file of the map as it stands, as text with LF line ends.")
        .def(
            "export_bytes",
            [](MapBox& b) { return py::bytes(withMap(b, [&] { return mapExportContent(b); })); },
            "The export file's bytes as the program writes it: UTF-16LE with byte-order mark, CR LF line ends.")
        .def(
            "svg",
            [](MapBox& b, py::object width, py::object height) {
                const ViewSize size = viewSizeArgument(width, height);
                return withMap(b, [&] { return mapSvg(b, size); });
            },
            py::arg("width") = 600, py::arg("height") = 600,
            "The map page as the view paints it (without a colouring's ring and path), as SVG text.")
        .def("_repr_svg_", [](MapBox& b) { return withMap(b, [&] { return mapSvg(b, {600, 600}); }); })
        .def(
            "colouring",
            [](const std::shared_ptr<MapBox>& b, py::object clock) { return makeColouring(b, std::move(clock)); },
            py::arg("clock") = py::none(), py::keep_alive<0, 1>(), R"doc(
A new colouring of this map, from the map as built.

Any number of colourings of one map may be used, each on its own; the newest
is the one the map's colours, export and picture show.

clock
    None for the steady clock, or a callable returning milliseconds (an int,
    taken modulo 2**32). run() stops growing after 10000 ms by this clock, as
    the program does; tests pass a fake clock. An exception from the clock is
    raised after the step in progress ends.
)doc")
        .def("__repr__", [](const MapBox& b) { return mapRepr(b); });

    colouringClass.doc() = R"doc(
One colouring of one map, stepped one visible phase at a time (step()) or run
to the end (run()), as the step and full colouring buttons do. Make one with
Map.colouring(). It keeps its map alive.
)doc";
    colouringClass
        .def(
            "step", [](PyColouring& c) { return stepOnce(c, false); },
            "One step (one visible phase); returns its TraceRecord. Raises ColouringFinishedError once finished.")
        .def(
            "run", [](PyColouring& c) { return stepOnce(c, true).result; },
            "Runs to the end under the 10-second limit and returns the result: 0 for a correct four-colouring, else "
            "the number of the first node that failed verification. Raises ColouringFinishedError once finished.")
        .def_property_readonly(
            "finished", [](PyColouring& c) { return withColouring(c, [&] { return c.colouring->finished(); }); },
            "True once the colouring is over.")
        .def_property_readonly(
            "phase", [](PyColouring& c) { return withColouring(c, [&] { return static_cast<int>(c.colouring->phase()); }); },
            "The phase to run next (see orvane.Phase); 255 once finished.")
        .def_property_readonly(
            "steps", [](PyColouring& c) { return withMap(*c.box, [&] { return c.steps; }); },
            "Calls of step() and run() so far (since the last clear()).")
        .def_property_readonly(
            "result",
            [](PyColouring& c) {
                const int r = withMap(*c.box, [&] { return c.result; });
                return r < 0 ? py::object(py::none()) : py::object(py::int_(r));
            },
            "The verification result once finished (0: correct), else None.")
        .def_property_readonly(
            "colours",
            [](PyColouring& c) { return int8Array(withColouring(c, [&] { return coloursByNumber(*c.colouring); })); },
            "The colour of every node now: an int8 array, entry k-1 for node k; 0 none, 1..4 R, G, Y, B, 5 blocked.")
        .def_property_readonly(
            "ring",
            [](PyColouring& c) {
                return withColouring(c, [&] {
                    const EngineState& s = c.colouring->state();
                    return walk(c.colouring->map(), s.ringEntry, noNode, [&](NodeIndex n) { return c.colouring->ringNext(n); });
                });
            },
            "The ring of coloured nodes from the ring entry along the ring, as node numbers (empty when none).")
        .def_property_readonly(
            "arc",
            [](PyColouring& c) {
                return withColouring(c, [&] {
                    const EngineState& s = c.colouring->state();
                    if (s.arcFirst == noNode || s.arcLast == noNode) return std::vector<int>{};
                    return walk(c.colouring->map(), s.arcLast, s.arcFirst, [&](NodeIndex n) { return c.colouring->ringNext(n); });
                });
            },
            "The candidate's contact arc: the ring from its last to its first node (empty when none).")
        .def_property_readonly(
            "path",
            [](PyColouring& c) {
                return withColouring(c, [&] {
                    const EngineState& s = c.colouring->state();
                    return walk(c.colouring->map(), s.pathTail, s.pathHead, [&](NodeIndex n) { return c.colouring->pathPrev(n); });
                });
            },
            "The conflict path from its tail back to its head, as node numbers (empty when none).")
        .def_property_readonly(
            "pivot",
            [](PyColouring& c) {
                return withColouring(c, [&] { return numberOf(c.colouring->map(), c.colouring->state().pivot); });
            },
            "The pivot's node number, 0 when none.")
        .def(
            "verify", [](PyColouring& c) { return withColouring(c, [&] { return static_cast<int>(c.colouring->verify()); }); },
            "The verification rules over the map as it stands: 0, or the first node that fails them.")
        .def(
            "clear",
            [](PyColouring& c) {
                withColouring(c, [&] {
                    c.colouring->clear();
                    c.steps = 0;
                    c.result = -1;
                    return 0;
                });
            },
            "Clears the colouring as the clear button does: colours removed, set-aside nodes restored, phase 0.")
        .def(
            "svg",
            [](PyColouring& c, py::object width, py::object height) {
                const ViewSize size = viewSizeArgument(width, height);
                return withColouring(c, [&] { return mapPageSvg(*c.colouring, size); });
            },
            py::arg("width") = 600, py::arg("height") = 600,
            "The map page with the ring, contact arc, conflict path, pivot and cursor, as SVG text.")
        .def("_repr_svg_",
             [](PyColouring& c) {
                 return withColouring(c, [&] { return mapPageSvg(*c.colouring, {600, 600}); });
             })
        .def_property_readonly("map", [](const PyColouring& c) { return c.box; }, "The map being coloured.")
        .def("__repr__", [](const PyColouring& c) {
            return "<orvane.Colouring of " + mapRepr(*c.box) + ", " + std::to_string(c.steps) + " steps>";
        });

    m.def("_run_batch", &runBatchInFolder, py::arg("seed"), py::arg("nodes"), py::arg("maps"), py::arg("jobs"),
          py::arg("folder"), py::arg("clock_step"), py::arg("progress"), py::arg("interval_ms"),
          "The library's batch run with its run log in folder (see orvane.batch).");
    m.def("_map_from_sites", &mapFromSites, py::arg("points"), py::arg("names") = py::none(),
          "The map of an (N, 2) int32 array of sites (see orvane.Map.from_sites).");
    m.def("_colour_maps", &colourMaps, py::arg("seed"), py::arg("nodes"), py::arg("maps"), py::arg("jobs"),
          py::arg("clock_step"), py::arg("progress"), py::arg("interval_ms"),
          "Every map of a batch with its own result and times, without a run log (see orvane.batch).");
}
