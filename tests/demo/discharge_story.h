// The story make demo plays on a running Corvane: plugged in, unplugged at
// 100%, the system's figure down to 1%, the reserve countdown with both
// warnings, the end, and an unplug at 60% that brings the notice. A table of
// steps, played by one function both for people watching and, without any
// pauses, by the end-to-end test that keeps the story true.
#pragma once

#include "program_under_test.h"

#include <functional>

// What a step ends with: a moment worth a picture, or nothing.
enum class Moment {
    None,
    Window,      // the status window as the step left it
    DarkWindow,  // the status window once Settings has switched apps to dark
    WarningBox,  // the step's last tick opens the warning box
    Notice,      // the step's last tick opens the calibration notice
    TrayMenu,    // the tray icon's menu, opened with a right click
    AboutBox,    // About, as the menu chooses it
};

struct StoryStep {
    // The reading: on external power or not, and the system's figure, which
    // moves evenly from the first percentage to the second over the ticks.
    int ac;
    int fromPercent;
    int toPercent;
    int ticks;
    // On the reserve countdown, instead of a number of ticks: tick until this
    // many seconds of the reserve are left.
    int untilReserve;
    // For people watching: the pause after each tick, and how long the moment
    // stays on screen after its picture is taken, before it is closed.
    DWORD tickPauseMs;
    DWORD holdMs;
    Moment moment;
    const char* picture;
    // The headline for the program's state at the moment. While a dialog's
    // tick waits, the window still shows the tick before.
    const char* headline;
};

extern const StoryStep kDischargeStory[];
extern const int kDischargeStorySteps;

enum class Pace { ForPeople, FullSpeed };

// Called at each moment with the window it shows (the status window, a
// dialog or the menu), while that window is still open.
using MomentHandler = std::function<void(const StoryStep& step, HWND shown)>;

// Plays the whole story on a program whose status window exists. False, with
// a line on stdout, when a tick does not finish or a moment's window does
// not come or go as the story says.
bool PlayStory(const RunningProgram& program, Pace pace, const MomentHandler& atMoment);
