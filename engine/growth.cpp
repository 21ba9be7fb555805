// Ring growth: insert the uncoloured node nearest the centre whose coloured
// neighbours form one stretch of the ring.
#include <climits>
#include "engine/work.h"

namespace orvane {

namespace {
// Walks around v from the place `from` in one direction over coloured
// neighbours, counting them; stops before an uncoloured one or after an outer
// one. Returns the last one met (from's own neighbour when none).
NodeIndex runEnd(const Map& map, const WorkingBorders& borders, const NodeFields& fields, NodeIndex v, uint32_t from,
                 bool backwards, int& count)
{
    NodeIndex end = borders.atPlace(from);
    uint32_t place = from;
    for (size_t steps = borders.links(v).size(); steps > 0; --steps) {
        place = backwards ? borders.previousPlace(v, place) : borders.nextPlace(v, place);
        const NodeIndex n = borders.atPlace(place);
        if (place == from || fields.colour(n) == colourNone) break;
        ++count;
        end = n;
        if (map.isOuter(n)) break;
    }
    return end;
}

unsigned arcColourMask(const NodeFields& fields, NodeIndex first, NodeIndex last, int limit)
{
    unsigned mask = 0;
    for (NodeIndex n = first; n != noNode && limit-- > 0; n = fields.ringPrev[n]) {
        const ColourCode c = fields.colour(n);
        if (c >= colourR && c <= colourB) mask |= colourBit(c);
        if (n == last) break;
    }
    return mask;
}

ColourCode leastFreeColour(unsigned mask)
{
    for (const ColourCode c : {colourR, colourG, colourY})
        if (!(mask & colourBit(c))) return c;
    return colourB;
}
}  // namespace

// The contact arc of v: through its first coloured neighbour inside the map,
// or between its two coloured outer neighbours when all lie on the boundary.
bool ColouringWork::findContactArc(NodeIndex v, NodeIndex& first, NodeIndex& last) const
{
    bool anyColoured = false;
    for (const NodeIndex n : borders.links(v)) {
        if (fields.colour(n) == colourNone) continue;
        anyColoured = true;
        if (map_->isOuter(n)) continue;
        // Every coloured neighbour lies in the one run around n.
        const uint32_t place = borders.placeOf(v, n);
        int count = 1;
        first = runEnd(*map_, borders, fields, v, place, true, count);
        last = runEnd(*map_, borders, fields, v, place, false, count);
        return count == fields.ringContacts[v];
    }
    if (!anyColoured) return false;
    NodeIndex x = noNode, y = noNode;
    for (const NodeIndex n : borders.links(v)) {
        if (fields.colour(n) == colourNone) continue;
        if (x == noNode) x = n; else y = n;
    }
    if (y == noNode) return false;
    if (fields.ringPrev[x] == y) { first = x; last = y; }
    else if (fields.ringNext[x] == y) { first = y; last = x; }
    else return false;
    uint32_t place = borders.placeOf(v, first);
    for (size_t steps = borders.links(v).size(); steps > 0; --steps) {
        place = borders.nextPlace(v, place);
        const NodeIndex n = borders.atPlace(place);
        if (fields.colour(n) == colourNone) return false;
        if (n == last) return true;
    }
    return false;
}

// The uncoloured node nearest the centre (earliest in the list on equal
// distances) whose coloured neighbours form one stretch of the ring.
NodeIndex ColouringWork::scanForCandidate(NodeIndex& first, NodeIndex& last) const
{
    NodeIndex best = noNode;
    int32_t bestDistance = INT32_MAX;
    list.forEach([&](NodeIndex v) {
        if (fields.colour(v) != colourNone || fields.ringContacts[v] < 2 || map_->centreDistance(v) >= bestDistance)
            return;
        NodeIndex f, l;
        if (!findContactArc(v, f, l)) return;
        best = v;
        first = f;
        last = l;
        bestDistance = map_->centreDistance(v);
    });
    return best;
}

bool ColouringWork::outerBoundaryHasColour4() const
{
    const NodeIndex start = map_->outerStart();
    NodeIndex n = start;
    if (n == noNode) return false;
    do {
        if (fields.colour(n) == colourB) return true;
        n = map_->outer(n);
    } while (n != noNode && n != start);
    return false;
}

// Puts an uncoloured node into the ring between the arc ends and counts its contacts.
void ColouringWork::insertIntoRing(NodeIndex v, NodeIndex first, NodeIndex last)
{
    fields.ringNext[v] = first;
    fields.ringPrev[v] = last;
    fields.ringNext[last] = v;
    fields.ringPrev[first] = v;
    state.ringEntry = v;
    for (const NodeIndex n : borders.links(v)) countContact(n);
}

void ColouringWork::countContact(NodeIndex n)
{
    if (++fields.ringContacts[n] == 2 && frontier.active() && fields.colour(n) == colourNone) frontier.enter(n);
}

GrowthOutcome ColouringWork::growRing()
{
    if (state.growthDone) return GrowthOutcome::finished;
    state.candidate = noNode;
    NodeIndex first = noNode, last = noNode;
    const NodeIndex best = frontier.active()
                               ? frontier.candidate(fields, [&](NodeIndex v) { return findContactArc(v, first, last); })
                               : scanForCandidate(first, last);
    state.candidate = best;
    if (best == noNode) {
        if (!outerBoundaryHasColour4()) return GrowthOutcome::finished;
        // The whole ring becomes the arc of the boundary's clean-up.
        state.arcFirst = state.ringEntry;
        state.arcLast = fields.ringNext[state.ringEntry];
        path.clearSwapCursors();
        state.growthDone = true;
        return GrowthOutcome::needsResolution;
    }
    const unsigned mask = arcColourMask(fields, first, last, walkLimit());
    if (mask == allFourColours) {
        fields.hot[best].colour = colourBlocked;
        state.pivot = noNode;
        state.arcFirst = first;
        state.arcLast = last;
        path.clearSwapCursors();
        return GrowthOutcome::needsResolution;
    }
    fields.hot[best].colour = leastFreeColour(mask);
    insertIntoRing(best, first, last);
    return GrowthOutcome::inserted;
}

}  // namespace orvane
