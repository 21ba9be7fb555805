// The main window "CN_Orvane": its thirteen controls and one handler per message.
#include "app/app.h"
#include "platform/platform.h"
#include "ui/keys.h"
#include "ui/settings.h"
#include "ui/ui.h"
#include "ui/view.h"

HWND mainWindow = nullptr;
HWND mapView = nullptr;
HFONT uiFont = nullptr;
HGDIOBJ penHandles[penCount];
HGDIOBJ brushHandles[brushCount];

namespace {
constexpr int controlColumn = 120;
constexpr int minimumWidth = 400, minimumHeight = 500;
constexpr DWORD centredOrDefault = 0x0001;  // centred text, or default push button

struct ControlRow { int id; const wchar_t* className; const wchar_t* caption; int x, y, width, height; };
const ControlRow controlRows[] = {
    {idSeedLabel, L"STATIC", L"", 8, 8, 104, 16},
    {idFix, L"BUTTON", L"↓FIX\u3000", 8, 28, 104, 24},
    {idSeedField, L"EDIT", L"", 8, 55, 104, 16},
    {idAuto, L"BUTTON", L"↑AUTO\u3000", 8, 75, 104, 24},
    {idNodeField, L"EDIT", L"", 8, 123, 104, 16},
    {idMapRequest, L"BUTTON", L"地図生成", 8, 143, 104, 24},
    {idStatus, L"STATIC", L"", 8, 183, 104, 16},
    {idStep, L"BUTTON", L"着色（逐次）", 8, 203, 104, 24},
    {idFull, L"BUTTON", L"着色（一括）", 8, 231, 104, 24},
    {idClear, L"BUTTON", L"着色クリア", 8, 259, 104, 24},
    {idExport, L"BUTTON", L"EXPORT", 8, 287, 104, 24},
    {idMapCountField, L"EDIT", L"", 8, 335, 104, 16},
    {idBatch, L"BUTTON", L"バッチ実行", 8, 355, 104, 24},
};

struct FieldRow { int id; int limit; const char16_t* text; };

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

void createControls(HWND window)
{
    for (const ControlRow& c : controlRows)
        CreateWindowExW(0, c.className, c.caption, WS_CHILD | WS_VISIBLE | centredOrDefault, c.x, c.y, c.width,
                        c.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), appInstance, nullptr);
    for (int id = idSeedLabel; id <= idBatch; ++id)
        SendDlgItemMessageW(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont), FALSE);
    const FieldRow fields[] = {{idSeedField, 8, seedText}, {idNodeField, 5, nodeCountText}, {idMapCountField, 7, mapCountText}};
    for (const FieldRow& f : fields) SendDlgItemMessageW(window, f.id, EM_LIMITTEXT, f.limit, 0);
    for (const FieldRow& f : fields) SetDlgItemTextW(window, f.id, wide(f.text));
}

void onCreate(HWND window)
{
    mainWindow = window;
    createControls(window);
    registerViewClass();
    mapView = CreateWindowExW(0, L"CN_disp", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, window,
                              nullptr, appInstance, nullptr);
}

void onSize(LPARAM size)
{
    viewWidth = static_cast<int32_t>(LOWORD(size)) - controlColumn;
    viewHeight = static_cast<int32_t>(HIWORD(size));
    MoveWindow(mapView, controlColumn, 0, viewWidth, viewHeight, TRUE);
    InvalidateRect(mapView, nullptr, TRUE);
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
    saveSettings();
    PostQuitMessage(0);
}
}  // namespace

void createDrawingObjects()
{
    for (int i = 0; i < createdPens; ++i) {
        const uint32_t c = penStyles[i].colour;
        penHandles[i] = CreatePen(PS_SOLID, penStyles[i].width, RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
    }
    penHandles[blackPen] = GetStockObject(BLACK_PEN);
    for (int i = 0; i < createdBrushes; ++i) {
        const uint32_t c = brushColours[i];
        brushHandles[i] = CreateSolidBrush(RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
    }
    brushHandles[whiteBrush] = GetStockObject(WHITE_BRUSH);
    brushHandles[nullBrush] = GetStockObject(NULL_BRUSH);
    uiFont = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Meiryo UI");
}

void registerMainWindowClass()
{
    WNDCLASSW c{};
    c.lpfnWndProc = mainWindowProc;
    c.hInstance = appInstance;
    c.hIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(1));
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    c.lpszClassName = L"CN_Orvane";
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
    case WM_COMMAND: runCommand(LOWORD(wParam)); break;
    case WM_DESTROY: onDestroy(); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
