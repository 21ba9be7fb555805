// Completion: colour the set-aside nodes in reverse order of deferral and put
// them back; verification of the finished colouring.
#include "engine/engine.h"
#include <vector>

namespace {
int8_t freeColourAmongLinks(const MapNode* d)
{
    unsigned used = 0;
    for (const NodeLink* l = d->links; l; l = l->next) {
        const int8_t c = l->node->colour;
        if (c >= colourR && c <= colourB) used |= 1u << c;
    }
    for (int8_t c = colourR; c <= colourY; ++c)
        if (!(used & (1u << c))) return c;
    return colourB;
}

void appendList(NodeLink*& head, NodeLink* tail)
{
    NodeLink** end = &head;
    while (*end) end = &(*end)->next;
    *end = tail;
}
}  // namespace

int completeColouring()
{
    resetEngine(false);
    if (!deferredList) return 0;
    for (MapNode* d = deferredList; d; d = d->next) d->colour = freeColourAmongLinks(d);
    restoreDeferred();
    return 1;
}

void restoreDeferred()
{
    if (!deferredList) return;
    MapNode** end = &nodeList;
    while (*end) end = &(*end)->next;
    *end = deferredList;
    deferredList = nullptr;
    std::vector<MapNode*> changed;
    for (MapNode* n = nodeList; n; n = n->next) {
        if (!n->parkedLinks) continue;
        appendList(n->links, n->parkedLinks);
        n->parkedLinks = nullptr;
        changed.push_back(n);
    }
    if (literalReference) {
        orderNeighbours();
        return;
    }
    for (MapNode* n : changed) orderNeighboursOf(n);
}

uint16_t verifyColouring()
{
    for (const MapNode* n = nodeList; n; n = n->next) {
        const int8_t c = n->colour;
        bool fails = c < colourR || c > colourB || (n->outer && c == colourB);
        for (const NodeLink* l = n->links; l && !fails; l = l->next) fails = l->node->colour == c;
        if (fails) return static_cast<uint16_t>(n->number);
    }
    return 0;
}
