// The frontier of the fast candidate search.
#include "engine/frontier.h"
#include <algorithm>

namespace orvane {

// Ranks the list's nodes as the whole-list scan meets its candidates: by
// distance from the centre, and in list order on equal distances (a counting
// sort keeps list order within a distance).
void Frontier::start(const Map& map, const NodeList& list, const NodeFields& fields)
{
    int32_t farthest = 0;
    list.forEach([&](NodeIndex v) { farthest = std::max(farthest, map.centreDistance(v)); });
    count_.assign(static_cast<size_t>(farthest) + 2, 0);
    list.forEach([&](NodeIndex v) { ++count_[static_cast<size_t>(map.centreDistance(v)) + 1]; });
    for (size_t d = 1; d < count_.size(); ++d) count_[d] += count_[d - 1];
    const size_t listed = count_.back();
    byRank_.resize(listed);
    rank_.resize(static_cast<size_t>(map.nodeCount()));
    list.forEach([&](NodeIndex v) {
        const uint32_t r = count_[static_cast<size_t>(map.centreDistance(v))]++;
        byRank_[r] = v;
        rank_[v] = r;
    });
    bits_.assign((listed + 63) / 64, 0);
    lowest_ = 0;
    active_ = true;
    list.forEach([&](NodeIndex v) {
        if (fields.colour(v) == colourNone && fields.ringContacts[v] >= 2) enter(v);
    });
}

}  // namespace orvane
