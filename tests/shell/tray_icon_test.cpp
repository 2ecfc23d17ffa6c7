// The notification-area icon: the record the shell keeps, the level icon each
// reading picks, what the shell asks of the notification area, the mouse on
// the icon and its menu. A FakeNotificationArea sees every call the shell makes.
#include "shell_harness.h"

#include "corvane_version.h"
#include "display_readings.h"
#include "main_window.h"
#include "resource.h"
#include "system_library.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <tuple>

namespace {

// The notification area draws its icons at the small-icon size, which under
// Wine follows the session's DPI.
int TraySize() { return GetSystemMetrics(SM_CXSMICON); }
std::string TrayPicture(int id) { return ResourcePicture(id, TraySize()); }

using TrayTest = ShellTest;

TEST_F(TrayTest, AddingTheIconFillsTheFirstLayoutRecordForThisWindow) {
    // Another window of the same class and title, made later, is the one
    // FindWindow would return; the record must name the window InitInstance made.
    HWND decoy = CreateWindowExA(0, g_className, g_windowTitle, WS_CAPTION | WS_SYSMENU, 0, 0,
                                 50, 50, nullptr, nullptr, TestModule(), nullptr);
    ASSERT_NE(decoy, nullptr);
    ASSERT_EQ(FindWindowA(g_className, g_windowTitle), decoy);

    AddTrayIcon(window);
    DestroyWindowQuietly(decoy);

    EXPECT_EQ(g_trayRecord.cbSize, TRAY_RECORD_BYTES) << "the first layout, as this build lays it out";

    ASSERT_EQ(tray.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    // Version 4 would hide the tip and pack the menu's place in physical pixels.
    EXPECT_EQ(tray.calls[1].version, 3u) << "for the keyboard, in the record layout that carries it";
    const TrayCall& add = tray.calls[0];
    EXPECT_EQ(add.message, DWORD(NIM_ADD));
    EXPECT_EQ(add.owner, window);
    EXPECT_EQ(add.id, 1u);
    EXPECT_EQ(add.flags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.callbackMessage, 1025u);
    EXPECT_EQ(add.tip, "Corvane " CORVANE_VERSION);
    EXPECT_EQ(add.iconWidth, TraySize()) << "the image drawn for the tray's size";
    EXPECT_TRUE(add.picture == TrayPicture(IDI_LEVEL_EMPTY)) << "an empty battery until the first tick";
}

TEST_F(TrayTest, EachReadingShowsItsLevelIcon) {
    struct Case {
        const char* what;
        const char* reading;
        int active, countdown, remaining;
        TrayLevel level;
        int icon;
    } const cases[] = {
        {"external power", "1 100", 0, 0, 0, TrayLevel::External, IDI_EXTERNAL},
        {"external power during a countdown", "1 1", 1, 1, 900, TrayLevel::External, IDI_EXTERNAL},
        {"inactive at 95%", "0 95", 0, 0, 0, TrayLevel::Full, IDI_LEVEL_FULL},
        {"inactive at 51%", "0 51", 0, 0, 0, TrayLevel::Full, IDI_LEVEL_FULL},
        {"inactive at 50%", "0 50", 0, 0, 0, TrayLevel::Medium, IDI_LEVEL_MEDIUM},
        {"inactive at 21%", "0 21", 0, 0, 0, TrayLevel::Medium, IDI_LEVEL_MEDIUM},
        {"inactive at 20%", "0 20", 0, 0, 0, TrayLevel::Low, IDI_LEVEL_LOW},
        {"inactive at 2%", "0 2", 0, 0, 0, TrayLevel::Low, IDI_LEVEL_LOW},
        {"inactive at 1% counts as empty", "0 1", 0, 0, 0, TrayLevel::Empty, IDI_LEVEL_EMPTY},
        {"inactive at 0%", "0 0", 0, 0, 0, TrayLevel::Empty, IDI_LEVEL_EMPTY},
        {"unknown line status at 40%", "255 40", 0, 0, 0, TrayLevel::Medium, IDI_LEVEL_MEDIUM},
        {"active at 1%, reserve untouched", "0 1", 1, 0, 0, TrayLevel::Medium, IDI_LEVEL_MEDIUM},
        {"active at 60%", "0 60", 1, 0, 0, TrayLevel::Full, IDI_LEVEL_FULL},
        {"countdown with a quarter hour left", "0 1", 1, 1, 900, TrayLevel::Low, IDI_LEVEL_LOW},
        {"countdown with nothing left", "0 1", 1, 1, 0, TrayLevel::Empty, IDI_LEVEL_EMPTY},
    };
    AddTrayIcon(window);
    std::string shown = TrayPicture(IDI_LEVEL_EMPTY);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_calibration.calibrationActive = static_cast<std::uint8_t>(c.active);
        g_calibration.countdownStarted = static_cast<std::uint8_t>(c.countdown);
        g_calibration.displayedRemaining = c.remaining;
        WritePowerScript(c.reading);
        tray.calls.clear();
        UpdateTrayIcon();
        std::string const wanted = TrayPicture(c.icon);
        EXPECT_EQ(g_trayRecord.hIcon, IconForLevel(c.level));
        // The shell hears of a new picture only, drawn for its size.
        EXPECT_EQ(tray.Messages(), shown == wanted ? std::vector<DWORD>{} : std::vector<DWORD>{NIM_MODIFY});
        if (!tray.calls.empty()) {
            EXPECT_TRUE(tray.calls[0].picture == wanted);
        }
        shown = wanted;
    }
}

TEST_F(TrayTest, LevelIconsAreFiveDistinctIcons) {
    TrayLevel const levels[] = {TrayLevel::External, TrayLevel::Empty, TrayLevel::Low,
                                TrayLevel::Medium, TrayLevel::Full};
    for (TrayLevel a : levels) {
        EXPECT_NE(IconForLevel(a), nullptr);
        for (TrayLevel b : levels) {
            if (a != b) {
                EXPECT_NE(IconForLevel(a), IconForLevel(b));
            }
        }
    }
}

TEST_F(TrayTest, FailedReadKeepsTheIconItShows) {
    AddTrayIcon(window);
    WritePowerScript("0 95");
    UpdateTrayIcon();
    ASSERT_EQ(g_trayRecord.hIcon, IconForLevel(TrayLevel::Full));
    char const* const failures[] = {"fail", "", "x 95", "0", nullptr};
    for (const char* failure : failures) {
        SCOPED_TRACE(failure ? std::string("script \"") + failure + "\"" : "no script");
        if (failure) WritePowerScript(failure);
        else RemovePowerScript();
        tray.calls.clear();
        UpdateTrayIcon();
        EXPECT_EQ(g_trayRecord.hIcon, IconForLevel(TrayLevel::Full));
        EXPECT_TRUE(tray.calls.empty()) << "nothing to tell the notification area";
    }
}

TEST_F(TrayTest, RemovedIconIsNotUpdatedOrRestored) {
    AddTrayIcon(window);
    WritePowerScript("0 95");
    UpdateTrayIcon();
    tray.calls.clear();
    RemoveTrayIcon();
    ASSERT_EQ(tray.Messages(), std::vector<DWORD>{NIM_DELETE});
    EXPECT_EQ(tray.calls[0].owner, window);
    EXPECT_EQ(tray.calls[0].id, 1u);
    EXPECT_EQ(g_trayRecord.hWnd, nullptr);

    tray.calls.clear();
    WritePowerScript("1 100");
    UpdateTrayIcon();
    EXPECT_EQ(g_trayRecord.hIcon, IconForLevel(TrayLevel::Full)) << "unchanged";
    EXPECT_EQ(g_trayRecord.hWnd, nullptr);
    RestoreTrayIcon();
    EXPECT_EQ(SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 0);
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(TrayTest, NewTaskBarGetsTheIconBackAsItLastWas) {
    AddTrayIcon(window);
    WritePowerScript("0 30");
    UpdateTrayIcon();
    NOTIFYICONDATAA const before = g_trayRecord;
    tray.calls.clear();
    tray.showsIcon = false;

    EXPECT_EQ(SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0), 0);
    // The picture is loaded again, as the new task bar may have another scaling.
    NOTIFYICONDATAA after = g_trayRecord;
    after.hIcon = before.hIcon;
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "the record is not changed but for its picture";
    ASSERT_EQ(tray.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(tray.calls[0].owner, window);
    EXPECT_TRUE(tray.calls[0].picture == TrayPicture(IDI_LEVEL_MEDIUM));
    EXPECT_EQ(g_trayRecord.hIcon, IconForLevel(TrayLevel::Medium));
    ICONINFO old = {};
    EXPECT_FALSE(GetIconInfo(before.hIcon, &old)) << "the earlier pictures are freed";
    tray.calls.clear();
    UpdateTrayIcon();
    EXPECT_TRUE(tray.calls.empty()) << "added once, as it was";
}

// The task bar's DPI as its window gives it, and the small-icon size as
// Windows tells a DPI-unaware program: 16 px at every scaling.
UINT g_taskBarDpi;
UINT WINAPI TaskBarDpi(HWND) { return g_taskBarDpi; }
FARPROC g_systemMetrics;
int g_smallIconMetric;
int WINAPI SmallIconMetric(int index) {
    if (index == SM_CXSMICON || index == SM_CYSMICON) return g_smallIconMetric;
    return AsFunction<decltype(&SmallIconMetric)>(g_systemMetrics)(index);
}

// Under Wine the DPI and the metric agree, so only stand-ins that answer as
// Windows does show which one the size follows: the task bar's DPI, and the
// metric where Windows before 10 version 1607 cannot be asked for it.
TEST_F(TrayTest, IconIsLoadedAtTheTaskBarsDpiNotTheMetricWindowsTellsThisProgram) {
    struct Case {
        UINT dpi;  // 0: GetDpiForWindow is missing
        int metric;
        int size;
    } const cases[] = {{144, 16, 24}, {168, 16, 28}, {264, 16, 44}, {0, 20, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE("task bar at " + std::to_string(c.dpi) + " dpi, metric " + std::to_string(c.metric));
        g_taskBarDpi = c.dpi;
        g_smallIconMetric = c.metric;
        StandIn metric("GetSystemMetrics", SmallIconMetric);
        g_systemMetrics = metric.System();
        StandIn const dpi = c.dpi ? StandIn("GetDpiForWindow", TaskBarDpi) : StandIn("GetDpiForWindow", FARPROC());
        LoadLevelIcons(TestModule());
        tray.showsIcon = false;
        tray.calls.clear();
        AddTrayIcon(window);
        ASSERT_FALSE(tray.calls.empty());
        EXPECT_EQ(tray.calls[0].iconWidth, c.size);
        EXPECT_TRUE(tray.calls[0].picture == ResourcePicture(IDI_LEVEL_EMPTY, c.size));
    }
    LoadLevelIcons(TestModule());
}

// A primary display of another scaling changes the task bar's DPI and sends
// WM_DISPLAYCHANGE, not TaskbarCreated: the level shown is shown again at
// the new size, once; a change that keeps the size tells the shell nothing.
TEST_F(TrayTest, DisplayChangeShowsTheLevelAtANewTraySizeOnce) {
    g_taskBarDpi = 96;
    StandIn dpi("GetDpiForWindow", TaskBarDpi);
    LoadLevelIcons(TestModule());
    AddTrayIcon(window);
    WritePowerScript("0 30");
    UpdateTrayIcon();
    for (UINT newDpi : {96u, 144u, 144u}) {
        SCOPED_TRACE(std::to_string(newDpi) + " dpi");
        bool const resized = newDpi != g_taskBarDpi;
        g_taskBarDpi = newDpi;
        tray.calls.clear();
        EXPECT_EQ(SendMessageA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080)), 0);
        ASSERT_EQ(tray.Messages(), resized ? std::vector<DWORD>{NIM_MODIFY} : std::vector<DWORD>{});
        if (resized) {
            EXPECT_EQ(tray.calls[0].iconWidth, 24);
            EXPECT_TRUE(tray.calls[0].picture == ResourcePicture(IDI_LEVEL_MEDIUM, 24));
        }
    }
    EXPECT_EQ(g_trayRecord.hIcon, IconForLevel(TrayLevel::Medium));
    tray.calls.clear();
    UpdateTrayIcon();
    EXPECT_TRUE(tray.calls.empty()) << "the tick finds the picture it wants";
    g_taskBarDpi = 0;
    LoadLevelIcons(TestModule());
}

// The ticks tell the shell only what changed: a new picture, or the icon
// again where the shell does not show it. At logon the shell can refuse the
// add; it can lose the icon, so that a modify fails; and it can fail an add
// that it carries out after all, and then refuse it as already there.
TEST_F(TrayTest, TicksTellTheShellOnlyWhatChanged) {
    using Calls = std::vector<DWORD>;
    auto ticks = [&](const char* reading, int count) {
        WritePowerScript(reading);
        tray.calls.clear();
        for (int i = 0; i < count; ++i) SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
        return tray.Messages();
    };
    tray.addsToRefuse = 2;
    AddTrayIcon(window);
    EXPECT_EQ(ticks("1 100", 1), (Calls{NIM_ADD, NIM_MODIFY})) << "refused again, and not there either";
    EXPECT_EQ(ticks("1 100", 1), (Calls{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(tray.calls[0].tip, "Corvane " CORVANE_VERSION);
    EXPECT_EQ(ticks("1 100", 20), Calls{});
    EXPECT_EQ(ticks("fail", 5), Calls{});
    EXPECT_EQ(ticks("0 95", 20), Calls{NIM_MODIFY});
    tray.showsIcon = false;
    EXPECT_EQ(ticks("1 100", 1), (Calls{NIM_MODIFY, NIM_ADD, NIM_SETVERSION})) << "lost";
    tray.showsIcon = false;
    tray.addsToRefuse = 1;
    RestoreTrayIcon();
    tray.showsIcon = true;
    EXPECT_EQ(ticks("1 100", 1), (Calls{NIM_ADD, NIM_MODIFY, NIM_SETVERSION})) << "there after all";
    EXPECT_EQ(ticks("1 100", 3), Calls{});
}

// Each gesture on the icon as the shell reports it, in the form of the
// version it agreed to, from a shell that would agree to 4, to 3 only, or to
// none, where the keys become a right click. Each gesture does its one thing
// once, however the right click's messages fall around its menu; the menu
// opens at the pointer; and the keyboard goes back to the notification area
// only after Escape, and only to a user who came from it with the keyboard.
TEST_F(TrayTest, EachGestureDoesOneThingInEveryVersion) {
    POINT const pointer = {300, 400};
    for (UINT highest : {4u, 3u, 0u}) {
        SCOPED_TRACE("the shell agrees to versions up to " + std::to_string(highest));
        bool const keys = highest != 0;
        tray.calls.clear();
        tray.showsIcon = false;
        tray.highestVersion = highest;
        AddTrayIcon(window);
        ASSERT_TRUE(SetCursorPos(pointer.x, pointer.y));
        auto focusReturns = [&] { return tray.Messages() == std::vector<DWORD>{NIM_SETFOCUS}; };

        RECT menu = {};
        std::function<void(HWND)> user = [](HWND) { EndMenu(); };
        ModalDriver driver({}, [&](HWND menuWindow) {
            GetWindowRect(menuWindow, &menu);
            user(menuWindow);
        });
        auto escape = [&](HWND) { PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0); };

        tray.Report({NIN_KEYSELECT, NIN_KEYSELECT});  // Enter, which Windows may report twice
        EXPECT_EQ(IsWindowVisible(window) && GetForegroundWindow() == window, keys);
        tray.calls.clear();
        SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(focusReturns(), keys) << "Escape in the status window";
        // A click shows it, for a user of the mouse, who keeps it after Escape.
        tray.Report({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT});
        EXPECT_TRUE(IsWindowVisible(window));
        tray.calls.clear();
        SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(tray.calls.empty()) << "Escape after a click";
        // A double click hides it: its second press does nothing.
        tray.Report({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT});
        tray.Report({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(driver.menus, 0);

        // The rest of a right click arrives while its menu is open, and after it closed.
        tray.calls.clear();
        bool stayedOpen = false;
        user = [&](HWND menuWindow) {
            tray.Report({WM_MOUSEMOVE, WM_RBUTTONUP, WM_MOUSEMOVE, WM_CONTEXTMENU, WM_RBUTTONDOWN});
            stayedOpen = IsWindowVisible(menuWindow) && tray.calls.empty();
            escape(menuWindow);
        };
        tray.Report({WM_RBUTTONDOWN});
        EXPECT_TRUE(stayedOpen) << "not closed, doubled or handed back while open";
        user = [](HWND) { EndMenu(); };
        tray.Report({WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONUP, WM_MOUSEMOVE, WM_CONTEXTMENU,
                     WM_RBUTTONDBLCLK, WM_RBUTTONUP, WM_CONTEXTMENU});
        EXPECT_EQ(driver.menus, 2);
        EXPECT_TRUE(tray.calls.empty()) << "a menu opened by the mouse";
        EXPECT_LE(std::abs(menu.left - pointer.x) + std::abs(menu.bottom - pointer.y), 4) << "at the pointer";
        // A press whose release the open menu took: the shell never ends that click.
        tray.Report({WM_RBUTTONDOWN});
        Sleep(GetDoubleClickTime() + 100);

        // The menu key: left with Escape, the keyboard goes back; left with a
        // click elsewhere, it stays where the click put it.
        user = escape;
        tray.Report({WM_CONTEXTMENU});
        EXPECT_EQ(driver.menus, keys ? 4 : 3);
        EXPECT_EQ(focusReturns(), keys);
        tray.calls.clear();
        user = [&](HWND) {
            SetCursorPos(10, 10);
            PostMessageA(window, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
        };
        tray.Report({WM_CONTEXTMENU});
        EXPECT_EQ(driver.menus, keys ? 5 : 3);
        EXPECT_TRUE(tray.calls.empty());
        EXPECT_FALSE(PumpMessages());
        EXPECT_TRUE(driver.dialogs.empty());
        EXPECT_EQ(driver.forcedCloses, 0);
    }
}

std::vector<std::string> MenuItems(HMENU menu) {
    std::vector<std::string> items;
    int const count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.push_back(std::to_string(GetMenuItemID(menu, i)) + " " + text);
    }
    return items;
}

// MN_GETHMENU: the menu a popup menu window shows.
HMENU MenuOf(HWND menuWindow) {
    return reinterpret_cast<HMENU>(SendMessageA(menuWindow, 0x01E1, 0, 0));
}

TEST_F(TrayTest, RightButtonDownOpensAboutAndExitMenu) {
    AddTrayIcon(window);
    std::vector<std::string> items;
    ModalDriver driver({}, [&](HWND menuWindow) {
        items = MenuItems(MenuOf(menuWindow));
        EndMenu();
    });
    EXPECT_EQ(SendMessageA(window, WM_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN), 0);
    EXPECT_FALSE(PumpMessages());
    EXPECT_EQ(driver.menus, 1);
    EXPECT_EQ(driver.forcedCloses, 0);
    EXPECT_EQ(items, (std::vector<std::string>{"1027 About", "1026 Exit"}));
    EXPECT_TRUE(driver.dialogs.empty()) << "dismissing the menu chooses nothing";
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(TrayTest, ChoosingAboutInTheMenuOpensTheAboutBox) {
    ModalDriver driver([](HWND dialog) { Click(dialog, IDOK); },
                       [&](HWND) {
                           // The menu's own loop reads the keys: the first item, then Enter.
                           PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
                           PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
                       });
    ShowTrayMenu(window, 100, 100);
    EXPECT_FALSE(PumpMessages());
    EXPECT_EQ(driver.menus, 1);
    EXPECT_EQ(driver.dialogs, std::vector<std::string>{"About"});
    EXPECT_EQ(driver.forcedCloses, 0);
    EXPECT_TRUE(IsWindow(window));
}

std::tuple<HWND, UINT, DWORD> g_letThrough;

BOOL WINAPI RecordFilterChange(HWND window, UINT message, DWORD action, void*) {
    g_letThrough = std::make_tuple(window, message, action);
    return TRUE;
}

HWND WINAPI FindNoWindow(LPCSTR, LPCSTR) { return nullptr; }
BOOL WINAPI AnswerHung(HWND) { return TRUE; }

// Explorer's troubles, which Wine's never has. An elevated Corvane hears a
// restarted Explorer's TaskbarCreated only if it lets that message through;
// and a tick leaves a missing or hung shell alone, as a call would wait
// seconds on it, until it answers again.
TEST_F(TrayTest, TaskbarCreatedIsLetThroughAndAShellThatCannotAnswerIsLeftAlone) {
    g_letThrough = {};
    {
        StandIn filter("ChangeWindowMessageFilterEx", RecordFilterChange);
        tray.addsToRefuse = 1;  // so that each tick adds the icon, where the shell can answer
        AddTrayIcon(window);
    }
    EXPECT_EQ(g_letThrough, std::make_tuple(window, RegisterWindowMessageA("TaskbarCreated"), DWORD(MSGFLT_ALLOW)));
    WritePowerScript("1 100");
    auto tick = [&] {
        tray.calls.clear();
        SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
        return tray.Messages();
    };
    for (bool hung : {false, true}) {
        StandIn const shell = hung ? StandIn("IsHungAppWindow", AnswerHung) : StandIn("FindWindowA", FindNoWindow);
        EXPECT_EQ(tick(), std::vector<DWORD>{}) << (hung ? "a hung one" : "no task bar");
    }
    EXPECT_EQ(tick(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION})) << "one that answers again";
}

}  // namespace
