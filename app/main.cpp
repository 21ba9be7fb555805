// Entry point: start-up in its fixed order, then the message loop with the
// keyboard table.
#include "app/app.h"
#include <clocale>
#include "ui/keys.h"
#include "ui/strings.h"

namespace orvane {

App& app()
{
    static App instance;
    return instance;
}

namespace {
void applyStoredPlacement(App& a)
{
    const DesktopRect desktop{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (!placementFitsDesktop(a.settings, desktop)) return;
    const WindowPlacement& p = a.settings.windowPlacement;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.flags = static_cast<UINT>(p.flags);
    wp.showCmd = static_cast<UINT>(p.showCommand);
    wp.ptMinPosition = {p.minimisedX, p.minimisedY};
    wp.ptMaxPosition = {p.maximisedX, p.maximisedY};
    wp.rcNormalPosition = {p.normalLeft, p.normalTop, p.normalRight, p.normalBottom};
    SetWindowPlacement(a.mainWindow, &wp);
}

void createMainWindow(App& a)
{
    // Created with no size: the minimum track size makes it 400 x 500.
    CreateWindowExW(0, wide(windowstrings::mainClass), wide(windowstrings::caption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    8, 16, 0, 0, nullptr, nullptr, a.appInstance, nullptr);
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

}  // namespace orvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    using namespace orvane;
    App& a = app();
    a.appInstance = instance;
    DisableProcessWindowsGhosting();
    std::setlocale(LC_ALL, "");
    a.offscreenDC = CreateCompatibleDC(nullptr);
    a.settings.path = settingsPathBesideExecutable();
    loadSettings(a.settings, a.session.fields);
    a.session.batchJobs = defaultBatchJobs();
    createDrawingObjects(a);
    registerMainWindowClass(instance);
    createMainWindow(a);
    applyStoredPlacement(a);
    ShowWindow(a.mainWindow, SW_SHOW);
    a.session.setCommandState(CommandState::allOff);
    return runMessageLoop();
}
