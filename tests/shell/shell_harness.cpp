#include "shell_harness.h"

#include "main_window.h"
#include "resource.h"
#include "system_library.h"
#include "tray_icon.h"

#include <cstdio>
#include <cstring>

namespace {

char const POWER_SCRIPT[] = "corvanePower.txt";
char const STATE_TEMPORARY[] = "corvaneState.dat.tmp";

// A dialog or message box, and a popup menu's window.
char const DIALOG_CLASS[] = "#32770";
char const MENU_CLASS[] = "#32768";

DWORD const FORCE_CLOSE_AFTER_MS = 2000;

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
    EXPECT_FALSE(PumpMessages()) << "something posted WM_QUIT";
    RemoveStateFiles();
    RemovePowerScript();
}

ModalDriver* ModalDriver::current_ = nullptr;

ModalDriver::ModalDriver(Handler onDialog, Handler onMenu)
    : onDialog_(std::move(onDialog)), onMenu_(std::move(onMenu)), previous_(current_) {
    current_ = this;
    // USER_TIMER_MINIMUM: the shortest period a timer has anyway.
    timer_ = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, OnTimer);
}

ModalDriver::~ModalDriver() {
    KillTimer(nullptr, timer_);
    current_ = previous_;
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
