// The session's colouring commands: what a step shows (buttons, status text,
// repaint) in each display mode, clearing a colouring midway, and a new map
// request after a finished colouring.
#include <gtest/gtest.h>
#include "engine/colouring.h"
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "ui/session.h"
#include "ui/strings.h"
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace orvane;
namespace ws = orvane::windowstrings;

namespace {
using Kind = HeadlessEvent::Kind;

// An event reduced to what the tests compare.
struct Seen {
    Kind kind;
    int id;
    int value;
    std::u16string text;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> seenEvents()
{
    std::vector<Seen> out;
    for (const HeadlessEvent& e : headlessEvents()) out.push_back({e.kind, e.id, e.value, e.textValue});
    return out;
}

int countEvents(Kind kind)
{
    int c = 0;
    for (const HeadlessEvent& e : headlessEvents()) c += e.kind == kind;
    return c;
}

// The events of one row of the enable table: the four buttons, then the focus.
std::vector<Seen> commandState(bool step, bool full, bool clear, bool exportMap)
{
    return {{Kind::enable, idStep, step, {}},
            {Kind::enable, idFull, full, {}},
            {Kind::enable, idClear, clear, {}},
            {Kind::enable, idExport, exportMap, {}},
            {Kind::focusMain, 0, 0, {}}};
}
const std::vector<Seen> stepping = commandState(true, true, true, true);
const std::vector<Seen> finished = commandState(false, false, true, true);
const std::vector<Seen> allOff = commandState(false, false, false, false);
const Seen repaint{Kind::invalidate, 0, 1, {}};

std::vector<Seen> operator+(std::vector<Seen> a, const std::vector<Seen>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Seen statusText(const char16_t* text) { return {Kind::text, idStatus, 0, text}; }

// The colours along the colouring's node list.
std::string colours(const Colouring& colouring)
{
    std::string s;
    for (NodeIndex v = colouring.firstListed(); v != noNode; v = colouring.nextListed(v))
        s += char('0' + colouring.colour(v));
    return s;
}

class SessionTest : public ::testing::Test {
protected:
    Session session;

    void SetUp() override { headlessReset(); }

    // A fresh colouring of the map of (seed, n), the record emptied.
    void showMap(uint32_t seed, int n, DisplayMode mode = DisplayMode::map)
    {
        session.map = Map::build(seed, n);
        session.colouring.restart(session.map);
        session.displayMode = mode;
        headlessEvents().clear();
    }

    void request(const char16_t* seed, const char16_t* nodes)
    {
        writeControlText(idSeedField, seed);
        writeControlText(idNodeField, nodes);
        session.mapRequest();
        headlessEvents().clear();
    }
};

TEST_F(SessionTest, StepsOnTheMapEnableAllFourUntilTheColouringFinishes)
{
    showMap(5, 100);
    session.stepColouring();
    EXPECT_EQ(session.colouring.phase(), Phase::grow);
    EXPECT_EQ(seenEvents(), stepping + std::vector<Seen>{repaint});

    int steps = 1;
    for (; !session.colouring.finished() && steps < 100000; ++steps) {
        headlessEvents().clear();
        session.stepColouring();
        if (!session.colouring.finished()) {
            ASSERT_EQ(seenEvents(), stepping + std::vector<Seen>{repaint}) << "step " << steps;
        }
    }
    ASSERT_TRUE(session.colouring.finished());
    EXPECT_GT(steps, 2);
    // The last step verified: the status first, then the finished row and the repaint.
    EXPECT_EQ(seenEvents(), std::vector<Seen>{statusText(ws::successText)} + finished + std::vector<Seen>{repaint});
    EXPECT_EQ(session.colouring.verify(), 0);
}

TEST_F(SessionTest, FullColouringTurnsTheButtonsOffFirstAndShowsAFailure)
{
    showMap(2, 100);
    uint32_t now = 0;
    session.colouring.setClock([&now] { return now += 20000; });  // every reading is past the limit
    session.fullColouring();
    EXPECT_TRUE(session.colouring.finished());
    EXPECT_NE(session.colouring.verify(), 0);
    EXPECT_EQ(seenEvents(),
              allOff + std::vector<Seen>{statusText(ws::failureText)} + finished + std::vector<Seen>{repaint});
    EXPECT_EQ(headlessControlText(idStatus), ws::failureText);
}

// Only the map page takes the buttons and repaints; the status text shows
// wherever verification runs, except on the page of a running batch.
TEST_F(SessionTest, StepsOffTheMapPageShowOnlyTheStatusAndNotWhileABatchRuns)
{
    for (DisplayMode mode : {DisplayMode::blank, DisplayMode::batchRunning, DisplayMode::batchFinished}) {
        SCOPED_TRACE(static_cast<int>(mode));
        headlessReset();
        showMap(11, 200, mode);
        int steps = 0;
        while (!session.colouring.finished() && steps++ < 100000) session.stepColouring();
        ASSERT_TRUE(session.colouring.finished());
        EXPECT_EQ(session.colouring.verify(), 0);
        if (mode == DisplayMode::batchRunning) {
            EXPECT_TRUE(headlessEvents().empty());
            EXPECT_EQ(headlessControlText(idStatus), u"");
        } else {
            EXPECT_EQ(seenEvents(), std::vector<Seen>{statusText(ws::successText)});
        }
    }
}

TEST_F(SessionTest, StepsWithoutAMapOrAfterTheEndChangeNothing)
{
    session.displayMode = DisplayMode::map;
    session.stepColouring();
    EXPECT_EQ(session.colouring.phase(), Phase::prepare);
    EXPECT_TRUE(headlessEvents().empty());

    showMap(1, 100);
    session.colouring.run();
    ASSERT_TRUE(session.colouring.finished());
    const std::string before = colours(session.colouring);
    headlessEvents().clear();
    session.stepColouring();
    session.stepColouring();
    EXPECT_TRUE(headlessEvents().empty());
    EXPECT_EQ(colours(session.colouring), before);
    EXPECT_TRUE(session.colouring.finished());

    // An empty map is no map.
    session.map = std::make_shared<const Map>();
    session.colouring.restart(session.map);
    session.stepColouring();
    EXPECT_TRUE(headlessEvents().empty());
}

TEST_F(SessionTest, ClearingMidwayBringsBackTheBuiltMapAndStepAndFull)
{
    for (int steps : {1, 40, 113}) {
        SCOPED_TRACE(steps);
        showMap(36, 100);
        const auto bordersShown = [this] {
            std::set<std::pair<int, int>> b;
            const Map& map = *session.map;
            for (NodeIndex v = session.colouring.firstListed(); v != noNode; v = session.colouring.nextListed(v))
                for (const NodeIndex n : session.colouring.links(v))
                    b.insert({std::min(map.number(v), map.number(n)), std::max(map.number(v), map.number(n))});
            return b;
        };
        const std::set<std::pair<int, int>> built = bordersShown();
        for (int k = 0; k < steps; ++k) session.stepColouring();
        ASSERT_FALSE(session.colouring.finished());
        ASSERT_NE(bordersShown(), built);  // nodes are set aside
        headlessEvents().clear();
        session.clearColouring();

        EXPECT_EQ(session.colouring.phase(), Phase::prepare);
        std::set<NodeIndex> listed;
        for (NodeIndex v = session.colouring.firstListed(); v != noNode; v = session.colouring.nextListed(v)) {
            listed.insert(v);
            EXPECT_EQ(session.colouring.colour(v), colourNone);
        }
        EXPECT_EQ(static_cast<int>(listed.size()), session.map->nodeCount());
        EXPECT_EQ(bordersShown(), built);
        EXPECT_EQ(session.colouring.state().ringEntry, noNode);
        EXPECT_EQ(session.colouring.state().pivot, noNode);
        // The status is emptied and the map repainted; step, full and EXPORT come back, clear goes.
        EXPECT_EQ(seenEvents(), (std::vector<Seen>{statusText(u""), repaint}) + commandState(true, true, false, true));

        // The cleared map colours again to the end.
        session.fullColouring();
        EXPECT_TRUE(session.colouring.finished());
        EXPECT_EQ(session.colouring.verify(), 0);
        EXPECT_EQ(headlessControlText(idStatus), ws::successText);
    }
}

TEST_F(SessionTest, MapRequestAfterAFinishedColouringStartsAFreshOne)
{
    session.displayMode = DisplayMode::map;
    request(u"24", u"100");
    session.fullColouring();
    ASSERT_TRUE(session.colouring.finished());

    for (const char16_t* seed : {u"25", u"24"}) {
        request(seed, u"100");
        EXPECT_EQ(session.colouring.phase(), Phase::prepare);
        EXPECT_FALSE(session.colouring.finished());
        EXPECT_EQ(session.colouring.state().ringEntry, noNode);
        EXPECT_EQ(colours(session.colouring), std::string(100, '0'));
        session.stepColouring();
        EXPECT_EQ(session.colouring.phase(), Phase::grow);
        EXPECT_EQ(seenEvents(), stepping + std::vector<Seen>{repaint});
        session.fullColouring();
        EXPECT_TRUE(session.colouring.finished());
        EXPECT_EQ(session.colouring.verify(), 0);
    }

    // A colouring restarted on another map starts afresh on it.
    session.map = Map::build(26, 50);
    session.colouring.restart(session.map);
    EXPECT_EQ(session.colouring.phase(), Phase::prepare);
    EXPECT_EQ(session.colouring.state().ringEntry, noNode);
    headlessEvents().clear();
    session.stepColouring();
    EXPECT_EQ(session.colouring.phase(), Phase::grow);
    EXPECT_EQ(countEvents(Kind::invalidate), 1);
}
}  // namespace
