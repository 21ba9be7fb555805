// SVG back end of the drawing layer: the page as a picture of the view's size.
// Runs of lines drawn with one pen become one path element.
#include "ui/draw.h"
#include <cstdio>
#include "text/utf.h"

namespace orvane {

namespace {
struct SvgWriter {
    std::string out;
    PenId pen = blackPen;
    BrushId brush = whiteBrush;
    std::string path;     // open run of lines with `pen`
    int x = 0, y = 0;     // current position
    bool pathMoved = false;

    void append(const char* format, int a = 0, int b = 0, int c = 0, int d = 0)
    {
        char buf[160];
        std::snprintf(buf, sizeof buf, format, a, b, c, d);
        out += buf;
    }

    static std::string colour(uint32_t rgb)
    {
        char buf[8];
        std::snprintf(buf, sizeof buf, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
        return buf;
    }

    std::string stroke() const
    {
        return "stroke=\"" + colour(penStyles[pen].colour) + "\" stroke-width=\"" + std::to_string(penStyles[pen].width) + "\"";
    }

    std::string fill() const { return brush == nullBrush ? "fill=\"none\"" : "fill=\"" + colour(brushColours[brush]) + "\""; }

    void flushPath()
    {
        if (path.empty()) return;
        out += "<path " + stroke() + " fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"" + path + "\"/>\n";
        path.clear();
    }

    void lineTo(int nx, int ny)
    {
        char buf[48];
        if (path.empty() || pathMoved) {
            std::snprintf(buf, sizeof buf, "%sM%d %d", path.empty() ? "" : " ", x, y);
            path += buf;
            pathMoved = false;
        }
        std::snprintf(buf, sizeof buf, "L%d %d", nx, ny);
        path += buf;
        x = nx;
        y = ny;
    }

    void ellipse(const DrawCall& c)
    {
        flushPath();
        const int twiceX = c.a + c.c, twiceY = c.b + c.d;
        char buf[160];
        std::snprintf(buf, sizeof buf, "<ellipse cx=\"%g\" cy=\"%g\" rx=\"%g\" ry=\"%g\" ", twiceX / 2.0, twiceY / 2.0,
                      (c.c - c.a) / 2.0, (c.d - c.b) / 2.0);
        out += buf + fill() + " " + stroke() + "/>\n";
    }

    void text(const DrawCall& c, const std::u16string& s, bool right)
    {
        flushPath();
        append(right ? "<text x=\"%d\" y=\"%d\" text-anchor=\"end\"" : "<text x=\"%d\" y=\"%d\"", right ? c.c : c.a, c.b);
        out += " dominant-baseline=\"text-before-edge\">" + escaped(s) + "</text>\n";
    }

    static std::string escaped(const std::u16string& s);
    void play(const DrawList& list);
};

// UTF-8 with the markup characters escaped and control characters blanked.
std::string SvgWriter::escaped(const std::u16string& s)
{
    std::string r;
    for (char c : utf16ToUtf8(s)) {
        if (c == '&') r += "&amp;";
        else if (c == '<') r += "&lt;";
        else if (c == '>') r += "&gt;";
        else if (static_cast<unsigned char>(c) < 0x20) r += ' ';
        else r += c;
    }
    return r;
}

void SvgWriter::play(const DrawList& list)
{
    append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\"",
           list.width, list.height, list.width, list.height);
    out += " font-family=\"Meiryo UI, IPAGothic, sans-serif\" font-size=\"12\">\n";
    // The background the view's class brush erases to.
    append("<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", list.width, list.height);
    for (const DrawCall& c : list.calls) {
        switch (c.op) {
        case DrawOp::selectPen:
            if (c.a != pen) flushPath();
            pen = static_cast<PenId>(c.a);
            break;
        case DrawOp::selectBrush: brush = static_cast<BrushId>(c.a); break;
        case DrawOp::moveTo:
            x = c.a;
            y = c.b;
            pathMoved = true;
            break;
        case DrawOp::lineTo: lineTo(c.a, c.b); break;
        case DrawOp::ellipse: ellipse(c); break;
        case DrawOp::fillRect:
            flushPath();
            append("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" ", c.a, c.b, c.c - c.a, c.d - c.b);
            out += "fill=\"" + colour(brushColours[c.e]) + "\"/>\n";
            break;
        case DrawOp::textOut: text(c, list.textOf(c), false); break;
        case DrawOp::textRight: text(c, list.textOf(c), true); break;
        }
    }
    flushPath();
    out += "</svg>\n";
}
}  // namespace

std::string svgOf(const DrawList& list)
{
    SvgWriter w;
    w.play(list);
    return w.out;
}

}  // namespace orvane
