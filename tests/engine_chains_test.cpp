// The Kempe-chain toolkit on small hand-built graphs, and conflict resolution
// on real maps whose colourings block.
#include "engine_support.h"
#include <algorithm>
#include <functional>

using namespace enginetest;

namespace {
void paint(const std::vector<int>& colours)
{
    for (size_t i = 0; i < colours.size(); ++i) at(static_cast<int>(i))->colour = static_cast<int8_t>(colours[i]);
}

std::vector<int> marks()
{
    std::vector<int> v;
    for (int i = 0; i < nodeStorageCount; ++i) v.push_back(nodeStorage[i].chainMark);
    return v;
}

std::vector<int> colours()
{
    std::vector<int> v;
    for (int i = 0; i < nodeStorageCount; ++i) v.push_back(nodeStorage[i].colour);
    return v;
}

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
}  // namespace

using EngineChains = EngineTest;

TEST_F(EngineChains, MarkAndSwapFollowTheTwoColourChain)
{
    // 0(1) 1(2) 2(1) 5(2) form a (1,2) cycle through 0; 3(3) sits beside it;
    // 4(2) and 6(1) hang off 3 and are not reached from 0.
    buildHandMap({{10000, 10000}, {14000, 10000}, {14000, 14000}, {18000, 12000}, {22000, 12000},
                  {10000, 14000}, {22000, 16000}},
                 {{0, 1}, {1, 2}, {2, 5}, {5, 0}, {1, 3}, {2, 3}, {3, 4}, {4, 6}}, {});
    paint({1, 2, 1, 3, 2, 2, 1});
    markChain(at(0), 2);
    EXPECT_EQ(marks(), (std::vector<int>{2, 1, 2, 0, 0, 1, 0}));
    EXPECT_EQ(fillFrom, 1);
    EXPECT_EQ(fillTo, 2);

    swapChain(at(0), 2);
    EXPECT_EQ(colours(), (std::vector<int>{2, 1, 2, 3, 2, 1, 1}));
    EXPECT_TRUE(colouredPartIsProper());

    // No neighbour of the second colour: the chain is the node alone.
    markChain(at(3), 4);
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 0, 4, 0, 0, 0}));
    swapChain(at(3), 4);
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
    for (int i : {0, 1, 2}) at(i)->chainMark = 3;
    recolourMarked(1, 3, 2);
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
    pivot = at(0);
    arcFirst = at(2);
    at(2)->ringPrev = at(1);
    at(1)->ringPrev = at(0);
    for (int i = 0; i < nodeStorageCount; ++i) nodeStorage[i].chainMark = 7;
    unmarkArcChains(1);
    EXPECT_EQ(marks(), (std::vector<int>{0, 7, 0, 0, 0, 7, 0}));  // 6 joins through the pivot

    // arcFirst being the pivot leaves nothing to unmark.
    for (int i = 0; i < nodeStorageCount; ++i) nodeStorage[i].chainMark = 7;
    arcFirst = pivot;
    unmarkArcChains(1);
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
    pivot = at(0);
    arcFirst = at(2);
    at(0)->ringNext = at(1);
    at(1)->ringPrev = at(0);
    at(2)->ringPrev = at(1);
    markChain(pivot, 1);
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 1, 4, 4, 1, 4}));
    trimChain(pivot);
    EXPECT_EQ(marks(), (std::vector<int>{1, 0, 4, 4, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(at(0)->visited, 3);
    EXPECT_EQ(at(2)->visited, 2);
    EXPECT_EQ(at(3)->visited, 1);
    EXPECT_EQ(at(4)->visited, 1);
    for (int i : {5, 6, 7, 8, 9}) EXPECT_EQ(at(i)->visited, 0) << i;  // never joined

    // Without a target on the arcFirst side only the root keeps its mark.
    arcFirst = pivot;
    markChain(pivot, 1);
    trimChain(pivot);
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
    pivot = at(0);
    pathHead = at(1);
    pathTail = pathCursor = at(3);
    at(1)->pathNext = at(2);
    at(2)->pathPrev = at(1);
    at(2)->pathNext = at(3);
    at(3)->pathPrev = at(2);
    markChain(pathCursor, 1);
    trimChain(pathCursor);
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
    pivot = at(0);
    pathHead = at(1);
    pathTail = at(5);
    for (int i = 1; i < 5; ++i) {
        at(i)->pathNext = at(i + 1);
        at(i + 1)->pathPrev = at(i);
    }
    for (int i : {2, 4, 6, 7, 8}) at(i)->chainMark = 1;
    trimChain(at(3));
    EXPECT_EQ(marks(), (std::vector<int>{0, 0, 1, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(at(2)->visited, 3);
    EXPECT_EQ(at(4)->visited, 2);
    EXPECT_EQ(at(6)->visited, 1);
    EXPECT_EQ(at(7)->visited, 1);
}

// Conflict resolution on real maps, checked at the states the phases leave.
using EngineConflict = EngineTest;

namespace {
// Steps a colouring and calls `check(before, after)` after every step.
void followColouring(uint32_t seed, int n, const std::function<void(uint8_t, uint8_t)>& check)
{
    buildSeeded(seed, n);
    while (!engineFinished()) {
        const uint8_t before = EnginePhase;
        engineStep(false);
        check(before, EnginePhase);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

// The pivot's neighbours from its ring successor to its ring predecessor, by aroundNext.
std::vector<MapNode*> sweepInsideRing(MapNode* p)
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
    EXPECT_EQ(path.back(), pathTail);
    EXPECT_EQ(path.front()->pathPrev, nullptr);
    for (size_t k = 1; k < path.size(); ++k) {
        EXPECT_EQ(path[k]->pathPrev, path[k - 1]);
        EXPECT_TRUE(borders(path[k], path[k - 1]));
    }
    for (MapNode* m : path) EXPECT_NE(m->colour, 4);
}
}  // namespace

TEST_F(EngineConflict, PivotIsTheFirstColour4NodeOfTheArc)
{
    int pivots = 0;
    for (uint32_t seed : {1u, 2u, 36u}) {
        followColouring(seed, 100, [&](uint8_t before, uint8_t after) {
            if (after != phaseFreePivot || before == phaseFreePivot) return;
            ++pivots;
            ASSERT_NE(pivot, nullptr);
            EXPECT_EQ(pivot->colour, 4);
            for (MapNode* m = arcFirst; m != pivot; m = m->ringPrev) EXPECT_NE(m->colour, 4);
            const std::vector<MapNode*> arc = arcNodes(arcFirst, arcLast);
            EXPECT_NE(std::find(arc.begin(), arc.end(), pivot), arc.end());
        });
    }
    EXPECT_GT(pivots, 10);
}

TEST_F(EngineConflict, PathStartsAsThePivotsInsideNeighbours)
{
    int paths = 0;
    for (uint32_t seed : {36u, 105u, 135u, 155u, 174u, 187u}) {
        followColouring(seed, 100, [&](uint8_t before, uint8_t after) {
            if (!(before == phaseFreePivot && after == phaseWalkPath)) return;
            ++paths;
            EXPECT_EQ(pivot->colour, 4);
            EXPECT_EQ(pathHead, pivot->ringNext);
            EXPECT_EQ(pathTail, pivot->ringPrev);
            EXPECT_EQ(pathNodes(), sweepInsideRing(pivot));
            EXPECT_EQ(pathCursor, nullptr);
            EXPECT_EQ(pathFlag, 0);
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
        followColouring(seed, 100, [&](uint8_t before, uint8_t after) {
            if (before == phaseFreePivot && after == phaseWalkPath) {
                head = pathHead;
                tail = pathTail;
            }
            if (before != phaseWalkPath || after < phaseWalkPath) return;
            EXPECT_EQ(pathHead, head);  // reroutes change only the inner nodes
            EXPECT_EQ(pathTail, tail);
            expectPathLinksAgree();
            if (after == phaseClearCursor) {
                ++cursors;
                ASSERT_NE(pathCursor, nullptr);
                EXPECT_EQ(pathCursor->colour, 3);
                int mark = 1;
                for (MapNode* m : pathNodes()) {
                    EXPECT_EQ(m->pathMark, mark);
                    if (m == pathCursor) mark = -1;
                }
                for (MapNode* m = pathHead; m != pathCursor; m = m->pathNext) EXPECT_NE(m->colour, 3);
            } else {
                ++reroutes;
                EXPECT_EQ(pathCursor, nullptr);
                for (MapNode* m = nodeList; m; m = m->next) EXPECT_EQ(m->pathMark, 0);
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
        followColouring(seed, 100, [&](uint8_t before, uint8_t after) {
            if (after == phaseClearCursor) {
                pathBefore = pathNodes();
                cursorBefore = pathCursor;
                marksBefore.clear();
                for (MapNode* m : pathBefore) marksBefore.push_back(m->pathMark);
            }
            if (before != phaseClearCursor) return;
            EXPECT_TRUE(colouredPartIsProper());
            if (after == phaseShake) {
                ++stuck;  // a refused reroute leaves exactly the old path and its marks
                EXPECT_EQ(pathFlag, 1);
                EXPECT_EQ(pathCursor, cursorBefore);
                EXPECT_EQ(pathNodes(), pathBefore);
                std::vector<int> marksAfter;
                for (MapNode* m : pathNodes()) marksAfter.push_back(m->pathMark);
                EXPECT_EQ(marksAfter, marksBefore);
                expectPathLinksAgree();
            } else if (pathCursor) {
                ++recoloured;  // the cursor left colour 3 for one its path neighbour lacks
                EXPECT_EQ(pathCursor, cursorBefore);
                EXPECT_TRUE(pathCursor->colour == 1 || pathCursor->colour == 2);
                EXPECT_EQ(pathNodes(), pathBefore);
            } else {
                ++rerouted;
                expectPathLinksAgree();
                for (MapNode* m = nodeList; m; m = m->next) EXPECT_EQ(m->pathMark, 0);
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
        followColouring(seed, 100, [&](uint8_t, uint8_t) {
            if (!path.empty() && !pathHead) {
                ++drops;
                for (MapNode* m : path) EXPECT_EQ(m->pathMark, 0) << m->number;
                EXPECT_EQ(pathCursor, nullptr);
                EXPECT_EQ(pathFlag, 0);
            }
            path = pathNodes();
        });
    }
    EXPECT_GT(drops, 3);
}

TEST_F(EngineConflict, ShakingThePivotCyclesTheSixPairs)
{
    buildSeeded(155, 100);
    stepUntil([] { return EnginePhase == phaseShake; });
    ASSERT_EQ(EnginePhase, phaseShake);
    MapNode* cursor = pathCursor;
    const int start = cursor->swapCursor;
    EXPECT_EQ(start, 0);
    for (int k = 0; k < 7; ++k) {
        const int pair = (start + k) % 6;
        shakePivot();
        EXPECT_EQ(pivot->colour, colourPairs[pair][1]);
        EXPECT_EQ(cursor->swapCursor, (pair + 1) % 6);
        EXPECT_TRUE(colouredPartIsProper());
    }
}

TEST_F(EngineConflict, TrimmedPivotChainsStayJoinedToTheRoot)
{
    int trims = 0;
    for (uint32_t seed : {1u, 36u, 155u}) {
        followColouring(seed, 100, [&](uint8_t, uint8_t after) {
            if (after != phaseFreePivot) return;
            for (int8_t i = 1; i <= 3; ++i) {
                markChain(pivot, i);
                std::set<MapNode*> targets;
                for (MapNode* m = arcFirst; m != pivot; m = m->ringPrev)
                    if (m->chainMark == 4) targets.insert(m);
                trimChain(pivot);
                ++trims;
                EXPECT_NE(pivot->chainMark, 0);
                for (MapNode* t : targets) EXPECT_NE(t->chainMark, 0);
                // Whatever keeps its mark is joined to the pivot through marked nodes.
                const std::set<MapNode*> joined = markedComponent(pivot);
                for (MapNode* m = nodeList; m; m = m->next)
                    if (m->chainMark != 0) {
                        EXPECT_TRUE(joined.count(m)) << m->number;
                    }
            }
        });
    }
    EXPECT_GT(trims, 30);
}
