#include "runs/trace.h"
#include <cstdio>

namespace orvane {

namespace {
int numberOf(const Map& map, NodeIndex v) { return v == noNode ? 0 : map.number(v); }
}  // namespace

std::string colourRow(const Colouring& colouring)
{
    static const char letters[] = ".RGYB*";
    const Map& map = colouring.map();
    std::string row;
    row.reserve(static_cast<size_t>(map.nodeCount()));
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const ColourCode c = colouring.colour(map.numbered(k));
        row += c >= 0 && c <= 5 ? letters[c] : '?';
    }
    return row;
}

std::string traceLine(long step, Phase before, uint16_t result, const Colouring& colouring)
{
    const EngineState& s = colouring.state();
    const Map& map = colouring.map();
    char head[64];
    std::snprintf(head, sizeof head, "step %ld phase %u->%u result %u colours ", step, static_cast<unsigned>(before),
                  static_cast<unsigned>(s.EnginePhase), static_cast<unsigned>(result));
    char tail[160];
    std::snprintf(tail, sizeof tail, " ring %d cand %d arc %d,%d pivot %d path %d,%d cursor %d flag %u",
                  numberOf(map, s.ringEntry), numberOf(map, s.candidate), numberOf(map, s.arcFirst),
                  numberOf(map, s.arcLast), numberOf(map, s.pivot), numberOf(map, s.pathHead),
                  numberOf(map, s.pathTail), numberOf(map, s.pathCursor), static_cast<unsigned>(s.pathFlag));
    return head + colourRow(colouring) + tail;
}

long stepLimit(const Map& map) { return 20L * map.nodeCount() + 1000; }

TraceSummary stepToEnd(Colouring& colouring) { return stepToEnd(colouring, stepLimit(colouring.map())); }

TraceSummary stepToEnd(Colouring& colouring, long most)
{
    TraceSummary s;
    while (!colouring.map().empty() && !colouring.finished() && s.steps < most) {
        const Phase before = colouring.phase();
        const StepReport r = colouring.step(false);
        ++s.steps;
        if (r.finished) s.verify = r.result;
        s.digest = fnv1a(traceLine(s.steps, before, r.result, colouring) + "\n", s.digest);
    }
    s.colours = colourRow(colouring);
    return s;
}

}  // namespace orvane
