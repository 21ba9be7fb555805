// Running one shard of a batch run: its slice of the seeds, on one or more
// worker threads, recorded in its shard file.
#include "runs/shard.h"
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include "text/utf.h"

namespace orvane {

namespace {
// The shard's side of the loop: the failed maps and the progress.
class ShardRecorder : public MapVisitor {
public:
    ShardRecorder(ShardRecord& record, BatchListener* listener)
        : record_(record), listener_(listener), start_(clockMillis())
    {
    }

    int mapDone(int64_t index, uint32_t seed, const BatchMap& map, const BatchTally& tally) override
    {
        if (map.result != 0) record_.failed.push_back({seed, map.result});
        if (listener_)
            listener_->mapDone({index + 1, static_cast<int64_t>(record_.slice.maps), static_cast<uint32_t>(tally.successes),
                                static_cast<uint32_t>(tally.failures), batchElapsed(start_, clockMillis())});
        return 0;
    }

private:
    ShardRecord& record_;
    BatchListener* listener_;
    const uint32_t start_;
};
}  // namespace

SeedSlice shardSlice(const ShardedRun& run, uint32_t index)
{
    const uint64_t base = run.maps / run.shards, longer = run.maps % run.shards;
    SeedSlice slice;
    slice.maps = base + (index < longer ? 1 : 0);
    slice.offset = base * index + (index < longer ? index : longer);
    slice.firstSeed = run.firstSeed + static_cast<uint32_t>(slice.offset);
    return slice;
}

WallTime systemWallTime()
{
    using namespace std::chrono;
    WallTime t;
    t.local = localTime();
    // A leap second (23:59:60 where the time zone counts them) is written as
    // the second before it: no file holds a time a reader must take on trust.
    if (t.local.second > 59) t.local.second = 59;
    t.epochMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return t;
}

std::u16string pathInFolder(const std::u16string& folder, const std::u16string& name)
{
    if (folder.empty()) return name;
    const char16_t last = folder.back();
    return last == u'/' || last == u'\\' ? folder + name : folder + pathSeparator + name;
}

std::u16string shardFileName(uint32_t index, uint32_t shards)
{
    char name[64];
    std::snprintf(name, sizeof name, "shard-%05" PRIu32 "-of-%05" PRIu32 ".txt", index, shards);
    return utf8ToUtf16(name);
}

ShardOutcome runShard(const ShardSettings& s, BatchListener* listener)
{
    const WallClock wallClock = s.wallClock ? s.wallClock : WallClock(systemWallTime);
    ShardOutcome out;
    ShardRecord& r = out.record;
    r.run = s.run;
    r.index = s.index;
    r.slice = shardSlice(s.run, s.index);
    r.jobs = s.jobs;
    // The folder first: a shard that has nowhere to go builds no map.
    if (!s.folder.empty()) {
        if ((out.error = createFolders(s.folder, out.path))) {
            out.folderFailed = true;
            return out;
        }
    }
    out.path = pathInFolder(s.folder, shardFileName(s.index, s.run.shards));
    if (fileKind(out.path) == FileKind::folder) {
        out.error = EISDIR;
        return out;
    }

    r.start = wallClock();
    const MapRange range{r.slice.firstSeed, static_cast<int64_t>(r.slice.maps), s.run.nodes, s.jobs, s.paths,
                         s.workerClock};
    ShardRecorder recorder(r, listener);
    r.tally = runMapRange(range, recorder).tally;
    r.end = wallClock();
    out.error = writeWholeFile(out.path, shardFileText(r));
    return out;
}

}  // namespace orvane
