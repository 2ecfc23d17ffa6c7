// The level icons as the notification area gets them: an image of its own
// for each small-icon size from 100 % to 300 % scaling, loaded at exactly
// that size, read back pixel by pixel and checked for what the eye needs on
// a dark and a light task bar.
#include "shell_harness.h"

#include "tray_icons_picture.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

COLORREF const BLACK = RGB(0, 0, 0);
COLORREF const WHITE = RGB(255, 255, 255);
COLORREF const GREEN = RGB(0, 128, 0);
COLORREF const CLEAR = CLR_INVALID;  // a transparent pixel

// The width of the image the icon's directory offers for this size; 0 when
// there is none.
int ImageWidthFor(int id, int size) {
    HMODULE module = TestModule();
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    auto directory = group ? static_cast<PBYTE>(LockResource(LoadResource(module, group))) : nullptr;
    int image = directory ? LookupIconIdFromDirectoryEx(directory, TRUE, size, size, 0) : 0;
    HRSRC entry = image ? FindResourceA(module, MAKEINTRESOURCEA(image), RT_ICON) : nullptr;
    auto header = entry ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, entry))) : nullptr;
    return header ? header->biWidth : 0;
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int size) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> bits(static_cast<std::size_t>(size * size));
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(size), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> pixels;
    if (rows != size) return pixels;
    for (DWORD bit : bits) pixels.push_back(RGB((bit >> 16) & 0xFF, (bit >> 8) & 0xFF, bit & 0xFF));
    return pixels;
}

// The icon as LoadImageA gives it at this size, row by row from the top.
std::vector<COLORREF> IconPixels(int id, int size) {
    HANDLE icon = LoadImageA(TestModule(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0);
    ICONINFO info = {};
    if (!icon || !GetIconInfo(static_cast<HICON>(icon), &info)) return {};
    std::vector<COLORREF> pixels = BitmapPixels(info.hbmColor, size);
    std::vector<COLORREF> mask = BitmapPixels(info.hbmMask, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(static_cast<HICON>(icon));
    if (mask.size() != pixels.size()) return {};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (mask[i] != BLACK) pixels[i] = CLEAR;
    }
    return pixels;
}

std::vector<COLORREF> Line(const std::vector<COLORREF>& pixels, int size, int at, bool column) {
    std::vector<COLORREF> line;
    for (int i = 0; i < size; ++i) {
        line.push_back(pixels[static_cast<std::size_t>(column ? i * size + at : at * size + i)]);
    }
    return line;
}

bool Opaque(COLORREF pixel) { return pixel != CLEAR; }

bool ClosedByBlack(const std::vector<COLORREF>& line) {
    auto first = std::find_if(line.begin(), line.end(), Opaque);
    auto last = std::find_if(line.rbegin(), line.rend(), Opaque);
    return first == line.end() || (*first == BLACK && *last == BLACK);
}

// The pixel just inside the outline, which is one or two pixels wide, seen
// from the line's start.
COLORREF InsideTheOutline(const std::vector<COLORREF>& line) {
    auto at = std::find_if(line.begin(), line.end(), Opaque);
    for (int width = 0; width < 2 && at != line.end() && *at == BLACK; ++width) ++at;
    return at == line.end() ? CLEAR : *at;
}

std::vector<COLORREF> Reversed(const std::vector<COLORREF>& line) { return {line.rbegin(), line.rend()}; }

int GreenRuns(const std::vector<COLORREF>& line) {
    int runs = 0;
    for (std::size_t i = 0; i < line.size(); ++i) runs += line[i] == GREEN && (i == 0 || line[i - 1] != GREEN);
    return runs;
}

// Whether at least half the opaque pixels stand out 3:1 from the task bar.
bool HalfStandsOut(const std::vector<COLORREF>& pixels, COLORREF taskBar) {
    int opaque = 0, standOut = 0;
    for (COLORREF pixel : pixels) {
        if (!Opaque(pixel)) continue;
        ++opaque;
        standOut += ContrastRatio(pixel, taskBar) >= 3.0;
    }
    return opaque > 0 && 2 * standOut >= opaque;
}

TEST(LevelIconsTest, EveryLevelHasItsOwnImageAtEveryTraySizeClosedRimmedCountedAndClear) {
    for (const LevelIcon& icon : LEVEL_ICONS) {
        for (int size : TRAY_ICON_SIZES) {
            SCOPED_TRACE(std::string(icon.level) + " at " + std::to_string(size) + " px");
            int width = ImageWidthFor(icon.id, size);
            EXPECT_EQ(width, size) << "the directory's nearest image";
            std::vector<COLORREF> pixels = IconPixels(icon.id, size);
            std::size_t const all = static_cast<std::size_t>(size * size);
            EXPECT_EQ(pixels.size(), all) << "loaded at this size and read back";
            if (width != size || pixels.size() != all) continue;
            for (int i = 0; i < size; ++i) {
                EXPECT_TRUE(ClosedByBlack(Line(pixels, size, i, false))) << "row " << i;
                EXPECT_TRUE(ClosedByBlack(Line(pixels, size, i, true))) << "column " << i;
            }
            std::vector<COLORREF> row = Line(pixels, size, size / 2, false);
            std::vector<COLORREF> column = Line(pixels, size, size / 2, true);
            EXPECT_EQ(InsideTheOutline(row), WHITE) << "left";
            EXPECT_EQ(InsideTheOutline(Reversed(row)), WHITE) << "right";
            EXPECT_EQ(InsideTheOutline(column), WHITE) << "top";
            EXPECT_EQ(InsideTheOutline(Reversed(column)), WHITE) << "bottom";
            EXPECT_EQ(GreenRuns(column), icon.bars);
            // External power has a black interior and no contrast to keep.
            if (icon.id != EXTERNAL_ICON) {
                EXPECT_TRUE(HalfStandsOut(pixels, TASK_BARS[0])) << "on a dark task bar";
                EXPECT_TRUE(HalfStandsOut(pixels, TASK_BARS[1])) << "on a light task bar";
            }
        }
    }
}

}  // namespace
