// The counters the leak tests rely on: each must see exactly the objects a
// test creates and no longer see them once destroyed, or a leak test would
// pass whatever the shell did.
#include "gui_object_count.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int const N = 7;

TEST(GuiObjectCount, SeesEveryBrushPenAndDcCreatedAndDestroyed) {
    // The first DC of a process creates objects it keeps (fonts, a palette).
    DeleteDC(CreateCompatibleDC(nullptr));

    int const all = CountGdiObjects();
    int const brushes = CountGdiObjects(OBJ_BRUSH);
    int const pens = CountGdiObjects(OBJ_PEN);
    int const memoryDcs = CountGdiObjects(OBJ_MEMDC);
    ASSERT_GT(all, 0) << "stock objects are live in every process";

    std::vector<HGDIOBJ> created;
    for (int i = 0; i < N; ++i) created.push_back(CreateSolidBrush(RGB(1, 2, i)));
    EXPECT_EQ(CountGdiObjects(), all + N);
    EXPECT_EQ(CountGdiObjects(OBJ_BRUSH), brushes + N);
    EXPECT_EQ(CountGdiObjects(OBJ_PEN), pens);

    created.push_back(CreatePen(PS_SOLID, 1, RGB(3, 4, 5)));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(CountGdiObjects(), all + N + 2);
    EXPECT_EQ(CountGdiObjects(OBJ_PEN), pens + 1);
    EXPECT_EQ(CountGdiObjects(OBJ_MEMDC), memoryDcs + 1);

    DeleteDC(dc);
    for (HGDIOBJ object : created) DeleteObject(object);
    EXPECT_EQ(CountGdiObjects(), all);
    EXPECT_EQ(CountGdiObjects(OBJ_BRUSH), brushes);
}

TEST(GuiObjectCount, FindsSolidBrushesByColour) {
    COLORREF const colour = RGB(12, 34, 56);
    EXPECT_EQ(CountSolidBrushes(colour), 0);
    HBRUSH one = CreateSolidBrush(colour);
    HBRUSH two = CreateSolidBrush(colour);
    HBRUSH other = CreateSolidBrush(RGB(12, 34, 57));
    EXPECT_EQ(CountSolidBrushes(colour), 2);
    DeleteObject(one);
    EXPECT_EQ(CountSolidBrushes(colour), 1);
    DeleteObject(two);
    DeleteObject(other);
    EXPECT_EQ(CountSolidBrushes(colour), 0);
}

TEST(GuiObjectCount, SeesEveryMenuCreatedAndDestroyed) {
    int const before = CountMenus();
    std::vector<HMENU> menus;
    for (int i = 0; i < N; ++i) menus.push_back(CreatePopupMenu());
    menus.push_back(CreateMenu());
    EXPECT_EQ(CountMenus(), before + N + 1);
    // A window is a user handle too, and must not count as a menu.
    HWND window = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    EXPECT_EQ(CountMenus(), before + N + 1);
    DestroyWindow(window);
    for (HMENU menu : menus) DestroyMenu(menu);
    EXPECT_EQ(CountMenus(), before);
}

TEST(GuiObjectCount, SeesTopLevelChildAndMessageOnlyWindows) {
    // Wine gives a thread its IME window with its first window and takes it
    // away with its last; one window kept open holds that one steady.
    HWND anchor = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    int const before = CountWindows();
    HWND top = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(CountWindows(), before + 1);

    HWND child = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr,
                                 nullptr);
    HWND grandchild = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 2, 2, child, nullptr,
                                      nullptr, nullptr);
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(CountWindows(), before + 3);

    HWND messageOnly = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       nullptr, nullptr);
    ASSERT_NE(messageOnly, nullptr);
    EXPECT_EQ(CountWindows(), before + 4);

    DestroyWindow(messageOnly);
    DestroyWindow(top);
    EXPECT_EQ(CountWindows(), before);
    DestroyWindow(anchor);
}

TEST(GuiObjectCount, CountsTogether) {
    GuiObjectCounts const before = CountGuiObjects();
    HMENU menu = CreatePopupMenu();
    GuiObjectCounts const during = CountGuiObjects();
    EXPECT_NE(during, before);
    EXPECT_EQ(during.menus, before.menus + 1);
    DestroyMenu(menu);
    EXPECT_EQ(CountGuiObjects(), before) << Describe(CountGuiObjects());
}

}  // namespace
