#include "system_library.h"

#include "format_text.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

}  // namespace

void RestrictDllSearchToSystem32() {
    // Looked up, not imported, so that the program still starts where it is missing.
    auto setDefaultDllDirectories = AsFunction<SetDefaultDllDirectoriesFunction>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

FARPROC FindSystemFunction(char const* library, char const* function) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    if (!FormatText(path + length, MAX_PATH - length, "\\%s", library)) return nullptr;
    HMODULE module = LoadLibraryA(path);
    return module ? GetProcAddress(module, function) : nullptr;
}
