#include "runs/trace.h"
#include <algorithm>
#include <cstdio>

namespace orvane {

namespace {
int numberOf(const MapNode* n) { return n ? n->number : 0; }
}  // namespace

std::vector<const MapNode*> nodesByNumber(const Map& map)
{
    std::vector<const MapNode*> v;
    for (int i = 0; i < map.nodeStorageCount(); ++i) v.push_back(&map.nodeStorage()[i]);
    std::sort(v.begin(), v.end(), [](const MapNode* a, const MapNode* b) { return a->number < b->number; });
    return v;
}

std::string colourRow(const std::vector<const MapNode*>& byNumber)
{
    static const char letters[] = ".RGYB*";
    std::string row;
    row.reserve(byNumber.size());
    for (const MapNode* n : byNumber) row += n->colour >= 0 && n->colour <= 5 ? letters[n->colour] : '?';
    return row;
}

std::string traceLine(long step, Phase before, uint16_t result, const EngineState& s,
                      const std::vector<const MapNode*>& byNumber)
{
    char head[64];
    std::snprintf(head, sizeof head, "step %ld phase %u->%u result %u colours ", step, static_cast<unsigned>(before),
                  static_cast<unsigned>(s.EnginePhase), static_cast<unsigned>(result));
    char tail[160];
    std::snprintf(tail, sizeof tail, " ring %d cand %d arc %d,%d pivot %d path %d,%d cursor %d flag %u",
                  numberOf(s.ringEntry), numberOf(s.candidate), numberOf(s.arcFirst), numberOf(s.arcLast),
                  numberOf(s.pivot), numberOf(s.pathHead), numberOf(s.pathTail), numberOf(s.pathCursor),
                  static_cast<unsigned>(s.pathFlag));
    return head + colourRow(byNumber) + tail;
}

long stepLimit(const Map& map) { return 20L * map.nodeStorageCount() + 1000; }

TraceSummary stepToEnd(Colouring& colouring) { return stepToEnd(colouring, stepLimit(colouring.map())); }

TraceSummary stepToEnd(Colouring& colouring, long most)
{
    const std::vector<const MapNode*> byNumber = nodesByNumber(colouring.map());
    TraceSummary s;
    while (!colouring.map().empty() && !colouring.finished() && s.steps < most) {
        const Phase before = colouring.phase();
        const StepReport r = colouring.step(false);
        ++s.steps;
        if (r.finished) s.verify = r.result;
        s.digest = fnv1a(traceLine(s.steps, before, r.result, colouring.state(), byNumber) + "\n", s.digest);
    }
    s.colours = colourRow(byNumber);
    return s;
}

}  // namespace orvane
