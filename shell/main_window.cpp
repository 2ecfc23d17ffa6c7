#include "main_window.h"

#include "about_box.h"
#include "app_mode.h"
#include "format_text.h"
#include "notice_and_alert.h"
#include "power_status.h"
#include "power_tick.h"
#include "resource.h"
#include "status_accessibility.h"
#include "status_drawing.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

HINSTANCE g_instance;
char g_windowTitle[100];
char g_className[100];
HWND g_statusWindow;

namespace {

CalibrationHost const g_host = {
    ReadPowerStatus,
    UpdateTrayIcon,
    ShowCalibrationNotice,
    RaiseLowBatteryAlert,
};

void KeepFixedSize(MINMAXINFO* limits) {
    if (!limits) return;
    limits->ptMinTrackSize = {STATUS_WINDOW_WIDTH, STATUS_WINDOW_HEIGHT};
    limits->ptMaxTrackSize = {STATUS_WINDOW_WIDTH, STATUS_WINDOW_HEIGHT};
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintStatusWindow(dc, window);
    EndPaint(window, &paint);
}

void OnCommand(HWND window, WORD command) {
    if (command == IDM_TRAY_EXIT) {
        DestroyWindow(window);
    } else if (command == IDM_TRAY_ABOUT) {
        ShowAboutBox(window);
    }
}

void OnPollTimer(HWND window) {
    PowerTick(g_host, window);
    // Exit may have destroyed the window while this tick waited in a notice or
    // a warning box; then there is nothing left to repaint.
    if (window != g_statusWindow) return;
    InvalidateRect(window, nullptr, TRUE);
    AnnounceStatusChanges(window);
}

void OnSettingChange(HWND window, WPARAM wParam, LPARAM lParam) {
    if (IsAppModeChange(lParam)) FollowAppMode(window);
    // A contrast theme switched on, off or for another brings its colours now.
    else if (wParam == SPI_SETHIGHCONTRAST) InvalidateRect(window, nullptr, TRUE);
}

void OnDestroy(HWND window) {
    // First: from here on the window is closing, and nothing treats it as live.
    g_statusWindow = nullptr;
    KillTimer(window, POLL_TIMER_ID);
    RemoveTrayIcon();
    ReleaseDrawingBrushes();
    PostQuitMessage(0);
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {sizeof(windowClass)};
    windowClass.style         = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc   = MainWindowProc;
    windowClass.hInstance     = instance;
    windowClass.hIcon         = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hCursor       = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = g_className;
    windowClass.hIconSm       = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SMALL_APP), IMAGE_ICON,
                                                              GetSystemMetrics(SM_CXSMICON),
                                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return RegisterClassExA(&windowClass);
}

BOOL InitInstance(HINSTANCE instance, int showCommand) {
    g_instance = instance;
    RECT frame = {0, 0, STATUS_WINDOW_WIDTH, STATUS_WINDOW_HEIGHT};
    AdjustWindowRect(&frame, WS_CAPTION | WS_SYSMENU, FALSE);
    HWND window = CreateWindowExA(0, g_className, g_windowTitle, WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) {
        char message[64];
        FormatText(message, sizeof message, "CreateWindow failed with error %d",
                   static_cast<int>(GetLastError()));
        MessageBoxA(nullptr, message, "Error", MB_ICONERROR);
        return FALSE;
    }
    g_statusWindow = window;
    FollowAppMode(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetTimer(window, POLL_TIMER_ID, POLL_PERIOD_MS, nullptr);
    return TRUE;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CreateDrawingBrushes();
    if (IsTaskbarCreatedMessage(message)) {
        // The task bar was re-created (Explorer restarted): the icon went with it.
        RestoreTrayIcon();
        return 0;
    }
    switch (message) {
    case WM_GETMINMAXINFO: KeepFixedSize(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_DESTROY:       OnDestroy(window); return 0;
    case WM_PAINT:         OnPaint(window); return 0;
    // The paint covers the whole client area; erasing first would only flicker.
    case WM_ERASEBKGND:    return 1;
    case WM_SETTINGCHANGE: OnSettingChange(window, wParam, lParam); return 0;
    case WM_DISPLAYCHANGE: FollowTrayIconSize(); return 0;
    case WM_CLOSE:         ShowWindow(window, SW_HIDE); return 0;
    // Escape closes the window for a keyboard user, as the caption's button does.
    case WM_KEYDOWN:       if (wParam == VK_ESCAPE) HideStatusWindowOnEscape(window); return 0;
    case WM_COMMAND:       OnCommand(window, LOWORD(wParam)); return 0;
    case WM_TIMER:         if (wParam == POLL_TIMER_ID) OnPollTimer(window); return 0;
    case WM_TRAY_CALLBACK: OnTrayCallback(window, lParam); return 0;
    case WM_GETOBJECT:     return AnswerAccessibilityRequest(window, wParam, lParam);
    default:               return DefWindowProcA(window, message, wParam, lParam);
    }
}
