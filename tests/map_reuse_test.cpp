// A map object that is built, coloured and released again and again (as each
// batch worker does with its one Map and Colouring) keeps its storage between
// maps; every map it builds and every colouring of it must be the one a fresh
// map object gives.
#include "engine/colouring.h"
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

// Builds (seed, n) on `map` and steps `colouring` (bound to it) to the end,
// one press at a time; the map digest is taken before colouring.
Outcome buildAndStep(Map& map, Colouring& colouring, uint32_t seed, int n, Paths paths)
{
    map.build(seed, n, {paths});
    colouring.setPaths(paths);
    colouring.restart();
    Outcome o{mapDigest(map), 0, 0, -1, "", map.lastBuild()};
    const TraceSummary s = stepToEnd(colouring);
    o.trace = s.digest;
    o.steps = s.steps;
    o.verify = s.verify;
    o.colours = s.colours;
    return o;
}

Outcome freshOutcome(uint32_t seed, int n, Paths paths)
{
    Map map;
    Colouring colouring(map);
    return buildAndStep(map, colouring, seed, n, paths);
}

// The colour row after a run to the end, as a batch worker colours.
std::string runToEnd(Map& map, Colouring& colouring, uint32_t seed, int n)
{
    map.build(seed, n, {colouring.paths()});
    colouring.restart();
    const uint16_t result = colouring.run();
    return colourRow(nodesByNumber(map)) + " " + std::to_string(result);
}

// Sizes going up and down, so storage is reused both larger and smaller than
// the map in hand; seeds whose colourings block, swap, reroute and shake.
const struct { uint32_t seed; int nodes; } sequence[] = {
    {1, 1000}, {15, 300}, {2, 2000}, {86, 300}, {3, 3}, {92, 300}, {5, 1000}, {119, 300}, {94, 300}, {7, 50},
};
}  // namespace

TEST(MapReuse, ABuiltAndReleasedMapBuildsAndColoursAsAFreshOne)
{
    for (const Paths paths : {Paths::fast, Paths::reference}) {
        Map map;
        Colouring colouring(map);
        for (const auto& m : sequence) {
            if (paths == Paths::reference && m.nodes > 1000) continue;  // the literal walks are slow
            SCOPED_TRACE("seed " + std::to_string(m.seed) + " nodes " + std::to_string(m.nodes) +
                         (paths == Paths::fast ? " fast" : " reference"));
            expectSame(freshOutcome(m.seed, m.nodes, paths), buildAndStep(map, colouring, m.seed, m.nodes, paths));
            map.release();
            EXPECT_TRUE(map.empty());
            EXPECT_EQ(map.nodeStorage(), nullptr);
        }
    }
}

TEST(MapReuse, ABatchWorkersMapColoursEverySeedAsAFreshMap)
{
    Map worker;
    Colouring workerColouring(worker);
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        const int n = seed % 3 == 0 ? 1000 : 200 + 17 * static_cast<int>(seed);
        Map fresh;
        Colouring freshColouring(fresh);
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_EQ(runToEnd(fresh, freshColouring, seed, n), runToEnd(worker, workerColouring, seed, n));
        EXPECT_EQ(mapDigest(fresh), mapDigest(worker));
        worker.release();
    }
}

TEST(MapReuse, BuildingOverAnotherKindOfMapGivesTheFreshMap)
{
    const Outcome fresh = freshOutcome(15, 300, Paths::fast);
    Map map;
    Colouring colouring(map);

    // Over a map built from given sites, and over one built with the location check.
    const int32_t xy[] = {100, 100, 30000, 200, 15000, 29000, 15000, 9000, 7000, 20000};
    ASSERT_TRUE(map.buildFromSites(xy, 5));
    colouring.run();
    expectSame(fresh, buildAndStep(map, colouring, 15, 300, Paths::fast));
    map.build(2, 2000, {Paths::fast, true});
    EXPECT_EQ(map.lastBuild().locationMismatches, 0);
    expectSame(fresh, buildAndStep(map, colouring, 15, 300, Paths::fast));

    // Over a hand-built map whose records came from newLink, and over a
    // colouring stopped half way with nodes still set aside.
    MapNode* nodes = map.allocateNodes(3);
    for (int i = 0; i < 3; ++i) {
        nodes[i].x = 1000 * (i + 1);
        nodes[i].y = 500 * (i % 2);
        nodes[i].number = static_cast<int16_t>(i + 1);
        nodes[i].next = i < 2 ? &nodes[i + 1] : nullptr;
        for (int j = 0; j < 3; ++j) {
            if (j == i) continue;
            NodeLink* l = map.newLink();
            *l = NodeLink{nodes[i].links, nullptr, nullptr, &nodes[j]};
            nodes[i].links = l;
        }
    }
    map.nodeList = nodes;
    expectSame(fresh, buildAndStep(map, colouring, 15, 300, Paths::fast));
    map.build(1, 1000);
    colouring.restart();
    for (int k = 0; k < 500; ++k) colouring.step(false);
    ASSERT_NE(map.deferredList, nullptr);
    expectSame(fresh, buildAndStep(map, colouring, 15, 300, Paths::fast));
}
