// The predicates on site positions. (The triangle pool's operations are
// inline in map/builder.h: the splits and flips call them in their hot path.)
#include "map/builder.h"
#include <cmath>

namespace orvane {

int32_t roundedCentreDistance(Point site)
{
    const int32_t dx = site.x - 16383, dy = site.y - 16383;
    return static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5);
}

int classifyPoint(Point q, Point a, Point b, Point c)
{
    const int64_t o0 = int64_t(b.x - a.x) * (q.y - b.y) - int64_t(b.y - a.y) * (q.x - b.x);
    const int64_t o1 = int64_t(c.x - b.x) * (q.y - c.y) - int64_t(c.y - b.y) * (q.x - c.x);
    const int64_t o2 = int64_t(a.x - c.x) * (q.y - a.y) - int64_t(a.y - c.y) * (q.x - a.x);
    if ((o0 > 0 && o1 > 0 && o2 > 0) || (o0 < 0 && o1 < 0 && o2 < 0)) return 1;
    if ((o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0)) return 0;
    return -1;
}

}  // namespace orvane
