// The fast paths must leave every field that any reader looks at exactly as the
// reference paths (whole-list walks and clears) leave it, after every step.
#include "engine/colouring.h"
#include "engine/internal.h"
#include "map/map.h"
#include "runs/trace.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvane;

namespace {
int numberOf(const MapNode* n) { return n ? n->number : 0; }

uint64_t mix(uint64_t h, int64_t v) { return (h ^ static_cast<uint64_t>(v)) * 1099511628211ULL; }

// A digest of every engine-visible field of every node, in number order. Chain
// marks are left out while the last marking stopped early: nothing reads them
// then, and the next marking clears them before anything does.
uint64_t snapshot(const std::vector<const MapNode*>& nodes, bool withChainMarks)
{
    uint64_t h = 1469598103934665603ULL;
    for (const MapNode* n : nodes) {
        for (int64_t v : {int64_t{n->colour}, int64_t{n->visited}, int64_t{n->swapCursor}, int64_t{n->pathMark},
                          int64_t{n->ringContacts}, int64_t{n->chainDegree}, int64_t{numberOf(n->chainParent)},
                          int64_t{numberOf(n->pathPrev)}, int64_t{numberOf(n->pathNext)},
                          int64_t{numberOf(n->ringNext)}, int64_t{numberOf(n->ringPrev)}})
            h = mix(h, v);
        if (withChainMarks) h = mix(h, n->chainMark);
        // The angular ring of the node's current links.
        if (const NodeLink* first = n->links) {
            const NodeLink* l = first;
            do {
                h = mix(h, numberOf(l->node));
                l = l->aroundNext;
            } while (l && l != first);
        }
    }
    return h;
}

struct StepState {
    uint64_t withMarks;
    uint64_t withoutMarks;
    bool marksComplete;
};

std::vector<StepState> stepRecording(uint32_t seed, int n, Paths paths)
{
    Map map;
    map.build(seed, n, BuildOptions{paths});
    Colouring colouring(map, steadyClock(), paths);
    Engine& engine = colouring.engine();
    std::vector<StepState> states;
    const std::vector<const MapNode*> nodes = nodesByNumber(map);
    auto record = [&] {
        states.push_back({snapshot(nodes, true), snapshot(nodes, false), engine.chainMarksComplete()});
    };
    while (!colouring.finished() && static_cast<long>(states.size()) < stepLimit(map)) {
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
