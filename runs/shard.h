// Shards of a batch run: the seed range S .. S+M-1 cut into K contiguous
// slices, each run on its own (on another machine, at another time) and
// recorded in a shard file that the merge puts together into the run log of
// the whole run.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "platform/platform.h"
#include "runs/batch.h"

namespace orvane {

inline constexpr uint64_t mostShardedMaps = uint64_t{1} << 32;  // the whole seed space
inline constexpr uint32_t mostShards = 1000000;

// What every shard of one run shares.
struct ShardedRun {
    uint32_t firstSeed = 0;
    int32_t nodes = leastNodes;
    uint64_t maps = 1;     // 1 .. 2^32
    uint32_t shards = 1;   // 1 .. mostShards
    bool operator==(const ShardedRun&) const = default;
};

// The seeds of one shard: `maps` seeds from firstSeed, the run's maps from
// `offset` on. The first M mod K slices have one map more than the others.
struct SeedSlice {
    uint32_t firstSeed = 0;
    uint64_t maps = 0;
    uint64_t offset = 0;
    bool operator==(const SeedSlice&) const = default;
};
SeedSlice shardSlice(const ShardedRun& run, uint32_t index);

// A moment on the local clock and on the machine-independent one.
struct WallTime {
    LocalTime local{};
    int64_t epochMs = 0;  // milliseconds since 1970-01-01 00:00 UTC
};
using WallClock = std::function<WallTime()>;
WallTime systemWallTime();

struct FailedMap {
    uint32_t seed = 0;
    uint16_t result = 0;  // the engine's result, never 0
    bool operator==(const FailedMap&) const = default;
};

// All that a shard file holds.
struct ShardRecord {
    ShardedRun run;
    uint32_t index = 0;
    SeedSlice slice;
    int jobs = 1;
    WallTime start, end;
    BatchTally tally;
    std::vector<FailedMap> failed;  // in seed order
};

// "shard-IIIII-of-KKKKK.txt"
std::u16string shardFileName(uint32_t index, uint32_t shards);
// `name` in `folder` (empty: the current folder).
std::u16string pathInFolder(const std::u16string& folder, const std::u16string& name);
// The file's text, ending with the line that marks it complete.
std::string shardFileText(const ShardRecord& record);
// Reads a shard file's text: true when it is whole and consistent; otherwise
// `problem` says what is wrong with it. Reads only what shardFileText writes.
bool readShardText(const std::string& text, ShardRecord& record, std::string& problem);
// A shard file's first lines, up to its sums, are never longer than this.
inline constexpr size_t shardHeadBytes = 1024;
// From the first lines of a file (its first shardHeadBytes, or all of it):
// true with the most bytes that a shard file beginning so can hold, the
// failed maps it counts included; false, with the problem, when it does not
// begin as a shard file does. No file larger than that needs to be read.
bool shardFileLimit(const std::string& head, uint64_t& most, std::string& problem);

struct ShardSettings {
    ShardedRun run;
    uint32_t index = 0;
    int jobs = 1;
    Paths paths = Paths::fast;
    ClockFactory workerClock;  // unset: the platform's millisecond clock
    WallClock wallClock;       // unset: systemWallTime
    std::u16string folder;     // where the shard file goes (made as mkdir -p makes it)
};

struct ShardOutcome {
    int error = 0;         // the error that kept the file from being written (0: none)
    std::u16string path;   // the shard file, or the folder that could not be made
    bool folderFailed = false;  // a folder could not be made (no map was built)
    ShardRecord record;
};

// Runs the shard's maps and writes its file whole or not at all. The
// listener learns each map's progress within the shard.
ShardOutcome runShard(const ShardSettings& settings, BatchListener* listener);

}  // namespace orvane
