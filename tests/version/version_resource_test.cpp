// The version resource made from the project's version, read back through the Win32 version
// API the way the about box does: fixed file information, translation table, strings.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vexilo {
namespace {

const std::string project_version =
    std::to_string(VEXILO_VERSION_MAJOR) + "." + std::to_string(VEXILO_VERSION_MINOR) + "." +
    std::to_string(VEXILO_VERSION_PATCH) + "." + std::to_string(VEXILO_VERSION_BUILD);

std::string version_text(DWORD most, DWORD least) {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(most), LOWORD(most), HIWORD(least),
                  LOWORD(least));
    return text;
}

TEST(VersionResource, CarriesTheProjectVersionForTheAboutBox) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));

    void* block = nullptr;
    UINT block_size = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &block, &block_size));
    ASSERT_GE(block_size, 52u);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(version_text(fixed->dwFileVersionMS, fixed->dwFileVersionLS), project_version);
    EXPECT_EQ(version_text(fixed->dwProductVersionMS, fixed->dwProductVersionLS), project_version);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &block, &block_size));
    ASSERT_EQ(block_size, 4u);
    const auto* translation = static_cast<const WORD*>(block);
    EXPECT_EQ(translation[0], 0x0409);  // US English
    EXPECT_EQ(translation[1], 1252);    // the program's code page

    const auto string_value = [&](const char* name) -> std::string {
        char query[96];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\%s", translation[0],
                      translation[1], name);
        void* text = nullptr;
        UINT text_size = 0;
        if (!VerQueryValueA(data.data(), query, &text, &text_size) || text_size == 0) return "";
        return static_cast<const char*>(text);
    };
    EXPECT_EQ(string_value("FileVersion"), project_version);
    EXPECT_EQ(string_value("ProductVersion"), project_version);
    EXPECT_EQ(string_value("ProductName"), "NIMBRA Vexilo");
    EXPECT_EQ(string_value("OriginalFilename"), "version_tests.exe");
}

}  // namespace
}  // namespace vexilo
