// A DLL planted beside the program, or in its working folder, under the name
// of a system DLL that is not a KnownDLL: the program must never load it, at
// start-up, when a screen reader asks for its window's texts, or when the
// alert plays its sound and opens the warning box.
#include "program_under_test.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cstdlib>

namespace {

// The system DLLs that the program, or Wine on its behalf, would load by name;
// Windows asks for more, but a name Wine never asks for could show no fault.
const char* const kPlantedNames[] = {"winmm", "uxtheme", "oleacc", "comctl32"};
// Wine prefers its own builtin DLLs, where Windows takes the first file it
// finds; this makes Wine take a native file first for these names, in the
// program's process only.
const char kOverridesKey[] = "Software\\Wine\\AppDefaults\\corvane-scripted.exe\\DllOverrides";

void PreferNativeDlls() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr), ERROR_SUCCESS);
    for (const char* name : kPlantedNames) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                       sizeof "native,builtin");
    }
    RegCloseKey(key);
}

void Plant(const std::string& folder) {
    for (const char* name : kPlantedNames) {
        std::string dll = PathIn(folder, name) + ".dll";
        ASSERT_TRUE(CopyFileA(std::getenv("CORVANE_MARKER_DLL"), dll.c_str(), FALSE));
        DeleteFileA((dll + ".loaded").c_str());
    }
}

std::vector<std::string> Markers(const std::string& folder) {
    std::vector<std::string> found;
    for (const char* name : kPlantedNames) {
        std::string marker = PathIn(folder, name) + ".dll.loaded";
        if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) found.push_back(marker);
    }
    return found;
}

// Whether the process has loaded the DLL at this path.
bool HasModule(HANDLE process, const std::string& path) {
    HMODULE modules[256];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return false;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 256; ++i) {
        char loaded[MAX_PATH] = {};
        GetModuleFileNameExA(process, modules[i], loaded, MAX_PATH);
        if (lstrcmpiA(loaded, path.c_str()) == 0) return true;
    }
    return false;
}

class PlantedDllTest : public ::testing::Test {
protected:
    void TearDown() override {
        CloseHandles(&program);
        RegDeleteKeyA(HKEY_CURRENT_USER, kOverridesKey);
    }

    RunningProgram program;
};

TEST_F(PlantedDllTest, TheMarkerIsWrittenWhenTheDllIsLoaded) {
    std::string folder = MakeFreshFolder("planted-marker");
    std::string dll = PathIn(folder, "marker.dll");
    ASSERT_TRUE(CopyFileA(std::getenv("CORVANE_MARKER_DLL"), dll.c_str(), FALSE));
    DeleteFileA((dll + ".loaded").c_str());
    HMODULE loaded = LoadLibraryA(dll.c_str());
    ASSERT_NE(loaded, nullptr);
    FreeLibrary(loaded);
    EXPECT_NE(GetFileAttributesA((dll + ".loaded").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PlantedDllTest, NoneIsLoadedAtStartForAScreenReaderOrAtTheAlert) {
    std::string programFolder = MakeFreshFolder("planted-program");
    std::string workFolder = MakeFreshFolder("planted-work");
    std::string exe = PathIn(programFolder, "corvane-scripted.exe");
    ASSERT_TRUE(CopyFileA(std::getenv("CORVANE_SCRIPTED_EXE"), exe.c_str(), FALSE));
    Plant(programFolder);
    Plant(workFolder);
    WriteFileBytes(PathIn(workFolder, "corvaneState.dat"), StateFileBytes(1, 605, 1, 0));
    WriteText(PathIn(workFolder, "corvanePower.txt"), "0 1");

    PreferNativeDlls();
    ASSERT_TRUE(StartProgram(exe, workFolder, &program));
    // The id as the system sends it: a DWORD, not sign-extended on 64-bit.
    LPARAM const client = static_cast<DWORD>(OBJID_CLIENT);
    DWORD_PTR reference = 0;
    EXPECT_TRUE(SendMessageTimeoutA(program.window, WM_GETOBJECT, 0, client, SMTO_NORMAL, 5000, &reference));
    EXPECT_GT(static_cast<LRESULT>(reference), 0) << "an object, not an error, before the window was ever shown";
    PostTicks(program.window, 1);
    HWND warning = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        warning = FindDialog(program.process.dwProcessId, "Battery Alert");
        return warning && IsWindowVisible(warning);
    }, 30000)) << "the alert is raised";
    Sleep(500);

    EXPECT_EQ(Markers(programFolder), std::vector<std::string>{});
    EXPECT_EQ(Markers(workFolder), std::vector<std::string>{});
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_TRUE(HasModule(program.process.hProcess, PathIn(system, "winmm.dll")))
        << "the alert's sound comes from System32's winmm";
    EXPECT_TRUE(HasModule(program.process.hProcess, PathIn(system, "oleacc.dll")))
        << "the screen reader's answer comes from System32's oleacc";

    if (warning) PostMessageA(warning, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ExitProgram(&program), 0);
}

}  // namespace
