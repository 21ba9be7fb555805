// Preparation: inner nodes with three neighbours are set aside, and the start
// triangle near the centre is coloured as the first ring.
#include <cmath>
#include <utility>
#include "engine/work.h"

namespace orvane {

namespace {
int32_t nearestDistance(Point a, Point b)
{
    const int32_t dx = a.x - b.x, dy = a.y - b.y;
    return static_cast<int32_t>(std::floor(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5));
}

// The pseudo-angle's scale: a neighbour towards +y has this angle, one
// towards -x twice it.
constexpr int32_t pseudoRightAngle = 0x1FFFFFFF;

// Pseudo-angle of q seen from p (p has the least y): 0 towards +x, growing through +y.
int32_t pseudoAngle(Point p, Point q)
{
    const int32_t dx = q.x - p.x, dy = q.y - p.y;
    int32_t h = mulDiv(dy * dy, pseudoRightAngle, dx * dx + dy * dy);
    if (dx < 0) h = 2 * pseudoRightAngle - h;
    return h;
}

// One pass over the node list; returns whether it deferred anything. Nodes
// later in the pass see the reduced border counts.
bool deferPass(const Map& map, NodeList& list, WorkingBorders& borders)
{
    bool deferred = false;
    NodeIndex before = noNode;
    NodeIndex v = list.head();
    while (v != noNode) {
        if (map.isOuter(v) || borders.links(v).size() != 3) {
            before = v;
            v = list.next(v);
            continue;
        }
        const NodeIndex following = list.defer(before, v);
        for (const NodeIndex m : borders.links(v)) borders.park(m, v);
        deferred = true;
        v = following;
    }
    return deferred;
}
}  // namespace

void ColouringWork::deferNodes()
{
    bool any = false;
    while (deferPass(*map_, list, borders)) any = true;
    if (!any) return;
    // Only the rings of nodes that parked borders change (a ring depends on
    // the node's own borders and on whether its neighbours border each other).
    const bool all = paths == Paths::reference;
    list.forEach([&](NodeIndex v) {
        if (all || borders.hasParked(v)) borders.orderAround(v, map_->sites());
    });
}

bool ColouringWork::prepareColouring()
{
    deferNodes();
    setTracking(paths == Paths::fast);
    const Map& m = *map_;
    // A: the listed node nearest the centre; B: its neighbour nearest the centre.
    NodeIndex a = list.head();
    list.forEach([&](NodeIndex v) {
        if (m.centreDistance(v) < m.centreDistance(a)) a = v;
    });
    NodeIndex b = noNode;
    for (const NodeIndex n : borders.links(a))
        if (b == noNode || m.centreDistance(n) < m.centreDistance(b)) b = n;
    if (b == noNode) return false;
    // T: the common neighbour of A and B with the least rounded distance sum.
    fills.clearReached();
    for (const NodeIndex n : borders.links(a)) fills.setReached(n);
    NodeIndex t = noNode;
    int32_t bestSum = 0;
    for (const NodeIndex n : borders.links(b)) {
        if (!fields.hot[n].reached) continue;
        const int32_t sum = nearestDistance(m.site(a), m.site(n)) + nearestDistance(m.site(b), m.site(n));
        if (t == noNode || sum < bestSum) {
            t = n;
            bestSum = sum;
        }
    }
    if (t == noNode) return false;

    NodeIndex p = a;
    if (m.site(a).y > m.site(b).y) p = b;
    if (m.site(p).y > m.site(t).y) p = t;
    NodeIndex u = p == a ? t : a;
    NodeIndex v = p == b ? t : b;
    if (pseudoAngle(m.site(p), m.site(u)) < pseudoAngle(m.site(p), m.site(v))) std::swap(u, v);

    fields.ringNext[p] = u;
    fields.ringNext[u] = v;
    fields.ringNext[v] = p;
    fields.ringPrev[p] = v;
    fields.ringPrev[v] = u;
    fields.ringPrev[u] = p;
    fields.hot[p].colour = colourR;
    fields.hot[u].colour = colourG;
    fields.hot[v].colour = colourY;
    state.ringEntry = p;
    for (const NodeIndex c : {p, u, v})
        for (const NodeIndex n : borders.links(c)) ++fields.ringContacts[n];
    if (tracking()) frontier.start(m, list, fields);
    return true;
}

}  // namespace orvane
