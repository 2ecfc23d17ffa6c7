// The five tray icons as the program ships them, side by side.
#pragma once

#include <windows.h>

#include <string>

// Loads the icons from the program file and saves them enlarged, each with
// the name of its level beneath, as a BMP file.
bool SaveTrayIconsPicture(const std::string& exe, const std::string& path);
// Where the picture shows the icon with this index, counted from the left:
// Full, Medium, Low, Empty, External.
RECT TrayIconArea(int index);
