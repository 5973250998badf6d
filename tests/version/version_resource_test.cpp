// The version resource made from the project's version, read back through the Win32 version
// API (fixed file information, translation table, strings) and through the about box's reader.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialogs/ver_info.h"

namespace vexilo {
namespace {

const std::string project_version =
    std::to_string(VEXILO_VERSION_MAJOR) + "." + std::to_string(VEXILO_VERSION_MINOR) + "." +
    std::to_string(VEXILO_VERSION_PATCH) + "." + std::to_string(VEXILO_VERSION_BUILD);

std::string own_file() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::string version_text(DWORD most, DWORD least) {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(most), LOWORD(most), HIWORD(least),
                  LOWORD(least));
    return text;
}

TEST(VersionResource, CarriesTheProjectVersionForTheAboutBox) {
    const std::string path = own_file();
    ASSERT_FALSE(path.empty());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

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

TEST(VersionResource, AboutBoxReaderFindsItAndMissesItInOtherFiles) {
    const TVerInfoRes own(own_file());
    EXPECT_EQ(own.file_version_text(), project_version);
    EXPECT_EQ(own.fixed_file_info().signature, 0xFEEF04BDu);

    const auto plain = std::filesystem::temp_directory_path() / "vexilo-no-version.txt";
    std::ofstream(plain) << "no resource here\n";
    for (const std::string& file : {plain.string(), plain.string() + ".missing"}) {
        try {
            const TVerInfoRes none(file);
            ADD_FAILURE() << file;
        } catch (const ENoVerInfoError& error) {
            EXPECT_STREQ(error.what(), "No Version Info Available.");
        }
    }
    std::filesystem::remove(plain);
}

}  // namespace
}  // namespace vexilo
