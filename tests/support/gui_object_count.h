// Counts of the GUI objects this process holds, for tests that check that
// painting, ticking and menus give back everything they take.
//
// Windows answers this with GetGuiResources, but under Wine that function is
// a stub that always returns 0, so these functions look at the handle tables
// themselves, the way Wine 8 lays them out:
//
// - GDI objects live in a per-process table of 65536 entries, and a handle's
//   low word is its index. Wine's gdi32 accepts a handle whose high word is 0
//   as naming whatever live object holds that index, so asking
//   GetObjectType for every index from 1 to 0xFFFF finds each live object of
//   this process exactly once (stock objects included).
// - Menus are user handles, ((index << 1) + 0x20) with a generation count in
//   the high word; win32u accepts a high word of 0 as any generation, so
//   IsMenu over the 32752 possible handles counts the live menus. Menus
//   never leave their process, so another program's menus cannot be counted.
// - Windows are counted by walking them: every top-level and message-only
//   window whose process is this one, and all their descendants.
//
// The tests in tests/shell/gui_object_count_test.cpp check each count against
// objects they create and destroy, so a Wine that changes its handle tables
// fails there first, not in a leak test that would then pass for nothing.
#pragma once

#include <windows.h>

#include <string>

// Live GDI objects of this process; with a type (OBJ_BRUSH, OBJ_PEN, OBJ_DC,
// ...) only the objects of that type.
int CountGdiObjects(DWORD type = 0);

// Live brushes of this process that are solid brushes of this colour.
int CountSolidBrushes(COLORREF colour);

// Live menus (popup menus and menu bars) of this process.
int CountMenus();

// Windows of this process: top-level, message-only and all their children.
int CountWindows();

struct GuiObjectCounts {
    int gdiObjects;
    int menus;
    int windows;

    bool operator==(const GuiObjectCounts& other) const {
        return gdiObjects == other.gdiObjects && menus == other.menus && windows == other.windows;
    }
    bool operator!=(const GuiObjectCounts& other) const { return !(*this == other); }
};

GuiObjectCounts CountGuiObjects();

// "gdi=N menus=N windows=N", for test messages.
std::string Describe(const GuiObjectCounts& counts);
