// Angular order of a node's borders.
#include "map/neighbours.h"
#include <algorithm>
#include <array>
#include <vector>

namespace orvane {

namespace {
// The angle key (below 2^33) and the squared distance (below 2^31) of a
// neighbour in one word, so that one comparison gives the order: greater key
// first, and on equal keys the farther neighbour first.
struct NeighbourEntry {
    uint64_t order;
    NodeIndex node;
    int64_t key() const { return static_cast<int64_t>(order >> 31); }
};

bool goesFirst(const NeighbourEntry& a, const NeighbourEntry& b) { return a.order > b.order; }

// Within a run of equal keys, keep the sorted order only when the run's last
// neighbour borders the neighbour after the run; otherwise reverse the run.
void orderEqualKeyRuns(std::span<NeighbourEntry> e, const BorderLists& lists)
{
    const size_t c = e.size();
    size_t i = 0;
    while (i < c) {
        size_t j = i + 1;
        while (j < c && e[j].key() == e[i].key()) ++j;
        if (j - i >= 2) {
            const NodeIndex m = e[j - 1].node;
            const NodeIndex a = e[j < c ? j : 0].node;
            if (!lists.holds(m, a)) std::reverse(e.begin() + static_cast<long>(i), e.begin() + static_cast<long>(j));
        }
        i = j;
    }
}

// num / den for 0 <= num < 2^62 and 0 < den < 2^31: a floating-point estimate,
// off by at most one, put right with exact products (a 64-bit division is
// several times slower, and every border's key needs one).
int64_t wholeQuotient(int64_t num, int64_t den)
{
    int64_t q = static_cast<int64_t>(static_cast<double>(num) / static_cast<double>(den));
    if (q * den > num) --q;
    else if ((q + 1) * den <= num) ++q;
    return q;
}

// The angle key, inlined into the ordering loop.
inline int64_t keyOfDirection(int32_t dx, int32_t dy)
{
    const int64_t dy2 = int64_t(dy) * dy;
    const int64_t r2 = int64_t(dx) * dx + dy2;
    const int64_t q = r2 > 0 && r2 < (int64_t{1} << 31) ? wholeQuotient(dy2 * 2147483647LL, r2) : dy2 * 2147483647LL / r2;
    // By quadrant (dy < 0, dx < 0): q, 4294967294 - q, 8589934588 - q,
    // 4294967294 + q; from a table, as the quadrant of a neighbour is as good
    // as random to the processor's branch predictor.
    static constexpr int64_t base[4] = {0, 4294967294LL, 8589934588LL, 4294967294LL};
    const unsigned quadrant = (dy < 0 ? 2u : 0u) | (dx < 0 ? 1u : 0u);
    const int64_t down = ((quadrant ^ (quadrant >> 1)) & 1u) ? -1 : 0;  // -1 where the key falls as q grows
    return base[quadrant] + ((q ^ down) - down);
}
}  // namespace

int64_t angleKey(int32_t dx, int32_t dy) { return keyOfDirection(dx, dy); }

bool BorderLists::holds(NodeIndex owner, NodeIndex neighbour) const
{
    for (const NodeIndex n : of(owner))
        if (n == neighbour) return true;
    return false;
}

void orderAround(NodeIndex v, const BorderLists& lists, std::span<const Point> sites, NodeIndex* around)
{
    const std::span<const NodeIndex> links = lists.of(v);
    if (links.empty()) return;
    // Nodes of a triangulation rarely have more than a dozen borders: sort on
    // the stack and move to the heap only for the rare larger ones.
    constexpr size_t onStack = 48;
    std::array<NeighbourEntry, onStack> small;
    std::vector<NeighbourEntry> large;
    const Point centre = sites[v];
    auto entryOf = [&](NodeIndex n) {
        const int32_t dx = sites[n].x - centre.x, dy = sites[n].y - centre.y;
        const uint64_t distance = static_cast<uint64_t>(int64_t(dx) * dx + int64_t(dy) * dy);
        return NeighbourEntry{static_cast<uint64_t>(keyOfDirection(dx, dy)) << 31 | distance, n};
    };
    std::span<NeighbourEntry> e;
    if (links.size() <= onStack) {
        for (size_t k = 0; k < links.size(); ++k) small[k] = entryOf(links[k]);
        e = std::span<NeighbourEntry>(small.data(), links.size());
    } else {
        large.reserve(links.size());
        for (const NodeIndex n : links) large.push_back(entryOf(n));
        e = large;
    }
    // Keys and distances never tie together (sites are distinct), so any sort gives this order.
    if (e.size() <= 16) {
        for (size_t i = 1; i < e.size(); ++i)
            for (size_t j = i; j > 0 && goesFirst(e[j], e[j - 1]); --j) std::swap(e[j], e[j - 1]);
    } else {
        std::sort(e.begin(), e.end(), goesFirst);
    }
    orderEqualKeyRuns(e, lists);
    // The ring is cyclic; it is written from the first border on.
    size_t first = 0;
    while (e[first].node != links[0]) ++first;
    const size_t c = e.size();
    for (size_t k = 0; k < c; ++k) around[k] = e[(first + k) % c].node;
}

}  // namespace orvane
