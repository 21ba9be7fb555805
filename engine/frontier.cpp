// The frontier of the fast candidate search.
#include "engine/frontier.h"
#include <algorithm>
#include <climits>

namespace orvane {

// Ranks the list's nodes as the whole-list scan meets its candidates: by
// distance from the centre, and in list order on equal distances. A counting
// sort over the distances keeps list order within a distance; when the
// distances spread far wider than there are nodes (a small map), sorting
// keys of distance, list position and node does the same in less time.
void Frontier::start(const Map& map, const NodeList& list, const NodeFields& fields)
{
    byRank_.clear();
    int32_t nearest = INT32_MAX, farthest = 0;
    list.forEach([&](NodeIndex v) {
        byRank_.push_back(v);
        nearest = std::min(nearest, map.centreDistance(v));
        farthest = std::max(farthest, map.centreDistance(v));
    });
    const size_t listed = byRank_.size();
    if (listed > 0 && static_cast<size_t>(farthest - nearest) < 32 * listed) {
        count_.assign(static_cast<size_t>(farthest - nearest) + 2, 0);
        for (const NodeIndex v : byRank_) ++count_[static_cast<size_t>(map.centreDistance(v) - nearest) + 1];
        for (size_t d = 1; d < count_.size(); ++d) count_[d] += count_[d - 1];
        list.forEach([&](NodeIndex v) { byRank_[count_[static_cast<size_t>(map.centreDistance(v) - nearest)]++] = v; });
    } else {
        keys_.clear();
        for (size_t k = 0; k < listed; ++k)
            keys_.push_back(uint64_t(uint32_t(map.centreDistance(byRank_[k]))) << 32 | uint64_t(k) << 16 | byRank_[k]);
        std::sort(keys_.begin(), keys_.end());
        for (size_t k = 0; k < listed; ++k) byRank_[k] = static_cast<NodeIndex>(keys_[k] & 0xFFFF);
    }
    rank_.resize(static_cast<size_t>(map.nodeCount()));
    for (size_t r = 0; r < listed; ++r) rank_[byRank_[r]] = static_cast<uint32_t>(r);
    bits_.assign((listed + 63) / 64, 0);
    lowest_ = 0;
    active_ = true;
    list.forEach([&](NodeIndex v) {
        if (fields.colour(v) == colourNone && fields.ringContacts[v] >= 2) enter(v);
    });
}

}  // namespace orvane
