// The five tray icons as the program ships them, at every size the
// notification area draws them, on a dark and on a light task bar.
#pragma once

#include <windows.h>

#include <string>

// The level icons in the order of the charge they stand for, from full to
// none and then external power, with the charge bars each picture shows.
struct LevelIcon {
    WORD id;
    const char* level;
    int bars;
};
LevelIcon const LEVEL_ICONS[] = {
    {129, "Full", 5}, {130, "Medium", 3}, {131, "Low", 2}, {133, "Empty", 0}, {132, "External", 0},
};
WORD const EXTERNAL_ICON = 132;

// The notification area's icon at each of Windows' scalings, 100 to 300 % in
// steps of 25 %.
int const TRAY_ICON_SIZES[] = {16, 20, 24, 28, 32, 36, 40, 44, 48};
// Windows' dark and light task bars.
COLORREF const TASK_BARS[] = {RGB(0x20, 0x20, 0x20), RGB(0xF3, 0xF3, 0xF3)};

// Loads each icon from the program file at each size and saves them enlarged,
// every pixel a square, with the names of the levels and the sizes, as a BMP
// file.
bool SaveTrayIconsPicture(const std::string& exe, const std::string& path);
// Where the picture shows the icon with this index (Full, Medium, Low, Empty,
// External) at TRAY_ICON_SIZES[size] on TASK_BARS[taskBar]; its width is a
// whole number of times the icon's.
RECT TrayIconArea(int index, int size, int taskBar);
