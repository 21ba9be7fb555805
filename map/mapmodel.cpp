// The map object and its reads by number.
#include "map/map.h"
#include <algorithm>

namespace orvane {

Map::Map() = default;
Map::~Map() = default;
Map::Map(const Map&) = default;
Map& Map::operator=(const Map&) = default;
Map::Map(Map&&) noexcept = default;
Map& Map::operator=(Map&&) noexcept = default;

Point Map::position(int number) const
{
    const NodeIndex v = numbered(number);
    return v == noNode ? Point{0, 0} : sites_[v];
}

std::vector<int> Map::neighbours(int number) const
{
    std::vector<int> out;
    const NodeIndex v = numbered(number);
    if (v == noNode) return out;
    for (const NodeIndex n : around(v)) out.push_back(number_[n]);
    return out;
}

std::vector<int> Map::outerCycle() const
{
    std::vector<int> out;
    for (NodeIndex v = outerStart_; v != noNode && out.size() < sites_.size(); v = outer_[v]) {
        out.push_back(number_[v]);
        if (outer_[v] == outerStart_) break;
    }
    return out;
}

std::vector<std::pair<int, int>> Map::borders() const
{
    std::vector<std::pair<int, int>> out;
    for (size_t v = 0; v < sites_.size(); ++v)
        for (const NodeIndex n : links(static_cast<NodeIndex>(v)))
            if (number_[v] < number_[n]) out.push_back({number_[v], number_[n]});
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace orvane
