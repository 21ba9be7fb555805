// Map state and its release.
#include "map/map.h"
#include "engine/engine.h"

MapNode* nodeList = nullptr;
MapNode* deferredList = nullptr;
MapNode* nodeStorage = nullptr;
int nodeStorageCount = 0;
MapNode* outerStart = nullptr;

namespace {
void freeLinkList(NodeLink*& head)
{
    while (head) {
        NodeLink* next = head->next;
        delete head;
        head = next;
    }
}
}  // namespace

void releaseMap()
{
    for (MapNode* n = deferredList; n; n = n->next) {
        freeLinkList(n->links);
        freeLinkList(n->parkedLinks);
    }
    deferredList = nullptr;
    for (MapNode* n = nodeList; n; n = n->next) {
        freeLinkList(n->parkedLinks);
        freeLinkList(n->links);
    }
    nodeList = nullptr;
    delete[] nodeStorage;
    nodeStorage = nullptr;
    nodeStorageCount = 0;
    outerStart = nullptr;
    resetEngine(false);
}

NodeLink* findLink(const MapNode* owner, const MapNode* neighbour)
{
    for (NodeLink* l = owner->links; l; l = l->next)
        if (l->node == neighbour) return l;
    return nullptr;
}

int countLinks(const MapNode* node)
{
    int c = 0;
    for (const NodeLink* l = node->links; l; l = l->next) ++c;
    return c;
}
