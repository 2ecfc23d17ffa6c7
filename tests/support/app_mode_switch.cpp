#include "app_mode_switch.h"

void SetAppsUseLightTheme(const DWORD* value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value) RegSetValueExA(key, "AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(value), sizeof *value);
    else RegDeleteValueA(key, "AppsUseLightTheme");
    RegCloseKey(key);
}
