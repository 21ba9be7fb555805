// Every colouring must reproduce, step by step, the trace digests recorded in
// tests/data/golden_traces.txt with the reference build.
#include "engine/engine.h"
#include "map/map.h"
#include "runs/runs.h"
#include "runs/trace.h"
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>

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

void buildFromSeedText(const std::string& seed, int nodes)
{
    seedGenerator(parseSeedText(toUtf16(seed.c_str()).c_str()));
    buildMap(nodes);
    EnginePhase = phasePrepare;
}

#ifdef ORVANE_SANITIZED
constexpr int largestCheckedMap = 2000;  // the big maps are covered by the native build
#else
constexpr int largestCheckedMap = 10000;
#endif


void checkSteppedColourings(bool reference, int largest)
{
    const std::vector<GoldenEntry> entries = readGolden();
    ASSERT_GE(entries.size(), 300u) << "golden data missing";
    literalReference = reference;
    for (const GoldenEntry& e : entries) {
        if (e.nodes > largest) continue;
        SCOPED_TRACE("seed " + e.seed + " nodes " + std::to_string(e.nodes));
        buildFromSeedText(e.seed, e.nodes);
        const TraceSummary t = stepToEnd(e.steps + 1);
        EXPECT_EQ(t.digest, e.digest);
        EXPECT_EQ(t.steps, e.steps);
        EXPECT_EQ(t.verify, e.verify);
        EXPECT_EQ(fnv1a(t.colours), e.colours);
    }
    releaseMap();
    literalReference = false;
}
}  // namespace

TEST(GoldenTraces, FastPathsReproduceEveryRecordedColouringStepByStep)
{
    checkSteppedColourings(false, largestCheckedMap);
}

TEST(GoldenTraces, ReferencePathsReproduceTheRecordedColourings)
{
    checkSteppedColourings(true, 1000);
}

TEST(GoldenTraces, RunToEndGivesTheSteppedColouring)
{
    for (const GoldenEntry& e : readGolden()) {
        if (e.nodes > 2000) continue;
        SCOPED_TRACE("seed " + e.seed + " nodes " + std::to_string(e.nodes));
        buildFromSeedText(e.seed, e.nodes);
        EXPECT_EQ(engineStep(true), e.verify);
        EXPECT_EQ(fnv1a(colourRow(nodesByNumber())), e.colours);
    }
    releaseMap();
}
