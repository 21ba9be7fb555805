// Completion: colour the set-aside nodes in reverse order of deferral and put
// them back; verification of the finished colouring.
#include "engine/work.h"

namespace orvane {

namespace {
ColourCode freeColourAmong(const NodeFields& fields, std::span<const NodeIndex> neighbours)
{
    unsigned used = 0;
    for (const NodeIndex n : neighbours) {
        const ColourCode c = fields.colour(n);
        if (c >= colourR && c <= colourB) used |= colourBit(c);
    }
    for (const ColourCode c : {colourR, colourG, colourY})
        if (!(used & colourBit(c))) return c;
    return colourB;
}
}  // namespace

CompletionOutcome ColouringWork::completeColouring()
{
    resetEngine(false);
    if (list.deferredHead() == noNode) return CompletionOutcome::nothingDeferred;
    for (NodeIndex d = list.deferredHead(); d != noNode; d = list.next(d))
        fields.hot[d].colour = freeColourAmong(fields, borders.links(d));
    restoreDeferred();
    return CompletionOutcome::deferredRestored;
}

// The deferred nodes return to the tail of the node list, every parked
// border to the end of its owner's list.
void ColouringWork::restoreDeferred()
{
    if (list.deferredHead() == noNode) return;
    list.restoreDeferred();
    changedOwners_.clear();
    list.forEach([&](NodeIndex v) {
        if (!borders.hasParked(v)) return;
        borders.restoreParked(v);
        changedOwners_.push_back(v);
    });
    // The rings once every border is back: a ring depends on whether the
    // node's neighbours border each other.
    if (paths == Paths::reference) {
        list.forEach([&](NodeIndex v) { borders.orderAround(v, map_->sites()); });
        return;
    }
    for (const NodeIndex v : changedOwners_) borders.orderAround(v, map_->sites());
}

uint16_t ColouringWork::verifyColouring() const
{
    for (NodeIndex v = list.head(); v != noNode; v = list.next(v)) {
        const ColourCode c = fields.colour(v);
        bool fails = c < colourR || c > colourB || (map_->isOuter(v) && c == colourB);
        for (const NodeIndex n : borders.links(v))
            if (fields.colour(n) == c) fails = true;
        if (fails) return static_cast<uint16_t>(map_->number(v));
    }
    return 0;
}

}  // namespace orvane
