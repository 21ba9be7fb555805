// The main window "CN_Orvane": its thirteen controls and one handler per message.
#include "app/app.h"
#include "platform/win32.h"
#include "ui/keys.h"
#include "ui/strings.h"
#include "ui/view.h"

namespace orvane {

namespace {
constexpr int controlColumn = 120;
constexpr int minimumWidth = 400, minimumHeight = 500;
constexpr DWORD centredOrDefault = 0x0001;  // centred text, or default push button

// Class, position and size of the controls 1000..1012, in id order; their
// captions are in the window's text table.
struct ControlRow { const wchar_t* className; int x, y, width, height; };
constexpr ControlRow controlRows[13] = {
    {L"STATIC", 8, 8, 104, 16}, {L"BUTTON", 8, 28, 104, 24},   {L"EDIT", 8, 55, 104, 16},
    {L"BUTTON", 8, 75, 104, 24}, {L"EDIT", 8, 123, 104, 16},   {L"BUTTON", 8, 143, 104, 24},
    {L"STATIC", 8, 183, 104, 16}, {L"BUTTON", 8, 203, 104, 24}, {L"BUTTON", 8, 231, 104, 24},
    {L"BUTTON", 8, 259, 104, 24}, {L"BUTTON", 8, 287, 104, 24}, {L"EDIT", 8, 335, 104, 16},
    {L"BUTTON", 8, 355, 104, 24},
};

struct FieldRow { int id; int limit; const char16_t* text; };

void createControls(App& a, HWND window)
{
    for (int k = 0; k < 13; ++k) {
        const ControlRow& c = controlRows[k];
        CreateWindowExW(0, c.className, wide(windowstrings::controlCaptions[k]), WS_CHILD | WS_VISIBLE | centredOrDefault,
                        c.x, c.y, c.width, c.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(idSeedLabel + k)),
                        a.appInstance, nullptr);
    }
    for (int id = idSeedLabel; id <= idBatch; ++id)
        SendDlgItemMessageW(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(a.uiFont), FALSE);
    const FieldTexts& t = a.session.fields;
    const FieldRow fields[] = {{idSeedField, 8, t.seedText}, {idNodeField, 5, t.nodeCountText}, {idMapCountField, 7, t.mapCountText}};
    for (const FieldRow& f : fields) SendDlgItemMessageW(window, f.id, EM_LIMITTEXT, f.limit, 0);
    for (const FieldRow& f : fields) SetDlgItemTextW(window, f.id, wide(f.text));
}

void onCreate(HWND window)
{
    App& a = app();
    a.mainWindow = window;
    attachWindows(window, nullptr);
    createControls(a, window);
    registerViewClass(a.appInstance);
    a.mapView = CreateWindowExW(0, wide(windowstrings::viewClass), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                0, 0, 0, window, nullptr, a.appInstance, nullptr);
    attachWindows(window, a.mapView);
}

void onSize(LPARAM size)
{
    App& a = app();
    a.session.viewWidth = static_cast<int32_t>(LOWORD(size)) - controlColumn;
    a.session.viewHeight = static_cast<int32_t>(HIWORD(size));
    MoveWindow(a.mapView, controlColumn, 0, a.session.viewWidth, a.session.viewHeight, TRUE);
    InvalidateRect(a.mapView, nullptr, TRUE);
}

void onMinMaxInfo(LPARAM info)
{
    MINMAXINFO* m = reinterpret_cast<MINMAXINFO*>(info);
    m->ptMinTrackSize.x = minimumWidth;
    m->ptMinTrackSize.y = minimumHeight;
}

// The status text sits on the window's own grey.
LRESULT onStatusColour(WPARAM dc)
{
    SetBkMode(reinterpret_cast<HDC>(dc), TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
}

void onDestroy()
{
    App& a = app();
    saveSettings(a.settings, a.session.fields);
    PostQuitMessage(0);
}
}  // namespace

void createDrawingObjects(App& a)
{
    for (int i = 0; i < createdPens; ++i) {
        const uint32_t c = penStyles[i].colour;
        a.penHandles[i] = CreatePen(PS_SOLID, penStyles[i].width, RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
    }
    a.penHandles[blackPen] = GetStockObject(BLACK_PEN);
    for (int i = 0; i < createdBrushes; ++i) {
        const uint32_t c = brushColours[i];
        a.brushHandles[i] = CreateSolidBrush(RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
    }
    a.brushHandles[whiteBrush] = GetStockObject(WHITE_BRUSH);
    a.brushHandles[nullBrush] = GetStockObject(NULL_BRUSH);
    a.uiFont = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(windowstrings::uiFontName));
}

void registerMainWindowClass(HINSTANCE instance)
{
    WNDCLASSW c{};
    c.lpfnWndProc = mainWindowProc;
    c.hInstance = instance;
    c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    c.lpszClassName = wide(windowstrings::mainClass);
    RegisterClassW(&c);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: onCreate(window); break;
    case WM_SIZE: onSize(lParam); break;
    case WM_GETMINMAXINFO: onMinMaxInfo(lParam); break;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == idStatus) return onStatusColour(wParam);
        break;
    case WM_COMMAND: runCommand(app().session, LOWORD(wParam)); break;
    case WM_DESTROY: onDestroy(); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orvane
