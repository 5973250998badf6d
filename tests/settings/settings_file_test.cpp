// The settings file of systems without a registry: its place, its text and its behaviour
// when damaged or not writable.

#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "settings/settings.h"
#include "settings/settings_document.h"
#include "settings_fixture.h"
#include "support/file_modes_bind.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class SettingsFile : public test::SettingsTest {};

TEST_F(SettingsFile, PlaceFollowsTheEnvironment) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved_xdg = xdg != nullptr ? xdg : "";
    EXPECT_EQ(settings_file_path(), file_);
    ::unsetenv("VEXILO_SETTINGS");
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(settings_file_path(), "/x/config/vexilo/settings");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(settings_file_path(), "/home/ann/.config/vexilo/settings");
    ::setenv("HOME", home.c_str(), 1);
    if (xdg != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }

    // Missing folders are made on the first write.
    const std::string deep = (folder_ / "a" / "b" / "settings").string();
    ::setenv("VEXILO_SETTINGS", deep.c_str(), 1);
    store_port(2);
    EXPECT_EQ(read_port(), 2);
    EXPECT_TRUE(fs::is_regular_file(deep));
}

TEST_F(SettingsFile, TextIsReadableAndKeepsInsertionOrder) {
    EXPECT_EQ(read_text_setting("Root Folder", "/home/ann"), "/home/ann");
    EXPECT_EQ(read_port(), 1);
    store_folder_list({"/srv/b", "/srv/a=1%", " lead"});
    store_port_mapping(1, "/dev/pts/3");
    EXPECT_EQ(bytes_of(file_),
              "# Vexilo settings: [key path] lines, each followed by its values as NAME=int:NUMBER "
              "or\n"
              "# NAME=text:TEXT lines. %XX stands for the byte with hex code XX.\n"
              "\n"
              "[SOFTWARE\\Orvane\\Nimbra\\Vexilo]\n"
              "Root Folder=text:/home/ann\n"
              "Port=int:1\n"
              "\n"
              "[SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Folder List]\n"
              "/srv/b=int:0\n"
              "/srv/a%3D1%25=int:1\n"
              "%20lead=int:2\n"
              "\n"
              "[SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Ports]\n"
              "COM1=text:/dev/pts/3\n");

    // Values sharing a position come in file order.
    write_bytes(file_, "[SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Folder List]\nB=int:0\nA=int:0\n");
    Strings folders;
    read_folder_list(folders);
    EXPECT_EQ(folders, (Strings{"B", "A"}));
}

TEST_F(SettingsFile, DamagedLinesAreAbsentAndKept) {
    const std::string damaged =
        "Port=int:5\n"  // before any key
        "[software\\orvane\\nimbra\\vexilo]\n"
        "Port=int:12x\n"
        "Port=int:99999999999\n"
        "List Folder = TEXT: /data/lists \n"
        "Speed=float:1.5\n"
        "no equals sign\n" +
        std::string("\0\x01\xff garbage\r\n", 13) +
        "[SOFTWARE\\Orvane\n"
        "Root Folder=text:/old\n"
        "Root Folder=text:/new\n"
        "[]\n"
        "Count=int:-7";  // no line end
    write_bytes(file_, damaged);
    test::MessageRecorder messages;
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_text_setting("List Folder", ""), "/data/lists");
    EXPECT_EQ(read_text_setting("Root Folder", ""), "/new");
    EXPECT_EQ(read_int_setting("Count", 0), -7);
    EXPECT_EQ(read_int_setting("Speed", 2), 2);
    EXPECT_TRUE(messages.errors.empty());

    // Rewritten with the defaults, every damaged line is still there.
    const std::string text = bytes_of(file_);
    for (const char* kept :
         {"Port=int:5\n", "Port=int:12x\n", "Port=int:99999999999\n", "Speed=float:1.5\n",
          "no equals sign\n", "[SOFTWARE\\Orvane\n", "[]\n"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    }
    EXPECT_NE(text.find(std::string("\0\x01\xff garbage\n", 12)), std::string::npos);
    EXPECT_NE(text.find("Port=int:1\n"), std::string::npos);
    EXPECT_EQ(read_port(), 1);
}

TEST_F(SettingsFile, UnreadableFileIsNeitherUsedNorReplaced) {
    test::MessageRecorder messages;
    // A folder where the file should be: every open fails.
    fs::create_directory(file_);
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(read_text_setting("List Folder", "/default"), "");
    store_folder_list({"/a"});
    Strings folders{"x"};
    read_folder_list(folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_TRUE(fs::is_empty(file_));
    fs::remove(file_);

    // Too big to be ours.
    const std::string big(settings_file_limit + 1, '#');
    write_bytes(file_, big);
    store_port(4);
    EXPECT_EQ(read_port(), 1);
    EXPECT_EQ(bytes_of(file_), big);

    // Not readable, yet writable: a store would replace it with one value, were it used.
    write_bytes(file_, "[SOFTWARE\\Orvane\\Nimbra\\Vexilo]\nPort=int:6\n");
    fs::permissions(file_, fs::perms::owner_write);
    {
        const test::FileModesBind modes;
        store_port(4);
        EXPECT_EQ(read_port(), 1);
    }
    fs::permissions(file_, fs::perms::owner_read);
    EXPECT_EQ(bytes_of(file_), "[SOFTWARE\\Orvane\\Nimbra\\Vexilo]\nPort=int:6\n");
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(SettingsFile, FailedWriteLeavesTheOldFile) {
    const auto unchanged_after_stores = [&](const std::string& file) {
        const std::string before = bytes_of(file);
        store_port(9);
        store_folder_list({"/c"});
        EXPECT_EQ(bytes_of(file), before);
        EXPECT_EQ(read_port(), 4);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    };
    // A name so long that no temporary file can be made beside it, whoever runs the test.
    const std::string long_name = (folder_ / std::string(240, 's')).string();
    write_bytes(long_name, "[SOFTWARE\\Orvane\\Nimbra\\Vexilo]\nPort=int:4\n");
    ::setenv("VEXILO_SETTINGS", long_name.c_str(), 1);
    unchanged_after_stores(long_name);
    fs::remove(long_name);

    // A folder without write permission.
    ::setenv("VEXILO_SETTINGS", file_.c_str(), 1);
    store_port(4);
    store_folder_list({"/a", "/b"});
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    const test::FileModesBind modes;
    unchanged_after_stores(file_);
}

TEST_F(SettingsFile, LinkIsFollowedAndKept) {
    const std::string target = (folder_ / "real").string();
    const std::string link = (folder_ / "link").string();
    fs::create_symlink(target, link);
    ::setenv("VEXILO_SETTINGS", link.c_str(), 1);
    store_port(8);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(bytes_of(target).find("Port=int:8\n"), std::string::npos);
}

TEST(SettingsDocument, EveryByteSurvivesTheText) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    SettingsDocument document;
    auto& key = document.add_key("\\K");
    SettingValue text;
    text.type = SettingType::text;
    text.text = std::string(1, '\0') + all + " ";
    key.set(all, text);
    key.set(" ", text);
    key.set("", text);
    SettingsDocument copy = SettingsDocument::parse(document.format());
    const auto* read_key = copy.find_key("k");
    ASSERT_NE(read_key, nullptr);
    EXPECT_EQ(read_key->value_names(), (Strings{all, " ", ""}));
    EXPECT_EQ(read_key->find(all)->text, text.text);
    EXPECT_EQ(read_key->find("")->text, text.text);
    EXPECT_EQ(copy.format(), document.format());

    EXPECT_EQ(unescape_setting_text("100% %4g %41%"), "100% %4g A%");
}

TEST(SettingsDocument, RepeatedKeysAndNamesGatherUnderTheFirst) {
    const std::string text =
        "# top\n[K]\nA=int:1\n\nB=int:2\n\n[Other]\nX=text:x\n[k]\nA=int:3\nC=int:4\n\n# end\n";
    const SettingsDocument document = SettingsDocument::parse(text);
    EXPECT_EQ(document.format(),
              "# top\n\n[K]\nA=int:3\nB=int:2\nC=int:4\n\n\n\n# end\n\n[Other]\nX=text:x\n");
}

}  // namespace
}  // namespace vexilo
