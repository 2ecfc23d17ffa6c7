// What a long run repeats thousands of times — paints, ticks, the tray menu,
// the dialogs — must give back every GDI object, menu and window it takes.
// Each loop runs a few times before counting, since the first uses create
// objects the process keeps: fonts, the menu's window class, and Wine's DC
// cache, which grows on the second dialog shown, not the first.
#include "shell_harness.h"

#include "about_box.h"
#include "gui_object_count.h"
#include "main_window.h"
#include "notice_and_alert.h"
#include "status_drawing.h"
#include "system_library.h"
#include "tray_gestures_and_menu.h"
#include "tray_icon.h"

#include <oleacc.h>

#include <cstdio>

namespace {

int const WARM_UP = 3;

class NoLeakTest : public ShellTest {
protected:
    template <typename Step>
    void ExpectNoLeak(int times, Step step) {
        for (int i = 0; i < WARM_UP; ++i) step(i);
        PumpMessages();
        GuiObjectCounts const before = CountGuiObjects();
        for (int i = 0; i < times; ++i) step(i);
        PumpMessages();
        GuiObjectCounts const after = CountGuiObjects();
        EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after)
                                 << " (" << times << " times)";
    }
};

// A faulty server: a bare window that hands out the system's own client
// object, as Microsoft documents, but keeps its own reference to it and takes
// a block the size of Corvane's object, three pointers, that it never gives back.
LRESULT CALLBACK LeakingServer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    IUnknown* standard = nullptr;
    if (message != WM_GETOBJECT ||
        FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IUnknown, reinterpret_cast<void**>(&standard)))) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HeapAlloc(GetProcessHeap(), 0, 3 * sizeof(void*));
    return LresultFromObject(IID_IAccessible, wParam, standard);
}

// The blocks taken through this program's import of the heap's functions,
// less those given back (none, where it imports no HeapFree); Windows' own
// HeapAlloc and HeapFree do the work.
LONG g_blocksHeld;
FARPROC g_heapAlloc;
FARPROC g_heapFree;

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    LPVOID const block = AsFunction<decltype(&CountedHeapAlloc)>(g_heapAlloc)(heap, flags, bytes);
    g_blocksHeld += block != nullptr;
    return block;
}

BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    BOOL const freed = AsFunction<decltype(&CountedHeapFree)>(g_heapFree)(heap, flags, block);
    g_blocksHeld -= freed && block;
    return freed;
}

void SetPaintState(int i) {
    g_calibration.calibrationActive = static_cast<std::uint8_t>(i % 2);
    g_calibration.countdownStarted = static_cast<std::uint8_t>(i % 3 == 0);
    g_calibration.displayedRemaining = (i * 37) % 3600;
    g_calibration.systemPercent = i % 101;
    std::snprintf(g_calibration.statusText, sizeof g_calibration.statusText, "%s",
                  i % 4 == 0 ? "Unable to retrieve System Battery Status."
                             : "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 50%");
}

TEST_F(NoLeakTest, PaintingIntoAMemoryDc) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 200);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    ExpectNoLeak(3000, [&](int i) {
        SetPaintState(i);
        PaintStatusWindow(dc, window);
    });
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(NoLeakTest, TicksWithTheIconAndRepaints) {
    AddTrayIcon(window);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    // A cycle that never asks for the notice or the warning: plugged in,
    // unplugged at full charge (calibration engages), discharging, a failed
    // read, an unknown line status.
    char const* const readings[] = {"1 100", "0 95", "0 60", "fail", "255 40"};
    ModalDriver driver;
    ExpectNoLeak(2000, [&](int i) {
        WritePowerScript(readings[i % 5]);
        SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
        UpdateWindow(window);
    });
    EXPECT_TRUE(driver.dialogs.empty());
    EXPECT_GT(tray.calls.size(), 500u) << "the ticks did update the icon, at every new picture";
}

TEST_F(NoLeakTest, TrayMenus) {
    // Only in case a key goes astray: ends a menu that stays open.
    ModalDriver driver;
    ExpectNoLeak(1000, [&](int) {
        // Waiting in the queue, the key closes the menu as soon as it opens.
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        ShowTrayMenu(window, 200, 200);
    });
}

TEST_F(NoLeakTest, AboutBoxesAndNotices) {
    ModalDriver driver([](HWND dialog) { Click(dialog, IDOK); });
    ExpectNoLeak(60, [&](int) {
        ShowAboutBox(window);
        g_calibration.noticeSuppressed = 0;
        ShowCalibrationNotice(window);
    });
    EXPECT_EQ(driver.dialogs.size(), 2u * (60u + WARM_UP));
    EXPECT_EQ(driver.forcedCloses, 0);
}

// A screen reader asking a thousand times for the client object. Once the
// reader lets go of each, the system's object inside it must have no
// reference left, and Corvane's block must be back in the heap, which on
// every build it takes through this program's import. A faulty server shows
// that the counts see each leak.
TEST_F(NoLeakTest, AThousandScreenReaderRequests) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    HWND faulty = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(faulty, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LeakingServer));
    StandIn heapAlloc("HeapAlloc", CountedHeapAlloc), heapFree("HeapFree", CountedHeapFree);
    g_heapAlloc = heapAlloc.System();
    g_heapFree = heapFree.System();
    auto leftBehind = [](HWND asked) {
        LONG references = 0, blocks = -g_blocksHeld;
        for (int i = 0; i < 1000; ++i) {
            IAccessible* object = nullptr;
            AccessibleObjectFromWindow(asked, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object));
            if (!object) return std::string("no object");
            IOleWindow* standard = nullptr;  // the system's own object, which Corvane's passes this to
            HRESULT const found = object->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&standard));
            object->Release();
            if (FAILED(found)) return std::string("no system object");
            references += LONG(standard->Release());
        }
        blocks += g_blocksHeld;
        return std::to_string(references) + " references, " + std::to_string(blocks) + " blocks";
    };
    EXPECT_EQ(leftBehind(window), "0 references, 0 blocks");
    EXPECT_EQ(leftBehind(faulty), "1000 references, 1000 blocks") << "a server that leaks";
    DestroyWindow(faulty);
    CoUninitialize();
}

}  // namespace
