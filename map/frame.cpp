// The frame triangle around every site, the border records of the finished
// triangulation (the frame's borders left out) and the outer boundary cycle.
#include "map/builder.h"

namespace orvane {

void Triangulator::makeFrame()
{
    const int32_t corners[3][2] = {{-24573, -8191}, {57337, -8191}, {16382, 65528}};
    for (int v = 0; v < 3; ++v) points_[static_cast<size_t>(siteCount_ + v)] = Point{corners[v][0], corners[v][1]};
}

// Each node's records, packed together in storage order (so a node's records
// lie near those of the nodes near it), list the node's borders from the
// newest made to the oldest: the order that linking every new record in front
// (and unlinking the records of flipped borders) gives. Every border carries
// the stamp of its making, so the borders taken by falling stamp fill every
// list in its order without a sort. The nodes bordering a frame vertex are the
// outer nodes: visited is 1 there.
void Triangulator::writeBorderRecords()
{
    MapNode* storage = map_.nodeStorage();
    std::vector<uint32_t>& start = pools_.borderOffset;
    std::vector<BorderEnds>& byStamp = pools_.bordersByStamp;
    start.assign(static_cast<size_t>(siteCount_) + 1, 0);
    byStamp.assign(static_cast<size_t>(bordersMade_) + 1, BorderEnds{noIndex, noIndex});
    for (VertexIndex v = 0; v < siteCount_; ++v) storage[v].visited = 0;
    // Every border once: from the triangle with the lower index.
    for (TriangleIndex ti = 0; ti < static_cast<TriangleIndex>(triangles_.size()); ++ti) {
        const Triangle& t = tri(ti);
        for (int i = 0; i < 3; ++i) {
            if (t.neighbours[i] != noIndex && t.neighbours[i] < ti) continue;
            const VertexIndex a = t.corners[(i + 1) % 3], b = t.corners[(i + 2) % 3];
            if (isFrame(a) || isFrame(b)) {
                if (!isFrame(a)) storage[a].visited = 1;
                if (!isFrame(b)) storage[b].visited = 1;
                continue;
            }
            ++start[static_cast<size_t>(a) + 1];
            ++start[static_cast<size_t>(b) + 1];
            byStamp[t.edgeStamps[i]] = {a, b};
        }
    }
    for (size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
    const uint32_t total = start.back();
    NodeLink* links = map_.builtLinks(total);
    std::vector<uint32_t>& fill = pools_.borderFill;
    fill.assign(start.begin(), start.end() - 1);
    for (size_t stamp = byStamp.size(); stamp-- > 1;) {
        const BorderEnds e = byStamp[stamp];
        if (e.a == noIndex) continue;  // a border flipped away
        const uint32_t ka = fill[static_cast<size_t>(e.a)]++, kb = fill[static_cast<size_t>(e.b)]++;
        links[ka] = NodeLink{&links[ka + 1], nullptr, nullptr, &storage[e.b]};
        links[kb] = NodeLink{&links[kb + 1], nullptr, nullptr, &storage[e.a]};
    }
    for (size_t v = 0; v < static_cast<size_t>(siteCount_); ++v) {
        const uint32_t first = start[v], end = start[v + 1];
        storage[v].links = first == end ? nullptr : &links[first];
        if (first != end) links[end - 1].next = nullptr;
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
    // A proper map closes the cycle within N steps; the bound only stops a
    // walk that broken rings (of given sites) send round without reaching s.
    for (VertexIndex step = 0; step < siteCount_; ++step) {
        NodeLink* l = findLink(cur, prev)->aroundNext;
        while (l->node->visited != 1) l = l->aroundNext;
        cur->outer = l->node;
        if (l->node == s) break;
        prev = cur;
        cur = l->node;
    }
}

}  // namespace orvane
