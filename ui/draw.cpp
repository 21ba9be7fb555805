// The list of drawing calls that a page is recorded into.
#include "ui/draw.h"

namespace orvane {

namespace {
uint32_t lengthOf(const char16_t* s)
{
    uint32_t n = 0;
    while (s[n]) ++n;
    return n;
}
}  // namespace

void DrawList::clear(int w, int h)
{
    calls.clear();
    texts.clear();
    offscreen = false;
    width = w;
    height = h;
}

void DrawList::text(int x, int y, const char16_t* s)
{
    const uint32_t start = static_cast<uint32_t>(texts.size()), length = lengthOf(s);
    texts.append(s, length);
    calls.push_back({DrawOp::textOut, x, y, 0, 0, 0, start, length});
}

void DrawList::textRight(int l, int t, int r, int b, const char16_t* s)
{
    const uint32_t start = static_cast<uint32_t>(texts.size()), length = lengthOf(s);
    texts.append(s, length);
    calls.push_back({DrawOp::textRight, l, t, r, b, 0, start, length});
}

}  // namespace orvane
