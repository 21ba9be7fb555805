// The program's window handles, drawing objects and window procedures.
#pragma once
#include <windows.h>
#include "ui/draw.h"

extern HINSTANCE appInstance;
extern HWND mainWindow;
extern HWND mapView;
extern HFONT uiFont;
extern HDC offscreenDC;
// Pens and brushes by the drawing layer's ids (stock objects included).
extern HGDIOBJ penHandles[penCount];
extern HGDIOBJ brushHandles[brushCount];

void createDrawingObjects();
void registerMainWindowClass();
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void registerViewClass();
LRESULT CALLBACK viewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Plays a page's drawing calls on a device context.
void playDrawList(HDC dc, const DrawList& list);
