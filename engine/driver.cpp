// Engine globals, the step driver with its transition table, and the reset.
#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/ui.h"

uint8_t EnginePhase = phasePrepare;
uint8_t growthDone = 0;
MapNode* ringEntry = nullptr;
MapNode* candidate = nullptr;
MapNode* arcFirst = nullptr;
MapNode* arcLast = nullptr;
MapNode* pivot = nullptr;
MapNode* pathHead = nullptr;
MapNode* pathTail = nullptr;
MapNode* pathCursor = nullptr;
uint8_t pathFlag = 0;
int8_t fillFrom = 0;
int8_t fillTo = 0;

const char16_t successText[] = u"成功＼(^o^)／";
const char16_t failureText[] = u"失敗（´Д`）";

namespace {
enum Continuation { stepEnds, atOnce };

struct Transition {
    uint8_t next;
    Continuation how;
};

// Runs the routine of the current phase and gives the next phase.
Transition runPhase(uint8_t phase)
{
    switch (phase) {
    case phasePrepare:
        // A map without a start triangle cannot be coloured: let completion
        // and verification report it.
        return prepareColouring() == 0 ? Transition{phaseGrow, stepEnds} : Transition{phaseComplete, atOnce};
    case phaseGrow:
        switch (growRing()) {
        case 0: return {phaseGrow, stepEnds};
        case 1: return {phaseLocate, stepEnds};
        default: return {phaseComplete, atOnce};
        }
    case phaseLocate:
        return locateBlocker() == 0 ? Transition{phaseGrow, stepEnds} : Transition{phaseFreePivot, stepEnds};
    case phaseFreePivot:
        return freePivot() == 0 ? Transition{phaseLocate, atOnce} : Transition{phaseWalkPath, stepEnds};
    case phaseWalkPath:
        switch (walkPath()) {
        case 0: return {phaseLocate, atOnce};
        case 1: return {phaseWalkPath, stepEnds};
        default: return {phaseClearCursor, stepEnds};
        }
    case phaseClearCursor:
        return clearCursor() == 2 ? Transition{phaseShake, stepEnds} : Transition{phaseWalkPath, stepEnds};
    case phaseShake:
        shakePivot();
        return {phaseLocate, stepEnds};
    case phaseComplete:
        return completeColouring() == 0 ? Transition{phaseVerify, atOnce} : Transition{phaseVerify, stepEnds};
    default:
        return {phaseComplete, atOnce};
    }
}

uint16_t finishWithVerification()
{
    const uint16_t result = verifyColouring();
    if (displayMode != 1) writeControlText(idStatus, result == 0 ? successText : failureText);
    EnginePhase = phaseFinished;
    return result;
}
}  // namespace

uint16_t engineStep(bool runToEnd)
{
    if (!nodeList || engineFinished()) return 0;
    const uint32_t start = clockMillis();
    uint16_t result = 0;
    for (;;) {
        if (runToEnd && EnginePhase < phaseComplete && clockMillis() - start > engineTimeLimitMs)
            EnginePhase = phaseComplete;
        if (EnginePhase == phaseVerify) {
            result = finishWithVerification();
            break;
        }
        const Transition t = runPhase(EnginePhase);
        EnginePhase = t.next;
        if (!runToEnd && t.how == stepEnds) break;
    }
    if (displayMode == 0) {
        setCommandState(engineFinished() ? 2 : 4);
        invalidateView(true);
    }
    return result;
}

void resetEngine(bool clearColours)
{
    endScratchTracking();
    growthDone = 0;
    pathFlag = 0;
    candidate = ringEntry = pivot = nullptr;
    arcFirst = arcLast = nullptr;
    pathHead = pathTail = pathCursor = nullptr;
    if (!clearColours) return;
    for (MapNode* n = nodeList; n; n = n->next) {
        n->colour = colourNone;
        n->ringContacts = 0;
        n->pathMark = 0;
    }
}

void clearColouring()
{
    EnginePhase = phasePrepare;
    writeControlText(idStatus, u"");
    resetEngine(true);
    restoreDeferred();
    invalidateView(true);
    setCommandState(3);
}
