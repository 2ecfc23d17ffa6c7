// What the shell tests share: the test program stands in for WinMain (the
// strings, the window class, the icons), scripts the power reading through
// corvanePower.txt, and drives the modal dialogs, message boxes and menus
// that the shell opens on the test's own thread.
#pragma once

#include "calibration_state.h"
#include "state_file_bytes.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// The test program itself, which has the resources linked in.
HINSTANCE TestModule();

// WinMain's start-up, run once per process: the title and class name from the
// string table, the window class and the level icons. Returns the atom of the
// one RegisterMainWindowClass call.
ATOM PrepareShell();

// The reading ReadPowerStatus returns from now on: "AC PERCENT" or "fail".
void WritePowerScript(const char* text);
void RemovePowerScript();

bool FileExists(const char* path);
void RemoveStateFiles();

// Dispatches every queued message; true when a WM_QUIT was among them (it is
// taken out of the queue so that it cannot end a later modal loop).
bool PumpMessages();

// Wine hands focus and activation over through the X server, late: a focus
// change from one step can reach the program during the next, where it
// cancels the menu it finds open. This dispatches every message pending for
// this thread, and those that come in, until nothing new has arrived for a
// moment; a test calls it before a gesture whose outcome depends on the
// state of the windows. While a menu or dialog is open its own loop owns the
// queue, and it does nothing. Returns as PumpMessages does.
bool SettleWindows();

// Destroys a status window the way a test must: its WM_DESTROY is Exit,
// which releases the drawing brushes for the rest of the process and posts
// WM_QUIT, so only the tests of Exit itself may run it. Here the window
// loses its procedure first, and the tray record is cleared as Exit would.
void DestroyWindowQuietly(HWND window);

// Wine's shell32 passes every Shell_NotifyIcon call to the first top-level
// "Shell_TrayWnd" window as WM_COPYDATA, with the NIM_ code as dwData and the
// record's fields (hWnd, uID, uFlags, uCallbackMessage, the tip as 128 UTF-16
// characters, two state words, the balloon text as 256, then uVersion) at the
// start of a 960-byte header that ends with the icon's size, and the icon's
// bits after it. A window of that class made here is found before the
// desktop's own, so a test sees every call the shell makes while one of
// these exists.
struct TrayCall {
    DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_SETVERSION, NIM_SETFOCUS
    HWND owner;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    std::string tip;
    UINT version;
    // With NIF_ICON, the icon's width and its picture as PictureOf gives it.
    int iconWidth;
    std::string picture;
};

// An icon's mask and colour bits, as Wine's shell32 hands them to the
// notification area.
std::string PictureOf(HICON icon);
// The picture of the resource's own image for that size.
std::string ResourcePicture(int id, int size);

class FakeNotificationArea {
public:
    FakeNotificationArea();
    ~FakeNotificationArea();
    FakeNotificationArea(const FakeNotificationArea&) = delete;
    FakeNotificationArea& operator=(const FakeNotificationArea&) = delete;

    std::vector<TrayCall> calls;
    std::vector<DWORD> Messages() const;

    // Shell_NotifyIcon returns the fake's answer, which follows the one icon
    // shown, as the shell's does; the next addsToRefuse adds fail as well, as
    // they can while the shell is still busy with the logon. It agrees to
    // callback versions up to highestVersion, as Vista's shell and later do.
    bool showsIcon = false;
    int addsToRefuse = 0;
    UINT highestVersion = NOTIFYICON_VERSION_4;
    UINT agreedVersion = 0;

    // Reports each event on the icon to its owner as the shell does, in the
    // form of the version agreed: with 4, the event in the low word and the
    // icon's place in wParam, in physical pixels, as a DPI-aware task bar at
    // 150 % packs it for a program that is not. Like a user's, each gesture
    // comes once the windows have settled from the one before.
    void Report(std::initializer_list<UINT> events) const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    TrayCall icon_ = {};  // the add that put up the icon shown
    static FakeNotificationArea* current_;
};

// A fresh state record, no state or script file, and a hidden status window
// from InitInstance whose poll timer is stopped, so that only the test ticks.
// The notification area is a fake one: the desktop's own takes seconds for
// some calls, and the fake lets a test see what the shell asked of it.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    FakeNotificationArea tray;

    HWND window = nullptr;
    // Whether InitInstance had started the poll timer (KillTimer found it).
    bool pollTimerWasRunning = false;
};

// Watches, from a thread timer that every modal loop dispatches, for the
// dialogs, message boxes ("#32770") and popup menus ("#32768") this thread
// opens, and hands each new one to a handler once. A window the handler left
// open is closed by force after two seconds and counted, so a test that
// fails to close its dialog fails instead of hanging. One that ends before
// the handler given for it saw it fails the test, naming the messages that
// ended it.
class ModalDriver {
public:
    using Handler = std::function<void(HWND)>;

    // Without a handler a dialog gets IDCANCEL and a menu is ended.
    explicit ModalDriver(Handler onDialog = {}, Handler onMenu = {});
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Captions of the dialogs seen, in order.
    std::vector<std::string> dialogs;
    int menus = 0;
    int forcedCloses = 0;

    // Whether a menu or dialog is open, whose own loop then owns the queue.
    static bool AnyOpen();

private:
    struct Seen {
        HWND window;
        DWORD since;
    };
    // A menu or dialog from its start to its end, with the last messages
    // that could have ended it.
    struct Open {
        bool isMenu;
        HWND window;  // the dialog; null for a menu
        bool handled;
        std::vector<std::string> lastMessages;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK OnWindow(HWND window, LPARAM);
    static LRESULT CALLBACK OnRead(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OnSent(int code, WPARAM wParam, LPARAM lParam);
    void Check();
    void Visit(HWND window);
    std::vector<Open>::iterator FindOpen(bool isMenu, HWND window);
    void Note(const MSG& message, const char* how);
    void Ended(bool isMenu, HWND window);

    Handler onDialog_;
    Handler onMenu_;
    UINT_PTR timer_;
    HHOOK readHook_;
    HHOOK sentHook_;
    std::vector<Seen> seen_;
    std::vector<Open> open_;
    ModalDriver* previous_;
    static ModalDriver* current_;
};

// For the object's life, this program's calls of a system function go to a
// stand-in, so that a test sees what the shell asks of Windows where Wine
// would not mind: through the program's import of it or, for a function the
// shell looks up by name when it needs it (FindSystemFunction), through
// GetProcAddress's answer, for one such function at a time.
class StandIn {
public:
    template <typename Function>
    StandIn(const char* function, Function* standIn)
        : StandIn(function, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(standIn))) {}
    StandIn(const char* function, FARPROC standIn);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Windows' own function, where it was imported.
    FARPROC System() const { return imported_; }

private:
    static FARPROC WINAPI LookUp(HMODULE module, LPCSTR name);
    const char* function_;
    FARPROC standIn_;
    FARPROC imported_;
    FARPROC getProcAddress_ = nullptr;
    static StandIn* lookedUp_;
};

// WCAG's contrast ratio of two colours, from 1 to 21.
double ContrastRatio(COLORREF a, COLORREF b);

std::string ClassOf(HWND window);
std::string TextOf(HWND window);

// Clicks a dialog's control as the mouse would (BM_CLICK).
void Click(HWND dialog, int controlId);
