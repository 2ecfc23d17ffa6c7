// The baselines Corvane is measured against, built with the same flags: a
// hidden window with a message loop and a five-second timer doing nothing
// else; and, built with BARE_TRAY_ICON, the same window with a tray icon,
// added once and sent again on every tick, as a tray program that does not
// track what the shell shows must.
#include <windows.h>
#include <shellapi.h>

namespace {

#ifdef BARE_TRAY_ICON
NOTIFYICONDATAA g_trayRecord = {NOTIFYICONDATAA_V1_SIZE};

void SendTrayIcon(HWND window, DWORD message) {
    g_trayRecord.hWnd             = window;
    g_trayRecord.uID              = 1;
    g_trayRecord.uFlags           = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayRecord.uCallbackMessage = WM_USER + 1;
    g_trayRecord.hIcon            = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(g_trayRecord.szTip, "Bare tray", sizeof g_trayRecord.szTip);
    Shell_NotifyIconA(message, &g_trayRecord);
}
#else
void SendTrayIcon(HWND, DWORD) {}
#endif

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:   SendTrayIcon(window, NIM_MODIFY); return 0;
    case WM_DESTROY: SendTrayIcon(window, NIM_DELETE); PostQuitMessage(0); return 0;
    default:         return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA windowClass = {sizeof(windowClass)};
    windowClass.lpfnWndProc   = BareWindowProc;
    windowClass.hInstance     = instance;
    windowClass.lpszClassName = "BARE_WINDOW";
    if (!RegisterClassExA(&windowClass)) return 1;
    HWND window = CreateWindowExA(0, "BARE_WINDOW", "Bare window", WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, 0, 250, 185, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    SetTimer(window, 2, 5000, nullptr);
    SendTrayIcon(window, NIM_ADD);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
