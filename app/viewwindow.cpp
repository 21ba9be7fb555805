// The map view "CN_disp": paints the page the view records, on the screen or
// through the off-screen bitmap, and plays drawing calls with GDI.
#include "app/app.h"
#include "ui/strings.h"
#include "ui/view.h"

namespace orvane {

namespace {
const wchar_t* textAt(const DrawList& list, const DrawCall& c)
{
    return reinterpret_cast<const wchar_t*>(list.texts.data() + c.textStart);
}

void paintOffscreen(HDC dc, App& a)
{
    const DrawList& list = a.viewList;
    if (list.width <= 0 || list.height <= 0) return;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, list.width, list.height);
    HGDIOBJ kept = SelectObject(a.offscreenDC, bitmap);
    playDrawList(a.offscreenDC, list, a);
    BitBlt(dc, 0, 0, list.width, list.height, a.offscreenDC, 0, 0, SRCCOPY);
    SelectObject(a.offscreenDC, kept);
    DeleteObject(bitmap);
}

void onPaint(HWND window)
{
    App& a = app();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SelectObject(dc, a.uiFont);
    paintView(a.viewList, a.session);
    if (a.viewList.offscreen) paintOffscreen(dc, a);
    else playDrawList(dc, a.viewList, a);
    EndPaint(window, &ps);
}
}  // namespace

void playDrawList(HDC dc, const DrawList& list, const App& a)
{
    // A page selects the same pen and brush again for every node; selecting
    // only what changes saves a third of the calls without changing the picture.
    int pen = -1, brush = -1;
    for (const DrawCall& c : list.calls) {
        switch (c.op) {
        case DrawOp::selectPen:
            if (c.a != pen) SelectObject(dc, a.penHandles[c.a]);
            pen = c.a;
            break;
        case DrawOp::selectBrush:
            if (c.a != brush) SelectObject(dc, a.brushHandles[c.a]);
            brush = c.a;
            break;
        case DrawOp::moveTo: MoveToEx(dc, c.a, c.b, nullptr); break;
        case DrawOp::lineTo: LineTo(dc, c.a, c.b); break;
        case DrawOp::ellipse: Ellipse(dc, c.a, c.b, c.c, c.d); break;
        case DrawOp::fillRect: {
            const RECT r{c.a, c.b, c.c, c.d};
            FillRect(dc, &r, static_cast<HBRUSH>(a.brushHandles[c.e]));
            break;
        }
        case DrawOp::textOut: TextOutW(dc, c.a, c.b, textAt(list, c), static_cast<int>(c.textLength)); break;
        case DrawOp::textRight: {
            RECT r{c.a, c.b, c.c, c.d};
            DrawTextW(dc, textAt(list, c), static_cast<int>(c.textLength), &r, DT_SINGLELINE | DT_RIGHT | DT_NOCLIP | DT_NOPREFIX);
            break;
        }
        }
    }
}

void registerViewClass(HINSTANCE instance)
{
    WNDCLASSW c{};
    c.lpfnWndProc = viewWindowProc;
    c.hInstance = instance;
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    c.lpszClassName = wide(windowstrings::viewClass);
    RegisterClassW(&c);
}

LRESULT CALLBACK viewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: onPaint(window); return 0;
    case WM_ERASEBKGND:
        if (viewSkipsErase(app().session)) return 1;
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orvane
