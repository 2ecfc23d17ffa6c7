// Windows' app mode as Settings writes it, in the user's registry; Settings
// then announces it with WM_SETTINGCHANGE "ImmersiveColorSet".
#pragma once

#include <windows.h>

char const APP_MODE_CHANGE[] = "ImmersiveColorSet";

// AppsUseLightTheme set to the value given (0 is dark), or taken out when
// there is none, as on Windows before 10, which is light.
void SetAppsUseLightTheme(const DWORD* value);
