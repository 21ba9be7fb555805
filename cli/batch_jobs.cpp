// Batches on several workers: the companion starts worker processes of its
// own that build and colour interleaved seeds of the run, and hands their
// results to the batch run in seed order, so the run log, counters and time
// sums are exactly those of a run on one worker.
#include "cli/cli.h"
#include "engine/engine.h"
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "runs/runlog.h"
#include "runs/runs.h"
#include "ui/ui.h"
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif
#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace {
struct WorkerResult {
    bool ready = false;
    BatchMap map{};
};

uint32_t clockStep = 0;  // --clock-step: a clock that moves this much per reading

uint32_t steppingClock()
{
    static uint32_t now = 0;
    return now += clockStep;
}

struct Pool {
    uint32_t first = 0;
    int32_t maps = 0;
    int32_t nodes = 0;
    int jobs = 1;
    std::vector<WorkerResult> results;
    std::vector<std::thread> readers;
    std::vector<FILE*> pipes;
    std::vector<bool> finished;  // a worker's output has ended
    std::mutex lock;
    std::condition_variable arrived;
} pool;

std::string workerCommand(int worker)
{
    char args[160];
    std::snprintf(args, sizeof args, " batch-worker --seed %08x --nodes %d --maps %d --jobs %d --worker %d",
                  static_cast<unsigned>(pool.first), pool.nodes, pool.maps, pool.jobs, worker);
    std::string options = args;
    if (clockStep) options += " --clock-step " + std::to_string(clockStep);
    if (literalReference) options += " --reference";
    const std::string exe = "\"" + toLocaleEncoding(executablePath()) + "\"";
#ifdef _WIN32
    return "\"" + exe + options + "\"";  // the command processor strips the outer quotes
#else
    return "exec " + exe + options;  // the worker replaces the shell: its parent is this run
#endif
}

// Reads one worker's lines: "seed result map-ms colour-ms".
void readWorker(int worker)
{
    FILE* in = pool.pipes[static_cast<size_t>(worker)];
    unsigned seed, result, mapMs, colourMs;
    while (in && std::fscanf(in, "%x %u %u %u", &seed, &result, &mapMs, &colourMs) == 4) {
        const uint32_t index = seed - pool.first;
        if (index >= static_cast<uint32_t>(pool.maps)) break;
        std::lock_guard<std::mutex> guard(pool.lock);
        pool.results[index] = {true, {static_cast<uint16_t>(result), mapMs, colourMs}};
        pool.arrived.notify_all();
    }
    std::lock_guard<std::mutex> guard(pool.lock);
    pool.finished[static_cast<size_t>(worker)] = true;
    pool.arrived.notify_all();
}

void startWorkers(uint32_t first, int32_t maps, int32_t nodes)
{
    pool.first = first;
    pool.maps = maps;
    pool.nodes = nodes;
    pool.results.assign(static_cast<size_t>(maps), {});
    pool.finished.assign(static_cast<size_t>(pool.jobs), false);
    pool.pipes.assign(static_cast<size_t>(pool.jobs), nullptr);
    std::fflush(nullptr);
    for (int w = 0; w < pool.jobs; ++w) pool.pipes[static_cast<size_t>(w)] = popen(workerCommand(w).c_str(), "r");
    for (int w = 0; w < pool.jobs; ++w) pool.readers.emplace_back(readWorker, w);
}

// The result of a seed: from its worker, or made here when that worker ended
// without giving it (it could not start, or it died).
BatchMap nextResult(uint32_t seed)
{
    const uint32_t index = seed - pool.first;
    const size_t worker = index % static_cast<uint32_t>(pool.jobs);
    {
        std::unique_lock<std::mutex> guard(pool.lock);
        pool.arrived.wait(guard, [&] { return pool.results[index].ready || pool.finished[worker]; });
        if (pool.results[index].ready) return pool.results[index].map;
    }
    const BatchMap m = colourBatchMap(seed, pool.nodes);
    releaseMap();
    return m;
}

void stopWorkers()
{
    for (std::thread& t : pool.readers) t.join();
    for (FILE* f : pool.pipes)
        if (f) pclose(f);
    pool.readers.clear();
    pool.pipes.clear();
}

const BatchMapSource workerSource = {startWorkers, nextResult, stopWorkers};

bool parseWhole(const std::string& text, long least, long most, long& value)
{
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && !*end && value >= least && value <= most;
}
}  // namespace

int defaultJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores > 64 ? 64 : cores);
}

bool useClockStep(const Arguments& a)
{
    long step = 0;
    if (a.has("--clock-step") && !parseWhole(a.value("--clock-step"), 1, 100000, step)) return false;
    clockStep = static_cast<uint32_t>(step);
    if (clockStep) headlessSetClock(steppingClock);
    return true;
}

// Sets up the workers for the next batch run; one job runs the maps here.
bool useBatchJobs(const Arguments& a)
{
    long jobs = defaultJobs();
    if (a.has("--jobs") && !parseWhole(a.value("--jobs"), 1, 64, jobs)) return false;
    pool.jobs = static_cast<int>(jobs);
    batchMapSource = jobs > 1 ? &workerSource : nullptr;
    return true;
}

// batch-worker: builds and colours every jobs-th seed of a run from its own
// offset and prints one line per map.
int runBatchWorkerCommand(const Arguments& a)
{
    if (const int status =
            allowOnly(a, {"--seed", "--nodes", "--maps", "--jobs", "--worker", "--clock-step", "--reference"}))
        return status;
    literalReference = a.has("--reference");
    if (!useClockStep(a)) return usageError("--clock-step takes a whole number from 1 to 100000");
    long maps = 0, jobs = 1, worker = 0;
    if (!parseWhole(a.value("--maps"), 1, 1000000, maps) || !parseWhole(a.value("--jobs"), 1, 64, jobs) ||
        !parseWhole(a.value("--worker"), 0, jobs - 1, worker))
        return usageError("batch-worker needs --maps, --jobs and --worker in range");
    const uint32_t first = parseSeedText(utf8ToUtf16(a.value("--seed")).c_str());
    const int32_t nodes = nodesFromArguments(a);
#ifdef __linux__
    // A run that is killed takes its workers with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1) return 1;
#endif
    displayMode = 1;
    for (long i = worker; i < maps; i += jobs) {
        const uint32_t seed = first + static_cast<uint32_t>(i);
        const BatchMap m = colourBatchMap(seed, nodes);
        releaseMap();
        if (std::printf("%08x %u %u %u\n", static_cast<unsigned>(seed), m.result, m.mapMs, m.colourMs) < 0 ||
            std::fflush(stdout) != 0)
            return 1;
    }
    return 0;
}
