// The Kempe-chain toolkit on small hand-built graphs, and conflict resolution
// on real maps whose colourings block.
#include "engine_support.h"
#include <algorithm>
#include <functional>

using namespace enginetest;

namespace {
// Nodes with a chain mark, reachable from `root` through marked neighbours.
std::set<MapNode*> markedComponent(MapNode* root)
{
    std::set<MapNode*> seen{root};
    std::vector<MapNode*> todo{root};
    while (!todo.empty()) {
        MapNode* n = todo.back();
        todo.pop_back();
        for (MapNode* m : neighboursOf(n))
            if (m->chainMark != 0 && seen.insert(m).second) todo.push_back(m);
    }
    return seen;
}

// Shorthand for the colour and mark numbers the cases are written in.
constexpr ColourCode c(int k) { return colourCode(k); }
}  // namespace

class EngineChains : public EngineTest {
protected:
    void paint(const std::vector<int>& colours)
    {
        for (size_t i = 0; i < colours.size(); ++i) at(static_cast<int>(i))->colour = c(colours[i]);
    }

    std::vector<int> marks() const
    {
        std::vector<int> v;
        for (int i = 0; i < map.nodeStorageCount(); ++i) v.push_back(map.nodeStorage()[i].chainMark);
        return v;
    }

    std::vector<int> colours() const
    {
        std::vector<int> v;
        for (int i = 0; i < map.nodeStorageCount(); ++i) v.push_back(map.nodeStorage()[i].colour);
        return v;
    }

    void markAll(int mark)
    {
        for (int i = 0; i < map.nodeStorageCount(); ++i) map.nodeStorage()[i].chainMark = c(mark);
    }
};

TEST_F(EngineChains, MarkAndSwapFollowTheTwoColourChain)
{
    // 0(1) 1(2) 2(1) 5(2) form a (1,2) cycle through 0; 3(3) sits beside it;
    // 4(2) and 6(1) hang off 3 and are not reached from 0.
    buildHandMap({{10000, 10000}, {14000, 10000}, {14000, 14000}, {18000, 12000}, {22000, 12000},
                  {10000, 14000}, {22000, 16000}},
                 {{0, 1}, {1, 2}, {2, 5}, {5, 0}, {1, 3}, {2, 3}, {3, 4}, {4, 6}}, {});
    paint({1, 2, 1, 3, 2, 2, 1});
    eng.markChain(at(0), c(2));
    EXPECT_EQ(marks(), (std::vector<int>{2, 1, 2, 0, 0, 1, 0}));
    EXPECT_EQ(eng.fillFrom, 1);
    EXPECT_EQ(eng.fillTo, 2);

    eng.swapChain(at(0), c(2));
    EXPECT_EQ(colours(), (std::vector<int>{2, 1, 2, 3, 2, 1, 1}));
    EXPECT_TRUE(colouredPartIsProper());

    // No neighbour of the second colour: the chain is the node alone.
    eng.markChain(at(3), c(4));
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 0, 4, 0, 0, 0}));
    eng.swapChain(at(3), c(4));
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
    for (int i : {0, 1, 2}) at(i)->chainMark = c(3);
    eng.recolourMarked(c(1), c(3), c(2));
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
    eng.pivot = at(0);
    eng.arcFirst = at(2);
    at(2)->ringPrev = at(1);
    at(1)->ringPrev = at(0);
    markAll(7);
    eng.unmarkArcChains(c(1));
    EXPECT_EQ(marks(), (std::vector<int>{0, 7, 0, 0, 0, 7, 0}));  // 6 joins through the pivot

    // arcFirst being the pivot leaves nothing to unmark.
    markAll(7);
    eng.arcFirst = eng.pivot;
    eng.unmarkArcChains(c(1));
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
    eng.pivot = at(0);
    eng.arcFirst = at(2);
    at(0)->ringNext = at(1);
    at(1)->ringPrev = at(0);
    at(2)->ringPrev = at(1);
    eng.markChain(eng.pivot, c(1));
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 1, 4, 4, 1, 4}));
    eng.trimChain(eng.pivot);
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(at(0)->visited, 3);
    EXPECT_EQ(at(2)->visited, 2);
    EXPECT_EQ(at(3)->visited, 1);
    EXPECT_EQ(at(4)->visited, 1);
    for (int i : {5, 6, 7, 8, 9}) EXPECT_EQ(at(i)->visited, 0) << i;  // never joined

    // Without a target on the arcFirst side only the root keeps its mark.
    eng.arcFirst = eng.pivot;
    eng.markChain(eng.pivot, c(1));
    eng.trimChain(eng.pivot);
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
    eng.pivot = at(0);
    eng.pathHead = at(1);
    eng.pathTail = eng.pathCursor = at(3);
    at(1)->pathNext = at(2);
    at(2)->pathPrev = at(1);
    at(2)->pathNext = at(3);
    at(3)->pathPrev = at(2);
    eng.markChain(eng.pathCursor, c(1));
    eng.trimChain(eng.pathCursor);
    EXPECT_EQ(marks(), (std::vector<int>{0, 3, 0, 1, 3, 1, 0}));
    EXPECT_EQ(at(3)->visited, 3);
    EXPECT_EQ(at(1)->visited, 2);
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
    eng.pivot = at(0);
    eng.pathHead = at(1);
    eng.pathTail = at(5);
    for (int i = 1; i < 5; ++i) {
        at(i)->pathNext = at(i + 1);
        at(i + 1)->pathPrev = at(i);
    }
    for (int i : {2, 4, 6, 7, 8}) at(i)->chainMark = c(1);
    eng.trimChain(at(3));
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 1, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(at(2)->visited, 3);
    EXPECT_EQ(at(4)->visited, 2);
    EXPECT_EQ(at(6)->visited, 1);
    EXPECT_EQ(at(7)->visited, 1);
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
    static std::vector<MapNode*> sweepInsideRing(MapNode* p)
    {
        std::vector<MapNode*> v;
        NodeLink* l = findLink(p, p->ringNext);
        for (int k = 0; l && k < countLinks(p); ++k, l = l->aroundNext) {
            v.push_back(l->node);
            if (l->node == p->ringPrev) break;
        }
        return v;
    }

    void expectPathLinksAgree()
    {
        const std::vector<MapNode*> path = pathNodes();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.back(), eng.pathTail);
        EXPECT_EQ(path.front()->pathPrev, nullptr);
        for (size_t k = 1; k < path.size(); ++k) {
            EXPECT_EQ(path[k]->pathPrev, path[k - 1]);
            EXPECT_TRUE(borders(path[k], path[k - 1]));
        }
        for (MapNode* m : path) EXPECT_NE(m->colour, 4);
    }
};

TEST_F(EngineConflict, PivotIsTheFirstColour4NodeOfTheArc)
{
    int pivots = 0;
    for (uint32_t seed : {1u, 2u, 36u}) {
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (after != Phase::freePivot || before == Phase::freePivot) return;
            ++pivots;
            ASSERT_NE(eng.pivot, nullptr);
            EXPECT_EQ(eng.pivot->colour, 4);
            for (MapNode* m = eng.arcFirst; m != eng.pivot; m = m->ringPrev) EXPECT_NE(m->colour, 4);
            const std::vector<MapNode*> arc = arcNodes(eng.arcFirst, eng.arcLast);
            EXPECT_NE(std::find(arc.begin(), arc.end(), eng.pivot), arc.end());
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
            EXPECT_EQ(eng.pivot->colour, 4);
            EXPECT_EQ(eng.pathHead, eng.pivot->ringNext);
            EXPECT_EQ(eng.pathTail, eng.pivot->ringPrev);
            EXPECT_EQ(pathNodes(), sweepInsideRing(eng.pivot));
            EXPECT_EQ(eng.pathCursor, nullptr);
            EXPECT_EQ(eng.pathFlag, 0);
            expectPathLinksAgree();
        });
    }
    EXPECT_GE(paths, 6);
}

TEST_F(EngineConflict, WalkSetsTheCursorOrReroutesThePath)
{
    int cursors = 0, reroutes = 0;
    for (uint32_t seed : {36u, 155u, 174u, 187u, 263u}) {
        MapNode* head = nullptr;
        MapNode* tail = nullptr;
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (before == Phase::freePivot && after == Phase::walkPath) {
                head = eng.pathHead;
                tail = eng.pathTail;
            }
            if (before != Phase::walkPath || after < Phase::walkPath) return;
            EXPECT_EQ(eng.pathHead, head);  // reroutes change only the inner nodes
            EXPECT_EQ(eng.pathTail, tail);
            expectPathLinksAgree();
            if (after == Phase::clearCursor) {
                ++cursors;
                ASSERT_NE(eng.pathCursor, nullptr);
                EXPECT_EQ(eng.pathCursor->colour, 3);
                int mark = 1;
                for (MapNode* m : pathNodes()) {
                    EXPECT_EQ(m->pathMark, mark);
                    if (m == eng.pathCursor) mark = -1;
                }
                for (MapNode* m = eng.pathHead; m != eng.pathCursor; m = m->pathNext) EXPECT_NE(m->colour, 3);
            } else {
                ++reroutes;
                EXPECT_EQ(eng.pathCursor, nullptr);
                for (MapNode* m = map.nodeList; m; m = m->next) EXPECT_EQ(m->pathMark, 0);
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
        std::vector<MapNode*> pathBefore;
        MapNode* cursorBefore = nullptr;
        std::vector<int> marksBefore;
        followColouring(seed, 100, [&](Phase before, Phase after) {
            if (after == Phase::clearCursor) {
                pathBefore = pathNodes();
                cursorBefore = eng.pathCursor;
                marksBefore.clear();
                for (MapNode* m : pathBefore) marksBefore.push_back(m->pathMark);
            }
            if (before != Phase::clearCursor) return;
            EXPECT_TRUE(colouredPartIsProper());
            if (after == Phase::shake) {
                ++stuck;  // a refused reroute leaves exactly the old path and its marks
                EXPECT_EQ(eng.pathFlag, 1);
                EXPECT_EQ(eng.pathCursor, cursorBefore);
                EXPECT_EQ(pathNodes(), pathBefore);
                std::vector<int> marksAfter;
                for (MapNode* m : pathNodes()) marksAfter.push_back(m->pathMark);
                EXPECT_EQ(marksAfter, marksBefore);
                expectPathLinksAgree();
            } else if (eng.pathCursor) {
                ++recoloured;  // the cursor left colour 3 for one its path neighbour lacks
                EXPECT_EQ(eng.pathCursor, cursorBefore);
                EXPECT_TRUE(eng.pathCursor->colour == 1 || eng.pathCursor->colour == 2);
                EXPECT_EQ(pathNodes(), pathBefore);
            } else {
                ++rerouted;
                expectPathLinksAgree();
                for (MapNode* m = map.nodeList; m; m = m->next) EXPECT_EQ(m->pathMark, 0);
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
        std::vector<MapNode*> path;
        followColouring(seed, 100, [&](Phase, Phase) {
            if (!path.empty() && !eng.pathHead) {
                ++drops;
                for (MapNode* m : path) EXPECT_EQ(m->pathMark, 0) << m->number;
                EXPECT_EQ(eng.pathCursor, nullptr);
                EXPECT_EQ(eng.pathFlag, 0);
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
    MapNode* cursor = eng.pathCursor;
    const int start = cursor->swapCursor;
    EXPECT_EQ(start, 0);
    for (int k = 0; k < 7; ++k) {
        const int pair = (start + k) % 6;
        eng.shakePivot();
        EXPECT_EQ(eng.pivot->colour, colourPairs[pair][1]);
        EXPECT_EQ(cursor->swapCursor, (pair + 1) % 6);
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
                eng.markChain(eng.pivot, c(i));
                std::set<MapNode*> targets;
                for (MapNode* m = eng.arcFirst; m != eng.pivot; m = m->ringPrev)
                    if (m->chainMark == 4) targets.insert(m);
                eng.trimChain(eng.pivot);
                ++trims;
                EXPECT_NE(eng.pivot->chainMark, 0);
                for (MapNode* t : targets) EXPECT_NE(t->chainMark, 0);
                // Whatever keeps its mark is joined to the pivot through marked nodes.
                const std::set<MapNode*> joined = markedComponent(eng.pivot);
                for (MapNode* m = map.nodeList; m; m = m->next)
                    if (m->chainMark != 0) {
                        EXPECT_TRUE(joined.count(m)) << m->number;
                    }
            }
        });
    }
    EXPECT_GT(trims, 30);
}
