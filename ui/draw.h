// The drawing layer: the view records its page as a list of drawing calls, which
// a back end plays on a device context (GDI) or writes as a picture (SVG).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// Pens and brushes, in the order they are created at start-up, then the
// platform's stock objects. Colours are 0xRRGGBB.
enum PenId : uint8_t {
    hullPen, ringPen, arcPen, pivotPen, pathPen, cursorPen, alertPen, blackPen, penCount
};
enum BrushId : uint8_t {
    colourBrush0, colourBrush1, colourBrush2, colourBrush3, colourBrush4, colourBrush5,
    whiteBrush, nullBrush, brushCount
};
inline constexpr int createdPens = 7, createdBrushes = 6;

struct PenStyle { int width; uint32_t colour; };
inline constexpr PenStyle penStyles[penCount] = {
    {3, 0x000000}, {7, 0xE0E0E0}, {7, 0xFFC0A0}, {3, 0x808080},
    {7, 0xFFC0FF}, {5, 0xC0C0C0}, {3, 0xFF0000}, {1, 0x000000},
};
inline constexpr uint32_t brushColours[brushCount] = {
    0xFFFFFF, 0xFF6060, 0x50F0A0, 0xFFD860, 0x60B0FF, 0xD0D0D0, 0xFFFFFF, 0,
};

enum class DrawOp : uint8_t {
    selectPen,    // a = PenId
    selectBrush,  // a = BrushId
    moveTo,       // a, b
    lineTo,       // a, b
    ellipse,      // a, b, c, d: bounding square left, top, right, bottom
    fillRect,     // a, b, c, d with the brush in e
    textOut,      // at a, b; text
    textRight,    // right-aligned in rect a, b, c, d, one line, not clipped; text
};

struct DrawCall {
    DrawOp op;
    int32_t a, b, c, d, e;
    uint32_t textStart, textLength;  // into DrawList::texts
};

// One page. `offscreen` says the page is drawn off-screen and copied in one go.
struct DrawList {
    std::vector<DrawCall> calls;
    std::u16string texts;
    bool offscreen = false;
    int width = 0, height = 0;

    void clear(int w, int h);
    void pen(PenId p) { calls.push_back({DrawOp::selectPen, p, 0, 0, 0, 0, 0, 0}); }
    void brush(BrushId b) { calls.push_back({DrawOp::selectBrush, b, 0, 0, 0, 0, 0, 0}); }
    void moveTo(int x, int y) { calls.push_back({DrawOp::moveTo, x, y, 0, 0, 0, 0, 0}); }
    void lineTo(int x, int y) { calls.push_back({DrawOp::lineTo, x, y, 0, 0, 0, 0, 0}); }
    void circle(int x, int y, int r) { calls.push_back({DrawOp::ellipse, x - r, y - r, x + r, y + r, 0, 0, 0}); }
    void fill(int l, int t, int r, int b, BrushId with) { calls.push_back({DrawOp::fillRect, l, t, r, b, with, 0, 0}); }
    void text(int x, int y, const char16_t* s);
    void textRight(int l, int t, int r, int b, const char16_t* s);
    std::u16string textOf(const DrawCall& c) const { return texts.substr(c.textStart, c.textLength); }
};

// The SVG picture of a page, as UTF-8 text.
std::string svgOf(const DrawList& list);

}  // namespace orvane
