// make demo's pictures: the tray icons are the program's own, enlarged pixel
// for pixel, and a picture of the screen holds the window as it is shown.
#include "program_under_test.h"
#include "screen_picture.h"
#include "tray_icons_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A saved picture's header; zero sizes when the file is too short for one.
BITMAPINFOHEADER HeaderOf(const Bytes& picture) {
    BITMAPINFOHEADER header = {};
    if (picture.size() >= sizeof(BITMAPFILEHEADER) + sizeof header) {
        std::memcpy(&header, &picture[sizeof(BITMAPFILEHEADER)], sizeof header);
    }
    return header;
}

// A pixel of a saved picture, counted from its top left; black outside it.
COLORREF PixelOf(const Bytes& picture, int x, int y) {
    BITMAPINFOHEADER header = HeaderOf(picture);
    if (x < 0 || y < 0 || x >= header.biWidth || y >= header.biHeight) return RGB(0, 0, 0);
    BITMAPFILEHEADER file;
    std::memcpy(&file, &picture[0], sizeof file);
    std::size_t rowBytes = (static_cast<std::size_t>(header.biWidth) * 3 + 3) & ~std::size_t{3};
    std::size_t at = file.bfOffBits + static_cast<std::size_t>(header.biHeight - 1 - y) * rowBytes +
                     static_cast<std::size_t>(x) * 3;
    return at + 2 < picture.size() ? RGB(picture[at + 2], picture[at + 1], picture[at]) : RGB(0, 0, 0);
}

// The icon's pixels at its own size on white, as the picture's background
// is, row by row.
std::vector<COLORREF> IconPixels(HICON icon) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, 32, 32};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(memory, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

const char* ScriptedProgram() { return std::getenv("CORVANE_SCRIPTED_EXE"); }

TEST(DemoPicturesTest, TheTrayIconsAreTheProgramsOwnEnlargedPixelForPixel) {
    ASSERT_NE(ScriptedProgram(), nullptr);
    std::string path = PathIn(MakeFreshFolder("demo-icons"), "tray-icons.bmp");
    ASSERT_TRUE(SaveTrayIconsPicture(ScriptedProgram(), path));
    Bytes picture = ReadFileBytes(path);
    HMODULE program = LoadLibraryExA(ScriptedProgram(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    WORD const fullToExternal[] = {129, 130, 131, 107, 132};
    for (int i = 0; i < 5; ++i) {
        std::vector<COLORREF> icon = IconPixels(LoadIconA(program, MAKEINTRESOURCEA(fullToExternal[i])));
        RECT area = TrayIconArea(i);
        int scale = (area.right - area.left) / 32;
        int wrong = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                COLORREF shown = PixelOf(picture, area.left + x * scale + scale / 2, area.top + y * scale + scale / 2);
                if (shown != icon[static_cast<std::size_t>(y * 32 + x)]) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << "icon " << fullToExternal[i];
    }
    FreeLibrary(program);
}

// Engaged at 100%: the bar's left half is light blue and its right half blue.
TEST(DemoPicturesTest, AScreenPictureHoldsTheWindowAsShown) {
    ASSERT_NE(ScriptedProgram(), nullptr);
    RunningProgram program;
    ASSERT_TRUE(StartProgram(ScriptedProgram(), MakeFreshFolder("demo-screen"), &program));
    SetPowerReading(program, "0 100");
    ASSERT_TRUE(SendTick(program.window));
    ClickTrayIcon(program.window, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(program.window) != 0; }));
    // Away from the screen's corner, so that only the right place gives the right picture.
    SetWindowPos(program.window, nullptr, 130, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    RECT frame, client;
    GetWindowRect(program.window, &frame);
    GetClientRect(program.window, &client);
    POINT reserve = {15, 18}, system = {client.right - 15, 18};
    ClientToScreen(program.window, &reserve);
    ClientToScreen(program.window, &system);
    std::string path = PathIn(program.folder, "window.bmp");
    Bytes picture;
    bool painted = WaitFor([&] {
        if (!SaveScreenArea(frame, path)) return false;
        picture = ReadFileBytes(path);
        return PixelOf(picture, reserve.x - frame.left, reserve.y - frame.top) == RGB(140, 140, 255) &&
               PixelOf(picture, system.x - frame.left, system.y - frame.top) == RGB(100, 100, 255);
    });
    EXPECT_TRUE(painted);
    EXPECT_EQ(HeaderOf(picture).biWidth, frame.right - frame.left);
    EXPECT_EQ(HeaderOf(picture).biHeight, frame.bottom - frame.top);
    EXPECT_EQ(ExitProgram(&program), 0);
    CloseHandles(&program);
}

}  // namespace
