#include "tray_icons_picture.h"

#include "screen_picture.h"

#include <windows.h>

#include <cstdio>

namespace {

int const ICON_COUNT = sizeof LEVEL_ICONS / sizeof LEVEL_ICONS[0];
int const SIZE_COUNT = sizeof TRAY_ICON_SIZES / sizeof TRAY_ICON_SIZES[0];
const char* const TASK_BAR_NAMES[] = {"Dark task bar, #202020", "Light task bar, #F3F3F3"};
int const TASK_BAR_COUNT = sizeof TASK_BARS / sizeof TASK_BARS[0];

int const CELL = 96;
int const GAP = 12;
int const MARGIN = 16;
int const LEVEL_LABEL_WIDTH = 72;
int const LINE = 20;
int const BAND_WIDTH = GAP + SIZE_COUNT * (CELL + GAP);
int const BAND_HEIGHT = GAP + ICON_COUNT * (CELL + GAP);
int const BAND_TOP = MARGIN + 2 * LINE;
int const WIDTH = MARGIN + LEVEL_LABEL_WIDTH + TASK_BAR_COUNT * (BAND_WIDTH + MARGIN);
int const HEIGHT = BAND_TOP + BAND_HEIGHT + MARGIN;

RECT BandArea(int taskBar) {
    int left = MARGIN + LEVEL_LABEL_WIDTH + taskBar * (BAND_WIDTH + MARGIN);
    return {left, BAND_TOP, left + BAND_WIDTH, BAND_TOP + BAND_HEIGHT};
}

// Each icon is enlarged a whole number of times, as many as fit the cell,
// so that every pixel stays a square.
int Magnification(int size) { return CELL / TRAY_ICON_SIZES[size]; }

RECT CellArea(int index, int size, int taskBar) {
    RECT band = BandArea(taskBar);
    int left = band.left + GAP + size * (CELL + GAP);
    int top = band.top + GAP + index * (CELL + GAP);
    return {left, top, left + CELL, top + CELL};
}

}  // namespace

RECT TrayIconArea(int index, int size, int taskBar) {
    RECT cell = CellArea(index, size, taskBar);
    int enlarged = Magnification(size) * TRAY_ICON_SIZES[size];
    int inset = (CELL - enlarged) / 2;
    return {cell.left + inset, cell.top + inset, cell.left + inset + enlarged, cell.top + inset + enlarged};
}

namespace {

void DrawLabels(HDC dc) {
    for (int b = 0; b < TASK_BAR_COUNT; ++b) {
        RECT band = BandArea(b);
        RECT title = {band.left, MARGIN, band.right, MARGIN + LINE};
        DrawTextA(dc, TASK_BAR_NAMES[b], -1, &title, DT_CENTER | DT_SINGLELINE);
        for (int s = 0; s < SIZE_COUNT; ++s) {
            RECT cell = CellArea(0, s, b);
            RECT label = {cell.left, MARGIN + LINE, cell.right, BAND_TOP};
            char text[32];
            std::snprintf(text, sizeof text, "%d px (%dx)", TRAY_ICON_SIZES[s], Magnification(s));
            DrawTextA(dc, text, -1, &label, DT_CENTER | DT_SINGLELINE);
        }
    }
    for (int i = 0; i < ICON_COUNT; ++i) {
        RECT cell = CellArea(i, 0, 0);
        RECT label = {MARGIN, cell.top, MARGIN + LEVEL_LABEL_WIDTH, cell.bottom};
        DrawTextA(dc, LEVEL_ICONS[i].level, -1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
}

bool DrawLevelIcons(HDC dc, HMODULE program) {
    RECT all = {0, 0, WIDTH, HEIGHT};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int b = 0; b < TASK_BAR_COUNT; ++b) {
        RECT band = BandArea(b);
        HBRUSH brush = CreateSolidBrush(TASK_BARS[b]);
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
    // Nearest-neighbour stretching keeps every pixel of the icon a crisp square.
    SetStretchBltMode(dc, COLORONCOLOR);
    SetBkMode(dc, TRANSPARENT);
    DrawLabels(dc);
    for (int i = 0; i < ICON_COUNT; ++i) {
        for (int s = 0; s < SIZE_COUNT; ++s) {
            // At the size the notification area asks for, so each is the image drawn for it.
            HANDLE icon = LoadImageA(program, MAKEINTRESOURCEA(LEVEL_ICONS[i].id), IMAGE_ICON,
                                     TRAY_ICON_SIZES[s], TRAY_ICON_SIZES[s], 0);
            if (!icon) return false;
            bool drawn = true;
            for (int b = 0; b < TASK_BAR_COUNT; ++b) {
                RECT area = TrayIconArea(i, s, b);
                drawn = drawn && DrawIconEx(dc, area.left, area.top, static_cast<HICON>(icon), area.right - area.left,
                                            area.bottom - area.top, 0, nullptr, DI_NORMAL);
            }
            DestroyIcon(static_cast<HICON>(icon));
            if (!drawn) return false;
        }
    }
    return true;
}

}  // namespace

bool SaveTrayIconsPicture(const std::string& exe, const std::string& path) {
    // As a data file, so only the resources are mapped and nothing of the program runs.
    HMODULE program = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) return false;
    bool saved = SavePicture(WIDTH, HEIGHT, [&](HDC memory) { return DrawLevelIcons(memory, program); }, path);
    FreeLibrary(program);
    return saved;
}
