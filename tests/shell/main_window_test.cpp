// The status window: its class, its start-up, and what each message sent to
// it does — the poll timer's tick, the commands, closing, sizing.
#include "shell_harness.h"

#include "main_window.h"
#include "power_tick.h"
#include "resource.h"
#include "tray_icon.h"

#include <cstdio>
#include <cstring>

namespace {

// The status text's whole content, bounded by its buffer.
std::string StatusText() {
    return std::string(g_calibration.statusText,
                       strnlen(g_calibration.statusText, sizeof g_calibration.statusText));
}

void SetStatusText(const char* text) {
    std::snprintf(g_calibration.statusText, sizeof g_calibration.statusText, "%s", text);
}

TEST(MainWindowClass, RegisteredFromTheStringTableWithRedrawOnResizeAndIcons) {
    ASSERT_NE(PrepareShell(), 0);
    EXPECT_STREQ(g_className, "CORVANE");
    EXPECT_STREQ(g_windowTitle, "Corvane");
    WNDCLASSEXA info = {sizeof info};
    ASSERT_TRUE(GetClassInfoExA(TestModule(), "CORVANE", &info));
    EXPECT_EQ(info.style, UINT(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(info.lpfnWndProc, MainWindowProc);
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    EXPECT_EQ(info.hIcon, LoadIconA(TestModule(), MAKEINTRESOURCEA(IDI_APP)));
    EXPECT_TRUE(PictureOf(info.hIconSm) == ResourcePicture(IDI_SMALL_APP, GetSystemMetrics(SM_CXSMICON)))
        << "at the small size, not shrunk from the large one";
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.lpszMenuName, nullptr);
    EXPECT_EQ(info.cbWndExtra, 0);
}

using MainWindowTest = ShellTest;

TEST_F(MainWindowTest, StartsHiddenWithCaptionAndCloseBoxAndThePollTimer) {
    EXPECT_FALSE(IsWindowVisible(window)) << "SW_HIDE keeps it hidden";
    EXPECT_EQ(g_instance, TestModule());
    EXPECT_EQ(ClassOf(window), "CORVANE");
    EXPECT_EQ(TextOf(window), "Corvane");
    DWORD const style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_NE(style & WS_SYSMENU, 0u);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_CHILD | WS_POPUP), 0u);
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_TRUE(pollTimerWasRunning) << "InitInstance starts timer 2";
}

TEST_F(MainWindowTest, OuterSizeIsHeldAt250By185) {
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 250);
    EXPECT_EQ(frame.bottom - frame.top, 185);

    // Resizing is refused the same way.
    SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.right - frame.left, 250);
    EXPECT_EQ(frame.bottom - frame.top, 185);
}

TEST_F(MainWindowTest, MinMaxInfoFixesTheTrackSizeOnly) {
    MINMAXINFO limits;
    std::memset(&limits, 0x5A, sizeof limits);
    MINMAXINFO const untouched = limits;
    EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, 250);
    EXPECT_EQ(limits.ptMinTrackSize.y, 185);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 250);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 185);
    EXPECT_EQ(std::memcmp(&limits.ptMaxSize, &untouched.ptMaxSize, sizeof limits.ptMaxSize), 0);
    EXPECT_EQ(std::memcmp(&limits.ptMaxPosition, &untouched.ptMaxPosition, sizeof limits.ptMaxPosition), 0);

    EXPECT_EQ(MainWindowProc(window, WM_GETMINMAXINFO, 0, 0), 0) << "a missing record is ignored";
}

TEST_F(MainWindowTest, CloseHidesAndKeepsRunning) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(g_statusWindow, window);
    EXPECT_FALSE(PumpMessages()) << "closing is not quitting";

    // Closed again while hidden: still there.
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindowTest, UnknownCommandsDoNothing) {
    AddTrayIcon(window);
    ModalDriver driver;
    for (WPARAM command : {WPARAM(0), WPARAM(1), WPARAM(2), WPARAM(1025), WPARAM(1028),
                           WPARAM(IDOK), WPARAM(IDCANCEL), WPARAM(0xFFFF)}) {
        SCOPED_TRACE("command " + std::to_string(command));
        EXPECT_EQ(SendMessageA(window, WM_COMMAND, command, 0), 0);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(g_trayRecord.hWnd, window);
    }
    EXPECT_FALSE(PumpMessages());
    EXPECT_TRUE(driver.dialogs.empty());
}

TEST_F(MainWindowTest, OnlyThePollTimerTicks) {
    WritePowerScript("0 95");
    SetStatusText("before");
    for (WPARAM timer : {WPARAM(0), WPARAM(1), WPARAM(3), WPARAM(0x10002)}) {
        SCOPED_TRACE("timer " + std::to_string(timer));
        EXPECT_EQ(SendMessageA(window, WM_TIMER, timer, 0), 0);
        EXPECT_EQ(StatusText(), "before");
        EXPECT_EQ(g_calibration.systemPercent, 0);
        EXPECT_EQ(g_calibration.previousOnExternal, 1);
        EXPECT_FALSE(FileExists(kStateFileName));
    }
    EXPECT_EQ(SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0), 0);
    EXPECT_NE(StatusText(), "before");
}

TEST_F(MainWindowTest, PollTickReadsThePowerAndUpdatesStateTextFileAndIcon) {
    struct Case {
        const char* what;
        const char* reading;
        const char* text;
        Bytes file;  // empty: no state file
        int icon;    // after the tick; the empty battery if untouched
    } const cases[] = {
        {"on external power", "1 100",
         "\nPower Source: External\nCalibration: Inactive\nSystem Battery: 100%", {}, IDI_EXTERNAL},
        {"unplugged at a full charge engages calibration", "0 95",
         "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 95%",
         {0, 0, 0, 0, 0, 1, 0}, IDI_LEVEL_FULL},
        {"unknown line status", "255 40",
         "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 40%", {}, IDI_LEVEL_MEDIUM},
        {"failed read", "fail", "Unable to retrieve System Battery Status.", {}, IDI_LEVEL_EMPTY},
        {"no script at all", nullptr, "Unable to retrieve System Battery Status.", {}, IDI_LEVEL_EMPTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_calibration = CalibrationState{};
        RemoveStateFiles();
        AddTrayIcon(window);
        if (c.reading) WritePowerScript(c.reading);
        else RemovePowerScript();
        ModalDriver driver;
        EXPECT_EQ(SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0), 0);
        EXPECT_TRUE(driver.dialogs.empty());
        EXPECT_EQ(StatusText(), c.text);
        if (c.file.empty()) {
            EXPECT_FALSE(FileExists(kStateFileName));
        } else {
            EXPECT_EQ(ReadFileBytes(kStateFileName), c.file) << HexBytes(ReadFileBytes(kStateFileName));
        }
        EXPECT_TRUE(PictureOf(g_trayRecord.hIcon) == ResourcePicture(c.icon, GetSystemMetrics(SM_CXSMICON)));
        RemoveTrayIcon();
    }
}

TEST_F(MainWindowTest, PollTickRepaintsTheWindow) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    ASSERT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    WritePowerScript("1 100");
    SendMessageA(window, WM_TIMER, 1, 0);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "another timer repaints nothing";
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    RECT dirty = {};
    EXPECT_TRUE(GetUpdateRect(window, &dirty, FALSE));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_TRUE(EqualRect(&dirty, &client)) << "the whole client area";
    UpdateWindow(window);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "WM_PAINT validates it";
}

TEST_F(MainWindowTest, TickOnBatteryBelowFullShowsTheNoticeOverTheWindow) {
    WritePowerScript("0 50");
    HWND owner = nullptr;
    ModalDriver driver([&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        Click(dialog, IDOK);
    });
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"Corvane Alert"});
    EXPECT_EQ(owner, window);
    EXPECT_EQ(StatusText(), "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 50%");
    EXPECT_EQ(ReadFileBytes(kStateFileName), (Bytes{0, 0, 0, 0, 0, 0, 0}))
        << "calibration is reset after the notice";

    // Not again in the same discharge.
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    EXPECT_EQ(driver.dialogs.size(), 1u);
}

TEST_F(MainWindowTest, CountdownTickRaisesTheLowBatteryWarning) {
    g_calibration.calibrationActive = 1;
    g_calibration.countdownStarted = 1;
    g_calibration.remainingSeconds = 605;
    g_calibration.previousOnExternal = 0;
    WritePowerScript("0 1");
    ModalDriver driver([](HWND box) { Click(box, IDOK); });
    SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"Battery Alert"});
    EXPECT_EQ(driver.forcedCloses, 0);
    EXPECT_EQ(g_calibration.displayedRemaining, 600);
    EXPECT_EQ(g_calibration.lowAlertShown, 1);
}

TEST_F(MainWindowTest, TrayCallbackMessageIsWmUserPlusOne) {
    ASSERT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, TRAY_ICON_ID, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageA(window, WM_USER + 2, TRAY_ICON_ID, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(IsWindowVisible(window)) << "another message is not the tray's";
}

}  // namespace
