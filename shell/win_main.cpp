// Start-up: the state, the icons and strings, the window, the tray icon, and
// the message loop until Exit.
#include "calibration_state.h"
#include "main_window.h"
#include "resource.h"
#include "status_accessibility.h"
#include "system_library.h"
#include "tray_icon.h"

#include <windows.h>

namespace {

char const STARTUP_CAPTION[] = "Windows Desktop Guided Tour";

int RunMessageLoop() {
    MSG message;
    BOOL result;
    while ((result = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            // The queue is unusable; end cleanly instead of spinning on the error.
            if (g_statusWindow) DestroyWindow(g_statusWindow);
            return 1;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL by name.
    RestrictDllSearchToSystem32();
    LoadState();
    LoadLevelIcons(instance);
    LoadStringA(instance, IDS_TITLE, g_windowTitle, sizeof g_windowTitle);
    LoadStringA(instance, IDS_CLASS, g_className, sizeof g_className);

    if (!RegisterMainWindowClass(instance)) {
        MessageBoxA(nullptr, "Call to RegisterClassEx failed!", STARTUP_CAPTION, MB_OK);
        return 1;
    }
    // Hidden, whatever show state the program was started with.
    if (!InitInstance(instance, SW_HIDE)) {
        MessageBoxA(nullptr, "Call to InitInstance failed!", STARTUP_CAPTION, MB_OK);
        return 1;
    }
    AddTrayIcon(g_statusWindow);
    int const exitCode = RunMessageLoop();
    LeaveAccessibilityApartment();
    return exitCode;
}
