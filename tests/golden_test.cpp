// Every colouring must reproduce, step by step, the trace digests recorded in
// tests/data/golden_traces.txt with the reference build.
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/texts.h"
#include "runs/trace.h"
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace orvane;

namespace {
struct GoldenEntry {
    std::string seed;
    int nodes;
    uint64_t digest;
    long steps;
    int verify;
    uint64_t colours;
};

std::vector<GoldenEntry> readGolden()
{
    std::vector<GoldenEntry> entries;
    std::ifstream in(ORVANE_TEST_DATA "/golden_traces.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream f(line);
        GoldenEntry e;
        std::string digest, colours;
        f >> e.seed >> e.nodes >> digest >> e.steps >> e.verify >> colours;
        e.digest = std::stoull(digest, nullptr, 16);
        e.colours = std::stoull(colours, nullptr, 16);
        entries.push_back(e);
    }
    return entries;
}

// The seed as the seed field reads it (the recorded seeds are ASCII hex digits).
std::shared_ptr<const Map> buildFromSeedText(MapBuilder& builder, const std::string& seed, int nodes,
                                             Paths paths = Paths::fast)
{
    const std::u16string text(seed.begin(), seed.end());
    return builder.build(parseSeedText(text.c_str()), nodes, BuildOptions{paths});
}

#ifdef ORVANE_SANITIZED
constexpr int largestCheckedMap = 2000;  // the big maps are covered by the native build
#else
constexpr int largestCheckedMap = 10000;
#endif


void checkSteppedColourings(Paths paths, int largest)
{
    const std::vector<GoldenEntry> entries = readGolden();
    ASSERT_GE(entries.size(), 300u) << "golden data missing";
    MapBuilder builder;
    Colouring colouring(nullptr, steadyClock(), paths);
    for (const GoldenEntry& e : entries) {
        if (e.nodes > largest) continue;
        SCOPED_TRACE("seed " + e.seed + " nodes " + std::to_string(e.nodes));
        colouring.restart(buildFromSeedText(builder, e.seed, e.nodes, paths));
        const TraceSummary t = stepToEnd(colouring, e.steps + 1);
        EXPECT_EQ(t.digest, e.digest);
        EXPECT_EQ(t.steps, e.steps);
        EXPECT_EQ(t.verify, e.verify);
        EXPECT_EQ(fnv1a(t.colours), e.colours);
    }
}
}  // namespace

TEST(GoldenTraces, FastPathsReproduceEveryRecordedColouringStepByStep)
{
    checkSteppedColourings(Paths::fast, largestCheckedMap);
}

TEST(GoldenTraces, ReferencePathsReproduceTheRecordedColourings)
{
    checkSteppedColourings(Paths::reference, 1000);
}

TEST(GoldenTraces, RunToEndGivesTheSteppedColouring)
{
    MapBuilder builder;
    Colouring colouring(nullptr);
    for (const GoldenEntry& e : readGolden()) {
        if (e.nodes > 2000) continue;
        SCOPED_TRACE("seed " + e.seed + " nodes " + std::to_string(e.nodes));
        colouring.restart(buildFromSeedText(builder, e.seed, e.nodes));
        EXPECT_EQ(colouring.run(), e.verify);
        EXPECT_EQ(fnv1a(colourRow(colouring)), e.colours);
    }
}
