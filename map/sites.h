// Maps from sites a user gives (a file, a script, clicks in the page) rather
// than the seeded scattering: the checks a site list must pass before it is
// built, the build itself, and the check that what was built is a map the
// colouring can take. Every build from given sites (Map::buildFromSites,
// MapBuilder::buildFromSites) runs both checks around the triangulation, so
// no map that fails them is ever handed out.
//
// Numbering: the k-th site of the list is country k, the k-th one inserted
// into the triangulation. A seeded map numbers and inserts its sites the same
// way (the last one drawn is number 1), so the sites of a seeded map listed by
// number (seededSites) build exactly that map: the same borders, list orders,
// rings, outer cycle, and so the same export file and colouring.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include "map/map.h"

namespace orvane {

// Why a site list gives no map. Sites are named by their place in the list
// (0-based); `sites` holds up to three of them, -1 past the last one named.
struct SiteProblem {
    enum class Kind : uint8_t {
        none,
        tooFew,        // fewer than 3 sites
        tooMany,       // more than 10000; sites[0] is the first one too many
        outside,       // sites[0] has a coordinate outside 0..32767
        duplicate,     // sites[1] repeats sites[0]
        oneLine,       // all sites on the line through sites[0] and sites[1]
        unclearOrder,  // seen from sites[0], sites[1] and sites[2] lie in directions the angle key cannot tell apart
        notProper,     // the triangulation around sites[0] is not a proper map (detail says how)
    };
    Kind kind = Kind::none;
    int count = 0;  // sites in the list
    int sites[3] = {-1, -1, -1};
    const char* detail = "";

    explicit operator bool() const { return kind != Kind::none; }
};

// The checks made before anything is built, in this order: the count (3 to
// 10000), the square (the first site outside it), duplicates (the first site,
// in list order, that repeats an earlier one), one line.
SiteProblem checkSites(std::span<const Point> sites);

// The checks made after the build, on anything but a seeded map: every node
// has at least two borders, the outer cycle visits every outer node once, the
// map has the borders of a triangulation of its hull, and around every node
// consecutive neighbours border each other and turn the same way. A map that
// fails them would send the colouring round a broken ring for ever. Sites are
// named by number - 1.
SiteProblem checkBuiltMap(const Map& map);

// The map of the sites (insertion and numbering in list order) when they pass
// both checks; otherwise `map` is null and the problem is returned. This is
// Map::buildFromSites saying why it gives no map.
SiteProblem buildMapFromSites(std::shared_ptr<const Map>& map, std::span<const Point> sites, BuildOptions options = {});

// The sites that (seed, n) scatters, in number order (n clamped to 3..10000
// as Map::build clamps it): given to buildMapFromSites they give that map.
std::vector<Point> seededSites(uint32_t seed, int n);

// How a message names the site at an index: "line 12", "points[11]"...
using SiteNamer = std::function<std::string(int index)>;
// The problem as one English sentence naming the sites with their coordinates.
std::string describeSiteProblem(const SiteProblem& problem, std::span<const Point> sites, const SiteNamer& name);
// A short name of the problem's kind ("duplicate", "one-line", ...), for scripts and pages.
const char* siteProblemKey(SiteProblem::Kind kind);

}  // namespace orvane
