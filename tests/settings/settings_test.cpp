// The store's rules, whatever the backend: these run against the settings file here and
// against the registry in the Windows build.

#include "settings/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "settings/settings_backend.h"
#include "settings_fixture.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using Strings = std::vector<std::string>;

class SettingsStore : public test::SettingsTest {};

TEST_F(SettingsStore, FirstStartStoresDefaultsAndLaterReadsKeepStoredValues) {
    test::MessageRecorder messages;
    EXPECT_EQ(read_text_setting("Root Folder", "C:\\"), "C:\\");
    EXPECT_EQ(read_text_setting("List Folder", "C:\\"), "C:\\");
    EXPECT_EQ(read_port(), 1);
    Strings folders{"left over"};
    read_folder_list(folders);
    EXPECT_TRUE(folders.empty());

    const auto port = read_value(main_key_path, "Port");
    ASSERT_TRUE(port);
    EXPECT_EQ(port->type, SettingType::integer);
    EXPECT_EQ(port->integer, 1);
    const auto root = read_value(main_key_path, "Root Folder");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->type, SettingType::text);
    EXPECT_EQ(root->text, "C:\\");

    // A stored value wins over a later default, and a store replaces it.
    EXPECT_EQ(read_int_setting("Port", 4), 1);
    EXPECT_EQ(read_text_setting("Root Folder", "D:\\"), "C:\\");
    store_port(3);
    store_text_setting("List Folder", "");
    EXPECT_EQ(read_port(), 3);
    EXPECT_EQ(read_text_setting("List Folder", "C:\\"), "");
    for (int value : {INT_MIN, -1, 0, INT_MAX}) {
        store_int_setting("Extreme", value);
        EXPECT_EQ(read_int_setting("Extreme", 7), value);
    }
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(SettingsStore, FolderListKeepsOnlyPositionsInsideItsLength) {
    write_int(folder_list_key_path, "zero", 0);
    write_int(folder_list_key_path, "five", 5);
    write_int(folder_list_key_path, "one", 1);
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"zero", "one"}));

    write_int(folder_list_key_path, "five", -1);
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"zero", "one"}));
}

TEST_F(SettingsStore, FolderListReadsBackInStoredOrder) {
    const Strings list{"/srv/zeta", "/srv/alpha", "/srv/mid"};
    store_folder_list(list);
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, list);

    // Values stored in another order than their positions.
    store_folder_list({});
    write_int(folder_list_key_path, "c", 2);
    write_int(folder_list_key_path, "a", 0);
    write_int(folder_list_key_path, "b", 1);
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"a", "b", "c"}));

    // A store replaces the whole list.
    store_folder_list({"/only"});
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"/only"}));
}

TEST_F(SettingsStore, RepeatedFoldersAreStoredOnceAndNoneIsLost) {
    store_folder_list({"/a", "/b", "/a", "/c", "/b"});
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"/a", "/b", "/c"}));
}

TEST_F(SettingsStore, WrongTypeShowsTheMessageWithItsNameAndStoresNothing) {
    write_text(main_key_path, "Port", "COM2");
    write_int(main_key_path, "Root Folder", 3);
    test::MessageRecorder messages;
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_text_setting("Root Folder", "C:\\"), "C:\\");
    EXPECT_EQ(messages.errors,
              (Strings{"Invalid data type for 'Port'", "Invalid data type for 'Root Folder'"}));
    EXPECT_EQ(read_value(main_key_path, "Port").value().text, "COM2");
    EXPECT_EQ(read_value(main_key_path, "Root Folder").value().integer, 3);

    messages.errors.clear();
    write_int(folder_list_key_path, "/good", 0);
    write_text(folder_list_key_path, "/bad", "1");
    Strings folders{"stale"};
    read_folder_list(folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(messages.errors, (Strings{"Invalid data type for '/bad'"}));

    // The folder dialog's next store repairs the list.
    store_folder_list({"/good", "/bad"});
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"/good", "/bad"}));

    messages.errors.clear();
    write_int(ports_key_path, "COM4", 9);
    EXPECT_EQ(read_port_mapping(4), "");
    EXPECT_EQ(messages.errors, (Strings{"Invalid data type for 'COM4'"}));
}

TEST_F(SettingsStore, BadPortIsReportedOnceAndItsDefaultUsedWithoutRewritingTheStore) {
    test::MessageRecorder messages;
    write_int(main_key_path, "Port", 0);
    for (int read = 0; read < 3; ++read)
        EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_value(main_key_path, "Port").value().integer, 0);
    write_int(main_key_path, "Port", -7);
    EXPECT_EQ(read_port(), 1);
    write_text(main_key_path, "Port", "third");
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_port(), 1);
    // Another bad value is news; the same one again is not.
    EXPECT_EQ(messages.errors, (Strings{"Invalid value for 'Port'", "Invalid value for 'Port'",
                                        "Invalid data type for 'Port'"}));
    store_port(255);
    EXPECT_EQ(read_port(), 255);
}

TEST_F(SettingsStore, NamesAndTextsKeepEveryCharacter) {
    const Strings list{"C:\\Data\\lists",    "/home/ann/lists", "\\\\server\\share/mixed",
                       "[not a key]",        "# not a comment", " spaced = out %41 ",
                       "caf\xE9 \xFC\xDF/x", "a:text:b=int:1"};
    store_folder_list(list);
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, list);

    for (const std::string& text : list) {
        store_text_setting(text, text + "\\");
        EXPECT_EQ(read_text_setting(text, ""), text + "\\");
    }
}

TEST_F(SettingsStore, DefaultFolder) {
#if defined(_WIN32)
    EXPECT_EQ(default_list_folder(), "C:\\");
#else
    const char* home = std::getenv("HOME");
    const std::string saved = home != nullptr ? home : "";
    ::setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(default_list_folder(), "/home/ann");
    ::setenv("HOME", "ann", 1);
    EXPECT_EQ(default_list_folder(), "/");
    ::unsetenv("HOME");
    EXPECT_EQ(default_list_folder(), "/");
    if (home != nullptr) ::setenv("HOME", saved.c_str(), 1);
#endif
}

TEST_F(SettingsStore, PortDevices) {
    test::MessageRecorder messages;
    EXPECT_EQ(read_port_mapping(3), "");
#if defined(_WIN32)
    EXPECT_EQ(port_device_name(3), "COM3");
    EXPECT_EQ(port_device_name(9), "COM9");
    EXPECT_EQ(port_device_name(10), "\\\\.\\COM10");
#else
    EXPECT_EQ(port_device_name(1), "/dev/ttyS0");
    EXPECT_EQ(port_device_name(3), "/dev/ttyS2");
    store_port_mapping(3, "/dev/pts/7");
    EXPECT_EQ(port_device_name(3), "/dev/pts/7");
    EXPECT_EQ(port_device_name(4), "/dev/ttyS3");
#endif
    store_port_mapping(3, "/dev/pts/7");
    EXPECT_EQ(read_port_mapping(3), "/dev/pts/7");
    EXPECT_EQ(read_value(ports_key_path, "COM3").value().text, "/dev/pts/7");
    store_port_mapping(3, "");
    EXPECT_EQ(read_port_mapping(3), "");
    EXPECT_FALSE(read_value(ports_key_path, "COM3"));
    EXPECT_EQ(port_device_name(0), "");
    EXPECT_TRUE(messages.errors.empty());
}

}  // namespace
}  // namespace vexilo
