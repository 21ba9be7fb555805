// The fast location of a new site must find exactly the triangles that the
// literal newest-first walk finds: the first hit, and the second one when the
// site lies on an edge.
#include "map/map.h"
#include "tests/map_support.h"
#include <gtest/gtest.h>
#include <vector>

using namespace orvane;

namespace {
// Locates every site both ways and counts where they disagree.
constexpr BuildOptions checked{Paths::fast, true};
}  // namespace

TEST(FastLocation, FindsTheLiteralWalksTrianglesForEverySite)
{
    Map map;
    int maps = 0;
    for (int n : {3, 4, 5, 8, 20, 100, 500, 2000}) {
        for (uint32_t seed = 1; seed <= (n <= 100 ? 60u : 8u); ++seed) {
            map.build(seed * 7919u + static_cast<uint32_t>(n), n, checked);
            ++maps;
            ASSERT_EQ(map.lastBuild().locationMismatches, 0) << "seed " << seed << " nodes " << n;
        }
    }
    EXPECT_GT(maps, 300);
}

TEST(FastLocation, SitesOnEdgesAndOnTheBoundaryLine)
{
    Map map;
    // A lattice of sites in a scrambled order: many fall on existing edges.
    std::vector<int32_t> xy;
    for (int k = 0; k < 144; ++k) {
        const int at = (k * 37) % 144;
        xy.insert(xy.end(), {1000 + 2000 * (at / 12), 1000 + 2000 * (at % 12)});
    }
    ASSERT_TRUE(map.buildFromSites(xy.data(), static_cast<int>(xy.size() / 2), checked));
    EXPECT_EQ(map.lastBuild().locationMismatches, 0);
    EXPECT_GT(map.lastBuild().edgeSplits, 0);
    const int32_t line[] = {0, 0, 200, 0, 100, 50, 100, 0, 50, 0, 150, 0};
    ASSERT_TRUE(map.buildFromSites(line, 6, checked));
    EXPECT_EQ(map.lastBuild().locationMismatches, 0);
}

// The reference paths of the builder (literal location, literal closeness
// walk) give the very same maps and the same build counts.
TEST(FastLocation, ReferencePathsBuildTheSameMaps)
{
    Map fast, reference;
    for (const auto& [seed, n] : {std::pair<uint32_t, int>{1, 5}, {4609, 200}, {147, 1000}, {402, 1000}}) {
        fast.build(seed, n);
        reference.build(seed, n, BuildOptions{Paths::reference, false});
        EXPECT_EQ(mapcheck::mapDigest(reference), mapcheck::mapDigest(fast)) << "seed " << seed;
        EXPECT_EQ(reference.lastBuild().insideSplits, fast.lastBuild().insideSplits);
        EXPECT_EQ(reference.lastBuild().edgeSplits, fast.lastBuild().edgeSplits);
        EXPECT_EQ(reference.lastBuild().flips, fast.lastBuild().flips);
    }
}
