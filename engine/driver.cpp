// The step driver with its transition table, the reset, and the colouring's
// public face.
#include "engine/internal.h"
#include <chrono>

namespace orvane {

namespace {
enum class Continuation { stepEnds, atOnce };

struct Transition {
    Phase next;
    Continuation how;
};

constexpr Transition stepTo(Phase p) { return {p, Continuation::stepEnds}; }
constexpr Transition goOnWith(Phase p) { return {p, Continuation::atOnce}; }

// Runs the routine of the current phase and gives the next phase.
Transition runPhase(Engine& e, Phase phase)
{
    switch (phase) {
    case Phase::prepare:
        // A map without a start triangle cannot be coloured: let completion
        // and verification report it.
        return e.prepareColouring() ? stepTo(Phase::grow) : goOnWith(Phase::complete);
    case Phase::grow:
        switch (e.growRing()) {
        case GrowthOutcome::inserted: return stepTo(Phase::grow);
        case GrowthOutcome::needsResolution: return stepTo(Phase::locate);
        case GrowthOutcome::finished: return goOnWith(Phase::complete);
        }
        break;
    case Phase::locate:
        return e.locateBlocker() == LocateOutcome::noColour4Left ? stepTo(Phase::grow) : stepTo(Phase::freePivot);
    case Phase::freePivot:
        return e.freePivot() == FreePivotOutcome::pivotFreed ? goOnWith(Phase::locate) : stepTo(Phase::walkPath);
    case Phase::walkPath:
        switch (e.walkPath()) {
        case WalkOutcome::pivotCleared: return goOnWith(Phase::locate);
        case WalkOutcome::rerouted: return stepTo(Phase::walkPath);
        case WalkOutcome::cursorSet: return stepTo(Phase::clearCursor);
        }
        break;
    case Phase::clearCursor:
        return e.clearCursor() == CursorOutcome::noMove ? stepTo(Phase::shake) : stepTo(Phase::walkPath);
    case Phase::shake:
        e.shakePivot();
        return stepTo(Phase::locate);
    case Phase::complete:
        return e.completeColouring() == CompletionOutcome::nothingDeferred ? goOnWith(Phase::verify)
                                                                          : stepTo(Phase::verify);
    default:
        break;
    }
    return goOnWith(Phase::complete);
}
}  // namespace

Engine::Engine(Map& m, Clock c, Paths p) : map(m), clock(std::move(c)), paths(p), boundGeneration(m.generation()) {}

void Engine::followMap()
{
    if (boundGeneration == map.generation()) return;
    boundGeneration = map.generation();
    resetEngine(false);
    EnginePhase = Phase::prepare;
}

StepReport Engine::engineStep(bool runToEnd)
{
    followMap();
    StepReport report;
    if (!map.nodeList || isFinished(EnginePhase)) return report;
    report.ran = true;
    const uint32_t start = clock();
    for (;;) {
        // The clock may wrap: the unsigned difference stays right.
        if (runToEnd && EnginePhase < Phase::complete && clock() - start > engineTimeLimitMs)
            EnginePhase = Phase::complete;
        if (EnginePhase == Phase::verify) {
            report.verified = true;
            report.result = verifyColouring();
            EnginePhase = Phase::finished;
            break;
        }
        const Transition t = runPhase(*this, EnginePhase);
        EnginePhase = t.next;
        if (!runToEnd && t.how == Continuation::stepEnds) break;
    }
    report.finished = isFinished(EnginePhase);
    return report;
}

void Engine::resetEngine(bool clearColours)
{
    endScratchTracking();
    growthDone = 0;
    pathFlag = 0;
    candidate = ringEntry = pivot = nullptr;
    arcFirst = arcLast = nullptr;
    pathHead = pathTail = pathCursor = nullptr;
    if (!clearColours) return;
    for (MapNode* n = map.nodeList; n; n = n->next) {
        n->colour = colourNone;
        n->ringContacts = 0;
        n->pathMark = 0;
    }
}

Clock steadyClock()
{
    return [] {
        using namespace std::chrono;
        return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

Colouring::Colouring(Map& map, Clock clock, Paths paths) : engine_(std::make_unique<Engine>(map, std::move(clock), paths)) {}
Colouring::~Colouring() = default;

StepReport Colouring::step(bool runToEnd) { return engine_->engineStep(runToEnd); }

void Colouring::restart()
{
    engine_->followMap();
    engine_->resetEngine(false);
    engine_->EnginePhase = Phase::prepare;
}

void Colouring::reset(bool clearColours)
{
    engine_->followMap();
    engine_->resetEngine(clearColours);
}

void Colouring::clear()
{
    engine_->followMap();
    engine_->EnginePhase = Phase::prepare;
    engine_->resetEngine(true);
    engine_->restoreDeferred();
}

// A rebuilt or released map is noticed on every read, so no reader ever
// follows a reference into the old one.
bool Colouring::finished() const { return isFinished(phase()); }
Phase Colouring::phase() const { return state().EnginePhase; }
const EngineState& Colouring::state() const
{
    engine_->followMap();
    return *engine_;
}
Map& Colouring::map() const { return engine_->map; }

Engine& Colouring::engine()
{
    engine_->followMap();
    return *engine_;
}
uint16_t Colouring::verify() const { return engine_->verifyColouring(); }
void Colouring::setClock(Clock clock) { engine_->clock = std::move(clock); }
Paths Colouring::paths() const { return engine_->paths; }
void Colouring::setPaths(Paths paths) { engine_->paths = paths; }

}  // namespace orvane
