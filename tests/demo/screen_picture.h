// Pictures saved as 24-bit BMP files, which ImageMagick turns into PNG.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Draws into a memory bitmap of that size and saves it; false when the
// drawing or the saving fails.
bool SavePicture(int width, int height, const std::function<bool(HDC)>& draw, const std::string& path);
// What the screen shows inside the rectangle now.
bool SaveScreenArea(const RECT& area, const std::string& path);
