#include "tray_icon.h"

#include "corvane_version.h"
#include "main_window.h"
#include "power_status.h"
#include "resource.h"
#include "system_library.h"

#include <algorithm>
#include <cstring>

NOTIFYICONDATAA g_trayRecord;

namespace {

// The first layout, which every version of the shell accepts: the fields up
// to a 64-character tip. A 64-bit program's handles are 8 bytes and aligned,
// so its record is 104 bytes; the shipped 32-bit program's is 88.
DWORD const TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
static_assert(sizeof(void*) != 4 || TRAY_RECORD_SIZE == 88, "a 32-bit program's first tray record layout");

char const TRAY_TIP[] = CORVANE_NAME_AND_VERSION;

// Each level's picture, in the order of TrayLevel, loaded from the module
// at the notification area's icon size.
WORD const LEVEL_ICON_IDS[] = {IDI_EXTERNAL, IDI_LEVEL_EMPTY, IDI_LEVEL_LOW, IDI_LEVEL_MEDIUM, IDI_LEVEL_FULL};
int const LEVEL_COUNT = sizeof LEVEL_ICON_IDS / sizeof LEVEL_ICON_IDS[0];
HICON g_levelIcons[LEVEL_COUNT];
int g_levelIconSize;  // the size they were loaded at

UINT g_taskbarCreatedMessage;

// What the shell holds of the icon, so that it is told only what changed.
// While it shows the icon, its picture is the record's.
struct TrayShell {
    bool showsIcon;  // it accepted the last add or modify
    bool keys;       // it agreed to the version that reports the keys
};
TrayShell g_trayShell;

typedef BOOL(WINAPI* ChangeWindowMessageFilterExFunction)(HWND window, UINT message, DWORD action,
                                                          void* status);
typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND window);

HWND TaskBar() { return FindWindowA("Shell_TrayWnd", nullptr); }

// The size the notification area draws its icons at: the small-icon size
// of the task bar's scaling, 16 px at 100 %. Windows tells this DPI-unaware
// program 16 px at every scaling, but the task bar's own window knows its
// DPI; before Windows 10 version 1607 it cannot be asked.
int TrayIconSize() {
    auto const dpiOf = AsFunction<GetDpiForWindowFunction>(FindSystemFunction("user32.dll", "GetDpiForWindow"));
    UINT const dpi = dpiOf ? dpiOf(TaskBar()) : 0;
    return dpi ? MulDiv(16, static_cast<int>(dpi), 96) : GetSystemMetrics(SM_CXSMICON);
}

// Whether the shell can take a call now. A call to a hung Explorer waits
// seconds before it fails, so a tick makes at most one such call.
bool ShellAnswers() {
    HWND const taskBar = TaskBar();
    return taskBar && !IsHungAppWindow(taskBar);
}

// With version 3 the shell reports Enter and Space on the icon as
// NIN_KEYSELECT and the menu key as WM_CONTEXTMENU; without it, it turns them
// into a right click. Version 4 would hide the hover tip unless every call
// carried NIF_SHOWTIP in a later record layout, and would report where the
// icon is in the task bar's physical pixels, which Windows does not rescale
// for this DPI-unaware program. The number needs a later record layout, for
// this one call.
bool AskForKeyboardVersion() {
    NOTIFYICONDATAA request = {NOTIFYICONDATAA_V2_SIZE};
    request.hWnd     = g_trayRecord.hWnd;
    request.uID      = g_trayRecord.uID;
    request.uVersion = NOTIFYICON_VERSION;
    return Shell_NotifyIconA(NIM_SETVERSION, &request) != FALSE;
}

// The one place that talks to the shell about the icon: from what the shell
// holds and the picture wanted, the call to make, if any. A new shell, at
// start or after TaskbarCreated, is asked at once; a tick leaves a shell
// that cannot answer to a later tick.
void ShowInTray(HICON picture, bool shellIsNew) {
    bool const shown = g_trayShell.showsIcon && !shellIsNew;
    if (shown && picture == g_trayRecord.hIcon) return;
    g_trayRecord.hIcon = picture;
    if (shown && Shell_NotifyIconA(NIM_MODIFY, &g_trayRecord)) return;
    g_trayShell.showsIcon = false;
    if (!shellIsNew && !ShellAnswers()) return;
    // A busy Explorer can fail an add that it carries out after all, and then
    // refuse it as already there: a modify brings that icon up to date.
    if (Shell_NotifyIconA(NIM_ADD, &g_trayRecord) ||
        (!shown && ShellAnswers() && Shell_NotifyIconA(NIM_MODIFY, &g_trayRecord))) {
        g_trayShell = {true, AskForKeyboardVersion()};
    }
}

// An elevated Corvane would not hear TaskbarCreated from an Explorer without
// elevation, and no tick puts a lost icon back. Windows 7 has the call.
void LetTaskbarCreatedThrough(HWND window) {
    auto change = AsFunction<ChangeWindowMessageFilterExFunction>(
        FindSystemFunction("user32.dll", "ChangeWindowMessageFilterEx"));
    if (change) change(window, g_taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
}

void LoadLevelIconsAt(HINSTANCE instance, int size) {
    g_levelIconSize = size;
    for (int i = 0; i < LEVEL_COUNT; ++i) {
        HICON const previous = g_levelIcons[i];
        g_levelIcons[i] = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(LEVEL_ICON_IDS[i]), IMAGE_ICON, size, size, 0));
        if (previous) DestroyIcon(previous);
    }
}

// The level the icon shows, loaded again at this size. Once the icon was
// added, the record always holds one of the level pictures.
void ShowLevelAtSize(int size, bool shellIsNew) {
    HICON* const shown = std::find(g_levelIcons, g_levelIcons + LEVEL_COUNT, g_trayRecord.hIcon);
    LoadLevelIconsAt(g_instance, size);
    ShowInTray(*shown, shellIsNew);
}

}  // namespace

void LoadLevelIcons(HINSTANCE instance) { LoadLevelIconsAt(instance, TrayIconSize()); }

HICON IconForLevel(TrayLevel level) {
    return g_levelIcons[static_cast<int>(level)];
}

// The icon belongs to the window this instance created, never to another
// instance's window of the same class and title.
void AddTrayIcon(HWND window) {
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    LetTaskbarCreatedThrough(window);
    g_trayRecord                  = {};
    g_trayRecord.cbSize           = TRAY_RECORD_SIZE;
    g_trayRecord.hWnd             = window;
    g_trayRecord.uID              = TRAY_ICON_ID;
    g_trayRecord.uFlags           = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_trayRecord.uCallbackMessage = WM_TRAY_CALLBACK;
    std::memcpy(g_trayRecord.szTip, TRAY_TIP, sizeof TRAY_TIP);
    ShowInTray(IconForLevel(TrayLevel::Empty), true);
}

void RestoreTrayIcon() {
    if (!g_trayRecord.hWnd) return;
    // The task bar is also re-created when its scaling changes.
    ShowLevelAtSize(TrayIconSize(), true);
}

void UpdateTrayIcon() {
    // Nothing to update once the icon was removed at exit.
    if (!g_trayRecord.hWnd) return;
    PowerSample sample;
    // The tick's own reading succeeded a moment ago; if this one fails, the
    // icon keeps the level it shows.
    if (!ReadPowerStatus(&sample)) return;
    ShowInTray(IconForLevel(TrayLevelFor(TrayCalibratedPercent(sample))), false);
}

void RemoveTrayIcon() {
    Shell_NotifyIconA(NIM_DELETE, &g_trayRecord);
    g_trayRecord.hWnd = nullptr;
    g_trayShell = {};
}

bool IsTaskbarCreatedMessage(UINT message) {
    return g_taskbarCreatedMessage != 0 && message == g_taskbarCreatedMessage;
}

void FollowTrayIconSize() {
    // A primary display of another scaling keeps the task bar, which only
    // changes its DPI: no TaskbarCreated comes.
    if (!g_trayRecord.hWnd) return;
    int const size = TrayIconSize();
    if (size != g_levelIconSize) ShowLevelAtSize(size, false);
}

bool TrayReportsKeys() { return g_trayShell.showsIcon && g_trayShell.keys; }

void ReturnKeyboardToTray() {
    if (TrayReportsKeys()) Shell_NotifyIconA(NIM_SETFOCUS, &g_trayRecord);
}

