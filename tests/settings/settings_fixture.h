#pragma once
// Every settings test starts from an empty store of its own: a fresh settings file named by
// VEXILO_SETTINGS, or on Windows a fresh key that stands in for HKEY_CURRENT_USER for the
// whole test program, so that a run on an operator's PC leaves the real settings alone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "settings/settings_backend.h"

namespace vexilo::test {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        stand_in_ = std::string(stand_in_parent) + "\\" + std::to_string(::_getpid());
        ASSERT_TRUE(settings_backend().remove_key(stand_in_));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, stand_in_.c_str() + 1, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, key), ERROR_SUCCESS);
        RegCloseKey(key);
#else
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("vexilo-settings-" + std::to_string(::getpid()) + "-" + test->name());
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
        std::filesystem::create_directories(folder_);
        file_ = (folder_ / "settings").string();
        ::setenv("VEXILO_SETTINGS", file_.c_str(), 1);
#endif
    }

    void TearDown() override {
#if defined(_WIN32)
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        settings_backend().remove_key(stand_in_);
        // Fails, as it should, while another test program still has its key there.
        RegDeleteKeyA(HKEY_CURRENT_USER, stand_in_parent + 1);
#else
        std::error_code error;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(folder_, error);
        ::unsetenv("VEXILO_SETTINGS");
#endif
    }

    // Writes values through the store itself, in the given order.
    static void write_int(const char* key_path, const std::string& name, int value) {
        const auto key = settings_backend().open_key(key_path);
        ASSERT_TRUE(key);
        key->write_int(name, value);
    }
    static void write_text(const char* key_path, const std::string& name,
                           const std::string& value) {
        const auto key = settings_backend().open_key(key_path);
        ASSERT_TRUE(key);
        key->write_text(name, value);
    }
    static std::optional<SettingValue> read_value(const char* key_path, const std::string& name) {
        const auto key = settings_backend().open_key(key_path);
        if (!key) return std::nullopt;
        return key->read(name);
    }

#if defined(_WIN32)
    static constexpr const char* stand_in_parent = "\\SOFTWARE\\Vexilo tests";
    std::string stand_in_;  // a path under the real HKEY_CURRENT_USER
#endif
    std::filesystem::path folder_;
    std::string file_;
};

}  // namespace vexilo::test
