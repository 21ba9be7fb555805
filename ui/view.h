// The map view: what the view window shows, as a list of drawing calls.
#pragma once
#include <cstdint>
#include <string>
#include "engine/colouring.h"
#include "map/map.h"
#include "ui/draw.h"

namespace orvane {

class Session;

struct ViewRect {
    int left, top, right, bottom;
};
// Where the view draws the two batch counters.
inline constexpr ViewRect counterRect[2] = {{80, 70, 140, 85}, {80, 90, 140, 105}};

struct ViewSize {
    int32_t width, height;
};
struct ViewPoint {
    int32_t x, y;
};
// Where a map coordinate pair is drawn: 0 maps to 24, 32767 to the size minus 24.
ViewPoint viewPoint(ViewSize size, int32_t x, int32_t y);
// The map point drawn at (x, y) of the view (a click), clamped to 0..32767.
Point mapPointAt(ViewSize size, int32_t x, int32_t y);

// Records the page that the session's display mode selects into `list` (cleared first).
void paintView(DrawList& list, const Session& session);
// Whether a map page of a colouring shows the engine's ring, arc, path, pivot
// and cursor, or only the map as the colouring leaves it.
enum class EngineMarks : bool { hidden, shown };
// The map page alone: the map as the colouring leaves it, with the engine's
// marks; or the map as built, uncoloured.
void paintMapPage(DrawList& list, const Colouring& colouring, ViewSize size, EngineMarks marks = EngineMarks::shown);
void paintMapPage(DrawList& list, const Map& map, ViewSize size);
// The map page covers the whole view, so erasing is skipped while it shows.
bool viewSkipsErase(const Session& session);

// The map page as an SVG picture of the given size.
std::string mapPageSvg(const Colouring& colouring, ViewSize size, EngineMarks marks = EngineMarks::shown);
std::string mapPageSvg(const Map& map, ViewSize size);

}  // namespace orvane
