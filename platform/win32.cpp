// Win32 back end of the platform layer: the program's own window and system calls.
#include "platform/platform.h"
#include "platform/win32.h"
#include <windows.h>
#include <mmsystem.h>
#include <cstdio>
#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace orvane {

namespace {
HWND mainWindow = nullptr;
HWND mapView = nullptr;

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
HWND control(int id) { return GetDlgItem(mainWindow, id); }
}  // namespace

void attachWindows(HWND main, HWND view)
{
    mainWindow = main;
    mapView = view;
}

uint32_t clockMillis() { return timeGetTime(); }

int readControlText(int id, char16_t* buffer, int capacity)
{
    if (capacity <= 0) return 0;
    buffer[0] = 0;
    const int n = static_cast<int>(GetDlgItemTextW(mainWindow, id, reinterpret_cast<wchar_t*>(buffer), capacity));
    buffer[n < capacity ? n : capacity - 1] = 0;
    return n;
}

void writeControlText(int id, const char16_t* text) { SetDlgItemTextW(mainWindow, id, wide(text)); }
void enableControl(int id, bool enabled) { EnableWindow(control(id), enabled ? TRUE : FALSE); }
bool controlEnabled(int id) { return IsWindowEnabled(control(id)) != FALSE; }
void showControl(int id, bool shown) { ShowWindow(control(id), shown ? SW_SHOWNORMAL : SW_HIDE); }
void focusMainWindow() { SetFocus(mainWindow); }

WindowPlacement readWindowPlacement()
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(mainWindow, &wp);
    return {static_cast<int32_t>(sizeof wp), static_cast<int32_t>(wp.flags), static_cast<int32_t>(wp.showCmd),
            wp.ptMinPosition.x, wp.ptMinPosition.y, wp.ptMaxPosition.x, wp.ptMaxPosition.y,
            wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
            wp.rcNormalPosition.bottom};
}

int focusedControl()
{
    HWND focus = GetFocus();
    return focus && GetParent(focus) == mainWindow ? GetDlgCtrlID(focus) : 0;
}

bool shiftDown() { return GetKeyState(VK_SHIFT) < 0; }
void focusControl(int id) { SetFocus(control(id)); }
void selectWholeText(int id) { SendMessageW(control(id), EM_SETSEL, 0, -1); }
void sendCommand(int id) { SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void invalidateView(bool erase) { InvalidateRect(mapView, nullptr, erase ? TRUE : FALSE); }
void invalidateViewRect(int left, int top, int right, int bottom, bool erase)
{
    const RECT r{left, top, right, bottom};
    InvalidateRect(mapView, &r, erase ? TRUE : FALSE);
}
// The map view is a child window: repainting the main window at once includes it,
// since a long command keeps the message loop from painting it later.
void updateMainWindow() { RedrawWindow(mainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
void updateView() { UpdateWindow(mapView); }
void updateControl(int id) { UpdateWindow(control(id)); }

std::u16string executablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return std::u16string(path.begin(), path.begin() + n);
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

LocalTime localTime()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace orvane
