// What the companion prints and writes, exactly: its map, colour, render and
// batch commands run as a user runs them, compared with texts written out
// here and with the same work done in this process.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include "ui/view.h"
#include "tests/companion_support.h"

namespace {
using namespace orvane;
using namespace companion_testing;
namespace fs = std::filesystem;

class Companion : public CompanionTest {
protected:
    // The exit status of the companion with these arguments, and its output.
    int status(const std::string& arguments, std::string* printed = nullptr)
    {
        const Outcome o = companion(arguments);
        if (printed) *printed = o.out;
        return o.status;
    }
    // Standard output of the companion with these arguments; the run must succeed.
    std::string run(const std::string& arguments) { return runOk(arguments); }
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST_F(Companion, MapAndColourPrintWhatTheReadmeShows)
{
    EXPECT_EQ(run("map --seed 1 --nodes 5"), "seed=00000001 nodes=5 borders=7 outer=5\n");
    EXPECT_EQ(run("colour --seed 1 --nodes 8 --steps 4 --trace"),
              "step 1 phase 0->1 result 0 colours .Y.G.R.. ring 6 cand 0 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0\n"
              "step 2 phase 1->1 result 0 colours .Y.GYR.. ring 5 cand 5 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0\n"
              "step 3 phase 1->1 result 0 colours .Y.GYRG. ring 7 cand 7 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0\n"
              "step 4 phase 1->1 result 0 colours .YRGYRG. ring 3 cand 3 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0\n"
              "result seed=00000001 nodes=8 verify=-1 steps=4\n");

    // A full colouring prints its time (which the clock decides) and its result.
    const std::string full = run("colour --seed 1a2b --nodes 12 --full --export " + (folder / "map.txt").string());
    EXPECT_TRUE(std::regex_match(full, std::regex("colour-ms [0-9]+\nresult seed=00001a2b nodes=12 verify=0 steps=1\n")))
        << full;
    Colouring colouring(Map::build(0x1a2b, 12));
    colouring.run();
    EXPECT_EQ(readFile(folder / "map.txt"), exportContent(colouring));
    EXPECT_EQ(exportContent(colouring).substr(2, 8), std::string("[\0Y\0]\0 \0", 8));
}

// Every line the companion traces is the line this process traces after the
// same press, through conflicts, path walks and completion.
TEST_F(Companion, TraceLinesAreTheEnginesStateAfterEachPress)
{
    for (auto [seed, nodes] : {std::pair{36u, 100}, {155u, 100}, {0x1a2bu, 300}}) {
        SCOPED_TRACE(seed);
        char arguments[96];
        std::snprintf(arguments, sizeof arguments, "colour --seed %x --nodes %d --steps 1000000 --trace", seed, nodes);
        const std::vector<std::string> printed = lines(run(arguments));
        Colouring colouring(Map::build(seed, nodes));
        std::vector<std::string> expected;
        bool conflicts = false;
        for (long k = 1; !colouring.finished(); ++k) {
            const Phase before = colouring.phase();
            const StepReport r = colouring.step(false);
            conflicts = conflicts || before == Phase::walkPath;
            expected.push_back(traceLine(k, before, r.result, colouring));
        }
        char result[96];
        std::snprintf(result, sizeof result, "result seed=%08x nodes=%d verify=%d steps=%zu", seed, nodes,
                      colouring.verify(), expected.size());
        expected.push_back(result);
        EXPECT_EQ(printed, expected);
        if (seed == 36u) {
            EXPECT_TRUE(conflicts) << "this map walks a conflict path";
        }
    }
}

TEST_F(Companion, RenderWritesTheMapPageOfTheColouredMap)
{
    const fs::path svg = folder / "map.svg";
    const std::string printed = run("render --seed 1a2b --nodes 300 --full --size 640x480 --svg " + svg.string());
    EXPECT_TRUE(std::regex_match(printed, std::regex("colour-ms [0-9]+\nrender seed=00001a2b nodes=300 size=640x480\n")))
        << printed;
    Colouring colouring(Map::build(0x1a2b, 300));
    colouring.run();
    EXPECT_EQ(readFile(svg), mapPageSvg(colouring, {640, 480}));
}

// The fields' read limits: counts are read from their first 7 units, seeds from
// their first 15; the leading zeros and blanks show where the cut falls.
TEST_F(Companion, OptionsAreReadAsTheFieldsReadThem)
{
    EXPECT_EQ(run("map --seed 1 --nodes 000150"), "seed=00000001 nodes=150 borders=435 outer=12\n");
    EXPECT_EQ(run("map --seed 1 --nodes 0000150"), "seed=00000001 nodes=150 borders=435 outer=12\n");
    EXPECT_EQ(run("map --seed 1 --nodes 00000150"), "seed=00000001 nodes=15 borders=34 outer=8\n");
    EXPECT_EQ(run("map --seed 1 --nodes '     25'"), "seed=00000001 nodes=25 borders=63 outer=9\n");
    EXPECT_EQ(run("map --seed 1 --nodes '      25'"), "seed=00000001 nodes=3 borders=3 outer=3\n");
    EXPECT_EQ(run("map --seed 0000000000001a --nodes 5"), "seed=0000001a nodes=5 borders=8 outer=4\n");
    EXPECT_EQ(run("map --seed 00000000000001a --nodes 5"), "seed=0000001a nodes=5 borders=8 outer=4\n");
    EXPECT_EQ(run("map --seed 000000000000001a --nodes 5"), "seed=00000001 nodes=5 borders=7 outer=5\n");
    const fs::path dir = folder / "logs";
    EXPECT_NE(run("batch --seed 1 --nodes 5 --maps 0000003 --jobs 1 --dir " + dir.string()).find("(3)\n"),
              std::string::npos);
    EXPECT_NE(run("batch --seed 1 --nodes 5 --maps 00000003 --jobs 1 --dir " + dir.string()).find("(1)\n"),
              std::string::npos);
}

// A batch with a clock that moves 400 ms a reading: every time is known, the
// engine's limit strikes on some maps, and the same run on two and on four
// threads prints and writes the same.
TEST_F(Companion, BatchPrintsItsPageAndWritesItsLog)
{
    const std::string expectedPage = "ノード数 (20)   地図数 (40)\n"
                                     "乱数コード ( fffffff0 ) ～ ( 00000017 )\n"
                                     "成功 : 24\n"
                                     "失敗 : 16\n"
                                     "総処理時間 :  00 分 16 秒\n"
                                     "地図 :    16000 (msec)\n"
                                     "着色 :   432400 (msec)\n"
                                     "失敗（´Д`）\n";
    const std::string expectedLog = "fffffff4(20)\t;Error(3)\r\n"
                                    "fffffff7(20)\t;Error(7)\r\n"
                                    "fffffff8(20)\t;Error(2)\r\n"
                                    "fffffff9(20)\t;Error(13)\r\n"
                                    "fffffffa(20)\t;Error(8)\r\n"
                                    "fffffffb(20)\t;Error(16)\r\n"
                                    "fffffffe(20)\t;Error(4)\r\n"
                                    "ffffffff(20)\t;Error(2)\r\n"
                                    "00000000(20)\t;Error(6)\r\n"
                                    "00000001(20)\t;Error(8)\r\n"
                                    "00000004(20)\t;Error(12)\r\n"
                                    "00000005(20)\t;Error(11)\r\n"
                                    "00000009(20)\t;Error(11)\r\n"
                                    "0000000c(20)\t;Error(8)\r\n"
                                    "00000015(20)\t;Error(6)\r\n"
                                    "00000016(20)\t;Error(7)\r\n"
                                    "00000017(20)\t;最終地図\r\n"
                                    "fffffff0(20)\t;初期地図\r\n"
                                    "--------------------------\r\n"
                                    "ノード数 : 20\r\n"
                                    "地図数 : 40\r\n"
                                    "--------------------------\r\n"
                                    "総処理時間 :  00 分 16 秒\r\n"
                                    "地図 :    16000 (msec)\r\n"
                                    "着色 :   432400 (msec)\r\n";
    for (const char* jobs : {"1", "2", "4"}) {
        SCOPED_TRACE(jobs);
        const fs::path dir = folder / jobs;
        const std::string printed =
            run(std::string("batch --seed fffffff0 --nodes 20 --maps 40 --clock-step 400 --jobs ") + jobs + " --dir " +
                dir.string());
        const size_t logAt = printed.find("log ");
        ASSERT_NE(logAt, std::string::npos) << printed;
        EXPECT_EQ(printed.substr(0, logAt), expectedPage);
        const std::string logPath = printed.substr(logAt + 4, printed.size() - logAt - 5);
        EXPECT_TRUE(std::regex_match(logPath, std::regex(dir.string() + "/Log_20[0-9][0-9]/\\(20\\)40_@[0-9]{10}\\.txt")))
            << logPath;
        EXPECT_EQ(readFile(logPath), expectedLog);
    }
}
// A file or folder name that is not UTF-8 would be written under another
// name: it is refused (exit 2) and nothing is made, while a Japanese name is
// taken as it is.
TEST_F(Companion, NamesThatAreNotUtf8AreRefusedAndNothingIsMade)
{
    const std::string bad = "'" + (folder / "d\xFF").string() + "'";
    for (const std::string& arguments :
         {"batch --seed 1 --nodes 5 --maps 2 --dir " + bad, "batch --seed 1 --nodes 5 --maps 2 --shard 0/1 --out " + bad,
          "colour --seed 1 --nodes 5 --export " + bad, "render --seed 1 --nodes 5 --svg " + bad, "map --sites " + bad,
          "merge " + bad, "merge " + (folder / "shards").string() + " --dir " + bad}) {
        const Outcome o = companion(arguments);
        EXPECT_EQ(o.status, 2) << arguments;
        EXPECT_NE(o.err.find("not UTF-8"), std::string::npos) << arguments << ": " << o.err;
    }
    EXPECT_TRUE(fs::is_empty(folder)) << "something was made";

    const fs::path japanese = folder / "\xE3\x83\xAD\xE3\x82\xB0";  // "ログ"
    EXPECT_NE(run("batch --seed 1 --nodes 5 --maps 2 --dir " + japanese.string()).find("log " + japanese.string()),
              std::string::npos);
}

// Every option with an upper limit is taken at that limit and refused one
// beyond it (exit 2, nothing printed); likewise at its lower limit.
TEST_F(Companion, OptionsAreTakenAtTheirLimitsAndRefusedBeyond)
{
    const std::string dir = " --dir " + (folder / "logs").string();
    const std::string batch = "batch --seed 1 --nodes 5 --maps 2" + dir;
    struct Case {
        std::string arguments;
        int status;
    };
    const std::vector<Case> cases = {
        {batch + " --jobs 1", 0},              {batch + " --jobs 64", 0},
        {batch + " --jobs 0", 2},              {batch + " --jobs 65", 2},
        {batch + " --clock-step 1", 0},        {batch + " --clock-step 100000", 0},
        {batch + " --clock-step 0", 2},        {batch + " --clock-step 100001", 2},
        {"colour --seed 1 --nodes 8 --steps 0", 0},
        {"colour --seed 1 --nodes 8 --steps 9223372036854775808", 2},
        {"render --seed 1 --nodes 3 --size 16384x1 --svg " + (folder / "wide.svg").string(), 0},
        {"render --seed 1 --nodes 3 --size 1x16384 --svg " + (folder / "tall.svg").string(), 0},
        {"render --seed 1 --nodes 3 --size 16385x1 --svg " + (folder / "x.svg").string(), 2},
        {"render --seed 1 --nodes 3 --size 1x16385 --svg " + (folder / "x.svg").string(), 2},
        {"render --seed 1 --nodes 3 --size 0x1 --svg " + (folder / "x.svg").string(), 2},
        {"pending --seed 1 --nodes 3 --maps 1 --shards 0 --out " + (folder / "p").string(), 2},
        {"pending --seed 1 --nodes 3 --maps 1 --shards 1000001 --out " + (folder / "p").string(), 2},
        {"pending --seed 1 --nodes 3 --maps 0 --shards 1 --out " + (folder / "p").string(), 2},
        {"pending --seed 1 --nodes 3 --maps 4294967297 --shards 1 --out " + (folder / "p").string(), 2},
    };
    for (const Case& c : cases) {
        std::string printed;
        EXPECT_EQ(status(c.arguments, &printed), c.status) << c.arguments;
        if (c.status == 2) {
            EXPECT_EQ(printed, "") << c.arguments;
        }
    }
    EXPECT_FALSE(fs::exists(folder / "x.svg"));

    // Shards: the last of a million over the whole seed space; one more
    // shard, or one more map, is refused.
    const std::string shards = " --out " + (folder / "shards").string();
    std::string printed;
    ASSERT_EQ(status("batch --seed 0 --nodes 3 --maps 4294967296 --shard 999999/1000000 --jobs 2" + shards, &printed), 0);
    EXPECT_EQ(printed.substr(0, printed.find('\n')), "shard 999999/1000000: ffffef3a..ffffffff (4294 maps): 4294 ok, 0 failed");
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 1 --shard 0/1" + shards), 0);
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 4294967297 --shard 0/1" + shards), 2);
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 0 --shard 0/1" + shards), 2);
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 10 --shard 1000000/1000000" + shards), 2);
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 10 --shard 0/1000001" + shards), 2);
    EXPECT_EQ(status("batch --seed 0 --nodes 3 --maps 10 --shard 1/1" + shards), 2);
    ASSERT_EQ(status("pending --seed 0 --nodes 3 --maps 4294967296 --shards 1000000 --out " + (folder / "none").string(),
                     &printed), 0);
    EXPECT_EQ(printed, "0-999999\n");

    // Node counts are clamped, not refused: 3 and 10000 are their ends.
    EXPECT_EQ(run("map --seed 1 --nodes 10000").substr(0, 29), "seed=00000001 nodes=10000 bor");
    EXPECT_EQ(run("map --seed 1 --nodes 10001").substr(0, 29), "seed=00000001 nodes=10000 bor");
    EXPECT_EQ(run("map --seed 1 --nodes 3"), "seed=00000001 nodes=3 borders=3 outer=3\n");
    EXPECT_EQ(run("map --seed 1 --nodes 2"), "seed=00000001 nodes=3 borders=3 outer=3\n");
    // A negative seed at the 32-bit limit.
    EXPECT_EQ(run("map --seed -ffffffff --nodes 5").substr(0, 22), "seed=00000001 nodes=5 ");
    EXPECT_EQ(run("map --seed -100000000 --nodes 5").substr(0, 22), "seed=ffffffff nodes=5 ");
}
}  // namespace
#endif
