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

// Loads the level icons at the standard icon size; WinMain calls it once.
void LoadLevelIcons(HINSTANCE instance);
HICON IconForLevel(TrayLevel level);

void AddTrayIcon(HWND window);
// Adds the icon again, as it last was, after the task bar was re-created.
void RestoreTrayIcon();
void UpdateTrayIcon();
void RemoveTrayIcon();
bool IsTaskbarCreatedMessage(UINT message);

void OnTrayCallback(HWND window, LPARAM mouseMessage);
void ShowTrayMenu(HWND window, int x, int y);
