// The Win32 program: its one application state, window handles and drawing
// objects, and its window procedures.
#pragma once
#include <windows.h>
#include "ui/draw.h"
#include "ui/session.h"
#include "ui/settings.h"

namespace orvane {

struct App {
    HINSTANCE appInstance = nullptr;
    HWND mainWindow = nullptr;
    HWND mapView = nullptr;
    HFONT uiFont = nullptr;
    HDC offscreenDC = nullptr;
    // Pens and brushes by the drawing layer's ids (stock objects included).
    HGDIOBJ penHandles[penCount] = {};
    HGDIOBJ brushHandles[brushCount] = {};
    Session session;
    Settings settings;
    DrawList viewList;  // reused by every paint
};

// The program's one instance.
App& app();

void createDrawingObjects(App& a);
void registerMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void registerViewClass(HINSTANCE instance);
LRESULT CALLBACK viewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Plays a page's drawing calls on a device context.
void playDrawList(HDC dc, const DrawList& list, const App& a);
// UTF-16 text at the Win32 boundary.
inline const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

}  // namespace orvane
