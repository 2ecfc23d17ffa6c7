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

// The menu is shown with the tray icon in the corner beneath it, the About
// box alone, and the other dialogs with the status window, whose headline
// tells the moment.
RECT PictureArea(const RunningProgram& program, Moment moment, HWND shown) {
    RECT area = WindowArea(shown);
    if (moment == Moment::TrayMenu) {
        int const margin = 60;
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
