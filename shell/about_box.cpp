#include "about_box.h"

#include "main_window.h"
#include "resource.h"

void ShowAboutBox(HWND window) {
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
