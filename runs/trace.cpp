#include "runs/trace.h"
#include "engine/engine.h"
#include <algorithm>
#include <cstdio>

namespace {
int numberOf(const MapNode* n) { return n ? n->number : 0; }
}  // namespace

std::vector<const MapNode*> nodesByNumber()
{
    std::vector<const MapNode*> v;
    for (int i = 0; i < nodeStorageCount; ++i) v.push_back(&nodeStorage[i]);
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

std::string traceLine(long step, unsigned phaseBefore, unsigned result, const std::vector<const MapNode*>& byNumber)
{
    char head[64];
    std::snprintf(head, sizeof head, "step %ld phase %u->%u result %u colours ", step, phaseBefore,
                  static_cast<unsigned>(EnginePhase), result);
    char tail[160];
    std::snprintf(tail, sizeof tail, " ring %d cand %d arc %d,%d pivot %d path %d,%d cursor %d flag %u",
                  numberOf(ringEntry), numberOf(candidate), numberOf(arcFirst), numberOf(arcLast), numberOf(pivot),
                  numberOf(pathHead), numberOf(pathTail), numberOf(pathCursor), static_cast<unsigned>(pathFlag));
    return head + colourRow(byNumber) + tail;
}

long stepLimit() { return 20L * nodeStorageCount + 1000; }

TraceSummary stepToEnd(long most)
{
    const std::vector<const MapNode*> byNumber = nodesByNumber();
    TraceSummary s{0, -1, 1469598103934665603ULL, {}};
    while (nodeList && !engineFinished() && s.steps < most) {
        const unsigned before = EnginePhase;
        const uint16_t r = engineStep(false);
        ++s.steps;
        if (engineFinished()) s.verify = r;
        s.digest = fnv1a(traceLine(s.steps, before, r, byNumber) + "\n", s.digest);
    }
    s.colours = colourRow(byNumber);
    return s;
}
