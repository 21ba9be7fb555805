// The map request: the seed field and the node count field become a new map.
#include "runs/runs.h"
#include "engine/engine.h"
#include "map/map.h"
#include "platform/platform.h"
#include "ui/ui.h"

uint32_t shownSeed = 0;
int32_t shownNodeCount = 0;

namespace {
// Reads the seed field; an empty field gives the clock, and stays empty.
uint32_t requestSeed()
{
    readControlText(idSeedField, seedText, textBufferUnits);
    const bool typed = seedText[0] != 0;
    const uint32_t seed = typed ? parseSeedText(seedText) : clockMillis();
    formatSeed(seed, seedText);
    writeControlText(idSeedLabel, seedText);
    if (typed) writeControlText(idSeedField, seedText);
    return seed;
}

// Reads the node count field (at most 7 characters), clamps it and shows the
// count that is used.
int32_t requestNodeCount()
{
    readControlText(idNodeField, nodeCountText, 8);
    const int32_t n = clampCount(parseCountText(nodeCountText), leastNodes, mostNodes);
    formatDecimal(n, nodeCountText);
    writeControlText(idNodeField, nodeCountText);
    updateControl(idNodeField);
    return n;
}
}  // namespace

void mapRequest()
{
    displayMode = 0;
    EnginePhase = phasePrepare;
    growthDone = 0;
    writeControlText(idStatus, u"");
    setCommandState(0);
    const uint32_t seed = requestSeed();
    seedGenerator(seed);
    const int32_t n = requestNodeCount();
    buildMap(n);
    shownSeed = seed;
    shownNodeCount = n;
    invalidateView(true);
    setCommandState(3);
}
