// The step driver: its transitions, its time limit, what each step reports,
// and a colouring's life with its map.
#include "engine_support.h"
#include "platform/headless.h"
#include "runs/export.h"
#include "runs/trace.h"
#include <string>

using namespace enginetest;

namespace {
std::string colourDigits(const Map& map)
{
    std::string s;
    for (MapNode* n = map.nodeList; n; n = n->next) s += char('0' + n->colour);
    return s;
}

void expectReport(const StepReport& r, bool ran, bool verified, bool finished, uint16_t result)
{
    EXPECT_EQ(r.ran, ran);
    EXPECT_EQ(r.verified, verified);
    EXPECT_EQ(r.finished, finished);
    EXPECT_EQ(r.result, result);
}
}  // namespace

using EngineDriver = EngineTest;

TEST_F(EngineDriver, DoesNothingWithoutMapOrOnceFinished)
{
    expectReport(colouring.step(false), false, false, false, 0);
    expectReport(colouring.step(true), false, false, false, 0);
    EXPECT_EQ(colouring.phase(), Phase::prepare);

    buildSeeded(1, 100);
    expectReport(colouring.step(true), true, true, true, 0);  // a correct colouring verifies 0
    ASSERT_EQ(colouring.phase(), Phase::finished);
    const std::string before = colourDigits(map);
    const std::vector<MapNode*> order = listNodes(map.nodeList);
    expectReport(colouring.step(false), false, false, false, 0);
    expectReport(colouring.step(true), false, false, false, 0);
    EXPECT_EQ(colouring.run(), 0);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(colourDigits(map), before);
    EXPECT_EQ(listNodes(map.nodeList), order);
}

TEST_F(EngineDriver, FirstStepPreparesOnlyAndReportsAColouringUnderWay)
{
    buildSeeded(5, 100);
    expectReport(colouring.step(false), true, false, false, 0);
    EXPECT_EQ(colouring.phase(), Phase::grow);
    EXPECT_EQ(colouredCount(), 3);
}

// Each single step ends only where the transition table says "step ends":
// pivot freeing and path walking that clear the pivot go on through locating,
// growth's end goes on through completion, and completion without deferred
// nodes through verification.
TEST_F(EngineDriver, SingleStepsContinueThroughAtOnceTransitions)
{
    int sawFreed = 0;
    for (uint32_t seed : {36u, 155u, 174u, 187u, 3u}) {
        buildSeeded(seed, 100);
        while (!colouring.finished()) {
            const Phase before = colouring.phase();
            const bool hadDeferred = map.deferredList != nullptr;
            const StepReport r = colouring.step(false);
            const Phase after = colouring.phase();
            switch (before) {
            case Phase::prepare: EXPECT_EQ(after, Phase::grow); break;
            case Phase::grow:
                EXPECT_TRUE(after == Phase::grow || after == Phase::locate ||
                            after == (hadDeferred ? Phase::verify : Phase::finished));
                break;
            case Phase::locate: EXPECT_TRUE(after == Phase::grow || after == Phase::freePivot); break;
            case Phase::freePivot:
                EXPECT_NE(after, Phase::locate);
                sawFreed += after != Phase::walkPath;
                break;
            case Phase::walkPath: EXPECT_NE(after, Phase::locate); break;
            case Phase::clearCursor: EXPECT_TRUE(after == Phase::walkPath || after == Phase::shake); break;
            case Phase::shake: EXPECT_EQ(after, Phase::locate); break;
            case Phase::verify: EXPECT_EQ(after, Phase::finished); break;
            default: ADD_FAILURE() << "unexpected phase " << int(before);
            }
            const bool finished = after == Phase::finished;
            expectReport(r, true, finished, finished, finished ? firstBadNode() : 0);
        }
    }
    EXPECT_GT(sawFreed, 0);
}

TEST_F(EngineDriver, GrowthEndWithoutDeferredNodesVerifiesInTheSameStep)
{
    // Three sites: nothing to defer; the start triangle is the whole map.
    buildSeeded(1, 3);
    colouring.step(false);
    ASSERT_EQ(colouring.phase(), Phase::grow);
    ASSERT_EQ(map.deferredList, nullptr);
    expectReport(colouring.step(false), true, true, true, 0);
    EXPECT_EQ(colouring.phase(), Phase::finished);
}

// The engine leaves the window to its caller: neither single steps nor runs
// nor clearing touch a control or the view.
TEST_F(EngineDriver, StepsTouchNoWindow)
{
    headlessReset();
    buildSeeded(36, 100);
    while (!colouring.finished()) colouring.step(false);
    colouring.clear();
    EXPECT_EQ(colouring.run(), 0);
    buildSeeded(2, 100);
    useSteppingClock(1000, 20000);
    EXPECT_NE(colouring.run(), 0);
    EXPECT_TRUE(headlessEvents().empty());
}

TEST_F(EngineDriver, RunToEndFinishesAndReportsTheVerification)
{
    buildSeeded(11, 200);
    expectReport(colouring.step(true), true, true, true, 0);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(firstBadNode(), 0);
}

TEST_F(EngineDriver, TimeLimitAtTheStartLeavesTheMapUncolouredAndFails)
{
    buildSeeded(2, 100);
    useSteppingClock(1000, 20000);  // every reading is 20 s after the last
    const StepReport r = colouring.step(true);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(colouredCount(), 0);
    expectReport(r, true, true, true, static_cast<uint16_t>(map.nodeList->number));
    EXPECT_EQ(r.result, firstBadNode());
}

TEST_F(EngineDriver, TimeLimitMidConflictStillCompletesAndVerifies)
{
    buildSeeded(36, 100);
    stepUntil([&] { return colouring.phase() == Phase::freePivot && eng.candidate; });
    ASSERT_EQ(colouring.phase(), Phase::freePivot);
    ASSERT_NE(map.deferredList, nullptr);
    const MapNode* blocked = eng.candidate;
    const auto bordersBefore = allBorders();
    useSteppingClock(500, 11000);  // the first check is already past the limit
    const StepReport r = colouring.step(true);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(map.deferredList, nullptr);
    EXPECT_EQ(allBorders(), bordersBefore);
    EXPECT_EQ(static_cast<int>(listNodes(map.nodeList).size()), map.nodeStorageCount());
    EXPECT_EQ(blocked->colour, colourBlocked);
    EXPECT_TRUE(r.verified);
    EXPECT_NE(r.result, 0);
    EXPECT_EQ(r.result, firstBadNode());
    EXPECT_EQ(eng.candidate, nullptr);  // completion reset the engine's references
    EXPECT_EQ(eng.pivot, nullptr);
    EXPECT_EQ(eng.pathHead, nullptr);
}

TEST_F(EngineDriver, TimeLimitUsesTheWrappingDifferenceAndSparesSingleSteps)
{
    buildSeeded(7, 100);
    useSteppingClock(0xFFFFFF00u, 1);  // wraps during the run, stays far below the limit
    EXPECT_EQ(colouring.run(), 0);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(firstBadNode(), 0);

    buildSeeded(7, 100);
    useSteppingClock(0, 50000);
    for (int i = 0; i < 20; ++i) colouring.step(false);
    EXPECT_FALSE(colouring.finished());
    EXPECT_GT(colouredCount(), 20);
}

TEST_F(EngineDriver, ClearColouringMidwayRestoresTheBuiltMap)
{
    for (long steps : {1L, 40L, 113L}) {
        SCOPED_TRACE(steps);
        buildSeeded(36, 100);
        const auto built = allBorders();
        for (long k = 0; k < steps; ++k) colouring.step(false);
        ASSERT_NE(map.deferredList, nullptr);
        colouring.clear();
        EXPECT_EQ(colouring.phase(), Phase::prepare);
        EXPECT_EQ(map.deferredList, nullptr);
        EXPECT_EQ(static_cast<int>(listNodes(map.nodeList).size()), map.nodeStorageCount());
        EXPECT_EQ(allBorders(), built);
        for (MapNode* n = map.nodeList; n; n = n->next) {
            EXPECT_EQ(n->parkedLinks, nullptr);
            EXPECT_EQ(n->colour, 0);
            EXPECT_EQ(n->ringContacts, 0);
            EXPECT_EQ(n->pathMark, 0);
        }
        EXPECT_TRUE(ringsCoverLinks());
        EXPECT_EQ(colouring.state().ringEntry, nullptr);
        EXPECT_EQ(colouring.state().pivot, nullptr);
        // The cleared map colours again to the end.
        expectReport(colouring.step(true), true, true, true, 0);
        EXPECT_EQ(colouring.phase(), Phase::finished);
        EXPECT_EQ(firstBadNode(), 0);
    }
}

// A colouring is bound to its map object; a rebuilt or released map must not
// leave it holding references into the old nodes.
TEST_F(EngineDriver, ColouringFollowsItsMapThroughRebuildsAndReleases)
{
    buildSeeded(36, 100);
    stepUntil([&] { return colouring.phase() == Phase::walkPath; });
    ASSERT_EQ(colouring.phase(), Phase::walkPath);
    ASSERT_NE(colouring.state().pivot, nullptr);

    // Rebuilt behind the colouring's back: the next read starts afresh.
    map.build(37, 100);
    const EngineState& s = colouring.state();
    EXPECT_EQ(s.EnginePhase, Phase::prepare);
    for (MapNode* r : {s.ringEntry, s.candidate, s.arcFirst, s.arcLast, s.pivot, s.pathHead, s.pathTail,
                       s.pathCursor})
        EXPECT_EQ(r, nullptr);
    EXPECT_EQ(s.growthDone, 0);
    EXPECT_EQ(s.pathFlag, 0);
    // It colours the new map as a fresh colouring of it does.
    const TraceSummary followed = stepToEnd(colouring);
    Map other;
    other.build(37, 100);
    Colouring fresh(other);
    const TraceSummary expected = stepToEnd(fresh);
    EXPECT_EQ(followed.digest, expected.digest);
    EXPECT_EQ(followed.steps, expected.steps);
    EXPECT_EQ(followed.verify, 0);

    // Released midway: nothing to step, the state names no node.
    buildSeeded(155, 100);
    stepUntil([&] { return colouring.phase() == Phase::shake; });
    ASSERT_EQ(colouring.phase(), Phase::shake);
    map.release();
    EXPECT_EQ(colouring.phase(), Phase::prepare);
    EXPECT_EQ(colouring.state().pathCursor, nullptr);
    expectReport(colouring.step(true), false, false, false, 0);
    EXPECT_FALSE(colouring.finished());

    // A step straight after a rebuild, without a read in between, also starts afresh.
    buildSeeded(155, 100);
    colouring.run();
    map.build(155, 100);
    expectReport(colouring.step(false), true, false, false, 0);
    EXPECT_EQ(colouring.phase(), Phase::grow);
    EXPECT_EQ(colouredCount(), 3);
}

TEST_F(EngineDriver, RestartAndResetDropTheReferences)
{
    buildSeeded(155, 100);
    stepUntil([&] { return colouring.phase() == Phase::shake; });
    ASSERT_NE(eng.pathCursor, nullptr);
    const std::string coloursMidway = colourDigits(map);

    colouring.reset(false);  // references dropped, colours and phase stay
    EXPECT_EQ(colouring.phase(), Phase::shake);
    EXPECT_EQ(eng.pathCursor, nullptr);
    EXPECT_EQ(eng.pivot, nullptr);
    EXPECT_EQ(eng.ringEntry, nullptr);
    EXPECT_EQ(colourDigits(map), coloursMidway);

    colouring.restart();
    EXPECT_EQ(colouring.phase(), Phase::prepare);
    EXPECT_EQ(colourDigits(map), coloursMidway);

    colouring.reset(true);
    for (MapNode* n = map.nodeList; n; n = n->next) {
        EXPECT_EQ(n->colour, 0);
        EXPECT_EQ(n->ringContacts, 0);
        EXPECT_EQ(n->pathMark, 0);
    }
}
