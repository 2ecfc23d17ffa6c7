// The About box opened from the tray menu.
#pragma once

#include <windows.h>

void ShowAboutBox(HWND window);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
