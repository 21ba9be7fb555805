// The map request: the seed and node count texts become a reproducible map.
#pragma once
#include <cstdint>
#include <string>
#include "map/map.h"

namespace orvane {

// How the map request and the batch run read a count field: at most 7 typed
// characters (8 units with the terminator).
inline constexpr int countFieldReadUnits = 8;

struct MapRequest {
    uint32_t seed;
    bool typed;        // the seed came from the text, not from the clock
    int32_t nodes;     // clamped to 3..10000
};

// An empty seed text gives the clock's value.
MapRequest readMapRequest(const std::u16string& seedText, const std::u16string& nodeText, uint32_t clockNow);
// Builds the requested map.
void buildRequestedMap(Map& map, const MapRequest& request, BuildOptions options = {});

}  // namespace orvane
