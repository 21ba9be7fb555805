// Checks over a built map that do not rely on the builder: invariants of the
// lists, the empty-circumcircle property with exact integers, a digest. Each
// helper reads the map it is given and nothing else.
#pragma once
#include "map/map.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace mapcheck {

using orvane::BuildOptions;
using orvane::Map;
using orvane::NodeIndex;
using orvane::noNode;
using orvane::Point;

inline std::shared_ptr<const Map> buildSeeded(uint32_t seed, int n, BuildOptions options = {})
{
    return Map::build(seed, n, options);
}

// Sites in insertion order: the first becomes number 1. Null when refused.
inline std::shared_ptr<const Map> buildFrom(std::initializer_list<std::pair<int32_t, int32_t>> sites,
                                            BuildOptions options = {})
{
    std::vector<Point> points;
    for (const auto& [x, y] : sites) points.push_back({x, y});
    return Map::buildFromSites(points, options);
}

// Neighbour numbers of the node numbered k, in border-list order.
inline std::vector<int> linkNumbers(const Map& map, int k)
{
    std::vector<int> out;
    for (const NodeIndex n : map.links(map.numbered(k))) out.push_back(map.number(n));
    return out;
}

// Neighbour numbers around the node numbered k by aroundNext, starting at the
// neighbour numbered `first`.
inline std::vector<int> ringNumbers(const Map& map, int k, int first)
{
    const std::span<const NodeIndex> ring = map.around(map.numbered(k));
    std::vector<int> out;
    size_t start = 0;
    while (start < ring.size() && map.number(ring[start]) != first) ++start;
    if (start == ring.size()) return out;
    for (size_t i = 0; i < ring.size(); ++i) out.push_back(map.number(ring[(start + i) % ring.size()]));
    return out;
}

// Numbers along the outer cycle from outerStart, back to it.
inline std::vector<int> outerCycle(const Map& map)
{
    std::vector<int> out;
    NodeIndex v = map.outerStart();
    while (v != noNode && out.size() <= 10001) {
        out.push_back(map.number(v));
        v = map.outer(v);
        if (v == map.outerStart()) {
            out.push_back(map.number(v));
            break;
        }
    }
    return out;
}

// Borders as (a, b) with a < b.
inline std::set<std::pair<int, int>> borders(const Map& map)
{
    std::set<std::pair<int, int>> out;
    for (int k = 1; k <= map.nodeCount(); ++k)
        for (const NodeIndex n : map.links(map.numbered(k)))
            if (k < map.number(n)) out.insert({k, map.number(n)});
    return out;
}

inline bool bordersEachOther(const Map& map, NodeIndex a, NodeIndex b)
{
    const std::span<const NodeIndex> links = map.links(a);
    return std::find(links.begin(), links.end(), b) != links.end();
}

// Every invariant of a map as built; empty when all hold, else the first breach.
inline std::string invariantBreach(const Map& map)
{
    std::ostringstream why;
    const int count = map.nodeCount();
    std::set<NodeIndex> listed;
    int outerNodes = 0;
    for (int k = 1; k <= count; ++k) {
        const NodeIndex v = map.numbered(k);
        if (v == noNode || v >= count) return "a number without its node";
        if (map.number(v) != k) return "numbers not 1..N along the list";
        if (!listed.insert(v).second) return "two numbers for one node";
        const Point p = map.site(v);
        if (p.x < 0 || p.x > 32767 || p.y < 0 || p.y > 32767) return "site outside the square";
        outerNodes += map.isOuter(v);
    }
    for (int k = 1; k <= count; ++k) {
        const NodeIndex v = map.numbered(k);
        std::set<NodeIndex> seen;
        for (const NodeIndex n : map.links(v)) {
            if (n == v) return "node linked to itself";
            if (!listed.count(n)) return "link to a node off the list (frame vertex?)";
            if (!seen.insert(n).second) return "two records for one neighbour";
            if (!bordersEachOther(map, n, v)) {
                why << "border " << k << "-" << map.number(n) << " has no record back";
                return why.str();
            }
        }
        if (seen.size() < 2) return "node with fewer than two borders";
        // The ring holds exactly the borders, once each, from the first one.
        const std::span<const NodeIndex> ring = map.around(v);
        if (std::set<NodeIndex>(ring.begin(), ring.end()) != seen || ring.size() != seen.size())
            return "ring does not cover the links";
        if (ring[0] != map.links(v)[0]) return "ring does not start at the first border";
    }
    if (map.outerStart() == noNode || map.outer(map.outerStart()) == noNode) return "no outer cycle";
    std::set<NodeIndex> cycle;
    NodeIndex v = map.outerStart();
    do {
        if (map.outer(v) == noNode) return "outer cycle reaches an inner node";
        if (!cycle.insert(v).second) return "outer cycle visits a node twice";
        if (!bordersEachOther(map, v, map.outer(v))) return "outer cycle steps across no border";
        v = map.outer(v);
    } while (v != map.outerStart() && static_cast<int>(cycle.size()) <= outerNodes);
    if (static_cast<int>(cycle.size()) != outerNodes) return "outer cycle misses outer nodes";
    return {};
}

// Exact sign of the in-circle determinant: > 0 when d lies strictly inside the
// circle through a, b, c taken counter-clockwise (in x-right, y-up terms).
inline int inCircleSign(Point a, Point b, Point c, Point d)
{
    const __int128 adx = a.x - d.x, ady = a.y - d.y;
    const __int128 bdx = b.x - d.x, bdy = b.y - d.y;
    const __int128 cdx = c.x - d.x, cdy = c.y - d.y;
    const __int128 al = adx * adx + ady * ady, bl = bdx * bdx + bdy * bdy, cl = cdx * cdx + cdy * cdy;
    const __int128 det = al * (bdx * cdy - bdy * cdx) - bl * (adx * cdy - ady * cdx) + cl * (adx * bdy - ady * bdx);
    return det > 0 ? 1 : det < 0 ? -1 : 0;
}

inline int64_t cross(Point o, Point a, Point b)
{
    return int64_t(a.x - o.x) * (b.y - o.y) - int64_t(a.y - o.y) * (b.x - o.x);
}

struct TriangleCheck {
    int triangles = 0;       // faces found from the borders
    int degenerate = 0;      // faces with three collinear corners
    int violations = 0;      // sites strictly inside some face's circumcircle
};

// The faces of the map are the triples u, v, w where v and w follow each other
// in u's ring, v borders w, and the turn from v to w is less than a half turn.
// Each face is counted once (from its least-numbered corner). Sites are tested
// against each face's circumcircle through a grid, exactly.
inline TriangleCheck checkEmptyCircumcircles(const Map& map)
{
    TriangleCheck out;
    constexpr int cells = 64, cellSize = 512;
    std::vector<std::vector<NodeIndex>> grid(cells * cells);
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex n = map.numbered(k);
        grid[(map.site(n).y / cellSize) * cells + map.site(n).x / cellSize].push_back(n);
    }
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex u = map.numbered(k);
        const std::span<const NodeIndex> ring = map.around(u);
        for (size_t i = 0; i < ring.size(); ++i) {
            const NodeIndex v = ring[i];
            const NodeIndex w = ring[(i + 1) % ring.size()];
            if (v == w || !bordersEachOther(map, v, w)) continue;
            const Point pu = map.site(u), pv = map.site(v), pw = map.site(w);
            const int64_t turn = cross(pu, pv, pw);
            if (turn > 0) continue;  // the outside of the map at an outer node
            if (map.number(u) > map.number(v) || map.number(u) > map.number(w)) continue;
            ++out.triangles;
            if (turn == 0) {
                ++out.degenerate;
                continue;
            }
            // Counter-clockwise order in x-right, y-up terms: u, w, v when turn < 0.
            const double ax = pu.x, ay = pu.y, bx = pw.x, by = pw.y, cx = pv.x, cy = pv.y;
            const double d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by));
            const double ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) + (cx * cx + cy * cy) * (ay - by)) / d;
            const double uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) + (cx * cx + cy * cy) * (bx - ax)) / d;
            const double r = std::sqrt((ax - ux) * (ax - ux) + (ay - uy) * (ay - uy)) * 1.000001 + 2;
            const int gx0 = std::max(0, static_cast<int>(std::floor((ux - r) / cellSize)));
            const int gx1 = std::min(cells - 1, static_cast<int>(std::floor((ux + r) / cellSize)));
            const int gy0 = std::max(0, static_cast<int>(std::floor((uy - r) / cellSize)));
            const int gy1 = std::min(cells - 1, static_cast<int>(std::floor((uy + r) / cellSize)));
            for (int gy = gy0; gy <= gy1; ++gy)
                for (int gx = gx0; gx <= gx1; ++gx)
                    for (const NodeIndex s : grid[gy * cells + gx])
                        if (s != u && s != v && s != w && inCircleSign(pu, pw, pv, map.site(s)) > 0) ++out.violations;
        }
    }
    return out;
}

// Everything a build decides, folded into one value (FNV-1a), node by node in
// number order: number, site, centre distance, whether outer, the next outer
// node, the border list and the ring.
inline uint64_t mapDigest(const Map& map)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](int64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= static_cast<uint8_t>(v >> (8 * i));
            h *= 1099511628211ull;
        }
    };
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex n = map.numbered(k);
        mix(map.number(n));
        mix(map.site(n).x);
        mix(map.site(n).y);
        mix(map.centreDistance(n));
        mix(map.isOuter(n) ? 1 : 0);
        mix(map.isOuter(n) ? map.number(map.outer(n)) : 0);
        for (const NodeIndex l : map.links(n)) mix(map.number(l));
        mix(-1);
        for (const NodeIndex l : map.around(n)) mix(map.number(l));
        mix(-2);
    }
    mix(map.outerStart() != noNode ? map.number(map.outerStart()) : 0);
    return h;
}

}  // namespace mapcheck
