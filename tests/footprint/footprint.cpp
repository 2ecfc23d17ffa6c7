// Measures what a program costs to keep running: its working set and CPU
// time after a number of ticks, and the CPU time the tray's host (Explorer)
// spends on its behalf. The program runs in a fresh folder in the same
// desktop as this one; the ticks are sent, so each has finished when the
// call returns.
//   footprint PROGRAM CLASS TICKS   prints one line of key=value figures;
//                                   the ticks go to the program's top-level
//                                   window of that class
//
// Under Wine, GetProcessTimes of another process does not answer for that
// process, so CPU time is read where Linux keeps it: every Windows process is
// a Linux process, and /proc (drive Z:) holds its user and system ticks.
#include "program_under_test.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Linux counts process times in ticks of 1/100 s (USER_HZ).
double const LINUX_TICKS_PER_SECOND = 100.0;

std::string ReadSmallFile(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    for (unsigned char& b : bytes) {
        if (b == 0) b = ' ';
    }
    return std::string(bytes.begin(), bytes.end());
}

// User plus system time of every Linux process whose command line names the program.
double LinuxCpuSeconds(const char* programName) {
    double seconds = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return -1;
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') continue;
        std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
        std::string commandLine = ReadSmallFile(folder + "\\cmdline");
        if (commandLine.find(programName) == std::string::npos) continue;
        // Fields 14 and 15 of stat, counted after the command name in parentheses.
        std::string stat = ReadSmallFile(folder + "\\stat");
        std::size_t afterName = stat.rfind(')');
        if (afterName == std::string::npos) continue;
        unsigned long long user = 0, system = 0;
        if (std::sscanf(stat.c_str() + afterName + 1,
                        " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) == 2) {
            seconds += static_cast<double>(user + system) / LINUX_TICKS_PER_SECOND;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return seconds;
}

SIZE_T WorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory = {sizeof(memory)};
    return GetProcessMemoryInfo(process, &memory, sizeof memory) ? memory.WorkingSetSize : 0;
}

const char* FileName(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: footprint PROGRAM CLASS TICKS\n");
        return 2;
    }
    const char* windowClass = argv[2];
    int ticks = std::atoi(argv[3]);
    // The desktop's task bar comes up beside this program; Corvane's icon
    // calls would fail quickly, and cost nothing, before it exists.
    if (!WaitFor([] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }, 30000)) {
        std::fprintf(stderr, "no task bar in this desktop\n");
        return 1;
    }
    Sleep(1000);
    std::string folder = MakeFreshFolder("footprint");
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[1], nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 1;
    }
    HWND window = nullptr;
    // By its class: the system may give the process other top-level windows,
    // such as the input method's.
    if (!WaitFor([&] { return (window = FindTopLevel(process.dwProcessId, windowClass, nullptr)) != nullptr; }, 30000)) {
        std::fprintf(stderr, "no window from %s\n", argv[1]);
        return 1;
    }
    const char* name = FileName(argv[1]);
    // Let start-up settle before the first reading.
    Sleep(500);
    double cpuBefore = LinuxCpuSeconds(name);
    double trayBefore = LinuxCpuSeconds("explorer.exe");
    DWORD start = GetTickCount();
    for (int i = 0; i < ticks; ++i) SendMessageA(window, WM_TIMER, POLL_TIMER_ID, 0);
    DWORD elapsedMs = GetTickCount() - start;
    double cpuAfter = LinuxCpuSeconds(name);
    double trayAfter = LinuxCpuSeconds("explorer.exe");

    std::printf("ticks=%d working_set_kb=%lu cpu_ms=%.0f tray_host_cpu_ms=%.0f elapsed_ms=%lu\n", ticks,
                static_cast<unsigned long>(WorkingSet(process.hProcess) / 1024),
                (cpuAfter - cpuBefore) * 1000, (trayAfter - trayBefore) * 1000,
                static_cast<unsigned long>(elapsedMs));
    std::fflush(stdout);

    PostMessageA(window, WM_CLOSE, 0, 0);
    PostMessageA(window, WM_COMMAND, IDM_TRAY_EXIT, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    return 0;
}
