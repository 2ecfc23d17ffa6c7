// The status window's texts for screen readers: its client object answers
// with the headline as its name and the status block as its value, and says
// when either changes.
#pragma once

#include <windows.h>

// The answer to WM_GETOBJECT. Only the live status window's client object is
// Corvane's own; every other request, and any request while the
// accessibility library cannot be had, is answered as DefWindowProcA answers it.
LRESULT AnswerAccessibilityRequest(HWND window, WPARAM flags, LPARAM objectId);

// After a tick: tells listening screen readers that the name or the value
// changed, when it differs from what they were last told, and nothing else.
void AnnounceStatusChanges(HWND window);

// Leaves the COM apartment the first request joined. WinMain calls it once
// the message loop has ended, as leaving pumps messages of its own.
void LeaveAccessibilityApartment();
