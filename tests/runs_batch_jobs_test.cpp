// The window's batch on worker threads: the run log, counters and status of
// one job, in seed order, however the maps are spread over the workers.
#include "tests/batch_fixture.h"
#include "ui/strings.h"
#include <vector>

using namespace runs_testing;
namespace ws = orvane::windowstrings;

namespace {

// Each thread that reads it has a clock of its own that moves 400 ms per
// reading: a map's colouring sees the same readings whichever thread colours
// it, and the engine's limit strikes on most maps of 20 nodes.
uint32_t threadSteppingClock()
{
    thread_local uint32_t now = 0;
    return now += 400;
}

size_t errorLines(const std::string& log)
{
    size_t n = 0;
    for (size_t at = log.find(";Error("); at != std::string::npos; at = log.find(";Error(", at + 1)) ++n;
    return n;
}

class BatchJobsTest : public BatchRunTest {
protected:
    struct Run {
        std::string log;
        std::u16string successes, failures, status;
    };

    // The same batch on one job and on two: the run log and what the window shows.
    std::vector<Run> runOnOneAndTwoJobs(const char16_t* seed, const char16_t* nodes, const char16_t* maps,
                                        const fs::path& log)
    {
        std::vector<Run> runs;
        for (int jobs : {1, 2}) {
            SCOPED_TRACE(jobs);
            session.batchJobs = jobs;
            setFields(seed, nodes, maps);
            session.batchRun();
            EXPECT_EQ(session.runLogPath, log.u16string());
            EXPECT_EQ(session.displayMode, DisplayMode::batchFinished);
            for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id)) << id;
            runs.push_back({readFile(log), counter(0), counter(1), headlessControlText(idStatus)});
            fs::remove(log);  // the next run takes the same name, not NAME_2.txt
        }
        return runs;
    }

    static void expectSameRuns(const Run& one, const Run& two)
    {
        EXPECT_NE(withoutTimes(one.log), "");
        EXPECT_EQ(withoutTimes(one.log), withoutTimes(two.log));
        EXPECT_EQ(one.successes, two.successes);
        EXPECT_EQ(one.failures, two.failures);
        EXPECT_EQ(one.status, two.status);
    }
};

// Worker threads hand their results over in seed order: the window's batch on
// two jobs writes the log it writes on one, over more maps than the workers
// may run ahead. On the real clock, which the threads may read at once.
TEST_F(BatchJobsTest, TwoJobsWriteTheRunLogThatOneJobWrites)
{
    EXPECT_EQ(session.batchJobs, 1);  // the other tests' clock is read on one thread only
    headlessSetClock(nullptr);
    clockSession = nullptr;
    const std::vector<Run> runs = runOnOneAndTwoJobs(u"c0de", u"200", u"300", folder / "Log_2026" / "(200)300_@1207224530.txt");
    ASSERT_EQ(runs.size(), 2u);
    expectSameRuns(runs[0], runs[1]);
    EXPECT_NE(runs[1].log.find(local("0000c209(200)\t;最終地図\r\n0000c0de(200)\t;初期地図\r\n")), std::string::npos)
        << runs[1].log;
    EXPECT_EQ(runs[1].successes, u"300");
}

TEST_F(BatchJobsTest, TwoJobsKeepTheErrorLinesInSeedOrder)
{
    headlessSetClock(threadSteppingClock);
    clockSession = nullptr;
    const std::vector<Run> runs = runOnOneAndTwoJobs(u"fffffff0", u"20", u"300", folder / "Log_2026" / "(20)300_@1207224530.txt");
    ASSERT_EQ(runs.size(), 2u);
    expectSameRuns(runs[0], runs[1]);
    EXPECT_GT(errorLines(runs[0].log), 5u);
    EXPECT_LT(errorLines(runs[0].log), 300u);
    EXPECT_EQ(runs[1].status, ws::failureText);
}

}  // namespace
