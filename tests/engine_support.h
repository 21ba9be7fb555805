// Helpers shared by the engine tests: a fixture owning one map and its
// colouring, seeded and hand-built maps, independent checks of a colouring and
// of the map's structure, stepping helpers and a test clock.
#pragma once
#include <gtest/gtest.h>
#include "engine/colouring.h"
#include "engine/internal.h"
#include "map/map.h"
#include "runs/clocks.h"
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

inline bool borders(const MapNode* a, const MapNode* b) { return findLink(a, b) != nullptr; }

inline std::vector<MapNode*> listNodes(MapNode* head)
{
    std::vector<MapNode*> v;
    for (MapNode* n = head; n; n = n->next) v.push_back(n);
    return v;
}

inline std::vector<MapNode*> neighboursOf(const MapNode* n)
{
    std::vector<MapNode*> v;
    for (NodeLink* l = n->links; l; l = l->next) v.push_back(l->node);
    return v;
}

// One map and its colouring, with the real clock until a test installs another.
// Rules with a fast and a reference path run on both.
inline constexpr Paths bothPaths[] = {Paths::fast, Paths::reference};
inline const char* pathName(Paths p) { return p == Paths::fast ? "fast paths" : "reference paths"; }

class EngineTest : public ::testing::Test {
protected:
    Map map;
    Colouring colouring{map};
    Engine& eng = colouring.engine();

    // Builds the map of (seed, n) the way a map request does; the colouring
    // starts afresh, on the given paths.
    void buildSeeded(uint32_t seed, int n, Paths paths = Paths::fast)
    {
        map.build(seed, n, {paths});
        colouring.setPaths(paths);
        colouring.restart();
    }

    // A hand-built map: node i (storage slot and list position i, number i + 1)
    // at sites[i]; each border adds a link at the front of both owners' lists;
    // `outerCycle` lists the outer boundary in `outer` order.
    void buildHandMap(const std::vector<Site>& sites, const std::vector<std::pair<int, int>>& borderPairs,
                      const std::vector<int>& outerCycle)
    {
        const int n = static_cast<int>(sites.size());
        MapNode* storage = map.allocateNodes(n);
        for (int i = 0; i < n; ++i) {
            MapNode& m = storage[i];
            m.x = sites[i].x;
            m.y = sites[i].y;
            const double dx = m.x - 16383.0, dy = m.y - 16383.0;
            m.centreDistance = static_cast<int32_t>(std::floor(std::sqrt(dx * dx + dy * dy) + 0.5));
            m.number = static_cast<int16_t>(i + 1);
            m.next = i + 1 < n ? &storage[i + 1] : nullptr;
        }
        map.nodeList = &storage[0];
        auto linkFront = [this](MapNode& owner, MapNode& neighbour) {
            NodeLink* l = map.newLink();
            *l = NodeLink{owner.links, nullptr, nullptr, &neighbour};
            owner.links = l;
        };
        for (auto [a, b] : borderPairs) {
            linkFront(storage[a], storage[b]);
            linkFront(storage[b], storage[a]);
        }
        const size_t m = outerCycle.size();
        for (size_t k = 0; k < m; ++k) {
            storage[outerCycle[k]].outer = &storage[outerCycle[(k + 1) % m]];
            storage[outerCycle[k]].visited = 1;
        }
        map.outerStart = m ? &storage[outerCycle[0]] : nullptr;
        orderNeighbours(map);
        colouring.restart();
    }

    // Node of a hand-built map by storage slot.
    MapNode* at(int i) const { return &map.nodeStorage()[i]; }

    // Readings start, start + stride, start + 2 * stride...
    void useSteppingClock(uint32_t start, uint32_t stride) { colouring.setClock(steppingClock(stride, start - stride)); }

    // The path from pathHead along pathNext, bounded by the node count.
    std::vector<MapNode*> pathNodes() const
    {
        std::vector<MapNode*> v;
        for (MapNode* n = eng.pathHead; n && static_cast<int>(v.size()) <= map.nodeStorageCount(); n = n->pathNext)
            v.push_back(n);
        return v;
    }

    // The ring from ringEntry along ringNext, bounded by the node count.
    std::vector<MapNode*> ringNodes() const
    {
        std::vector<MapNode*> v;
        MapNode* n = eng.ringEntry;
        if (!n) return v;
        do {
            v.push_back(n);
            n = n->ringNext;
        } while (n && n != eng.ringEntry && static_cast<int>(v.size()) <= map.nodeStorageCount());
        return v;
    }

    // Nodes of the arc from `first` along ringPrev to `last`.
    std::vector<MapNode*> arcNodes(MapNode* first, MapNode* last) const
    {
        std::vector<MapNode*> v;
        for (MapNode* n = first; n && static_cast<int>(v.size()) <= map.nodeStorageCount(); n = n->ringPrev) {
            v.push_back(n);
            if (n == last) break;
        }
        return v;
    }

    // Every border of the map, deferred nodes and parked links included, as
    // number pairs: the map's structure independent of list orders.
    std::set<std::pair<int, int>> allBorders() const
    {
        std::set<std::pair<int, int>> s;
        for (int i = 0; i < map.nodeStorageCount(); ++i) {
            const MapNode& n = map.nodeStorage()[i];
            for (NodeLink* l = n.links; l; l = l->next) s.insert({n.number, l->node->number});
            for (NodeLink* l = n.parkedLinks; l; l = l->next) s.insert({n.number, l->node->number});
        }
        return s;
    }

    // The first node of the node list that breaks a colouring rule, found
    // without the engine: a colour outside 1..4, colour 4 on the outer
    // boundary, or a neighbour of the same colour. 0 when none does.
    int firstBadNode() const
    {
        for (MapNode* n = map.nodeList; n; n = n->next) {
            if (n->colour < 1 || n->colour > 4 || (n->outer && n->colour == 4)) return n->number;
            for (MapNode* m : neighboursOf(n))
                if (m->colour == n->colour) return n->number;
        }
        return 0;
    }

    // No two neighbours carry the same colour among the nodes coloured 1..4.
    bool colouredPartIsProper() const
    {
        for (MapNode* n = map.nodeList; n; n = n->next) {
            if (n->colour < 1 || n->colour > 4) continue;
            for (MapNode* m : neighboursOf(n))
                if (m->colour == n->colour) return false;
        }
        return true;
    }

    // Every node of the node list has its aroundNext/aroundPrev ring over exactly its links.
    bool ringsCoverLinks() const
    {
        for (MapNode* n = map.nodeList; n; n = n->next) {
            std::set<NodeLink*> own;
            for (NodeLink* l = n->links; l; l = l->next) own.insert(l);
            if (own.empty()) continue;
            std::set<NodeLink*> seen;
            NodeLink* l = n->links;
            do {
                if (!own.count(l) || l->aroundNext->aroundPrev != l || !seen.insert(l).second) return false;
                l = l->aroundNext;
            } while (l != n->links);
            if (seen.size() != own.size()) return false;
        }
        return true;
    }

    int colouredCount() const
    {
        int c = 0;
        for (MapNode* n = map.nodeList; n; n = n->next) c += n->colour != colourNone;
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
