#include "replace_file.h"

#include "format_text.h"

// The file API only; the core never includes a window-system header.
#include <windef.h>
#include <winbase.h>

bool ReplaceFileContents(const char* path, const unsigned char* bytes, std::size_t size) {
    char temporaryPath[MAX_PATH];
    if (!FormatText(temporaryPath, sizeof temporaryPath, "%s.tmp", path)) return false;

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
