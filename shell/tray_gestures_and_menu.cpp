#include "tray_gestures_and_menu.h"

#include "tray_icon.h"

namespace {

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

// Whether the status window was last shown from the keyboard, so that
// Escape hands the keyboard back only to a user who came with it.
bool g_shownFromKeyboard;

// What the user meant by an event on the icon.
enum class TrayIntent { Nothing, Toggle, Show, Menu, KeyMenu };

TrayIntent IntentOf(UINT event) {
    // Only a shell that agreed to the version reports the keys.
    bool const keys = TrayReportsKeys();
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

void ShowAndBringToFront(HWND window, bool fromKeyboard) {
    g_shownFromKeyboard = fromKeyboard;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

}  // namespace

void OnTrayCallback(HWND window, LPARAM lParam) {
    TrayIntent const intent = IntentOf(static_cast<UINT>(lParam));
    switch (intent) {
    case TrayIntent::Toggle:
        if (IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
        else ShowAndBringToFront(window, false);
        break;
    case TrayIntent::Show:
        ShowAndBringToFront(window, true);
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

void HideStatusWindowOnEscape(HWND window) {
    ShowWindow(window, SW_HIDE);
    if (g_shownFromKeyboard) ReturnKeyboardToTray();
}
