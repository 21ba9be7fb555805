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
    tracking = paths == Paths::fast && assignListPositions(map, listPosition);
}

template <typename Clear>
void Engine::clearField(ScratchField& f, Clear clear)
{
    if (tracking && f.clean) {
        for (MapNode* n : f.touched) clear(n);
    } else {
        for (MapNode* n = map.nodeList; n; n = n->next) clear(n);
        f.clean = tracking;
    }
    f.touched.clear();
}

void Engine::clearVisited()
{
    clearField(visitedField, [](MapNode* n) { n->visited = 0; });
}

void Engine::clearSwapCursors()
{
    clearField(swapField, [](MapNode* n) { n->swapCursor = 0; });
}

void Engine::clearChainMarks()
{
    clearField(markField, [](MapNode* n) { n->chainMark = colourNone; });
}

// The nodes with chainMark m (any non-zero mark with anyMark), in node-list order.
std::vector<MapNode*> Engine::markedInListOrder(ColourCode m, bool anyMark)
{
    const auto wanted = [m, anyMark](ColourCode mark) { return anyMark ? mark != colourNone : mark == m; };
    std::vector<MapNode*> nodes;
    if (tracking && markField.clean) {
        for (MapNode* n : markField.touched)
            if (wanted(n->chainMark)) nodes.push_back(n);
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
