// The shard tests' fixture: a fresh folder, sequential and sharded runs of
// the same seeds, the merged log and the pieces of a log the tests compare.
#pragma once
#include "tests/runs_fixture.h"
#include <cerrno>
#include <memory>
#include <numeric>
#include <vector>
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/shard.h"
#include "runs/shardmerge.h"

namespace runs_testing {

inline constexpr uint64_t wholeSeedSpace = uint64_t{1} << 32;

inline ClockFactory steppingClocks(uint32_t step)
{
    return [step] { return steppingClock(step); };
}

inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The log without its total time line: the only line that tells how the
// maps were spread over time, not what they gave.
inline std::string withoutTotalTime(const std::string& log)
{
    std::string kept;
    for (const std::string& line : linesOf(log))
        if (line.rfind(utf8(u"総処理時間"), 0) != 0) kept += line;
    return kept;
}

inline std::string totalTimeLine(const std::string& log)
{
    for (const std::string& line : linesOf(log))
        if (line.rfind(utf8(u"総処理時間"), 0) == 0) return line;
    return {};
}

inline size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class ShardMerge : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        headlessReset();
        folder = freshFolder();
    }

    void TearDown() override
    {
        headlessClearFileFaults();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // The log of one sequential run on one thread, on clocks that step by `step`.
    std::string sequentialLog(uint32_t seed, int nodes, int maps, uint32_t step)
    {
        BatchSettings s;
        s.firstSeed = seed;
        s.nodes = nodes;
        s.maps = maps;
        s.workerClock = steppingClocks(step);
        s.runClock = steppingClock(step);
        s.logPath = (folder / ("sequential-" + std::to_string(maps) + ".txt")).u16string();
        BatchTexts texts;
        const BatchOutcome out = runBatch(s, texts, nullptr);
        EXPECT_TRUE(out.completed);
        const std::string log = readFile(out.logPath);
        fs::remove(out.logPath);
        return log;
    }

    // Shard i starts at 10:00:0i local time on 2027-03-04 (in UTC), except
    // that shard `earliest` starts at 09:59:59; each lasts 0.5 s.
    static WallClock shardClock(uint32_t i, uint32_t earliest)
    {
        constexpr int64_t tenOClock = 1804154400;  // 2027-03-04 10:00:00 UTC, in seconds since 1970
        const int second = i == earliest ? -1 : static_cast<int>(i);
        auto readings = std::make_shared<int>(0);
        return [second, readings] {
            const int64_t at = (tenOClock + second) * int64_t{1000} + (*readings)++ * 500;
            return WallTime{{2027, 3, 4, second < 0 ? 9 : 10, second < 0 ? 59 : 0, second < 0 ? 59 : second}, at};
        };
    }

    // Runs every shard of the run into `shards`, on `jobs` threads each.
    void runShards(const ShardedRun& run, const fs::path& shards, uint32_t step, int jobs = 1,
                   uint32_t earliest = UINT32_MAX)
    {
        for (uint32_t i = 0; i < run.shards; ++i) {
            ShardSettings s;
            s.run = run;
            s.index = i;
            s.jobs = jobs;
            s.workerClock = steppingClocks(step);
            s.wallClock = shardClock(i, earliest);
            s.folder = shards.u16string();
            const ShardOutcome out = runShard(s, nullptr);
            ASSERT_EQ(out.error, 0) << utf8(out.path);
            ASSERT_EQ(out.path, (shards / utf8(shardFileName(i, run.shards))).u16string());
        }
    }

    // Merges the shards in `shards`; the log when one was written.
    std::string merge(const fs::path& shards, MergeOutcome& out)
    {
        out = mergeShards(shards.u16string(), (folder / "logs").u16string());
        return out.logPath.empty() || out.logError || !out.problems.empty() ? std::string() : readFile(out.logPath);
    }

    std::string mergedLog(const fs::path& shards)
    {
        MergeOutcome out;
        const std::string log = merge(shards, out);
        EXPECT_EQ(out.problems, std::vector<std::string>{});
        EXPECT_EQ(out.logError, 0);
        return log;
    }

    // The problems the merge names; checks that it wrote no log.
    std::vector<std::string> refusal(const fs::path& shards)
    {
        MergeOutcome out;
        merge(shards, out);
        EXPECT_FALSE(out.problems.empty());
        EXPECT_TRUE(out.logPath.empty());
        EXPECT_FALSE(fs::exists(folder / "logs"));
        return out.problems;
    }

    // The last seed of the first `maps` from `seed` that the stepping clock
    // makes fail, counted as the number of maps up to and including it.
    int mapsEndingInAFailure(uint32_t seed, int nodes, int maps, uint32_t step)
    {
        const std::string log = sequentialLog(seed, nodes, maps, step);
        const size_t at = log.rfind(";Error(");
        EXPECT_NE(at, std::string::npos);
        const size_t lineStart = log.rfind('\n', at) + 1;
        const uint32_t failed = std::stoul(log.substr(lineStart, 8), nullptr, 16);
        return static_cast<int>(failed - seed) + 1;
    }
};


}  // namespace runs_testing
