// The frame triangle around every site, its removal once all sites are in,
// and the outer boundary cycle of the finished map.
#include "map/builder.h"

namespace orvane {

namespace {
// Takes the first record for `to` out of owner's links; the record stays in
// the map's block until the block is packed.
void dropLink(MapNode* owner, const MapNode* to)
{
    for (NodeLink** p = &owner->links; *p; p = &(*p)->next) {
        if ((*p)->node == to) {
            *p = (*p)->next;
            return;
        }
    }
}
}  // namespace

void Triangulator::makeFrame()
{
    const int32_t corners[3][2] = {{-24573, -8191}, {57337, -8191}, {16382, 65528}};
    for (int v = 0; v < 3; ++v) {
        frame_[static_cast<size_t>(v)] = MapNode{};
        frame_[static_cast<size_t>(v)].x = corners[v][0];
        frame_[static_cast<size_t>(v)].y = corners[v][1];
        frame_[static_cast<size_t>(v)].number = static_cast<int16_t>(-1 - v);
    }
}

// The nodes linked to a frame vertex are the outer nodes.
void Triangulator::markOuterNodes()
{
    for (MapNode* n = map_.nodeList; n; n = n->next) n->visited = 0;
    for (const MapNode& v : frame_)
        for (NodeLink* l = v.links; l; l = l->next) l->node->visited = 1;
}

void Triangulator::removeFrame()
{
    for (MapNode& v : frame_) {
        NodeLink* l = v.links;
        while (l) {
            NodeLink* following = l->next;
            MapNode* n = l->node;
            dropLink(&v, n);
            dropLink(n, &v);
            l = following;
        }
    }
}

// The cycle leaves the topmost outer node towards its outer neighbour with the
// greatest angle key and turns, at every node, from the node it came from to
// the next outer neighbour in aroundNext order.
void Triangulator::linkOuterCycle()
{
    MapNode* s = nullptr;
    for (MapNode* n = map_.nodeList; n; n = n->next)
        if (n->visited == 1 && (!s || n->y < s->y)) s = n;
    MapNode* p = nullptr;
    int64_t best = 0;
    for (NodeLink* l = s->links; l; l = l->next) {
        if (l->node->visited != 1) continue;
        const int64_t key = angleKey(l->node->x - s->x, l->node->y - s->y);
        if (!p || key < best) { p = l->node; best = key; }
    }
    map_.outerStart = s;
    MapNode* cur = s;
    MapNode* prev = p;
    for (;;) {
        NodeLink* l = findLink(cur, prev)->aroundNext;
        while (l->node->visited != 1) l = l->aroundNext;
        cur->outer = l->node;
        if (l->node == s) break;
        prev = cur;
        cur = l->node;
    }
}

}  // namespace orvane
