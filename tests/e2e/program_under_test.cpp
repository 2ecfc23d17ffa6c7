#include "program_under_test.h"

#include <cstdio>
#include <cstdlib>

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (search->className && lstrcmpA(className, search->className) != 0) return TRUE;
    if (search->title && lstrcmpA(title, search->title) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectText(HWND control, LPARAM parameter) {
    reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(WindowText(control));
    return TRUE;
}

}  // namespace

HWND FindTopLevel(DWORD processId, const char* className, const char* title) {
    WindowSearch search = {processId, className, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindStatusWindow(DWORD processId) { return FindTopLevel(processId, "CORVANE", "Corvane"); }

HWND FindDialog(DWORD processId, const char* title) { return FindTopLevel(processId, "#32770", title); }

std::string WindowText(HWND window) {
    char text[1024] = {};
    // WM_GETTEXT crosses processes; GetWindowText would not read another process's controls.
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> ControlTexts(HWND dialog) {
    std::vector<std::string> texts;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool StartProgram(const std::string& exe, const std::string& folder, RunningProgram* program) {
    program->folder = folder;
    STARTUPINFOA startup = {sizeof(startup)};
    std::string commandLine = "\"" + exe + "\"";
    auto start = [&] {
        return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                              &startup, &program->process) != 0;
    };
    // Wine's process creation fails now and then with ERROR_INTERNAL_ERROR,
    // here once in some thousands of starts on a busy machine; it is not the
    // program's doing, and a second start goes through.
    bool started = start();
    if (!started && GetLastError() == ERROR_INTERNAL_ERROR) {
        Sleep(100);
        started = start();
    }
    if (!started) {
        std::printf("cannot start %s: error %lu\n", exe.c_str(), GetLastError());
        return false;
    }
    DWORD id = program->process.dwProcessId;
    return WaitFor([&] { return (program->window = FindStatusWindow(id)) != nullptr; }, 30000);
}

bool IsRunning(const RunningProgram& program) {
    return program.process.hProcess && WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT;
}

bool AttachToProgram(const std::string& folder, RunningProgram* program) {
    program->folder = folder;
    if (!WaitFor([&] { return (program->window = FindWindowA("CORVANE", "Corvane")) != nullptr; }, 30000)) {
        return false;
    }
    GetWindowThreadProcessId(program->window, &program->process.dwProcessId);
    program->process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                            FALSE, program->process.dwProcessId);
    return program->process.hProcess != nullptr;
}

int ExitProgram(RunningProgram* program) {
    PostMessageA(program->window, WM_COMMAND, IDM_TRAY_EXIT, 0);
    return WaitForExitCode(*program, 15000);
}

int WaitForExitCode(const RunningProgram& program, DWORD timeoutMs) {
    if (WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    return static_cast<int>(code);
}

void KillProgram(RunningProgram* program) {
    TerminateProcess(program->process.hProcess, 99);
    WaitForSingleObject(program->process.hProcess, 15000);
}

void CloseHandles(RunningProgram* program) {
    if (IsRunning(*program)) KillProgram(program);
    if (program->process.hProcess) CloseHandle(program->process.hProcess);
    if (program->process.hThread) CloseHandle(program->process.hThread);
    program->process = {};
    program->window = nullptr;
}

bool StopPollTimer(const RunningProgram& program) {
    const char* path = std::getenv("CORVANE_POLL_TIMER_STOP_DLL");
    HMODULE dll = path ? LoadLibraryA(path) : nullptr;
    HOOKPROC hook = dll ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(
                              GetProcAddress(dll, "StopPollTimer")))
                        : nullptr;
    DWORD thread = GetWindowThreadProcessId(program.window, nullptr);
    HHOOK installed = hook ? SetWindowsHookExA(WH_GETMESSAGE, hook, dll, thread) : nullptr;
    // Anything in the queue runs the hook.
    PostMessageA(program.window, WM_NULL, 0, 0);
    bool stopped = installed && WaitFor([&] { return GetPropA(program.window, "CorvanePollTimerStopped") != nullptr; });
    if (installed) UnhookWindowsHookEx(installed);
    if (dll) FreeLibrary(dll);
    return stopped;
}

void PostTicks(HWND window, int count) {
    for (int i = 0; i < count; ++i) PostMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
}

bool SendTick(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_TIMER, POLL_TIMER_ID, 0, SMTO_NORMAL, 5000, &result) != 0;
}

void ClickTrayIcon(HWND window, UINT mouseMessage) {
    PostMessageA(window, WM_TRAY_CALLBACK, 1, static_cast<LPARAM>(mouseMessage));
}

// Posted messages are handled in order, so a posted click that shows or
// hides the window marks the moment everything posted before it is done.
// A sent click puts the window back as it was.
bool WaitUntilHandled(HWND window) {
    bool wasVisible = IsWindowVisible(window) != 0;
    ClickTrayIcon(window, WM_LBUTTONDOWN);
    bool handled = WaitFor([&] { return (IsWindowVisible(window) != 0) != wasVisible; }, 30000);
    SendMessageA(window, WM_TRAY_CALLBACK, 1, WM_LBUTTONDOWN);
    return handled;
}

std::string MakeFreshFolder(const std::string& name) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    std::string folder = std::string(current) + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* file : {"corvaneState.dat", "corvaneState.dat.tmp", "corvanePower.txt"}) {
        DeleteFileA(PathIn(folder, file).c_str());
    }
    return folder;
}

std::string PathIn(const std::string& folder, const char* file) { return folder + "\\" + file; }

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

void SetPowerReading(const RunningProgram& program, const char* reading) {
    WriteText(PathIn(program.folder, "corvanePower.txt"), reading);
}

Bytes StateFile(const RunningProgram& program) {
    return ReadFileBytes(PathIn(program.folder, "corvaneState.dat"));
}

