// Shards run on worker threads merge into the run log of one sequential run.
#include "tests/shard_fixture.h"

namespace {
using namespace runs_testing;

// Failures forced by the stepping clock, seeds wrapping past ffffffff, shards
// on two threads: the merged log is the sequential one. Each map sees the
// same clock readings wherever it runs, so even the two sums agree; the total
// time runs from the earliest start (shard 3's, 09:59:59) to the latest end.
TEST_F(ShardMerge, ShardsOnThreadsGiveTheSequentialLogWithItsFailures)
{
    const ShardedRun run{0xfffffff0u, 20, 300, 7};
    runShards(run, folder / "shards", 400, 2, 3);
    const std::string sequential = sequentialLog(run.firstSeed, 20, 300, 400);
    const std::string merged = mergedLog(folder / "shards");
    EXPECT_GT(count(sequential, ";Error("), 20u);
    EXPECT_EQ(count(merged, utf8(u"0000011b(20)\t;最終地図\r\n")), 1u);  // the last map succeeded
    EXPECT_EQ(withoutTotalTime(merged), withoutTotalTime(sequential));
    // From 09:59:59.000 to shard 6's end at 10:00:06.500: 7.5 s, rounded up.
    EXPECT_EQ(totalTimeLine(merged), utf8(u"総処理時間 :  00 分 08 秒\r\n"));
    EXPECT_TRUE(fs::exists(folder / "logs" / "Log_2027" / "(20)300_@0304095959.txt"));
}

}  // namespace
