// The map view: what the view window shows, as a list of drawing calls.
#pragma once
#include <cstdint>
#include "ui/draw.h"

struct MapNode;

// The view's size in pixels, from the main window's last size message.
extern int32_t viewWidth;
extern int32_t viewHeight;

// The fixed label at the bottom right of the blank and batch pages.
inline constexpr int viewLabelLength = 14;
extern const char16_t viewLabel[viewLabelLength + 1];

struct ViewPoint { int32_t x, y; };
// Where a map coordinate pair is drawn: 0 maps to 24, 32767 to the size minus 24.
ViewPoint viewPoint(int32_t x, int32_t y);

// Records the page that `displayMode` selects into `list` (cleared first).
void paintView(DrawList& list);
// The map page covers the whole view, so erasing is skipped while it shows.
bool viewSkipsErase();
