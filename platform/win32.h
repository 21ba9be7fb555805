// The Win32 back end's own part: the program hands it the windows whose
// controls and view the portable logic reaches through platform.h.
#pragma once
#include <windows.h>

namespace orvane {

void attachWindows(HWND mainWindow, HWND mapView);

}  // namespace orvane
