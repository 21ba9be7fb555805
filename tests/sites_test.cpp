// Maps from given sites: the refusals with the sites they name, the numbering
// by list order, the seeded sites that rebuild their seeded map, and what the
// builder does and does not depend on.
#include "map/sites.h"
#include "map/builder.h"
#include "tests/map_support.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvane;
using namespace mapcheck;

namespace {
using Kind = SiteProblem::Kind;
using Sites = std::vector<Point>;

std::string lineName(int i) { return "line " + std::to_string(i + 1); }

struct Refusal {
    const char* what;
    Sites sites;
    Kind kind;
    std::vector<int> named;  // the sites the problem names
    const char* message;     // a part of the message
};

std::vector<int> named(const SiteProblem& p)
{
    std::vector<int> out;
    for (int s : p.sites)
        if (s >= 0) out.push_back(s);
    return out;
}

Sites distinctSites(int n)
{
    Sites s;
    for (int i = 0; i < n; ++i) s.push_back({(i % 181) * 181, (i / 181) * 181 + (i % 3)});
    return s;
}

// Edge counts, faces and empty circumcircles of a map from given sites.
void expectTriangulation(const Map& map, int n)
{
    ASSERT_EQ(invariantBreach(map), "");
    int outer = 0;
    for (int k = 1; k <= map.nodeCount(); ++k) outer += map.isOuter(map.numbered(k));
    EXPECT_EQ(static_cast<int>(map.borders().size()), 3 * n - 3 - outer);
    const TriangleCheck t = checkEmptyCircumcircles(map);
    EXPECT_EQ(t.triangles, 2 * n - 2 - outer);
    EXPECT_EQ(t.degenerate, 0);
    EXPECT_EQ(t.violations, 0);
}
}  // namespace

TEST(SiteChecks, EachRefusalNamesItsSitesAndLeavesNoMap)
{
    Sites tooMany = distinctSites(10001);
    const std::vector<Refusal> cases = {
        {"none", {}, Kind::tooFew, {}, "a map needs at least 3 sites; there are none"},
        {"two", {{1, 2}, {3, 4}}, Kind::tooFew, {0, 1}, "there are only 2: line 1 (1, 2), line 2 (3, 4)"},
        {"10001", tooMany, Kind::tooMany, {10000}, "there are 10001 (the first one too many is line 10001 ("},
        {"x too large", {{0, 0}, {5, 5}, {32768, 3}, {-1, 0}}, Kind::outside, {2}, "line 3 (32768, 3) lies outside"},
        {"negative", {{0, 0}, {5, -5}, {9, 9}}, Kind::outside, {1}, "line 2 (5, -5) lies outside"},
        {"repeats", {{0, 0}, {10, 0}, {5, 5}, {10, 0}, {0, 0}}, Kind::duplicate, {1, 3},
         "line 4 (10, 0) is the same site as line 2"},
        {"one line", {{0, 0}, {10, 10}, {20, 20}, {5, 5}}, Kind::oneLine, {0, 1},
         "all 4 sites lie on one line (through line 1 (0, 0) and line 2 (10, 10))"},
        {"outside before repeats", {{7, 7}, {7, 7}, {0, 40000}}, Kind::outside, {2}, "line 3 (0, 40000)"},
        // Seen from the first site the third and fifth lie within one angle key.
        {"unclear order", {{0, 19688}, {1, 18018}, {2, 1538}, {32767, 23750}, {2, 1756}}, Kind::unclearOrder, {0, 2, 4},
         "seen from line 1 (0, 19688), line 3 (2, 1538) and line 5 (2, 1756) lie in directions too close"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<const Map> map = Map::build(1, 20);
        const SiteProblem p = buildMapFromSites(map, c.sites);
        EXPECT_EQ(p.kind, c.kind);
        EXPECT_EQ(named(p), c.named);
        EXPECT_EQ(p.count, static_cast<int>(c.sites.size()));
        EXPECT_NE(describeSiteProblem(p, c.sites, lineName).find(c.message), std::string::npos)
            << describeSiteProblem(p, c.sites, lineName);
        EXPECT_EQ(map, nullptr);
        // The library's own entry refuses them too, and so does a builder.
        EXPECT_EQ(Map::buildFromSites(c.sites), nullptr);
        MapBuilder builder;
        SiteProblem again;
        EXPECT_EQ(builder.buildFromSites(c.sites, {}, again), nullptr);
        EXPECT_EQ(again.kind, c.kind);
    }
}

// Sites one apart (which the scattering never draws) and a first site on the
// line of the next two: the builder takes both, the fast paths agree with the
// reference, and the maps are the sites' Delaunay triangulations.
TEST(SiteChecks, TheBuilderNeedsNoClosenessRuleAndNoOpenStart)
{
    Sites lattice;
    for (int k = 0; k < 36; ++k) lattice.push_back({(k * 13) % 36 / 6, (k * 13) % 36 % 6});  // shuffled
    const std::vector<Sites> sets = {
        lattice,
        {{100, 100}, {101, 101}, {102, 100}, {101, 99}, {100, 101}},
        {{0, 0}, {100, 0}, {200, 0}, {50, 100}},
        {{16000, 16000}, {16001, 16000}, {15999, 16000}, {16000, 16001}, {16000, 15999}, {17000, 17000}},
    };
    for (const Sites& sites : sets) {
        SCOPED_TRACE(sites.size());
        std::shared_ptr<const Map> fast, reference;
        ASSERT_FALSE(buildMapFromSites(fast, sites));
        ASSERT_FALSE(buildMapFromSites(reference, sites, {Paths::reference, false}));
        MapBuilder checking;
        ASSERT_NE(checking.buildFromSites(sites, {Paths::fast, true}), nullptr);
        expectTriangulation(*fast, static_cast<int>(sites.size()));
        EXPECT_EQ(mapDigest(*fast), mapDigest(*reference));
        EXPECT_EQ(checking.lastBuild().locationMismatches, 0);
    }
}

// Directions closer than the angle key resolves leave a ring out of order:
// such sites are refused after the build, never handed on. The triangulation
// alone gives the broken map (the check is what stands between it and the
// engine, whose ring walks would not end on it); every way a library caller
// has of building from sites refuses it.
TEST(SiteChecks, RingsTheAngleKeyCannotOrderAreRefused)
{
    const Sites sites = {{9525, 2}, {26072, 1}, {0, 150}, {32766, 16690}, {32765, 32474}, {2, 14911},
                         {1, 5546}, {1, 4128}, {2, 25019}, {32767, 1694}, {18665, 1}};
    ASSERT_FALSE(checkSites(sites));
    BuildPools pools;
    BuildCounts counts;
    const std::shared_ptr<const Map> unchecked = triangulateSites(pools, sites, {}, counts);
    ASSERT_EQ(unchecked->nodeCount(), static_cast<int>(sites.size()));
    const SiteProblem afterBuild = checkBuiltMap(*unchecked);
    EXPECT_EQ(afterBuild.kind, Kind::unclearOrder);
    EXPECT_EQ(named(afterBuild), (std::vector<int>{9, 3, 4}));
    std::shared_ptr<const Map> map = Map::build(1, 20);
    const SiteProblem p = buildMapFromSites(map, sites);
    EXPECT_EQ(p.kind, Kind::unclearOrder);
    EXPECT_EQ(map, nullptr);
    EXPECT_EQ(Map::buildFromSites(sites), nullptr);
    EXPECT_EQ(MapBuilder().buildFromSites(sites), nullptr);
    EXPECT_EQ(describeSiteProblem(p, sites, lineName),
              "seen from line 10 (32767, 1694), line 4 (32766, 16690) and line 5 (32765, 32474) lie in directions "
              "too close together for the map's angle order to tell apart (long borders almost parallel to an "
              "axis); move one of these sites a little");
}

TEST(SiteChecks, SeededMapsPassTheCheckAfterTheBuild)
{
    MapBuilder builder;
    int maps = 0;
    for (int n : {3, 4, 5, 6, 8, 12, 20, 50, 150, 1000, 10000}) {
        for (uint32_t seed = 1; seed <= (n <= 150 ? 300u : 3u); ++seed) {
            const std::shared_ptr<const Map> map = builder.build(seed * 2654435761u, n);
            const SiteProblem p = checkBuiltMap(*map);
            ASSERT_FALSE(p) << "seed " << seed * 2654435761u << " N " << n << ": " << siteProblemKey(p.kind) << " "
                            << p.detail;
            ++maps;
        }
    }
    EXPECT_GT(maps, 2700);
}

TEST(SiteList, TheKthSiteIsCountryK)
{
    const Sites sites = {{5000, 5000}, {20000, 6000}, {12000, 25000}, {12000, 12000}};
    std::shared_ptr<const Map> map;
    ASSERT_FALSE(buildMapFromSites(map, sites));
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(map->position(k).x, sites[size_t(k - 1)].x);
        EXPECT_EQ(map->position(k).y, sites[size_t(k - 1)].y);
    }
    EXPECT_EQ(map->seed(), 0u);
    // Seed 1 with 5 nodes, by number: the last site drawn first.
    const Sites seeded = seededSites(1, 5);
    const Sites expected = {{26962, 24464}, {11478, 29358}, {19169, 15724}, {6334, 26500}, {41, 18467}};
    ASSERT_EQ(seeded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seeded[i].x, expected[i].x);
        EXPECT_EQ(seeded[i].y, expected[i].y);
    }
    EXPECT_EQ(seededSites(7, 2).size(), 3u);  // clamped as Map::build clamps
    EXPECT_EQ(seededSites(7, 20000).size(), 10000u);
}

TEST(SiteList, SeededSitesRebuildTheirSeededMap)
{
    for (const auto& [seed, n] : {std::pair<uint32_t, int>{1, 3}, {1, 5}, {0x1a2b, 300}, {7, 4999}, {7, 5000},
                                  {0xffffffffu, 10000}, {42, 10000}}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " N " + std::to_string(n));
        const std::shared_ptr<const Map> seeded = Map::build(seed, n);
        std::shared_ptr<const Map> given;
        ASSERT_FALSE(buildMapFromSites(given, seededSites(seed, n)));
        EXPECT_EQ(mapDigest(*given), mapDigest(*seeded));
        EXPECT_EQ(given->nodeCount(), n);
    }
    const std::shared_ptr<const Map> seeded = Map::build(99, 700, {Paths::reference, false});
    std::shared_ptr<const Map> given;
    ASSERT_FALSE(buildMapFromSites(given, seededSites(99, 700), {Paths::reference, false}));
    EXPECT_EQ(mapDigest(*given), mapDigest(*seeded));
}
