// Scratch bookkeeping of the fast paths. Between preparation and completion the
// engine remembers which nodes it gave a non-zero chainMark, visited or
// swapCursor, or a chainDegree and chainParent, so that clearing such a field
// "on every node" touches only those nodes and leaves exactly the state a
// whole-list clear leaves. The first clear of each field in a colouring walks
// the whole list (fields keep values from earlier colourings), and so does
// every clear on the reference paths or outside a colouring.
#include "engine/internal.h"
#include <algorithm>

namespace orvane {

namespace {
// Tracking needs every node of the list to sit in the map's node storage.
bool assignListPositions(const Map& map, std::vector<int>& position)
{
    const MapNode* storage = map.nodeStorage();
    const int count = map.nodeStorageCount();
    position.assign(static_cast<size_t>(count), -1);
    int k = 0;
    for (const MapNode* n = map.nodeList; n; n = n->next, ++k) {
        if (n < storage || n >= storage + count) return false;
        position[static_cast<size_t>(n - storage)] = k;
    }
    return true;
}
}  // namespace

void Engine::beginScratchTracking()
{
    for (ScratchField* f : {&markField, &visitedField, &trimField, &swapField}) {
        f->touched.clear();
        f->clean = false;
    }
    base = map.nodeStorage();
    // Compact borders hold slots in 16 bits.
    tracking = paths == Paths::fast && map.nodeStorageCount() <= 65536 && assignListPositions(map, listPosition);
    if (tracking) packNodes();
}

template <typename Clear>
void Engine::clearField(ScratchField& f, Clear clear)
{
    if (tracking && f.clean) {
        for (uint32_t slot : f.touched) clear(nodeAt(slot));
    } else {
        for (MapNode* n = map.nodeList; n; n = n->next) clear(n);
        f.clean = tracking;
    }
    f.touched.clear();
}

void Engine::clearVisited()
{
    if (tracking && visitedField.clean) {
        HotNode* const hotNodes = hot.data();
        MapNode* const nodes = base;
        for (uint32_t slot : visitedField.touched) nodes[slot].visited = hotNodes[slot].visited = 0;
        visitedField.touched.clear();
        return;
    }
    clearField(visitedField, [this](MapNode* n) { setVisited(n, 0); });
}

void Engine::clearSwapCursors()
{
    clearField(swapField, [](MapNode* n) { n->swapCursor = 0; });
}

void Engine::clearChainMarks()
{
    if (tracking && markField.clean) {
        HotNode* const hotNodes = hot.data();
        MapNode* const nodes = base;
        if (nodeMarksBehind) {
            for (uint32_t slot : markField.touched) hotNodes[slot].chainMark = colourNone;
        } else {
            for (uint32_t slot : markField.touched) nodes[slot].chainMark = hotNodes[slot].chainMark = colourNone;
        }
        nodeMarksBehind = false;
        markField.touched.clear();
        return;
    }
    nodeMarksBehind = false;
    clearField(markField, [this](MapNode* n) { setChainMark(n, colourNone); });
}

// The nodes with chainMark m (any non-zero mark with anyMark), in node-list order.
const std::vector<MapNode*>& Engine::markedInListOrder(ColourCode m, bool anyMark)
{
    const auto wanted = [m, anyMark](ColourCode mark) { return anyMark ? mark != colourNone : mark == m; };
    std::vector<MapNode*>& nodes = markedScratch;
    nodes.clear();
    if (tracking && markField.clean) {
        for (uint32_t slot : markField.touched)
            if (wanted(base[slot].chainMark)) nodes.push_back(nodeAt(slot));
        std::sort(nodes.begin(), nodes.end(),
                  [this](const MapNode* a, const MapNode* b) { return nodeListPosition(a) < nodeListPosition(b); });
        nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    } else {
        for (MapNode* n = map.nodeList; n; n = n->next)
            if (wanted(n->chainMark)) nodes.push_back(n);
    }
    return nodes;
}

}  // namespace orvane
