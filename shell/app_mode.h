// Windows' app mode, light or dark, as the user chooses it in Settings ›
// Personalisation › Colours, which the status window follows.
#pragma once

#include <windows.h>

// Whether apps are to be dark, as last read.
bool AppsAreDark();

// Reads the app mode again, gives the window's caption its colour and
// repaints the window. InitInstance calls it once, then each change does.
void FollowAppMode(HWND window);

// Whether a WM_SETTINGCHANGE announces a change of the app mode.
bool IsAppModeChange(LPARAM lParam);
