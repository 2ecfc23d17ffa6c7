// The status window's picture: the bar graph, the headline and the status text.
#pragma once

#include <windows.h>

// The bar graph's place in the client area.
int const BAR_LEFT = 10;
int const BAR_TOP = 13;
int const BAR_HEIGHT = 10;
int const BAR_MARGIN = 20;  // client width minus bar width

// Creates, the first time only, the brushes every paint uses.
void CreateDrawingBrushes();
void PaintStatusWindow(HDC dc, HWND window);
// Deletes the brushes; they are not created again afterwards.
void ReleaseDrawingBrushes();
