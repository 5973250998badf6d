// The download of whole object list files up to sending: what is queued, and that a misfit
// or an unreadable file anywhere leaves nothing to send.

#include "config/download.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const Lines kInstrument = {"[lists]",       "0;2;Off;On", "5;2;Left;Right",
                           "[classes]",     "!Tray",      "Position;1;120;1;1;mm",
                           "#Side;0;1;0;5", "&Label",     "!Rack",
                           "Holder;Tray",   "[objects]"};

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexilo-dl-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        instrument_ = std::make_unique<Configuration>();
        clear_configuration(*instrument_);
        Lines lines = kInstrument;
        ASSERT_TRUE(read_configuration(*instrument_, lines));
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A list file with the instrument's lists and classes and the given objects.
    std::string list(const std::string& name, const Lines& objects, Lines lists = {}) {
        if (lists.empty()) lists = {"0;2;Off;On", "5;2;Left;Right"};
        Lines lines = {"A comment", "[LISTS]"};
        lines.insert(lines.end(), lists.begin(), lists.end());
        lines.insert(lines.end(), kInstrument.begin() + 3, kInstrument.end() - 1);
        lines.push_back("[OBJECTS]");
        lines.insert(lines.end(), objects.begin(), objects.end());
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(write_text_lines(path, lines));
        return path;
    }

    DownloadQueue run(const Lines& paths) {
        DownloadHooks hooks;
        hooks.set_status = [this](const std::string& text) { statuses.push_back(text); };
        hooks.file_read = [this](const std::string&, const Lines& lines) { config_box = lines; };
        return module_download_lines(*instrument_, paths, hooks);
    }

    fs::path dir_;
    std::unique_ptr<Configuration> instrument_;
    Lines statuses;
    Lines config_box;
};

TEST_F(Download, QueuesEveryListInOrderUnderItsWholeName) {
    test::MessageRecorder messages;
    const std::string a = list("a.b.nol", {"Tray;T1;10;1;left", "Rack;R1;T1"});
    const std::string empty = list("empty.nol", {});
    const std::string c = list("c.NOL", {"Rack;R2;none"});
    const DownloadQueue queue = run({a, empty, c});
    ASSERT_TRUE(queue.ok);
    EXPECT_EQ(queue.commands, (Lines{"DLD_OBJ Tray;T1;10;1;left;", "DLD_OBJ Rack;R1;T1;",
                                     "DLD_OBJ Rack;R2;none;"}));
    EXPECT_EQ(queue.object_count(), 3);
    EXPECT_EQ(queue.notes.front(), "adding to download list: Tray;T1;10;1;left;");
    EXPECT_EQ(statuses, (Lines{"Downloading module a.b", "Downloading module empty",
                               "Downloading module c"}));
    EXPECT_EQ(config_box.back(), "Rack;R2;none");
    EXPECT_TRUE(messages.errors.empty());

    EXPECT_EQ(list_name("/x/y/a.b.nol"), "a.b");
    EXPECT_EQ(list_name("a.nol.txt"), "a.nol.txt");
    EXPECT_EQ(list_name(".nol"), "");
#if defined(_WIN32)
    EXPECT_EQ(list_name("C:\\lists\\Wash.NOL"), "Wash");
    EXPECT_EQ(list_path("C:\\x\\y", "a.b"), "C:\\x\\y\\a.b.nol");
#else
    // File names are UTF-8 here, and a backslash is part of one; a name that is no UTF-8
    // keeps its bytes.
    EXPECT_EQ(list_name("/x/W\xC3\xA4sche.nol"), "W\xE4sche");
    EXPECT_EQ(list_name("/x/a\"b\\c.nol"), "a\"b\\c");
    EXPECT_EQ(list_name("/x/W\xE4sche.NOL"), "W\xE4sche");
    EXPECT_EQ(list_path("/x/y", "a.b"), "/x/y/a.b.nol");
#endif
}

TEST_F(Download, MisfitInALaterListSendsNothingAtAll) {
    test::MessageRecorder messages;
    const std::string a = list("a.nol", {"Tray;T1;10;1;left"});
    const std::string b = list("b.nol", {"Tray;T2;10;1;x"});
    const std::string bad = (dir_ / "bad.nol").string();
    ASSERT_TRUE(write_text_lines(
        bad, {"[LISTS]", "[CLASSES]", "!Pump", "&Label", "[OBJECTS]", "Pump;P1;x"}));
    const DownloadQueue queue = run({a, b, bad});
    EXPECT_FALSE(queue.ok);
    EXPECT_TRUE(queue.commands.empty());
    EXPECT_EQ(queue.notes.size(), 2u);  // what was converted before the stop
    EXPECT_EQ(messages.errors, Lines{"Class: Pump is not defined"});
    EXPECT_EQ(statuses.back(), "Download cancelled");
}

TEST_F(Download, AFileThatFailsToReadStopsEverything) {
    test::MessageRecorder messages;
    const std::string a = list("a.nol", {"Tray;T1;10;1;left"});
    const std::string missing = (dir_ / "missing.nol").string();
    DownloadQueue queue = run({a, missing});
    EXPECT_FALSE(queue.ok);
    EXPECT_TRUE(queue.commands.empty());
    EXPECT_EQ(messages.errors, Lines{"Cannot open file " + missing});
    EXPECT_EQ(statuses.back(), "Download cancelled");

    // A file the reader refuses half-way is not sent from what it left either.
    messages.errors.clear();
    const std::string broken = list("broken.nol", {"Tray;T2;10;1;ok", "Tray;T3;ten;1;x"});
    queue = run({a, broken});
    EXPECT_FALSE(queue.ok);
    EXPECT_TRUE(queue.commands.empty());
    EXPECT_EQ(messages.errors, Lines{"Not a number:T3:Position"});
}

TEST_F(Download, EachListIsReadIntoAWorkingConfigurationOfItsOwn) {
    // The second list has no list 5: its Side values name no entry, whatever the first list
    // held there, and give the instrument field's default.
    test::MessageRecorder messages;
    const std::string a = list("a.nol", {"Tray;T1;10;1;left"});
    const std::string b = list("b.nol", {"Tray;T2;10;1;right"}, {"0;2;Off;On"});
    const DownloadQueue queue = run({a, b});
    ASSERT_TRUE(queue.ok);
    EXPECT_EQ(queue.commands, (Lines{"DLD_OBJ Tray;T1;10;1;left;", "DLD_OBJ Tray;T2;10;0;right;"}));
}

TEST_F(Download, SelectedObjectsInTheGivenOrder) {
    test::MessageRecorder messages;
    auto list_config = std::make_unique<Configuration>();
    clear_configuration(*list_config);
    Lines lines = kInstrument;
    lines.insert(lines.end(), {"Tray;T1;10;0;a", "Tray;T2;0;1;b", "Rack;R1;Ghost"});
    ASSERT_TRUE(read_configuration(*list_config, lines));
    DownloadQueue queue = object_download_lines(*list_config, *instrument_, {"t2", "T1"});
    ASSERT_TRUE(queue.ok);
    EXPECT_EQ(queue.commands, (Lines{"DLD_OBJ Tray;T2;1;1;b;", "DLD_OBJ Tray;T1;10;0;a;"}));

    queue = object_download_lines(*list_config, *instrument_, {"T1", "R1"});
    EXPECT_FALSE(queue.ok);
    EXPECT_TRUE(queue.commands.empty());
    queue = object_download_lines(*list_config, *instrument_, {"T1", "Gone"});
    EXPECT_FALSE(queue.ok);
    EXPECT_EQ(messages.errors, (Lines{"Unknown object: \"Ghost\"", "Unknown object: \"Gone\""}));
}

TEST_F(Download, OnlyWhatWouldBreakTheLineIsRefusedNamingTheObject) {
    test::MessageRecorder messages;
    auto list_config = std::make_unique<Configuration>();
    clear_configuration(*list_config);
    Lines lines = kInstrument;
    lines.insert(lines.end(), {"Tray;T1;10;0;a", "Tray;T2;0;1;b"});
    ASSERT_TRUE(read_configuration(*list_config, lines));
    set_text_value(*list_config, list_config->objects[0], 2, "a\tb");
    set_text_value(*list_config, list_config->objects[1], 2, "ab\rRSTRT");
    DownloadQueue queue = download_lines_for_objects(*list_config, *instrument_, {0, 1});
    EXPECT_FALSE(queue.ok);
    EXPECT_TRUE(queue.commands.empty());
    EXPECT_EQ(messages.errors,
              (Lines{"Control character 0x0D in T2:Label: T2 cannot be sent to the Nimbra"}));
    queue = download_lines_for_objects(*list_config, *instrument_, {0});
    EXPECT_EQ(queue.commands, (Lines{"DLD_OBJ Tray;T1;10;0;a\tb;"}));
}

}  // namespace
}  // namespace vexilo
