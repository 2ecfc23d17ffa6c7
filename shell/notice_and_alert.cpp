#include "notice_and_alert.h"

#include "calibration_state.h"
#include "main_window.h"
#include "resource.h"

#include <mmsystem.h>

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
    // Started without waiting, so the sound plays while the box is up.
    PlaySoundA("SystemHand", nullptr, SND_ALIAS | SND_ASYNC);
    MessageBoxA(nullptr, "Battery is getting low. Plug in soon.", "Battery Alert",
                MB_OK | MB_ICONWARNING);
}
