// Entry point: start-up in its fixed order, then the message loop with the
// keyboard table.
#include "app/app.h"
#include "ui/keys.h"
#include "ui/settings.h"
#include "ui/ui.h"
#include <clocale>

HINSTANCE appInstance = nullptr;
HDC offscreenDC = nullptr;

namespace {
void applyStoredPlacement()
{
    if (!placementUsable()) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.flags = static_cast<UINT>(windowPlacement[1]);
    wp.showCmd = static_cast<UINT>(windowPlacement[2]);
    wp.ptMinPosition = {windowPlacement[3], windowPlacement[4]};
    wp.ptMaxPosition = {windowPlacement[5], windowPlacement[6]};
    wp.rcNormalPosition = {windowPlacement[7], windowPlacement[8], windowPlacement[9], windowPlacement[10]};
    SetWindowPlacement(mainWindow, &wp);
}

void createMainWindow()
{
    // Created with no size: the minimum track size makes it 400 x 500.
    CreateWindowExW(0, L"CN_Orvane", L"Orvane (V1.0)", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 8, 16, 0, 0, nullptr,
                    nullptr, appInstance, nullptr);
}

int runMessageLoop()
{
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN) handleKeyDown(static_cast<int>(msg.wParam));
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    appInstance = instance;
    DisableProcessWindowsGhosting();
    std::setlocale(LC_ALL, "");
    offscreenDC = CreateCompatibleDC(nullptr);
    buildSettingsPath();
    loadSettings();
    createDrawingObjects();
    registerMainWindowClass();
    createMainWindow();
    applyStoredPlacement();
    ShowWindow(mainWindow, SW_SHOW);
    setCommandState(0);
    return runMessageLoop();
}
