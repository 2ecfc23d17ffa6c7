// The test program's entry point.
//
// The tests run under Wine on an X server without a window manager. Wine
// hands a captioned top-level window to the window manager and, when such a
// window is hidden or destroyed, waits up to two seconds for the manager to
// confirm; with no manager every hide costs the full two seconds, and the
// dialog tests alone would take minutes. Wine's X11 driver reads its
// "Managed" option for this program from the registry when it loads, which
// is on the first window or display call, so it is set here before any test
// runs: Wine then maps the windows itself. Only this program's own entry is
// written, and only under Wine; what the window procedures see is unchanged.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void LetWineMapTheWindowsItself() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    const char* name = path;
    for (const char* c = path; *c; ++c) {
        if (*c == '\\' || *c == '/') name = c + 1;
    }
    char keyName[MAX_PATH + 64];
    std::snprintf(keyName, sizeof keyName, "Software\\Wine\\AppDefaults\\%s\\X11 Driver", name);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    static char const NO[] = "N";
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(NO), sizeof NO);
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
    if (RunningUnderWine()) LetWineMapTheWindowsItself();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
