#include "replace_file.h"

// The file API only; the core never includes a window-system header.
#include <windef.h>
#include <winbase.h>

#include <cstdio>

bool ReplaceFileContents(const char* path, const unsigned char* bytes, std::size_t size) {
    char temporaryPath[MAX_PATH];
    int length = std::snprintf(temporaryPath, sizeof temporaryPath, "%s.tmp", path);
    if (length < 0 || length >= static_cast<int>(sizeof temporaryPath)) return false;

    HANDLE file = CreateFileA(temporaryPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool complete = WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) &&
                    written == size && FlushFileBuffers(file);
    bool closed = CloseHandle(file) != 0;
    if (complete && closed &&
        MoveFileExA(temporaryPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileA(temporaryPath);
    return false;
}
