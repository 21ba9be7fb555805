// The lives of maps and colourings as a library caller holds them: a colouring
// keeps its map, a built map never changes, and colourings of one map keep
// apart. (The sanitizer build runs these too: a read of freed or shared
// memory shows there.)
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/export.h"
#include "runs/trace.h"
#include "tests/trace_support.h"
#include "tests/map_support.h"
#include "ui/view.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace orvane;
using trace_testing::traceOf;

namespace {
std::vector<std::string> traceAlone(uint32_t seed, int nodes)
{
    Colouring colouring(Map::build(seed, nodes));
    return traceOf(colouring);
}
}  // namespace

// The caller lets go of its map handle at once: the colouring still steps,
// finishes and draws, and gives what a colouring whose map was held gives.
TEST(ColouringLifetime, AColouringKeepsItsMapAfterTheCallerLetsGo)
{
    std::shared_ptr<const Map> map = Map::build(36, 300);
    const std::weak_ptr<const Map> watch = map;
    Colouring colouring(map);
    map.reset();
    ASSERT_FALSE(watch.expired());
    const std::vector<std::string> lines = traceOf(colouring);
    EXPECT_TRUE(colouring.finished());
    EXPECT_EQ(colouring.verify(), 0);
    EXPECT_EQ(lines, traceAlone(36, 300));
    EXPECT_FALSE(exportContent(colouring).empty());
    EXPECT_FALSE(mapPageSvg(colouring, {300, 200}).empty());
    colouring.restart();  // again on the same map
    EXPECT_EQ(colouring.run(), 0);

    // Restarted on another map, it lets the first one go.
    colouring.restart(Map::build(37, 50));
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(colouring.run(), 0);
}

// Stepped in turn, one press each, two colourings of one map give exactly
// the trace lines of one alone; and a colouring made part-way through
// another's starts from the map as built.
TEST(ColouringLifetime, ColouringsOfOneMapSteppedInTurnEachGiveTheTraceOfOneAlone)
{
    for (const auto& [seed, nodes] : {std::pair<uint32_t, int>{36, 100}, {155, 100}, {0x1a2b, 300}}) {
        SCOPED_TRACE(seed);
        const std::vector<std::string> alone = traceAlone(seed, nodes);
        const std::shared_ptr<const Map> map = Map::build(seed, nodes);
        const uint64_t built = mapcheck::mapDigest(*map);
        Colouring first(map), second(map);
        std::vector<std::string> firstLines, secondLines;
        std::unique_ptr<Colouring> late;
        std::vector<std::string> lateLines;
        for (long k = 1; !first.finished() || !second.finished(); ++k) {
            for (auto [c, lines] : {std::pair{&first, &firstLines}, std::pair{&second, &secondLines}}) {
                if (c->finished()) continue;
                const Phase before = c->phase();
                const StepReport r = c->step(false);
                lines->push_back(traceLine(k, before, r.result, *c));
            }
            if (k == 40) late = std::make_unique<Colouring>(map);
        }
        EXPECT_EQ(firstLines, alone);
        EXPECT_EQ(secondLines, alone);
        ASSERT_TRUE(late);
        EXPECT_EQ(traceOf(*late), alone);
        // Each keeps its own colours: clearing one leaves the other coloured.
        first.clear();
        EXPECT_EQ(colourRow(first), std::string(static_cast<size_t>(nodes), '.'));
        EXPECT_EQ(second.verify(), 0);
        EXPECT_EQ(mapcheck::mapDigest(*map), built);
    }
}

// What the map gives its readers is the same before, during and after any
// number of colourings of it.
TEST(ColouringLifetime, ColouringsLeaveTheirMapAsBuilt)
{
    const std::shared_ptr<const Map> map = Map::build(0xbeef, 2000);
    const uint64_t digest = mapcheck::mapDigest(*map);
    const std::string exported = exportContent(*map);
    const std::string picture = mapPageSvg(*map, {400, 400});
    const auto borders = map->borders();
    {
        Colouring run(map), stepped(map);
        run.run();
        for (int k = 0; k < 500; ++k) stepped.step(false);
        EXPECT_EQ(mapcheck::mapDigest(*map), digest);
        stepped.clear();
    }
    EXPECT_EQ(mapcheck::mapDigest(*map), digest);
    EXPECT_EQ(exportContent(*map), exported);
    EXPECT_EQ(mapPageSvg(*map, {400, 400}), picture);
    EXPECT_EQ(map->borders(), borders);
    EXPECT_EQ(mapcheck::mapDigest(*map), mapcheck::mapDigest(*Map::build(0xbeef, 2000)));
}

// A null map counts as the empty map: nothing to step, nothing to draw, no node.
TEST(ColouringLifetime, AColouringOfNoMapDoesNothing)
{
    Colouring colouring(nullptr);
    EXPECT_TRUE(colouring.map().empty());
    EXPECT_FALSE(colouring.step(true).ran);
    EXPECT_EQ(colouring.firstListed(), noNode);
    EXPECT_EQ(colouring.colourOf(1), colourNone);
    EXPECT_EQ(traceLine(1, Phase::prepare, 0, colouring),
              "step 1 phase 0->0 result 0 colours  ring 0 cand 0 arc 0,0 pivot 0 path 0,0 cursor 0 flag 0");
    EXPECT_EQ(exportText(colouring), "");
}
