// The map request: seed and node count texts, read by the field rules.
#include "runs/maprequest.h"
#include "runs/texts.h"

namespace orvane {

MapRequest readMapRequest(const std::u16string& seedText, const std::u16string& nodeText, uint32_t clockNow)
{
    MapRequest r;
    r.typed = !seedText.empty() && seedText[0] != 0;
    r.seed = r.typed ? parseSeedText(seedText.c_str()) : clockNow;
    r.nodes = clampCount(parseCountText(nodeText.c_str()), leastNodes, mostNodes);
    return r;
}

void buildRequestedMap(Map& map, const MapRequest& request, BuildOptions options)
{
    map.build(request.seed, request.nodes, options);
}

}  // namespace orvane
