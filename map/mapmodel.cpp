// Map state and its release.
#include "map/map.h"
#include "engine/engine.h"
#include <cstddef>
#include <vector>

bool literalReference = false;
MapNode* nodeList = nullptr;
MapNode* deferredList = nullptr;
MapNode* nodeStorage = nullptr;
int nodeStorageCount = 0;
MapNode* outerStart = nullptr;

namespace {
// Links made by the builder live in blocks owned by the map; links made any
// other way are single allocations.
struct LinkBlock {
    NodeLink* links;
    size_t size;
};
std::vector<LinkBlock> linkBlocks;
size_t usedInLastBlock = 0;
constexpr size_t buildBlockLinks = 8192;

bool inLinkBlocks(const NodeLink* l)
{
    for (const LinkBlock& b : linkBlocks)
        if (l >= b.links && l < b.links + b.size) return true;
    return false;
}

void freeLinkBlocks()
{
    for (const LinkBlock& b : linkBlocks) delete[] b.links;
    linkBlocks.clear();
    usedInLastBlock = 0;
}

void freeLinkList(NodeLink*& head)
{
    while (head) {
        NodeLink* next = head->next;
        disposeLink(head);
        head = next;
    }
}
}  // namespace

NodeLink* newLink()
{
    if (linkBlocks.empty() || usedInLastBlock == linkBlocks.back().size) {
        linkBlocks.push_back({new NodeLink[buildBlockLinks](), buildBlockLinks});
        usedInLastBlock = 0;
    }
    return &linkBlocks.back().links[usedInLastBlock++];
}

void disposeLink(NodeLink* l)
{
    if (!inLinkBlocks(l)) delete l;
}

void compactLinks()
{
    size_t total = 0;
    for (const MapNode* n = nodeList; n; n = n->next) total += static_cast<size_t>(countLinks(n));
    NodeLink* block = new NodeLink[total ? total : 1]();
    size_t k = 0;
    for (MapNode* n = nodeList; n; n = n->next) {
        NodeLink** tail = &n->links;
        for (NodeLink* l = n->links; l; l = l->next) {
            block[k].node = l->node;
            *tail = &block[k];
            tail = &block[k].next;
            ++k;
        }
    }
    freeLinkBlocks();
    linkBlocks.push_back({block, total ? total : 1});
    usedInLastBlock = linkBlocks.back().size;
}

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
    freeLinkBlocks();
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
