// Completion: colour the set-aside nodes in reverse order of deferral and put
// them back; verification of the finished colouring.
#include "engine/internal.h"

namespace orvane {

namespace {
ColourCode freeColourAmongLinks(const MapNode* d)
{
    unsigned used = 0;
    for (const NodeLink* l = d->links; l; l = l->next) {
        const int c = l->node->colour;
        if (c >= colourR && c <= colourB) used |= 1u << c;
    }
    for (int c = colourR; c <= colourY; ++c)
        if (!(used & (1u << c))) return colourCode(c);
    return colourB;
}

void appendList(NodeLink*& head, NodeLink* tail)
{
    NodeLink** end = &head;
    while (*end) end = &(*end)->next;
    *end = tail;
}
}  // namespace

CompletionOutcome Engine::completeColouring()
{
    resetEngine(false);
    if (!map.deferredList) return CompletionOutcome::nothingDeferred;
    for (MapNode* d = map.deferredList; d; d = d->next) d->colour = freeColourAmongLinks(d);
    restoreDeferred();
    return CompletionOutcome::deferredRestored;
}

void Engine::restoreDeferred()
{
    if (!map.deferredList) return;
    MapNode** end = &map.nodeList;
    while (*end) end = &(*end)->next;
    *end = map.deferredList;
    map.deferredList = nullptr;
    changedOwners.clear();
    for (MapNode* n = map.nodeList; n; n = n->next) {
        if (!n->parkedLinks) continue;
        appendList(n->links, n->parkedLinks);
        n->parkedLinks = nullptr;
        changedOwners.push_back(n);
    }
    if (paths == Paths::reference) {
        orderNeighbours(map);
        return;
    }
    for (MapNode* n : changedOwners) orderNeighboursOf(n);
}

uint16_t Engine::verifyColouring() const
{
    for (const MapNode* n = map.nodeList; n; n = n->next) {
        const int c = n->colour;
        bool fails = c < colourR || c > colourB || (n->outer && c == colourB);
        for (const NodeLink* l = n->links; l && !fails; l = l->next) fails = l->node->colour == c;
        if (fails) return static_cast<uint16_t>(n->number);
    }
    return 0;
}

}  // namespace orvane
