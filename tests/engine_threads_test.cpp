// Colourings on several threads at once: of maps of their own, and of one
// map that several colourings and readers share.
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include "tests/trace_support.h"
#include "tests/map_support.h"
#include <gtest/gtest.h>
#include <atomic>
#include <barrier>
#include <string>
#include <thread>
#include <vector>

using namespace orvane;
using trace_testing::traceOf;

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

namespace {
// A clock that never moves: a slow machine (or a sanitizer) must not cut a run short.
Clock stillClock()
{
    return [] { return 0u; };
}

#ifdef ORVANE_SANITIZED
constexpr int sharedMapNodes = 1000;  // ThreadSanitizer runs many times slower
#else
constexpr int sharedMapNodes = 3000;
#endif
}  // namespace

// Two colourings of one map, on two threads, each pressing step once per
// round while the other does too: each gives the trace lines of one alone.
TEST(EngineThreads, TwoColouringsOfOneMapInLockstepGiveTheTraceOfOneAlone)
{
    const std::shared_ptr<const Map> map = Map::build(0x1a2b, sharedMapNodes);
    Colouring alone(map, stillClock());
    const std::vector<std::string> expected = traceOf(alone);
    ASSERT_GT(expected.size(), 100u);

    std::vector<std::string> lines[2];
    std::atomic<int> stillStepping{2};
    std::barrier round(2);
    auto stepper = [&](std::vector<std::string>& out) {
        Colouring colouring(map, stillClock());
        for (long k = 1;; ++k) {
            round.arrive_and_wait();  // both step, then both go on
            if (colouring.finished()) break;
            const Phase before = colouring.phase();
            const StepReport r = colouring.step(false);
            out.push_back(traceLine(k, before, r.result, colouring));
        }
        // The one that finishes first keeps meeting the other at the barrier until it is done too.
        stillStepping.fetch_sub(1);
        while (stillStepping.load() > 0) round.arrive_and_wait();
        round.arrive_and_drop();
    };
    std::thread a([&] { stepper(lines[0]); });
    std::thread b([&] { stepper(lines[1]); });
    a.join();
    b.join();
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[1], expected);
}

// Eight colourings of one map at once, four run to the end and four stepped:
// all give the one result, and the map stays byte for byte a fresh build's.
TEST(EngineThreads, EightColouringsReadOneMapAtOnceAndLeaveItAsBuilt)
{
    const std::shared_ptr<const Map> map = Map::build(0xbeef, sharedMapNodes);
    const std::string exported = exportContent(*map);
    const uint64_t digest = mapcheck::mapDigest(*map);
    Colouring reference(map, stillClock());
    const TraceSummary steppedAlone = stepToEnd(reference);
    const std::string colouredExport = exportContent(reference);

    struct Outcome {
        TraceSummary stepped;
        uint16_t run = 0;
        std::string exported;
    };
    std::vector<Outcome> outcomes(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        threads.emplace_back([&, i] {
            Colouring colouring(map, stillClock());
            if (i % 2) outcomes[i].run = colouring.run();
            else outcomes[i].stepped = stepToEnd(colouring);
            outcomes[i].exported = exportContent(colouring);
        });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(outcomes[i].exported, colouredExport);
        if (i % 2) {
            EXPECT_EQ(outcomes[i].run, 0);
        } else {
            EXPECT_EQ(outcomes[i].stepped.digest, steppedAlone.digest);
            EXPECT_EQ(outcomes[i].stepped.colours, steppedAlone.colours);
        }
    }
    EXPECT_EQ(exportContent(*map), exported);
    EXPECT_EQ(mapcheck::mapDigest(*map), digest);
    EXPECT_EQ(mapcheck::mapDigest(*map), mapcheck::mapDigest(*Map::build(0xbeef, sharedMapNodes)));
}

// While two colourings of a map step on their threads, this thread reads the
// map over and over, and its builder goes on building other maps: every read
// gives the map as built, and the colourings give what they give alone.
TEST(EngineThreads, AMapIsReadAndItsBuilderBuildsOnWhileColouringsStep)
{
    MapBuilder builder;
    const std::shared_ptr<const Map> map = builder.build(0xc0ffee, sharedMapNodes);
    const uint64_t digest = mapcheck::mapDigest(*map);
    Colouring alone(map, stillClock());
    const std::vector<std::string> expected = traceOf(alone);

    std::atomic<int> running{2};
    std::vector<std::string> lines[2];
    std::vector<std::thread> threads;
    for (auto& out : lines) {
        threads.emplace_back([&] {
            Colouring colouring(map, stillClock());
            out = traceOf(colouring);
            running.fetch_sub(1);
        });
    }
    int reads = 0;
    do {
        EXPECT_EQ(mapcheck::mapDigest(*map), digest);
        builder.build(static_cast<uint32_t>(reads), 500);  // the builder's storage is reused, the map is not
        ++reads;
    } while (running.load() > 0);
    for (std::thread& t : threads) t.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[1], expected);
    EXPECT_EQ(mapcheck::mapDigest(*map), digest);
}
