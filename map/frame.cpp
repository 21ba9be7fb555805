// The frame triangle around every site, the border records of the finished
// triangulation (the frame's borders left out) and the outer boundary cycle.
#include "map/builder.h"
#include <utility>

namespace orvane {

void Triangulator::makeFrame()
{
    const int32_t corners[3][2] = {{-24573, -8191}, {57337, -8191}, {16382, 65528}};
    for (int v = 0; v < 3; ++v) points_[static_cast<size_t>(siteCount_ + v)] = Point{corners[v][0], corners[v][1]};
}

// Each node's records, packed together in storage order (so a node's records
// lie near those of the nodes near it), list the node's borders from the
// newest made to the oldest: the order that linking every new record in front
// (and unlinking the records of flipped borders) gives. The nodes bordering a
// frame vertex are the outer nodes: visited is 1 there.
void Triangulator::writeBorderRecords()
{
    MapNode* storage = map_.nodeStorage();
    std::vector<uint32_t>& offset = pools_.borderOffset;
    offset.assign(static_cast<size_t>(siteCount_) + 1, 0);
    for (VertexIndex v = 0; v < siteCount_; ++v) storage[v].visited = 0;
    // Every border once: from the triangle with the lower index.
    auto forEachBorder = [&](auto visit) {
        for (TriangleIndex ti = 0; ti < static_cast<TriangleIndex>(triangles_.size()); ++ti) {
            const Triangle& t = tri(ti);
            for (int i = 0; i < 3; ++i) {
                if (t.neighbours[i] != noIndex && t.neighbours[i] < ti) continue;
                visit(t.corners[(i + 1) % 3], t.corners[(i + 2) % 3], t.edgeStamps[i]);
            }
        }
    };
    forEachBorder([&](VertexIndex a, VertexIndex b, uint32_t) {
        if (isFrame(a) || isFrame(b)) {
            if (!isFrame(a)) storage[a].visited = 1;
            if (!isFrame(b)) storage[b].visited = 1;
            return;
        }
        ++offset[static_cast<size_t>(a)];
        ++offset[static_cast<size_t>(b)];
    });
    // Offsets in storage order, where each node's records go.
    uint32_t total = 0;
    for (size_t slot = 0; slot < static_cast<size_t>(siteCount_); ++slot) {
        const uint32_t count = offset[slot];
        offset[slot] = total;
        total += count;
    }
    std::vector<std::pair<uint32_t, VertexIndex>>& records = pools_.borderScratch;
    records.resize(total);
    std::vector<uint32_t>& fill = pools_.borderFill;
    fill.assign(offset.begin(), offset.end() - 1);
    forEachBorder([&](VertexIndex a, VertexIndex b, uint32_t stamp) {
        if (isFrame(a) || isFrame(b)) return;
        records[fill[static_cast<size_t>(a)]++] = {stamp, b};
        records[fill[static_cast<size_t>(b)]++] = {stamp, a};
    });
    NodeLink* links = map_.builtLinks(total);
    for (size_t slot = 0; slot < static_cast<size_t>(siteCount_); ++slot) {
        MapNode* n = &storage[slot];
        const uint32_t first = offset[slot], end = fill[slot];
        for (uint32_t i = first + 1; i < end; ++i)  // newest first; a node has few borders
            for (uint32_t j = i; j > first && records[j].first > records[j - 1].first; --j)
                std::swap(records[j], records[j - 1]);
        n->links = first == end ? nullptr : &links[first];
        for (uint32_t k = first; k < end; ++k)
            links[k] = NodeLink{k + 1 < end ? &links[k + 1] : nullptr, nullptr, nullptr, &storage[records[k].second]};
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
