// The version and copyright the program and the installer show in their file
// properties, as Windows reads them, against the project's (PROJECT_VERSION
// and COPYRIGHT, from CMake), and what the program's manifest declares.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The fixed version as "major.minor.patch.build", then the texts of the
// first language listed.
std::vector<std::string> VersionResource(const char* path, std::vector<std::string> names) {
    std::vector<char> data(GetFileVersionInfoSizeA(path, nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* language = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoA(path, 0, DWORD(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size) ||
        !VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language), &size)) {
        return {};
    }
    std::vector<std::string> found = {
        std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS))};
    for (const std::string& name : names) {
        char query[64] = {}, *text = nullptr;
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language[0], language[1], name.c_str());
        found.push_back(VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &size) ? text : "");
    }
    return found;
}

TEST(VersionResources, ProgramAndInstallerShowTheProjectsVersionAndCopyright) {
    std::vector<std::string> const expected = {PROJECT_VERSION ".0", PROJECT_VERSION, PROJECT_VERSION, COPYRIGHT};
    for (const char* file : {"CORVANE_EXE", "CORVANE_INSTALLER"}) {
        EXPECT_EQ(VersionResource(std::getenv(file), {"FileVersion", "ProductVersion", "LegalCopyright"}), expected)
            << file;
    }
}

// The processor the manifest names, for the program and for the styled
// controls it depends on, is the one the program's code is for: Windows
// refuses to start a program whose manifest names another. Windows
// scales the window, drawing GDI sharp; DPI awareness would keep it at 250 x
// 185 screen pixels.
TEST(VersionResources, ManifestNamesTheProgramsProcessorStyledControlsAndScaling) {
    const char* path = std::getenv("CORVANE_EXE");
    HMODULE program = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                         SizeofResource(program, found));
    FreeLibrary(program);
    DWORD kind = 0;
    ASSERT_TRUE(GetBinaryTypeA(path, &kind));
    std::string const processor = kind == SCS_64BIT_BINARY ? "amd64" : "x86";
    EXPECT_NE(manifest.find(" processorArchitecture=\"" + processor + "\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"" +
                            processor + "\""),
              std::string::npos)
        << "the styled controls, for the same processor";
    EXPECT_NE(manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <windowsSettings>\n"
                            "      <gdiScaling xmlns=\"http://schemas.microsoft.com/SMI/2017/WindowsSettings\">"
                            "true</gdiScaling>"), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos) << "neither dpiAware nor dpiAwareness";
}

}  // namespace
