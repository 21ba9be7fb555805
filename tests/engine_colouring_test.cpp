// Preparation, ring growth, completion and verification.
#include "engine_support.h"
#include "tests/map_support.h"
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

long long cross(Point o, Point a, Point b)
{
    return (long long)(a.x - o.x) * (b.y - o.y) - (long long)(a.y - o.y) * (b.x - o.x);
}
}  // namespace

class EngineColouring : public EngineTest {
protected:
    unsigned colourMask(const std::vector<NodeIndex>& nodes) const
    {
        unsigned m = 0;
        for (const NodeIndex n : nodes)
            if (colourAt(n) >= 1 && colourAt(n) <= 4) m |= 1u << colourAt(n);
        return m;
    }

    std::set<NodeIndex> colouredNeighbours(NodeIndex n) const
    {
        std::set<NodeIndex> s;
        for (const NodeIndex m : neighboursOf(n))
            if (colourAt(m) != 0) s.insert(m);
        return s;
    }

    bool outerHasColour4() const
    {
        for (const NodeIndex n : listNodes())
            if (map->isOuter(n) && colourAt(n) == 4) return true;
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
    EXPECT_EQ(eng.list.deferredHead(), noNode);
    std::multiset<int> colours;
    for (const NodeIndex n : listNodes()) {
        colours.insert(colourAt(n));
        EXPECT_EQ(fields.ringContacts[n], 2);
        EXPECT_LE(map->site(state.ringEntry).y, map->site(n).y);
    }
    EXPECT_EQ(colours, (std::multiset<int>{1, 2, 3}));
    EXPECT_EQ(colourAt(state.ringEntry), 1);
    EXPECT_EQ(fields.ringNext[fields.ringNext[fields.ringNext[state.ringEntry]]], state.ringEntry);
}

TEST_F(EnginePreparation, DefersUntilNoInnerNodeHasThreeBordersAndPicksTheStartTriangle)
{
    size_t deferredSeen = 0;
    for (const Paths paths : bothPaths)
    for (auto [seed, n] : {std::pair{1u, 100}, {2u, 100}, {77u, 300}, {9u, 1000}}) {
        SCOPED_TRACE(std::string(pathName(paths)) + ", seed " + std::to_string(seed));
        buildSeeded(seed, n, paths);
        const auto built = allBorders();
        const uint64_t builtDigest = mapcheck::mapDigest(*map);
        ASSERT_TRUE(eng.prepareColouring());
        EXPECT_EQ(allBorders(), built);
        EXPECT_TRUE(ringsCoverLinks());

        const std::vector<NodeIndex> deferred = deferredNodes();
        deferredSeen += deferred.size();
        const std::set<NodeIndex> deferredSet(deferred.begin(), deferred.end());
        for (size_t j = 0; j < deferred.size(); ++j) {
            const NodeIndex d = deferred[j];
            EXPECT_FALSE(map->isOuter(d));
            EXPECT_EQ(neighboursOf(d).size(), 3u);
            EXPECT_EQ(colourAt(d), 0);
            // A deferred node leads only to nodes still listed or deferred after it.
            for (const NodeIndex m : neighboursOf(d)) {
                const auto pos = std::find(deferred.begin(), deferred.end(), m);
                EXPECT_TRUE(pos == deferred.end() || pos < deferred.begin() + static_cast<long>(j));
            }
        }
        for (const NodeIndex m : listNodes()) {
            EXPECT_FALSE(!map->isOuter(m) && neighboursOf(m).size() == 3) << numberOf(m);
            for (const NodeIndex k : neighboursOf(m)) EXPECT_FALSE(deferredSet.count(k));
            for (const NodeIndex k : eng.borders.parked(m)) EXPECT_TRUE(deferredSet.count(k));
        }
        // The map itself is as built.
        EXPECT_EQ(mapcheck::mapDigest(*map), builtDigest);

        // Start triangle: the listed node nearest the centre (first on ties) and two
        // of its neighbours, coloured 1, 2, 3 from the lowest, turning with aroundNext.
        NodeIndex a = eng.list.head();
        for (const NodeIndex m : listNodes())
            if (map->centreDistance(m) < map->centreDistance(a)) a = m;
        const NodeIndex p = state.ringEntry;
        const NodeIndex u = fields.ringNext[p];
        const NodeIndex v = fields.ringNext[u];
        EXPECT_EQ(fields.ringNext[v], p);
        EXPECT_EQ(fields.ringPrev[p], v);
        EXPECT_EQ(fields.ringPrev[v], u);
        EXPECT_TRUE(a == p || a == u || a == v);
        EXPECT_EQ(std::make_tuple(int(colourAt(p)), int(colourAt(u)), int(colourAt(v))), std::make_tuple(1, 2, 3));
        EXPECT_TRUE(borders(p, u) && borders(u, v) && borders(v, p));
        EXPECT_LE(map->site(p).y, map->site(u).y);
        EXPECT_LE(map->site(p).y, map->site(v).y);
        EXPECT_GE(cross(map->site(p), map->site(v), map->site(u)), 0);
        for (const NodeIndex m : listNodes()) {
            int coloured = 0;
            for (const NodeIndex k : neighboursOf(m)) coloured += colourAt(k) != 0;
            EXPECT_EQ(fields.ringContacts[m], coloured);
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
        const NodeIndex x = at(yFirst ? 1 : 0);
        const NodeIndex y = at(yFirst ? 0 : 1);
        eng.deferNodes();
        EXPECT_EQ(deferredNodes(), (std::vector<NodeIndex>{x, y}));
        EXPECT_EQ(listNodes(), (std::vector<NodeIndex>{at(2), at(3), at(4)}));
        const std::span<const NodeIndex> parked = eng.borders.parked(at(2));
        ASSERT_EQ(parked.size(), 2u);
        EXPECT_EQ(parked[0], x);  // parked last, so in front
        EXPECT_EQ(parked[1], y);
        EXPECT_EQ(neighboursOf(at(2)).size(), 2u);
        EXPECT_TRUE(ringsCoverLinks());
        // The map keeps its lists: only the colouring's working lists changed.
        EXPECT_EQ(map->links(at(2)).size(), 4u);

        // Completion colours X first; Y then sees X's colour.
        paintNode(at(2), colourR);
        paintNode(at(3), colourG);
        paintNode(at(4), colourY);
        EXPECT_EQ(eng.completeColouring(), CompletionOutcome::deferredRestored);
        EXPECT_EQ(colourAt(x), 4);
        EXPECT_EQ(colourAt(y), 3);
        EXPECT_EQ(listNodes(), (std::vector<NodeIndex>{at(2), at(3), at(4), x, y}));
        EXPECT_EQ(eng.list.deferredHead(), noNode);
        const std::vector<NodeIndex> o1 = neighboursOf(at(2));
        ASSERT_EQ(o1.size(), 4u);
        EXPECT_EQ(o1[2], x);  // parked links come back at the end, in parked order
        EXPECT_EQ(o1[3], y);
        for (const NodeIndex m : listNodes()) EXPECT_FALSE(eng.borders.hasParked(m));
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
    EXPECT_EQ(deferredNodes(), (std::vector<NodeIndex>{at(3), at(2), at(1), at(0)}));
    EXPECT_EQ(listNodes(), (std::vector<NodeIndex>{at(4), at(5), at(6)}));
}

TEST_F(EnginePreparation, StartNodesAtEqualHeightKeepTheFirstAndTurnByPseudoAngle)
{
    // A at the centre, B level with it (right or left), T below: P is A.
    for (int side : {1, -1}) {
        SCOPED_TRACE(side);
        buildHandMap({{16383, 16383}, {16383 + side * 3600, 16383}, {16383 + side * 1600, 20000}},
                     {{0, 1}, {1, 2}, {2, 0}}, {0, 1, 2});
        eng.prepareColouring();
        EXPECT_EQ(state.ringEntry, at(0));
        // To the right B has pseudo-angle 0 and stays last; to the left it is the greatest.
        const NodeIndex expectedU = side > 0 ? at(2) : at(1);
        EXPECT_EQ(fields.ringNext[at(0)], expectedU);
        EXPECT_EQ(colourAt(expectedU), 2);
    }
    // All three level: P is A, the earliest of them.
    buildHandMap({{16383, 16383}, {17000, 16383}, {9000, 16383}}, {{0, 1}, {1, 2}, {2, 0}}, {0, 1, 2});
    eng.prepareColouring();
    EXPECT_EQ(state.ringEntry, at(0));
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
        for (const NodeIndex m : listNodes()) fields.swapCursor[m] = 5;  // stale from an earlier conflict
        NodeIndex blockedCandidate = noNode;
        while (!colouring.finished()) {
            const Phase before = colouring.phase();
            const std::vector<NodeIndex> oldPrev = fields.ringPrev;
            const std::vector<int16_t> oldContacts = fields.ringContacts;
            std::vector<int> oldColour;
            for (const HotNode& h : fields.hot) oldColour.push_back(h.colour);
            const size_t ringBefore = ringNodes().size();
            const NodeIndex arcF = state.arcFirst;
            const NodeIndex arcL = state.arcLast;
            const bool wasDone = state.growthDone;
            colouring.step(false);
            const Phase after = colouring.phase();

            if (before == Phase::grow && after == Phase::grow) {
                ++inserted;
                const NodeIndex c = state.ringEntry;
                EXPECT_EQ(oldColour[c], 0);
                const NodeIndex first = fields.ringNext[c];
                const NodeIndex last = fields.ringPrev[c];
                std::vector<NodeIndex> arc;
                for (NodeIndex m = first; m != noNode; m = oldPrev[m]) {
                    arc.push_back(m);
                    if (m == last || arc.size() > ringBefore) break;
                }
                ASSERT_EQ(arc.back(), last);
                const std::set<NodeIndex> arcSet(arc.begin(), arc.end());
                std::set<NodeIndex> touched;
                for (const NodeIndex m : neighboursOf(c))
                    if (oldColour[m] != 0) touched.insert(m);
                EXPECT_EQ(arcSet, touched);
                unsigned mask = 0;
                for (const NodeIndex m : arc) mask |= 1u << oldColour[m];
                EXPECT_EQ(colourAt(c), leastFree(mask & 0x1E));
                EXPECT_EQ(ringNodes().size(), ringBefore + 1 - (arc.size() - 2));
                for (const NodeIndex m : neighboursOf(c)) EXPECT_EQ(fields.ringContacts[m], oldContacts[m] + 1);
            } else if (before == Phase::grow && after == Phase::locate && state.candidate != noNode) {
                ++blocked;
                blockedCandidate = state.candidate;
                EXPECT_EQ(colourAt(state.candidate), colourBlocked);
                EXPECT_EQ(state.pivot, noNode);
                const std::vector<NodeIndex> arc = arcNodes(state.arcFirst, state.arcLast);
                EXPECT_EQ(colourMask(arc), 0x1Eu);
                EXPECT_EQ(std::set<NodeIndex>(arc.begin(), arc.end()), colouredNeighbours(state.candidate));
                const std::vector<NodeIndex> ring = ringNodes();
                EXPECT_EQ(std::count(ring.begin(), ring.end(), state.candidate), 0);
                for (const NodeIndex m : listNodes()) {
                    EXPECT_EQ(fields.swapCursor[m], 0);
                    EXPECT_EQ(fields.ringContacts[m], oldContacts[m]);
                }
            } else if (before == Phase::grow && after == Phase::locate) {
                ++outerCleanups;
                EXPECT_TRUE(state.growthDone);
                EXPECT_EQ(state.arcFirst, state.ringEntry);
                EXPECT_EQ(state.arcLast, fields.ringNext[state.ringEntry]);
                EXPECT_TRUE(outerHasColour4());
                for (const NodeIndex m : listNodes()) EXPECT_EQ(fields.swapCursor[m], 0);
            } else if (before == Phase::grow) {
                // Growth ended: the boundary carries no colour 4.
                EXPECT_FALSE(outerHasColour4());
            } else if (after == Phase::grow && blockedCandidate != noNode && !wasDone) {
                // Conflict resolution freed the arc of colour 4 and inserted the candidate with it.
                ++blockedInserted;
                const NodeIndex c = blockedCandidate;
                EXPECT_EQ(colourAt(c), 4);
                EXPECT_EQ(state.ringEntry, c);
                EXPECT_EQ(fields.ringNext[c], arcF);
                EXPECT_EQ(fields.ringPrev[c], arcL);
                EXPECT_EQ(fields.ringPrev[arcF], c);
                EXPECT_EQ(fields.ringNext[arcL], c);
                EXPECT_EQ(state.arcFirst, noNode);
                EXPECT_EQ(state.pivot, noNode);
                for (const NodeIndex m : neighboursOf(c)) EXPECT_EQ(fields.ringContacts[m], oldContacts[m] + 1);
                blockedCandidate = noNode;
            } else if (after == Phase::grow && wasDone) {
                // The clean-up is over when the ring holds no colour 4 any more.
                for (const NodeIndex m : ringNodes()) EXPECT_NE(colourAt(m), 4);
                EXPECT_TRUE(state.growthDone);
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
        ASSERT_EQ(map->centreDistance(at(i1)), map->centreDistance(at(i2)));
        eng.prepareColouring();
        ASSERT_EQ(fields.ringContacts[at(3)], 2);
        ASSERT_EQ(fields.ringContacts[at(4)], 2);
        EXPECT_EQ(eng.growRing(), GrowthOutcome::inserted);
        EXPECT_EQ(state.ringEntry, at(3));
        EXPECT_EQ(eng.growRing(), GrowthOutcome::inserted);
        EXPECT_EQ(state.ringEntry, at(4));
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
        ASSERT_EQ(eng.list.deferredHead(), at(0));
        paintNode(at(1), c1);
        paintNode(at(2), c2);
        paintNode(at(3), c3);
        EXPECT_EQ(eng.completeColouring(), CompletionOutcome::deferredRestored);
        EXPECT_EQ(colourAt(at(0)), expected);
        EXPECT_EQ(listNodes(), (std::vector<NodeIndex>{at(1), at(2), at(3), at(0)}));
    }
}

TEST_F(EngineCompletion, WithoutDeferredNodesOnlyResetsTheEngine)
{
    buildSeeded(1, 3);
    eng.prepareColouring();
    EngineState& s = eng.state;
    s.pathFlag = true;
    s.growthDone = true;
    s.pivot = s.arcFirst = s.arcLast = s.pathHead = s.pathTail = s.pathCursor = s.candidate = eng.list.head();
    const std::vector<NodeIndex> order = listNodes();
    EXPECT_EQ(eng.completeColouring(), CompletionOutcome::nothingDeferred);
    EXPECT_EQ(listNodes(), order);
    EXPECT_FALSE(s.growthDone);
    EXPECT_FALSE(s.pathFlag);
    for (const NodeIndex g : {s.pivot, s.arcFirst, s.arcLast, s.pathHead, s.pathTail, s.pathCursor, s.candidate,
                              s.ringEntry})
        EXPECT_EQ(g, noNode);
    for (const NodeIndex m : listNodes()) EXPECT_NE(colourAt(m), 0);  // colours stay
    eng.restoreDeferred();  // nothing deferred: nothing changes
    EXPECT_EQ(listNodes(), order);
}

using EngineVerification = EngineColouring;

TEST_F(EngineVerification, ReportsTheFirstNodeThatBreaksARule)
{
    buildCascadeMap(false);  // list: X, Y, O1, O2, O3; O1..O3 outer
    auto paint = [this](std::vector<int> c) {
        for (int i = 0; i < 5; ++i) paintNode(at(i), c[i]);
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
    paintNode(at(1), 6);
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
            EXPECT_EQ(eng.list.deferredHead(), noNode);
            EXPECT_EQ(static_cast<int>(listNodes().size()), n);
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
