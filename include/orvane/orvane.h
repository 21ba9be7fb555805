// Orvane as a library: build a map from (seed, N) or from sites of your own
// (buildMapFromSites, with the reasons a site list gives no map), step or run its colouring,
// read its nodes, positions, borders in ring order, colours and the engine's
// visible state, and produce the export text, trace lines and the map picture.
//
//     orvane::Map map;
//     map.build(0x1a2b, 1000);
//     orvane::Colouring colouring(map);
//     const uint16_t result = colouring.run();   // 0: a correct four-colouring
//     std::string picture = orvane::mapPageSvg(map, colouring.state(), {800, 600});
//
// Maps and colourings are independent objects: any number of them may be
// used at once, one per thread.
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
