// The map request: seed and count texts, the map they build, the window's
// states; and the EXPORT command's file.
#include "tests/runs_fixture.h"
#include "engine/work.h"
#include "runs/export.h"
#include "ui/strings.h"
#include <algorithm>
#include <vector>

using namespace runs_testing;
namespace ws = orvane::windowstrings;

namespace {
// Every node with its coordinates and its neighbours' numbers.
std::vector<int> mapFingerprint(const Map& map)
{
    std::vector<int> print;
    for (int k = 1; k <= map.nodeCount(); ++k) {
        const NodeIndex n = map.numbered(k);
        print.insert(print.end(), {k, map.site(n).x, map.site(n).y});
        std::vector<int> around;
        for (const NodeIndex l : map.links(n)) around.push_back(map.number(l));
        std::sort(around.begin(), around.end());
        print.insert(print.end(), around.begin(), around.end());
        print.push_back(-1);
    }
    return print;
}

std::vector<int> directMap(uint32_t seed, int n) { return mapFingerprint(*Map::build(seed, n)); }

class MapRequestTest : public RunsTest {};

TEST_F(MapRequestTest, EmptySeedFieldTakesTheClockAndStaysEmpty)
{
    clockNow = 0x12345678;
    setFields(u"", u"10");
    session.mapRequest();
    EXPECT_EQ(headlessControlText(idSeedLabel), u"12345678");
    EXPECT_EQ(headlessControlText(idSeedField), u"");
    EXPECT_EQ(std::u16string(session.fields.seedText), u"12345678");
    EXPECT_EQ(session.map->nodeCount(), 10);
    EXPECT_EQ(session.shownSeed, 0x12345678u);
    EXPECT_EQ(mapFingerprint(*session.map), directMap(0x12345678, 10));
}

TEST_F(MapRequestTest, SeedTextIsParsedAsHexAndShownNormalised)
{
    setFields(u"1a", u"50");
    session.mapRequest();
    EXPECT_EQ(headlessControlText(idSeedField), u"0000001a");
    EXPECT_EQ(headlessControlText(idSeedLabel), u"0000001a");
    EXPECT_EQ(mapFingerprint(*session.map), directMap(26, 50));

    setFields(u"zz", u"50");  // no hexadecimal digit: seed 0
    session.mapRequest();
    EXPECT_EQ(headlessControlText(idSeedField), u"00000000");

    setFields(u"-ffffffff", u"50");
    session.mapRequest();
    EXPECT_EQ(headlessControlText(idSeedField), u"00000001");
    setFields(u"-100000000", u"50");
    session.mapRequest();
    EXPECT_EQ(headlessControlText(idSeedField), u"ffffffff");
}

// The unsigned rules past 32 bits: a sign negates what fits (-ffffffff is 1),
// and anything beyond 32 bits, negative or not, gives ffffffff.
TEST(FieldNumbers, SeedsAtTheEndsOfThe32BitRange)
{
    const struct { const char16_t* text; uint32_t seed; } seeds[] = {
        {u"ffffffff", 0xffffffffu},   {u"100000000", 0xffffffffu},  {u"fffffffff", 0xffffffffu},
        {u"-ffffffff", 1},            {u"-fffffffe", 2},            {u"-100000000", 0xffffffffu},
        {u"-1", 0xffffffffu},         {u"-0", 0},                   {u"+ffffffff", 0xffffffffu},
        {u" -0xffffffff", 1},         {u"-0x100000000", 0xffffffffu}, {u"-80000000", 0x80000000u},
    };
    for (const auto& c : seeds) EXPECT_EQ(parseSeedText(c.text), c.seed) << utf8(c.text);
}

// Signed 32 bits, each end taken as it is and one beyond it held at the end.
TEST(FieldNumbers, CountsAtTheEndsOfThe32BitRange)
{
    const struct { const char16_t* text; int32_t count; } counts[] = {
        {u"2147483647", INT32_MAX},  {u"2147483648", INT32_MAX},  {u"99999999999", INT32_MAX},
        {u"-2147483647", -INT32_MAX}, {u"-2147483648", INT32_MIN}, {u"-2147483649", INT32_MIN},
        {u"-99999999999", INT32_MIN},
    };
    for (const auto& c : counts) EXPECT_EQ(parseCountText(c.text), c.count) << utf8(c.text);
    EXPECT_EQ(clampCount(INT32_MIN, 3, 10000), 3);
    EXPECT_EQ(clampCount(3, 3, 10000), 3);
    EXPECT_EQ(clampCount(4, 3, 10000), 4);
    EXPECT_EQ(clampCount(10000, 3, 10000), 10000);
    EXPECT_EQ(clampCount(10001, 3, 10000), 10000);
}

TEST_F(MapRequestTest, NodeCountIsClampedAndShownAsUsed)
{
    const struct { const char16_t* typed; int nodes; const char16_t* shown; } cases[] = {
        {u"2", 3, u"3"},         {u"-5", 3, u"3"},          {u"", 3, u"3"},
        {u"abc", 3, u"3"},       {u"10001", 10000, u"10000"}, {u"99999", 10000, u"10000"},
        {u" +42x", 42, u"42"},
        // Only the first seven characters are read: the zeros and blanks in
        // front show where the cut falls.
        {u"000150", 150, u"150"}, {u"0000150", 150, u"150"}, {u"00000150", 15, u"15"},
        {u"     25", 25, u"25"},  {u"      25", 3, u"3"},
    };
    for (const auto& c : cases) {
        setFields(u"7", c.typed);
        session.mapRequest();
        EXPECT_EQ(session.map->nodeCount(), c.nodes) << utf8(c.typed);
        EXPECT_EQ(headlessControlText(idNodeField), c.shown);
        EXPECT_EQ(std::u16string(session.fields.nodeCountText), c.shown);
        EXPECT_EQ(session.shownNodeCount, c.nodes);
    }
}

// The seed field is read up to fifteen characters, the map count field (as the
// node count field) up to seven.
TEST_F(MapRequestTest, SeedAndMapCountFieldsAreReadUpToTheirLimits)
{
    const struct { const char16_t* typed; uint32_t seed; } seeds[] = {
        {u"0000000000001a", 0x1a}, {u"00000000000001a", 0x1a}, {u"000000000000001a", 0x1}};
    for (const auto& c : seeds) {
        setFields(c.typed, u"20");
        session.mapRequest();
        EXPECT_EQ(session.shownSeed, c.seed) << utf8(c.typed);
    }
    const struct { const char16_t* typed; const char16_t* shown; } counts[] = {
        {u"000004", u"4"}, {u"0000004", u"4"}, {u"00000004", u"1"}, {u"      4", u"4"}, {u"       4", u"1"}};
    for (const auto& c : counts) {
        setFields(u"1", u"5", c.typed);
        session.batchRun();
        EXPECT_EQ(headlessControlText(idMapCountField), c.shown) << utf8(c.typed);
        EXPECT_EQ(parseCountText(session.batch.counterText[0]) + parseCountText(session.batch.counterText[1]),
                  parseCountText(c.shown));
    }
}

TEST_F(MapRequestTest, SameSeedAndCountRebuildTheSameMapAfterOthers)
{
    setFields(u"c0ffee", u"300");
    session.mapRequest();
    const std::vector<int> first = mapFingerprint(*session.map);
    setFields(u"1", u"200");
    session.mapRequest();
    EXPECT_NE(mapFingerprint(*session.map), first);
    setFields(u"c0ffee", u"300");
    session.mapRequest();
    EXPECT_EQ(mapFingerprint(*session.map), first);
}

TEST_F(MapRequestTest, ResetsTheRunAndDisablesThenEnablesTheCommands)
{
    session.displayMode = DisplayMode::batchFinished;
    EngineState& engine = ColouringAccess::work(session.colouring).state;
    engine.EnginePhase = Phase::grow;
    engine.growthDone = true;
    writeControlText(idStatus, ws::failureText);
    setFields(u"5", u"20");
    session.mapRequest();
    EXPECT_EQ(session.displayMode, DisplayMode::map);
    EXPECT_EQ(session.colouring.phase(), Phase::prepare);
    EXPECT_FALSE(session.colouring.state().growthDone);
    EXPECT_EQ(headlessControlText(idStatus), u"");
    // State 0 first (all four off), state 3 last (step, full, EXPORT on; clear off).
    std::vector<std::pair<int, int>> enables;
    for (const HeadlessEvent& e : headlessEvents())
        if (e.kind == HeadlessEvent::enable) enables.push_back({e.id, e.value});
    const std::vector<std::pair<int, int>> expected = {
        {idStep, 0}, {idFull, 0}, {idClear, 0}, {idExport, 0}, {idStep, 1}, {idFull, 1}, {idClear, 0}, {idExport, 1}};
    EXPECT_EQ(enables, expected);
    EXPECT_EQ(headlessEvents().back().kind, HeadlessEvent::focusMain);
}

TEST_F(MapRequestTest, ExportIsNamedAfterTheMapShownAndReplacesItsFile)
{
    session.exportMap();  // no map: nothing
    EXPECT_FALSE(fs::exists(folder / "Export"));

    setFields(u"1a2b3", u"3");
    session.mapRequest();
    // AUTO and FIX reuse seedText; the export still names the map shown.
    session.fields.seedText[0] = 0;
    writeControlText(idSeedLabel, u"");
    session.exportMap();
    const fs::path file = folder / "Export" / "0001a2b3(3).txt";
    ASSERT_TRUE(fs::exists(file));
    const std::string first = readFile(file);
    EXPECT_EQ(first, exportContent(*session.map));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 3);

    session.colouring.run();
    session.exportMap();
    EXPECT_NE(readFile(file), first);
    EXPECT_EQ(readFile(file), exportContent(session.colouring));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "Export"), fs::directory_iterator()), 1);
}

// A map of given sites replaces the map shown; its export goes by its name,
// and sites that give no map leave none, with the colouring commands off.
TEST_F(MapRequestTest, SitesRequestShowsTheSitesMapAndNamesItsExport)
{
    const std::vector<Point> sites = seededSites(0x1a2b3, 5);
    EXPECT_FALSE(session.sitesRequest(sites, u"lesson"));
    EXPECT_EQ(session.displayMode, DisplayMode::map);
    EXPECT_EQ(session.shownNodeCount, 5);
    EXPECT_EQ(session.shownMapName(), u"lesson");
    EXPECT_EQ(mapFingerprint(*session.map), directMap(0x1a2b3, 5));
    EXPECT_TRUE(headlessControlEnabled(idStep) && headlessControlEnabled(idFull) && headlessControlEnabled(idExport));
    session.fullColouring();
    EXPECT_EQ(headlessControlText(idStatus), ws::successText);
    session.exportMap();
    EXPECT_EQ(readFile(folder / "Export" / "lesson(5).txt"), exportContent(session.colouring));

    const SiteProblem p = session.sitesRequest({{0, 0}, {5, 5}, {9, 9}}, u"line");
    EXPECT_EQ(p.kind, SiteProblem::Kind::oneLine);
    EXPECT_TRUE(session.map->empty());
    EXPECT_TRUE(session.colouring.map().empty());
    EXPECT_EQ(session.shownNodeCount, 0);
    EXPECT_EQ(headlessControlText(idStatus), u"");
    for (int id : {idStep, idFull, idClear, idExport}) EXPECT_FALSE(headlessControlEnabled(id)) << id;

    setFields(u"1a2b3", u"5");
    session.mapRequest();
    EXPECT_TRUE(session.shownSites.empty());
    EXPECT_EQ(session.shownMapName(), u"0001a2b3");
}

TEST_F(MapRequestTest, TooLongExecutablePathWritesNoFileAndRunsNoBatch)
{
    const std::u16string longFolder = (folder / std::string(5000, 'd')).u16string();
    headlessSetExecutablePath(longFolder + u"/orvane.exe");
    setFields(u"1", u"5", u"3");
    session.mapRequest();
    session.exportMap();
    EXPECT_TRUE(pathBesideExecutable(u"Export").empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 0);

    session.batchRun();
    EXPECT_TRUE(session.runLogPath.empty());
    // No batch ran: the map stays on show, the window is usable and says why.
    EXPECT_FALSE(session.map->empty());
    EXPECT_EQ(session.displayMode, DisplayMode::map);
    for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id)) << id;
    EXPECT_EQ(headlessControlText(idStatus), ws::runLogNotCreated);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 0);
}
}  // namespace
