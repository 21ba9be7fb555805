// The commands over a folder of shard files: merge, which puts a sharded run
// together into its run log, and pending, which tells a submission which
// shards are still to run.
#include <cstdio>
#include "cli/cli.h"
#include "platform/platform.h"
#include "runs/shardmerge.h"
#include "text/utf.h"

namespace orvane::cli {

namespace {
void printProblems(const std::vector<std::string>& problems, const char* command)
{
    for (const std::string& p : problems) std::fprintf(stderr, "orvane-cli: %s: %s\n", command, p.c_str());
}

bool parseShardCount(const std::string& text, uint32_t& shards)
{
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long k = std::stoul(text);
    shards = static_cast<uint32_t>(k);
    return k >= 1 && k <= mostShards;
}
}  // namespace

int runMergeCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--dir"}, 1)) return status;
    if (a.operands.empty() || a.operands[0].empty())
        return usageError("merge needs the folder of the shard files: orvane-cli merge DIR [--dir LOGDIR]");
    if (a.has("--dir") && a.value("--dir").empty()) return usageError("--dir needs a folder");
    const std::u16string folder = utf8ToUtf16(a.operands[0]);
    const MergeOutcome out = mergeShards(folder, a.has("--dir") ? utf8ToUtf16(a.value("--dir")) : folder);
    if (!out.problems.empty()) {
        printProblems(out.problems, "merge");
        std::fprintf(stderr, "orvane-cli: merge: no run log written\n");
        return 1;
    }
    if (out.logError && out.folderFailed) {
        std::fprintf(stderr,
                     "orvane-cli: merge: cannot make the folder '%s' for the run log: %s; no run log written "
                     "(choose another --dir)\n",
                     toLocaleEncoding(out.logPath).c_str(), errorText(out.logError).c_str());
        return 1;
    }
    if (out.logError) {
        std::fprintf(stderr, "orvane-cli: merge: cannot write the run log '%s': %s; no run log written\n",
                     toLocaleEncoding(out.logPath).c_str(), errorText(out.logError).c_str());
        return 1;
    }
    std::printf("%s\n", toLocaleEncoding(out.logPath).c_str());
    return 0;
}

int runPendingCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--maps", "--shards", "--out"})) return status;
    if (a.value("--out").empty()) return usageError("pending needs --out DIR, the folder of the shard files");
    uint32_t shards = 0;
    if (!parseShardCount(a.value("--shards"), shards))
        return usageError("pending needs --shards K, a whole number from 1 to " + std::to_string(mostShards));
    ShardedRun run;
    if (const int status = shardedRunFromArguments(a, shards, run)) return status;
    const PendingShards pending = pendingShards(utf8ToUtf16(a.value("--out")), run);
    if (!pending.problems.empty()) {
        printProblems(pending.problems, "pending");
        return 1;
    }
    if (!pending.indices.empty()) std::printf("%s\n", indexRanges(pending.indices).c_str());
    return 0;
}

}  // namespace orvane::cli
