// The map view's pages: blank, map, running batch and finished batch.
#include "ui/view.h"
#include "ui/session.h"
#include "ui/strings.h"

namespace orvane {

namespace ws = windowstrings;

namespace {
constexpr int viewMargin = 24;
constexpr int discRadius = 8, innerRingRadius = 11, outerRingRadius = 13;

// Draws one map page: the points of the nodes for the view's size and a bound
// on every walk along the map's cycles.
struct MapPainter {
    DrawList& list;
    const Map& map;
    const EngineState& engine;
    ViewSize size;

    ViewPoint pointOf(const MapNode* n) const { return viewPoint(size, n->x, n->y); }
    void moveTo(const MapNode* n) { const ViewPoint p = pointOf(n); list.moveTo(p.x, p.y); }
    void lineTo(const MapNode* n) { const ViewPoint p = pointOf(n); list.lineTo(p.x, p.y); }
    void circleAround(const MapNode* n, int r) { const ViewPoint p = pointOf(n); list.circle(p.x, p.y, r); }

    // A cycle through the map is never longer than the node count; the bound
    // keeps a broken link from hanging the window.
    int cycleBound() const { return map.nodeStorageCount() + 1; }

    // Lines along `step` from `from` until `until` is reached (drawn at least once).
    template <typename Step>
    void drawAlong(const MapNode* from, const MapNode* until, Step step)
    {
        moveTo(from);
        const MapNode* n = from;
        for (int k = 0; k < cycleBound(); ++k) {
            n = step(n);
            if (!n) return;
            lineTo(n);
            if (n == until) return;
        }
    }

    void drawRing()
    {
        if (!engine.ringEntry) return;
        list.pen(ringPen);
        drawAlong(engine.ringEntry, engine.ringEntry, [](const MapNode* n) { return n->ringNext; });
    }

    void drawContactArc()
    {
        if (!engine.arcFirst || !engine.arcLast) return;
        list.pen(arcPen);
        list.brush(nullBrush);
        circleAround(engine.arcLast, innerRingRadius);
        drawAlong(engine.arcLast, engine.arcFirst, [](const MapNode* n) { return n->ringNext; });
    }

    void drawConflictPath()
    {
        if (!engine.pathTail) return;
        list.pen(pathPen);
        list.brush(nullBrush);
        circleAround(engine.pathTail, innerRingRadius);
        moveTo(engine.pathTail);
        const MapNode* n = engine.pathTail;
        for (int k = 0; n && k < cycleBound(); ++k, n = n->pathPrev) lineTo(n);
    }

    void drawOuterBoundary()
    {
        if (!map.outerStart) return;
        list.pen(hullPen);
        drawAlong(map.outerStart, map.outerStart, [](const MapNode* n) { return n->outer; });
    }

    static BrushId discBrush(ColourCode colour)
    {
        return colour >= colourNone && colour <= colourBlocked ? static_cast<BrushId>(colourBrush0 + static_cast<int>(colour))
                                                               : colourBrush0;
    }

    // Borders to nodes not yet drawn, highlight circles, then the disc on top.
    void drawNode(MapNode* n)
    {
        const ViewPoint p = pointOf(n);
        list.pen(blackPen);
        for (const NodeLink* l = n->links; l; l = l->next) {
            if (l->node->drawn) continue;
            list.moveTo(p.x, p.y);
            lineTo(l->node);
        }
        if (n == engine.pivot) {
            list.brush(nullBrush);
            list.pen(pivotPen);
            list.circle(p.x, p.y, outerRingRadius);
        }
        if (n == engine.pathCursor) {
            list.brush(nullBrush);
            list.pen(cursorPen);
            list.circle(p.x, p.y, innerRingRadius);
            if (engine.pathFlag) {
                list.pen(alertPen);
                list.circle(p.x, p.y, outerRingRadius);
            }
        }
        list.brush(discBrush(n->colour));
        list.pen(blackPen);
        list.circle(p.x, p.y, discRadius);
        n->drawn = 1;
    }

    void paint()
    {
        list.offscreen = true;
        list.fill(0, 0, size.width, size.height, whiteBrush);
        for (MapNode* n = map.nodeList; n; n = n->next) n->drawn = 0;
        drawRing();
        drawContactArc();
        drawConflictPath();
        drawOuterBoundary();
        for (MapNode* n = map.nodeList; n; n = n->next) drawNode(n);
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

void paintMapPage(DrawList& list, const Map& map, const EngineState& engine, ViewSize size)
{
    list.clear(size.width, size.height);
    MapPainter{list, map, engine, size}.paint();
}

void paintView(DrawList& list, const Session& session)
{
    const ViewSize size{session.viewWidth, session.viewHeight};
    list.clear(size.width, size.height);
    switch (session.displayMode) {
    case DisplayMode::map:
        MapPainter{list, session.map, session.colouring.state(), size}.paint();
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

std::string mapPageSvg(const Map& map, const EngineState& engine, ViewSize size)
{
    DrawList list;
    paintMapPage(list, map, engine, size);
    return svgOf(list);
}

}  // namespace orvane
