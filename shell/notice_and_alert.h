// The calibration notice and the low-battery alert, the two modal operations
// the tick asks of the shell.
#pragma once

#include <windows.h>

// Tells the user that calibration needs a full charge, unless silenced.
void ShowCalibrationNotice(void* owner);
INT_PTR CALLBACK NoticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The system's alarm sound and a warning box.
void RaiseLowBatteryAlert();
