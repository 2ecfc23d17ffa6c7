// The status window: the program's one window, its class and its procedure.
#pragma once

#include <windows.h>

UINT_PTR const POLL_TIMER_ID = 2;
UINT const POLL_PERIOD_MS = 5000;

// The client size InitInstance asks for, and the outer size the window keeps.
int const STATUS_WINDOW_WIDTH = 250;
int const STATUS_WINDOW_HEIGHT = 185;

extern HINSTANCE g_instance;
extern char g_windowTitle[100];
extern char g_className[100];
// The window InitInstance created; null once it is destroyed.
extern HWND g_statusWindow;

ATOM RegisterMainWindowClass(HINSTANCE instance);
BOOL InitInstance(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
