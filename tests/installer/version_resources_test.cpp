// The version the program and the installer show in their file properties,
// and the program's manifest, as Windows reads them, against the project's
// version and copyright (PROJECT_VERSION and COPYRIGHT, from CMake).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct VersionResource {
    std::vector<char> data;

    explicit VersionResource(const char* path) {
        DWORD size = GetFileVersionInfoSizeA(path, nullptr);
        data.resize(size);
        if (size == 0 || !GetFileVersionInfoA(path, 0, size, data.data())) data.clear();
    }

    // "major.minor.patch.build" from the fixed part, which Windows shows as the file version.
    std::string FixedVersion() const {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        if (data.empty() || !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size)) return "";
        return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
               "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    }

    // A text of the first language the resource lists.
    std::string Text(const char* name) const {
        WORD* language = nullptr;
        UINT size = 0;
        if (data.empty() ||
            !VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&language), &size)) {
            return "";
        }
        char query[64] = {};
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language[0], language[1], name);
        char* text = nullptr;
        if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &size)) return "";
        return text;
    }
};

void ExpectVersionAndCopyright(const char* variable) {
    const char* path = std::getenv(variable);
    ASSERT_NE(path, nullptr) << variable;
    VersionResource resource(path);
    EXPECT_EQ(resource.FixedVersion(), PROJECT_VERSION ".0") << path;
    EXPECT_EQ(resource.Text("FileVersion"), PROJECT_VERSION) << path;
    EXPECT_EQ(resource.Text("ProductVersion"), PROJECT_VERSION) << path;
    EXPECT_EQ(resource.Text("LegalCopyright"), COPYRIGHT) << path;
}

TEST(VersionResources, ProgramAndInstallerShowTheProjectsVersionAndCopyright) {
    ExpectVersionAndCopyright("CORVANE_EXE");
    ExpectVersionAndCopyright("CORVANE_INSTALLER");
}

TEST(VersionResources, ManifestNamesTheProjectsVersion) {
    HMODULE program = LoadLibraryExA(std::getenv("CORVANE_EXE"), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                         SizeofResource(program, found));
    FreeLibrary(program);
    size_t identity = manifest.find("<assemblyIdentity ");
    ASSERT_NE(identity, std::string::npos);
    std::string element = manifest.substr(identity, manifest.find("/>", identity) - identity);
    EXPECT_NE(element.find(" version=\"" PROJECT_VERSION ".0\""), std::string::npos) << element;
}

}  // namespace
