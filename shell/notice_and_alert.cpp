#include "notice_and_alert.h"

#include "calibration_state.h"
#include "main_window.h"
#include "resource.h"
#include "system_library.h"

#include <mmsystem.h>

namespace {

typedef BOOL(WINAPI* PlaySoundFunction)(LPCSTR sound, HMODULE module, DWORD flags);

}  // namespace

void ShowCalibrationNotice(void* owner) {
    if (g_calibration.noticeSuppressed) return;
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_NOTICE), static_cast<HWND>(owner),
                    NoticeDialogProc, 0);
    // Save the choice at once, so it holds even if the program never saves again.
    if (g_calibration.noticeSuppressed) SaveState();
}

INT_PTR CALLBACK NoticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    // Esc and the caption's close button arrive as IDCANCEL and count like OK.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        g_calibration.noticeSuppressed = IsDlgButtonChecked(dialog, IDC_DONT_SHOW) == BST_CHECKED;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void RaiseLowBatteryAlert() {
    // winmm is not a KnownDLL, so it is not imported: it is loaded from System32
    // when the first alert sounds, and stays loaded so that the sound, which
    // plays on while the warning box is up, is not cut off. Alerts are rare,
    // so the function is looked up each time rather than kept.
    auto playSound = AsFunction<PlaySoundFunction>(FindSystemFunction("winmm.dll", "PlaySoundA"));
    // Started without waiting, so the sound plays while the box is up; with
    // no winmm the box still comes, silently.
    if (playSound) playSound("SystemHand", nullptr, SND_ALIAS | SND_ASYNC);
    MessageBoxA(nullptr, "Battery is getting low. Plug in soon.", "Battery Alert",
                MB_OK | MB_ICONWARNING);
}
