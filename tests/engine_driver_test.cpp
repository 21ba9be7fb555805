// The step driver: its transitions, its time limit, what each step reports,
// and a colouring's life with its map.
#include "engine_support.h"
#include "platform/headless.h"
#include "runs/export.h"
#include "runs/trace.h"
#include <string>

using namespace enginetest;

namespace {
std::string colourDigits(const Colouring& colouring)
{
    std::string s;
    for (NodeIndex v = colouring.firstListed(); v != noNode; v = colouring.nextListed(v))
        s += char('0' + colouring.colour(v));
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
    const std::string before = colourDigits(colouring);
    const std::vector<NodeIndex> order = listNodes();
    expectReport(colouring.step(false), false, false, false, 0);
    expectReport(colouring.step(true), false, false, false, 0);
    EXPECT_EQ(colouring.run(), 0);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(colourDigits(colouring), before);
    EXPECT_EQ(listNodes(), order);
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
            const bool hadDeferred = eng.list.deferredHead() != noNode;
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
    ASSERT_EQ(eng.list.deferredHead(), noNode);
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
    expectReport(r, true, true, true, static_cast<uint16_t>(numberOf(eng.list.head())));
    EXPECT_EQ(r.result, firstBadNode());
}

TEST_F(EngineDriver, TimeLimitMidConflictStillCompletesAndVerifies)
{
    buildSeeded(36, 100);
    stepUntil([&] { return colouring.phase() == Phase::freePivot && state.candidate != noNode; });
    ASSERT_EQ(colouring.phase(), Phase::freePivot);
    ASSERT_NE(eng.list.deferredHead(), noNode);
    const NodeIndex blocked = state.candidate;
    const auto bordersBefore = allBorders();
    useSteppingClock(500, 11000);  // the first check is already past the limit
    const StepReport r = colouring.step(true);
    EXPECT_EQ(colouring.phase(), Phase::finished);
    EXPECT_EQ(eng.list.deferredHead(), noNode);
    EXPECT_EQ(allBorders(), bordersBefore);
    EXPECT_EQ(static_cast<int>(listNodes().size()), map->nodeCount());
    EXPECT_EQ(colourAt(blocked), colourBlocked);
    EXPECT_TRUE(r.verified);
    EXPECT_NE(r.result, 0);
    EXPECT_EQ(r.result, firstBadNode());
    EXPECT_EQ(state.candidate, noNode);  // completion reset the engine's references
    EXPECT_EQ(state.pivot, noNode);
    EXPECT_EQ(state.pathHead, noNode);
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
        ASSERT_NE(eng.list.deferredHead(), noNode);
        colouring.clear();
        EXPECT_EQ(colouring.phase(), Phase::prepare);
        EXPECT_EQ(eng.list.deferredHead(), noNode);
        EXPECT_EQ(static_cast<int>(listNodes().size()), map->nodeCount());
        EXPECT_EQ(allBorders(), built);
        for (const NodeIndex n : listNodes()) {
            EXPECT_FALSE(eng.borders.hasParked(n));
            EXPECT_EQ(colourAt(n), 0);
            EXPECT_EQ(fields.ringContacts[n], 0);
            EXPECT_EQ(fields.pathMark[n], PathMark::none);
        }
        EXPECT_TRUE(ringsCoverLinks());
        EXPECT_EQ(colouring.state().ringEntry, noNode);
        EXPECT_EQ(colouring.state().pivot, noNode);
        // The cleared map colours again to the end.
        expectReport(colouring.step(true), true, true, true, 0);
        EXPECT_EQ(colouring.phase(), Phase::finished);
        EXPECT_EQ(firstBadNode(), 0);
    }
}

// A colouring starts again on the same map or on another: restart gives
// exactly the colouring a new Colouring would give, whatever state the old
// one was in.
TEST_F(EngineDriver, RestartStartsAFreshColouringOfTheSameOrAnotherMap)
{
    buildSeeded(36, 100);
    stepUntil([&] { return colouring.phase() == Phase::walkPath; });
    ASSERT_EQ(colouring.phase(), Phase::walkPath);
    ASSERT_NE(colouring.state().pivot, noNode);

    const std::shared_ptr<const Map> other = Map::build(37, 100);
    colouring.restart(other);
    const EngineState& s = colouring.state();
    EXPECT_EQ(s.EnginePhase, Phase::prepare);
    for (NodeIndex r : {s.ringEntry, s.candidate, s.arcFirst, s.arcLast, s.pivot, s.pathHead, s.pathTail, s.pathCursor})
        EXPECT_EQ(r, noNode);
    EXPECT_FALSE(s.growthDone);
    EXPECT_FALSE(s.pathFlag);
    EXPECT_EQ(&colouring.map(), other.get());
    const TraceSummary restarted = stepToEnd(colouring);
    Colouring fresh(other);
    const TraceSummary expected = stepToEnd(fresh);
    EXPECT_EQ(restarted.digest, expected.digest);
    EXPECT_EQ(restarted.steps, expected.steps);
    EXPECT_EQ(restarted.verify, 0);

    // The same map, in the middle of a shake and after a whole colouring.
    buildSeeded(155, 100);
    const TraceSummary first = stepToEnd(colouring);
    colouring.restart();
    stepUntil([&] { return colouring.phase() == Phase::shake; });
    ASSERT_EQ(colouring.phase(), Phase::shake);
    colouring.restart();
    EXPECT_EQ(colouredCount(), 0);
    EXPECT_EQ(static_cast<int>(listNodes().size()), map->nodeCount());
    const TraceSummary again = stepToEnd(colouring);
    EXPECT_EQ(again.digest, first.digest);

    // An empty map: nothing to step.
    colouring.restart(nullptr);
    expectReport(colouring.step(true), false, false, false, 0);
    EXPECT_FALSE(colouring.finished());
    EXPECT_TRUE(colouring.map().empty());
}

TEST_F(EngineDriver, ResetDropsTheReferencesAndKeepsOrClearsTheColours)
{
    buildSeeded(155, 100);
    stepUntil([&] { return colouring.phase() == Phase::shake; });
    ASSERT_NE(state.pathCursor, noNode);
    const std::string coloursMidway = colourDigits(colouring);

    colouring.reset(false);  // references dropped, colours and phase stay
    EXPECT_EQ(colouring.phase(), Phase::shake);
    EXPECT_EQ(state.pathCursor, noNode);
    EXPECT_EQ(state.pivot, noNode);
    EXPECT_EQ(state.ringEntry, noNode);
    EXPECT_EQ(colourDigits(colouring), coloursMidway);

    colouring.reset(true);
    for (const NodeIndex n : listNodes()) {
        EXPECT_EQ(colourAt(n), 0);
        EXPECT_EQ(fields.ringContacts[n], 0);
        EXPECT_EQ(fields.pathMark[n], PathMark::none);
    }
}
