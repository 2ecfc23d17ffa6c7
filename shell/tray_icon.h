// The icon in the notification area and the conversation with the shell
// about it: which picture it shows, at which size, and what the shell agreed to.
#pragma once

#include "display_readings.h"

#include <windows.h>
#include <shellapi.h>

UINT const WM_TRAY_CALLBACK = WM_USER + 1;
UINT const TRAY_ICON_ID = 1;

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
// After a change of display: where the notification area's icon size
// changed with it, the level shown is shown at the new size.
void FollowTrayIconSize();

// Whether the shell reports Enter, Space and the menu key on the icon.
bool TrayReportsKeys();
// Hands the keyboard back to the notification area, where the shell can
// take it.
void ReturnKeyboardToTray();
