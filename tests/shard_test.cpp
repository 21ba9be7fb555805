// Sharded runs: the slices of the seed range, the shard file, and the merge,
// whose run log must be the log of one sequential run of the same seeds, and
// which must refuse every set of shards that is not one whole run.
#include "tests/shard_fixture.h"
#include <cerrno>
#include <chrono>
#include <memory>
#include <numeric>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif
#include "runs/clocks.h"
#include "runs/runlog.h"
#include "runs/shard.h"
#include "runs/shardmerge.h"

namespace {
using namespace runs_testing;

TEST(ShardSlices, CoverTheRunInOrderWithSizesThatDifferByOneAtMost)
{
    const std::vector<std::pair<uint64_t, uint32_t>> runs = {
        {1, 1}, {1, 5}, {3, 5}, {5, 5}, {10, 3}, {1000, 7}, {wholeSeedSpace, 1}, {wholeSeedSpace, 3},
        {wholeSeedSpace, mostShards}, {wholeSeedSpace - 1, 1000}};
    for (const auto& [maps, shards] : runs) {
        SCOPED_TRACE(std::to_string(maps) + " maps in " + std::to_string(shards) + " shards");
        const ShardedRun run{0xfffffff0u, 20, maps, shards};
        uint64_t next = 0;
        for (uint32_t i = 0; i < shards; ++i) {
            const SeedSlice s = shardSlice(run, i);
            ASSERT_EQ(s.offset, next);
            ASSERT_EQ(s.firstSeed, run.firstSeed + static_cast<uint32_t>(s.offset));
            // The first M mod K slices have one map more.
            ASSERT_EQ(s.maps, maps / shards + (i < maps % shards ? 1 : 0));
            next += s.maps;
        }
        EXPECT_EQ(next, maps);
    }
}

TEST(ShardSlices, SmallRunsWrapAroundAndTheWholeSeedSpace)
{
    // More shards than maps: one map each, then empty slices.
    const ShardedRun few{0x10, 20, 3, 5};
    EXPECT_EQ(shardSlice(few, 2), (SeedSlice{0x12, 1, 2}));
    EXPECT_EQ(shardSlice(few, 3), (SeedSlice{0x13, 0, 3}));
    EXPECT_EQ(shardSlice(few, 4), (SeedSlice{0x13, 0, 3}));
    EXPECT_EQ(shardSlice({0x77, 20, 1, 1}, 0), (SeedSlice{0x77, 1, 0}));
    // Past ffffffff the seeds start again at 0.
    const ShardedRun wrapping{0xfffffff0u, 20, 40, 3};
    EXPECT_EQ(shardSlice(wrapping, 1), (SeedSlice{0xfffffffeu, 13, 14}));
    EXPECT_EQ(shardSlice(wrapping, 2), (SeedSlice{0x0000000bu, 13, 27}));
    // All 2^32 seeds: every seed once, the last shard ending just before the first seed.
    const ShardedRun all{0x80000000u, 20, wholeSeedSpace, 3};
    EXPECT_EQ(shardSlice(all, 0), (SeedSlice{0x80000000u, 1431655766, 0}));
    EXPECT_EQ(shardSlice(all, 1), (SeedSlice{0x80000000u + 1431655766u, 1431655765, 1431655766}));
    const SeedSlice last = shardSlice(all, 2);
    EXPECT_EQ(last.firstSeed + static_cast<uint32_t>(last.maps), 0x80000000u);
    EXPECT_EQ(shardSlice({5, 20, wholeSeedSpace, 1}, 0), (SeedSlice{5, wholeSeedSpace, 0}));
}

TEST_F(ShardMerge, LastMapFailingAndRunsSmallerThanTheShardCount)
{
    const int maps = mapsEndingInAFailure(0xfffffff0u, 20, 60, 400);
    ASSERT_GT(maps, 10);
    struct Case {
        ShardedRun run;
        uint32_t step;
    };
    const std::vector<Case> cases = {{{0xfffffff0u, 20, static_cast<uint64_t>(maps), 4}, 400},
                                     {{0x2a, 50, 3, 5}, 1},
                                     {{0x2a, 50, 1, 1}, 1},
                                     {{0x2a, 20, 2, 3}, 2000}};
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.run.maps) + "-" + std::to_string(c.run.shards) + "-" + std::to_string(c.step);
        SCOPED_TRACE(name);
        runShards(c.run, folder / name, c.step);
        const std::string sequential = sequentialLog(c.run.firstSeed, c.run.nodes, static_cast<int>(c.run.maps), c.step);
        EXPECT_EQ(withoutTotalTime(mergedLog(folder / name)), withoutTotalTime(sequential));
        if (c.step != 1) {
            const uint32_t last = c.run.firstSeed + static_cast<uint32_t>(c.run.maps - 1);
            EXPECT_EQ(count(sequential, utf8(seedDigits(last)) + "(20)\t;Error("), 1u) << "the last map fails";
        }
        fs::remove_all(folder / "logs");
    }
}

// Shard files written by hand, for runs beyond what a test can colour.
ShardRecord madeUpShard(const ShardedRun& run, uint32_t index, uint64_t mapMs, std::vector<FailedMap> failed)
{
    ShardRecord r;
    r.run = run;
    r.index = index;
    r.slice = shardSlice(run, index);
    r.start = {{2027, 1, 2, 3, 4, 5}, 1798859045000};  // in UTC
    r.end = {{2027, 1, 2, 3, 5, 5}, 1798859105000};
    r.tally = {r.slice.maps - failed.size(), failed.size(), mapMs, 2 * mapMs};
    r.failed = std::move(failed);
    return r;
}

void writeShard(const fs::path& shards, const ShardRecord& r)
{
    fs::create_directories(shards);
    std::ofstream(shards / utf8(shardFileName(r.index, r.run.shards)), std::ios::binary) << shardFileText(r);
}

// Up to a million maps the sums wrap as one run's 32-bit sums do; beyond,
// the map count and the sums are shown whole.
TEST_F(ShardMerge, SumsWrapLikeOneRunsUpToAMillionMapsAndAreExactBeyond)
{
    const ShardedRun small{0, 20, 1000, 2};
    writeShard(folder / "small", madeUpShard(small, 0, 1500000000, {}));
    writeShard(folder / "small", madeUpShard(small, 1, 1500000000, {{999, 0xfffb}}));
    const std::string smallLog = mergedLog(folder / "small");
    EXPECT_NE(smallLog.find(utf8(u"000003e7(20)\t;Error(-5)\r\n00000000(20)\t;初期地図\r\n")), std::string::npos) << smallLog;
    EXPECT_NE(smallLog.find(utf8(u"地図 : -1294967296 (msec)\r\n着色 : 1705032704 (msec)\r\n")), std::string::npos) << smallLog;
    EXPECT_NE(smallLog.find(utf8(u"総処理時間 :  01 分 00 秒\r\n")), std::string::npos);

    const ShardedRun all{0, 20, wholeSeedSpace, 2};
    writeShard(folder / "all", madeUpShard(all, 0, 6000000000, {{7, 3}}));
    writeShard(folder / "all", madeUpShard(all, 1, 6000000000, {}));
    const std::string allLog = mergedLog(folder / "all");
    EXPECT_EQ(allLog, utf8(u"00000007(20)\t;Error(3)\r\n"
                           u"ffffffff(20)\t;最終地図\r\n"
                           u"00000000(20)\t;初期地図\r\n"
                           u"--------------------------\r\n"
                           u"ノード数 : 20\r\n"
                           u"地図数 : 4294967296\r\n"
                           u"--------------------------\r\n"
                           u"総処理時間 :  01 分 00 秒\r\n"
                           u"地図 : 12000000000 (msec)\r\n"
                           u"着色 : 24000000000 (msec)\r\n"));

    // The largest sums the whole seed space can have, every map taking
    // ffffffff ms: shown whole, never as negative numbers.
    for (uint32_t i = 0; i < 2; ++i) {
        ShardRecord r = madeUpShard(all, i, 0, {});
        r.tally.mapMs = r.tally.colourMs = r.slice.maps * uint64_t{0xFFFFFFFFu};
        writeShard(folder / "slowest", r);
    }
    const std::string slowest = mergedLog(folder / "slowest");
    EXPECT_NE(slowest.find(utf8(u"地図 : 18446744069414584320 (msec)\r\n着色 : 18446744069414584320 (msec)\r\n")),
              std::string::npos) << slowest;
}

// A good set of four shards, then each fault on a copy of it: the merge
// names the file or the shard and writes no log.
TEST_F(ShardMerge, RefusesEveryBrokenSetNamingTheShard)
{
    const ShardedRun run{0x100, 20, 40, 4};
    const fs::path good = folder / "good";
    runShards(run, good, 400);
    const fs::path other = folder / "other";
    runShards({0x101, 20, 40, 4}, other, 400);
    const auto shardFile = [](const fs::path& shards, int i) { return shards / utf8(shardFileName(i, 4)); };
    const auto faulty = [&](const std::string& name, const std::function<void(const fs::path&)>& spoil) {
        const fs::path copy = folder / name;
        fs::copy(good, copy);
        spoil(copy);
        return refusal(copy);
    };
    const auto expectNamed = [](const std::vector<std::string>& problems, const std::string& what) {
        for (const std::string& p : problems)
            if (p.find(what) != std::string::npos) return;
        ADD_FAILURE() << "no problem names '" << what << "' in:\n" << ::testing::PrintToString(problems);
    };
    const std::string text1 = readFile(shardFile(good, 1));

    auto problems = faulty("truncated", [&](const fs::path& p) {
        std::ofstream(shardFile(p, 1), std::ios::binary) << text1.substr(0, text1.size() / 2);
    });
    expectNamed(problems, "shard-00001-of-00004.txt: incomplete");
    expectNamed(problems, "shard 1 of 4 is missing");

    problems = faulty("unmarked", [&](const fs::path& p) {
        std::ofstream(shardFile(p, 1), std::ios::binary) << text1.substr(0, text1.size() - 9);  // without "complete\n"
    });
    expectNamed(problems, "shard-00001-of-00004.txt: incomplete");

    problems = faulty("foreign", [&](const fs::path& p) {
        fs::remove(shardFile(p, 2));
        fs::copy_file(shardFile(other, 2), shardFile(p, 2));
    });
    expectNamed(problems, "shard-00002-of-00004.txt: belongs to another run (seed 00000101, nodes 20, maps 40, shards 4)");
    expectNamed(problems, "shard 2 of 4 is missing");

    problems = faulty("twice", [&](const fs::path& p) { fs::copy_file(shardFile(p, 3), p / "shard-00003-again.txt"); });
    EXPECT_EQ(problems.size(), 1u);
    expectNamed(problems, "shard-00003-again.txt: another copy of shard 3");

    problems = faulty("overlapping", [&](const fs::path& p) {
        ShardRecord r;
        std::string why;
        ASSERT_TRUE(readShardText(text1, r, why)) << why;
        ++r.slice.maps;  // one seed into shard 2's slice
        ++r.tally.successes;
        std::ofstream(shardFile(p, 1), std::ios::binary) << shardFileText(r);
    });
    expectNamed(problems, "shard-00001-of-00004.txt: holds seeds 0000010a..00000114 (11 maps), not shard 1's seeds 0000010a..00000113 (10 maps); it overlaps shard 2");

    problems = faulty("gap", [&](const fs::path& p) { fs::remove(shardFile(p, 2)); });
    EXPECT_EQ(problems, std::vector<std::string>{"shard 2 of 4 is missing (no complete shard-00002-of-00004.txt)"});

    problems = faulty("gaps", [&](const fs::path& p) {
        for (int i : {0, 1, 3}) fs::remove(shardFile(p, i));
    });
    EXPECT_EQ(problems, (std::vector<std::string>{"shards 0-1 of 4 are missing",
                                                  "shard 3 of 4 is missing (no complete shard-00003-of-00004.txt)"}));

    problems = faulty("empty", [&](const fs::path& p) {
        for (int i = 0; i < 4; ++i) fs::remove(shardFile(p, i));
    });
    expectNamed(problems, "no shard file");

    // The good set itself merges.
    EXPECT_NE(mergedLog(good), "");
}

// What the submission asks before it runs shards again: the ones with no
// good file, and whether anything there would stand in the way.
TEST_F(ShardMerge, PendingShardsAreTheMissingAndBrokenOnes)
{
    const ShardedRun run{0x100, 20, 40, 4};
    EXPECT_EQ(indexRanges(pendingShards((folder / "nothing-yet").u16string(), run).indices), "0-3");
    runShards(run, folder / "s", 400);
    EXPECT_EQ(pendingShards((folder / "s").u16string(), run).indices, std::vector<uint32_t>{});
    fs::remove(folder / "s" / "shard-00001-of-00004.txt");
    std::ofstream(folder / "s" / "shard-00002-of-00004.txt", std::ios::binary) << "orvane shard file 1\nseed 00";
    PendingShards pending = pendingShards((folder / "s").u16string(), run);
    EXPECT_EQ(indexRanges(pending.indices), "1-2");
    EXPECT_EQ(pending.problems, std::vector<std::string>{});  // the broken file is replaced when shard 2 runs
    // The same folder for a run of other seeds: its files stand in the way.
    pending = pendingShards((folder / "s").u16string(), {0x200, 20, 40, 4});
    EXPECT_EQ(indexRanges(pending.indices), "0-3");
    EXPECT_EQ(pending.problems.size(), 2u);
    EXPECT_EQ(indexRanges({0, 1, 2, 5, 7, 8}), "0-2,5,7-8");
}

TEST_F(ShardMerge, FailedWritesLeaveNoLogAndTakenNamesGetTheNextOne)
{
    const ShardedRun run{0x100, 20, 40, 4};
    runShards(run, folder / "s", 400);
    headlessFailFileOperation(FileOperation::write, 1, ENOSPC);
    MergeOutcome out;
    merge(folder / "s", out);
    headlessClearFileFaults();
    EXPECT_EQ(out.logError, ENOSPC);
    EXPECT_FALSE(fs::exists(out.logPath));
    const fs::path log = folder / "logs" / "Log_2027" / "(20)40_@0304100000.txt";
    EXPECT_EQ(out.logPath, log.u16string());
    const std::string first = mergedLog(folder / "s");
    EXPECT_EQ(first, readFile(log));
    EXPECT_EQ(mergedLog(folder / "s"), first);
    EXPECT_TRUE(fs::exists(folder / "logs" / "Log_2027" / "(20)40_@0304100000_2.txt"));

    // A shard with nowhere to go builds nothing and names the folder.
    std::ofstream(folder / "file") << "x";
    ShardSettings s;
    s.run = run;
    s.folder = (folder / "file" / "below").u16string();
    const ShardOutcome shard = runShard(s, nullptr);
    EXPECT_EQ(shard.error, ENOTDIR);
    EXPECT_EQ(shard.path, (folder / "file").u16string());
}

// The reader takes exactly what the writer writes, and names the line of
// anything else.
TEST(ShardFile, ReadsBackWhatIsWrittenAndNamesTheFaultyLine)
{
    const ShardedRun run{0xfffffffeu, 300, 10, 2};
    ShardRecord r;
    r.run = run;
    r.index = 0;
    r.slice = shardSlice(run, 0);
    r.jobs = 4;
    r.start = {{2026, 12, 7, 22, 45, 30}, 1796640330123};
    r.end = {{2026, 12, 7, 22, 46, 1}, 1796640361004};
    r.tally = {3, 2, 1234, 5678};
    r.failed = {{0xffffffffu, 0xfffb}, {0x1, 7}};
    const std::string text = shardFileText(r);
    EXPECT_EQ(text, "orvane shard file 1\nseed fffffffe\nnodes 300\nmaps 10\nshards 2\nshard 0\n"
                    "slice-first fffffffe\nslice-maps 5\njobs 4\n"
                    "start 2026-12-07 22:45:30 1796640330.123\nend 2026-12-07 22:46:01 1796640361.004\n"
                    "successes 3\nfailures 2\nmap-ms 1234\ncolour-ms 5678\n"
                    "failed ffffffff -5\nfailed 00000001 7\ncomplete\n");
    ShardRecord back;
    std::string problem;
    ASSERT_TRUE(readShardText(text, back, problem)) << problem;
    EXPECT_EQ(shardFileText(back), text);
    EXPECT_EQ(back.failed, r.failed);
    EXPECT_EQ(back.start.epochMs, r.start.epochMs);

    const auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::vector<std::pair<std::string, std::string>> faults = {
        {replaced("seed fffffffe", "seed FFFFFFFE"), "line 2: seed must be 8 hexadecimal digits"},
        {replaced("nodes 300", "nodes 0300"), "line 3: nodes must be a whole number from 3 to 10000"},
        {replaced("maps 10", "maps 4294967297"), "line 4: maps must be a whole number from 1 to 4294967296"},
        {replaced("shard 0", "shard 2"), "line 6: shard must be a whole number from 0 to 1"},
        {replaced("successes 3", "successes 4"), "line 13: successes and failures add up to 6"},
        {replaced("failed 00000001 7", "failed 00000001 0"), "line 17: a failed map's result must be"},
        {replaced("failed 00000001 7", "failed 00000005 7"), "line 17: failed seed 00000005 lies outside"},
        {replaced("failed ffffffff -5\nfailed 00000001 7", "failed 00000001 7\nfailed ffffffff -5"),
         "line 17: failed seed ffffffff is out of seed order"},
        {replaced("failed 00000001 7\n", ""), "line 17: expected 'failed ...', found 'complete'"},
        {replaced("end 2026-12-07 22:46:01 1796640361.004", "end 2026-12-07 22:46:01 1796640329.004"),
         "the shard ends before it starts"},
        {replaced("22:45:30 1796640330.123", "22:45:30 1796640330.12"), "line 10: start must be"},
        {replaced("orvane shard file 1", "orvane shard file 2"), "line 1: expected 'orvane shard file 1'"},
        {text + "complete\n", "more lines after 'complete'"},
        {replaced("\njobs", "\r\njobs"), "line 8 ends with CR LF"},
        {replaced("jobs 4", "jobs\r4"), "line 9 holds a carriage return"},
        {text.substr(0, 120), "incomplete"},
        {"", "incomplete"},
    };
    for (const auto& [faulty, expected] : faults) {
        SCOPED_TRACE(faulty);
        EXPECT_FALSE(readShardText(faulty, back, problem));
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    }
}
// A shard of 5 maps whose times and sums are changed one at a time: each
// limit taken at its last good value and refused one step beyond.
class ShardValues : public ::testing::Test {
protected:
    ShardRecord record;

    void SetUp() override
    {
        record.run = {0x10, 20, 10, 2};
        record.slice = shardSlice(record.run, 0);
        record.start = utc(2026, 12, 7, 13, 45, 30);
        record.end = utc(2026, 12, 7, 13, 46, 1);
        record.tally = {5, 0, 1234, 5678};
    }

    // The moment in UTC, with the local time `hoursAhead` of it.
    static WallTime utc(int y, int mo, int d, int h, int mi, int s, int hoursAhead = 0)
    {
        using namespace std::chrono;
        const sys_seconds moment = sys_days{year{y} / month{static_cast<unsigned>(mo)} / day{static_cast<unsigned>(d)}} +
                                   hours{h} + minutes{mi} + seconds{s};
        const sys_seconds local = moment + hours{hoursAhead};
        const sys_days date = floor<days>(local);
        const year_month_day ymd{date};
        const hh_mm_ss<seconds> time{local - date};
        const LocalTime l{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                          static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
                          static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
        return {l, moment.time_since_epoch().count() * 1000 + 250};
    }

    // The problem with the record's file; empty when it is read back whole.
    std::string problemWith(const std::string& text) const
    {
        ShardRecord back;
        std::string problem;
        if (readShardText(text, back, problem)) return shardFileText(back) == text ? "" : "read back otherwise";
        return problem.empty() ? "refused without a reason" : problem;
    }
    std::string problem() const { return problemWith(shardFileText(record)); }

    // The record's file with one line's text replaced.
    std::string replaced(const std::string& from, const std::string& to) const
    {
        std::string t = shardFileText(record);
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    }
};

// A map's time is the difference of two 32-bit clock readings: a slice's sum
// is at most its map count times ffffffff ms, which 64 bits always hold.
TEST_F(ShardValues, SumsBeyondWhatTheSlicesMapsCanTakeAreRefused)
{
    const uint64_t most = 5 * uint64_t{0xFFFFFFFFu};
    for (uint64_t BatchTally::*sum : {&BatchTally::mapMs, &BatchTally::colourMs}) {
        record.tally.*sum = most;
        EXPECT_EQ(problem(), "");
        record.tally.*sum = most + 1;
        EXPECT_NE(problem().find("must be a whole number from 0 to 21474836475, not '21474836476'"), std::string::npos)
            << problem();
        record.tally.*sum = 0;
    }
    // An empty slice takes no time at all.
    record.run = {0x10, 20, 1, 2};
    record.index = 1;
    record.slice = shardSlice(record.run, 1);
    record.tally = {0, 0, 0, 0};
    EXPECT_EQ(problem(), "");
    record.tally.colourMs = 1;
    EXPECT_NE(problem().find("colour-ms must be a whole number from 0 to 0"), std::string::npos) << problem();
}

TEST_F(ShardValues, DatesAndTimesMustBeRealOnes)
{
    // Leap days: 2028 and 2000 have one, 2027 and 2100 none.
    record.start = utc(2028, 2, 29, 23, 59, 59);
    record.end = utc(2028, 3, 1, 0, 0, 0);
    EXPECT_EQ(problem(), "");
    record.start = utc(2000, 2, 29, 0, 0, 0);
    EXPECT_EQ(problem(), "");
    record.start = utc(2026, 12, 31, 23, 59, 59);
    record.end = utc(2027, 1, 1, 0, 0, 0);
    EXPECT_EQ(problem(), "");
    const std::string start = "start 2026-12-31 23:59:59 1798761599.250";
    ASSERT_NE(shardFileText(record).find(start), std::string::npos) << shardFileText(record);
    for (const char* faulty : {"2027-02-29 12:00:00", "2100-02-29 12:00:00", "0000-02-31 23:59:59", "2026-04-31 10:00:00",
                               "2026-12-32 10:00:00", "2026-13-01 10:00:00", "2026-00-10 10:00:00", "2026-12-31 24:00:00",
                               "2026-12-31 23:60:00", "2026-12-31 23:59:60"}) {
        SCOPED_TRACE(faulty);
        EXPECT_NE(problemWith(replaced("2026-12-31 23:59:59", faulty)).find("line 10: start must be"), std::string::npos)
            << problemWith(replaced("2026-12-31 23:59:59", faulty));
    }
}

// Local time and seconds since 1970 are two readings of one clock: they lie
// no further apart than a time zone's offset (UTC-12 .. UTC+14).
TEST_F(ShardValues, LocalTimeAndEpochTimeAgreeWithinATimeZonesOffset)
{
    for (const int hours : {-12, -1, 0, 9, 14}) {
        SCOPED_TRACE(hours);
        record.start = utc(2026, 12, 7, 13, 45, 30, hours);
        record.end = utc(2026, 12, 7, 13, 46, 1, hours);
        EXPECT_EQ(problem(), "");
    }
    record.start = utc(2026, 12, 7, 13, 45, 30, 16);
    EXPECT_NE(problem().find("line 10: start's local time and seconds since 1970 are 16 hours apart"), std::string::npos)
        << problem();
    record.start = utc(2026, 12, 7, 13, 45, 30, -16);
    EXPECT_NE(problem().find("are -16 hours apart"), std::string::npos) << problem();
    record.start = utc(2026, 12, 7, 13, 45, 30);
    record.end = utc(2026, 12, 7, 13, 46, 1, 16);
    EXPECT_NE(problem().find("line 11: end's local time"), std::string::npos) << problem();
    // An epoch of 10^15 s, or near it, is no time of a four-digit year.
    record.end = utc(2026, 12, 7, 13, 46, 1);
    for (const char* epoch : {"999999999999999.000", "1000000000000000.000"}) {
        EXPECT_NE(problemWith(replaced("1796651161.250", epoch)).find("line 11: end"), std::string::npos) << epoch;
    }
    // The end before the start, by a millisecond; the same moment is fine.
    record.end = record.start;
    EXPECT_EQ(problem(), "");
    record.end.epochMs = record.start.epochMs - 1;
    EXPECT_NE(problem().find("the shard ends before it starts"), std::string::npos) << problem();
}

// A file whose lines were converted to CR LF is named as such, not as cut short.
TEST_F(ShardValues, CrLfLineEndsAreNamed)
{
    std::string text;
    for (const char c : shardFileText(record)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_NE(problemWith(text).find("line 1 ends with CR LF"), std::string::npos) << problemWith(text);
    EXPECT_EQ(problemWith(text).find("incomplete"), std::string::npos);
}
#ifndef _WIN32
// The folder of a run as users leave it: a pipe, a folder or a huge file
// under a shard file's name; the companion reads it as a user runs it.
class ShardFolder : public ShardMerge {
protected:
    struct Ran {
        int status = -1;
        std::string out, err;
    };

    // `before` runs in the same shell first (a limit, a time-out).
    Ran companion(const std::string& arguments, const std::string& before = "")
    {
        const fs::path out = folder / "companion.out", err = folder / "companion.err";
        const std::string command = before + " " + ORVANE_CLI + " " + arguments + " >'" + out.string() + "' 2>'" +
                                    err.string() + "'";
        const int status = std::system(command.c_str());
        Ran r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    const ShardedRun run{0x100, 20, 40, 4};
    std::string runOptions() const { return "--seed 100 --nodes 20 --maps 40 --shards 4"; }

    // A copy of a good set of the run's shards, without shard `left` (if any).
    fs::path setWithout(const std::string& name, uint32_t left = UINT32_MAX)
    {
        if (!fs::exists(folder / "good")) runShards(run, folder / "good", 400);
        const fs::path copy = folder / name;
        fs::copy(folder / "good", copy);
        if (left != UINT32_MAX) fs::remove(copy / utf8(shardFileName(left, run.shards)));
        return copy;
    }
};

// Neither is opened (a pipe would stop the reader until someone writes to it),
// and neither is passed over: each is refused by name. The shard that would
// write into the pipe or onto the folder is not offered as pending either.
TEST_F(ShardFolder, APipeOrAFolderUnderAShardFilesNameIsRefusedByName)
{
    const fs::path piped = setWithout("piped", 1);
    ASSERT_EQ(mkfifo((piped / "shard-00001-of-00004.txt").c_str(), 0600), 0);
    Ran r = companion("merge '" + piped.string() + "'", "timeout 60");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-00001-of-00004.txt: is not a regular file"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(piped / "Log_2027"));
    r = companion("pending " + runOptions() + " --out '" + piped.string() + "'", "timeout 60");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-00001-of-00004.txt: is not a regular file"), std::string::npos) << r.err;

    // A pipe under any other shard-*.txt name stops the merge as well.
    const fs::path extra = setWithout("extra");
    ASSERT_EQ(mkfifo((extra / "shard-extra.txt").c_str(), 0600), 0);
    r = companion("merge '" + extra.string() + "'", "timeout 60");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-extra.txt: is not a regular file"), std::string::npos) << r.err;

    const fs::path foldered = setWithout("foldered", 2);
    fs::create_directory(foldered / "shard-00002-of-00004.txt");
    const PendingShards pending = pendingShards(foldered.u16string(), run);
    EXPECT_EQ(pending.indices, std::vector<uint32_t>{2});
    ASSERT_EQ(pending.problems.size(), 1u);
    EXPECT_NE(pending.problems[0].find("shard-00002-of-00004.txt: is a folder, not a shard file"), std::string::npos)
        << pending.problems[0];
    r = companion("pending " + runOptions() + " --out '" + foldered.string() + "'");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out, "");
}

// A shard file's first lines bound its length; a file beyond that is refused
// by name and size without being read, even where memory is short (as in a
// cluster job's 1.5 GB): junk, and a good beginning followed by zeros.
TEST_F(ShardFolder, AHugeFileIsRefusedUnreadUnderAMemoryLimit)
{
    const uint64_t huge = uint64_t{3} << 30;
    const fs::path junk = setWithout("junk");
    std::ofstream(junk / "shard-junk.txt", std::ios::binary) << "not a shard file\n";
    fs::resize_file(junk / "shard-junk.txt", huge);
    const fs::path grown = setWithout("grown", 3);
    fs::copy_file(folder / "good" / "shard-00003-of-00004.txt", grown / "shard-00003-of-00004.txt");
    fs::resize_file(grown / "shard-00003-of-00004.txt", huge);
#ifdef ORVANE_SANITIZED
    const std::string limit;  // the sanitizers reserve more address space than any such limit
#else
    const std::string limit = "ulimit -v 1500000 &&";
#endif
    Ran r = companion("merge '" + junk.string() + "'", limit);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-junk.txt: is 3221225472 bytes and does not begin as a shard file does (line 1: "),
              std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(junk / "Log_2027"));
    r = companion("pending " + runOptions() + " --out '" + junk.string() + "'", limit);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-junk.txt: is 3221225472 bytes"), std::string::npos) << r.err;

    r = companion("merge '" + grown.string() + "'", limit);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("shard-00003-of-00004.txt: is 3221225472 bytes, more than a shard file with the failed maps "
                         "it counts can hold"),
              std::string::npos) << r.err;
    // Under the shard's own name, running the shard again replaces it.
    r = companion("pending " + runOptions() + " --out '" + grown.string() + "'", limit);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\n");
}

// The merged log is created once, exclusively, and written through that
// handle: its name is never opened again, so a link put in its place
// meanwhile is not followed and nothing is truncated.
TEST_F(ShardFolder, TheMergedLogIsOpenedOnlyToCreateIt)
{
    if (std::system("command -v strace >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed (apt-get install strace)";
    const fs::path shards = setWithout("whole");
    const fs::path trace = folder / "trace.txt";
    const Ran r = companion("merge '" + shards.string() + "' --dir '" + (folder / "logs").string() + "'",
                            // LeakSanitizer cannot work under a tracer: the sanitizer build leaves it off here.
                            "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
                            "strace -f -qq -s 4096 -e trace=open,openat,creat,truncate -o '" + trace.string() + "'");
    if (r.status != 0 && r.out.empty()) GTEST_SKIP() << "strace cannot trace here: " << r.err;
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string log = r.out.substr(0, r.out.size() - 1);
    ASSERT_TRUE(fs::exists(log)) << r.out;
    std::vector<std::string> opens;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);)
        if (line.find("\"" + log + "\"") != std::string::npos) opens.push_back(line);
    ASSERT_EQ(opens.size(), 1u) << ::testing::PrintToString(opens);
    EXPECT_NE(opens[0].find("O_CREAT"), std::string::npos) << opens[0];
    EXPECT_NE(opens[0].find("O_EXCL"), std::string::npos) << opens[0];
    EXPECT_EQ(readFile(log), mergedLog(shards));
}
#endif
}  // namespace

