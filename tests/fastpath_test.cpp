// The fast paths must leave every field that any reader looks at exactly as the
// reference paths (whole-list walks and clears) leave it, after every step.
#include "engine/colouring.h"
#include "engine/work.h"
#include "map/map.h"
#include "runs/trace.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvane;

namespace {
uint64_t mix(uint64_t h, int64_t v) { return (h ^ static_cast<uint64_t>(v)) * 1099511628211ULL; }

// A digest of every field the colouring keeps for every node, in number
// order, with its working borders and node list. Chain marks are left out
// while the last marking stopped early: nothing reads them then, and the next
// marking clears them before anything does.
uint64_t snapshot(const Colouring& colouring, bool withChainMarks)
{
    const ColouringWork& w = ColouringAccess::work(colouring);
    const Map& map = colouring.map();
    const NodeFields& f = w.fields;
    const auto numberOf = [&map](NodeIndex v) { return v == noNode ? 0 : map.number(v); };
    uint64_t h = 1469598103934665603ULL;
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex n = map.numbered(k);
        const HotNode& hot = f.hot[n];
        for (int64_t v : {int64_t{hot.colour}, int64_t{hot.reached}, int64_t{static_cast<uint8_t>(hot.trimClass)},
                          int64_t{f.swapCursor[n]}, int64_t{static_cast<int8_t>(f.pathMark[n])},
                          int64_t{f.ringContacts[n]}, int64_t{f.chainTree[n].chainDegree}, int64_t{numberOf(f.chainTree[n].chainParent)},
                          int64_t{numberOf(f.pathPrev[n])}, int64_t{numberOf(f.pathNext[n])},
                          int64_t{numberOf(f.ringNext[n])}, int64_t{numberOf(f.ringPrev[n])}})
            h = mix(h, v);
        if (withChainMarks) h = mix(h, hot.chainMark);
        // The node's current borders and their angular ring.
        for (const NodeIndex m : w.borders.links(n)) h = mix(h, numberOf(m));
        h = mix(h, -1);
        for (const NodeIndex m : w.borders.around(n)) h = mix(h, numberOf(m));
        h = mix(h, -2);
    }
    for (NodeIndex v = w.list.head(); v != noNode; v = w.list.next(v)) h = mix(h, numberOf(v));
    return h;
}

struct StepState {
    uint64_t withMarks;
    uint64_t withoutMarks;
    bool marksComplete;
};

std::vector<StepState> stepRecording(uint32_t seed, int n, Paths paths)
{
    Colouring colouring(Map::build(seed, n, BuildOptions{paths}), steadyClock(), paths);
    const ColouringWork& work = ColouringAccess::work(colouring);
    std::vector<StepState> states;
    auto record = [&] {
        states.push_back({snapshot(colouring, true), snapshot(colouring, false), work.fills.marksComplete()});
    };
    while (!colouring.finished() && static_cast<long>(states.size()) < stepLimit(colouring.map())) {
        colouring.step(false);
        record();
    }
    // Clear colouring after a finished one, and in the middle of another.
    colouring.clear();
    record();
    for (int k = 0; k < n / 3; ++k) colouring.step(false);
    colouring.clear();
    record();
    return states;
}

// Maps whose colourings block and swap, build conflict paths (seed 15),
// reroute them (92, 119) and shake the pivot (86, 94).
const struct { uint32_t seed; int nodes; } conflictMaps[] = {
    {15, 300}, {86, 300}, {92, 300}, {94, 300}, {119, 300}, {1, 1000}, {2, 2000},
};
}  // namespace

TEST(FastPaths, EveryStepLeavesTheReferenceFields)
{
    int partialSteps = 0;
    for (const auto& m : conflictMaps) {
        SCOPED_TRACE("seed " + std::to_string(m.seed) + " nodes " + std::to_string(m.nodes));
        const std::vector<StepState> reference = stepRecording(m.seed, m.nodes, Paths::reference);
        const std::vector<StepState> fast = stepRecording(m.seed, m.nodes, Paths::fast);
        ASSERT_EQ(reference.size(), fast.size());
        for (size_t k = 0; k < reference.size(); ++k) {
            SCOPED_TRACE("step " + std::to_string(k + 1));
            ASSERT_TRUE(reference[k].marksComplete);
            ASSERT_EQ(reference[k].withoutMarks, fast[k].withoutMarks);
            if (fast[k].marksComplete) ASSERT_EQ(reference[k].withMarks, fast[k].withMarks);
            else ++partialSteps;
        }
    }
    // The early stop of the direct swaps' markings is exercised.
    EXPECT_GT(partialSteps, 0);
}
