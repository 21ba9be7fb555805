// The step driver with its transition table, the reset, and the colouring's
// public face.
#include <chrono>
#include "engine/work.h"

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
Transition runPhase(ColouringWork& w, Phase phase)
{
    switch (phase) {
    case Phase::prepare:
        // A map without a start triangle cannot be coloured: let completion
        // and verification report it.
        return w.prepareColouring() ? stepTo(Phase::grow) : goOnWith(Phase::complete);
    case Phase::grow:
        switch (w.growRing()) {
        case GrowthOutcome::inserted: return stepTo(Phase::grow);
        case GrowthOutcome::needsResolution: return stepTo(Phase::locate);
        case GrowthOutcome::finished: return goOnWith(Phase::complete);
        }
        break;
    case Phase::locate:
        return w.locateBlocker() == LocateOutcome::noColour4Left ? stepTo(Phase::grow) : stepTo(Phase::freePivot);
    case Phase::freePivot:
        return w.freePivot() == FreePivotOutcome::pivotFreed ? goOnWith(Phase::locate) : stepTo(Phase::walkPath);
    case Phase::walkPath:
        switch (w.path.walkPath()) {
        case WalkOutcome::pivotCleared: return goOnWith(Phase::locate);
        case WalkOutcome::rerouted: return stepTo(Phase::walkPath);
        case WalkOutcome::cursorSet: return stepTo(Phase::clearCursor);
        }
        break;
    case Phase::clearCursor:
        return w.path.clearCursor() == CursorOutcome::noMove ? stepTo(Phase::shake) : stepTo(Phase::walkPath);
    case Phase::shake:
        w.path.shakePivot();
        return stepTo(Phase::locate);
    case Phase::complete:
        return w.completeColouring() == CompletionOutcome::nothingDeferred ? goOnWith(Phase::verify)
                                                                          : stepTo(Phase::verify);
    default:
        break;
    }
    return goOnWith(Phase::complete);
}

const std::shared_ptr<const Map>& emptyMap()
{
    static const std::shared_ptr<const Map> empty = std::make_shared<const Map>();
    return empty;
}
}  // namespace

ColouringWork::ColouringWork(Clock c, Paths p) : clock(std::move(c)), paths(p) {}

void ColouringWork::start(const Map& map)
{
    map_ = &map;
    state = EngineState{};
    const size_t n = static_cast<size_t>(map.nodeCount());
    fields.start(n);
    list.start(map);
    borders.start(map);
    setTracking(false);
}

// The fast paths keep their bookkeeping from preparation to completion.
void ColouringWork::setTracking(bool on)
{
    tracking_ = on;
    const size_t n = fields.hot.size();
    fills.begin(on, n);
    trimming.begin(on, n);
    path.begin(on, n);
    sides.setTracking(on);
    frontier.stop();
    if (on) list.numberPositions();
}

StepReport ColouringWork::engineStep(bool runToEnd)
{
    StepReport report;
    if (list.head() == noNode || isFinished(state.EnginePhase)) return report;
    report.ran = true;
    const uint32_t start = clock();
    for (;;) {
        // The clock may wrap: the unsigned difference stays right.
        if (runToEnd && state.EnginePhase < Phase::complete && clock() - start > engineTimeLimitMs)
            state.EnginePhase = Phase::complete;
        if (state.EnginePhase == Phase::verify) {
            report.verified = true;
            report.result = verifyColouring();
            state.EnginePhase = Phase::finished;
            break;
        }
        const Transition t = runPhase(*this, state.EnginePhase);
        state.EnginePhase = t.next;
        if (!runToEnd && t.how == Continuation::stepEnds) break;
    }
    report.finished = isFinished(state.EnginePhase);
    return report;
}

void ColouringWork::resetEngine(bool clearColours)
{
    tracking_ = false;
    fills.end();
    trimming.end();
    path.end();
    sides.setTracking(false);
    frontier.stop();
    const Phase phase = state.EnginePhase;
    state = EngineState{};
    state.EnginePhase = phase;
    if (!clearColours) return;
    list.forEach([this](NodeIndex v) {
        fields.hot[v].colour = colourNone;
        fields.ringContacts[v] = 0;
        fields.pathMark[v] = PathMark::none;
    });
}

Clock steadyClock()
{
    return [] {
        using namespace std::chrono;
        return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

Colouring::Colouring(std::shared_ptr<const Map> map, Clock clock, Paths paths)
    : map_(map ? std::move(map) : emptyMap()), work_(std::make_unique<ColouringWork>(std::move(clock), paths))
{
    work_->start(*map_);
}

Colouring::~Colouring() = default;

StepReport Colouring::step(bool runToEnd) { return work_->engineStep(runToEnd); }

void Colouring::restart() { work_->start(*map_); }

void Colouring::restart(std::shared_ptr<const Map> map)
{
    // The old map may go only once nothing refers to it.
    std::shared_ptr<const Map> old = std::move(map_);
    map_ = map ? std::move(map) : emptyMap();
    work_->start(*map_);
}

void Colouring::reset(bool clearColours) { work_->resetEngine(clearColours); }

void Colouring::clear()
{
    work_->state.EnginePhase = Phase::prepare;
    work_->resetEngine(true);
    work_->restoreDeferred();
}

bool Colouring::finished() const { return isFinished(phase()); }
Phase Colouring::phase() const { return work_->state.EnginePhase; }
const EngineState& Colouring::state() const { return work_->state; }
uint16_t Colouring::verify() const { return work_->verifyColouring(); }
void Colouring::setClock(Clock clock) { work_->clock = std::move(clock); }
Paths Colouring::paths() const { return work_->paths; }
void Colouring::setPaths(Paths paths) { work_->paths = paths; }

ColourCode Colouring::colour(NodeIndex v) const { return work_->fields.colour(v); }

ColourCode Colouring::colourOf(int number) const
{
    const NodeIndex v = map_->numbered(number);
    return v == noNode ? colourNone : work_->fields.colour(v);
}

NodeIndex Colouring::ringNext(NodeIndex v) const { return work_->fields.ringNext[v]; }
NodeIndex Colouring::pathPrev(NodeIndex v) const { return work_->fields.pathPrev[v]; }
NodeIndex Colouring::firstListed() const { return work_->list.head(); }
NodeIndex Colouring::nextListed(NodeIndex v) const { return work_->list.next(v); }
std::span<const NodeIndex> Colouring::links(NodeIndex v) const { return work_->borders.links(v); }

}  // namespace orvane
