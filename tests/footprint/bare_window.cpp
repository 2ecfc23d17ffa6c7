// The baseline Corvane is measured against: a hidden window with a message
// loop and a five-second timer, built with the same flags, doing nothing else.
#include <windows.h>

namespace {

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:   return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default:         return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA windowClass = {sizeof(windowClass)};
    windowClass.lpfnWndProc   = BareWindowProc;
    windowClass.hInstance     = instance;
    windowClass.lpszClassName = "BARE_WINDOW";
    if (!RegisterClassExA(&windowClass)) return 1;
    HWND window = CreateWindowExA(0, "BARE_WINDOW", "Bare window", WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, 0, 250, 185, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    SetTimer(window, 2, 5000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
