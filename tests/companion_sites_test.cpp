// The companion with sites files, run as a user runs it: the sites command's
// output fed back with --sites gives the seeded map's lines, traces, exports
// and picture; every set of sites that gives no map is named with its lines,
// ends with exit status 2 and writes no file.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "map/sites.h"
#include "tests/companion_support.h"

namespace {
using namespace orvane;
using namespace companion_testing;
namespace fs = std::filesystem;

using CompanionSites = CompanionTest;

std::string withoutFirstWord(const std::string& line) { return line.substr(line.find(' ')); }

TEST_F(CompanionSites, TheSitesCommandPrintsASitesFileOfTheSeededMap)
{
    EXPECT_EQ(runOk("sites --seed 1 --nodes 5"), "26962 24464\n11478 29358\n19169 15724\n6334 26500\n41 18467\n");
    std::string expected;
    for (const Point& p : seededSites(0x1a2b, 300)) expected += std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
    EXPECT_EQ(runOk("sites --seed 1a2b --nodes 300"), expected);
    EXPECT_EQ(companion("sites --nodes 5").status, 2);
    EXPECT_EQ(companion("sites --seed 1 --sites x").status, 2);
}

TEST_F(CompanionSites, SeededSitesFedBackGiveTheSeededMap)
{
    for (const auto& [seed, n] : {std::pair<std::string, int>{"1", 5}, {"1a2b", 12}, {"1a2b", 300}, {"ffffffff", 1000}}) {
        SCOPED_TRACE(seed + " " + std::to_string(n));
        const std::string nodes = std::to_string(n);
        const fs::path sites = write("m.sites", runOk("sites --seed " + seed + " --nodes " + nodes));
        const std::string seeded = "--seed " + seed + " --nodes " + nodes;
        const std::string given = "--sites " + sites.string();
        EXPECT_EQ(runOk("map " + given), "sites=m" + withoutFirstWord(runOk("map " + seeded)));
        // The trace, line by line, then the result line under the map's own name.
        const std::string seededTrace = runOk("colour " + seeded + " --steps 100000 --trace");
        const std::string givenTrace = runOk("colour " + given + " --steps 100000 --trace");
        const size_t lastLine = seededTrace.rfind("result ");
        EXPECT_EQ(givenTrace.substr(0, lastLine), seededTrace.substr(0, lastLine));
        EXPECT_EQ(givenTrace.substr(lastLine), "result sites=m" + withoutFirstWord(seededTrace.substr(lastLine + 7)));
        runOk("colour " + seeded + " --full --export " + (folder / "seeded.txt").string());
        runOk("colour " + given + " --full --export " + (folder / "given.txt").string());
        EXPECT_EQ(readFile(folder / "given.txt"), readFile(folder / "seeded.txt"));
        runOk("render " + seeded + " --steps 7 --svg " + (folder / "seeded.svg").string());
        runOk("render " + given + " --steps 7 --svg " + (folder / "given.svg").string());
        EXPECT_EQ(readFile(folder / "given.svg"), readFile(folder / "seeded.svg"));
    }
}

TEST_F(CompanionSites, TenThousandSitesGiveTheSeededDigestAndExport)
{
    const fs::path sites = write("big.txt", runOk("sites --seed 5eed --nodes 10000"));
    const std::string seeded = runOk("colour --seed 5eed --nodes 10000 --digest --export " + (folder / "a.txt").string());
    const std::string given = runOk("colour --sites " + sites.string() + " --digest --export " + (folder / "b.txt").string());
    EXPECT_EQ(given.substr(0, given.find('\n')), seeded.substr(0, seeded.find('\n')));
    EXPECT_EQ(readFile(folder / "b.txt"), readFile(folder / "a.txt"));
}

TEST_F(CompanionSites, ExportsIntoAFolderAreNamedAfterTheSitesFile)
{
    const fs::path sites = write("lesson 3.txt", "# a square and its centre\n0 0\n20000 0\n20000 20000\n0 20000\n10000 10000\n");
    const fs::path out = folder / "Export";
    fs::create_directories(out);
    EXPECT_EQ(runOk("map --sites '" + sites.string() + "' --export " + out.string()),
              "sites=lesson 3 nodes=5 borders=8 outer=4\n");
    EXPECT_TRUE(fs::is_regular_file(out / "lesson 3(5).txt"));
    EXPECT_EQ(companion("colour --sites - --full --export " + out.string(), "'" + sites.string() + "'").status, 0);
    EXPECT_TRUE(fs::is_regular_file(out / "stdin(5).txt"));
    runOk("colour --seed 1a2b --nodes 12 --full --export " + out.string());
    EXPECT_TRUE(fs::is_regular_file(out / "00001a2b(12).txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
}

TEST_F(CompanionSites, SitesThatGiveNoMapAreNamedWithStatusTwoAndNoFile)
{
    struct Case {
        const char* sites;
        const char* message;
    };
    const Case cases[] = {
        {"# only two\n1 2\n3 4\n", "m.txt: a map needs at least 3 sites; there are only 2: line 2 (1, 2), line 3 (3, 4)\n"},
        {"1 2\n3 4\n\n40000 5\n", "m.txt: line 4 (40000, 5) lies outside the map's square: coordinates run from 0 to 32767\n"},
        {"1 2\n3 4\n9 9\n3 4\n", "m.txt: line 4 (3, 4) is the same site as line 2\n"},
        {"0 0\n10 10\n# on it\n20 20\n", "m.txt: all 3 sites lie on one line (through line 1 (0, 0) and line 2 (10, 10)); a map needs a site off it\n"},
        {"0 19688\n1 18018\n2 1538\n32767 23750\n2 1756\n",
         "m.txt: seen from line 1 (0, 19688), line 3 (2, 1538) and line 5 (2, 1756) lie in directions too close "
         "together for the map's angle order to tell apart (long borders almost parallel to an axis); move one of "
         "these sites a little\n"},
        {"1 2\n3 -4\n", "cannot read the sites file '*m.txt': line 2: coordinates are whole numbers from 0 to 32767, without a sign: '3 -4'\n"},
        {"1 2\n3 4 5\n", "cannot read the sites file '*m.txt': line 2: expected two whole numbers 'x y', found '3 4 5'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sites);
        const fs::path sites = write("m.txt", c.sites);
        const fs::path exported = folder / "e.txt", picture = folder / "p.svg";
        for (const std::string& command : {"map --sites " + sites.string() + " --export " + exported.string(),
                                          "colour --sites " + sites.string() + " --full --export " + exported.string(),
                                          "render --sites " + sites.string() + " --svg " + picture.string()}) {
            const Outcome o = companion(command);
            EXPECT_EQ(o.status, 2) << command;
            EXPECT_EQ(o.out, "");
            std::string message = c.message;
            const size_t star = message.find("*m.txt");
            if (star != std::string::npos) message.replace(star, 6, sites.string());
            else message.replace(0, 5, sites.string());
            EXPECT_EQ(o.err, "orvane-cli: " + message);
            EXPECT_FALSE(fs::exists(exported));
            EXPECT_FALSE(fs::exists(picture));
        }
    }
    // Ten thousand and one sites.
    std::string many;
    for (int i = 0; i <= 10000; ++i) many += std::to_string(i % 101 * 300) + " " + std::to_string(i / 101 * 300) + "\n";
    const Outcome o = companion("map --sites " + write("many.txt", many).string());
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("a map has at most 10000 sites; there are 10001 (the first one too many is line 10001 (300, 29700))"),
              std::string::npos) << o.err;
    // From standard input the problem says so.
    const Outcome in = companion("map --sites -", write("two.txt", "1 1\n2 2\n").string());
    EXPECT_EQ(in.status, 2);
    EXPECT_EQ(in.err, "orvane-cli: standard input: a map needs at least 3 sites; there are only 2: line 1 (1, 1), line 2 (2, 2)\n");
}

TEST_F(CompanionSites, FilesThatAreNoSitesFilesAreRefusedSafely)
{
    Outcome o = companion("map --sites " + (folder / "missing.txt").string());
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("it does not exist"), std::string::npos);
    o = companion("map --sites " + folder.string());
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("it is a folder"), std::string::npos);
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    o = companion("map --sites " + (folder / "pipe").string());  // would wait for ever if it were opened
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("not a regular file"), std::string::npos);
    o = companion("map --sites " + write("huge.txt", std::string((4 << 20) + 1, '#')).string());
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("larger than 4 MiB"), std::string::npos);
    o = companion("map --sites -", (folder / "huge.txt").string());
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("standard input: it is larger than 4 MiB"), std::string::npos) << o.err;
    o = companion("map --sites x.txt --seed 1");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--sites and --seed/--nodes exclude each other"), std::string::npos);
    EXPECT_EQ(companion("map --sites x.txt --nodes 5").status, 2);
    EXPECT_EQ(companion("batch --sites x.txt").status, 2);
}

}  // namespace
#endif
