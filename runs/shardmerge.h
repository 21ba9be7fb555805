// Putting a sharded run together: the shard files of one folder, checked to
// make one whole run, merged into the run log that one sequential run of the
// same seeds writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "runs/shard.h"

namespace orvane {

// A file of the folder that is not a good shard of the run, and why.
struct RefusedShardFile {
    // notAFile: a folder, a pipe or a device under a shard file's name.
    enum class Kind { unreadable, notAFile, otherRun, wrongSlice, duplicate };
    Kind kind = Kind::unreadable;
    std::u16string path;
    std::string reason;
};

// What a folder holds for one run.
struct ShardSet {
    ShardedRun run;
    std::vector<ShardRecord> shards;         // the good shard of each index found, in index order
    std::vector<RefusedShardFile> refused;   // in file name order
    std::vector<uint32_t> missing;           // indices with no good shard, ascending
    std::string folderProblem;               // the folder cannot be read, or holds no shard file
};

// Reads every file named shard-*.txt in `folder`. The run is `run` when
// given, else the one that most complete files belong to.
ShardSet readShardSet(const std::u16string& folder, const ShardedRun* run = nullptr);

// The problems that keep a set from being merged, one line each: the refused
// files by path and the missing shards by index. Empty for a whole run.
std::vector<std::string> shardSetProblems(const ShardSet& set);

struct MergeOutcome {
    std::vector<std::string> problems;  // when there are any, no log was written
    int logError = 0;                   // the error that kept the log from being written
    std::u16string logPath;             // the log written, or the file or folder that failed
    bool folderFailed = false;          // a folder of the log could not be made: logPath names it
};

// Merges the shards of `folder` into the run's log, created in `logParent`
// (see runLogFilePath) as a run log is created, named from the earliest
// shard's start. A log whose writing fails is removed.
MergeOutcome mergeShards(const std::u16string& folder, const std::u16string& logParent);

// The shards of `run` still to be run in `folder`: those with no good file.
// The problems are the files a new run of those shards would not replace:
// shards of another run, copies, wrong slices, broken files under other names.
struct PendingShards {
    std::vector<uint32_t> indices;
    std::vector<std::string> problems;
};
PendingShards pendingShards(const std::u16string& folder, const ShardedRun& run);

// Indices as a job array lists them: "0-3,5,7-9".
std::string indexRanges(const std::vector<uint32_t>& indices);

}  // namespace orvane
