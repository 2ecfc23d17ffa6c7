// What the user does with the icon, as the shell reports it in each version,
// and the menu. A FakeNotificationArea reports the events and sees every call
// the shell makes; a ModalDriver plays the user in the menu.
#include "shell_harness.h"

#include "main_window.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using TrayTest = ShellTest;

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

}  // namespace
