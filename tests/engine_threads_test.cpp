// Colourings on several threads at once.
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace orvane;

// Each thread owns its maps and colourings: nothing is shared between them,
// so colourings made at once give what they give one after the other.
namespace {
struct SeedResult {
    uint16_t runResult;
    uint64_t runExport;  // the export file of the run-to-end colouring
    std::string runColours;
    TraceSummary stepped;
};

std::vector<SeedResult> colourSeeds(uint32_t first, uint32_t last)
{
    std::vector<SeedResult> out;
    MapBuilder builder;
    // A clock that never moves: a slow machine must not cut a run short.
    Colouring colouring(nullptr, [] { return 0u; });
    for (uint32_t seed = first; seed <= last; ++seed) {
        SeedResult r;
        colouring.restart(builder.build(seed, 1000));
        r.runResult = colouring.run();
        r.runExport = fnv1a(exportContent(colouring));
        r.runColours = colourRow(colouring);
        colouring.restart();
        r.stepped = stepToEnd(colouring);
        out.push_back(r);
    }
    return out;
}
}  // namespace

TEST(EngineThreads, ColouringsOnTwoThreadsMatchTheSameColouringsOneAfterTheOther)
{
    std::vector<SeedResult> one, two;
    std::thread a([&] { one = colourSeeds(1, 6); });
    std::thread b([&] { two = colourSeeds(7, 12); });
    a.join();
    b.join();
    std::vector<SeedResult> together = one;
    together.insert(together.end(), two.begin(), two.end());

    const std::vector<SeedResult> alone = colourSeeds(1, 12);
    ASSERT_EQ(together.size(), alone.size());
    for (size_t i = 0; i < alone.size(); ++i) {
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        EXPECT_EQ(together[i].runResult, alone[i].runResult);
        EXPECT_EQ(together[i].runExport, alone[i].runExport);
        EXPECT_EQ(together[i].runColours, alone[i].runColours);
        EXPECT_EQ(together[i].stepped.digest, alone[i].stepped.digest);
        EXPECT_EQ(together[i].stepped.steps, alone[i].stepped.steps);
        EXPECT_EQ(together[i].stepped.verify, alone[i].stepped.verify);
        EXPECT_EQ(together[i].stepped.colours, alone[i].stepped.colours);
        // Stepping and running agree, and every colouring is correct.
        EXPECT_EQ(alone[i].stepped.colours, alone[i].runColours);
        EXPECT_EQ(alone[i].runResult, 0);
        EXPECT_EQ(alone[i].stepped.verify, 0);
    }
}
