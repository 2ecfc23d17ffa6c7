// Drives a running Corvane from outside, as the tray would:
//   corvane-driver show DONE   waits for the window and the first tick, then
//                              opens the status window with a tray-icon click;
//   corvane-driver exit DONE   chooses Exit from the tray menu and waits for the end.
// A program started into an existing Wine desktop is not waited for, so the
// driver writes its result ("ok" or "failed") to the file DONE when it is done.
#include "program_under_test.h"

#include <cstdio>
#include <cstring>

namespace {

HWND WaitForAnyStatusWindow() {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindWindowA("CORVANE", "Corvane")) != nullptr; }, 30000);
    return window;
}

bool Show(HWND window) {
    // The first tick comes five seconds after the window was created.
    Sleep(6000);
    ClickTrayIcon(window, WM_LBUTTONDOWN);
    return WaitFor([&] { return IsWindowVisible(window) != 0; });
}

bool Exit(HWND window) {
    PostMessageA(window, WM_COMMAND, IDM_TRAY_EXIT, 0);
    return WaitFor([&] { return !IsWindow(window); });
}

}  // namespace

int main(int argc, char** argv) {
    bool show = argc == 3 && std::strcmp(argv[1], "show") == 0;
    bool exit = argc == 3 && std::strcmp(argv[1], "exit") == 0;
    if (!show && !exit) {
        std::fprintf(stderr, "usage: corvane-driver show|exit DONE-FILE\n");
        return 2;
    }
    HWND window = WaitForAnyStatusWindow();
    bool done = window && (show ? Show(window) : Exit(window));
    WriteText(argv[2], done ? "ok" : "failed");
    return done ? 0 : 1;
}
