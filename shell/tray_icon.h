// The icon in the notification area, its mouse handling and its menu.
#pragma once

#include "display_readings.h"

#include <windows.h>
#include <shellapi.h>

UINT const WM_TRAY_CALLBACK = WM_USER + 1;
UINT const TRAY_ICON_ID = 1;
WORD const IDM_TRAY_EXIT = 1026;
WORD const IDM_TRAY_ABOUT = 1027;

// The record in its first layout, which every version of the shell accepts.
extern NOTIFYICONDATAA g_trayRecord;

// Loads the level icons at the size the notification area draws them, in
// place of any loaded before.
void LoadLevelIcons(HINSTANCE instance);
HICON IconForLevel(TrayLevel level);

// Adds the icon; each add asks the shell for the version that lets the
// keyboard reach the icon.
void AddTrayIcon(HWND window);
// Adds the icon again, as it last was, after the task bar was re-created.
void RestoreTrayIcon();
// A tick's update: the shell hears of it only when the picture changed, or
// when the icon is not shown and must be added again.
void UpdateTrayIcon();
void RemoveTrayIcon();
bool IsTaskbarCreatedMessage(UINT message);

// WM_TRAY_CALLBACK: the shell's report of a click or key on the icon.
void OnTrayCallback(HWND window, LPARAM lParam);
// Opens the menu at the point, unless one is open already; true when the
// user left it with Escape.
bool ShowTrayMenu(HWND window, int x, int y);
// When a keyboard user is done with the status window or a menu opened from
// the keyboard, the keyboard goes back to the notification area they came
// from, not to whichever window Windows activates next.
void ReturnKeyboardToTray();
