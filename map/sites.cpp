// Maps from given sites: the checks before the build, the build, and the
// check of what was built.
#include "map/sites.h"
#include <algorithm>
#include <numeric>
#include <tuple>
#include <utility>

namespace orvane {

namespace {
using Kind = SiteProblem::Kind;

SiteProblem problemOf(Kind kind, int count, int a = -1, int b = -1, int c = -1, const char* detail = "")
{
    SiteProblem p;
    p.kind = kind;
    p.count = count;
    p.sites[0] = a;
    p.sites[1] = b;
    p.sites[2] = c;
    p.detail = detail;
    return p;
}

bool inSquare(Point p) { return p.x >= 0 && p.x <= 32767 && p.y >= 0 && p.y <= 32767; }

// Of the sites that repeat an earlier one, the first in list order, with the
// earliest site it repeats; -1 when none does.
std::pair<int, int> firstRepeat(std::span<const Point> sites)
{
    std::vector<int> order(sites.size());
    std::iota(order.begin(), order.end(), 0);
    const auto key = [&](int i) { return std::make_tuple(sites[size_t(i)].x, sites[size_t(i)].y, i); };
    std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
    std::pair<int, int> found{-1, -1};
    for (size_t k = 0; k < order.size();) {
        size_t end = k + 1;
        while (end < order.size() && sites[size_t(order[end])].x == sites[size_t(order[k])].x &&
               sites[size_t(order[end])].y == sites[size_t(order[k])].y)
            ++end;
        // Within a run of equal sites the indices rise: the second repeats the first.
        if (end - k > 1 && (found.second < 0 || order[k + 1] < found.second)) found = {order[k], order[k + 1]};
        k = end;
    }
    return found;
}

int64_t cross(Point o, Point a, Point b)
{
    return int64_t(a.x - o.x) * (b.y - o.y) - int64_t(a.y - o.y) * (b.x - o.x);
}

// Whether v's borders hold one to w.
bool borders(const Map& map, NodeIndex v, NodeIndex w)
{
    for (const NodeIndex n : map.links(v))
        if (n == w) return true;
    return false;
}

int indexOf(const Map& map, NodeIndex v) { return map.number(v) - 1; }

// Two neighbours of u in directions with one angle key: the neighbour order
// cannot tell which comes first. noNode when all keys differ.
std::pair<NodeIndex, NodeIndex> sameAngleKey(const Map& map, NodeIndex u)
{
    const Point c = map.site(u);
    std::vector<std::pair<int64_t, NodeIndex>> keys;
    for (const NodeIndex n : map.links(u)) keys.push_back({angleKey(map.site(n).x - c.x, map.site(n).y - c.y), n});
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : map.number(a.second) < map.number(b.second);
    });
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].first == keys[i - 1].first) return {keys[i - 1].second, keys[i].second};
    return {noNode, noNode};
}

// Around u (its ring, by falling angle key), each neighbour and the next one
// border each other and turn the way the ring turns, except across the
// outside of the map at an outer node: there exactly once, towards the next
// node of the outer cycle.
bool ringCloses(const Map& map, NodeIndex u)
{
    const std::span<const NodeIndex> ring = map.around(u);
    int gaps = 0;
    NodeIndex gapEnd = noNode;
    for (size_t k = 0; k < ring.size(); ++k) {
        const NodeIndex v = ring[k], w = ring[(k + 1) % ring.size()];
        if (!borders(map, v, w) || cross(map.site(u), map.site(v), map.site(w)) >= 0) {
            ++gaps;
            gapEnd = w;
        }
    }
    return map.isOuter(u) ? gaps == 1 && gapEnd == map.outer(u) : gaps == 0;
}
}  // namespace

SiteProblem checkSites(std::span<const Point> sites)
{
    const int n = static_cast<int>(std::min<size_t>(sites.size(), 1u << 30));
    if (n < leastNodes) return problemOf(Kind::tooFew, n, n > 0 ? 0 : -1, n > 1 ? 1 : -1);
    if (n > mostNodes) return problemOf(Kind::tooMany, n, mostNodes);
    for (int i = 0; i < n; ++i)
        if (!inSquare(sites[size_t(i)])) return problemOf(Kind::outside, n, i);
    const auto [first, repeat] = firstRepeat(sites);
    if (repeat >= 0) return problemOf(Kind::duplicate, n, first, repeat);
    // No duplicates: the first two sites differ and fix a line.
    for (int i = 2; i < n; ++i)
        if (cross(sites[0], sites[1], sites[size_t(i)]) != 0) return {};
    return problemOf(Kind::oneLine, n, 0, 1);
}

SiteProblem checkBuiltMap(const Map& map)
{
    const int n = map.nodeCount();
    const auto improper = [&](NodeIndex at, const char* detail) {
        return problemOf(Kind::notProper, n, at != noNode ? indexOf(map, at) : -1, -1, -1, detail);
    };
    // Nodes in number order, as the map lists them.
    int outerNodes = 0;
    int64_t ends = 0;
    for (int k = 1; k <= n; ++k) {
        const NodeIndex u = map.numbered(k);
        const size_t degree = map.degree(u);
        if (degree < 2) return improper(u, "it has fewer than two borders");
        ends += static_cast<int64_t>(degree);
        outerNodes += map.isOuter(u);
    }
    const NodeIndex start = map.outerStart();
    if (start == noNode || !map.isOuter(start)) return improper(map.numbered(1), "the map has no outer boundary");
    std::vector<char> onCycle(static_cast<size_t>(n), 0);
    NodeIndex c = start;
    for (int k = 0; k < outerNodes; ++k) {
        if (!map.isOuter(c) || onCycle[c] || !borders(map, c, map.outer(c)))
            return improper(c, "the outer boundary does not run once round the map");
        onCycle[c] = 1;
        c = map.outer(c);
    }
    if (c != start) return improper(c, "the outer boundary does not run once round the map");
    // A triangulation of n sites, h of them on the boundary, has 3n - 3 - h borders.
    if (ends / 2 != 3 * int64_t{n} - 3 - outerNodes)
        return improper(start, "the borders do not triangulate the sites");
    for (int k = 1; k <= n; ++k) {
        const NodeIndex u = map.numbered(k);
        if (ringCloses(map, u)) continue;
        const auto [v, w] = sameAngleKey(map, u);
        if (v != noNode) return problemOf(Kind::unclearOrder, n, indexOf(map, u), indexOf(map, v), indexOf(map, w));
        return improper(u, "its neighbours do not close round it");
    }
    return {};
}

SiteProblem buildMapFromSites(std::shared_ptr<const Map>& map, std::span<const Point> sites, BuildOptions options)
{
    SiteProblem problem;
    map = MapBuilder().buildFromSites(sites, options, problem);
    return problem;
}

std::vector<Point> seededSites(uint32_t seed, int n)
{
    // The seeded map, read back in number order.
    const std::shared_ptr<const Map> map = Map::build(seed, n);
    std::vector<Point> sites;
    sites.reserve(static_cast<size_t>(map->nodeCount()));
    for (int k = 1; k <= map->nodeCount(); ++k) sites.push_back(map->position(k));
    return sites;
}

const char* siteProblemKey(SiteProblem::Kind kind)
{
    switch (kind) {
    case Kind::none: return "none";
    case Kind::tooFew: return "too-few";
    case Kind::tooMany: return "too-many";
    case Kind::outside: return "outside";
    case Kind::duplicate: return "duplicate";
    case Kind::oneLine: return "one-line";
    case Kind::unclearOrder: return "unclear-order";
    case Kind::notProper: return "not-proper";
    }
    return "unknown";
}

std::string describeSiteProblem(const SiteProblem& p, std::span<const Point> sites, const SiteNamer& name)
{
    const auto site = [&](int i) {
        if (i < 0) return std::string("a site");
        const Point s = sites[size_t(i)];
        return name(i) + " (" + std::to_string(s.x) + ", " + std::to_string(s.y) + ")";
    };
    const std::string count = std::to_string(p.count);
    switch (p.kind) {
    case Kind::none: return {};
    case Kind::tooFew: {
        std::string text = "a map needs at least 3 sites; there " + std::string(p.count == 1 ? "is " : "are ") +
                           (p.count == 0 ? "none" : "only " + count);
        for (int k = 0; k < 2 && p.sites[k] >= 0; ++k) text += (k ? ", " : ": ") + site(p.sites[k]);
        return text;
    }
    case Kind::tooMany:
        return "a map has at most 10000 sites; there are " + count + " (the first one too many is " +
               site(p.sites[0]) + ")";
    case Kind::outside:
        return site(p.sites[0]) + " lies outside the map's square: coordinates run from 0 to 32767";
    case Kind::duplicate:
        return site(p.sites[1]) + " is the same site as " + name(p.sites[0]);
    case Kind::oneLine:
        return "all " + count + " sites lie on one line (through " + site(p.sites[0]) + " and " + site(p.sites[1]) +
               "); a map needs a site off it";
    case Kind::unclearOrder:
        return "seen from " + site(p.sites[0]) + ", " + site(p.sites[1]) + " and " + site(p.sites[2]) +
               " lie in directions too close together for the map's angle order to tell apart (long borders "
               "almost parallel to an axis); move one of these sites a little";
    case Kind::notProper:
        return "the triangulation around " + site(p.sites[0]) + " does not make a proper map (" + p.detail +
               "); move it or a neighbour a little";
    }
    return {};
}

}  // namespace orvane
