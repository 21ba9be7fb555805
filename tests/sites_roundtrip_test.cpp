// Seeded sites fed back as given sites (through the sites file's text, as the
// companion reads it) give the seeded map's export file and step trace, up to
// 10000 nodes; and site sets of known shapes build, colour and verify, or are
// refused for a stated reason. In process, so the Windows build runs it too.
#include <gtest/gtest.h>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>
#include "engine/colouring.h"
#include "map/sites.h"
#include "runs/export.h"
#include "runs/sitesfile.h"
#include "runs/trace.h"

using namespace orvane;

namespace {
using Sites = std::vector<Point>;

// The sites as the companion's sites command prints them, read back.
Sites throughSitesText(const Sites& sites)
{
    std::string text = "# sites\r\n";
    for (const Point& p : sites) text += std::to_string(p.x) + " " + std::to_string(p.y) + "\r\n";
    SitesFile file;
    EXPECT_EQ(readSitesText(text, file), "");
    return file.sites;
}

// A fresh colouring of the map stepped one press at a time: its trace lines,
// and its export file when it is over.
struct Stepped {
    std::vector<std::string> lines;
    std::string exported;
};

Stepped stepThrough(const std::shared_ptr<const Map>& map)
{
    Colouring colouring(map);
    const long most = stepLimit(*map);
    Stepped out;
    for (long k = 1; k <= most && !colouring.finished(); ++k) {
        const Phase before = colouring.phase();
        const StepReport r = colouring.step(false);
        out.lines.push_back(traceLine(k, before, r.result, colouring));
    }
    out.exported = exportContent(colouring);
    return out;
}

uint16_t colourAndVerify(const std::shared_ptr<const Map>& map)
{
    Colouring colouring(map);
    const uint16_t result = colouring.run();
    EXPECT_TRUE(colouring.finished());
    return result;
}
}  // namespace

TEST(SitesRoundTrip, SmallMapsGiveTheSeededTraceLineByLine)
{
    for (int n : {3, 4, 5, 8, 12, 40, 200}) {
        for (uint32_t seed : {1u, 0x1a2bu, 0xdeadbeefu}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " N " + std::to_string(n));
            const std::shared_ptr<const Map> seeded = Map::build(seed, n);
            std::shared_ptr<const Map> given;
            ASSERT_FALSE(buildMapFromSites(given, throughSitesText(seededSites(seed, n))));
            EXPECT_EQ(exportContent(*given), exportContent(*seeded));
            const Stepped g = stepThrough(given), s = stepThrough(seeded);
            EXPECT_EQ(g.lines, s.lines);
            EXPECT_EQ(g.exported, s.exported) << "after the colouring";
        }
    }
}

TEST(SitesRoundTrip, LargeMapsGiveTheSeededTraceDigestAndExport)
{
    for (const auto& [seed, n] : {std::pair<uint32_t, int>{0x1a2b, 1000}, {5, 4999}, {5, 5000}, {0x9e3779b9, 10000}}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " N " + std::to_string(n));
        const std::shared_ptr<const Map> seeded = Map::build(seed, n);
        std::shared_ptr<const Map> given;
        ASSERT_FALSE(buildMapFromSites(given, throughSitesText(seededSites(seed, n))));
        EXPECT_EQ(exportContent(*given), exportContent(*seeded));
        Colouring a(seeded), b(given);
        const TraceSummary s = stepToEnd(a), g = stepToEnd(b);
        EXPECT_EQ(g.digest, s.digest);
        EXPECT_EQ(g.steps, s.steps);
        EXPECT_EQ(g.verify, s.verify);
        EXPECT_EQ(g.colours, s.colours);
        EXPECT_EQ(exportContent(b), exportContent(a)) << "after the colouring";
    }
}

// A square grid: every cell's four corners lie on one circle, so each cell's
// diagonal is the insertion order's choice. Sites one apart build as well.
TEST(SiteShapes, SquareGridsColourAndVerify)
{
    for (const auto& [side, spacing] : {std::pair<int, int>{12, 2500}, {100, 300}, {7, 1}}) {
        SCOPED_TRACE(std::to_string(side) + " a side, " + std::to_string(spacing) + " apart");
        Sites sites;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) sites.push_back({100 + spacing * i, 100 + spacing * j});
        std::shared_ptr<const Map> map;
        ASSERT_FALSE(buildMapFromSites(map, sites));
        EXPECT_EQ(map->outerCycle().size(), size_t(4 * side - 4));
        EXPECT_EQ(map->borders().size(), size_t(3 * side * side - 3 - (4 * side - 4)));
        EXPECT_EQ(colourAndVerify(map), 0);
    }
}

// A regular polygon round its centre: the corners lie on one circle, the
// centre borders every corner.
TEST(SiteShapes, RegularPolygonsWithTheirCentreColourAndVerify)
{
    for (int corners : {3, 4, 5, 6, 12, 60, 360}) {
        SCOPED_TRACE(std::to_string(corners) + " corners");
        Sites sites = {{16383, 16383}};
        for (int k = 0; k < corners; ++k) {
            const double a = 2 * std::numbers::pi * k / corners;
            sites.push_back({16383 + static_cast<int32_t>(std::lround(12000 * std::cos(a))),
                             16383 + static_cast<int32_t>(std::lround(12000 * std::sin(a)))});
        }
        std::shared_ptr<const Map> map;
        ASSERT_FALSE(buildMapFromSites(map, sites));
        EXPECT_EQ(map->neighbours(1).size(), size_t(corners));
        EXPECT_EQ(map->outerCycle().size(), size_t(corners));
        EXPECT_EQ(colourAndVerify(map), 0);
    }
}

// Sites on a line with one off it: a fan from the one off the line; every
// site is on the boundary. With no site off the line there is no map.
TEST(SiteShapes, ALineWithOneSiteOffItColoursAndVerifies)
{
    for (const Point off : {Point{16000, 17000}, Point{0, 0}, Point{16000, 15999}}) {
        SCOPED_TRACE(std::to_string(off.x) + ", " + std::to_string(off.y));
        Sites sites;
        for (int i = 0; i < 31; ++i) sites.push_back({1000 + 1000 * i, 16000});
        if (off.y == 0) for (Point& p : sites) p.y = 1;
        sites.insert(sites.begin() + 7, off);
        std::shared_ptr<const Map> map;
        ASSERT_FALSE(buildMapFromSites(map, sites));
        EXPECT_EQ(map->neighbours(8).size(), 31u);
        EXPECT_EQ(map->outerCycle().size(), 32u);
        EXPECT_EQ(colourAndVerify(map), 0);
    }
    Sites line;
    for (int i = 0; i < 31; ++i) line.push_back({1000 + 1000 * i, 16000});
    std::shared_ptr<const Map> map;
    const SiteProblem p = buildMapFromSites(map, line);
    EXPECT_EQ(p.kind, SiteProblem::Kind::oneLine);
    EXPECT_EQ(map, nullptr);
}
