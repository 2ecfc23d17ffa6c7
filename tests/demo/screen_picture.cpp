#include "screen_picture.h"

#include "state_file_bytes.h"

#include <cstring>

namespace {

// The bitmap must not be selected into a device context here.
bool SaveBitmap(HDC screen, HBITMAP bitmap, int width, int height, const std::string& path) {
    BITMAPINFOHEADER header = {sizeof(header)};
    header.biWidth       = width;
    header.biHeight      = height;
    header.biPlanes      = 1;
    header.biBitCount    = 24;
    header.biCompression = BI_RGB;
    DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    file.bfType    = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize    = file.bfOffBits + rowBytes * static_cast<DWORD>(height);

    Bytes bytes(file.bfSize);
    std::memcpy(&bytes[0], &file, sizeof file);
    std::memcpy(&bytes[sizeof file], &header, sizeof header);
    int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), &bytes[file.bfOffBits],
                         reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    return rows == height && WriteFileBytes(path, bytes);
}

}  // namespace

bool SavePicture(int width, int height, const std::function<bool(HDC)>& draw, const std::string& path) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    bool drawn = draw(memory);
    SelectObject(memory, previous);
    bool saved = drawn && SaveBitmap(screen, bitmap, width, height, path);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

bool SaveScreenArea(const RECT& area, const std::string& path) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    return SavePicture(width, height, [&](HDC memory) {
        HDC screen = GetDC(nullptr);
        bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        ReleaseDC(nullptr, screen);
        return copied;
    }, path);
}
