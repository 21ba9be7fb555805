// The fast location of a new site must find exactly the triangles that the
// literal newest-first walk finds: the first hit, and the second one when the
// site lies on an edge.
#include "map/map.h"
#include "map/triangulation.h"
#include <gtest/gtest.h>
#include <vector>

namespace {
struct CheckedLocation {
    CheckedLocation() { checkLocation = true; }
    ~CheckedLocation()
    {
        checkLocation = false;
        releaseMap();
    }
};
}  // namespace

TEST(FastLocation, FindsTheLiteralWalksTrianglesForEverySite)
{
    CheckedLocation checking;
    int maps = 0;
    for (int n : {3, 4, 5, 8, 20, 100, 500, 2000}) {
        for (uint32_t seed = 1; seed <= (n <= 100 ? 60u : 8u); ++seed) {
            seedGenerator(seed * 7919u + static_cast<uint32_t>(n));
            buildMap(n);
            ++maps;
            ASSERT_EQ(buildCounts.locationMismatches, 0) << "seed " << seed << " nodes " << n;
        }
    }
    EXPECT_GT(maps, 300);
}

TEST(FastLocation, SitesOnEdgesAndOnTheBoundaryLine)
{
    CheckedLocation checking;
    // A lattice of sites in a scrambled order: many fall on existing edges.
    std::vector<int32_t> xy;
    for (int k = 0; k < 144; ++k) {
        const int at = (k * 37) % 144;
        xy.insert(xy.end(), {1000 + 2000 * (at / 12), 1000 + 2000 * (at % 12)});
    }
    ASSERT_TRUE(buildMapFromSites(xy.data(), static_cast<int>(xy.size() / 2)));
    EXPECT_EQ(buildCounts.locationMismatches, 0);
    EXPECT_GT(buildCounts.edgeSplits, 0);
    const int32_t line[] = {0, 0, 200, 0, 100, 50, 100, 0, 50, 0, 150, 0};
    ASSERT_TRUE(buildMapFromSites(line, 6));
    EXPECT_EQ(buildCounts.locationMismatches, 0);
}
