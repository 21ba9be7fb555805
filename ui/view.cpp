// The map view's pages: blank, map, running batch and finished batch.
#include "ui/view.h"
#include "engine/engine.h"
#include "map/map.h"
#include "runs/runs.h"
#include "ui/ui.h"

int32_t viewWidth = 0;
int32_t viewHeight = 0;
const char16_t viewLabel[viewLabelLength + 1] = u"Orvane: 四色塗り分け";

namespace {
constexpr int viewMargin = 24;
constexpr int discRadius = 8, innerRingRadius = 11, outerRingRadius = 13;

ViewPoint pointOf(const MapNode* n) { return viewPoint(n->x, n->y); }
void moveTo(DrawList& list, const MapNode* n) { const ViewPoint p = pointOf(n); list.moveTo(p.x, p.y); }
void lineTo(DrawList& list, const MapNode* n) { const ViewPoint p = pointOf(n); list.lineTo(p.x, p.y); }
void circleAround(DrawList& list, const MapNode* n, int r) { const ViewPoint p = pointOf(n); list.circle(p.x, p.y, r); }

// A cycle through the map is never longer than the node count; the bound keeps
// a broken link from hanging the window.
int cycleBound() { return nodeStorageCount + 1; }

// Lines along `step` from `from` until `until` is reached (drawn at least once).
template <typename Step>
void drawAlong(DrawList& list, const MapNode* from, const MapNode* until, Step step)
{
    moveTo(list, from);
    const MapNode* n = from;
    for (int k = 0; k < cycleBound(); ++k) {
        n = step(n);
        if (!n) return;
        lineTo(list, n);
        if (n == until) return;
    }
}

void drawRing(DrawList& list)
{
    if (!ringEntry) return;
    list.pen(ringPen);
    drawAlong(list, ringEntry, ringEntry, [](const MapNode* n) { return n->ringNext; });
}

void drawContactArc(DrawList& list)
{
    if (!arcFirst || !arcLast) return;
    list.pen(arcPen);
    list.brush(nullBrush);
    circleAround(list, arcLast, innerRingRadius);
    drawAlong(list, arcLast, arcFirst, [](const MapNode* n) { return n->ringNext; });
}

void drawConflictPath(DrawList& list)
{
    if (!pathTail) return;
    list.pen(pathPen);
    list.brush(nullBrush);
    circleAround(list, pathTail, innerRingRadius);
    moveTo(list, pathTail);
    const MapNode* n = pathTail;
    for (int k = 0; n && k < cycleBound(); ++k, n = n->pathPrev) lineTo(list, n);
}

void drawOuterBoundary(DrawList& list)
{
    if (!outerStart) return;
    list.pen(hullPen);
    drawAlong(list, outerStart, outerStart, [](const MapNode* n) { return n->outer; });
}

BrushId discBrush(int8_t colour)
{
    return colour >= colourNone && colour <= colourBlocked ? static_cast<BrushId>(colourBrush0 + colour) : colourBrush0;
}

// Borders to nodes not yet drawn, highlight circles, then the disc on top.
void drawNode(DrawList& list, MapNode* n)
{
    const ViewPoint p = pointOf(n);
    list.pen(blackPen);
    for (const NodeLink* l = n->links; l; l = l->next) {
        if (l->node->drawn) continue;
        list.moveTo(p.x, p.y);
        lineTo(list, l->node);
    }
    if (n == pivot) {
        list.brush(nullBrush);
        list.pen(pivotPen);
        list.circle(p.x, p.y, outerRingRadius);
    }
    if (n == pathCursor) {
        list.brush(nullBrush);
        list.pen(cursorPen);
        list.circle(p.x, p.y, innerRingRadius);
        if (pathFlag) {
            list.pen(alertPen);
            list.circle(p.x, p.y, outerRingRadius);
        }
    }
    list.brush(discBrush(n->colour));
    list.pen(blackPen);
    list.circle(p.x, p.y, discRadius);
    n->drawn = 1;
}

void paintMapPage(DrawList& list)
{
    list.offscreen = true;
    list.fill(0, 0, viewWidth, viewHeight, whiteBrush);
    for (MapNode* n = nodeList; n; n = n->next) n->drawn = 0;
    drawRing(list);
    drawContactArc(list);
    drawConflictPath(list);
    drawOuterBoundary(list);
    for (MapNode* n = nodeList; n; n = n->next) drawNode(list, n);
}

void paintRunningBatch(DrawList& list)
{
    list.text(20, 20, batchHeader);
    list.text(20, 40, batchSeedRange);
    list.text(50, counterRect[0].top, u"成功 :");
    list.textRight(counterRect[0].left, counterRect[0].top, counterRect[0].right, counterRect[0].bottom, counterText[0]);
    list.text(50, counterRect[1].top, u"失敗 :");
    list.textRight(counterRect[1].left, counterRect[1].top, counterRect[1].right, counterRect[1].bottom, counterText[1]);
}

void paintFinishedBatch(DrawList& list)
{
    list.text(20, 125, batchTotalTime);
    list.text(50, 145, batchMapTime);
    list.text(50, 165, batchColourTime);
}

void paintLabel(DrawList& list) { list.text(viewWidth - 130, viewHeight - 30, viewLabel); }
}  // namespace

ViewPoint viewPoint(int32_t x, int32_t y)
{
    return {mulDiv(x, viewWidth - 2 * viewMargin, 32767) + viewMargin,
            mulDiv(y, viewHeight - 2 * viewMargin, 32767) + viewMargin};
}

void paintView(DrawList& list)
{
    list.clear(viewWidth, viewHeight);
    switch (displayMode) {
    case 0:
        paintMapPage(list);
        return;
    case 2:
        paintFinishedBatch(list);
        [[fallthrough]];
    case 1:
        paintRunningBatch(list);
        [[fallthrough]];
    default:
        paintLabel(list);
    }
}

bool viewSkipsErase() { return displayMode == 0; }
