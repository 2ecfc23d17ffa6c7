#include "gui_object_count.h"

namespace {

// The handle ranges of Wine 8's tables (see the header).
unsigned const LAST_GDI_INDEX = 0xFFFF;
unsigned const FIRST_USER_HANDLE = 0x20;
unsigned const LAST_USER_HANDLE = 0xFFEF;

HGDIOBJ GdiObjectAt(unsigned index) {
    return reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(index));
}

// Calls the visitor with each live GDI object of the process; the type is
// GetObjectType's answer.
template <typename Visitor>
void ForEachGdiObject(Visitor visit) {
    for (unsigned index = 1; index <= LAST_GDI_INDEX; ++index) {
        HGDIOBJ object = GdiObjectAt(index);
        DWORD type = GetObjectType(object);
        if (type != 0) visit(object, type);
    }
}

struct WindowCount {
    DWORD process;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM context) {
    // EnumChildWindows visits every descendant, not only the direct children.
    ++reinterpret_cast<WindowCount*>(context)->count;
    return TRUE;
}

void CountWithDescendants(HWND window, WindowCount* tally) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != tally->process) return;
    ++tally->count;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(tally));
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM context) {
    CountWithDescendants(window, reinterpret_cast<WindowCount*>(context));
    return TRUE;
}

}  // namespace

int CountGdiObjects(DWORD type) {
    int count = 0;
    ForEachGdiObject([&](HGDIOBJ, DWORD objectType) {
        if (type == 0 || objectType == type) ++count;
    });
    return count;
}

int CountSolidBrushes(COLORREF colour) {
    int count = 0;
    ForEachGdiObject([&](HGDIOBJ object, DWORD type) {
        if (type != OBJ_BRUSH) return;
        LOGBRUSH brush = {};
        if (GetObjectA(object, sizeof brush, &brush) != sizeof brush) return;
        if (brush.lbStyle == BS_SOLID && brush.lbColor == colour) ++count;
    });
    return count;
}

int CountMenus() {
    int count = 0;
    for (unsigned handle = FIRST_USER_HANDLE; handle <= LAST_USER_HANDLE; handle += 2) {
        if (IsMenu(reinterpret_cast<HMENU>(static_cast<UINT_PTR>(handle)))) ++count;
    }
    return count;
}

int CountWindows() {
    WindowCount tally = {GetCurrentProcessId(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&tally));
    // Message-only windows are not top-level windows and EnumWindows skips them.
    HWND messageWindow = nullptr;
    while ((messageWindow = FindWindowExA(HWND_MESSAGE, messageWindow, nullptr, nullptr)) != nullptr) {
        CountWithDescendants(messageWindow, &tally);
    }
    return tally.count;
}

GuiObjectCounts CountGuiObjects() {
    // The windows first: a process's first walk of them makes GDI objects
    // that Wine keeps, which the GDI count must already see.
    int const windows = CountWindows();
    int const menus = CountMenus();
    return {CountGdiObjects(), menus, windows};
}

std::string Describe(const GuiObjectCounts& counts) {
    return "gdi=" + std::to_string(counts.gdiObjects) + " menus=" + std::to_string(counts.menus) +
           " windows=" + std::to_string(counts.windows);
}
