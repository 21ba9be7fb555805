// Helpers shared by the engine tests: a fixture owning one map and its
// colouring, seeded and hand-built maps, independent checks of a colouring and
// of the working borders, stepping helpers and a test clock.
#pragma once
#include <gtest/gtest.h>
#include "engine/colouring.h"
#include "engine/work.h"
#include "map/builder.h"
#include "map/map.h"
#include "runs/clocks.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace enginetest {

using namespace orvane;

struct Site {
    int x, y;
};

// Rules with a fast and a reference path run on both.
inline constexpr Paths bothPaths[] = {Paths::fast, Paths::reference};
inline const char* pathName(Paths p) { return p == Paths::fast ? "fast paths" : "reference paths"; }

// One map and its colouring, with the real clock until a test installs
// another. Nodes are addressed by index; in a hand-built map node i has
// number i + 1 and list position i.
class EngineTest : public ::testing::Test {
protected:
    std::shared_ptr<const Map> map = std::make_shared<const Map>();
    Colouring colouring{map};
    ColouringWork& eng = ColouringAccess::work(colouring);
    NodeFields& fields = eng.fields;
    const EngineState& state = eng.state;

    // Builds the map of (seed, n) the way a map request does; the colouring
    // starts afresh, on the given paths.
    void buildSeeded(uint32_t seed, int n, Paths paths = Paths::fast)
    {
        map = Map::build(seed, n, {paths});
        colouring.setPaths(paths);
        colouring.restart(map);
    }

    // A hand-built map: node i at sites[i]; each border adds a link at the
    // front of both owners' lists; `outerCycle` lists the outer boundary in
    // `outer` order.
    void buildHandMap(const std::vector<Site>& sites, const std::vector<std::pair<int, int>>& borderPairs,
                      const std::vector<int>& outerCycle)
    {
        MapAssembly parts;
        for (const Site& s : sites) parts.sites.push_back({s.x, s.y});
        parts.links.resize(sites.size());
        for (auto [a, b] : borderPairs) {
            parts.links[static_cast<size_t>(a)].insert(parts.links[static_cast<size_t>(a)].begin(), static_cast<NodeIndex>(b));
            parts.links[static_cast<size_t>(b)].insert(parts.links[static_cast<size_t>(b)].begin(), static_cast<NodeIndex>(a));
        }
        for (int v : outerCycle) parts.outerCycle.push_back(static_cast<NodeIndex>(v));
        map = parts.assemble();
        colouring.restart(map);
    }

    static NodeIndex at(int i) { return static_cast<NodeIndex>(i); }
    int numberOf(NodeIndex v) const { return v == noNode ? 0 : map->number(v); }
    ColourCode colourAt(NodeIndex v) const { return fields.colour(v); }
    void paintNode(NodeIndex v, int c) { fields.hot[v].colour = colourCode(c); }

    void useSteppingClock(uint32_t start, uint32_t stride) { colouring.setClock(steppingClock(stride, start - stride)); }

    std::vector<NodeIndex> listNodes() const
    {
        std::vector<NodeIndex> v;
        eng.list.forEach([&](NodeIndex n) { v.push_back(n); });
        return v;
    }
    std::vector<NodeIndex> deferredNodes() const
    {
        std::vector<NodeIndex> v;
        for (NodeIndex n = eng.list.deferredHead(); n != noNode; n = eng.list.next(n)) v.push_back(n);
        return v;
    }
    // A node's current neighbours, in list order.
    std::vector<NodeIndex> neighboursOf(NodeIndex v) const
    {
        const std::span<const NodeIndex> l = eng.borders.links(v);
        return {l.begin(), l.end()};
    }
    bool borders(NodeIndex a, NodeIndex b) const
    {
        const std::vector<NodeIndex> l = neighboursOf(a);
        return std::find(l.begin(), l.end(), b) != l.end();
    }

    // The path from pathHead along pathNext, bounded by the node count.
    std::vector<NodeIndex> pathNodes() const
    {
        std::vector<NodeIndex> v;
        for (NodeIndex n = state.pathHead; n != noNode && static_cast<int>(v.size()) <= map->nodeCount();
             n = fields.pathNext[n])
            v.push_back(n);
        return v;
    }

    // The ring from ringEntry along ringNext, bounded by the node count.
    std::vector<NodeIndex> ringNodes() const
    {
        std::vector<NodeIndex> v;
        NodeIndex n = state.ringEntry;
        if (n == noNode) return v;
        do {
            v.push_back(n);
            n = fields.ringNext[n];
        } while (n != noNode && n != state.ringEntry && static_cast<int>(v.size()) <= map->nodeCount());
        return v;
    }

    // Nodes of the arc from `first` along ringPrev to `last`.
    std::vector<NodeIndex> arcNodes(NodeIndex first, NodeIndex last) const
    {
        std::vector<NodeIndex> v;
        for (NodeIndex n = first; n != noNode && static_cast<int>(v.size()) <= map->nodeCount(); n = fields.ringPrev[n]) {
            v.push_back(n);
            if (n == last) break;
        }
        return v;
    }

    // Every border of the colouring's working lists, parked ones included, as
    // number pairs: the map's structure independent of list orders.
    std::set<std::pair<int, int>> allBorders() const
    {
        std::set<std::pair<int, int>> s;
        for (int i = 0; i < map->nodeCount(); ++i) {
            const NodeIndex v = at(i);
            for (const NodeIndex n : eng.borders.links(v)) s.insert({numberOf(v), numberOf(n)});
            for (const NodeIndex n : eng.borders.parked(v)) s.insert({numberOf(v), numberOf(n)});
        }
        return s;
    }

    // The first node of the node list that breaks a colouring rule, found
    // without the engine: a colour outside 1..4, colour 4 on the outer
    // boundary, or a neighbour of the same colour. 0 when none does.
    int firstBadNode() const
    {
        for (const NodeIndex n : listNodes()) {
            const int c = colourAt(n);
            if (c < 1 || c > 4 || (map->isOuter(n) && c == 4)) return numberOf(n);
            for (const NodeIndex m : neighboursOf(n))
                if (colourAt(m) == c) return numberOf(n);
        }
        return 0;
    }

    // No two neighbours carry the same colour among the nodes coloured 1..4.
    bool colouredPartIsProper() const
    {
        for (const NodeIndex n : listNodes()) {
            const int c = colourAt(n);
            if (c < 1 || c > 4) continue;
            for (const NodeIndex m : neighboursOf(n))
                if (colourAt(m) == c) return false;
        }
        return true;
    }

    // Every node of the node list has its ring over exactly its current
    // borders, from its first one, by falling angle key.
    bool ringsCoverLinks() const
    {
        for (const NodeIndex n : listNodes()) {
            const std::span<const NodeIndex> ring = eng.borders.around(n);
            const std::vector<NodeIndex> links = neighboursOf(n);
            if (links.empty()) continue;
            if (std::set<NodeIndex>(ring.begin(), ring.end()) != std::set<NodeIndex>(links.begin(), links.end()) ||
                ring.size() != links.size() || ring[0] != links[0])
                return false;
            int rises = 0;
            const auto keyOf = [&](NodeIndex m) {
                return angleKey(map->site(m).x - map->site(n).x, map->site(m).y - map->site(n).y);
            };
            for (size_t k = 0; k < ring.size(); ++k) rises += keyOf(ring[(k + 1) % ring.size()]) > keyOf(ring[k]);
            if (ring.size() > 1 && rises != 1) return false;
        }
        return true;
    }

    // Nodes with a chain mark, reachable from `root` through marked neighbours.
    std::set<NodeIndex> markedComponent(NodeIndex root) const
    {
        std::set<NodeIndex> seen{root};
        std::vector<NodeIndex> todo{root};
        while (!todo.empty()) {
            const NodeIndex n = todo.back();
            todo.pop_back();
            for (const NodeIndex m : neighboursOf(n))
                if (fields.chainMark(m) != 0 && seen.insert(m).second) todo.push_back(m);
        }
        return seen;
    }

    int colouredCount() const
    {
        int c = 0;
        for (const NodeIndex n : listNodes()) c += colourAt(n) != colourNone;
        return c;
    }

    // Steps one press at a time until `done` holds after a step or the colouring
    // finishes; returns the number of steps taken.
    template <class Done>
    long stepUntil(Done done, long limit = 1000000)
    {
        long steps = 0;
        while (!colouring.finished() && steps < limit) {
            colouring.step(false);
            ++steps;
            if (done()) break;
        }
        return steps;
    }
};

}  // namespace enginetest
