// The batch run: its texts, counters, window states and the run log's bytes,
// with failures forced through a clock that makes the engine's limit strike.
#include "tests/batch_fixture.h"
#include "runs/runlog.h"
#include "ui/strings.h"
#include "ui/view.h"
#include <algorithm>
#include <vector>

using namespace runs_testing;
namespace ws = orvane::windowstrings;

namespace {

TEST_F(BatchRunTest, RunWithoutFailuresLeavesLastAndFirstSeedAndSummary)
{
    setFields(u"FFFFFFFF", u"5", u"2");
    session.batchRun();
    // The seed range wraps; the seed field stays as typed, the label shows the first seed.
    EXPECT_EQ(std::u16string(session.batch.batchHeader), u"ノード数 (5)   地図数 (2)");
    EXPECT_EQ(std::u16string(session.batch.batchSeedRange), u"乱数コード ( ffffffff ) ～ ( 00000000 )");
    EXPECT_EQ(headlessControlText(idSeedField), u"FFFFFFFF");
    EXPECT_EQ(headlessControlText(idSeedLabel), u"ffffffff");
    EXPECT_EQ(counter(0), u"2");
    EXPECT_EQ(counter(1), u"0");
    EXPECT_EQ(headlessControlText(idStatus), ws::successText);
    EXPECT_EQ(session.displayMode, DisplayMode::batchFinished);
    EXPECT_TRUE(session.map->empty());
    const std::string expected = "00000000(5)\t;最終地図\r\n"
                                 "ffffffff(5)\t;初期地図\r\n"
                                 "--------------------------\r\n"
                                 "ノード数 : 5\r\n"
                                 "地図数 : 2\r\n"
                                 "--------------------------\r\n"
                                 "総処理時間 :  00 分 00 秒\r\n"
                                 "地図 :        0 (msec)\r\n"
                                 "着色 :        0 (msec)\r\n";
    EXPECT_EQ(runLog("2"), local(expected));
    EXPECT_EQ(session.runLogPath, (folder / "Log_2026" / "(5)2_@1207224530.txt").u16string());
}

// Readings of a colouring's clock while it runs to the end: a run under a
// clock that moves the same on every reading takes as long as this count says.
uint32_t colouringReadings(uint32_t seed, int nodes)
{
    uint32_t readings = 0;
    Colouring colouring(Map::build(seed, nodes), [&readings] { return ++readings * 3; });
    colouring.run();
    return readings;
}

uint32_t steppedClock = 0;
uint32_t threeMillisecondsAReading() { return steppedClock += 3; }

// Building and colouring take different, known times: each map's building is
// one reading of the clock, its colouring one more than the engine makes. The
// two sums must land in their own lines of the log and of the page.
TEST_F(BatchRunTest, MapAndColouringTimesAreSummedApart)
{
    steppedClock = 0;
    headlessSetClock(threeMillisecondsAReading);
    setFields(u"7", u"60", u"5");
    session.batchRun();
    uint32_t mapSum = 0, colourSum = 0, readings = 0;
    for (uint32_t seed = 7; seed < 12; ++seed) {
        const uint32_t r = colouringReadings(seed, 60);
        mapSum += 3;
        colourSum += 3 * (r + 1);
        readings += r + 4;  // the map's start, built, coloured and its progress reading
    }
    ASSERT_NE(mapSum, colourSum);
    auto timeText = [](const char* label, uint32_t ms) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%8u", ms);
        return local(std::string(label) + " : " + digits + " (msec)");
    };
    EXPECT_EQ(utf8(session.batch.batchMapTime), timeText("地図", mapSum));
    EXPECT_EQ(utf8(session.batch.batchColourTime), timeText("着色", colourSum));
    // From the run's first reading to its last: every map's readings and the last one.
    const uint32_t elapsed = 3 * (readings + 1);
    char total[64];
    std::snprintf(total, sizeof total, "総処理時間 :  %02u 分 %02u 秒", (elapsed + 500) / 1000 / 60, (elapsed + 500) / 1000 % 60);
    EXPECT_EQ(utf8(session.batch.batchTotalTime), local(total));
    const std::string log = readFile(session.runLogPath);
    EXPECT_NE(log.find(timeText("地図", mapSum) + "\r\n" + timeText("着色", colourSum) + "\r\n"), std::string::npos)
        << log;
    // The finished page paints the same texts.
    session.viewWidth = 600;
    session.viewHeight = 400;
    DrawList list;
    paintView(list, session);
    std::vector<std::string> texts;
    for (const DrawCall& c : list.calls)
        if (c.op == DrawOp::textOut) texts.push_back(utf8(list.textOf(c)));
    EXPECT_NE(std::find(texts.begin(), texts.end(), timeText("地図", mapSum)), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), timeText("着色", colourSum)), texts.end());
}

TEST_F(BatchRunTest, HidesControlsThenShowsThemAndRepaintsOnlyTheCounters)
{
    setFields(u"10", u"5", u"3");
    failingSeeds = {0x11};
    session.batchRun();
    const std::vector<HeadlessEvent>& events = headlessEvents();
    std::vector<std::pair<int, int>> shows, enables;
    std::vector<int> counterRects;
    for (const HeadlessEvent& e : events) {
        if (e.kind == HeadlessEvent::show) shows.push_back({e.id, e.value});
        if (e.kind == HeadlessEvent::enable) enables.push_back({e.id, e.value});
        if (e.kind == HeadlessEvent::invalidateRect) {
            EXPECT_EQ(e.value, 0);  // without erase
            counterRects.push_back(e.id);
        }
    }
    ASSERT_EQ(shows.size(), 26u);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(shows[i], std::make_pair(idSeedLabel + i, 0));
        EXPECT_EQ(shows[13 + i], std::make_pair(idSeedLabel + i, 1));
    }
    const std::vector<std::pair<int, int>> allOff = {{idStep, 0}, {idFull, 0}, {idClear, 0}, {idExport, 0}};
    EXPECT_EQ(enables, allOff);
    const int successRect = 80 * 65536 + 70, failureRect = 80 * 65536 + 90;
    EXPECT_EQ(counterRects, (std::vector<int>{successRect, failureRect, successRect}));
    EXPECT_EQ(counter(0), u"2");
    EXPECT_EQ(counter(1), u"1");
    EXPECT_EQ(headlessControlText(idStatus), ws::failureText);
}

TEST_F(BatchRunTest, LastMapFailingEndsTheMapsWithItsErrorLine)
{
    setFields(u"100", u"5", u"3");
    failingSeeds = {0x102};
    session.batchRun();
    const std::string error = errorLine(0x102);
    EXPECT_NE(forcedResult(0x102), 0);  // the forced failure is a real one
    EXPECT_EQ(runLog("3"), local(error + seedLine("00000100", "初期地図\r\n")) + local(summary(3, "")) + timeLines());
    EXPECT_EQ(counter(1), u"1");
}

TEST_F(BatchRunTest, SeveralFailuresKeepTheirErrorLinesInSeedOrder)
{
    setFields(u"200", u"5", u"6");
    failingSeeds = {0x200, 0x202, 0x203};
    session.batchRun();
    const std::string expected = local(errorLine(0x200) + errorLine(0x202) + errorLine(0x203) +
                                       seedLine("00000205", "最終地図\r\n") + seedLine("00000200", "初期地図\r\n") +
                                       summary(6, "")) +
                                 timeLines();
    EXPECT_EQ(runLog("6"), expected);
    EXPECT_EQ(counter(0), u"3");
    EXPECT_EQ(counter(1), u"3");
    EXPECT_EQ(headlessControlText(idStatus), ws::failureText);
}

TEST_F(BatchRunTest, MapCountZeroRunsOneMapNamedTwice)
{
    setFields(u"abc", u"0", u"0");
    session.batchRun();
    EXPECT_EQ(headlessControlText(idNodeField), u"3");
    EXPECT_EQ(headlessControlText(idMapCountField), u"1");
    EXPECT_EQ(std::u16string(session.batch.batchSeedRange), u"乱数コード ( 00000abc ) ～ ( 00000abc )");
    const std::string log = readFile(folder / "Log_2026" / "(3)1_@1207224530.txt");
    EXPECT_EQ(log.substr(0, log.find("---")), local("00000abc(3)\t;最終地図\r\n00000abc(3)\t;初期地図\r\n"));
}

// The count of maps done, at both ends: a run of one map and a whole run
// count every map (the window's seed text then names the last one); a run
// stopped by its log counts the maps before the stop.
TEST_F(BatchRunTest, MapsDoneCountsEveryMapOfAWholeRun)
{
    for (const auto& [maps, last] : {std::pair{u"1", u"fffffffe"}, {u"3", u"00000000"}}) {
        setFields(u"fffffffe", u"5", maps);
        session.batchRun();
        EXPECT_EQ(std::u16string(session.fields.seedText), last);
        EXPECT_EQ(headlessControlText(idSeedField), u"fffffffe");
    }
    for (const int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        BatchSettings s;
        s.firstSeed = 7;
        s.nodes = 5;
        s.maps = 4;
        s.jobs = jobs;
        // Clocks of their own that stand still: the test clock is read on one thread only.
        s.workerClock = [] { return Clock([] { return uint32_t{0}; }); };
        s.runClock = [] { return uint32_t{0}; };
        s.logPath = (folder / ("direct-" + std::to_string(jobs) + ".txt")).u16string();
        BatchTexts texts;
        BatchOutcome out = runBatch(s, texts, nullptr);
        EXPECT_TRUE(out.completed);
        EXPECT_EQ(out.mapsDone, 4);
        // The third write is the second map's line: one map was done.
        s.logPath = (folder / ("stopped-" + std::to_string(jobs) + ".txt")).u16string();
        headlessFailFileOperation(FileOperation::write, 3, ENOSPC);
        out = runBatch(s, texts, nullptr);
        headlessClearFileFaults();
        EXPECT_FALSE(out.completed);
        EXPECT_EQ(out.mapsDone, 1);
    }
}

TEST_F(BatchRunTest, EmptySeedFieldStartsAtTheClockAndStaysEmpty)
{
    clockNow = 0xfffffff0;
    setFields(u"", u"4", u"1");
    session.batchRun();
    EXPECT_EQ(headlessControlText(idSeedField), u"");
    EXPECT_EQ(headlessControlText(idSeedLabel), u"fffffff0");
    EXPECT_EQ(std::u16string(session.batch.batchSeedRange), u"乱数コード ( fffffff0 ) ～ ( fffffff0 )");
}

TEST_F(BatchRunTest, LogGoesUnderTheGivenFolderMadeAsNeeded)
{
    session.runLogParent = (folder / "elsewhere").u16string();
    fs::create_directory(folder / "elsewhere");
    setFields(u"1", u"5", u"1");
    session.batchRun();
    EXPECT_TRUE(fs::exists(folder / "elsewhere" / "Log_2026" / "(5)1_@1207224530.txt"));
    EXPECT_FALSE(fs::exists(folder / "Log_2026"));

    // Missing folders are made, as mkdir -p makes them.
    session.runLogParent = (folder / "missing" / "deeper").u16string();
    session.batchRun();
    EXPECT_EQ(session.runLogPath, (folder / "missing" / "deeper" / "Log_2026" / "(5)1_@1207224530.txt").u16string());
    EXPECT_TRUE(fs::is_regular_file(session.runLogPath));
}

// A log that cannot be created builds nothing, says so, and leaves the map on
// show with the controls usable.
TEST_F(BatchRunTest, LogThatCannotBeCreatedLeavesTheMapAndSaysSo)
{
    setFields(u"2a", u"50", u"3");
    session.mapRequest();
    std::ofstream(folder / "file") << "x";
    session.runLogParent = (folder / "file" / "below").u16string();
    headlessEvents().clear();
    session.batchRun();
    EXPECT_TRUE(session.runLogPath.empty());
    EXPECT_EQ(session.lastLogError, ENOTDIR);
    EXPECT_EQ(headlessControlText(idStatus), ws::runLogNotCreated);
    EXPECT_EQ(session.displayMode, DisplayMode::map);
    EXPECT_FALSE(session.map->empty());
    for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id)) << id;
    for (const HeadlessEvent& e : headlessEvents()) {
        EXPECT_NE(e.kind, HeadlessEvent::invalidateRect);
        EXPECT_NE(e.kind, HeadlessEvent::show);
    }
}

TEST(BatchTimesTest, ElapsedTimeWrapsAndRoundsToWholeSeconds)
{
    EXPECT_EQ(batchElapsed(1000, 1000), 0u);
    EXPECT_EQ(batchElapsed(1000, 91500), 90500u);
    EXPECT_EQ(batchElapsed(0xFFFFFF00u, 0x100u), 0x1FFu);  // the clock wrapped
    BatchTexts t;
    formatBatchTimes(t, 90499, 12, 1234567);
    EXPECT_EQ(std::u16string(t.batchTotalTime), u"総処理時間 :  01 分 30 秒");
    EXPECT_EQ(std::u16string(t.batchMapTime), u"地図 :       12 (msec)");
    EXPECT_EQ(std::u16string(t.batchColourTime), u"着色 :  1234567 (msec)");
    formatBatchTimes(t, 90500, 0, 0);
    EXPECT_EQ(std::u16string(t.batchTotalTime), u"総処理時間 :  01 分 31 秒");
    formatBatchTimes(t, 0xFFFFFFFFu, 0x80000000u, 123456789);
    EXPECT_EQ(std::u16string(t.batchTotalTime), u"総処理時間 :  71582 分 47 秒");
    EXPECT_EQ(std::u16string(t.batchMapTime), u"地図 : -2147483648 (msec)");
}

TEST(RunLogNameTest, FolderFromTheYearAndNameFromTheCountsAndTime)
{
    headlessSetExecutablePath(u"/opt/orvane/orvane.exe");
    EXPECT_EQ(runLogFilePath({2026, 12, 7, 22, 45, 30}, u"1000", u"500", u""),
              u"/opt/orvane/Log_2026" + std::u16string(1, pathSeparator) + u"(1000)500_@1207224530.txt");
    EXPECT_EQ(runLogFilePath({2027, 1, 2, 3, 4, 5}, u"3", u"1", u"/var/runs/"),
              u"/var/runs/Log_2027" + std::u16string(1, pathSeparator) + u"(3)1_@0102030405.txt");
    headlessSetExecutablePath(u"");
}

// An error line is shorter than the in-progress line in UTF-8: the writer must
// never leave the old line's tail, at the end of a run or in the middle.
TEST_F(BatchRunTest, ShortErrorLinesLeaveNoTailOfTheLineTheyReplace)
{
    RunLog log;
    const std::u16string path = (folder / "log.txt").u16string();
    ASSERT_EQ(log.create(path, 0x10, 10000), 0);
    log.mapStarted(0x10);
    log.mapFinished(0x10, 0, false);
    log.mapStarted(0x11);
    log.mapFinished(0x11, 7, false);
    EXPECT_EQ(readFile(folder / "log.txt"), local("00000011(10000)\t;Error(7)\r\n00000012(10000)\t;最終地図"));
    log.mapStarted(0x12);
    log.mapFinished(0x12, 65535, true);
    EXPECT_EQ(readFile(folder / "log.txt"),
              local("00000011(10000)\t;Error(7)\r\n00000012(10000)\t;Error(-1)\r\n00000010(10000)\t;初期地図\r\n"));
    BatchTexts times;
    formatBatchTimes(times, 0, 0, 0);
    log.summary(3, times);
    const std::string text = readFile(folder / "log.txt");
    EXPECT_EQ(text.substr(0, text.find("---")),
              local("00000011(10000)\t;Error(7)\r\n00000012(10000)\t;Error(-1)\r\n00000010(10000)\t;初期地図\r\n"));
}
}  // namespace
