#pragma once
// Every settings test starts from an empty store of its own: a fresh settings file named by
// VEXILO_SETTINGS, or on Windows an emptied program key in the registry.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "settings/settings_backend.h"

namespace vexilo::test {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        ASSERT_TRUE(settings_backend().remove_key(main_key_path));
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
        settings_backend().remove_key(main_key_path);
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

    std::filesystem::path folder_;
    std::string file_;
};

}  // namespace vexilo::test
