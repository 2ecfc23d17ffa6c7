// The real programs in a Wine desktop, reached from this process only the
// way the window system would.
#include "corvane_version.h"
#include "program_under_test.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <cstdlib>
#include <string>

namespace {

std::string ProgramPath(const char* variable) {
    const char* path = std::getenv(variable);
    return path ? path : "";
}

const std::string& ShippedProgram() {
    static const std::string path = ProgramPath("CORVANE_EXE");
    return path;
}

const std::string& ScriptedProgram() {
    static const std::string path = ProgramPath("CORVANE_SCRIPTED_EXE");
    return path;
}

// What a screen reader reads of the status window, through another process's accessibility.
struct HeardTexts {
    std::string name, value, description, nameWithoutChild;
    long role = 0;
};

std::string Narrow(BSTR text) {
    char narrow[512] = {};
    if (text) WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    SysFreeString(text);
    return narrow;
}

HeardTexts ReadClientObject(HWND window) {
    HeardTexts heard;
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client)))) {
        return heard;
    }
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (client->get_accName(self, &text) == S_OK) heard.name = Narrow(text);
    if (client->get_accValue(self, &text) == S_OK) heard.value = Narrow(text);
    if (client->get_accDescription(self, &text) == S_OK) heard.description = Narrow(text);
    VARIANT left = {};  // VT_EMPTY: the child left out, as some clients do
    if (client->get_accName(left, &text) == S_OK) heard.nameWithoutChild = Narrow(text);
    VARIANT role = {};
    if (client->get_accRole(self, &role) == S_OK && role.vt == VT_I4) heard.role = role.lVal;
    client->Release();
    return heard;
}

// The client object's change events, and the name each one lets a listener read.
HWND g_listenedWindow;
std::vector<std::pair<DWORD, std::string>> g_heardChanges;

void CALLBACK HearChange(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (window != g_listenedWindow || object != OBJID_CLIENT || child != CHILDID_SELF) return;
    // The read lets the next event in meanwhile, so the place is taken first.
    std::size_t const place = g_heardChanges.size();
    g_heardChanges.emplace_back(event, "");
    std::string name = ReadClientObject(window).name;
    g_heardChanges[place].second = name;
}

// Out-of-context events arrive as messages to the thread that listens.
void ListenFor(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override { CloseHandles(&program); }

    void Start(const std::string& exe, const char* folderName, const char* reading = nullptr) {
        std::string folder = MakeFreshFolder(folderName);
        if (reading) WriteText(PathIn(folder, "corvanePower.txt"), reading);
        ASSERT_TRUE(StartProgram(exe, folder, &program)) << exe;
        ASSERT_TRUE(StopPollTimer(program)) << "the tests count every tick";
    }

    void Restart(const std::string& exe) {
        CloseHandles(&program);
        ASSERT_TRUE(StartProgram(exe, program.folder, &program));
        ASSERT_TRUE(StopPollTimer(program));
    }

    // Runs ticks on a reading and waits until they are done.
    void TickOn(const char* reading, int ticks = 1) {
        SetPowerReading(program, reading);
        PostTicks(program.window, ticks);
        ASSERT_TRUE(WaitUntilHandled(program.window));
    }

    // A dialog is shown once all its controls exist and it has been initialised.
    HWND WaitForDialog(const char* title, DWORD timeoutMs = 30000) {
        HWND dialog = nullptr;
        WaitFor([&] {
            dialog = FindDialog(program.process.dwProcessId, title);
            return dialog && IsWindowVisible(dialog);
        }, timeoutMs);
        return dialog;
    }

    RunningProgram program;
};

using ShippedProgramTest = ProgramTest;

TEST_F(ShippedProgramTest, StartsHiddenAndTheTrayIconTogglesTheWindow) {
    Start(ShippedProgram(), "toggle");
    EXPECT_FALSE(IsWindowVisible(program.window)) << "hidden at start";

    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(program.window) != 0; }));
    RECT frame;
    GetWindowRect(program.window, &frame);
    EXPECT_EQ(frame.right - frame.left, 250);
    EXPECT_EQ(frame.bottom - frame.top, 185);

    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(program.window); }));

    // Releases and double clicks do nothing.
    ClickTrayIcon(program.window, WM_LBUTTONUP);
    ClickTrayIcon(program.window, WM_LBUTTONDBLCLK);
    ClickTrayIcon(program.window, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntilHandled(program.window));
    EXPECT_FALSE(IsWindowVisible(program.window));
}

TEST_F(ShippedProgramTest, ClosingOnlyHidesTheWindow) {
    Start(ShippedProgram(), "close");
    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(program.window) != 0; }));
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(program.window); }));
    ASSERT_TRUE(WaitUntilHandled(program.window));
    EXPECT_TRUE(IsWindow(program.window));
    EXPECT_TRUE(IsRunning(program));
}

TEST_F(ShippedProgramTest, AboutShowsItsTextsAndExitEndsWithCodeZero) {
    Start(ShippedProgram(), "about");
    PostMessageA(program.window, WM_COMMAND, IDM_TRAY_ABOUT, 0);
    HWND about = WaitForDialog("About");
    ASSERT_NE(about, nullptr);
    std::vector<std::string> texts = ControlTexts(about);
    auto has = [&](const std::string& text) {
        for (const std::string& t : texts) {
            if (t == text) return true;
        }
        return false;
    };
    EXPECT_TRUE(has("OK"));
    EXPECT_TRUE(has("Corvane " CORVANE_VERSION));
    EXPECT_TRUE(has("The system power manager is miscalculating the battery charge percentage. "
                    "Corvane will compensate for this by engaging a new time remaining after the "
                    "system status depletes from 100% to 1%. To activate, fully charge the battery "
                    "and disconnect power."));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));

    EXPECT_EQ(ExitProgram(&program), 0);
}

using ScriptedProgramTest = ProgramTest;

TEST_F(ScriptedProgramTest, ADischargeFromNinetyFivePercentEngagesCalibration) {
    Start(ScriptedProgram(), "engage", "0 95");
    EXPECT_TRUE(StateFile(program).empty()) << "nothing is written before the first tick";
    TickOn("0 95");
    EXPECT_EQ(StateFile(program), StateFileBytes(0, 0, 1, 0)) << HexBytes(StateFile(program));
    TickOn("0 60", 5);
    EXPECT_EQ(StateFile(program), StateFileBytes(0, 0, 1, 0));
    EXPECT_EQ(FindDialog(program.process.dwProcessId, "Corvane Alert"), nullptr);
}

// Silenced once, the notice stays silent after a restart: the choice is in the file.
TEST_F(ScriptedProgramTest, TheNoticeCanBeSilencedForGood) {
    Start(ScriptedProgram(), "notice", "0 50");
    PostTicks(program.window, 1);
    HWND notice = WaitForDialog("Corvane Alert");
    ASSERT_NE(notice, nullptr);
    HWND box = GetDlgItem(notice, 1001);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(box, BM_CLICK, 0, 0);
    ASSERT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    PostMessageA(notice, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(notice); }));
    ASSERT_TRUE(WaitUntilHandled(program.window));
    Bytes file = StateFile(program);
    ASSERT_EQ(file.size(), 7u);
    EXPECT_EQ(file[6], 1) << HexBytes(file);

    ASSERT_EQ(ExitProgram(&program), 0);
    Restart(ScriptedProgram());
    TickOn("0 50");
    EXPECT_EQ(FindDialog(program.process.dwProcessId, "Corvane Alert"), nullptr);
    EXPECT_EQ(StateFile(program), StateFileBytes(0, 0, 0, 1));
}

TEST_F(ScriptedProgramTest, TheWarningBoxOpensAtTenMinutesAndAgainAtOne) {
    Start(ScriptedProgram(), "alerts", "0 95");
    TickOn("0 95");
    TickOn("0 1", 599);
    EXPECT_EQ(StateFile(program), StateFileBytes(1, 605, 1, 0)) << HexBytes(StateFile(program));
    EXPECT_EQ(FindDialog(program.process.dwProcessId, "Battery Alert"), nullptr);

    PostTicks(program.window, 1);
    HWND warning = WaitForDialog("Battery Alert");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(warning, 0xFFFF)), "Battery is getting low. Plug in soon.");
    EXPECT_EQ(StateFile(program), StateFileBytes(1, 600, 1, 0));
    PostMessageA(warning, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning); }));

    TickOn("0 1", 107);
    EXPECT_EQ(StateFile(program), StateFileBytes(1, 65, 1, 0));
    PostTicks(program.window, 1);
    warning = WaitForDialog("Battery Alert");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(StateFile(program), StateFileBytes(0, 60, 0, 0)) << "calibration ended at the last minute";
    PostMessageA(warning, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning); }));
    EXPECT_EQ(ExitProgram(&program), 0);
}

TEST_F(ScriptedProgramTest, AFailedReadChangesNothingAndTheProgramRunsOn) {
    Start(ScriptedProgram(), "failed-read", "0 95");
    TickOn("0 95");
    TickOn("0 1", 3);
    Bytes before = StateFile(program);
    ASSERT_EQ(before, StateFileBytes(1, 3585, 1, 0));

    TickOn("fail", 5);
    TickOn("0 1 2 3", 5);
    DeleteFileA(PathIn(program.folder, "corvanePower.txt").c_str());
    PostTicks(program.window, 5);
    ASSERT_TRUE(WaitUntilHandled(program.window));
    EXPECT_EQ(StateFile(program), before);
    EXPECT_TRUE(IsRunning(program));

    TickOn("0 1");
    EXPECT_EQ(StateFile(program), StateFileBytes(1, 3580, 1, 0)) << "the next good reading carries on";
    EXPECT_EQ(ExitProgram(&program), 0);
}

// Exit chosen while a tick waits in the notice or the warning box: the
// program still ends with code 0, and the waiting tick finishes its save.
TEST_F(ScriptedProgramTest, ExitWhileANoticeOrWarningIsOpenEndsCleanly) {
    Start(ScriptedProgram(), "exit-in-notice", "0 50");
    PostTicks(program.window, 1);
    HWND notice = WaitForDialog("Corvane Alert");
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(ExitProgram(&program), 0);
    EXPECT_EQ(StateFile(program), StateFileBytes(0, 0, 0, 0)) << "the reset after the notice was saved";

    WriteFileBytes(PathIn(program.folder, "corvaneState.dat"), StateFileBytes(1, 605, 1, 0));
    SetPowerReading(program, "0 1");
    Restart(ScriptedProgram());
    PostTicks(program.window, 1);
    ASSERT_NE(WaitForDialog("Battery Alert"), nullptr);
    EXPECT_EQ(ExitProgram(&program), 0);
    EXPECT_EQ(StateFile(program), StateFileBytes(1, 600, 1, 0));
}

TEST_F(ScriptedProgramTest, AScreenReaderHearsTheTextsAndOnlyTheirChanges) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    Start(ScriptedProgram(), "screen-reader", "0 95");
    // Sent, so that the window is read before it was ever shown.
    ASSERT_TRUE(SendTick(program.window));
    HeardTexts hidden = ReadClientObject(program.window);
    EXPECT_EQ(hidden.name, "Calibrated Battery: 97%, Time Remaining: 01:57");
    EXPECT_EQ(hidden.value, "Power Source: Battery, Calibration: Active, System Battery: 95%");
    EXPECT_EQ(hidden.nameWithoutChild, hidden.name);
    EXPECT_NE(hidden.description, hidden.value) << "a description that repeats the value is heard twice";
    EXPECT_EQ(hidden.role, ROLE_SYSTEM_CLIENT) << "the rest is the system's";

    g_listenedWindow = program.window;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, HearChange,
                                         program.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    TickOn("0 60");
    ListenFor(1000);
    using Heard = std::vector<std::pair<DWORD, std::string>>;
    EXPECT_EQ(g_heardChanges, (Heard{{EVENT_OBJECT_NAMECHANGE, "Calibrated Battery: 80%, Time Remaining: 01:36"},
                                     {EVENT_OBJECT_VALUECHANGE, "Calibrated Battery: 80%, Time Remaining: 01:36"}}));
    g_heardChanges.clear();
    TickOn("0 60");
    ListenFor(1000);
    EXPECT_EQ(g_heardChanges, Heard{}) << "a tick that changes nothing says nothing";
    UnhookWinEvent(hook);

    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(program.window) != 0; }));
    HeardTexts shown = ReadClientObject(program.window);
    EXPECT_EQ(shown.name, "Calibrated Battery: 80%, Time Remaining: 01:36");
    EXPECT_EQ(shown.value, "Power Source: Battery, Calibration: Active, System Battery: 60%");
    EXPECT_EQ(ExitProgram(&program), 0);
    CoUninitialize();
}

}  // namespace
