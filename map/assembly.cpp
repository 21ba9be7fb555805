// A map from given parts: sites, border lists and the outer cycle.
#include "map/builder.h"
#include "map/neighbours.h"

namespace orvane {

std::shared_ptr<const Map> MapAssembly::assemble() const
{
    auto map = std::make_shared<Map>();
    const size_t n = sites.size();
    map->sites_ = sites;
    map->centreDistance_.resize(n);
    map->number_.resize(n);
    map->byNumber_.resize(n);
    map->ranges_.resize(n);
    uint32_t at = 0;
    for (size_t v = 0; v < n; ++v) {
        map->centreDistance_[v] = roundedCentreDistance(sites[v]);
        map->number_[v] = static_cast<int16_t>(v + 1);
        map->byNumber_[v] = static_cast<NodeIndex>(v);
        const size_t degree = v < links.size() ? links[v].size() : 0;
        map->ranges_[v] = {at, at + static_cast<uint32_t>(degree)};
        if (degree) map->linkNodes_.insert(map->linkNodes_.end(), links[v].begin(), links[v].end());
        at += static_cast<uint32_t>(degree);
    }
    map->aroundNodes_.resize(map->linkNodes_.size());
    const BorderLists lists{map->ranges_.data(), map->linkNodes_.data()};
    for (size_t v = 0; v < n; ++v)
        orderAround(static_cast<NodeIndex>(v), lists, map->sites_, map->aroundNodes_.data() + map->ranges_[v].begin);
    map->outer_.assign(n, noNode);
    for (size_t k = 0; k < outerCycle.size(); ++k) map->outer_[outerCycle[k]] = outerCycle[(k + 1) % outerCycle.size()];
    map->outerStart_ = outerCycle.empty() ? noNode : outerCycle[0];
    return map;
}

}  // namespace orvane
