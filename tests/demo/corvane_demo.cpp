// make demo's driver: starts corvane-scripted.exe in this Wine desktop, opens
// its status window and plays the discharge story on it for people to watch,
// saving a picture of each moment, and one of the five tray icons, as
// NAME.bmp in its working folder.
//   corvane-demo SCRIPTED_EXE DONE
// A program started into an existing Wine desktop is not waited for, so the
// driver writes its result ("ok" or "failed") to the file DONE when it is done.
#include "discharge_story.h"
#include "screen_picture.h"
#include "tray_icons_picture.h"

#include <cstdio>
#include <string>

namespace {

RECT WindowArea(HWND window) {
    RECT area = {};
    GetWindowRect(window, &area);
    return area;
}

// The status window stands where a notification-area flyout opens: at the
// screen's bottom right, on the task bar, just above its icon.
void PlaceAboveTheTrayIcon(HWND window) {
    RECT bar = {};
    GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &bar);
    RECT frame = WindowArea(window);
    SetWindowPos(window, nullptr, bar.right - (frame.right - frame.left), bar.top - (frame.bottom - frame.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The status window and the menu are shown with the tray icon in the corner
// beneath them, the About box alone, and the other dialogs with the status
// window, whose headline tells the moment.
RECT PictureArea(const RunningProgram& program, Moment moment, HWND shown) {
    RECT area = WindowArea(shown);
    if (moment == Moment::TrayMenu || moment == Moment::Window || moment == Moment::DarkWindow) {
        int const margin = moment == Moment::TrayMenu ? 60 : 0;
        area = {area.left - margin, area.top - margin, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    } else if (moment == Moment::Notice || moment == Moment::WarningBox) {
        RECT status = WindowArea(program.window);
        UnionRect(&area, &area, &status);
    }
    return area;
}

bool TakePictures(const RunningProgram& program) {
    bool taken = true;
    bool played = PlayStory(program, Pace::ForPeople, [&](const StoryStep& step, HWND shown) {
        std::string path = std::string(step.picture) + ".bmp";
        bool saved = SaveScreenArea(PictureArea(program, step.moment, shown), path);
        std::printf("%s %s\n", saved ? "picture" : "could not save", path.c_str());
        taken = taken && saved;
    });
    return played && taken;
}

bool PlayDemo(const std::string& exe) {
    RunningProgram program;
    if (!StartProgram(exe, MakeFreshFolder("program"), &program)) return false;
    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    bool shown = WaitFor([&] { return IsWindowVisible(program.window) != 0; });
    PlaceAboveTheTrayIcon(program.window);
    bool played = shown && TakePictures(program);
    bool ended = ExitProgram(&program) == 0;
    CloseHandles(&program);
    return played && ended;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-demo SCRIPTED_EXE DONE-FILE\n");
        return 2;
    }
    bool icons = SaveTrayIconsPicture(argv[1], "tray-icons.bmp");
    std::printf("%s tray-icons.bmp\n", icons ? "picture" : "could not save");
    bool done = icons && PlayDemo(argv[1]);
    WriteText(argv[2], done ? "ok" : "failed");
    std::fflush(stdout);
    return done ? 0 : 1;
}
