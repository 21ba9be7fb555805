// Orvane as a library: build a map from (seed, N) or from sites of your own
// (buildMapFromSites, with the reasons a site list gives no map), step or run its colouring,
// read its nodes, positions, borders in ring order, colours and the engine's
// visible state, and produce the export text, trace lines and the map picture.
//
//     std::shared_ptr<const orvane::Map> map = orvane::Map::build(0x1a2b, 1000);
//     orvane::Colouring colouring(map);
//     const uint16_t result = colouring.run();   // 0: a correct four-colouring
//     std::string picture = orvane::mapPageSvg(colouring, {800, 600});
//
// A map is read-only once built and may be read from any number of threads.
// A colouring holds its map (shared ownership) and owns everything it
// changes: any number of colourings of one map may run at once, each used by
// one thread at a time.
#pragma once
#include "engine/colouring.h"
#include "map/map.h"
#include "map/sites.h"
#include "runs/batch.h"
#include "runs/export.h"
#include "runs/sitesfile.h"
#include "runs/trace.h"
#include "ui/view.h"
#include <orvane/version.h>  // orvane::version, generated from the CMake project's version
