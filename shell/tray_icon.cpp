#include "tray_icon.h"

#include "corvane_version.h"
#include "power_status.h"
#include "resource.h"

#include <cstring>

NOTIFYICONDATAA g_trayRecord;

namespace {

// The first layout, which every version of the shell accepts: the fields up
// to a 64-character tip. A 64-bit program's handles are 8 bytes and aligned,
// so its record is 104 bytes; the shipped 32-bit program's is 88.
DWORD const TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
static_assert(sizeof(void*) != 4 || TRAY_RECORD_SIZE == 88, "a 32-bit program's first tray record layout");

char const TRAY_TIP[] = CORVANE_NAME_AND_VERSION;

HICON g_levelFull;
HICON g_levelMedium;
HICON g_levelLow;
HICON g_levelEmpty;
HICON g_levelExternal;

UINT g_taskbarCreatedMessage;

}  // namespace

void LoadLevelIcons(HINSTANCE instance) {
    g_levelFull     = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LEVEL_FULL));
    g_levelMedium   = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LEVEL_MEDIUM));
    g_levelLow      = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LEVEL_LOW));
    g_levelEmpty    = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    g_levelExternal = LoadIconA(instance, MAKEINTRESOURCEA(IDI_EXTERNAL));
}

HICON IconForLevel(TrayLevel level) {
    switch (level) {
    case TrayLevel::External: return g_levelExternal;
    case TrayLevel::Empty:    return g_levelEmpty;
    case TrayLevel::Low:      return g_levelLow;
    case TrayLevel::Medium:   return g_levelMedium;
    case TrayLevel::Full:     return g_levelFull;
    }
    return g_levelEmpty;
}

// The icon belongs to the window this instance created, never to another
// instance's window of the same class and title.
void AddTrayIcon(HWND window) {
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    g_trayRecord                  = {};
    g_trayRecord.cbSize           = TRAY_RECORD_SIZE;
    g_trayRecord.hWnd             = window;
    g_trayRecord.uID              = TRAY_ICON_ID;
    g_trayRecord.uFlags           = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayRecord.uCallbackMessage = WM_TRAY_CALLBACK;
    g_trayRecord.hIcon            = g_levelEmpty;
    std::memcpy(g_trayRecord.szTip, TRAY_TIP, sizeof TRAY_TIP);
    Shell_NotifyIconA(NIM_ADD, &g_trayRecord);
}

void RestoreTrayIcon() {
    if (g_trayRecord.hWnd) Shell_NotifyIconA(NIM_ADD, &g_trayRecord);
}

void UpdateTrayIcon() {
    // Nothing to update once the icon was removed at exit.
    if (!g_trayRecord.hWnd) return;
    PowerSample sample;
    // The tick's own reading succeeded a moment ago; if this one fails, the
    // icon keeps the level it shows.
    if (!ReadPowerStatus(&sample)) return;
    g_trayRecord.hIcon = IconForLevel(TrayLevelFor(TrayCalibratedPercent(sample)));
    // A modify fails when the notification area has no such icon: the add at
    // start failed, as it can while Explorer is still busy with the logon,
    // and no TaskbarCreated will come to make up for it. Adding it now brings
    // it back; while the icon exists, this costs nothing.
    if (!Shell_NotifyIconA(NIM_MODIFY, &g_trayRecord)) Shell_NotifyIconA(NIM_ADD, &g_trayRecord);
}

void RemoveTrayIcon() {
    Shell_NotifyIconA(NIM_DELETE, &g_trayRecord);
    g_trayRecord.hWnd = nullptr;
}

bool IsTaskbarCreatedMessage(UINT message) {
    return g_taskbarCreatedMessage != 0 && message == g_taskbarCreatedMessage;
}

void OnTrayCallback(HWND window, LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) {
        if (IsWindowVisible(window)) {
            ShowWindow(window, SW_HIDE);
        } else {
            ShowWindow(window, SW_SHOW);
            SetForegroundWindow(window);
        }
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        POINT cursor = {};
        GetCursorPos(&cursor);
        ShowTrayMenu(window, cursor.x, cursor.y);
    }
}

void ShowTrayMenu(HWND window, int x, int y) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    InsertMenuA(menu, UINT(-1), MF_BYPOSITION | MF_STRING, IDM_TRAY_ABOUT, "About");
    InsertMenuA(menu, UINT(-1), MF_BYPOSITION | MF_STRING, IDM_TRAY_EXIT, "Exit");
    // The window must be in the foreground, or the menu does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, x, y, 0, window, nullptr);
    // A benign message forces the task switch that lets the menu open again next time.
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
