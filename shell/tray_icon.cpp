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

UINT g_taskbarCreatedMessage;

// What the shell holds of the icon, so that it is told only what changed.
// While it shows the icon, its picture is the record's.
struct TrayShell {
    bool showsIcon;  // it accepted the last add or modify
    bool keys;       // it agreed to the version that reports the keys
};
TrayShell g_trayShell;

// A right click: its press opens the menu, and the shell may end it with a
// WM_CONTEXTMENU, while the menu is open or just after it closed, or never,
// when the open menu took the button's release. Until that message, with
// only pointer moves between, and for a double-click time after the press,
// the release or the menu's end, a WM_CONTEXTMENU ends the click: it is not
// the menu key.
struct RightClick {
    bool unfinished;
    DWORD since;
};
RightClick g_rightClick;

bool g_menuOpen;
// Whether the last key or click the open menu read was Escape.
bool g_menuEscaped;

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

// What the user meant by an event on the icon.
enum class TrayIntent { Nothing, Toggle, Show, Menu, KeyMenu };

TrayIntent IntentOf(UINT event) {
    // Only a shell that agreed to the version reports the keys.
    bool const keys = g_trayShell.keys;
    switch (event) {
    case WM_LBUTTONDOWN:
        g_rightClick.unfinished = false;
        return TrayIntent::Toggle;
    // Enter or Space. Windows may report one Enter twice, so it only shows.
    case NIN_KEYSELECT:
        g_rightClick.unfinished = false;
        return keys ? TrayIntent::Show : TrayIntent::Nothing;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        g_rightClick = {true, GetTickCount()};
        return event == WM_RBUTTONDOWN ? TrayIntent::Menu : TrayIntent::Nothing;
    // The menu key or Shift+F10, unless it ends a right click.
    case WM_CONTEXTMENU: {
        bool const endsClick = g_rightClick.unfinished && GetTickCount() - g_rightClick.since <= GetDoubleClickTime();
        g_rightClick.unfinished = false;
        return keys && !endsClick ? TrayIntent::KeyMenu : TrayIntent::Nothing;
    }
    default:
        return TrayIntent::Nothing;
    }
}

// Sees every message the menu's own loop reads, before the menu does.
LRESULT CALLBACK NoteMenuInput(int code, WPARAM wParam, LPARAM lParam) {
    MSG const* read = reinterpret_cast<MSG const*>(lParam);
    UINT const message = read->message;
    bool const input = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                       (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                       (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
    if (code == MSGF_MENU && input) g_menuEscaped = message == WM_KEYDOWN && read->wParam == VK_ESCAPE;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ShowAndBringToFront(HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

}  // namespace

void LoadLevelIcons(HINSTANCE instance) {
    int const size = TrayIconSize();
    for (int i = 0; i < LEVEL_COUNT; ++i) {
        HICON const previous = g_levelIcons[i];
        g_levelIcons[i] = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(LEVEL_ICON_IDS[i]), IMAGE_ICON, size, size, 0));
        if (previous) DestroyIcon(previous);
    }
}

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
    // The task bar is also re-created when its scaling changes: the level
    // shown is loaded again, at the new size. Once the icon was added, the
    // record always holds one of the level pictures.
    HICON* const shown = std::find(g_levelIcons, g_levelIcons + LEVEL_COUNT, g_trayRecord.hIcon);
    LoadLevelIcons(g_instance);
    ShowInTray(*shown, true);
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

void ReturnKeyboardToTray() {
    if (g_trayShell.showsIcon && g_trayShell.keys) Shell_NotifyIconA(NIM_SETFOCUS, &g_trayRecord);
}

void OnTrayCallback(HWND window, LPARAM lParam) {
    TrayIntent const intent = IntentOf(static_cast<UINT>(lParam));
    switch (intent) {
    case TrayIntent::Toggle:
        if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
        else ShowAndBringToFront(window);
        break;
    case TrayIntent::Show:
        ShowAndBringToFront(window);
        break;
    case TrayIntent::Menu:
    case TrayIntent::KeyMenu: {
        POINT pointer;
        GetCursorPos(&pointer);
        bool const escaped = ShowTrayMenu(window, pointer.x, pointer.y);
        // A right click's own WM_CONTEXTMENU, if it comes, follows the menu's end closely.
        g_rightClick.since = GetTickCount();
        if (intent == TrayIntent::KeyMenu && escaped) ReturnKeyboardToTray();
        break;
    }
    case TrayIntent::Nothing:
        break;
    }
}

bool ShowTrayMenu(HWND window, int x, int y) {
    // A second TrackPopupMenu inside the first fails, and its foreground
    // switch would disturb the menu the user is reading.
    if (g_menuOpen) return false;
    HMENU menu = CreatePopupMenu();
    if (!menu) return false;
    InsertMenuA(menu, UINT(-1), MF_BYPOSITION | MF_STRING, IDM_TRAY_ABOUT, "About");
    InsertMenuA(menu, UINT(-1), MF_BYPOSITION | MF_STRING, IDM_TRAY_EXIT, "Exit");
    // The window must be in the foreground, or the menu does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(window);
    g_menuOpen = true;
    g_menuEscaped = false;
    HHOOK const watch = SetWindowsHookExA(WH_MSGFILTER, NoteMenuInput, nullptr, GetCurrentThreadId());
    UINT const command = TrackPopupMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0,
                                        window, nullptr);
    if (watch) UnhookWindowsHookEx(watch);
    g_menuOpen = false;
    // A benign message forces the task switch that lets the menu open again next time.
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (command) PostMessageA(window, WM_COMMAND, command, 0);
    return !command && g_menuEscaped;
}
