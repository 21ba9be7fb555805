// Helpers shared by the engine tests: seeded and hand-built maps, independent
// checks of a colouring and of the map's structure, and stepping helpers.
#pragma once
#include <gtest/gtest.h>
#include "engine/engine.h"
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "ui/ui.h"
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace enginetest {

// Builds the map of (seed, n) the way a map request does.
inline void buildSeeded(uint32_t seed, int n)
{
    seedGenerator(seed);
    buildMap(n);
    EnginePhase = phasePrepare;
    growthDone = 0;
}

struct Site {
    int x, y;
};

// A hand-built map: node i (list position i, number i + 1) at sites[i]; each
// border adds a link at the front of both owners' lists; `outerCycle` lists
// the outer boundary in `outer` order. Released by releaseMap like any map.
inline void buildHandMap(const std::vector<Site>& sites, const std::vector<std::pair<int, int>>& borders,
                         const std::vector<int>& outerCycle)
{
    releaseMap();
    const int n = static_cast<int>(sites.size());
    nodeStorage = new MapNode[n]();
    nodeStorageCount = n;
    for (int i = 0; i < n; ++i) {
        MapNode& m = nodeStorage[i];
        m.x = sites[i].x;
        m.y = sites[i].y;
        const double dx = m.x - 16383.0, dy = m.y - 16383.0;
        m.centreDistance = static_cast<int32_t>(std::floor(std::sqrt(dx * dx + dy * dy) + 0.5));
        m.number = static_cast<int16_t>(i + 1);
        m.next = i + 1 < n ? &nodeStorage[i + 1] : nullptr;
    }
    nodeList = &nodeStorage[0];
    for (auto [a, b] : borders) {
        nodeStorage[a].links = new NodeLink{nodeStorage[a].links, nullptr, nullptr, &nodeStorage[b]};
        nodeStorage[b].links = new NodeLink{nodeStorage[b].links, nullptr, nullptr, &nodeStorage[a]};
    }
    const size_t m = outerCycle.size();
    for (size_t k = 0; k < m; ++k) {
        nodeStorage[outerCycle[k]].outer = &nodeStorage[outerCycle[(k + 1) % m]];
        nodeStorage[outerCycle[k]].visited = 1;
    }
    outerStart = m ? &nodeStorage[outerCycle[0]] : nullptr;
    orderNeighbours();
    EnginePhase = phasePrepare;
    growthDone = 0;
}

// Node of a hand-built map by list position.
inline MapNode* at(int i) { return &nodeStorage[i]; }

// Any node of the current map (deferred ones included) by its number.
inline MapNode* numbered(int number)
{
    for (int i = 0; i < nodeStorageCount; ++i)
        if (nodeStorage[i].number == number) return &nodeStorage[i];
    return nullptr;
}

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

// The path from pathHead along pathNext, bounded by the node count.
inline std::vector<MapNode*> pathNodes()
{
    std::vector<MapNode*> v;
    for (MapNode* n = pathHead; n && static_cast<int>(v.size()) <= nodeStorageCount; n = n->pathNext) v.push_back(n);
    return v;
}

// The ring from ringEntry along ringNext, bounded by the node count.
inline std::vector<MapNode*> ringNodes()
{
    std::vector<MapNode*> v;
    MapNode* n = ringEntry;
    if (!n) return v;
    do {
        v.push_back(n);
        n = n->ringNext;
    } while (n && n != ringEntry && static_cast<int>(v.size()) <= nodeStorageCount);
    return v;
}

// Nodes of the arc from arcFirst along ringPrev to arcLast.
inline std::vector<MapNode*> arcNodes(MapNode* first, MapNode* last)
{
    std::vector<MapNode*> v;
    for (MapNode* n = first; n && static_cast<int>(v.size()) <= nodeStorageCount; n = n->ringPrev) {
        v.push_back(n);
        if (n == last) break;
    }
    return v;
}

// Every border of the map, deferred nodes and parked links included, as
// number pairs: the map's structure independent of list orders.
inline std::set<std::pair<int, int>> allBorders()
{
    std::set<std::pair<int, int>> s;
    for (int i = 0; i < nodeStorageCount; ++i) {
        const MapNode& n = nodeStorage[i];
        for (NodeLink* l = n.links; l; l = l->next) s.insert({n.number, l->node->number});
        for (NodeLink* l = n.parkedLinks; l; l = l->next) s.insert({n.number, l->node->number});
    }
    return s;
}

// The first node of the node list that breaks a colouring rule, found
// without the engine: a colour outside 1..4, colour 4 on the outer
// boundary, or a neighbour of the same colour. 0 when none does.
inline int firstBadNode()
{
    for (MapNode* n = nodeList; n; n = n->next) {
        if (n->colour < 1 || n->colour > 4 || (n->outer && n->colour == 4)) return n->number;
        for (MapNode* m : neighboursOf(n))
            if (m->colour == n->colour) return n->number;
    }
    return 0;
}

// No two neighbours carry the same colour among the nodes coloured 1..4.
inline bool colouredPartIsProper()
{
    for (MapNode* n = nodeList; n; n = n->next) {
        if (n->colour < 1 || n->colour > 4) continue;
        for (MapNode* m : neighboursOf(n))
            if (m->colour == n->colour) return false;
    }
    return true;
}

// Every node of the node list has its aroundNext/aroundPrev ring over exactly its links.
inline bool ringsCoverLinks()
{
    for (MapNode* n = nodeList; n; n = n->next) {
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

// Steps one press at a time until `done` holds after a step or the colouring
// finishes; returns the number of steps taken.
template <class Done>
long stepUntil(Done done, long limit = 1000000)
{
    long steps = 0;
    while (!engineFinished() && steps < limit) {
        engineStep(false);
        ++steps;
        if (done()) break;
    }
    return steps;
}

// Test clocks for the driver's time limit.
inline uint32_t clockNow = 0;
inline uint32_t clockStride = 0;
inline uint32_t steppingClock()
{
    const uint32_t t = clockNow;
    clockNow += clockStride;
    return t;
}
inline void useSteppingClock(uint32_t start, uint32_t stride)
{
    clockNow = start;
    clockStride = stride;
    headlessSetClock(&steppingClock);
}

// Puts the shared state back after each test: no map, real clock, map page.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        releaseMap();
        headlessReset();
        headlessSetClock(nullptr);
        displayMode = 0;
        EnginePhase = phasePrepare;
    }
    void TearDown() override
    {
        releaseMap();
        headlessSetClock(nullptr);
        headlessReset();
        displayMode = 0;
        EnginePhase = phasePrepare;
    }
};

}  // namespace enginetest
