// The map view's pages: blank, map, running batch and finished batch.
#include "ui/view.h"
#include "ui/session.h"
#include "ui/strings.h"
#include <vector>

namespace orvane {

namespace ws = windowstrings;

namespace {
constexpr int viewMargin = 24;
constexpr int discRadius = 8, innerRingRadius = 11, outerRingRadius = 13;

// Draws one map page: the points of the nodes for the view's size and a bound
// on every walk along the map's cycles. It reads the map and the colouring
// (none for the map as built) and writes neither: which nodes it has drawn
// is its own business.
struct MapPainter {
    DrawList& list;
    const Map& map;
    const Colouring* colouring;
    ViewSize size;
    EngineMarks marks = EngineMarks::shown;
    EngineState engine = colouring && marks == EngineMarks::shown ? colouring->state() : EngineState{};
    std::vector<uint8_t> drawn = std::vector<uint8_t>(static_cast<size_t>(map.nodeCount()), 0);

    ViewPoint pointOf(NodeIndex v) const
    {
        const Point p = map.site(v);
        return viewPoint(size, p.x, p.y);
    }
    void moveTo(NodeIndex v) { const ViewPoint p = pointOf(v); list.moveTo(p.x, p.y); }
    void lineTo(NodeIndex v) { const ViewPoint p = pointOf(v); list.lineTo(p.x, p.y); }
    void circleAround(NodeIndex v, int r) { const ViewPoint p = pointOf(v); list.circle(p.x, p.y, r); }

    // The node list in the colouring's order, or the map's.
    NodeIndex firstListed() const { return colouring ? colouring->firstListed() : map.numbered(1); }
    NodeIndex nextListed(NodeIndex v) const
    {
        return colouring ? colouring->nextListed(v) : map.numbered(map.number(v) + 1);
    }

    // A cycle through the map is never longer than the node count; the bound
    // keeps a broken link from hanging the window.
    int cycleBound() const { return map.nodeCount() + 1; }

    // Lines along `step` from `from` until `until` is reached (drawn at least once).
    template <typename Step>
    void drawAlong(NodeIndex from, NodeIndex until, Step step)
    {
        moveTo(from);
        NodeIndex v = from;
        for (int k = 0; k < cycleBound(); ++k) {
            v = step(v);
            if (v == noNode) return;
            lineTo(v);
            if (v == until) return;
        }
    }

    void drawRing()
    {
        if (engine.ringEntry == noNode) return;
        list.pen(ringPen);
        drawAlong(engine.ringEntry, engine.ringEntry, [this](NodeIndex v) { return colouring->ringNext(v); });
    }

    void drawContactArc()
    {
        if (engine.arcFirst == noNode || engine.arcLast == noNode) return;
        list.pen(arcPen);
        list.brush(nullBrush);
        circleAround(engine.arcLast, innerRingRadius);
        drawAlong(engine.arcLast, engine.arcFirst, [this](NodeIndex v) { return colouring->ringNext(v); });
    }

    void drawConflictPath()
    {
        if (engine.pathTail == noNode) return;
        list.pen(pathPen);
        list.brush(nullBrush);
        circleAround(engine.pathTail, innerRingRadius);
        moveTo(engine.pathTail);
        NodeIndex v = engine.pathTail;
        for (int k = 0; v != noNode && k < cycleBound(); ++k, v = colouring->pathPrev(v)) lineTo(v);
    }

    void drawOuterBoundary()
    {
        if (map.outerStart() == noNode) return;
        list.pen(hullPen);
        drawAlong(map.outerStart(), map.outerStart(), [this](NodeIndex v) { return map.outer(v); });
    }

    static BrushId discBrush(ColourCode colour)
    {
        return colour >= colourNone && colour <= colourBlocked ? static_cast<BrushId>(colourBrush0 + static_cast<int>(colour))
                                                               : colourBrush0;
    }

    // Borders to nodes not yet drawn, highlight circles, then the disc on top.
    void drawNode(NodeIndex v)
    {
        const ViewPoint p = pointOf(v);
        list.pen(blackPen);
        for (const NodeIndex n : colouring ? colouring->links(v) : map.links(v)) {
            if (drawn[n]) continue;
            list.moveTo(p.x, p.y);
            lineTo(n);
        }
        if (v == engine.pivot) {
            list.brush(nullBrush);
            list.pen(pivotPen);
            list.circle(p.x, p.y, outerRingRadius);
        }
        if (v == engine.pathCursor) {
            list.brush(nullBrush);
            list.pen(cursorPen);
            list.circle(p.x, p.y, innerRingRadius);
            if (engine.pathFlag) {
                list.pen(alertPen);
                list.circle(p.x, p.y, outerRingRadius);
            }
        }
        list.brush(discBrush(colouring ? colouring->colour(v) : colourNone));
        list.pen(blackPen);
        list.circle(p.x, p.y, discRadius);
        drawn[v] = 1;
    }

    void paint()
    {
        list.offscreen = true;
        list.fill(0, 0, size.width, size.height, whiteBrush);
        drawRing();
        drawContactArc();
        drawConflictPath();
        drawOuterBoundary();
        for (NodeIndex v = firstListed(); v != noNode; v = nextListed(v)) drawNode(v);
    }
};

void paintRunningBatch(DrawList& list, const BatchPage& t)
{
    list.text(20, 20, t.batchHeader);
    list.text(20, 40, t.batchSeedRange);
    for (int slot = 0; slot < 2; ++slot) {
        const ViewRect& r = counterRect[slot];
        list.text(50, r.top, slot == 0 ? ws::successesLabel : ws::failuresLabel);
        list.textRight(r.left, r.top, r.right, r.bottom, t.counterText[slot]);
    }
}

void paintFinishedBatch(DrawList& list, const BatchTexts& t)
{
    list.text(20, 125, t.batchTotalTime);
    list.text(50, 145, t.batchMapTime);
    list.text(50, 165, t.batchColourTime);
}
}  // namespace

ViewPoint viewPoint(ViewSize size, int32_t x, int32_t y)
{
    return {mulDiv(x, size.width - 2 * viewMargin, 32767) + viewMargin,
            mulDiv(y, size.height - 2 * viewMargin, 32767) + viewMargin};
}

Point mapPointAt(ViewSize size, int32_t x, int32_t y)
{
    const auto along = [](int32_t v, int32_t side) {
        const int32_t span = side - 2 * viewMargin;
        const int32_t p = span > 0 ? mulDiv(v - viewMargin, 32767, span) : 0;
        return p < 0 ? 0 : p > 32767 ? 32767 : p;
    };
    return {along(x, size.width), along(y, size.height)};
}

void paintMapPage(DrawList& list, const Colouring& colouring, ViewSize size, EngineMarks marks)
{
    list.clear(size.width, size.height);
    MapPainter{list, colouring.map(), &colouring, size, marks}.paint();
}

void paintMapPage(DrawList& list, const Map& map, ViewSize size)
{
    list.clear(size.width, size.height);
    MapPainter{list, map, nullptr, size}.paint();
}

void paintView(DrawList& list, const Session& session)
{
    const ViewSize size{session.viewWidth, session.viewHeight};
    list.clear(size.width, size.height);
    switch (session.displayMode) {
    case DisplayMode::map:
        MapPainter{list, session.colouring.map(), &session.colouring, size}.paint();
        return;
    case DisplayMode::batchFinished:
        paintFinishedBatch(list, session.batch);
        [[fallthrough]];
    case DisplayMode::batchRunning:
        paintRunningBatch(list, session.batch);
        [[fallthrough]];
    default:
        list.text(size.width - 130, size.height - 30, ws::viewLabel);
    }
}

bool viewSkipsErase(const Session& session) { return session.displayMode == DisplayMode::map; }

std::string mapPageSvg(const Colouring& colouring, ViewSize size, EngineMarks marks)
{
    DrawList list;
    paintMapPage(list, colouring, size, marks);
    return svgOf(list);
}

std::string mapPageSvg(const Map& map, ViewSize size)
{
    DrawList list;
    paintMapPage(list, map, size);
    return svgOf(list);
}

}  // namespace orvane
