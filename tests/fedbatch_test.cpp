// A batch run whose maps are coloured elsewhere (a web page's workers) and fed
// back in seed order: the same counters, texts and run log as the button's own
// run, a stopped run's log left as a killed run leaves it, and a failing log
// ending the run.
#include "tests/runs_fixture.h"
#include "runs/fedbatch.h"
#include "runs/runlog.h"
#include "ui/strings.h"
#include <cerrno>

using namespace runs_testing;
namespace ws = orvane::windowstrings;

namespace {
// A map's result as a worker gives it; the seeds in `failing` run under a
// clock past the engine's limit at every reading.
BatchMap workerResult(uint32_t seed, int nodes, const std::set<uint32_t>& failing)
{
    MapBuilder builder;
    uint32_t now = 0;
    const bool fails = failing.count(seed) > 0;
    const Clock clock = [&now, fails] { return fails ? now += 20001 : now; };
    Colouring colouring(nullptr, clock);
    BatchMap m = colourBatchMap(builder, colouring, seed, nodes, clock);
    m.mapMs = m.colourMs = 0;
    return m;
}

// The log without its three time lines.
std::string withoutTimes(const std::string& log)
{
    size_t end = log.size();
    for (int i = 0; i < 4 && end != std::string::npos && end > 0; ++i) end = log.rfind('\n', end - 1);
    return end == std::string::npos ? std::string() : log.substr(0, end + 1);
}

class FedBatchTest : public RunsTest {
protected:
    BatchSettings settings;
    RunLog log;

    void begin(const char16_t* seed, const char16_t* nodes, const char16_t* maps)
    {
        setFields(seed, nodes, maps);
        ASSERT_TRUE(session.beginBatchRun(settings, log));
    }

    // Feeds `count` maps (all when negative) and ends the run.
    BatchOutcome feed(int count, const std::set<uint32_t>& failing = {})
    {
        FedBatchRun run(settings, log, session.batch, &session.batchListener());
        EXPECT_EQ(run.start(), 0);
        for (int i = 0; (count < 0 || i < count) && !run.over(); ++i)
            run.mapDone(workerResult(settings.firstSeed + static_cast<uint32_t>(i), settings.nodes, failing));
        const BatchOutcome out = run.finish();
        session.finishBatchRun(settings, out);
        return out;
    }
};

TEST_F(FedBatchTest, WritesTheLogOfTheButtonsOwnRun)
{
    const std::set<uint32_t> failing = {0x301, 0x304, 0x306};
    setFields(u"300", u"5", u"7");
    failingSeeds = failing;
    session.batchRun();
    const std::string own = readFile(session.runLogPath);
    const std::u16string ownStatus = headlessControlText(idStatus);
    failingSeeds.clear();

    begin(u"300", u"5", u"7");
    const BatchOutcome out = feed(-1, failing);
    EXPECT_TRUE(out.completed);
    EXPECT_EQ(out.mapsDone, 7);
    EXPECT_EQ(out.failures, 3u);
    // Started in the same second: the second log gets a name of its own.
    EXPECT_EQ(session.runLogPath, (folder / "Log_2026" / "(5)7_@1207224530_2.txt").u16string());
    const std::string fed = readFile(session.runLogPath);
    EXPECT_EQ(withoutTimes(fed), withoutTimes(own));
    EXPECT_NE(withoutTimes(fed).find("Error("), std::string::npos);
    EXPECT_EQ(headlessControlText(idStatus), ownStatus);
    EXPECT_EQ(std::u16string(session.batch.counterText[0]), u"4");
    EXPECT_EQ(std::u16string(session.batch.counterText[1]), u"3");
    EXPECT_EQ(session.displayMode, DisplayMode::batchFinished);
    EXPECT_TRUE(headlessControlShown(idBatch));
    EXPECT_FALSE(headlessControlEnabled(idStep));
}

TEST_F(FedBatchTest, StoppedRunLeavesTheLogOfAKilledRunAndSaysItStopped)
{
    begin(u"400", u"5", u"5");
    const BatchOutcome out = feed(3, {0x401});
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.logError, 0);
    EXPECT_EQ(out.mapsDone, 3);
    // The error line so far and the line of the map awaited (over the line of
    // the map before it, which succeeded and left its line end): no summary.
    const std::string expectedLog = local("00000401(5)\t;Error(" +
                                          std::to_string(static_cast<int16_t>(workerResult(0x401, 5, {0x401}).result)) +
                                          ")\r\n00000403(5)\t;最終地図\r\n");
    EXPECT_EQ(readFile(session.runLogPath), expectedLog);
    EXPECT_EQ(headlessControlText(idStatus), ws::batchStopped);
    EXPECT_EQ(session.displayMode, DisplayMode::batchFinished);
    EXPECT_TRUE(headlessControlShown(idSeedField));
    // The page's time lines are filled for the maps done.
    EXPECT_NE(std::u16string(session.batch.batchMapTime), u"");
}

TEST_F(FedBatchTest, ResultsAfterTheLastMapAreIgnored)
{
    begin(u"10", u"5", u"2");
    FedBatchRun run(settings, log, session.batch, nullptr);
    ASSERT_EQ(run.start(), 0);
    run.mapDone({0, 0, 0});
    EXPECT_FALSE(run.over());
    run.mapDone({0, 0, 0});
    EXPECT_TRUE(run.over());
    run.mapDone({7, 0, 0});
    EXPECT_EQ(run.mapsDone(), 2);
    const BatchOutcome out = run.finish();
    EXPECT_TRUE(out.completed);
    EXPECT_EQ(out.failures, 0u);
}

TEST_F(FedBatchTest, AFailedLogWriteEndsTheRunAndSaysSo)
{
    begin(u"20", u"5", u"6");
    FedBatchRun run(settings, log, session.batch, &session.batchListener());
    ASSERT_EQ(run.start(), 0);
    headlessFailFileOperation(FileOperation::write, 3, ENOSPC);
    int error = 0;
    int fed = 0;
    while (!run.over()) {
        error = run.mapDone({0, 0, 0});
        ++fed;
    }
    headlessClearFileFaults();
    EXPECT_EQ(error, ENOSPC);
    EXPECT_LT(fed, 6);
    const BatchOutcome out = run.finish();
    session.finishBatchRun(settings, out);
    EXPECT_EQ(out.logError, ENOSPC);
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(headlessControlText(idStatus), ws::runLogNotWritten);
}
}  // namespace
