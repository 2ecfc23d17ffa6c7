// Weeks in the background, compressed: tens of thousands of ticks through
// whole discharges (with their notices and warning boxes), paints, tray
// menus and About boxes in one process. The GUI object counts must end where
// they stood after the first rounds, and the process's private memory must
// grow no more than that of the bare tray program, run beside it and sent
// the same ticks: what Wine itself keeps for a program that updates its
// tray icon is not the program's leak, and a longer run does not change that.
#include "shell_harness.h"

#include "about_box.h"
#include "gui_object_count.h"
#include "main_window.h"
#include "status_drawing.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

// One discharge: plugged in, unplugged at full charge, drained to 1%, the
// whole reserve with both warning boxes, and the ticks after calibration
// ended. Every other discharge begins with a refused unplug and its notice.
int const TICKS_PER_DISCHARGE = 800;

const char* ReadingFor(int tick) {
    int step = tick % TICKS_PER_DISCHARGE;
    bool refusedFirst = tick / TICKS_PER_DISCHARGE % 2 == 1;
    if (step == 0) return "1 100";
    if (step == 1) return refusedFirst ? "0 50" : "0 95";
    if (step == 2) return refusedFirst ? "1 100" : "0 94";
    if (step == 3) return "0 95";
    if (step < 10) return "0 60";
    if (step % 97 == 0) return "fail";
    return "0 1";
}

struct Memory {
    SIZE_T workingSet;
    SIZE_T privateBytes;
};

Memory ProcessMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {counters.WorkingSetSize, counters.PagefileUsage};
}

long GrowthKb(const Memory& before, const Memory& after) {
    return (static_cast<long>(after.privateBytes) - static_cast<long>(before.privateBytes)) / 1024;
}

// Heap pages settle by some tens of kilobytes either way; a leak of even a
// few bytes per tick would show as hundreds over the run.
long const SETTLING_KB = 128;

// The bare tray program beside the soak. Its icon calls reach this
// process's fake notification area, which the test thread serves while it
// waits for each tick to finish.
struct BareTray {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;

    ~BareTray() {
        if (window) PostMessageA(window, WM_CLOSE, 0, 0);
        if (process.hProcess && WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
        }
        if (process.hProcess) CloseHandle(process.hProcess);
        if (process.hThread) CloseHandle(process.hThread);
    }

    bool Start(const char* exe) {
        STARTUPINFOA startup = {sizeof(startup)};
        if (!exe || !CreateProcessA(exe, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &process)) {
            return false;
        }
        for (int i = 0; i < 300 && !window; ++i) {
            window = FindWindowA("BARE_WINDOW", nullptr);
            if (!window) Sleep(100);
        }
        return window != nullptr;
    }

    void Tick() { SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0); }
};

int Rounds() {
    const char* text = std::getenv("CORVANE_SOAK_DISCHARGES");
    return text ? std::atoi(text) : 25;
}

using SoakTest = ShellTest;

TEST_F(SoakTest, ALongRunGivesBackEverythingItTakes) {
    BareTray bare;
    ASSERT_TRUE(bare.Start(std::getenv("CORVANE_BARE_TRAY_EXE"))) << "the bare tray program beside the soak";
    AddTrayIcon(window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    HDC screen = GetDC(nullptr);
    HDC memoryDc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 200);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previousBitmap = SelectObject(memoryDc, bitmap);

    int ticks = 0, paints = 0, menus = 0, aboutBoxes = 0;
    std::size_t dialogs = 0;
    ModalDriver driver([](HWND dialog) { Click(dialog, IDOK); });
    auto runDischarge = [&] {
        for (int step = 0; step < TICKS_PER_DISCHARGE; ++step, ++ticks) {
            WritePowerScript(ReadingFor(ticks));
            SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
            bare.Tick();
            UpdateWindow(window);
            PaintStatusWindow(memoryDc, window);
            ++paints;
            if (step % 10 == 0) {
                // Waiting in the queue, the key closes the menu as soon as it opens.
                PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
                ShowTrayMenu(window, 200, 200);
                ++menus;
            }
            if (step % 100 == 0) {
                ShowAboutBox(window);
                ++aboutBoxes;
            }
            tray.calls.clear();
        }
        PumpMessages();
        // Counted, not kept, so that the record does not grow with the run.
        dialogs += driver.dialogs.size();
        driver.dialogs.clear();
    };

    // The first two discharges, one of each kind, create what the process
    // keeps for good (fonts, classes, Wine's caches such as the check box
    // pictures the first notice loads); the counts are taken after them.
    runDischarge();
    runDischarge();
    GuiObjectCounts const countsBefore = CountGuiObjects();
    Memory const memoryBefore = ProcessMemory(GetCurrentProcess());
    Memory const bareBefore = ProcessMemory(bare.process.hProcess);
    std::size_t const dialogsBefore = dialogs;
    int const firstTicks = ticks, firstPaints = paints, firstMenus = menus, firstAbout = aboutBoxes;

    int const discharges = Rounds();
    for (int i = 0; i < discharges; ++i) runDischarge();
    GuiObjectCounts const countsAfter = CountGuiObjects();
    Memory const memoryAfter = ProcessMemory(GetCurrentProcess());
    Memory const bareAfter = ProcessMemory(bare.process.hProcess);

    std::printf("soak: %d ticks over %d discharges, %d paints into memory and %d of the shown window, "
                "%d tray menus, %d About boxes, %zu notices and warning boxes\n",
                ticks - firstTicks, discharges, paints - firstPaints, ticks - firstTicks,
                menus - firstMenus, aboutBoxes - firstAbout,
                dialogs - dialogsBefore - static_cast<std::size_t>(aboutBoxes - firstAbout));
    std::printf("soak: before %s working set %lu KB private %lu KB\n", Describe(countsBefore).c_str(),
                static_cast<unsigned long>(memoryBefore.workingSet / 1024),
                static_cast<unsigned long>(memoryBefore.privateBytes / 1024));
    std::printf("soak: after  %s working set %lu KB private %lu KB\n", Describe(countsAfter).c_str(),
                static_cast<unsigned long>(memoryAfter.workingSet / 1024),
                static_cast<unsigned long>(memoryAfter.privateBytes / 1024));
    std::printf("soak: private memory grew %ld KB here and %ld KB in the bare tray program (%lu KB to %lu KB)\n",
                GrowthKb(memoryBefore, memoryAfter), GrowthKb(bareBefore, bareAfter),
                static_cast<unsigned long>(bareBefore.privateBytes / 1024),
                static_cast<unsigned long>(bareAfter.privateBytes / 1024));

    EXPECT_EQ(countsAfter, countsBefore);
    EXPECT_EQ(driver.forcedCloses, 0);
    // Each discharge raises two warning boxes, every other one a notice too.
    EXPECT_EQ(dialogs - dialogsBefore,
              static_cast<std::size_t>(aboutBoxes - firstAbout + 2 * discharges + discharges / 2));
    EXPECT_LE(GrowthKb(memoryBefore, memoryAfter), GrowthKb(bareBefore, bareAfter) + SETTLING_KB);

    SelectObject(memoryDc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
}

}  // namespace
