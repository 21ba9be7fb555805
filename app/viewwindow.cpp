// The map view "CN_disp": paints the page the view records, on the screen or
// through the off-screen bitmap, and plays drawing calls with GDI.
#include "app/app.h"
#include "ui/view.h"

namespace {
DrawList viewList;  // reused by every paint

const wchar_t* textAt(const DrawList& list, const DrawCall& c)
{
    return reinterpret_cast<const wchar_t*>(list.texts.data() + c.textStart);
}

void paintOffscreen(HDC dc)
{
    if (viewList.width <= 0 || viewList.height <= 0) return;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, viewList.width, viewList.height);
    HGDIOBJ kept = SelectObject(offscreenDC, bitmap);
    playDrawList(offscreenDC, viewList);
    BitBlt(dc, 0, 0, viewList.width, viewList.height, offscreenDC, 0, 0, SRCCOPY);
    SelectObject(offscreenDC, kept);
    DeleteObject(bitmap);
}

void onPaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SelectObject(dc, uiFont);
    paintView(viewList);
    if (viewList.offscreen) paintOffscreen(dc);
    else playDrawList(dc, viewList);
    EndPaint(window, &ps);
}
}  // namespace

void playDrawList(HDC dc, const DrawList& list)
{
    // A page selects the same pen and brush again for every node; selecting
    // only what changes saves a third of the calls without changing the picture.
    int pen = -1, brush = -1;
    for (const DrawCall& c : list.calls) {
        switch (c.op) {
        case DrawOp::selectPen:
            if (c.a != pen) SelectObject(dc, penHandles[c.a]);
            pen = c.a;
            break;
        case DrawOp::selectBrush:
            if (c.a != brush) SelectObject(dc, brushHandles[c.a]);
            brush = c.a;
            break;
        case DrawOp::moveTo: MoveToEx(dc, c.a, c.b, nullptr); break;
        case DrawOp::lineTo: LineTo(dc, c.a, c.b); break;
        case DrawOp::ellipse: Ellipse(dc, c.a, c.b, c.c, c.d); break;
        case DrawOp::fillRect: {
            const RECT r{c.a, c.b, c.c, c.d};
            FillRect(dc, &r, static_cast<HBRUSH>(brushHandles[c.e]));
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

void registerViewClass()
{
    WNDCLASSW c{};
    c.lpfnWndProc = viewWindowProc;
    c.hInstance = appInstance;
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    c.lpszClassName = L"CN_disp";
    RegisterClassW(&c);
}

LRESULT CALLBACK viewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: onPaint(window); return 0;
    case WM_ERASEBKGND:
        if (viewSkipsErase()) return 1;
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
