#include "app_mode.h"

#include "system_library.h"

#include <cstring>

namespace {

typedef LSTATUS(WINAPI* RegGetValueFunction)(HKEY key, LPCSTR subKey, LPCSTR value, DWORD flags, LPDWORD type,
                                             PVOID data, LPDWORD size);
typedef HRESULT(WINAPI* DwmSetWindowAttributeFunction)(HWND window, DWORD attribute, LPCVOID value, DWORD size);

// Windows 10 from version 20H1 knows the dark caption as attribute 20, its
// earlier builds as 19.
DWORD const DARK_CAPTION_ATTRIBUTES[] = {20, 19};

bool g_appsAreDark;

// A DWORD, 0 for dark; Windows before 10 has no such value, and is light.
bool ReadAppsAreDark() {
    auto const getValue = AsFunction<RegGetValueFunction>(FindSystemFunction("advapi32.dll", "RegGetValueA"));
    DWORD light = 1;
    DWORD size = sizeof light;
    return getValue &&
           getValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                    "AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size) == ERROR_SUCCESS &&
           light == 0;
}

// Where dwmapi or the attribute is missing, the caption stays as Windows
// draws it; true when DWM took the colour.
bool ColourCaption(HWND window, bool dark) {
    auto const setAttribute = AsFunction<DwmSetWindowAttributeFunction>(
        FindSystemFunction("dwmapi.dll", "DwmSetWindowAttribute"));
    BOOL const value = dark;
    for (DWORD attribute : DARK_CAPTION_ATTRIBUTES) {
        if (setAttribute && SUCCEEDED(setAttribute(window, attribute, &value, sizeof value))) return true;
    }
    return false;
}

// Windows 11 is build 22000 on; the manifest's supported systems make
// Windows tell this program its real version.
bool IsWindows10() {
    OSVERSIONINFOA version = {sizeof(version)};
    return GetVersionExA(&version) && version.dwMajorVersion == 10 && version.dwBuildNumber < 22000;
}

// Windows 10's DWM draws a new caption colour only when the caption next
// changes activation, which RDW_FRAME does not make it do; Windows 11's
// draws it at once. The pair leaves the window as active as it was.
void RedrawCaption(HWND window) {
    BOOL const active = GetActiveWindow() == window;
    SendMessageA(window, WM_NCACTIVATE, !active, 0);
    SendMessageA(window, WM_NCACTIVATE, active, 0);
}

}  // namespace

bool AppsAreDark() { return g_appsAreDark; }

void FollowAppMode(HWND window) {
    bool const wasDark = g_appsAreDark;
    g_appsAreDark = ReadAppsAreDark();
    // A light caption is Windows' own: dwmapi is loaded only to darken it,
    // or to undo that.
    if ((g_appsAreDark || wasDark) && ColourCaption(window, g_appsAreDark) && IsWindowVisible(window) &&
        IsWindows10()) {
        RedrawCaption(window);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
}

bool IsAppModeChange(LPARAM lParam) {
    char const* const area = reinterpret_cast<char const*>(lParam);
    return area && std::strcmp(area, "ImmersiveColorSet") == 0;
}
