// The registry of the current user as the settings store: where the values land, with which
// types, and how values that other tools wrote there are read.

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "settings_fixture.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using Strings = std::vector<std::string>;

struct RawValue {
    DWORD type = REG_NONE;
    std::string data;
};

// A value read with the plain registry API, beside the store.
std::optional<RawValue> raw_value(const char* key_path, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.data.resize(size);
        result = RegQueryValueExA(key, name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return value;
}

void set_raw(const char* key_path, const std::string& name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string dword_bytes(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

const char* const main_key = "SOFTWARE\\Orvane\\Nimbra\\Vexilo";
const char* const folder_key = "SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Folder List";

class SettingsRegistry : public test::SettingsTest {};

TEST_F(SettingsRegistry, ValuesLandUnderTheProgramKeyAsDwordAndString) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, main_key, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_text_setting("Root Folder", default_list_folder()), "C:\\");
    store_folder_list({"C:\\zeta", "C:\\alpha"});

    EXPECT_EQ(raw_value(main_key, "Port")->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw_value(main_key, "Port")->data, dword_bytes(1));
    EXPECT_EQ(raw_value(main_key, "Root Folder")->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw_value(main_key, "Root Folder")->data, std::string("C:\\\0", 4));
    EXPECT_EQ(raw_value(folder_key, "C:\\zeta")->data, dword_bytes(0));
    EXPECT_EQ(raw_value(folder_key, "C:\\alpha")->data, dword_bytes(1));
    EXPECT_EQ(raw_value(folder_key, "C:\\alpha")->type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(SettingsRegistry, ValuesWrittenByOtherTools) {
    test::MessageRecorder messages;
    // Strings without their final zero, or with text after one, and expandable strings.
    set_raw(main_key, "Root Folder", REG_SZ, "D:\\lists");
    set_raw(main_key, "List Folder", REG_SZ, std::string("E:\\a\0junk", 9));
    set_raw(main_key, "Old Folder", REG_EXPAND_SZ, std::string("%USERPROFILE%\0", 14));
    EXPECT_EQ(read_text_setting("Root Folder", ""), "D:\\lists");
    EXPECT_EQ(read_text_setting("List Folder", ""), "E:\\a");
    EXPECT_EQ(read_text_setting("Old Folder", ""), "%USERPROFILE%");
    EXPECT_TRUE(messages.errors.empty());

    // Types the store does not use; a DWORD needs its four bytes.
    set_raw(main_key, "Port", REG_BINARY, dword_bytes(2));
    set_raw(main_key, "Short", REG_DWORD, "\x02\x00");
    set_raw(main_key, "Wide", REG_QWORD, dword_bytes(2) + dword_bytes(0));
    set_raw(main_key, "Multi", REG_MULTI_SZ, std::string("C:\\\0D:\\\0\0", 9));
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_int_setting("Short", 5), 5);
    EXPECT_EQ(read_int_setting("Wide", 5), 5);
    EXPECT_EQ(read_text_setting("Multi", "C:\\"), "C:\\");
    EXPECT_EQ(messages.errors,
              (Strings{"Invalid data type for 'Port'", "Invalid data type for 'Short'",
                       "Invalid data type for 'Wide'", "Invalid data type for 'Multi'"}));
    EXPECT_EQ(raw_value(main_key, "Port")->type, static_cast<DWORD>(REG_BINARY));

    // Folder names longer than MAX_PATH and value names far beyond 255 characters.
    const std::string deep = "C:\\" + std::string(400, 'd');
    store_folder_list({deep, "C:\\short"});
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{deep, "C:\\short"}));
    store_text_setting("List Folder", deep);
    EXPECT_EQ(read_text_setting("List Folder", ""), deep);
}

}  // namespace
}  // namespace vexilo
