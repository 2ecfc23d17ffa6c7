// Reaching a running Corvane from another process, only the way the window
// system would: by its window class and title, with posted and sent
// messages, and through the files in its working folder.
#pragma once

#include "state_file_bytes.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

UINT const WM_TRAY_CALLBACK = WM_USER + 1;
WPARAM const POLL_TIMER_ID = 2;
WORD const IDM_TRAY_EXIT = 1026;
WORD const IDM_TRAY_ABOUT = 1027;

struct RunningProgram {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    std::string folder;
};

// Polls until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// Starts the program with the folder as its working directory and waits for
// its status window.
bool StartProgram(const std::string& exe, const std::string& folder, RunningProgram* program);
// Waits for a status window that another program started, and opens its
// process; the folder is the one it should be working in.
bool AttachToProgram(const std::string& folder, RunningProgram* program);
// Chooses Exit from the tray menu and waits for the process; its exit code, or -1.
int ExitProgram(RunningProgram* program);
// Waits for the process to end by itself; its exit code, or -1.
int WaitForExitCode(const RunningProgram& program, DWORD timeoutMs);
// Ends the process at once, as a power cut would.
void KillProgram(RunningProgram* program);
void CloseHandles(RunningProgram* program);
bool IsRunning(const RunningProgram& program);

// A top-level window of the process; a null class or title matches any.
HWND FindTopLevel(DWORD processId, const char* className, const char* title);
HWND FindStatusWindow(DWORD processId);
// A top-level dialog (including message boxes) of the process with this title.
HWND FindDialog(DWORD processId, const char* title);
std::string WindowText(HWND window);
// The texts of a dialog's controls, in creation order.
std::vector<std::string> ControlTexts(HWND dialog);

// Stops the program's own five-second timer, so that the only ticks are the
// ones the test sends, however slowly the machine runs.
bool StopPollTimer(const RunningProgram& program);
void PostTicks(HWND window, int count);
// Runs one tick and returns once it is done, leaving the window as it is.
// False when it is not done in time, as when it waits in a dialog it opened.
bool SendTick(HWND window);
void ClickTrayIcon(HWND window, UINT mouseMessage);
// Returns once every message posted to the window before it was handled.
bool WaitUntilHandled(HWND window);

// The working folder's files.
std::string MakeFreshFolder(const std::string& name);
std::string PathIn(const std::string& folder, const char* file);
void WriteText(const std::string& path, const std::string& text);
void SetPowerReading(const RunningProgram& program, const char* reading);
Bytes StateFile(const RunningProgram& program);
