// Checks over a built map that do not rely on the builder: invariants of the
// records, the empty-circumcircle property with exact integers, a digest. Each
// helper reads the map it is given and nothing else.
#pragma once
#include "map/map.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace mapcheck {

using orvane::BuildOptions;
using orvane::Map;
using orvane::MapNode;
using orvane::NodeLink;

inline void buildSeeded(Map& map, uint32_t seed, int n, BuildOptions options = {})
{
    map.build(seed, n, options);
}

// Sites in insertion order: the first becomes number 1.
inline bool buildFrom(Map& map, std::initializer_list<std::pair<int32_t, int32_t>> sites, BuildOptions options = {})
{
    std::vector<int32_t> xy;
    for (const auto& [x, y] : sites) {
        xy.push_back(x);
        xy.push_back(y);
    }
    return map.buildFromSites(xy.data(), static_cast<int>(sites.size()), options);
}

// The node of that number on the node list (deferred nodes are not looked at).
inline MapNode* nodeNumbered(const Map& map, int number)
{
    for (MapNode* n = map.nodeList; n; n = n->next)
        if (n->number == number) return n;
    return nullptr;
}

// Nodes on the node list.
inline int nodeCount(const Map& map)
{
    int c = 0;
    for (const MapNode* n = map.nodeList; n; n = n->next) ++c;
    return c;
}

// Neighbour numbers in `links` order.
inline std::vector<int> linkNumbers(const MapNode* n)
{
    std::vector<int> out;
    for (const NodeLink* l = n->links; l; l = l->next) out.push_back(l->node->number);
    return out;
}

// Neighbour numbers around the ring by aroundNext, starting at the link to `first`.
inline std::vector<int> ringNumbers(const MapNode* n, int first)
{
    std::vector<int> out;
    const NodeLink* start = n->links;
    while (start && start->node->number != first) start = start->next;
    if (!start) return out;
    const NodeLink* l = start;
    do {
        out.push_back(l->node->number);
        l = l->aroundNext;
    } while (l && l != start && out.size() <= 10000);
    return out;
}

// Numbers along the outer cycle from outerStart, back to it.
inline std::vector<int> outerCycle(const Map& map)
{
    std::vector<int> out;
    const MapNode* n = map.outerStart;
    while (n && out.size() <= 10001) {
        out.push_back(n->number);
        n = n->outer;
        if (n == map.outerStart) {
            out.push_back(n->number);
            break;
        }
    }
    return out;
}

// Borders as (a, b) with a < b.
inline std::set<std::pair<int, int>> borders(const Map& map)
{
    std::set<std::pair<int, int>> out;
    for (const MapNode* n = map.nodeList; n; n = n->next)
        for (const NodeLink* l = n->links; l; l = l->next)
            if (n->number < l->node->number) out.insert({n->number, l->node->number});
    return out;
}

// Every invariant of a map as built; empty when all hold, else the first breach.
inline std::string invariantBreach(const Map& map)
{
    std::ostringstream why;
    if (map.deferredList) return "deferred list not empty";
    const MapNode* storage = map.nodeStorage();
    const int storageCount = map.nodeStorageCount();
    std::set<const MapNode*> onList;
    int expected = 1, outerNodes = 0;
    for (const MapNode* n = map.nodeList; n; n = n->next) {
        onList.insert(n);
        if (n < storage || n >= storage + storageCount) return "node outside storage";
        if (n->number != expected++) return "numbers not 1..N along the list";
        if (n->parkedLinks) return "parked links on a fresh map";
        if (n->x < 0 || n->x > 32767 || n->y < 0 || n->y > 32767) return "site outside the square";
        if ((n->outer != nullptr) != (n->visited == 1)) return "outer and visited disagree";
        if (n->visited != 0 && n->visited != 1) return "visited neither 0 nor 1";
        outerNodes += n->outer != nullptr;
    }
    if (static_cast<int>(onList.size()) != storageCount) return "node list and storage differ in size";
    for (const MapNode* n = map.nodeList; n; n = n->next) {
        std::set<const MapNode*> seen;
        int count = 0;
        for (const NodeLink* l = n->links; l; l = l->next) {
            ++count;
            if (l->node == n) return "node linked to itself";
            if (!onList.count(l->node)) return "link to a node off the list (frame vertex?)";
            if (!seen.insert(l->node).second) return "two records for one neighbour";
            if (!findLink(l->node, n)) {
                why << "border " << n->number << "-" << l->node->number << " has no record back";
                return why.str();
            }
        }
        if (count < 2) return "node with fewer than two borders";
        // The ring covers exactly the links, once each, consistently both ways.
        std::set<const NodeLink*> ring;
        const NodeLink* l = n->links;
        do {
            if (!l->aroundNext || l->aroundNext->aroundPrev != l) return "ring not doubly linked";
            if (!ring.insert(l).second) return "ring revisits a link";
            l = l->aroundNext;
        } while (l != n->links && static_cast<int>(ring.size()) <= count);
        if (static_cast<int>(ring.size()) != count) return "ring does not cover the links";
        for (const NodeLink* k = n->links; k; k = k->next)
            if (!ring.count(k)) return "ring misses a link";
    }
    if (!map.outerStart || !map.outerStart->outer) return "no outer cycle";
    std::set<const MapNode*> cycle;
    const MapNode* n = map.outerStart;
    do {
        if (!n->outer) return "outer cycle reaches an inner node";
        if (!cycle.insert(n).second) return "outer cycle visits a node twice";
        if (!findLink(n, n->outer)) return "outer cycle steps across no border";
        n = n->outer;
    } while (n != map.outerStart && static_cast<int>(cycle.size()) <= outerNodes);
    if (static_cast<int>(cycle.size()) != outerNodes) return "outer cycle misses outer nodes";
    return {};
}

// Exact sign of the in-circle determinant: > 0 when d lies strictly inside the
// circle through a, b, c taken counter-clockwise (in x-right, y-up terms).
inline int inCircleSign(const MapNode* a, const MapNode* b, const MapNode* c, const MapNode* d)
{
    const __int128 adx = a->x - d->x, ady = a->y - d->y;
    const __int128 bdx = b->x - d->x, bdy = b->y - d->y;
    const __int128 cdx = c->x - d->x, cdy = c->y - d->y;
    const __int128 al = adx * adx + ady * ady, bl = bdx * bdx + bdy * bdy, cl = cdx * cdx + cdy * cdy;
    const __int128 det = al * (bdx * cdy - bdy * cdx) - bl * (adx * cdy - ady * cdx) + cl * (adx * bdy - ady * bdx);
    return det > 0 ? 1 : det < 0 ? -1 : 0;
}

inline int64_t cross(const MapNode* o, const MapNode* a, const MapNode* b)
{
    return int64_t(a->x - o->x) * (b->y - o->y) - int64_t(a->y - o->y) * (b->x - o->x);
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
    std::vector<std::vector<const MapNode*>> grid(cells * cells);
    for (const MapNode* n = map.nodeList; n; n = n->next)
        grid[(n->y / cellSize) * cells + n->x / cellSize].push_back(n);
    for (const MapNode* u = map.nodeList; u; u = u->next) {
        const NodeLink* l = u->links;
        do {
            const MapNode* v = l->node;
            const MapNode* w = l->aroundNext->node;
            l = l->aroundNext;
            if (v == w || !findLink(v, w)) continue;
            const int64_t turn = cross(u, v, w);
            if (turn > 0) continue;  // the outside of the map at an outer node
            if (u->number > v->number || u->number > w->number) continue;
            ++out.triangles;
            if (turn == 0) {
                ++out.degenerate;
                continue;
            }
            // Counter-clockwise order in x-right, y-up terms: u, w, v when turn < 0.
            const double ax = u->x, ay = u->y, bx = w->x, by = w->y, cx = v->x, cy = v->y;
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
                    for (const MapNode* s : grid[gy * cells + gx])
                        if (s != u && s != v && s != w && inCircleSign(u, w, v, s) > 0) ++out.violations;
        } while (l != u->links);
    }
    return out;
}

// Everything a build decides, folded into one value (FNV-1a).
inline uint64_t mapDigest(const Map& map)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](int64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= static_cast<uint8_t>(v >> (8 * i));
            h *= 1099511628211ull;
        }
    };
    for (const MapNode* n = map.nodeList; n; n = n->next) {
        mix(n->number);
        mix(n->x);
        mix(n->y);
        mix(n->centreDistance);
        mix(n->visited);
        mix(n->outer ? n->outer->number : 0);
        for (const NodeLink* l = n->links; l; l = l->next) mix(l->node->number);
        mix(-1);
        for (const int k : ringNumbers(n, n->links->node->number)) mix(k);
        mix(-2);
    }
    mix(map.outerStart ? map.outerStart->number : 0);
    return h;
}

}  // namespace mapcheck
