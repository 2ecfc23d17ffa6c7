// Exit: the window goes, the icon goes, the brushes go and the message loop
// is told to end. Exit releases the drawing brushes for the rest of the
// process, so each of these runs in a child process of its own (GoogleTest
// starts this program again for the one test, and only the exit code and
// the child's messages come back).
#include "shell_harness.h"

#include "gui_object_count.h"
#include "main_window.h"
#include "notice_and_alert.h"
#include "power_status.h"
#include "power_tick.h"
#include "status_drawing.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <gtest/gtest-spi.h>

#include <cstdio>
#include <cstdlib>

namespace {

COLORREF const BRUSH_COLOURS[] = {RGB(100, 100, 255), RGB(140, 140, 255), RGB(169, 169, 169),
                                  RGB(220, 220, 220)};

// How many of the shell's four brush colours have exactly this many live brushes.
int ColoursWithBrushes(int count) {
    int colours = 0;
    for (COLORREF colour : BRUSH_COLOURS) {
        if (CountSolidBrushes(colour) == count) ++colours;
    }
    return colours;
}

// The shell's own tick host, as main_window.cpp builds it.
CalibrationHost const SHELL_HOST = {ReadPowerStatus, UpdateTrayIcon, ShowCalibrationNotice,
                                    RaiseLowBatteryAlert};

bool QuitIsQueued(WPARAM* exitCode) {
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    *exitCode = message.wParam;
    return true;
}

// The start-up WinMain does, with the icon added.
HWND StartShell() {
    RemoveStateFiles();
    RemovePowerScript();
    g_calibration = CalibrationState{};
    if (!PrepareShell() || !InitInstance(TestModule(), SW_HIDE)) return nullptr;
    KillTimer(g_statusWindow, POLL_TIMER_ID);
    AddTrayIcon(g_statusWindow);
    return g_statusWindow;
}

void ExpectExited(HWND window, const FakeNotificationArea& tray) {
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_statusWindow, nullptr);
    EXPECT_EQ(g_trayRecord.hWnd, nullptr);
    bool deleted = false;
    for (const TrayCall& call : tray.calls) {
        if (call.message == NIM_DELETE && call.owner == window && call.id == 1) deleted = true;
    }
    EXPECT_TRUE(deleted) << "the icon is taken out of the notification area";
    EXPECT_EQ(ColoursWithBrushes(0), 4) << "all four brushes released";
    WPARAM exitCode = 99;
    EXPECT_TRUE(QuitIsQueued(&exitCode)) << "the message loop is told to end";
    EXPECT_EQ(exitCode, 0u);
}

// Runs the scenario in the child and ends it. The child's results do not
// reach the parent's report, so each failure is written to stderr, which
// the parent shows, and the exit code says whether there was any.
[[noreturn]] void RunAndExit(void (*scenario)()) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        scenario();
    }
    RemoveStateFiles();
    RemovePowerScript();
    int failures = 0;
    for (int i = 0; i < results.size(); ++i) {
        const ::testing::TestPartResult& result = results.GetTestPartResult(i);
        if (!result.failed()) continue;
        ++failures;
        std::fprintf(stderr, "%s:%d: %s\n", result.file_name() ? result.file_name() : "?",
                     result.line_number(), result.message());
    }
    std::fflush(stderr);
    std::exit(failures == 0 ? 0 : 1);
}

#define EXPECT_IN_FRESH_PROCESS(scenario) \
    EXPECT_EXIT(RunAndExit(scenario), ::testing::ExitedWithCode(0), "")

void ExitCommand() {
    FakeNotificationArea tray;
    HWND window = StartShell();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ColoursWithBrushes(1), 4);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, IDM_TRAY_EXIT, 0), 0);
    ExpectExited(window, tray);
}

TEST(Exit, ExitCommandDestroysTheWindowRemovesTheIconAndQuits) {
    EXPECT_IN_FRESH_PROCESS(ExitCommand);
}

void ExitFromTheMenu() {
    FakeNotificationArea tray;
    HWND window = StartShell();
    ASSERT_NE(window, nullptr);
    ModalDriver driver({}, [window](HWND) {
        // Down twice to the second item, Exit, then Enter.
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    });
    SendMessageA(window, WM_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN);
    // The choice arrives as a posted command once the menu has closed.
    MSG message;
    DWORD const start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < 3000 &&
           PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
        DispatchMessageA(&message);
    }
    EXPECT_EQ(driver.menus, 1);
    ExpectExited(window, tray);
}

TEST(Exit, ExitChosenFromTheTrayMenu) { EXPECT_IN_FRESH_PROCESS(ExitFromTheMenu); }

void ExitWhileTheNoticeIsUp() {
    FakeNotificationArea tray;
    HWND window = StartShell();
    ASSERT_NE(window, nullptr);
    WritePowerScript("0 50");
    // The notice's modal loop goes on dispatching the window's messages, so
    // the tray menu's Exit can arrive while the notice waits.
    ModalDriver driver([window](HWND) { SendMessageA(window, WM_COMMAND, IDM_TRAY_EXIT, 0); });
    MainWindowProc(window, WM_TIMER, POLL_TIMER_ID, 0);

    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"Corvane Alert"});
    EXPECT_EQ(driver.forcedCloses, 0) << "the notice went with its owner";
    ExpectExited(window, tray);
    // The tick that showed the notice still finished its work.
    EXPECT_STREQ(g_calibration.statusText,
                 "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 50%");
    EXPECT_EQ(ReadFileBytes(kStateFileName), (Bytes{0, 0, 0, 0, 0, 0, 0}));
}

TEST(Exit, ExitWhileTheNoticeWaitsEndsTheTickQuietly) {
    EXPECT_IN_FRESH_PROCESS(ExitWhileTheNoticeIsUp);
}

void TicksAfterExit() {
    FakeNotificationArea tray;
    HWND window = StartShell();
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_COMMAND, IDM_TRAY_EXIT, 0);
    ASSERT_FALSE(IsWindow(window));
    WPARAM exitCode;
    QuitIsQueued(&exitCode);
    tray.calls.clear();
    GuiObjectCounts const before = CountGuiObjects();

    // A tick that was already under way, the way the procedure would run it,
    // and one through the tick itself; then the tray update alone.
    WritePowerScript("0 95");
    MainWindowProc(window, WM_TIMER, POLL_TIMER_ID, 0);
    EXPECT_EQ(g_calibration.calibrationActive, 1) << "the tick itself still runs";
    WritePowerScript("1 100");
    PowerTick(SHELL_HOST, window);
    UpdateTrayIcon();
    RestoreTrayIcon();

    EXPECT_TRUE(tray.calls.empty()) << "no icon comes back";
    EXPECT_EQ(g_trayRecord.hWnd, nullptr);
    EXPECT_EQ(g_statusWindow, nullptr);
    EXPECT_EQ(ColoursWithBrushes(0), 4) << "the brushes are not created again";
    EXPECT_EQ(CountGuiObjects(), before) << Describe(CountGuiObjects());
}

TEST(Exit, TicksAfterExitDoNoHarm) { EXPECT_IN_FRESH_PROCESS(TicksAfterExit); }

void BrushesOnceOnly() {
    FakeNotificationArea tray;
    ASSERT_EQ(ColoursWithBrushes(0), 4) << "none before the window exists";
    HWND window = StartShell();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ColoursWithBrushes(1), 4) << "made with the window";

    // More messages, paints, ticks and another window make no more.
    HDC dc = GetDC(window);
    for (int i = 0; i < 20; ++i) PaintStatusWindow(dc, window);
    ReleaseDC(window, dc);
    WritePowerScript("1 100");
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    CreateDrawingBrushes();
    HWND second = CreateWindowExA(0, g_className, g_windowTitle, WS_CAPTION, 0, 0, 50, 50, nullptr,
                                  nullptr, TestModule(), nullptr);
    EXPECT_EQ(ColoursWithBrushes(1), 4);
    DestroyWindowQuietly(second);

    int const brushes = CountGdiObjects(OBJ_BRUSH);
    ReleaseDrawingBrushes();
    EXPECT_EQ(CountGdiObjects(OBJ_BRUSH), brushes - 4) << "exactly the four";
    EXPECT_EQ(ColoursWithBrushes(0), 4);

    // Not made again: the procedure asks for them with every message.
    CreateDrawingBrushes();
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    dc = GetDC(window);
    PaintStatusWindow(dc, window);
    ReleaseDC(window, dc);
    EXPECT_EQ(ColoursWithBrushes(0), 4);
    EXPECT_EQ(CountGdiObjects(OBJ_BRUSH), brushes - 4);
    ReleaseDrawingBrushes();
    EXPECT_EQ(CountGdiObjects(OBJ_BRUSH), brushes - 4) << "a second release deletes nothing else";
    DestroyWindowQuietly(window);
}

TEST(Exit, BrushesAreMadeOnceAndReleasedOnce) { EXPECT_IN_FRESH_PROCESS(BrushesOnceOnly); }

}  // namespace
