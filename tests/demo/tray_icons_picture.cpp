#include "tray_icons_picture.h"

#include "screen_picture.h"

#include <windows.h>

namespace {

struct LevelIcon {
    WORD id;
    const char* level;
};

// In the order of the charge they stand for, from full to none and then
// external power.
LevelIcon const LEVEL_ICONS[] = {
    {129, "Full"}, {130, "Medium"}, {131, "Low"}, {107, "Empty"}, {132, "External"},
};
int const ICON_COUNT = sizeof LEVEL_ICONS / sizeof LEVEL_ICONS[0];
int const ENLARGED = 128;  // four times the 32 x 32 the tray is given
int const MARGIN = 24;
int const LABEL_HEIGHT = 24;
int const WIDTH = MARGIN + ICON_COUNT * (ENLARGED + MARGIN);
int const HEIGHT = MARGIN + ENLARGED + LABEL_HEIGHT + MARGIN;

}  // namespace

RECT TrayIconArea(int index) {
    int left = MARGIN + index * (ENLARGED + MARGIN);
    return {left, MARGIN, left + ENLARGED, MARGIN + ENLARGED};
}

namespace {

bool DrawLevelIcons(HDC dc, HMODULE program) {
    RECT all = {0, 0, WIDTH, HEIGHT};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // Nearest-neighbour stretching keeps every pixel of the icon a crisp square.
    SetStretchBltMode(dc, COLORONCOLOR);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < ICON_COUNT; ++i) {
        RECT area = TrayIconArea(i);
        HICON icon = LoadIconA(program, MAKEINTRESOURCEA(LEVEL_ICONS[i].id));
        if (!icon || !DrawIconEx(dc, area.left, area.top, icon, ENLARGED, ENLARGED, 0, nullptr, DI_NORMAL)) {
            return false;
        }
        RECT label = {area.left, area.bottom + 4, area.right, area.bottom + LABEL_HEIGHT};
        DrawTextA(dc, LEVEL_ICONS[i].level, -1, &label, DT_CENTER | DT_SINGLELINE);
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
