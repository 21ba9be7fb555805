// A builder and a colouring used for map after map (as each batch worker uses
// its own) keep their storage between maps; every map they build and every
// colouring of it must be the one a fresh builder and colouring give.
#include "engine/colouring.h"
#include "map/builder.h"
#include "map/map.h"
#include "runs/trace.h"
#include "tests/map_support.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvane;
using mapcheck::mapDigest;

namespace {
struct Outcome {
    uint64_t map;
    uint64_t trace;
    long steps;
    int verify;
    std::string colours;
    BuildCounts counts;
};

void expectSame(const Outcome& fresh, const Outcome& reused)
{
    EXPECT_EQ(fresh.map, reused.map);
    EXPECT_EQ(fresh.trace, reused.trace);
    EXPECT_EQ(fresh.steps, reused.steps);
    EXPECT_EQ(fresh.verify, reused.verify);
    EXPECT_EQ(fresh.colours, reused.colours);
    EXPECT_EQ(fresh.counts.insideSplits, reused.counts.insideSplits);
    EXPECT_EQ(fresh.counts.edgeSplits, reused.counts.edgeSplits);
    EXPECT_EQ(fresh.counts.flips, reused.counts.flips);
}

// Builds (seed, n) with `builder` and steps `colouring`, restarted on it, to
// the end one press at a time; the map digest is taken before colouring.
Outcome buildAndStep(MapBuilder& builder, Colouring& colouring, uint32_t seed, int n, Paths paths)
{
    const std::shared_ptr<const Map> map = builder.build(seed, n, {paths});
    colouring.setPaths(paths);
    colouring.restart(map);
    Outcome o{mapDigest(*map), 0, 0, -1, "", builder.lastBuild()};
    const TraceSummary s = stepToEnd(colouring);
    o.trace = s.digest;
    o.steps = s.steps;
    o.verify = s.verify;
    o.colours = s.colours;
    return o;
}

Outcome freshOutcome(uint32_t seed, int n, Paths paths)
{
    MapBuilder builder;
    Colouring colouring(nullptr);
    return buildAndStep(builder, colouring, seed, n, paths);
}

// The colour row after a run to the end, as a batch worker colours.
std::string runToEnd(MapBuilder& builder, Colouring& colouring, uint32_t seed, int n)
{
    colouring.restart(builder.build(seed, n, {colouring.paths()}));
    const uint16_t result = colouring.run();
    return colourRow(colouring) + " " + std::to_string(result);
}

// Sizes going up and down, so storage is reused both larger and smaller than
// the map in hand; seeds whose colourings block, swap, reroute and shake.
const struct { uint32_t seed; int nodes; } sequence[] = {
    {1, 1000}, {15, 300}, {2, 2000}, {86, 300}, {3, 3}, {92, 300}, {5, 1000}, {119, 300}, {94, 300}, {7, 50},
};
}  // namespace

TEST(MapReuse, AReusedBuilderAndColouringGiveWhatFreshOnesGive)
{
    for (const Paths paths : {Paths::fast, Paths::reference}) {
        MapBuilder builder;
        Colouring colouring(nullptr);
        for (const auto& m : sequence) {
            if (paths == Paths::reference && m.nodes > 1000) continue;  // the literal walks are slow
            SCOPED_TRACE("seed " + std::to_string(m.seed) + " nodes " + std::to_string(m.nodes) +
                         (paths == Paths::fast ? " fast" : " reference"));
            expectSame(freshOutcome(m.seed, m.nodes, paths), buildAndStep(builder, colouring, m.seed, m.nodes, paths));
        }
    }
}

TEST(MapReuse, ABatchWorkersBuilderAndColouringColourEverySeedAsFreshOnes)
{
    MapBuilder worker;
    Colouring workerColouring(nullptr);
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        const int n = seed % 3 == 0 ? 1000 : 200 + 17 * static_cast<int>(seed);
        MapBuilder fresh;
        Colouring freshColouring(nullptr);
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_EQ(runToEnd(fresh, freshColouring, seed, n), runToEnd(worker, workerColouring, seed, n));
        EXPECT_EQ(mapDigest(freshColouring.map()), mapDigest(workerColouring.map()));
    }
}

TEST(MapReuse, AfterAnotherKindOfMapTheyStillGiveTheFreshOutcome)
{
    const Outcome fresh = freshOutcome(15, 300, Paths::fast);
    MapBuilder builder;
    Colouring colouring(nullptr);

    // After a map built from given sites, and after one built with the location check.
    const std::vector<Point> sites = {{100, 100}, {30000, 200}, {15000, 29000}, {15000, 9000}, {7000, 20000}};
    colouring.restart(builder.buildFromSites(sites));
    colouring.run();
    expectSame(fresh, buildAndStep(builder, colouring, 15, 300, Paths::fast));
    builder.build(2, 2000, {Paths::fast, true});
    EXPECT_EQ(builder.lastBuild().locationMismatches, 0);
    expectSame(fresh, buildAndStep(builder, colouring, 15, 300, Paths::fast));

    // After a hand-assembled map, and after a colouring stopped half way with
    // nodes still set aside.
    MapAssembly triangle;
    triangle.sites = {{1000, 0}, {2000, 500}, {3000, 0}};
    triangle.links = {{2, 1}, {2, 0}, {1, 0}};
    triangle.outerCycle = {0, 1, 2};
    colouring.restart(triangle.assemble());
    colouring.run();
    expectSame(fresh, buildAndStep(builder, colouring, 15, 300, Paths::fast));
    colouring.restart(builder.build(1, 1000));
    for (int k = 0; k < 500; ++k) colouring.step(false);
    expectSame(fresh, buildAndStep(builder, colouring, 15, 300, Paths::fast));
}
