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
    MapBuilder builder;
    int maps = 0;
    for (int n : {3, 4, 5, 8, 20, 100, 500, 2000}) {
        for (uint32_t seed = 1; seed <= (n <= 100 ? 60u : 8u); ++seed) {
            builder.build(seed * 7919u + static_cast<uint32_t>(n), n, checked);
            ++maps;
            ASSERT_EQ(builder.lastBuild().locationMismatches, 0) << "seed " << seed << " nodes " << n;
        }
    }
    EXPECT_GT(maps, 300);
}

TEST(FastLocation, SitesOnEdgesAndOnTheBoundaryLine)
{
    MapBuilder builder;
    // A lattice of sites in a scrambled order: many fall on existing edges.
    std::vector<Point> sites;
    for (int k = 0; k < 144; ++k) {
        const int at = (k * 37) % 144;
        sites.push_back({1000 + 2000 * (at / 12), 1000 + 2000 * (at % 12)});
    }
    ASSERT_NE(builder.buildFromSites(sites, checked), nullptr);
    EXPECT_EQ(builder.lastBuild().locationMismatches, 0);
    EXPECT_GT(builder.lastBuild().edgeSplits, 0);
    const std::vector<Point> line = {{0, 0}, {200, 0}, {100, 50}, {100, 0}, {50, 0}, {150, 0}};
    ASSERT_NE(builder.buildFromSites(line, checked), nullptr);
    EXPECT_EQ(builder.lastBuild().locationMismatches, 0);
}

// The reference paths of the builder (literal location, literal closeness
// walk) give the very same maps and the same build counts.
TEST(FastLocation, ReferencePathsBuildTheSameMaps)
{
    MapBuilder fast, reference;
    for (const auto& [seed, n] : {std::pair<uint32_t, int>{1, 5}, {4609, 200}, {147, 1000}, {402, 1000}}) {
        const auto fastMap = fast.build(seed, n);
        const auto referenceMap = reference.build(seed, n, BuildOptions{Paths::reference, false});
        EXPECT_EQ(mapcheck::mapDigest(*referenceMap), mapcheck::mapDigest(*fastMap)) << "seed " << seed;
        EXPECT_EQ(reference.lastBuild().insideSplits, fast.lastBuild().insideSplits);
        EXPECT_EQ(reference.lastBuild().edgeSplits, fast.lastBuild().edgeSplits);
        EXPECT_EQ(reference.lastBuild().flips, fast.lastBuild().flips);
    }
}
