// The map view's pages, checked on the recorded drawing calls and on the SVG.
#include <gtest/gtest.h>
#include "engine/work.h"
#include "map/map.h"
#include "platform/headless.h"
#include "ui/draw.h"
#include "ui/session.h"
#include "ui/view.h"
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>

using namespace orvane;

namespace {
class ViewTest : public ::testing::Test {
protected:
    DrawList list;
    Session session;
    // The engine's state, set by hand where a test shows every highlight at once.
    EngineState& engine = ColouringAccess::work(session.colouring).state;
    NodeFields& fields = ColouringAccess::work(session.colouring).fields;

    const Map& map() const { return *session.map; }
    NodeIndex numbered(int k) const { return map().numbered(k); }
    std::vector<NodeIndex> listed() const
    {
        std::vector<NodeIndex> v;
        for (NodeIndex n = session.colouring.firstListed(); n != noNode; n = session.colouring.nextListed(n)) v.push_back(n);
        return v;
    }

    void SetUp() override
    {
        headlessReset();
        session.viewWidth = 800;
        session.viewHeight = 600;
    }

    void buildFresh(uint32_t seed, int n)
    {
        session.map = Map::build(seed, n);
        session.colouring.restart(session.map);
        session.displayMode = DisplayMode::map;
    }

    void paint() { paintView(list, session); }
    ViewPoint point(int32_t x, int32_t y) const { return viewPoint({session.viewWidth, session.viewHeight}, x, y); }

    // Index of the first call with this op and (for selections) argument.
    size_t findSelect(DrawOp op, int what, size_t from = 0) const
    {
        for (size_t i = from; i < list.calls.size(); ++i)
            if (list.calls[i].op == op && list.calls[i].a == what) return i;
        return list.calls.size();
    }

    // Discs: ellipses of radius 8, keyed by centre, with the brush they were filled with.
    std::map<std::pair<int, int>, int> discs() const
    {
        std::map<std::pair<int, int>, int> found;
        int brush = -1;
        for (const DrawCall& c : list.calls) {
            if (c.op == DrawOp::selectBrush) brush = c.a;
            if (c.op == DrawOp::ellipse && c.c - c.a == 16) found[{(c.a + c.c) / 2, (c.b + c.d) / 2}] = brush;
        }
        return found;
    }

    std::pair<int, int> at(NodeIndex n) const
    {
        const ViewPoint p = point(map().site(n).x, map().site(n).y);
        return {p.x, p.y};
    }

    int countOp(DrawOp op) const
    {
        return static_cast<int>(std::count_if(list.calls.begin(), list.calls.end(), [op](const DrawCall& c) { return c.op == op; }));
    }
};


TEST_F(ViewTest, MapsTheSquareOntoTheViewWithMarginsAndRounding)
{
    EXPECT_EQ(viewPoint({800, 600}, 0, 0).x, 24);
    EXPECT_EQ(viewPoint({800, 600}, 0, 0).y, 24);
    EXPECT_EQ(viewPoint({800, 600}, 32767, 32767).x, 800 - 24);
    EXPECT_EQ(viewPoint({800, 600}, 32767, 32767).y, 600 - 24);
    // Halves round away from zero: 16384/32767 of one pixel is just over a half.
    EXPECT_EQ(viewPoint({49, 49}, 16384, 16383).x, 25);
    EXPECT_EQ(viewPoint({49, 49}, 16384, 16383).y, 24);
    // Each axis scales on its own, so resizing stretches the map.
    EXPECT_EQ(viewPoint({1000, 300}, 16383, 16383).x, 24 + mulDiv(16383, 952, 32767));
    EXPECT_EQ(viewPoint({1000, 300}, 16383, 16383).y, 24 + mulDiv(16383, 252, 32767));
    // The map page follows the session's view size.
    session.viewWidth = 1000;
    session.viewHeight = 300;
    buildFresh(4, 3);
    paint();
    const auto d = discs();
    for (const NodeIndex n : listed()) {
        const ViewPoint p = viewPoint({1000, 300}, map().site(n).x, map().site(n).y);
        EXPECT_TRUE(d.count({p.x, p.y}));
    }
}

// A click's map point is drawn back at the click, and clicks in the margins
// fall on the square's edge.
TEST_F(ViewTest, AClickNamesTheMapPointDrawnThere)
{
    for (const ViewSize size : {ViewSize{800, 600}, ViewSize{1000, 300}, ViewSize{49, 49}}) {
        for (int32_t x = 24; x <= size.width - 24; x += 7) {
            const Point p = mapPointAt(size, x, size.height / 2);
            EXPECT_EQ(viewPoint(size, p.x, p.y).x, x);
            EXPECT_EQ(viewPoint(size, p.x, p.y).y, size.height / 2);
        }
    }
    EXPECT_EQ(mapPointAt({800, 600}, 3, 599).x, 0);
    EXPECT_EQ(mapPointAt({800, 600}, 3, 599).y, 32767);
    EXPECT_EQ(mapPointAt({40, 40}, 20, 20).x, 0);  // no room between the margins
}

TEST_F(ViewTest, BlankPageShowsOnlyTheFourteenCharacterLabel)
{
    session.displayMode = DisplayMode::blank;
    paint();
    ASSERT_EQ(list.calls.size(), 1u);
    const DrawCall& c = list.calls[0];
    EXPECT_EQ(c.op, DrawOp::textOut);
    EXPECT_EQ(c.a, 800 - 130);
    EXPECT_EQ(c.b, 600 - 30);
    EXPECT_EQ(list.textOf(c).size(), 14u);
    EXPECT_FALSE(list.offscreen);
    EXPECT_FALSE(viewSkipsErase(session));
}

TEST_F(ViewTest, FreshMapShowsWhiteDiscsBordersOnceAndTheOuterBoundary)
{
    buildFresh(0x1a2b, 60);
    paint();
    EXPECT_TRUE(list.offscreen);
    EXPECT_TRUE(viewSkipsErase(session));
    ASSERT_FALSE(list.calls.empty());
    EXPECT_EQ(list.calls[0].op, DrawOp::fillRect);
    EXPECT_EQ(list.calls[0].c, 800);
    EXPECT_EQ(list.calls[0].d, 600);
    EXPECT_EQ(countOp(DrawOp::textOut), 0);  // the map page has no label

    // No ring, arc, path or cursor marks on a fresh map; the boundary is there.
    for (PenId p : {ringPen, arcPen, pathPen, pivotPen, cursorPen, alertPen})
        EXPECT_EQ(findSelect(DrawOp::selectPen, p), list.calls.size()) << "pen " << int(p);
    const size_t hull = findSelect(DrawOp::selectPen, hullPen);
    ASSERT_LT(hull, list.calls.size());
    int outerCount = 0;
    for (const NodeIndex n : listed()) outerCount += map().isOuter(n);
    // Boundary: a move and one line per outer node, closing at the start.
    EXPECT_EQ(list.calls[hull + 1].op, DrawOp::moveTo);
    EXPECT_EQ(list.calls[hull + 1 + outerCount].op, DrawOp::lineTo);
    EXPECT_EQ(list.calls[hull + 1 + outerCount].a, list.calls[hull + 1].a);
    EXPECT_EQ(list.calls[hull + 1 + outerCount].b, list.calls[hull + 1].b);

    const auto d = discs();
    EXPECT_EQ(d.size(), 60u);
    for (const NodeIndex n : listed()) EXPECT_EQ(d.at(at(n)), colourBrush0);
    // Every border once, after the boundary, in black.
    int borderLines = 0;
    for (size_t i = hull + 2 + outerCount; i < list.calls.size(); ++i) borderLines += list.calls[i].op == DrawOp::lineTo;
    EXPECT_EQ(borderLines, static_cast<int>(map().borders().size()));
}

TEST_F(ViewTest, NoLineReachesANodeAfterItsDiscIsDrawn)
{
    buildFresh(7, 300);
    paint();
    std::set<std::pair<int, int>> covered;
    std::pair<int, int> current{};
    for (const DrawCall& c : list.calls) {
        if (c.op == DrawOp::moveTo) current = {c.a, c.b};
        if (c.op == DrawOp::lineTo) {
            EXPECT_FALSE(covered.count({c.a, c.b}) || covered.count(current)) << "line over a drawn disc";
            current = {c.a, c.b};
        }
        if (c.op == DrawOp::ellipse && c.c - c.a == 16) covered.insert({(c.a + c.c) / 2, (c.b + c.d) / 2});
    }
}

// Engine state set by hand on a real map, so every highlight shows at once.
TEST_F(ViewTest, HighlightsAreDrawnInOrderRingArcPathBoundaryNodes)
{
    buildFresh(99, 40);
    const NodeIndex a = numbered(1), b = numbered(2), c = numbered(3), d = numbered(4);
    fields.ringNext[a] = b; fields.ringNext[b] = c; fields.ringNext[c] = a;
    engine.ringEntry = a;
    engine.arcFirst = c;
    engine.arcLast = a;
    fields.hot[d].colour = colourBlocked;
    engine.candidate = d;
    engine.pathTail = c;
    fields.pathPrev[c] = b;
    fields.pathPrev[b] = noNode;
    engine.pivot = b;
    engine.pathCursor = c;
    engine.pathFlag = true;
    paint();

    const size_t ring = findSelect(DrawOp::selectPen, ringPen);
    const size_t arc = findSelect(DrawOp::selectPen, arcPen);
    const size_t path = findSelect(DrawOp::selectPen, pathPen);
    const size_t hull = findSelect(DrawOp::selectPen, hullPen);
    const size_t firstDisc = findSelect(DrawOp::selectPen, blackPen);
    ASSERT_LT(firstDisc, list.calls.size());
    EXPECT_LT(ring, arc);
    EXPECT_LT(arc, path);
    EXPECT_LT(path, hull);
    EXPECT_LT(hull, firstDisc);

    // Ring a -> b -> c -> a, closing line included.
    const std::vector<std::pair<int, int>> ringPoints = {at(a), at(b), at(c), at(a)};
    for (size_t k = 0; k < ringPoints.size(); ++k)
        EXPECT_EQ(std::make_pair(list.calls[ring + 1 + k].a, list.calls[ring + 1 + k].b), ringPoints[k]);
    // Arc: null brush, circle r 11 at arcLast, then from arcLast forward to arcFirst.
    EXPECT_EQ(list.calls[arc + 1].op, DrawOp::selectBrush);
    EXPECT_EQ(list.calls[arc + 1].a, nullBrush);
    EXPECT_EQ(list.calls[arc + 2].op, DrawOp::ellipse);
    EXPECT_EQ(list.calls[arc + 2].c - list.calls[arc + 2].a, 22);
    EXPECT_EQ(std::make_pair(list.calls[arc + 3].a, list.calls[arc + 3].b), at(a));
    EXPECT_EQ(std::make_pair(list.calls[arc + 5].a, list.calls[arc + 5].b), at(c));
    EXPECT_EQ(list.calls[arc + 6].op, DrawOp::selectPen);  // the arc ends at arcFirst
    // Path: circle at pathTail, then lines from pathTail itself along pathPrev.
    EXPECT_EQ(list.calls[path + 2].op, DrawOp::ellipse);
    EXPECT_EQ(std::make_pair(list.calls[path + 4].a, list.calls[path + 4].b), at(c));
    EXPECT_EQ(std::make_pair(list.calls[path + 5].a, list.calls[path + 5].b), at(b));

    // Pivot: grey circle r 13; cursor: r 11 light grey, then r 13 red while pathFlag is set.
    std::vector<std::pair<int, int>> circles;  // (pen, radius) of the highlight circles
    int pen = -1;
    for (const DrawCall& call : list.calls) {
        if (call.op == DrawOp::selectPen) pen = call.a;
        if (call.op == DrawOp::ellipse && pen != blackPen) circles.push_back({pen, (call.c - call.a) / 2});
    }
    const std::vector<std::pair<int, int>> expected = {
        {arcPen, 11}, {pathPen, 11}, {pivotPen, 13}, {cursorPen, 11}, {alertPen, 13}};
    EXPECT_EQ(circles, expected);
    EXPECT_EQ(discs().at(at(d)), colourBrush5);  // the blocked candidate is grey

    engine.pathFlag = false;
    paint();
    bool alert = false;
    for (const DrawCall& call : list.calls) alert |= call.op == DrawOp::selectPen && call.a == alertPen;
    EXPECT_FALSE(alert);
}

TEST_F(ViewTest, SetAsideNodesVanishWhileDeferredAndReturnColoured)
{
    buildFresh(0x5eed, 400);
    session.colouring.step(false);  // preparation sets nodes aside
    const ColouringWork& work = ColouringAccess::work(session.colouring);
    ASSERT_NE(work.list.deferredHead(), noNode);
    paint();
    auto shown = discs();
    EXPECT_EQ(shown.size(), listed().size());
    std::set<std::pair<int, int>> listedPoints;
    for (const NodeIndex n : listed()) listedPoints.insert(at(n));
    for (NodeIndex n = work.list.deferredHead(); n != noNode; n = work.list.next(n)) {
        if (listedPoints.count(at(n))) continue;  // shares a pixel with a listed node
        EXPECT_FALSE(shown.count(at(n)));
        for (const DrawCall& c : list.calls)
            EXPECT_FALSE(c.op == DrawOp::lineTo && std::make_pair(c.a, c.b) == at(n)) << "border to a deferred node";
    }

    while (!session.colouring.finished()) session.colouring.step(true);
    paint();
    shown = discs();
    EXPECT_EQ(shown.size(), 400u);
    for (const auto& [point, brush] : shown) {
        EXPECT_GE(brush, colourBrush1);
        EXPECT_LE(brush, colourBrush4);
    }
}

TEST_F(ViewTest, BatchPagesPlaceTheirTextsAndCounters)
{
    const char16_t* header = u"ノード数 (100)   地図数 (5)";
    std::memcpy(session.batch.batchHeader, header, (std::char_traits<char16_t>::length(header) + 1) * sizeof(char16_t));
    std::memcpy(session.batch.counterText[0], u"12", 3 * sizeof(char16_t));
    std::memcpy(session.batch.counterText[1], u"0", 2 * sizeof(char16_t));
    session.displayMode = DisplayMode::batchRunning;
    paint();
    EXPECT_FALSE(viewSkipsErase(session));
    struct Place { DrawOp op; int a, b, c; };
    const std::vector<Place> running = {
        {DrawOp::textOut, 20, 20, 0},   {DrawOp::textOut, 20, 40, 0},   {DrawOp::textOut, 50, 70, 0},
        {DrawOp::textRight, 80, 70, 140}, {DrawOp::textOut, 50, 90, 0},   {DrawOp::textRight, 80, 90, 140},
        {DrawOp::textOut, 670, 570, 0}};
    ASSERT_EQ(list.calls.size(), running.size());
    for (size_t i = 0; i < running.size(); ++i) {
        EXPECT_EQ(list.calls[i].op, running[i].op) << i;
        EXPECT_EQ(list.calls[i].a, running[i].a) << i;
        EXPECT_EQ(list.calls[i].b, running[i].b) << i;
        if (running[i].op == DrawOp::textRight) {
            EXPECT_EQ(list.calls[i].c, running[i].c) << i;
        }
    }
    EXPECT_EQ(list.textOf(list.calls[0]), header);
    EXPECT_EQ(list.textOf(list.calls[2]), u"成功 :");
    EXPECT_EQ(list.textOf(list.calls[3]), u"12");
    EXPECT_EQ(list.textOf(list.calls[4]), u"失敗 :");

    session.displayMode = DisplayMode::batchFinished;
    paint();
    ASSERT_EQ(list.calls.size(), running.size() + 3);
    const int finalRows[3][2] = {{20, 125}, {50, 145}, {50, 165}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.calls[i].a, finalRows[i][0]);
        EXPECT_EQ(list.calls[i].b, finalRows[i][1]);
    }
    EXPECT_EQ(list.calls[3].b, 20);  // then the whole running page
}

TEST_F(ViewTest, SvgMergesLinesPerPenAndKeepsDiscColours)
{
    DrawList l;
    l.clear(300, 200);
    l.pen(hullPen);
    l.moveTo(1, 2);
    l.lineTo(3, 4);
    l.lineTo(5, 6);
    l.pen(hullPen);
    l.moveTo(7, 8);
    l.lineTo(9, 10);
    l.brush(colourBrush1);
    l.pen(blackPen);
    l.circle(50, 60, 8);
    l.brush(nullBrush);
    l.circle(50, 60, 13);
    l.text(5, 5, u"A&B<成功>");
    l.textRight(80, 70, 140, 85, u"7");
    const std::string svg = svgOf(l);
    EXPECT_NE(svg.find("width=\"300\" height=\"200\""), std::string::npos);
    EXPECT_NE(svg.find("d=\"M1 2L3 4L5 6 M7 8L9 10\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("<ellipse cx=\"50\" cy=\"60\" rx=\"8\" ry=\"8\" fill=\"#ff6060\" stroke=\"#000000\" stroke-width=\"1\"/>"),
              std::string::npos) << svg;
    EXPECT_NE(svg.find("rx=\"13\" ry=\"13\" fill=\"none\""), std::string::npos);
    EXPECT_NE(svg.find("A&amp;B&lt;\xE6\x88\x90\xE5\x8A\x9F&gt;"), std::string::npos);
    EXPECT_NE(svg.find("x=\"140\" y=\"70\" text-anchor=\"end\""), std::string::npos);
}

// A broken ring link must not hang or crash the window's paint.
TEST_F(ViewTest, BrokenRingLinksEndThePaint)
{
    buildFresh(3, 20);
    const NodeIndex a = numbered(1), b = numbered(2);
    fields.ringNext[a] = b;
    fields.ringNext[b] = b;  // never returns to a
    engine.ringEntry = a;
    paint();
    EXPECT_EQ(discs().size(), 20u);
    fields.ringNext[b] = noNode;
    paint();
    EXPECT_EQ(discs().size(), 20u);
}
}  // namespace
