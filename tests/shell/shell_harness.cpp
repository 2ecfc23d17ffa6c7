#include "shell_harness.h"

#include "main_window.h"
#include "resource.h"
#include "system_library.h"
#include "tray_icon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

char const POWER_SCRIPT[] = "corvanePower.txt";
char const STATE_TEMPORARY[] = "corvaneState.dat.tmp";

// A dialog or message box, and a popup menu's window.
char const DIALOG_CLASS[] = "#32770";
char const MENU_CLASS[] = "#32768";

DWORD const FORCE_CLOSE_AFTER_MS = 2000;

// Wine's own events follow each other within milliseconds; a pause this long
// means it is done. A machine too busy to settle in the limit fails the test.
DWORD const SETTLED_AFTER_QUIET_MS = 100;
DWORD const SETTLE_LIMIT_MS = 10000;

// The messages that can end a menu or a dialog, by name, for the failure
// that says which one did.
struct MessageName {
    UINT message;
    const char* name;
};
MessageName const ENDING_MESSAGES[] = {
    {WM_CANCELMODE, "WM_CANCELMODE"}, {WM_ACTIVATE, "WM_ACTIVATE"},       {WM_KILLFOCUS, "WM_KILLFOCUS"},
    {WM_CLOSE, "WM_CLOSE"},           {WM_COMMAND, "WM_COMMAND"},         {WM_SYSCOMMAND, "WM_SYSCOMMAND"},
    {WM_KEYDOWN, "WM_KEYDOWN"},       {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},   {WM_CHAR, "WM_CHAR"},
    {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"}, {WM_NCLBUTTONDOWN, "WM_NCLBUTTONDOWN"},
    {WM_LBUTTONUP, "WM_LBUTTONUP"},   {WM_RBUTTONUP, "WM_RBUTTONUP"},     {WM_QUIT, "WM_QUIT"},
};

// The name of a message that can end a menu or a dialog; null for the others.
const char* EndingMessageName(UINT message) {
    for (const MessageName& known : ENDING_MESSAGES) {
        if (known.message == message) return known.name;
    }
    return nullptr;
}

// Points this program's import of a system function, found by its name,
// elsewhere; the import it replaced, or null where there is none.
FARPROC Reimport(const char* function, FARPROC replacement) {
    auto const base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto const headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; library->Name; ++library) {
        // The names are in the lookup table; the address table beside it holds what the loader found.
        auto name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto slot = reinterpret_cast<FARPROC*>(base + library->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function)) {
                continue;
            }
            FARPROC const replaced = *slot;
            DWORD protection;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
            *slot = replacement;
            VirtualProtect(slot, sizeof *slot, protection, &protection);
            return replaced;
        }
    }
    return nullptr;
}

}  // namespace

HINSTANCE TestModule() { return GetModuleHandleA(nullptr); }

ATOM PrepareShell() {
    static ATOM atom = [] {
        HINSTANCE module = TestModule();
        LoadStringA(module, IDS_TITLE, g_windowTitle, sizeof g_windowTitle);
        LoadStringA(module, IDS_CLASS, g_className, sizeof g_className);
        LoadLevelIcons(module);
        return RegisterMainWindowClass(module);
    }();
    return atom;
}

void WritePowerScript(const char* text) {
    std::FILE* file = std::fopen(POWER_SCRIPT, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
}

void RemovePowerScript() { std::remove(POWER_SCRIPT); }

bool FileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void RemoveStateFiles() {
    std::remove(kStateFileName);
    std::remove(STATE_TEMPORARY);
}

bool PumpMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quit;
}

bool SettleWindows() {
    if (ModalDriver::AnyOpen()) return false;
    bool quit = false;
    DWORD const start = GetTickCount();
    for (;;) {
        quit = PumpMessages() || quit;
        // Wine reads the X server's events while it waits here. Timers are
        // left out: the tests' own come round for ever.
        if (MsgWaitForMultipleObjectsEx(0, nullptr, SETTLED_AFTER_QUIET_MS, QS_ALLINPUT & ~QS_TIMER,
                                        MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT) {
            return quit;
        }
        if (GetTickCount() - start > SETTLE_LIMIT_MS) {
            ADD_FAILURE() << "Wine's windows did not settle in " << SETTLE_LIMIT_MS << " ms";
            return quit;
        }
    }
}

void DestroyWindowQuietly(HWND window) {
    if (!IsWindow(window)) return;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    if (g_trayRecord.hWnd == window) RemoveTrayIcon();
    DestroyWindow(window);
    if (g_statusWindow == window) g_statusWindow = nullptr;
}

void ShellTest::SetUp() {
    ASSERT_NE(PrepareShell(), 0) << "RegisterMainWindowClass failed";
    RemoveStateFiles();
    RemovePowerScript();
    g_calibration = CalibrationState{};
    g_trayRecord = {};
    ASSERT_TRUE(InitInstance(TestModule(), SW_HIDE));
    window = g_statusWindow;
    ASSERT_TRUE(IsWindow(window));
    pollTimerWasRunning = KillTimer(window, POLL_TIMER_ID) != 0;
    EXPECT_FALSE(PumpMessages());
}

void ShellTest::TearDown() {
    DestroyWindowQuietly(window);
    // The next test starts from windows at rest, whatever this one did.
    EXPECT_FALSE(SettleWindows()) << "something posted WM_QUIT";
    RemoveStateFiles();
    RemovePowerScript();
}

ModalDriver* ModalDriver::current_ = nullptr;

ModalDriver::ModalDriver(Handler onDialog, Handler onMenu)
    : onDialog_(std::move(onDialog)), onMenu_(std::move(onMenu)), readHook_(nullptr), sentHook_(nullptr),
      previous_(current_) {
    current_ = this;
    // USER_TIMER_MINIMUM: the shortest period a timer has anyway.
    timer_ = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OnTimer);
    // What the modal loops read, and what is sent to this thread's windows:
    // the outermost driver watches for the current one.
    if (previous_) return;
    readHook_ = SetWindowsHookExA(WH_MSGFILTER, OnRead, nullptr, GetCurrentThreadId());
    sentHook_ = SetWindowsHookExA(WH_CALLWNDPROC, OnSent, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(readHook_ && sentHook_);
}

ModalDriver::~ModalDriver() {
    KillTimer(nullptr, timer_);
    if (readHook_) UnhookWindowsHookEx(readHook_);
    if (sentHook_) UnhookWindowsHookEx(sentHook_);
    current_ = previous_;
}

bool ModalDriver::AnyOpen() { return current_ && !current_->open_.empty(); }

// A dialog by its window; a menu is this thread's innermost, as only one is
// open at a time.
std::vector<ModalDriver::Open>::iterator ModalDriver::FindOpen(bool isMenu, HWND window) {
    auto const found = std::find_if(open_.rbegin(), open_.rend(), [&](const Open& open) {
        return open.isMenu == isMenu && (isMenu || open.window == window);
    });
    return found == open_.rend() ? open_.end() : std::next(found).base();
}

LRESULT CALLBACK ModalDriver::OnRead(int code, WPARAM wParam, LPARAM lParam) {
    bool const modal = code == MSGF_MENU || code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX;
    if (modal && current_) current_->Note(*reinterpret_cast<const MSG*>(lParam), "read by");
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ModalDriver::OnSent(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && current_) {
        ModalDriver& driver = *current_;
        if (sent.message == WM_ENTERMENULOOP) {
            driver.open_.push_back({true, nullptr, false, {}});
        } else if (sent.message == WM_EXITMENULOOP) {
            driver.Ended(true, nullptr);
        } else if (sent.message == WM_INITDIALOG && ClassOf(sent.hwnd) == DIALOG_CLASS) {
            driver.open_.push_back({false, sent.hwnd, false, {}});
        } else if (sent.message == WM_DESTROY) {
            driver.Ended(false, sent.hwnd);
        } else {
            MSG const message = {sent.hwnd, sent.message, sent.wParam, sent.lParam, 0, {}};
            driver.Note(message, "sent to");
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ModalDriver::Note(const MSG& message, const char* how) {
    const char* const name = EndingMessageName(message.message);
    if (!name || open_.empty()) return;
    char text[160];
    std::snprintf(text, sizeof text, "%s 0x%lx %s %s", name, static_cast<unsigned long>(message.wParam), how,
                  ClassOf(message.hwnd).c_str());
    std::vector<std::string>& last = open_.back().lastMessages;
    last.push_back(text);
    size_t const KEPT = 3;
    if (last.size() > KEPT) last.erase(last.begin());
}

void ModalDriver::Ended(bool isMenu, HWND window) {
    auto const ended = FindOpen(isMenu, window);
    if (ended == open_.end()) return;
    // Without a handler of its own the test ends that kind itself, and the
    // driver is only a net for one left open.
    bool const expected = isMenu ? bool(onMenu_) : bool(onDialog_);
    if (expected && !ended->handled) {
        std::string how;
        for (const std::string& message : ended->lastMessages) how += (how.empty() ? "" : ", then ") + message;
        ADD_FAILURE() << (isMenu ? "a menu" : "a dialog \"" + TextOf(window) + "\"")
                      << " ended before the test's handler saw it, after " << (how.empty() ? "nothing that ends one" : how);
    }
    open_.erase(ended);
}

void CALLBACK ModalDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (current_) current_->Check();
}

BOOL CALLBACK ModalDriver::OnWindow(HWND window, LPARAM) {
    current_->Visit(window);
    return TRUE;
}

void ModalDriver::Check() {
    // Closed windows are forgotten, so that a long run keeps no record of
    // them; so are hidden ones, since the system shows its one menu window again.
    seen_.erase(std::remove_if(seen_.begin(), seen_.end(),
                               [](const Seen& seen) { return !IsWindowVisible(seen.window); }),
                seen_.end());
    EnumThreadWindows(GetCurrentThreadId(), OnWindow, 0);
}

void ModalDriver::Visit(HWND window) {
    if (!IsWindowVisible(window)) return;
    std::string const windowClass = ClassOf(window);
    bool const isDialog = windowClass == DIALOG_CLASS;
    bool const isMenu = windowClass == MENU_CLASS;
    if (!isDialog && !isMenu) return;

    for (Seen& seen : seen_) {
        if (seen.window != window) continue;
        if (GetTickCount() - seen.since > FORCE_CLOSE_AFTER_MS) {
            ++forcedCloses;
            seen.since = GetTickCount();
            if (isMenu) EndMenu();
            else EndDialog(window, 0);
        }
        return;
    }
    seen_.push_back({window, GetTickCount()});
    auto const open = FindOpen(isMenu, window);
    if (open != open_.end()) open->handled = true;
    if (isDialog) {
        dialogs.push_back(TextOf(window));
        if (onDialog_) onDialog_(window);
        else SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    } else {
        ++menus;
        if (onMenu_) onMenu_(window);
        else EndMenu();
    }
}

FakeNotificationArea* FakeNotificationArea::current_ = nullptr;

FakeNotificationArea::FakeNotificationArea() {
    static ATOM const registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = TestModule();
        windowClass.lpszClassName = "Shell_TrayWnd";
        return RegisterClassA(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    current_ = this;
    window_ = CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              TestModule(), nullptr);
    EXPECT_EQ(FindWindowA("Shell_TrayWnd", nullptr), window_) << "the fake must be found first";
}

FakeNotificationArea::~FakeNotificationArea() {
    DestroyWindow(window_);
    current_ = nullptr;
}

std::vector<DWORD> FakeNotificationArea::Messages() const {
    std::vector<DWORD> messages;
    for (const TrayCall& call : calls) messages.push_back(call.message);
    return messages;
}

LRESULT CALLBACK FakeNotificationArea::Procedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message != WM_COPYDATA || !current_) return DefWindowProcA(window, message, wParam, lParam);
    const COPYDATASTRUCT* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    TrayCall call = {static_cast<DWORD>(copy->dwData), reinterpret_cast<HWND>(wParam), 0, 0, 0, {}, 0, 0, {}};
    size_t const TIP_LENGTH = 128;
    size_t const VERSION_AT = 16 + 2 * TIP_LENGTH + 8 + 2 * 256;
    UINT fields[4];
    if (copy->cbData >= sizeof fields + TIP_LENGTH * 2) {
        std::memcpy(fields, copy->lpData, sizeof fields);
        call.id = fields[1];
        call.flags = fields[2];
        call.callbackMessage = fields[3];
        const unsigned char* tip = static_cast<const unsigned char*>(copy->lpData) + sizeof fields;
        for (size_t i = 0; i < TIP_LENGTH; ++i) {
            unsigned c = tip[2 * i] | unsigned(tip[2 * i + 1]) << 8;
            if (c == 0) break;
            call.tip += c < 0x80 ? static_cast<char>(c) : '?';
        }
    }
    const char* const data = static_cast<const char*>(copy->lpData);
    if (copy->cbData >= VERSION_AT + 4) std::memcpy(&call.version, data + VERSION_AT, 4);
    size_t const ICON_WIDTH_AT = 944, ICON_BITS_AT = 960;
    if ((call.flags & NIF_ICON) && copy->cbData > ICON_BITS_AT) {
        std::memcpy(&call.iconWidth, data + ICON_WIDTH_AT, 4);
        call.picture.assign(data + ICON_BITS_AT, copy->cbData - ICON_BITS_AT);
    }
    current_->calls.push_back(call);
    bool const shown = current_->showsIcon;
    if (call.message == NIM_ADD && current_->addsToRefuse > 0) {
        --current_->addsToRefuse;
        return FALSE;
    }
    if (call.message == NIM_SETVERSION) {
        bool const agreed = shown && call.version <= current_->highestVersion;
        if (agreed) current_->agreedVersion = call.version;
        return agreed;
    }
    if (call.message == NIM_ADD && !shown) {
        current_->icon_ = call;
        current_->agreedVersion = 0;
    }
    if (call.message == NIM_ADD || call.message == NIM_DELETE) current_->showsIcon = call.message == NIM_ADD;
    return call.message == NIM_ADD ? !shown : shown;
}

void FakeNotificationArea::Report(std::initializer_list<UINT> events) const {
    // A gesture starts once what came before it is over.
    EXPECT_FALSE(SettleWindows());
    bool const placed = agreedVersion >= NOTIFYICON_VERSION_4;
    POINT pointer;
    GetCursorPos(&pointer);
    WPARAM const anchor = MAKEWPARAM(pointer.x * 3 / 2, pointer.y * 3 / 2);
    for (UINT event : events) {
        SendMessageA(icon_.owner, icon_.callbackMessage, placed ? anchor : icon_.id,
                     placed ? MAKELPARAM(event, icon_.id) : event);
    }
}

std::string PictureOf(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return {};
    std::string picture;
    for (HBITMAP bitmap : {info.hbmMask, info.hbmColor}) {
        BITMAP shape = {};
        if (!bitmap || !GetObjectA(bitmap, sizeof shape, &shape)) continue;
        // The byte count Wine's shell32 takes, rows packed to 16 bits.
        LONG const bytes = (shape.bmPlanes * shape.bmWidth * shape.bmHeight * shape.bmBitsPixel + 15) / 16 * 2;
        std::string bits(static_cast<size_t>(bytes), '\0');
        GetBitmapBits(bitmap, bytes, &bits[0]);
        picture += bits;
        DeleteObject(bitmap);
    }
    return picture;
}

std::string ResourcePicture(int id, int size) {
    HICON icon = static_cast<HICON>(LoadImageA(TestModule(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
    std::string picture = PictureOf(icon);
    if (icon) DestroyIcon(icon);
    return picture;
}

StandIn* StandIn::lookedUp_ = nullptr;

StandIn::StandIn(const char* function, FARPROC standIn)
    : function_(function), standIn_(standIn), imported_(Reimport(function, standIn)) {
    if (imported_) return;
    getProcAddress_ = Reimport("GetProcAddress", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(LookUp)));
    lookedUp_ = this;
}

StandIn::~StandIn() {
    if (imported_) Reimport(function_, imported_);
    if (getProcAddress_) Reimport("GetProcAddress", getProcAddress_);
    if (lookedUp_ == this) lookedUp_ = nullptr;
}

FARPROC WINAPI StandIn::LookUp(HMODULE module, LPCSTR name) {
    // A "name" below 0x10000 is an ordinal.
    if (!IS_INTRESOURCE(name) && std::strcmp(name, lookedUp_->function_) == 0) return lookedUp_->standIn_;
    return AsFunction<decltype(&LookUp)>(lookedUp_->getProcAddress_)(module, name);
}

double ContrastRatio(COLORREF a, COLORREF b) {
    // WCAG's relative luminance.
    auto luminance = [](COLORREF colour) {
        auto linear = [](BYTE value) {
            double v = value / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
               0.0722 * linear(GetBValue(colour));
    };
    double const lighter = std::max(luminance(a), luminance(b)) + 0.05;
    double const darker = std::min(luminance(a), luminance(b)) + 0.05;
    return lighter / darker;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void Click(HWND dialog, int controlId) {
    SendMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}
