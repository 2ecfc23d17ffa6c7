#include "discharge_story.h"

#include "app_mode_switch.h"

#include <cstdio>

namespace {

char const INACTIVE[] = "Calibrated Battery: 0%\nTime Remaining: 00:00";
int const COUNTDOWN_STEP_SECONDS = 5;
// Long enough for the window that a moment opens to be painted.
DWORD const PAINT_MS = 250;
DWORD const DARK = 0;  // AppsUseLightTheme

}  // namespace

// The first warning comes at 600 s of reserve, the second at 60 s, which also
// ends calibration. Fast in between, slower towards each moment.
const StoryStep kDischargeStory[] = {
    // ac from  to ticks until pause  hold  moment             picture               headline
    {1, 100, 100,   4,    0, 400, 2000, Moment::Window,     "plugged-in",         INACTIVE},
    {0, 100, 100,   1,    0,   0, 3000, Moment::Window,     "engaged-100",        "Calibrated Battery: 100%\nTime Remaining: 02:00"},
    {0,  99,  37,  63,    0, 350, 3000, Moment::Window,     "discharge-68",       "Calibrated Battery: 68%\nTime Remaining: 01:22"},
    {0,  37,  37,   0,    0,   0, 3000, Moment::DarkWindow, "dark-mode",          "Calibrated Battery: 68%\nTime Remaining: 01:22"},
    {0,  36,   2,  35,    0, 350,    0, Moment::None,       nullptr,              nullptr},
    {0,   1,   1,   0, 1020,  15,    0, Moment::None,       nullptr,              nullptr},
    {0,   1,   1,   0,  900,  60, 3000, Moment::Window,     "countdown-12",       "Calibrated Battery: 12%\nTime Remaining: 00:15"},
    {0,   1,   1,   0,  660,  15,    0, Moment::None,       nullptr,              nullptr},
    {0,   1,   1,   0,  600, 100, 3500, Moment::WarningBox, "warning-10-minutes", "Calibrated Battery: 8%\nTime Remaining: 00:10"},
    {0,   1,   1,   0,  120,  15,    0, Moment::None,       nullptr,              nullptr},
    {0,   1,   1,   0,   60, 100, 3500, Moment::WarningBox, "warning-1-minute",   INACTIVE},
    {0,   1,   1,   1,    0,   0, 3000, Moment::Window,     "after-the-end",      INACTIVE},
    {1,   1,  60,  60,    0, 200,    0, Moment::None,       nullptr,              nullptr},
    {0,  60,  60,   1,    0,   0, 3500, Moment::Notice,     "notice",             INACTIVE},
    {0,  60,  60,   0,    0,   0, 2500, Moment::TrayMenu,   "tray-menu",          INACTIVE},
    {0,  60,  60,   0,    0,   0, 2500, Moment::AboutBox,   "about",              INACTIVE},
};
const int kDischargeStorySteps = sizeof kDischargeStory / sizeof kDischargeStory[0];

namespace {

bool OpensDialog(Moment moment) { return moment == Moment::WarningBox || moment == Moment::Notice; }

int ReserveLeft(const RunningProgram& program) {
    Bytes file = StateFile(program);
    return file.size() == 7 && file[0] ? RemainingSeconds(file) : kReserveSeconds;
}

// The program's own five-second timer ticks in between, so the countdown is
// measured by what is left of the reserve rather than by the ticks sent.
int TicksLeft(const RunningProgram& program, const StoryStep& step, int played) {
    if (step.untilReserve) return (ReserveLeft(program) - step.untilReserve) / COUNTDOWN_STEP_SECONDS;
    return step.ticks - played;
}

void WriteReading(const RunningProgram& program, const StoryStep& step, int tick) {
    int span = step.ticks > 1 ? step.ticks - 1 : 1;
    int percent = step.fromPercent + (step.toPercent - step.fromPercent) * tick / span;
    char reading[16];
    std::snprintf(reading, sizeof reading, "%d %d", step.ac, percent);
    SetPowerReading(program, reading);
}

// The tick that opens a dialog returns only when the dialog closes, so it is
// sent without waiting; its return is noted when this thread next peeks at
// its messages.
bool g_dialogTickReturned;

VOID CALLBACK NoteDialogTickReturned(HWND, UINT, ULONG_PTR, LRESULT) { g_dialogTickReturned = true; }

void SendDialogTick(HWND window) {
    g_dialogTickReturned = false;
    SendMessageCallbackA(window, WM_TIMER, POLL_TIMER_ID, 0, NoteDialogTickReturned, 0);
}

bool DialogTickReturned() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    return g_dialogTickReturned;
}

bool PlayTicks(const RunningProgram& program, const StoryStep& step, Pace pace) {
    for (int tick = 0;; ++tick) {
        int left = TicksLeft(program, step, tick);
        if (left <= 0) return true;
        WriteReading(program, step, tick);
        if (left == 1 && OpensDialog(step.moment)) {
            SendDialogTick(program.window);
            return true;
        }
        if (!SendTick(program.window)) return false;
        if (pace == Pace::ForPeople) Sleep(step.tickPauseMs);
    }
}

HWND WaitForVisible(DWORD processId, const char* className, const char* title) {
    HWND found = nullptr;
    WaitFor([&] {
        found = FindTopLevel(processId, className, title);
        return found && IsWindowVisible(found);
    });
    return found;
}

// The dialog that the step's last tick opened, or null when that tick
// returned without one: then the story and the program disagree, even if the
// program's own timer opens the dialog a moment later.
HWND WaitForTheTicksDialog(DWORD processId, const char* title) {
    HWND dialog = nullptr;
    bool shown = false;
    WaitFor([&] {
        dialog = FindTopLevel(processId, "#32770", title);
        shown = dialog && IsWindowVisible(dialog);
        return shown || DialogTickReturned();
    });
    return shown ? dialog : nullptr;
}

// The program opens its menu above the cursor: at the top of the task bar,
// just left of the icon, so that the menu does not hide it.
void PointBesideTheTrayIcon() {
    RECT bar = {};
    GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &bar);
    SetCursorPos(bar.right - 40, bar.top);
}

// As Settings switches it: the value, then the broadcast.
void SwitchAppMode(const DWORD* appsUseLightTheme) {
    SetAppsUseLightTheme(appsUseLightTheme);
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(APP_MODE_CHANGE),
                        SMTO_ABORTIFHUNG, 1000, nullptr);
}

HWND OpenMoment(const RunningProgram& program, Moment moment) {
    DWORD id = program.process.dwProcessId;
    switch (moment) {
    case Moment::None:
    case Moment::Window:     return program.window;
    case Moment::DarkWindow:
        SwitchAppMode(&DARK);
        return program.window;
    case Moment::WarningBox: return WaitForTheTicksDialog(id, "Battery Alert");
    case Moment::Notice:     return WaitForTheTicksDialog(id, "Corvane Alert");
    case Moment::TrayMenu:
        PointBesideTheTrayIcon();
        ClickTrayIcon(program.window, WM_RBUTTONDOWN);
        return WaitForVisible(id, "#32768", nullptr);
    case Moment::AboutBox:
        PostMessageA(program.window, WM_COMMAND, IDM_TRAY_ABOUT, 0);
        return WaitForVisible(id, "#32770", "About");
    }
    return nullptr;
}

bool CloseMoment(Moment moment, HWND shown) {
    if (moment == Moment::Window) return true;
    if (moment == Moment::DarkWindow) {
        SwitchAppMode(nullptr);
        return true;
    }
    if (moment == Moment::TrayMenu) {
        PostMessageA(shown, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        PostMessageA(shown, WM_COMMAND, IDOK, 0);
    }
    // A dialog's tick has taken its last reading once it returns; only then
    // may the next step write a new one.
    if (OpensDialog(moment)) return WaitFor(DialogTickReturned);
    return WaitFor([&] { return !IsWindowVisible(shown); });
}

bool Fail(int step, const char* what) {
    std::printf("story step %d: %s\n", step, what);
    return false;
}

}  // namespace

bool PlayStory(const RunningProgram& program, Pace pace, const MomentHandler& atMoment) {
    for (int i = 0; i < kDischargeStorySteps; ++i) {
        const StoryStep& step = kDischargeStory[i];
        if (!PlayTicks(program, step, pace)) return Fail(i, "a tick did not finish");
        if (step.moment == Moment::None) continue;
        HWND shown = OpenMoment(program, step.moment);
        if (!shown) return Fail(i, "the moment's window did not open");
        if (pace == Pace::ForPeople) Sleep(PAINT_MS);
        atMoment(step, shown);
        if (pace == Pace::ForPeople) Sleep(step.holdMs);
        if (!CloseMoment(step.moment, shown)) return Fail(i, "the moment's window did not close");
    }
    return true;
}
