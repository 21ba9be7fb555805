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
// outer nodes.
void Triangulator::writeBorderRecords()
{
    std::vector<uint32_t>& fill = pools_.borderFill;
    std::vector<BorderEnds>& byStamp = pools_.bordersByStamp;
    std::vector<uint8_t>& outer = pools_.outerMark;
    fill.assign(static_cast<size_t>(siteCount_) + 1, 0);
    byStamp.assign(static_cast<size_t>(bordersMade_) + 1, BorderEnds{noIndex, noIndex});
    outer.assign(static_cast<size_t>(siteCount_), 0);
    // Every border once: from the triangle with the lower index. fill[v + 1]
    // counts v's borders first.
    for (TriangleIndex ti = 0; ti < static_cast<TriangleIndex>(triangles_.size()); ++ti) {
        const Triangle& t = tri(ti);
        for (int i = 0; i < 3; ++i) {
            if (t.neighbours[i] != noIndex && t.neighbours[i] < ti) continue;
            const VertexIndex a = t.corners[(i + 1) % 3], b = t.corners[(i + 2) % 3];
            if (isFrame(a) || isFrame(b)) {
                if (!isFrame(a)) outer[static_cast<size_t>(a)] = 1;
                if (!isFrame(b)) outer[static_cast<size_t>(b)] = 1;
                continue;
            }
            ++fill[static_cast<size_t>(a) + 1];
            ++fill[static_cast<size_t>(b) + 1];
            byStamp[t.edgeStamps[i]] = {a, b};
        }
    }
    for (size_t v = 1; v < fill.size(); ++v) fill[v] += fill[v - 1];
    std::vector<LinkRange>& ranges = map_.ranges_;
    ranges.resize(static_cast<size_t>(siteCount_));
    for (size_t v = 0; v < ranges.size(); ++v) ranges[v] = {fill[v], fill[v + 1]};
    std::vector<NodeIndex>& links = map_.linkNodes_;
    links.resize(fill.back());
    for (size_t stamp = byStamp.size(); stamp-- > 1;) {
        const BorderEnds e = byStamp[stamp];
        if (e.a == noIndex) continue;  // a border flipped away
        links[fill[static_cast<size_t>(e.a)]++] = static_cast<NodeIndex>(e.b);
        links[fill[static_cast<size_t>(e.b)]++] = static_cast<NodeIndex>(e.a);
    }
}

namespace {
// The place of neighbour n in v's ring.
size_t placeAround(const Map& map, NodeIndex v, NodeIndex n)
{
    const std::span<const NodeIndex> ring = map.around(v);
    size_t k = 0;
    while (ring[k] != n) ++k;
    return k;
}
}  // namespace

// The cycle leaves the topmost outer node towards its outer neighbour with the
// greatest angle key and turns, at every node, from the node it came from to
// the next outer neighbour in aroundNext order.
void Triangulator::linkOuterCycle()
{
    const std::vector<uint8_t>& outer = pools_.outerMark;
    const std::vector<Point>& sites = map_.sites_;
    NodeIndex s = noNode;
    for (const NodeIndex n : map_.byNumber_)
        if (outer[n] && (s == noNode || sites[n].y < sites[s].y)) s = n;
    NodeIndex p = noNode;
    int64_t best = 0;
    for (const NodeIndex n : map_.links(s)) {
        if (!outer[n]) continue;
        const int64_t key = angleKey(sites[n].x - sites[s].x, sites[n].y - sites[s].y);
        if (p == noNode || key < best) { p = n; best = key; }
    }
    map_.outer_.assign(sites.size(), noNode);
    map_.outerStart_ = s;
    NodeIndex cur = s;
    NodeIndex prev = p;
    // A proper map closes the cycle within N steps; the bound only stops a
    // walk that broken rings (of given sites) send round without reaching s.
    for (VertexIndex step = 0; step < siteCount_; ++step) {
        const std::span<const NodeIndex> ring = map_.around(cur);
        size_t k = placeAround(map_, cur, prev);
        do k = (k + 1) % ring.size();
        while (!outer[ring[k]]);
        map_.outer_[cur] = ring[k];
        if (ring[k] == s) break;
        prev = cur;
        cur = ring[k];
    }
}

}  // namespace orvane
