// Angular order of every node's links.
#include "map/map.h"
#include <algorithm>
#include <vector>

namespace {
struct NeighbourEntry {
    NodeLink* link;
    int64_t distance;   // squared
    int64_t key;
};

// Greater key first; on equal keys the farther neighbour first.
bool goesFirst(const NeighbourEntry& a, const NeighbourEntry& b)
{
    if (a.key != b.key) return a.key > b.key;
    return a.distance > b.distance;
}

bool borders(const MapNode* a, const MapNode* b) { return findLink(a, b) != nullptr; }

// Within a run of equal keys, keep the sorted order only when the run's last
// neighbour borders the neighbour after the run; otherwise reverse the run.
void orderEqualKeyRuns(std::vector<NeighbourEntry>& e)
{
    const size_t c = e.size();
    size_t i = 0;
    while (i < c) {
        size_t j = i + 1;
        while (j < c && e[j].key == e[i].key) ++j;
        if (j - i >= 2) {
            const MapNode* m = e[j - 1].link->node;
            const MapNode* a = e[j < c ? j : 0].link->node;
            if (!borders(m, a)) std::reverse(e.begin() + static_cast<long>(i), e.begin() + static_cast<long>(j));
        }
        i = j;
    }
}

void orderNode(MapNode* node, std::vector<NeighbourEntry>& e)
{
    e.clear();
    for (NodeLink* l = node->links; l; l = l->next) {
        const int32_t dx = l->node->x - node->x, dy = l->node->y - node->y;
        e.push_back({l, int64_t(dx) * dx + int64_t(dy) * dy, angleKey(dx, dy)});
    }
    if (e.empty()) return;
    std::sort(e.begin(), e.end(), goesFirst);
    orderEqualKeyRuns(e);
    const size_t c = e.size();
    for (size_t i = 0; i < c; ++i) {
        NodeLink* a = e[i].link;
        NodeLink* b = e[i + 1 < c ? i + 1 : 0].link;
        a->aroundNext = b;
        b->aroundPrev = a;
    }
}
}  // namespace

int64_t angleKey(int32_t dx, int32_t dy)
{
    const int64_t dy2 = int64_t(dy) * dy;
    const int64_t q = dy2 * 2147483647LL / (int64_t(dx) * dx + dy2);
    if (dy >= 0) return dx >= 0 ? q : 4294967294LL - q;
    return dx < 0 ? 4294967294LL + q : 8589934588LL - q;
}

namespace {
std::vector<NeighbourEntry> entries;
}  // namespace

void orderNeighbours()
{
    for (MapNode* n = nodeList; n; n = n->next) orderNode(n, entries);
}

void orderNeighboursOf(MapNode* node) { orderNode(node, entries); }
