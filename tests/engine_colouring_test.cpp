// Preparation, ring growth, completion and verification.
#include "engine_support.h"
#include <algorithm>
#include <tuple>

using namespace enginetest;

namespace {
int leastFree(unsigned mask)
{
    for (int c = 1; c <= 3; ++c)
        if (!(mask & (1u << c))) return c;
    return 4;
}

unsigned colourMask(const std::vector<MapNode*>& nodes)
{
    unsigned m = 0;
    for (MapNode* n : nodes)
        if (n->colour >= 1 && n->colour <= 4) m |= 1u << n->colour;
    return m;
}

std::set<MapNode*> colouredNeighbours(const MapNode* n)
{
    std::set<MapNode*> s;
    for (MapNode* m : neighboursOf(n))
        if (m->colour != 0) s.insert(m);
    return s;
}

long long cross(const MapNode* o, const MapNode* a, const MapNode* b)
{
    return (long long)(a->x - o->x) * (b->y - o->y) - (long long)(a->y - o->y) * (b->x - o->x);
}
}  // namespace

class EngineColouring : public EngineTest {
protected:
    bool outerHasColour4() const
    {
        for (MapNode* n = map.nodeList; n; n = n->next)
            if (n->outer && n->colour == 4) return true;
        return false;
    }

    // Inner nodes X (four borders) and Y (three) inside the outer triangle O1 O2 O3.
    // Positions: X, Y, O1, O2, O3 in the node list, X and Y swapped when yFirst.
    void buildCascadeMap(bool yFirst)
    {
        const Site x{16000, 18000}, y{16000, 26000};
        const int ix = yFirst ? 1 : 0, iy = yFirst ? 0 : 1;
        std::vector<Site> sites(5);
        sites[ix] = x;
        sites[iy] = y;
        sites[2] = {1000, 30000};
        sites[3] = {31000, 30000};
        sites[4] = {16000, 1000};
        buildHandMap(sites, {{ix, iy}, {ix, 2}, {ix, 3}, {ix, 4}, {iy, 2}, {iy, 3}, {2, 3}, {3, 4}, {4, 2}}, {2, 3, 4});
    }
};

using EnginePreparation = EngineColouring;

TEST_F(EnginePreparation, ThreeNodeMapIsItsOwnStartTriangle)
{
    buildSeeded(1, 3);
    EXPECT_TRUE(eng.prepareColouring());
    EXPECT_EQ(map.deferredList, nullptr);
    std::multiset<int> colours;
    for (MapNode* n = map.nodeList; n; n = n->next) {
        colours.insert(n->colour);
        EXPECT_EQ(n->ringContacts, 2);
        EXPECT_LE(eng.ringEntry->y, n->y);
    }
    EXPECT_EQ(colours, (std::multiset<int>{1, 2, 3}));
    EXPECT_EQ(eng.ringEntry->colour, 1);
    EXPECT_EQ(eng.ringEntry->ringNext->ringNext->ringNext, eng.ringEntry);
}

TEST_F(EnginePreparation, DefersUntilNoInnerNodeHasThreeBordersAndPicksTheStartTriangle)
{
    size_t deferredSeen = 0;
    for (const Paths paths : bothPaths)
    for (auto [seed, n] : {std::pair{1u, 100}, {2u, 100}, {77u, 300}, {9u, 1000}}) {
        SCOPED_TRACE(std::string(pathName(paths)) + ", seed " + std::to_string(seed));
        buildSeeded(seed, n, paths);
        const auto built = allBorders();
        ASSERT_TRUE(eng.prepareColouring());
        EXPECT_EQ(allBorders(), built);
        EXPECT_TRUE(ringsCoverLinks());

        const std::vector<MapNode*> deferred = listNodes(map.deferredList);
        deferredSeen += deferred.size();
        const std::set<MapNode*> deferredSet(deferred.begin(), deferred.end());
        for (size_t j = 0; j < deferred.size(); ++j) {
            MapNode* d = deferred[j];
            EXPECT_EQ(d->outer, nullptr);
            EXPECT_EQ(countLinks(d), 3);
            EXPECT_EQ(d->colour, 0);
            // A deferred node leads only to nodes still listed or deferred after it.
            for (MapNode* m : neighboursOf(d)) {
                const auto pos = std::find(deferred.begin(), deferred.end(), m);
                EXPECT_TRUE(pos == deferred.end() || pos < deferred.begin() + j);
            }
        }
        for (MapNode* m = map.nodeList; m; m = m->next) {
            EXPECT_FALSE(!m->outer && countLinks(m) == 3) << m->number;
            for (MapNode* k : neighboursOf(m)) EXPECT_FALSE(deferredSet.count(k));
            for (NodeLink* l = m->parkedLinks; l; l = l->next) EXPECT_TRUE(deferredSet.count(l->node));
        }

        // Start triangle: the listed node nearest the centre (first on ties) and two
        // of its neighbours, coloured 1, 2, 3 from the lowest, turning with aroundNext.
        MapNode* a = map.nodeList;
        for (MapNode* m = map.nodeList; m; m = m->next)
            if (m->centreDistance < a->centreDistance) a = m;
        MapNode* p = eng.ringEntry;
        MapNode* u = p->ringNext;
        MapNode* v = u->ringNext;
        EXPECT_EQ(v->ringNext, p);
        EXPECT_EQ(p->ringPrev, v);
        EXPECT_EQ(v->ringPrev, u);
        EXPECT_TRUE(a == p || a == u || a == v);
        EXPECT_EQ(std::make_tuple(int(p->colour), int(u->colour), int(v->colour)), std::make_tuple(1, 2, 3));
        EXPECT_TRUE(borders(p, u) && borders(u, v) && borders(v, p));
        EXPECT_LE(p->y, u->y);
        EXPECT_LE(p->y, v->y);
        EXPECT_GE(cross(p, v, u), 0);
        for (MapNode* m = map.nodeList; m; m = m->next) {
            int coloured = 0;
            for (MapNode* k : neighboursOf(m)) coloured += k->colour != 0;
            EXPECT_EQ(m->ringContacts, coloured);
        }
    }
    EXPECT_GT(deferredSeen, 20u);
}

TEST_F(EnginePreparation, CascadeDefersTheFourBorderNodeInFront)
{
    for (const Paths paths : bothPaths)
    for (bool yFirst : {false, true}) {
        SCOPED_TRACE(std::string(pathName(paths)) + (yFirst ? ", Y first" : ", X first"));
        colouring.setPaths(paths);
        buildCascadeMap(yFirst);
        MapNode* x = at(yFirst ? 1 : 0);
        MapNode* y = at(yFirst ? 0 : 1);
        eng.deferNodes();
        EXPECT_EQ(listNodes(map.deferredList), (std::vector<MapNode*>{x, y}));
        EXPECT_EQ(listNodes(map.nodeList), (std::vector<MapNode*>{at(2), at(3), at(4)}));
        ASSERT_NE(at(2)->parkedLinks, nullptr);
        EXPECT_EQ(at(2)->parkedLinks->node, x);  // parked last, so in front
        EXPECT_EQ(at(2)->parkedLinks->next->node, y);
        EXPECT_EQ(countLinks(at(2)), 2);
        EXPECT_TRUE(ringsCoverLinks());

        // Completion colours X first; Y then sees X's colour.
        at(2)->colour = colourR;
        at(3)->colour = colourG;
        at(4)->colour = colourY;
        EXPECT_EQ(eng.completeColouring(), CompletionOutcome::deferredRestored);
        EXPECT_EQ(x->colour, 4);
        EXPECT_EQ(y->colour, 3);
        EXPECT_EQ(listNodes(map.nodeList), (std::vector<MapNode*>{at(2), at(3), at(4), x, y}));
        EXPECT_EQ(map.deferredList, nullptr);
        std::vector<MapNode*> o1 = neighboursOf(at(2));
        ASSERT_EQ(o1.size(), 4u);
        EXPECT_EQ(o1[2], x);  // parked links come back at the end, in parked order
        EXPECT_EQ(o1[3], y);
        for (MapNode* m = map.nodeList; m; m = m->next) EXPECT_EQ(m->parkedLinks, nullptr);
        EXPECT_TRUE(ringsCoverLinks());
        EXPECT_EQ(eng.verifyColouring(), 0);
    }
}

TEST_F(EnginePreparation, OnePassDefersEveryQualifyingNodeInListOrder)
{
    // Y, Z, W sit in the three faces around X inside the outer triangle; once
    // they are gone X has three borders and goes in the same pass.
    buildHandMap({{16000, 26000}, {22000, 14000}, {10000, 14000}, {16000, 18000}, {1000, 30000}, {31000, 30000},
                  {16000, 1000}},
                 {{0, 3}, {0, 4}, {0, 5}, {1, 3}, {1, 5}, {1, 6}, {2, 3}, {2, 6}, {2, 4}, {3, 4}, {3, 5}, {3, 6},
                  {4, 5}, {5, 6}, {6, 4}},
                 {4, 5, 6});
    eng.deferNodes();
    EXPECT_EQ(listNodes(map.deferredList), (std::vector<MapNode*>{at(3), at(2), at(1), at(0)}));
    EXPECT_EQ(listNodes(map.nodeList), (std::vector<MapNode*>{at(4), at(5), at(6)}));
}

TEST_F(EnginePreparation, StartNodesAtEqualHeightKeepTheFirstAndTurnByPseudoAngle)
{
    // A at the centre, B level with it (right or left), T below: P is A.
    for (int side : {1, -1}) {
        SCOPED_TRACE(side);
        buildHandMap({{16383, 16383}, {16383 + side * 3600, 16383}, {16383 + side * 1600, 20000}},
                     {{0, 1}, {1, 2}, {2, 0}}, {0, 1, 2});
        eng.prepareColouring();
        EXPECT_EQ(eng.ringEntry, at(0));
        // To the right B has pseudo-angle 0 and stays last; to the left it is the greatest.
        MapNode* expectedU = side > 0 ? at(2) : at(1);
        EXPECT_EQ(at(0)->ringNext, expectedU);
        EXPECT_EQ(expectedU->colour, 2);
    }
    // All three level: P is A, the earliest of them.
    buildHandMap({{16383, 16383}, {17000, 16383}, {9000, 16383}}, {{0, 1}, {1, 2}, {2, 0}}, {0, 1, 2});
    eng.prepareColouring();
    EXPECT_EQ(eng.ringEntry, at(0));
}

using EngineGrowth = EngineColouring;

// Follows colourings step by step and checks each growth step and each
// insertion of a formerly blocked candidate against an independent reading
// of the ring, the arc and the colours.
TEST_F(EngineGrowth, InsertsBlocksAndCleansTheOuterBoundary)
{
    int inserted = 0, blocked = 0, outerCleanups = 0, blockedInserted = 0;
    for (const Paths paths : bothPaths)
    for (auto [seed, n] : {std::pair{36u, 100}, {155u, 100}, {3u, 100}, {21u, 300}, {5u, 1000}}) {
        SCOPED_TRACE(std::string(pathName(paths)) + ", seed " + std::to_string(seed));
        buildSeeded(seed, n, paths);
        colouring.step(false);
        for (MapNode* m = map.nodeList; m; m = m->next) m->swapCursor = 5;  // stale from an earlier conflict
        MapNode* blockedCandidate = nullptr;
        while (!colouring.finished()) {
            const Phase before = colouring.phase();
            std::map<MapNode*, MapNode*> oldPrev;
            std::map<MapNode*, int> oldContacts;
            std::map<MapNode*, int> oldColour;
            for (MapNode* m = map.nodeList; m; m = m->next) {
                oldPrev[m] = m->ringPrev;
                oldContacts[m] = m->ringContacts;
                oldColour[m] = m->colour;
            }
            const size_t ringBefore = ringNodes().size();
            MapNode* arcF = eng.arcFirst;
            MapNode* arcL = eng.arcLast;
            const uint8_t wasDone = eng.growthDone;
            colouring.step(false);
            const Phase after = colouring.phase();

            if (before == Phase::grow && after == Phase::grow) {
                ++inserted;
                MapNode* c = eng.ringEntry;
                EXPECT_EQ(oldColour[c], 0);
                MapNode* first = c->ringNext;
                MapNode* last = c->ringPrev;
                std::vector<MapNode*> arc;
                for (MapNode* m = first; m; m = oldPrev[m]) {
                    arc.push_back(m);
                    if (m == last || arc.size() > ringBefore) break;
                }
                ASSERT_EQ(arc.back(), last);
                std::set<MapNode*> arcSet(arc.begin(), arc.end());
                std::set<MapNode*> touched;
                for (MapNode* m : neighboursOf(c))
                    if (oldColour[m] != 0) touched.insert(m);
                EXPECT_EQ(arcSet, touched);
                unsigned mask = 0;
                for (MapNode* m : arc) mask |= 1u << oldColour[m];
                EXPECT_EQ(c->colour, leastFree(mask & 0x1E));
                EXPECT_EQ(ringNodes().size(), ringBefore + 1 - (arc.size() - 2));
                for (MapNode* m : neighboursOf(c)) EXPECT_EQ(m->ringContacts, oldContacts[m] + 1);
            } else if (before == Phase::grow && after == Phase::locate && eng.candidate) {
                ++blocked;
                blockedCandidate = eng.candidate;
                EXPECT_EQ(eng.candidate->colour, colourBlocked);
                EXPECT_EQ(eng.pivot, nullptr);
                const std::vector<MapNode*> arc = arcNodes(eng.arcFirst, eng.arcLast);
                EXPECT_EQ(colourMask(arc), 0x1Eu);
                EXPECT_EQ(std::set<MapNode*>(arc.begin(), arc.end()), colouredNeighbours(eng.candidate));
                const std::vector<MapNode*> ring = ringNodes();
                EXPECT_EQ(std::count(ring.begin(), ring.end(), eng.candidate), 0);
                for (MapNode* m = map.nodeList; m; m = m->next) {
                    EXPECT_EQ(m->swapCursor, 0);
                    EXPECT_EQ(m->ringContacts, oldContacts[m]);
                }
            } else if (before == Phase::grow && after == Phase::locate) {
                ++outerCleanups;
                EXPECT_EQ(eng.growthDone, 1);
                EXPECT_EQ(eng.arcFirst, eng.ringEntry);
                EXPECT_EQ(eng.arcLast, eng.ringEntry->ringNext);
                EXPECT_TRUE(outerHasColour4());
                for (MapNode* m = map.nodeList; m; m = m->next) EXPECT_EQ(m->swapCursor, 0);
            } else if (before == Phase::grow) {
                // Growth ended: the boundary carries no colour 4.
                EXPECT_FALSE(outerHasColour4());
            } else if (after == Phase::grow && blockedCandidate && !wasDone) {
                // Conflict resolution freed the arc of colour 4 and inserted the candidate with it.
                ++blockedInserted;
                MapNode* c = blockedCandidate;
                EXPECT_EQ(c->colour, 4);
                EXPECT_EQ(eng.ringEntry, c);
                EXPECT_EQ(c->ringNext, arcF);
                EXPECT_EQ(c->ringPrev, arcL);
                EXPECT_EQ(arcF->ringPrev, c);
                EXPECT_EQ(arcL->ringNext, c);
                EXPECT_EQ(eng.arcFirst, nullptr);
                EXPECT_EQ(eng.pivot, nullptr);
                for (MapNode* m : neighboursOf(c)) EXPECT_EQ(m->ringContacts, oldContacts[m] + 1);
                blockedCandidate = nullptr;
            } else if (after == Phase::grow && wasDone) {
                // The clean-up is over when the ring holds no colour 4 any more.
                for (MapNode* m : ringNodes()) EXPECT_NE(m->colour, 4);
                EXPECT_EQ(eng.growthDone, 1);
                EXPECT_EQ(eng.growRing(), GrowthOutcome::finished);
            }
            if (before != Phase::verify && after != Phase::finished) {
                EXPECT_TRUE(colouredPartIsProper());
            }
        }
        EXPECT_EQ(firstBadNode(), 0);
    }
    EXPECT_GT(inserted, 500);
    EXPECT_GT(blocked, 20);
    EXPECT_GT(blockedInserted, 10);
    EXPECT_GT(outerCleanups, 2);
}

TEST_F(EngineGrowth, EqualDistancesInsertTheEarlierNodeFirst)
{
    // Start triangle A B T at the centre; C1 beside A-T and C2 beside B-T lie
    // at the same distance from the centre and both touch the ring properly.
    const Site a{16383, 16383}, b{18383, 16383}, t{17383, 18383}, c1{15383, 18383}, c2{18383, 17383};
    for (const Paths paths : bothPaths)
    for (bool c1First : {true, false}) {
        SCOPED_TRACE(std::string(pathName(paths)) + (c1First ? ", C1 first" : ", C2 first"));
        colouring.setPaths(paths);
        const int i1 = c1First ? 3 : 4, i2 = c1First ? 4 : 3;
        std::vector<Site> sites{a, b, t, a, a};
        sites[i1] = c1;
        sites[i2] = c2;
        buildHandMap(sites, {{0, 1}, {1, 2}, {2, 0}, {0, i1}, {i1, 2}, {1, i2}, {i2, 2}}, {0, i1, 2, i2, 1});
        ASSERT_EQ(at(i1)->centreDistance, at(i2)->centreDistance);
        eng.prepareColouring();
        ASSERT_EQ(at(3)->ringContacts, 2);
        ASSERT_EQ(at(4)->ringContacts, 2);
        EXPECT_EQ(eng.growRing(), GrowthOutcome::inserted);
        EXPECT_EQ(eng.ringEntry, at(3));
        EXPECT_EQ(eng.growRing(), GrowthOutcome::inserted);
        EXPECT_EQ(eng.ringEntry, at(4));
    }
}

using EngineCompletion = EngineColouring;

TEST_F(EngineCompletion, DeferredNodeTakesTheLeastColourItsNeighboursLeave)
{
    // One inner node with three borders inside a triangle.
    const std::vector<std::tuple<int, int, int, int>> cases = {
        {1, 2, 3, 4}, {1, 3, 4, 2}, {2, 2, 4, 1}, {5, 0, 1, 2}, {3, 2, 1, 4}, {4, 4, 4, 1}};
    for (auto [c1, c2, c3, expected] : cases) {
        SCOPED_TRACE(expected);
        buildHandMap({{16000, 16000}, {1000, 30000}, {31000, 30000}, {16000, 1000}},
                     {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 3}, {3, 1}}, {1, 2, 3});
        eng.deferNodes();
        ASSERT_EQ(map.deferredList, at(0));
        at(1)->colour = colourCode(c1);
        at(2)->colour = colourCode(c2);
        at(3)->colour = colourCode(c3);
        EXPECT_EQ(eng.completeColouring(), CompletionOutcome::deferredRestored);
        EXPECT_EQ(at(0)->colour, expected);
        EXPECT_EQ(map.nodeList->next->next->next, at(0));
    }
}

TEST_F(EngineCompletion, WithoutDeferredNodesOnlyResetsTheEngine)
{
    buildSeeded(1, 3);
    eng.prepareColouring();
    eng.pathFlag = 1;
    eng.growthDone = 1;
    eng.pivot = eng.arcFirst = eng.arcLast = eng.pathHead = eng.pathTail = eng.pathCursor = eng.candidate =
        map.nodeList;
    const std::vector<MapNode*> order = listNodes(map.nodeList);
    EXPECT_EQ(eng.completeColouring(), CompletionOutcome::nothingDeferred);
    EXPECT_EQ(listNodes(map.nodeList), order);
    EXPECT_EQ(eng.growthDone, 0);
    EXPECT_EQ(eng.pathFlag, 0);
    for (MapNode* g : {eng.pivot, eng.arcFirst, eng.arcLast, eng.pathHead, eng.pathTail, eng.pathCursor,
                       eng.candidate, eng.ringEntry})
        EXPECT_EQ(g, nullptr);
    for (MapNode* m = map.nodeList; m; m = m->next) EXPECT_NE(m->colour, 0);  // colours stay
    eng.restoreDeferred();  // nothing deferred: nothing changes
    EXPECT_EQ(listNodes(map.nodeList), order);
}

using EngineVerification = EngineColouring;

TEST_F(EngineVerification, ReportsTheFirstNodeThatBreaksARule)
{
    buildCascadeMap(false);  // list: X, Y, O1, O2, O3; O1..O3 outer
    auto paint = [this](std::vector<int> c) {
        for (int i = 0; i < 5; ++i) at(i)->colour = colourCode(c[i]);
    };
    paint({4, 3, 1, 2, 3});
    EXPECT_EQ(eng.verifyColouring(), 0);
    EXPECT_EQ(colouring.verify(), 0);
    paint({3, 4, 1, 2, 4});  // O3 outer with colour 4, no neighbour shares it
    EXPECT_EQ(eng.verifyColouring(), 5);
    paint({4, 4, 1, 2, 3});  // X and Y share a colour: the earlier is named
    EXPECT_EQ(eng.verifyColouring(), 1);
    EXPECT_EQ(colouring.verify(), 1);
    paint({4, 3, 0, 2, 3});
    EXPECT_EQ(eng.verifyColouring(), 3);
    paint({4, 3, 1, 5, 3});
    EXPECT_EQ(eng.verifyColouring(), 4);
    paint({4, 3, 1, 1, 0});  // O1 and O2 clash before O3's missing colour
    EXPECT_EQ(eng.verifyColouring(), 3);
    paint({4, 3, 1, 2, 3});
    at(1)->colour = colourCode(6);
    EXPECT_EQ(eng.verifyColouring(), 2);
}

TEST_F(EngineVerification, RunToEndColouringsAreProperOverManyMaps)
{
    const int sizes[] = {3, 4, 5, 10, 30, 100, 400};
    int checked = 0;
    for (int n : sizes) {
        const uint32_t seeds = n <= 100 ? 60 : 10;
        for (uint32_t seed = 1; seed <= seeds; ++seed) {
            buildSeeded(seed * 2654435761u, n);
            const uint16_t r = colouring.run();
            ASSERT_EQ(colouring.phase(), Phase::finished);
            EXPECT_EQ(r, firstBadNode()) << "seed " << seed << " n " << n;
            EXPECT_EQ(map.deferredList, nullptr);
            EXPECT_EQ(static_cast<int>(listNodes(map.nodeList).size()), n);
            checked += r == 0;
        }
    }
    EXPECT_GT(checked, 340);
}

TEST_F(EngineVerification, CutShortColouringsNameARealFault)
{
    // The time limit strikes after a varying number of phase routines.
    int failures = 0;
    const uint32_t strides[] = {10002, 5001, 1500, 300, 100, 60, 45};
    for (uint32_t k = 1; k <= 35; ++k) {
        buildSeeded(k, 200);
        useSteppingClock(0, strides[k % 7]);
        const uint16_t r = colouring.run();
        ASSERT_EQ(colouring.phase(), Phase::finished);
        EXPECT_EQ(r, firstBadNode()) << k;
        failures += r != 0;
    }
    EXPECT_GT(failures, 20);
}
