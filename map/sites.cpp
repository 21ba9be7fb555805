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
std::pair<int, int> firstRepeat(const std::vector<Point>& sites)
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

Point at(const MapNode* n) { return {n->x, n->y}; }
int indexOf(const MapNode* n) { return n->number - 1; }

// Two neighbours of u in directions with one angle key: the neighbour order
// cannot tell which comes first. Null when all keys differ.
std::pair<const MapNode*, const MapNode*> sameAngleKey(const MapNode* u)
{
    std::vector<std::pair<int64_t, const MapNode*>> keys;
    for (const NodeLink* l = u->links; l; l = l->next)
        keys.push_back({angleKey(l->node->x - u->x, l->node->y - u->y), l->node});
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second->number < b.second->number;
    });
    for (size_t i = 1; i < keys.size(); ++i)
        if (keys[i].first == keys[i - 1].first) return {keys[i - 1].second, keys[i].second};
    return {nullptr, nullptr};
}

// Around u, by aroundNext, each neighbour and the next one border each other
// and turn the way the ring turns (by falling angle), except across the
// outside of the map at an outer node: there exactly once, towards the next
// node of the outer cycle.
bool ringCloses(const MapNode* u, int degree)
{
    int gaps = 0;
    const MapNode* gapEnd = nullptr;
    const NodeLink* l = u->links;
    for (int k = 0; k < degree; ++k) {
        const MapNode* v = l->node;
        const MapNode* w = l->aroundNext->node;
        if (!findLink(v, w) || cross(at(u), at(v), at(w)) >= 0) {
            ++gaps;
            gapEnd = w;
        }
        l = l->aroundNext;
    }
    if (l != u->links) return false;
    return u->outer ? gaps == 1 && gapEnd == u->outer : gaps == 0;
}
}  // namespace

SiteProblem checkSites(const std::vector<Point>& sites)
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
    const auto improper = [n](const MapNode* at, const char* detail) {
        return problemOf(Kind::notProper, n, at ? indexOf(at) : -1, -1, -1, detail);
    };
    int outerNodes = 0;
    int64_t ends = 0;
    for (const MapNode* u = map.nodeList; u; u = u->next) {
        const int degree = countLinks(u);
        if (degree < 2) return improper(u, "it has fewer than two borders");
        ends += degree;
        outerNodes += u->outer != nullptr;
    }
    const MapNode* start = map.outerStart;
    if (!start || !start->outer) return improper(map.nodeList, "the map has no outer boundary");
    std::vector<char> onCycle(static_cast<size_t>(n) + 1, 0);
    const MapNode* c = start;
    for (int k = 0; k < outerNodes; ++k) {
        if (!c->outer || onCycle[size_t(c->number)] || !findLink(c, c->outer))
            return improper(c, "the outer boundary does not run once round the map");
        onCycle[size_t(c->number)] = 1;
        c = c->outer;
    }
    if (c != start) return improper(c, "the outer boundary does not run once round the map");
    // A triangulation of n sites, h of them on the boundary, has 3n - 3 - h borders.
    if (ends / 2 != 3 * int64_t{n} - 3 - outerNodes)
        return improper(start, "the borders do not triangulate the sites");
    for (const MapNode* u = map.nodeList; u; u = u->next) {
        if (ringCloses(u, countLinks(u))) continue;
        const auto [v, w] = sameAngleKey(u);
        if (v) return problemOf(Kind::unclearOrder, n, indexOf(u), indexOf(v), indexOf(w));
        return improper(u, "its neighbours do not close round it");
    }
    return {};
}

SiteProblem buildMapFromSites(Map& map, const std::vector<Point>& sites, BuildOptions options)
{
    map.release();
    SiteProblem problem = checkSites(sites);
    if (problem) return problem;
    std::vector<int32_t> xy;
    xy.reserve(2 * sites.size());
    for (const Point& p : sites) xy.insert(xy.end(), {p.x, p.y});
    // The call into the builder.
    if (!map.buildFromSites(xy.data(), static_cast<int>(sites.size()), options))
        return problemOf(Kind::notProper, problem.count, -1, -1, -1, "the builder refused the sites");
    problem = checkBuiltMap(map);
    if (problem) map.release();
    return problem;
}

std::vector<Point> seededSites(uint32_t seed, int n)
{
    Map map;
    // The call into the builder: the seeded map, read back in number order.
    map.build(seed, n);
    std::vector<Point> sites;
    sites.reserve(static_cast<size_t>(map.nodeCount()));
    for (const MapNode* node = map.nodeList; node; node = node->next) sites.push_back(at(node));
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

std::string describeSiteProblem(const SiteProblem& p, const std::vector<Point>& sites, const SiteNamer& name)
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
