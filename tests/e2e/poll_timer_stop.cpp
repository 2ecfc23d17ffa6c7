// Stops a running Corvane's own five-second poll timer from outside, so that
// the only ticks are the ones a test sends, however slowly the machine runs.
// A test sets this DLL's hook on the program's UI thread, where Windows loads
// it; the hook kills the timer on that thread, the only one that may, and
// marks the window when it is done.
#include <windows.h>

namespace {

UINT_PTR const POLL_TIMER_ID = 2;

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK StopPollTimer(int code, WPARAM wParam, LPARAM lParam) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message->hwnd && !GetPropA(message->hwnd, "CorvanePollTimerStopped") &&
        KillTimer(message->hwnd, POLL_TIMER_ID)) {
        // The test sends no tick before the mark, so a tick taken now is the timer's own.
        if (message->message == WM_TIMER) message->message = WM_NULL;
        SetPropA(message->hwnd, "CorvanePollTimerStopped", reinterpret_cast<HANDLE>(1));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
