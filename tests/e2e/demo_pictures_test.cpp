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

int const ICON_COUNT = sizeof LEVEL_ICONS / sizeof LEVEL_ICONS[0];
int const SIZE_COUNT = sizeof TRAY_ICON_SIZES / sizeof TRAY_ICON_SIZES[0];

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

// The icon's pixels at its own size on the task bar's colour, as the picture
// shows it, row by row.
std::vector<COLORREF> IconPixels(HICON icon, int size, COLORREF taskBar) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, size, size};
    HBRUSH brush = CreateSolidBrush(taskBar);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) pixels.push_back(GetPixel(memory, x, y));
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
    for (int i = 0; i < ICON_COUNT; ++i) {
        WORD const id = LEVEL_ICONS[i].id;
        for (int s = 0; s < SIZE_COUNT; ++s) {
            int size = TRAY_ICON_SIZES[s];
            HANDLE icon = LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0);
            for (int b = 0; b < 2; ++b) {
                std::vector<COLORREF> pixels = IconPixels(static_cast<HICON>(icon), size, TASK_BARS[b]);
                RECT area = TrayIconArea(i, s, b);
                int scale = (area.right - area.left) / size;
                int wrong = 0;
                for (int y = 0; y < size; ++y) {
                    for (int x = 0; x < size; ++x) {
                        COLORREF shown =
                            PixelOf(picture, area.left + x * scale + scale / 2, area.top + y * scale + scale / 2);
                        if (shown != pixels[static_cast<std::size_t>(y * size + x)]) ++wrong;
                    }
                }
                EXPECT_GE(scale, 2) << "enlarged";
                EXPECT_EQ(wrong, 0) << "icon " << id << " at " << size << " px on task bar " << b;
            }
            DestroyIcon(static_cast<HICON>(icon));
        }
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
