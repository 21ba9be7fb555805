// The Kempe-chain toolkit on small hand-built graphs, and conflict resolution
// on real maps whose colourings block.
#include "engine_support.h"
#include <algorithm>
#include <functional>

using namespace enginetest;

namespace {
// Shorthand for the colour and mark numbers the cases are written in.
constexpr ColourCode c(int k) { return colourCode(k); }
}  // namespace

class EngineChains : public EngineTest {
protected:
    void paint(const std::vector<int>& colours)
    {
        for (size_t i = 0; i < colours.size(); ++i) paintNode(at(static_cast<int>(i)), colours[i]);
    }

    std::vector<int> marks() const
    {
        std::vector<int> v;
        for (const HotNode& h : fields.hot) v.push_back(h.chainMark);
        return v;
    }

    std::vector<int> colours() const
    {
        std::vector<int> v;
        for (const HotNode& h : fields.hot) v.push_back(h.colour);
        return v;
    }

    void markAll(int mark)
    {
        for (HotNode& h : fields.hot) h.chainMark = c(mark);
    }
    void mark(NodeIndex v, int m) { fields.hot[v].chainMark = c(m); }
    TrimClass trimClassOf(NodeIndex v) const { return fields.hot[v].trimClass; }
};

TEST_F(EngineChains, MarkAndSwapFollowTheTwoColourChain)
{
    // 0(1) 1(2) 2(1) 5(2) form a (1,2) cycle through 0; 3(3) sits beside it;
    // 4(2) and 6(1) hang off 3 and are not reached from 0.
    buildHandMap({{10000, 10000}, {14000, 10000}, {14000, 14000}, {18000, 12000}, {22000, 12000},
                  {10000, 14000}, {22000, 16000}},
                 {{0, 1}, {1, 2}, {2, 5}, {5, 0}, {1, 3}, {2, 3}, {3, 4}, {4, 6}}, {});
    paint({1, 2, 1, 3, 2, 2, 1});
    eng.fills.markChain(at(0), c(2));
    EXPECT_EQ(marks(), (std::vector<int>{2, 1, 2, 0, 0, 1, 0}));
    EXPECT_EQ(eng.fills.fillFrom(), 1);
    EXPECT_EQ(eng.fills.fillTo(), 2);

    eng.fills.swapChain(at(0), c(2));
    EXPECT_EQ(colours(), (std::vector<int>{2, 1, 2, 3, 2, 1, 1}));
    EXPECT_TRUE(colouredPartIsProper());

    // No neighbour of the second colour: the chain is the node alone.
    eng.fills.markChain(at(3), c(4));
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 0, 4, 0, 0, 0}));
    eng.fills.swapChain(at(3), c(4));
    EXPECT_EQ(colours(), (std::vector<int>{2, 1, 2, 4, 2, 1, 1}));
}

TEST_F(EngineChains, RecolourMarkedSkipsANodeAnEarlierSwapRecoloured)
{
    // 0(1) - 3(2) - 2(1): swapping 0's chain turns 2 to colour 2 before it is
    // reached. 1(1) - 4(2) is a chain of its own, right after 0 in the list;
    // 5(1) carries no mark.
    buildHandMap({{10000, 10000}, {10000, 20000}, {18000, 10000}, {14000, 12000}, {14000, 20000}, {18000, 20000}},
                 {{0, 3}, {3, 2}, {1, 4}}, {});
    paint({1, 1, 1, 2, 2, 1});
    for (int i : {0, 1, 2}) mark(at(i), 3);
    eng.fills.recolourMarked(c(1), c(3), c(2));
    EXPECT_EQ(colours(), (std::vector<int>{2, 2, 2, 1, 1, 1}));
}

TEST_F(EngineChains, UnmarkArcChainsClearsTheChainsOfTheArcFirstSide)
{
    // Ring: pivot 0 <- 1 (colour 2) <- 2 (colour 1, arcFirst).
    // 2's (1,4) chain: 2 - 3(4) - 4(1), and the pivot; 5(4) hangs off 1 only.
    buildHandMap({{16000, 16000}, {16000, 12000}, {20000, 10000}, {24000, 10000}, {28000, 12000}, {12000, 8000},
                  {8000, 16000}},
                 {{0, 1}, {1, 2}, {0, 2}, {2, 3}, {3, 4}, {1, 5}, {0, 6}}, {});
    paint({4, 2, 1, 4, 1, 4, 1});
    fields.ringPrev[at(2)] = at(1);
    fields.ringPrev[at(1)] = at(0);
    markAll(7);
    eng.fills.unmarkArcChains(c(1), at(2), at(0));
    EXPECT_EQ(marks(), (std::vector<int>{0, 7, 0, 0, 0, 7, 0}));  // 6 joins through the pivot

    // arcFirst being the pivot leaves nothing to unmark.
    markAll(7);
    eng.fills.unmarkArcChains(c(1), at(0), at(0));
    EXPECT_EQ(marks(), std::vector<int>(7, 7));
}

TEST_F(EngineChains, TrimFromThePivotKeepsThePathToTheTargetOnly)
{
    // Pivot 0 (4); ring 0 -> 1 (2) -> 2 (1, arcFirst, the target).
    // Kept: 0 - 3 - 4 - 2. Dead branch 3 - 5 - 6. Loop 0 - 7 - 8 - 9 - 0.
    buildHandMap({{16000, 16000}, {16000, 12000}, {20000, 9000}, {20000, 16000}, {23000, 12000}, {23000, 20000},
                  {26000, 22000}, {12000, 19000}, {10000, 23000}, {14000, 23000}},
                 {{0, 1}, {1, 2}, {0, 3}, {3, 4}, {4, 2}, {3, 5}, {5, 6}, {0, 7}, {7, 8}, {8, 9}, {9, 0}}, {});
    paint({4, 2, 1, 1, 4, 4, 1, 1, 4, 1});
    eng.state.pivot = at(0);
    eng.state.arcFirst = at(2);
    fields.ringNext[at(0)] = at(1);
    fields.ringPrev[at(1)] = at(0);
    fields.ringPrev[at(2)] = at(1);
    eng.fills.markChain(state.pivot, c(1));
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 1, 4, 4, 1, 4}));
    eng.trimming.trimChain(state.pivot, state);
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(trimClassOf(at(0)), TrimClass::root);
    EXPECT_EQ(trimClassOf(at(2)), TrimClass::target);
    EXPECT_EQ(trimClassOf(at(3)), TrimClass::joined);
    EXPECT_EQ(trimClassOf(at(4)), TrimClass::joined);
    for (int i : {5, 6, 7, 8, 9}) EXPECT_EQ(trimClassOf(at(i)), TrimClass::unclassified) << i;  // never joined

    // Without a target on the arcFirst side only the root keeps its mark.
    eng.state.arcFirst = state.pivot;
    eng.fills.markChain(state.pivot, c(1));
    eng.trimming.trimChain(state.pivot, state);
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(EngineChains, TrimFromTheCursorKeepsBranchesToEarlierPathNodes)
{
    // Path 1 -> 2 -> 3 around pivot 0; cursor 3 (colour 3). Its (3,1) chain:
    // 3 - 4 - 5 - 1 reaches the path head; 3 - 6 is a dead end.
    buildHandMap({{16000, 16000}, {12000, 20000}, {16000, 22000}, {20000, 20000}, {20000, 26000}, {16000, 28000},
                  {24000, 18000}},
                 {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 1}, {3, 6}}, {});
    paint({4, 1, 2, 3, 1, 3, 1});
    eng.state.pivot = at(0);
    eng.state.pathHead = at(1);
    eng.state.pathTail = eng.state.pathCursor = at(3);
    fields.pathNext[at(1)] = at(2);
    fields.pathPrev[at(2)] = at(1);
    fields.pathNext[at(2)] = at(3);
    fields.pathPrev[at(3)] = at(2);
    eng.fills.markChain(state.pathCursor, c(1));
    eng.trimming.trimChain(state.pathCursor, state);
    EXPECT_EQ(marks(), (std::vector<int>{0, 3, 0, 1, 3, 1, 0}));
    EXPECT_EQ(trimClassOf(at(3)), TrimClass::root);
    EXPECT_EQ(trimClassOf(at(1)), TrimClass::target);
}

TEST_F(EngineChains, TrimFromAnotherPathNodeJoinsTheNearestMarkedNodes)
{
    // Path 1 -> 2 -> 3 -> 4 -> 5 around pivot 0. Marked: 2 (root, before 3),
    // 4 (target, after 3), the bridge 6 - 7 and the dead end 8 off 6.
    buildHandMap({{16000, 16000}, {10000, 18000}, {12000, 22000}, {16000, 23000}, {20000, 22000}, {22000, 18000},
                  {14000, 28000}, {18000, 28000}, {14000, 32000}},
                 {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {2, 6}, {6, 7}, {7, 4},
                  {6, 8}},
                 {});
    eng.state.pivot = at(0);
    eng.state.pathHead = at(1);
    eng.state.pathTail = at(5);
    for (int i = 1; i < 5; ++i) {
        fields.pathNext[at(i)] = at(i + 1);
        fields.pathPrev[at(i + 1)] = at(i);
    }
    for (int i : {2, 4, 6, 7, 8}) mark(at(i), 1);
    eng.trimming.trimChain(at(3), state);
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 1, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(trimClassOf(at(2)), TrimClass::root);
    EXPECT_EQ(trimClassOf(at(4)), TrimClass::target);
    EXPECT_EQ(trimClassOf(at(6)), TrimClass::joined);
    EXPECT_EQ(trimClassOf(at(7)), TrimClass::joined);
}

// Conflict resolution on real maps, checked at the states the phases leave.
class EngineConflict : public EngineTest {
protected:
    // Steps a colouring and calls `check(before, after)` after every step.
    void followColouring(uint32_t seed, int n, const std::function<void(Phase, Phase)>& check)
    {
        buildSeeded(seed, n);
        while (!colouring.finished()) {
            const Phase before = colouring.phase();
            colouring.step(false);
            check(before, colouring.phase());
            if (::testing::Test::HasFatalFailure()) return;
        }
    }

    // The pivot's neighbours from its ring successor to its ring predecessor, by aroundNext.
    std::vector<NodeIndex> sweepInsideRing(NodeIndex p) const
    {
        std::vector<NodeIndex> v;
        const std::span<const NodeIndex> ring = eng.borders.around(p);
        size_t k = 0;
        while (k < ring.size() && ring[k] != fields.ringNext[p]) ++k;
        for (size_t steps = 0; k < ring.size() && steps < ring.size(); ++steps) {
            const NodeIndex n = ring[(k + steps) % ring.size()];
            v.push_back(n);
            if (n == fields.ringPrev[p]) break;
        }
        return v;
    }

    void expectPathLinksAgree()
    {
        const std::vector<NodeIndex> path = pathNodes();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.back(), state.pathTail);
        EXPECT_EQ(fields.pathPrev[path.front()], noNode);
        for (size_t k = 1; k < path.size(); ++k) {
            EXPECT_EQ(fields.pathPrev[path[k]], path[k - 1]);
            EXPECT_TRUE(borders(path[k], path[k - 1]));
        }
        for (const NodeIndex m : path) EXPECT_NE(colourAt(m), 4);
    }

    std::vector<PathMark> pathMarksAlong(const std::vector<NodeIndex>& path) const
    {
        std::vector<PathMark> marks;
        for (const NodeIndex m : path) marks.push_back(fields.pathMark[m]);
        return marks;
    }
};

TEST_F(EngineConflict, PivotIsTheFirstColour4NodeOfTheArc)
{
    int pivots = 0;
    for (uint32_t seed : {1u, 2u, 36u}) {
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (after != Phase::freePivot || before == Phase::freePivot) return;
            ++pivots;
            ASSERT_NE(state.pivot, noNode);
            EXPECT_EQ(colourAt(state.pivot), 4);
            for (NodeIndex m = state.arcFirst; m != state.pivot; m = fields.ringPrev[m]) EXPECT_NE(colourAt(m), 4);
            const std::vector<NodeIndex> arc = arcNodes(state.arcFirst, state.arcLast);
            EXPECT_NE(std::find(arc.begin(), arc.end(), state.pivot), arc.end());
        });
    }
    EXPECT_GT(pivots, 10);
}

TEST_F(EngineConflict, PathStartsAsThePivotsInsideNeighbours)
{
    int paths = 0;
    for (uint32_t seed : {36u, 105u, 135u, 155u, 174u, 187u}) {
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (!(before == Phase::freePivot && after == Phase::walkPath)) return;
            ++paths;
            EXPECT_EQ(colourAt(state.pivot), 4);
            EXPECT_EQ(state.pathHead, fields.ringNext[state.pivot]);
            EXPECT_EQ(state.pathTail, fields.ringPrev[state.pivot]);
            EXPECT_EQ(pathNodes(), sweepInsideRing(state.pivot));
            EXPECT_EQ(state.pathCursor, noNode);
            EXPECT_FALSE(state.pathFlag);
            expectPathLinksAgree();
        });
    }
    EXPECT_GE(paths, 6);
}

TEST_F(EngineConflict, WalkSetsTheCursorOrReroutesThePath)
{
    int cursors = 0, reroutes = 0;
    for (uint32_t seed : {36u, 155u, 174u, 187u, 263u}) {
        NodeIndex head = noNode;
        NodeIndex tail = noNode;
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (before == Phase::freePivot && after == Phase::walkPath) {
                head = state.pathHead;
                tail = state.pathTail;
            }
            if (before != Phase::walkPath || after < Phase::walkPath) return;
            EXPECT_EQ(state.pathHead, head);  // reroutes change only the inner nodes
            EXPECT_EQ(state.pathTail, tail);
            expectPathLinksAgree();
            if (after == Phase::clearCursor) {
                ++cursors;
                ASSERT_NE(state.pathCursor, noNode);
                EXPECT_EQ(colourAt(state.pathCursor), 3);
                PathMark mark = PathMark::atOrBefore;
                for (const NodeIndex m : pathNodes()) {
                    EXPECT_EQ(fields.pathMark[m], mark);
                    if (m == state.pathCursor) mark = PathMark::after;
                }
                for (NodeIndex m = state.pathHead; m != state.pathCursor; m = fields.pathNext[m])
                    EXPECT_NE(colourAt(m), 3);
            } else {
                ++reroutes;
                EXPECT_EQ(state.pathCursor, noNode);
                for (const NodeIndex m : listNodes()) EXPECT_EQ(fields.pathMark[m], PathMark::none);
            }
        });
    }
    EXPECT_GT(cursors, 5);
    EXPECT_GT(reroutes, 5);
}

TEST_F(EngineConflict, ClearCursorRecoloursReroutesOrGetsStuckOnTheOldPath)
{
    int recoloured = 0, rerouted = 0, stuck = 0;
    for (uint32_t seed : {155u, 174u, 187u}) {
        std::vector<NodeIndex> pathBefore;
        NodeIndex cursorBefore = noNode;
        std::vector<PathMark> marksBefore;
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (after == Phase::clearCursor) {
                pathBefore = pathNodes();
                cursorBefore = state.pathCursor;
                marksBefore = pathMarksAlong(pathBefore);
            }
            if (before != Phase::clearCursor) return;
            EXPECT_TRUE(colouredPartIsProper());
            if (after == Phase::shake) {
                ++stuck;  // a refused reroute leaves exactly the old path and its marks
                EXPECT_TRUE(state.pathFlag);
                EXPECT_EQ(state.pathCursor, cursorBefore);
                EXPECT_EQ(pathNodes(), pathBefore);
                EXPECT_EQ(pathMarksAlong(pathNodes()), marksBefore);
                expectPathLinksAgree();
            } else if (state.pathCursor != noNode) {
                ++recoloured;  // the cursor left colour 3 for one its path neighbour lacks
                EXPECT_EQ(state.pathCursor, cursorBefore);
                EXPECT_TRUE(colourAt(state.pathCursor) == 1 || colourAt(state.pathCursor) == 2);
                EXPECT_EQ(pathNodes(), pathBefore);
            } else {
                ++rerouted;
                expectPathLinksAgree();
                for (const NodeIndex m : listNodes()) EXPECT_EQ(fields.pathMark[m], PathMark::none);
            }
        });
    }
    EXPECT_GT(recoloured, 0);
    EXPECT_GT(rerouted, 0);
    EXPECT_GT(stuck, 0);
}

TEST_F(EngineConflict, LocatingTheNextPivotDropsThePathAndItsMarks)
{
    int drops = 0;
    for (uint32_t seed : {155u, 174u, 187u}) {
        std::vector<NodeIndex> path;
        followColouring(seed, 100, [&](Phase, Phase) {
            if (!path.empty() && state.pathHead == noNode) {
                ++drops;
                for (const NodeIndex m : path) EXPECT_EQ(fields.pathMark[m], PathMark::none) << numberOf(m);
                EXPECT_EQ(state.pathCursor, noNode);
                EXPECT_FALSE(state.pathFlag);
            }
            path = pathNodes();
        });
    }
    EXPECT_GT(drops, 3);
}

TEST_F(EngineConflict, ShakingThePivotCyclesTheSixPairs)
{
    buildSeeded(155, 100);
    stepUntil([&] { return colouring.phase() == Phase::shake; });
    ASSERT_EQ(colouring.phase(), Phase::shake);
    const NodeIndex cursor = state.pathCursor;
    const int start = fields.swapCursor[cursor];
    EXPECT_EQ(start, 0);
    for (int k = 0; k < 7; ++k) {
        const int pair = (start + k) % 6;
        eng.path.shakePivot();
        EXPECT_EQ(colourAt(state.pivot), shakePairs[pair].second);
        EXPECT_EQ(fields.swapCursor[cursor], (pair + 1) % 6);
        EXPECT_TRUE(colouredPartIsProper());
    }
}

TEST_F(EngineConflict, TrimmedPivotChainsStayJoinedToTheRoot)
{
    int trims = 0;
    for (uint32_t seed : {1u, 36u, 155u}) {
        followColouring(seed, 100, [&](Phase, Phase after) {
            if (after != Phase::freePivot) return;
            for (int i = 1; i <= 3; ++i) {
                eng.fills.markChain(state.pivot, c(i));
                std::set<NodeIndex> targets;
                for (NodeIndex m = state.arcFirst; m != state.pivot; m = fields.ringPrev[m])
                    if (fields.chainMark(m) == 4) targets.insert(m);
                eng.trimming.trimChain(state.pivot, state);
                ++trims;
                EXPECT_NE(fields.chainMark(state.pivot), 0);
                for (const NodeIndex t : targets) EXPECT_NE(fields.chainMark(t), 0);
                // Whatever keeps its mark is joined to the pivot through marked nodes.
                const std::set<NodeIndex> joined = markedComponent(state.pivot);
                for (const NodeIndex m : listNodes())
                    if (fields.chainMark(m) != 0) {
                        EXPECT_TRUE(joined.count(m)) << numberOf(m);
                    }
            }
        });
    }
    EXPECT_GT(trims, 30);
}
