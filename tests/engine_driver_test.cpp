// The step driver: its transitions, its time limit and what it shows.
#include "engine_support.h"
#include <string>

using namespace enginetest;

namespace {
using Kind = HeadlessEvent::Kind;

int countEvents(Kind kind)
{
    int c = 0;
    for (const HeadlessEvent& e : headlessEvents()) c += e.kind == kind;
    return c;
}

int colouredCount()
{
    int c = 0;
    for (MapNode* n = nodeList; n; n = n->next) c += n->colour != 0;
    return c;
}
}  // namespace

using EngineDriver = EngineTest;

TEST_F(EngineDriver, DoesNothingWithoutMapOrOnceFinished)
{
    EXPECT_EQ(engineStep(false), 0);
    EXPECT_EQ(engineStep(true), 0);
    EXPECT_EQ(EnginePhase, phasePrepare);
    EXPECT_TRUE(headlessEvents().empty());

    buildSeeded(1, 100);
    EXPECT_EQ(engineStep(true), 0);  // a correct colouring verifies 0
    ASSERT_EQ(EnginePhase, phaseFinished);
    const std::string before = [] {
        std::string s;
        for (MapNode* n = nodeList; n; n = n->next) s += char('0' + n->colour);
        return s;
    }();
    headlessReset();
    EXPECT_EQ(engineStep(false), 0);
    EXPECT_EQ(engineStep(true), 0);
    EXPECT_TRUE(headlessEvents().empty());
    std::string after;
    for (MapNode* n = nodeList; n; n = n->next) after += char('0' + n->colour);
    EXPECT_EQ(after, before);
}

TEST_F(EngineDriver, FirstStepPreparesOnlyAndEnablesAllFour)
{
    buildSeeded(5, 100);
    EXPECT_EQ(engineStep(false), 0);
    EXPECT_EQ(EnginePhase, phaseGrow);
    EXPECT_EQ(colouredCount(), 3);
    EXPECT_EQ(countEvents(Kind::text), 0);
    EXPECT_TRUE(headlessControlEnabled(idStep));
    EXPECT_TRUE(headlessControlEnabled(idFull));
    EXPECT_TRUE(headlessControlEnabled(idClear));
    EXPECT_TRUE(headlessControlEnabled(idExport));
    ASSERT_FALSE(headlessEvents().empty());
    EXPECT_EQ(headlessEvents().back().kind, Kind::invalidate);
    EXPECT_EQ(headlessEvents().back().value, 1);
}

// Each single step ends only where the transition table says "step ends":
// phase 3 and 4 results of 0 go on through phase 2, growth's end goes on
// through completion, and completion without deferred nodes through verification.
TEST_F(EngineDriver, SingleStepsContinueThroughAtOnceTransitions)
{
    int sawFreed = 0;
    for (uint32_t seed : {36u, 155u, 174u, 187u, 3u}) {
        buildSeeded(seed, 100);
        while (!engineFinished()) {
            const uint8_t before = EnginePhase;
            const bool hadDeferred = deferredList != nullptr;
            const uint16_t r = engineStep(false);
            const uint8_t after = EnginePhase;
            switch (before) {
            case phasePrepare: EXPECT_EQ(after, phaseGrow); break;
            case phaseGrow:
                EXPECT_TRUE(after == phaseGrow || after == phaseLocate ||
                            after == (hadDeferred ? phaseVerify : phaseFinished));
                break;
            case phaseLocate: EXPECT_TRUE(after == phaseGrow || after == phaseFreePivot); break;
            case phaseFreePivot:
                EXPECT_NE(after, phaseLocate);
                sawFreed += after != phaseWalkPath;
                break;
            case phaseWalkPath: EXPECT_NE(after, phaseLocate); break;
            case phaseClearCursor: EXPECT_TRUE(after == phaseWalkPath || after == phaseShake); break;
            case phaseShake: EXPECT_EQ(after, phaseLocate); break;
            case phaseVerify: EXPECT_EQ(after, phaseFinished); break;
            default: ADD_FAILURE() << "unexpected phase " << int(before);
            }
            EXPECT_EQ(r, after == phaseFinished ? firstBadNode() : 0);
        }
    }
    EXPECT_GT(sawFreed, 0);
}

TEST_F(EngineDriver, GrowthEndWithoutDeferredNodesVerifiesInTheSameStep)
{
    // Three sites: nothing to defer; the start triangle is the whole map.
    buildSeeded(1, 3);
    engineStep(false);
    ASSERT_EQ(EnginePhase, phaseGrow);
    ASSERT_EQ(deferredList, nullptr);
    headlessReset();
    EXPECT_EQ(engineStep(false), 0);
    EXPECT_EQ(EnginePhase, phaseFinished);
    EXPECT_EQ(headlessControlText(idStatus), std::u16string(successText));
    EXPECT_FALSE(headlessControlEnabled(idStep));
    EXPECT_FALSE(headlessControlEnabled(idFull));
    EXPECT_TRUE(headlessControlEnabled(idClear));
    EXPECT_TRUE(headlessControlEnabled(idExport));
}

TEST_F(EngineDriver, RunToEndFinishesAndShowsOnlyWhereTheModeAllows)
{
    for (int8_t mode : {0, 1, 2}) {
        SCOPED_TRACE(int(mode));
        displayMode = mode;
        buildSeeded(11, 200);
        headlessReset();
        EXPECT_EQ(engineStep(true), 0);
        EXPECT_EQ(EnginePhase, phaseFinished);
        EXPECT_EQ(firstBadNode(), 0);
        EXPECT_EQ(countEvents(Kind::text), mode == 1 ? 0 : 1);
        if (mode != 1) {
            EXPECT_EQ(headlessControlText(idStatus), std::u16string(successText));
        }
        EXPECT_EQ(countEvents(Kind::enable), mode == 0 ? 4 : 0);
        EXPECT_EQ(countEvents(Kind::invalidate), mode == 0 ? 1 : 0);
    }
}

TEST_F(EngineDriver, BatchModeStepsTouchNothing)
{
    displayMode = 1;
    buildSeeded(36, 100);
    headlessReset();
    while (!engineFinished()) engineStep(false);
    EXPECT_TRUE(headlessEvents().empty());
}

TEST_F(EngineDriver, TimeLimitAtTheStartLeavesTheMapUncolouredAndFails)
{
    buildSeeded(2, 100);
    useSteppingClock(1000, 20000);  // every reading is 20 s after the last
    const uint16_t r = engineStep(true);
    EXPECT_EQ(EnginePhase, phaseFinished);
    EXPECT_EQ(colouredCount(), 0);
    EXPECT_EQ(r, nodeList->number);
    EXPECT_EQ(r, firstBadNode());
    EXPECT_EQ(headlessControlText(idStatus), std::u16string(failureText));
}

TEST_F(EngineDriver, TimeLimitMidConflictStillCompletesAndVerifies)
{
    buildSeeded(36, 100);
    stepUntil([] { return EnginePhase == phaseFreePivot && candidate; });
    ASSERT_EQ(EnginePhase, phaseFreePivot);
    ASSERT_NE(deferredList, nullptr);
    const MapNode* blocked = candidate;
    const auto bordersBefore = allBorders();
    useSteppingClock(500, 11000);  // the first check is already past the limit
    const uint16_t r = engineStep(true);
    EXPECT_EQ(EnginePhase, phaseFinished);
    EXPECT_EQ(deferredList, nullptr);
    EXPECT_EQ(allBorders(), bordersBefore);
    EXPECT_EQ(static_cast<int>(listNodes(nodeList).size()), nodeStorageCount);
    EXPECT_EQ(blocked->colour, colourBlocked);
    EXPECT_NE(r, 0);
    EXPECT_EQ(r, firstBadNode());
    EXPECT_EQ(candidate, nullptr);  // completion reset the engine globals
    EXPECT_EQ(pivot, nullptr);
    EXPECT_EQ(pathHead, nullptr);
}

TEST_F(EngineDriver, TimeLimitUsesTheWrappingDifferenceAndSparesSingleSteps)
{
    buildSeeded(7, 100);
    useSteppingClock(0xFFFFFF00u, 1);  // wraps during the run, stays far below the limit
    EXPECT_EQ(engineStep(true), 0);
    EXPECT_EQ(EnginePhase, phaseFinished);
    EXPECT_EQ(firstBadNode(), 0);

    buildSeeded(7, 100);
    useSteppingClock(0, 50000);
    for (int i = 0; i < 20; ++i) engineStep(false);
    EXPECT_FALSE(engineFinished());
    EXPECT_GT(colouredCount(), 20);
}

TEST_F(EngineDriver, ClearColouringMidwayRestoresTheBuiltMap)
{
    for (long steps : {1L, 40L, 113L}) {
        SCOPED_TRACE(steps);
        buildSeeded(36, 100);
        const auto built = allBorders();
        for (long k = 0; k < steps; ++k) engineStep(false);
        ASSERT_NE(deferredList, nullptr);
        headlessReset();
        clearColouring();
        EXPECT_EQ(EnginePhase, phasePrepare);
        EXPECT_EQ(deferredList, nullptr);
        EXPECT_EQ(static_cast<int>(listNodes(nodeList).size()), nodeStorageCount);
        EXPECT_EQ(allBorders(), built);
        for (MapNode* n = nodeList; n; n = n->next) {
            EXPECT_EQ(n->parkedLinks, nullptr);
            EXPECT_EQ(n->colour, 0);
            EXPECT_EQ(n->ringContacts, 0);
            EXPECT_EQ(n->pathMark, 0);
        }
        EXPECT_TRUE(ringsCoverLinks());
        EXPECT_EQ(ringEntry, nullptr);
        EXPECT_EQ(headlessControlText(idStatus), u"");
        EXPECT_TRUE(headlessControlEnabled(idStep));
        EXPECT_TRUE(headlessControlEnabled(idFull));
        EXPECT_FALSE(headlessControlEnabled(idClear));
        // The cleared map colours again to the end.
        engineStep(true);
        EXPECT_EQ(EnginePhase, phaseFinished);
        EXPECT_EQ(firstBadNode(), 0);
    }
}
