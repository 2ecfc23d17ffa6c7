// What the user does with the icon, by mouse or keyboard, and its menu.
#pragma once

#include <windows.h>

WORD const IDM_TRAY_EXIT = 1026;
WORD const IDM_TRAY_ABOUT = 1027;

// WM_TRAY_CALLBACK: the shell's report of a click or key on the icon.
void OnTrayCallback(HWND window, LPARAM lParam);
// Opens the menu at the point, unless one is open already; true when the
// user left it with Escape.
bool ShowTrayMenu(HWND window, int x, int y);
// Escape in the status window hides it. A user who opened it from the icon
// with the keyboard gets the keyboard back in the notification area, not in
// whichever window Windows activates next; one who clicked keeps the mouse's
// way.
void HideStatusWindowOnEscape(HWND window);
