// The batch run: its texts, counters, window states and the run log's bytes,
// with failures forced through a clock that makes the engine's limit strike.
#include "tests/runs_fixture.h"
#include <algorithm>
#include <vector>

using namespace runs_testing;

namespace {
const std::string logName = "(5)%s_@1207224530.txt";

std::string seedLine(const char* seed, const char* rest) { return std::string(seed) + "(5)\t;" + rest; }

// The engine's result for a seed whose colouring the clock cuts short.
uint16_t forcedResult(uint32_t seed)
{
    formatSeed(seed, seedText);
    seedGenerator(seed);
    buildMap(5);
    EnginePhase = phasePrepare;
    displayMode = 1;
    const uint16_t r = engineStep(true);
    releaseMap();
    return r;
}

std::string errorLine(uint32_t seed)
{
    char16_t digits[16];
    formatSeed(seed, digits);
    return seedLine(utf8(digits).c_str(), ("Error(" + std::to_string(static_cast<int16_t>(forcedResult(seed))) + ")\r\n").c_str());
}

std::string summary(int maps, const std::string& times)
{
    return "--------------------------\r\nノード数 : 5\r\n地図数 : " + std::to_string(maps) +
           "\r\n--------------------------\r\n" + times;
}

std::string timeLines()
{
    return utf8(batchTotalTime) + "\r\n" + utf8(batchMapTime) + "\r\n" + utf8(batchColourTime) + "\r\n";
}

class BatchRunTest : public RunsTest {
protected:
    std::string runLog(const char* maps)
    {
        return readFile(folder / "Log_2026" / ("(5)" + std::string(maps) + "_@1207224530.txt"));
    }
};

TEST_F(BatchRunTest, RunWithoutFailuresLeavesLastAndFirstSeedAndSummary)
{
    setFields(u"FFFFFFFF", u"5", u"2");
    batchRun();
    // The seed range wraps; the seed field stays as typed, the label shows the first seed.
    EXPECT_EQ(std::u16string(batchHeader), u"ノード数 (5)   地図数 (2)");
    EXPECT_EQ(std::u16string(batchSeedRange), u"乱数コード ( ffffffff ) ～ ( 00000000 )");
    EXPECT_EQ(headlessControlText(idSeedField), u"FFFFFFFF");
    EXPECT_EQ(headlessControlText(idSeedLabel), u"ffffffff");
    EXPECT_EQ(std::u16string(counterText[0]), u"2");
    EXPECT_EQ(std::u16string(counterText[1]), u"0");
    EXPECT_EQ(headlessControlText(idStatus), successText);
    EXPECT_EQ(displayMode, 2);
    EXPECT_EQ(nodeList, nullptr);
    const std::string expected = "00000000(5)\t;最終地図\r\n"
                                 "ffffffff(5)\t;初期地図\r\n"
                                 "--------------------------\r\n"
                                 "ノード数 : 5\r\n"
                                 "地図数 : 2\r\n"
                                 "--------------------------\r\n"
                                 "総処理時間 :  00 分 00 秒\r\n"
                                 "地図 :        0 (msec)\r\n"
                                 "着色 :        0 (msec)\r\n";
    EXPECT_EQ(runLog("2"), expected);
    EXPECT_EQ(runLogPath, (folder / "Log_2026" / "(5)2_@1207224530.txt").u16string());
}

TEST_F(BatchRunTest, HidesControlsThenShowsThemAndRepaintsOnlyTheCounters)
{
    setFields(u"10", u"5", u"3");
    failingSeeds = {0x11};
    batchRun();
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
    EXPECT_EQ(std::u16string(counterText[0]), u"2");
    EXPECT_EQ(std::u16string(counterText[1]), u"1");
    EXPECT_EQ(headlessControlText(idStatus), failureText);
}

TEST_F(BatchRunTest, LastMapFailingEndsTheMapsWithItsErrorLine)
{
    setFields(u"100", u"5", u"3");
    failingSeeds = {0x102};
    batchRun();
    const std::string error = errorLine(0x102);
    EXPECT_NE(forcedResult(0x102), 0);  // the forced failure is a real one
    EXPECT_EQ(runLog("3"), error + seedLine("00000100", "初期地図\r\n") + summary(3, timeLines()));
    EXPECT_EQ(std::u16string(counterText[1]), u"1");
}

TEST_F(BatchRunTest, SeveralFailuresKeepTheirErrorLinesInSeedOrder)
{
    setFields(u"200", u"5", u"6");
    failingSeeds = {0x200, 0x202, 0x203};
    batchRun();
    const std::string expected = errorLine(0x200) + errorLine(0x202) + errorLine(0x203) +
                                 seedLine("00000205", "最終地図\r\n") + seedLine("00000200", "初期地図\r\n") +
                                 summary(6, timeLines());
    EXPECT_EQ(runLog("6"), expected);
    EXPECT_EQ(std::u16string(counterText[0]), u"3");
    EXPECT_EQ(std::u16string(counterText[1]), u"3");
    EXPECT_EQ(headlessControlText(idStatus), failureText);
}

TEST_F(BatchRunTest, MapCountZeroRunsOneMapNamedTwice)
{
    setFields(u"abc", u"0", u"0");
    batchRun();
    EXPECT_EQ(headlessControlText(idNodeField), u"3");
    EXPECT_EQ(headlessControlText(idMapCountField), u"1");
    EXPECT_EQ(std::u16string(batchSeedRange), u"乱数コード ( 00000abc ) ～ ( 00000abc )");
    const std::string log = readFile(folder / "Log_2026" / "(3)1_@1207224530.txt");
    EXPECT_EQ(log.substr(0, log.find("---")), "00000abc(3)\t;最終地図\r\n00000abc(3)\t;初期地図\r\n");
}

TEST_F(BatchRunTest, EmptySeedFieldStartsAtTheClockAndStaysEmpty)
{
    clockNow = 0xfffffff0;
    setFields(u"", u"4", u"1");
    batchRun();
    EXPECT_EQ(headlessControlText(idSeedField), u"");
    EXPECT_EQ(headlessControlText(idSeedLabel), u"fffffff0");
    EXPECT_EQ(std::u16string(batchSeedRange), u"乱数コード ( fffffff0 ) ～ ( fffffff0 )");
}

TEST_F(BatchRunTest, LogGoesUnderTheGivenFolderAndAMissingFolderFailsTheRun)
{
    runLogParent = (folder / "elsewhere").u16string();
    fs::create_directory(folder / "elsewhere");
    setFields(u"1", u"5", u"1");
    batchRun();
    EXPECT_TRUE(fs::exists(folder / "elsewhere" / "Log_2026" / "(5)1_@1207224530.txt"));
    EXPECT_FALSE(fs::exists(folder / "Log_2026"));

    runLogParent = (folder / "missing" / "deeper").u16string();
    headlessEvents().clear();
    batchRun();
    EXPECT_TRUE(runLogPath.empty());
    EXPECT_EQ(headlessControlText(idStatus), failureText);
    for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id)) << id;
    for (const HeadlessEvent& e : headlessEvents()) EXPECT_NE(e.kind, HeadlessEvent::invalidateRect);
}

TEST_F(BatchRunTest, MapCountAboveTheLimitRunsAMillionMaps)
{
#ifdef ORVANE_SANITIZED
    GTEST_SKIP() << "a million maps take too long under the sanitizers";
#endif
    batchProgress = [](const BatchProgress&) { headlessEvents().clear(); };
    setFields(u"0", u"3", u"99999999");
    batchRun();
    EXPECT_EQ(headlessControlText(idMapCountField), u"1000000");
    EXPECT_EQ(std::u16string(counterText[0]), u"1000000");
    EXPECT_EQ(std::u16string(batchSeedRange), u"乱数コード ( 00000000 ) ～ ( 000f423f )");
    const std::string log = readFile(folder / "Log_2026" / "(3)1000000_@1207224530.txt");
    EXPECT_EQ(log.substr(0, std::min<size_t>(log.find("---"), 200)), "000f423f(3)\t;最終地図\r\n00000000(3)\t;初期地図\r\n");
}

TEST(BatchTimesTest, ElapsedTimeWrapsAndRoundsToWholeSeconds)
{
    EXPECT_EQ(batchElapsed(1000, 1000), 0u);
    EXPECT_EQ(batchElapsed(1000, 91500), 90500u);
    EXPECT_EQ(batchElapsed(0xFFFFFF00u, 0x100u), 0x1FFu);  // the clock wrapped
    formatBatchTimes(90499, 12, 1234567);
    EXPECT_EQ(std::u16string(batchTotalTime), u"総処理時間 :  01 分 30 秒");
    EXPECT_EQ(std::u16string(batchMapTime), u"地図 :       12 (msec)");
    EXPECT_EQ(std::u16string(batchColourTime), u"着色 :  1234567 (msec)");
    formatBatchTimes(90500, 0, 0);
    EXPECT_EQ(std::u16string(batchTotalTime), u"総処理時間 :  01 分 31 秒");
    formatBatchTimes(0xFFFFFFFFu, 0x80000000u, 123456789);
    EXPECT_EQ(std::u16string(batchTotalTime), u"総処理時間 :  71582 分 47 秒");
    EXPECT_EQ(std::u16string(batchMapTime), u"地図 : -2147483648 (msec)");
}

TEST(RunLogNameTest, FolderFromTheYearAndNameFromTheCountsAndTime)
{
    headlessSetExecutablePath(u"/opt/orvane/orvane.exe");
    runLogParent.clear();
    EXPECT_EQ(runLogFilePath({2026, 12, 7, 22, 45, 30}, u"1000", u"500"),
              u"/opt/orvane/Log_2026" + std::u16string(1, pathSeparator) + u"(1000)500_@1207224530.txt");
    runLogParent = u"/var/runs/";
    EXPECT_EQ(runLogFilePath({2027, 1, 2, 3, 4, 5}, u"3", u"1"),
              u"/var/runs/Log_2027" + std::u16string(1, pathSeparator) + u"(3)1_@0102030405.txt");
    runLogParent.clear();
    headlessSetExecutablePath(u"");
}

// An error line is shorter than the in-progress line in UTF-8: the writer must
// never leave the old line's tail, at the end of a run or in the middle.
TEST_F(BatchRunTest, ShortErrorLinesLeaveNoTailOfTheLineTheyReplace)
{
    RunLog log;
    const std::u16string path = (folder / "log.txt").u16string();
    ASSERT_TRUE(createRunLog(log, path, 0x10, 10000));
    logMapStarted(log, 0x10);
    logMapFinished(log, 0x10, 0, false);
    logMapStarted(log, 0x11);
    logMapFinished(log, 0x11, 7, false);
    EXPECT_EQ(readFile(folder / "log.txt"), "00000011(10000)\t;Error(7)\r\n00000012(10000)\t;最終地図");
    logMapStarted(log, 0x12);
    logMapFinished(log, 0x12, 65535, true);
    EXPECT_EQ(readFile(folder / "log.txt"),
              "00000011(10000)\t;Error(7)\r\n00000012(10000)\t;Error(-1)\r\n00000010(10000)\t;初期地図\r\n");
    formatBatchTimes(0, 0, 0);
    logSummary(log, 3);
    const std::string text = readFile(folder / "log.txt");
    EXPECT_EQ(text.substr(0, text.find("---")),
              "00000011(10000)\t;Error(7)\r\n00000012(10000)\t;Error(-1)\r\n00000010(10000)\t;初期地図\r\n");
}
}  // namespace
