// The installer under Wine, as a user runs it, each test in a fresh prefix:
// what a silent install leaves, an upgrade over a Corvane started from the
// Startup shortcut and over a hung one, a declined "Start with Windows", an
// upgrade from an older version and a refused downgrade, and the quiet
// uninstall.
// The installer is the test build's, made from the same script around
// corvane-scripted.exe, which reads its power status from a file.
#include "program_under_test.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>

namespace {

char const kEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane";
// What the installer and the uninstaller exit with when they give up.
int const kCorvaneStillRunning = 10;
int const kFileNotWritten = 3;
int const kDowngradeRefused = 4;

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string InstallFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Corvane"; }
std::string Installed(const char* file) { return PathIn(InstallFolder(), file); }
std::string StartupShortcut() { return ShellFolder(CSIDL_STARTUP) + "\\Corvane.lnk"; }
std::string StartMenuShortcut() { return ShellFolder(CSIDL_PROGRAMS) + "\\Corvane.lnk"; }
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Text(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs a command line to its end; its exit code, or -1.
int RunToEnd(std::string commandLine) {
    STARTUPINFOA startup = {sizeof(startup)};
    RunningProgram run;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &run.process)) {
        return -1;
    }
    int code = WaitForExitCode(run, 60000);
    CloseHandles(&run);
    return code;
}

int Install(const char* options = "/S") {
    return RunToEnd("\"" + std::string(std::getenv("CORVANE_INSTALLER")) + "\" " + options);
}

// A value of the Add/Remove Programs entry, a number in decimal; empty when there is none.
std::string EntryValue(const char* name) {
    char data[1024] = {};
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kEntryKey, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data,
                     &size) != ERROR_SUCCESS) {
        return "";
    }
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data;
}

// What the shortcut file starts and in which folder, as "PROGRAM in FOLDER".
std::string Shortcut(const std::string& path) {
    wchar_t widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(widePath, STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(folder, MAX_PATH);
    }
    if (file) file->Release();
    if (link) link->Release();
    return std::string(target) + " in " + folder;
}

using FileTimes = std::map<std::string, DWORD>;

// Every file and folder of drive C outside the user profiles, with the low
// part of its write time.
void ListOutsideProfiles(const std::string& folder, FileTimes* files) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string path = PathIn(folder, found.cFileName);
        if (!lstrcmpA(found.cFileName, ".") || !lstrcmpA(found.cFileName, "..") || !lstrcmpiA(path.c_str(), "C:\\users")) {
            continue;
        }
        (*files)[path] = found.ftLastWriteTime.dwLowDateTime;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListOutsideProfiles(path, files);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        CloseHandles(&program);
        CoUninitialize();
    }

    // Installs and starts Corvane in its folder, where a tick saves its state.
    void InstallAndStart() {
        ASSERT_EQ(Install(), 0);
        ASSERT_TRUE(StartProgram(Installed("corvane.exe"), InstallFolder(), &program));
        TickOn("0 95", StateFileBytes(0, 0, 1, 0));
    }

    // A tick on this power reading, from the file in the program's folder,
    // leaves this state file there.
    void TickOn(const char* reading, const Bytes& state) {
        SetPowerReading(program, reading);
        PostTicks(program.window, 1);
        ASSERT_TRUE(WaitUntilHandled(program.window));
        ASSERT_EQ(StateFile(program), state) << HexBytes(StateFile(program));
    }

    RunningProgram program;
};

TEST_F(InstallerTest, SilentInstall) {
    FileTimes before, after, changed;
    ListOutsideProfiles("C:", &before);
    ASSERT_EQ(Install(), 0);
    ListOutsideProfiles("C:", &after);
    std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                  std::inserter(changed, changed.end()));
    EXPECT_TRUE(changed.empty()) << "written outside the user's profile: " << changed.begin()->first;

    EXPECT_EQ(ReadFileBytes(Installed("corvane.exe")), ReadFileBytes(std::getenv("CORVANE_SCRIPTED_EXE")));
    EXPECT_EQ(Text(Installed("LICENSE.txt")).rfind("MIT License\r\n", 0), 0u);
    EXPECT_NE(Text(Installed("THIRD-PARTY-NOTICES.txt")).find("GCC RUNTIME LIBRARY EXCEPTION"), std::string::npos);
    EXPECT_NE(Text(Installed("README.txt")).find("Before first use"), std::string::npos) << "the finish page points there";
    std::string started = Installed("corvane.exe") + " in " + InstallFolder();
    EXPECT_EQ(Shortcut(StartupShortcut()), started);
    EXPECT_EQ(Shortcut(StartMenuShortcut()), started);
    EXPECT_GE(std::atoi(EntryValue("EstimatedSize").c_str()) * 1024u, ReadFileBytes(Installed("corvane.exe")).size());
    HKEY machineEntry = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEntryKey, 0, KEY_READ, &machineEntry), ERROR_SUCCESS);
}

// Started as at logon, when the shell opens the Startup folder's shortcuts.
TEST_F(InstallerTest, UpgradeOverRunningCorvane) {
    ASSERT_EQ(Install(), 0);
    ASSERT_GT(reinterpret_cast<INT_PTR>(
                  ShellExecuteA(nullptr, "open", StartupShortcut().c_str(), nullptr, nullptr, SW_SHOWNORMAL)), 32);
    ASSERT_TRUE(AttachToProgram(InstallFolder(), &program));
    TickOn("0 95", StateFileBytes(0, 0, 1, 0));
    Bytes state = StateFile(program);
    ASSERT_EQ(Install(), 0);
    EXPECT_EQ(WaitForExitCode(program, 0), 0) << "ended through its Exit command";
    EXPECT_EQ(StateFile(program), state);
    EXPECT_TRUE(Exists(StartupShortcut())) << "Start with Windows, kept";

    CloseHandles(&program);
    ASSERT_TRUE(AttachToProgram(InstallFolder(), &program)) << "started again";
    // In its folder, and from its state: the countdown starts and saves there.
    TickOn("0 1", StateFileBytes(1, 3595, 1, 0));
}

// Marked files show whether an upgrade that failed replaced any.
TEST_F(InstallerTest, UpgradeThatCannotReplaceTheProgram) {
    ASSERT_EQ(Install(), 0);
    WriteText(Installed("corvane.exe"), "the installed program");
    WriteText(Installed("uninstall.exe"), "the installed uninstaller");
    auto expectNothingReplaced = [] {
        EXPECT_TRUE(Text(Installed("corvane.exe")) == "the installed program");
        EXPECT_TRUE(Text(Installed("uninstall.exe")) == "the installed uninstaller");
    };
    // A hung Corvane: its window stays, and its stopped thread never handles Exit.
    ASSERT_TRUE(StartProgram(std::getenv("CORVANE_SCRIPTED_EXE"), MakeFreshFolder("hung"), &program));
    SuspendThread(program.process.hThread);
    EXPECT_EQ(Install(), kCorvaneStillRunning);
    expectNothingReplaced();
    EXPECT_TRUE(IsRunning(program));

    // With nothing running, a program file that another process holds open.
    CloseHandles(&program);
    HANDLE held = CreateFileA(Installed("corvane.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Install(), kFileNotWritten);
    CloseHandle(held);
    expectNothingReplaced();
}

// Declined on an upgrade, "Start with Windows" goes, and stays off through a
// silent upgrade, which is how winget upgrades.
TEST_F(InstallerTest, DeclinedStartWithWindows) {
    ASSERT_EQ(Install(), 0);
    ASSERT_EQ(Install("/S /NOAUTOSTART"), 0);
    EXPECT_TRUE(Exists(StartMenuShortcut()));
    EXPECT_FALSE(Exists(StartupShortcut()));
    ASSERT_EQ(Install(), 0);
    EXPECT_FALSE(Exists(StartupShortcut()));
}

// As an earlier install recorded it, an older version is upgraded and a newer one stays.
TEST_F(InstallerTest, DowngradeRefusedWhenSilent) {
    auto record = [](const char* version) {
        return RegSetKeyValueA(HKEY_CURRENT_USER, kEntryKey, "DisplayVersion", REG_SZ, version, lstrlenA(version) + 1);
    };
    ASSERT_EQ(Install(), 0);
    ASSERT_EQ(record("0.9"), ERROR_SUCCESS);
    ASSERT_EQ(Install(), 0);
    ASSERT_EQ(record("99.0"), ERROR_SUCCESS);
    WriteText(Installed("corvane.exe"), "the newer program");

    EXPECT_EQ(Install(), kDowngradeRefused);
    EXPECT_TRUE(Text(Installed("corvane.exe")) == "the newer program");
    EXPECT_EQ(EntryValue("DisplayVersion"), "99.0");
}

// As winget and Settings run it: the entry's command waits for the real
// uninstall and exits with its code.
TEST_F(InstallerTest, QuietUninstall) {
    InstallAndStart();
    WriteText(Installed("notes.txt"), "the user's own");
    std::string const installed[] = {Installed("corvane.exe"), Installed("uninstall.exe"),
                                     Installed("corvaneState.dat"), Installed("LICENSE.txt"),
                                     Installed("THIRD-PARTY-NOTICES.txt"), Installed("README.txt"), StartupShortcut(),
                                     StartMenuShortcut()};
    auto expectAllThere = [&] {
        for (const std::string& path : installed) EXPECT_TRUE(Exists(path)) << path;
        EXPECT_EQ(EntryValue("DisplayName"), "Corvane");
    };
    // A hung Corvane: its stopped thread never handles Exit.
    SuspendThread(program.process.hThread);
    EXPECT_EQ(RunToEnd(EntryValue("QuietUninstallString")), kCorvaneStillRunning);
    expectAllThere();
    ResumeThread(program.process.hThread);

    // A program file that another process holds open.
    HANDLE held = CreateFileA(Installed("corvane.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(RunToEnd(EntryValue("QuietUninstallString")), kFileNotWritten);
    CloseHandle(held);
    EXPECT_EQ(WaitForExitCode(program, 0), 0) << "ended through its Exit command";
    expectAllThere();

    // A Corvane that ends when asked.
    CloseHandles(&program);
    ASSERT_TRUE(StartProgram(Installed("corvane.exe"), InstallFolder(), &program));
    EXPECT_EQ(RunToEnd(EntryValue("QuietUninstallString")), 0);
    EXPECT_EQ(WaitForExitCode(program, 0), 0) << "ended through its Exit command";
    EXPECT_EQ(EntryValue("DisplayName"), "");
    for (const std::string& path : installed) {
        // The uninstaller's own file goes just after it ends.
        EXPECT_TRUE(WaitFor([&] { return !Exists(path); })) << path;
    }
    EXPECT_EQ(Text(Installed("notes.txt")), "the user's own");
}

}  // namespace
