// The one loader of list files: the reason it gives for each way a file fails to load, and
// that it shows nothing itself.

#include "config/list_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "config/text_file.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(ListLoader, SaysWhyAFileDidNotLoadAndShowsNothing) {
    test::MessageRecorder messages;
    const fs::path dir = fs::temp_directory_path() / "vexilo-loader-test";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.nol");
    const std::string good = (dir / "good.nol").string();
    const std::string bad = (dir / "bad.nol").string();
    ASSERT_TRUE(write_text_lines(good, {"Micro \x9d", "[LISTS]", "[CLASSES]", "!Tray",
                                        "Width;1;9;1;1;\x9dm", "[OBJECTS]", "Tray;T1;4"}));
    ASSERT_TRUE(write_text_lines(bad, {"[LISTS]", "x;2"}));
    auto config = std::make_unique<Configuration>();

    Lines file_lines;
    const ListLoad loaded = load_list_file(good, *config, &file_lines);
    EXPECT_TRUE(loaded.ok());
    EXPECT_EQ(config->object_count, 1);
    // The reader's lines are translated; the file's stay as they stand.
    EXPECT_EQ(loaded.lines.front(), "Micro \xb5");
    EXPECT_EQ(file_lines.front(), "Micro \x9d");

    const ListLoad missing = load_list_file((dir / "gone.nol").string(), *config, &file_lines);
    EXPECT_EQ(missing.status, ListLoad::Status::CannotOpen);
    EXPECT_EQ(missing.message(), "Cannot open file " + (dir / "gone.nol").string());
    EXPECT_TRUE(file_lines.empty());

    const ListLoad folder = load_list_file((dir / "folder.nol").string(), *config);
    EXPECT_EQ(folder.message("folder.nol"), "Cannot open file folder.nol (not a regular file)");

    const ListLoad unread = load_list_file(bad, *config, &file_lines);
    EXPECT_EQ(unread.status, ListLoad::Status::NotRead);
    EXPECT_EQ(unread.message(), "Not a number:list 1");
    EXPECT_EQ(file_lines, (Lines{"[LISTS]", "x;2"}));

    EXPECT_TRUE(messages.errors.empty());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vexilo
