// The batch command: the batch run as the program's button runs it, on worker
// threads, with live progress on a terminal and Ctrl-C leaving the log as a
// killed run leaves it; or one shard of a run, leaving its shard file.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include "cli/cli.h"
#include "platform/platform.h"
#include "runs/batch.h"
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/shard.h"
#include "runs/texts.h"
#include "text/utf.h"
#include "ui/controls.h"
#include "ui/strings.h"
#ifdef _WIN32
#include <io.h>
#define write _write
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace orvane::cli {

namespace {
volatile std::sig_atomic_t progressShown = 0;

// Every log write is flushed as it is made, so the file on disk is always a
// log of whole lines: stopping here leaves it as a killed run leaves it.
extern "C" void stopOnInterrupt(int)
{
    static const char message[] = "\norvane-cli: interrupted; the run log names the map in progress\n";
    const char* text = progressShown ? message : message + 1;
    const int length = static_cast<int>(sizeof message - 1) - (progressShown ? 0 : 1);
    if (write(2, text, length) < 0) {}
    std::_Exit(130);
}

std::string minutesAndSeconds(uint64_t ms)
{
    const uint64_t s = (ms + 500) / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02llu:%02llu", static_cast<unsigned long long>(s / 60),
                  static_cast<unsigned long long>(s % 60));
    return buf;
}

// Shows progress on a terminal at most five times a second.
class ProgressPrinter : public BatchListener {
public:
    explicit ProgressPrinter(bool shown) : shown_(shown) {}

    void counterChanged(int, uint32_t) override {}

    void mapDone(const BatchProgress& p) override
    {
        if (!shown_) return;
        if (p.done != p.total && p.elapsedMs - lastMs_ < 200 && p.done != 1) return;
        lastMs_ = p.elapsedMs;
        const uint64_t remaining =
            p.done > 0 ? uint64_t{p.elapsedMs} * static_cast<uint64_t>(p.total - p.done) / static_cast<uint64_t>(p.done) : 0;
        std::fprintf(stderr, "\r%lld/%lld maps  %u ok  %u failed  elapsed %s  remaining %s ",
                     static_cast<long long>(p.done), static_cast<long long>(p.total), p.successes, p.failures,
                     minutesAndSeconds(p.elapsedMs).c_str(), minutesAndSeconds(remaining).c_str());
        std::fflush(stderr);
        progressShown = 1;
    }

private:
    bool shown_;
    uint32_t lastMs_ = 0;
};

bool parseWhole(const std::string& text, long least, long most, long& value)
{
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && !*end && value >= least && value <= most;
}

// Decimal digits only (no sign, no blanks), least..most.
bool parseCount(const std::string& text, uint64_t least, uint64_t most, uint64_t& value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return value >= least && value <= most;
}

// "I/K" with 0 <= I < K <= mostShards.
bool parseShard(const std::string& text, uint32_t& index, uint32_t& shards)
{
    const size_t slash = text.find('/');
    uint64_t i = 0, k = 0;
    if (slash == std::string::npos || !parseCount(text.substr(0, slash), 0, mostShards - 1, i) ||
        !parseCount(text.substr(slash + 1), 1, mostShards, k) || i >= k)
        return false;
    index = static_cast<uint32_t>(i);
    shards = static_cast<uint32_t>(k);
    return true;
}

std::string localText(const char16_t* text) { return toLocaleEncoding(text); }

// The batch page's lines: header, seed range, the two counters, the times.
void printBatchTexts(const BatchTexts& t, const BatchOutcome& out)
{
    namespace ws = windowstrings;
    const bool succeeded = out.failures == 0;
    const std::u16string& logPath = out.logPath;
    std::printf("%s\n%s\n", localText(t.batchHeader).c_str(), localText(t.batchSeedRange).c_str());
    std::printf("%s %s\n%s %s\n", localText(ws::successesLabel).c_str(),
                toLocaleEncoding(decimalText(static_cast<int32_t>(out.successes))).c_str(),
                localText(ws::failuresLabel).c_str(),
                toLocaleEncoding(decimalText(static_cast<int32_t>(out.failures))).c_str());
    std::printf("%s\n%s\n%s\n", localText(t.batchTotalTime).c_str(), localText(t.batchMapTime).c_str(),
                localText(t.batchColourTime).c_str());
    std::printf("%s\n", localText(succeeded ? ws::successText : ws::failureText).c_str());
    std::printf("log %s\n", toLocaleEncoding(logPath).c_str());
}
// What a whole run and a shard both take: --jobs, --clock-step, --reference.
struct MapOptions {
    int jobs = 1;
    Paths paths = Paths::fast;
    uint32_t clockStep = 0;  // 0: the platform's clock
};

int readMapOptions(const Arguments& a, MapOptions& o)
{
    long jobs = defaultBatchJobs(), step = 0;
    if (a.has("--jobs") && !parseWhole(a.value("--jobs"), 1, 64, jobs))
        return usageError("--jobs takes a whole number from 1 to 64");
    if (a.has("--clock-step") && !parseWhole(a.value("--clock-step"), 1, 100000, step))
        return usageError("--clock-step takes a whole number from 1 to 100000");
    o.jobs = static_cast<int>(jobs);
    o.paths = pathsFromArguments(a);
    o.clockStep = static_cast<uint32_t>(step);
    return 0;
}

// Each worker's clock: with --clock-step MS (for tests) its own clock that
// moves on by MS at every reading, so every map sees the same readings however
// the maps are spread over the workers.
ClockFactory workerClocks(const MapOptions& o)
{
    if (!o.clockStep) return {};
    return [ms = o.clockStep] { return steppingClock(ms); };
}

int runWholeBatch(const Arguments& a, const MapOptions& o)
{
    if (a.has("--out")) return usageError("--out is the folder of a shard's file: it needs --shard");
    BatchSettings s;
    s.nodes = clampCount(parseCountText(fieldText(a, "--nodes", countFieldReadUnits).c_str()), leastNodes, mostNodes);
    s.maps = clampCount(parseCountText(fieldText(a, "--maps", countFieldReadUnits).c_str()), 1, mostBatchMaps);
    const std::u16string seed = fieldText(a, "--seed", textBufferUnits);
    s.firstSeed = seed.empty() ? clockMillis() : parseSeedText(seed.c_str());
    s.jobs = o.jobs;
    s.paths = o.paths;
    s.workerClock = workerClocks(o);
    if (o.clockStep) s.runClock = steppingClock(o.clockStep);
    BatchTexts texts;
    formatBatchHeader(texts, s.nodes, s.maps, s.firstSeed);
    s.logPath = runLogFilePath(localTime(), decimalText(s.nodes), decimalText(s.maps), utf8ToUtf16(a.value("--dir")));

    RunLog log;
    if (const int e = log.create(s.logPath, s.firstSeed, s.nodes)) {
        if (log.folderFailed())
            std::fprintf(stderr,
                         "orvane-cli: cannot make the folder '%s' for the run log: %s; no map was built "
                         "(choose another --dir)\n",
                         toLocaleEncoding(log.path()).c_str(), errorText(e).c_str());
        else
            std::fprintf(stderr, "orvane-cli: cannot create the run log '%s': %s; no map was built\n",
                         toLocaleEncoding(log.path()).c_str(), errorText(e).c_str());
        return 1;
    }
    ProgressPrinter progress(isatty(fileno(stderr)) != 0);
    std::signal(SIGINT, stopOnInterrupt);
    const BatchOutcome out = runBatch(s, log, texts, &progress);
    std::signal(SIGINT, SIG_DFL);
    if (progressShown) std::fputc('\n', stderr);
    if (out.logError) {
        std::fprintf(stderr, "orvane-cli: cannot write the run log '%s': %s; the run stopped after %d of %d maps\n",
                     toLocaleEncoding(out.logPath).c_str(), errorText(out.logError).c_str(), out.mapsDone, s.maps);
        return 1;
    }
    printBatchTexts(texts, out);
    return 0;
}

std::string seedRangeText(const SeedSlice& slice)
{
    if (slice.maps == 0) return "no seeds";
    return localText(seedDigits(slice.firstSeed).c_str()) + ".." +
           localText(seedDigits(slice.firstSeed + static_cast<uint32_t>(slice.maps - 1)).c_str());
}

// One shard: its slice of the seeds, recorded in its file in --out. Nothing
// is written until the slice is done, and then the file comes whole.
int runShardBatch(const Arguments& a, const MapOptions& o)
{
    if (a.has("--dir")) return usageError("--dir is the run log's folder: a shard writes its file into --out");
    if (a.value("--out").empty()) return usageError("--shard needs --out DIR, the folder of the shard files");
    ShardSettings s;
    if (!parseShard(a.value("--shard"), s.index, s.run.shards))
        return usageError("--shard takes I/K: whole numbers with 0 <= I < K <= " + std::to_string(mostShards));
    if (const int status = shardedRunFromArguments(a, s.run.shards, s.run)) return status;
    s.jobs = o.jobs;
    s.paths = o.paths;
    s.workerClock = workerClocks(o);
    s.folder = utf8ToUtf16(a.value("--out"));

    ProgressPrinter progress(isatty(fileno(stderr)) != 0);
    const ShardOutcome out = runShard(s, &progress);
    if (progressShown) std::fputc('\n', stderr);
    if (out.folderFailed) {
        std::fprintf(stderr,
                     "orvane-cli: cannot make the folder '%s' for the shard file: %s; no map was built "
                     "(choose another --out)\n",
                     toLocaleEncoding(out.path).c_str(), errorText(out.error).c_str());
        return 1;
    }
    if (out.error) {
        std::fprintf(stderr, "orvane-cli: cannot write the shard file '%s': %s\n", toLocaleEncoding(out.path).c_str(),
                     errorText(out.error).c_str());
        return 1;
    }
    const ShardRecord& r = out.record;
    std::printf("shard %u/%u: %s (%llu maps): %llu ok, %llu failed\n", r.index, r.run.shards,
                seedRangeText(r.slice).c_str(), static_cast<unsigned long long>(r.slice.maps),
                static_cast<unsigned long long>(r.tally.successes), static_cast<unsigned long long>(r.tally.failures));
    std::printf("shard-file %s\n", toLocaleEncoding(out.path).c_str());
    return 0;
}
}  // namespace

int shardedRunFromArguments(const Arguments& a, uint32_t shards, ShardedRun& run)
{
    const std::u16string seed = fieldText(a, "--seed", textBufferUnits);
    if (seed.empty()) return usageError("a sharded run needs --seed: every shard must start from the same seed");
    uint64_t maps = 0;
    if (!parseCount(a.value("--maps"), 1, mostShardedMaps, maps))
        return usageError("a sharded run needs --maps, a whole number from 1 to " + std::to_string(mostShardedMaps));
    run.firstSeed = parseSeedText(seed.c_str());
    run.nodes = clampCount(parseCountText(fieldText(a, "--nodes", countFieldReadUnits).c_str()), leastNodes, mostNodes);
    run.maps = maps;
    run.shards = shards;
    return 0;
}

int runBatchCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--maps", "--dir", "--jobs", "--clock-step", "--reference",
                                         "--shard", "--out"}))
        return status;
    if (a.has("--dir") && a.value("--dir").empty()) return usageError("--dir needs a folder");
    MapOptions options;
    if (const int status = readMapOptions(a, options)) return status;
    return a.has("--shard") ? runShardBatch(a, options) : runWholeBatch(a, options);
}

}  // namespace orvane::cli
